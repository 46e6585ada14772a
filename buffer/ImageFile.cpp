#include "buffer/ImageFile.h"

#include "base/RegularFile.h"
#include "base/ReplacementFile.h"
#include "buffer/HexText.h"
#include "buffer/IntelHex.h"
#include "buffer/SRecord.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include <unistd.h>

namespace kestrum {

namespace {

const char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::uint32_t ByteOrderMarkSize = 3;

bool extensionIn(const QString& fileName, const QStringList& extensions)
{
    const QString extension = fileExtension(fileName);
    return !extension.isEmpty() && extensions.contains(extension, Qt::CaseInsensitive);
}

FileKind kindForName(const QString& fileName)
{
    static const QStringList IntelHexExtensions {
        QStringLiteral(".hex"), QStringLiteral(".ihx"), QStringLiteral(".ihex")};
    if (extensionIn(fileName, IntelHexExtensions))
        return FileKind::IntelHex;
    if (extensionIn(fileName, sRecordExtensions()))
        return FileKind::SRecord;
    if (fileExtension(fileName).compare(QLatin1String(".cap"), Qt::CaseInsensitive) == 0)
        return FileKind::Capsule;
    return FileKind::RawBinary;
}

bool allHexDigits(const char* from, const char* to)
{
    if (from >= to)
        return false;
    for (; from < to; ++from) {
        if (hextext::digitValue(*from) < 0)
            return false;
    }
    return true;
}

/// The kind of an ".eep" file: Intel HEX when its first line (after an optional UTF-8 byte-order
/// mark) is ':' and at least the ten digits of a record's fields, S-record when it is 'S', a digit
/// and at least the four digits of a count and a checksum; anything else is a dump. The line may end
/// with blanks, and with a line feed, a carriage return or both. A first line longer than any
/// record can be is no record.
FileKind probeFirstLine(int fd, std::uint32_t& textStart)
{
    char head[ByteOrderMarkSize + RecordFile::MinimumBlockSize];
    const auto n = static_cast<std::size_t>(readFully(fd, head, sizeof head, 0));
    textStart = n >= ByteOrderMarkSize && std::memcmp(head, Utf8ByteOrderMark, ByteOrderMarkSize) == 0
        ? ByteOrderMarkSize
        : 0;
    const char* line = head + textStart;
    const char* end = head + n;
    const char* stop = std::find_if(line, end, [](char c) { return c == '\n' || c == '\r'; });
    if (stop == end && n == sizeof head)
        return FileKind::RawBinary;
    while (stop > line && (stop[-1] == ' ' || stop[-1] == '\t'))
        --stop;
    if (stop - line >= 11 && line[0] == ':' && allHexDigits(line + 1, stop))
        return FileKind::IntelHex;
    if (stop - line >= 6 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9' && allHexDigits(line + 2, stop))
        return FileKind::SRecord;
    textStart = 0;
    return FileKind::RawBinary;
}

} // namespace

QString fileExtension(const QString& fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? fileName.mid(dot) : QString();
}

QStringList sRecordExtensions()
{
    return {QStringLiteral(".s19"), QStringLiteral(".srec"), QStringLiteral(".src"), QStringLiteral(".s28"),
        QStringLiteral(".s37"), QStringLiteral(".mot"), QStringLiteral(".mhx"), QStringLiteral(".s1"),
        QStringLiteral(".s2"), QStringLiteral(".s3")};
}

FileKind loadKindForName(const QString& fileName)
{
    return kindForName(fileName);
}

FileKind saveKindForName(const QString& fileName)
{
    return kindForName(fileName);
}

namespace {

/// Passes everything on to another user interface; an error box gets the place it happened.
class LineErrors : public UserInterface
{
public:
    LineErrors(UserInterface& ui, std::function<QString()> place)
        : m_ui(ui)
        , m_place(std::move(place))
    {
    }
    void showError(const QString& text) override
    {
        // The first error says where; those after it follow from it.
        m_ui.showError(m_shown ? text : text + QLatin1Char('\n') + m_place());
        m_shown = true;
    }
    bool askYesNo(const QString& text) override { return m_ui.askYesNo(text); }
    void showInformation(const QString& text) override { m_ui.showInformation(text); }
    void beep() override { m_ui.beep(); }
    QString chooseOpenFile(const QString& filter) override { return m_ui.chooseOpenFile(filter); }
    QString chooseSaveFile(const QString& filter, const QString& suffix) override
    {
        return m_ui.chooseSaveFile(filter, suffix);
    }
    void insertLogLine(const QString& line) override { m_ui.insertLogLine(line); }
    std::optional<int> chooseRow(const Choice& choice) override { return m_ui.chooseRow(choice); }
    int askButtons(const QString& text, const QStringList& captions) override
    {
        return m_ui.askButtons(text, captions);
    }
    [[nodiscard]] bool shown() const { return m_shown; }

private:
    UserInterface& m_ui;
    std::function<QString()> m_place;
    bool m_shown = false;
};

} // namespace

ImageSource::~ImageSource()
{
    close();
}

void ImageSource::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool ImageSource::open(const QString& fileName, std::uint32_t capacity, UserInterface& ui)
{
    close();
    m_name = fileName;
    m_kind = loadKindForName(fileName);
    m_textStart = 0;
    const bool probed = fileExtension(fileName).compare(QLatin1String(".eep"), Qt::CaseInsensitive) == 0;

    OpenFailure failure = OpenFailure::None;
    m_fd = openRegularFile(fileName, &m_size, &failure);
    if (m_fd < 0) {
        const bool textReader = !probed && (m_kind == FileKind::IntelHex || m_kind == FileKind::SRecord);
        if (textReader && failure != OpenFailure::NotRegular)
            showFileError(ui, QStringLiteral("Cannot open file %1").arg(fileName));
        else
            ui.showError(QStringLiteral("Can't open File"));
        return false;
    }
    if (probed) {
        m_kind = probeFirstLine(m_fd, m_textStart);
    } else if (m_kind == FileKind::IntelHex || m_kind == FileKind::SRecord) {
        char head[ByteOrderMarkSize];
        if (readFully(m_fd, head, ByteOrderMarkSize, 0) == ByteOrderMarkSize
            && std::memcmp(head, Utf8ByteOrderMark, ByteOrderMarkSize) == 0)
            m_textStart = ByteOrderMarkSize;
    }
    // The size test of raw and capsule files counts the whole file, a capsule's header included.
    if ((m_kind == FileKind::RawBinary || m_kind == FileKind::Capsule) && m_size > capacity) {
        close();
        ui.showError(QStringLiteral("File is too big for Buffer"));
        return false;
    }
    return true;
}

qint32 ImageSource::load(
    std::uint8_t* destination, std::uint32_t capacity, UserInterface& ui, QByteArray* capsuleHeader)
{
    if (m_fd < 0)
        return 0;
    m_failed = false;
    if (m_kind == FileKind::IntelHex || m_kind == FileKind::SRecord) {
        RecordFile file;
        file.language = m_language;
        file.openDescriptor(m_fd);
        m_fd = -1;
        if (m_textStart > 0 && file.fill(m_textStart) >= m_textStart)
            file.advance(m_textStart);
        // The reader's error text is shown with the file and the line it failed on.
        LineErrors errors(
            ui, [&] { return messageText(MsgFileLineAt, m_language).arg(m_name).arg(file.lineNumber()); });
        const qint32 loaded = m_kind == FileKind::IntelHex ? readIntelHex(file, destination, capacity, errors)
                                                           : readSRecord(file, destination, capacity, errors);
        m_failed = errors.shown();
        return m_failed ? 0 : loaded;
    }
    std::uint64_t read = 0;
    std::uint64_t wanted = 0;
    errno = 0;
    if (m_kind == FileKind::Capsule) {
        if (m_size >= CapsuleHeaderSize && capsuleHeader) {
            QByteArray header(CapsuleHeaderSize, '\0');
            if (readFully(m_fd, header.data(), CapsuleHeaderSize, 0) == CapsuleHeaderSize)
                *capsuleHeader = header;
        }
        // A capsule no longer than its header holds no image.
        if (m_size > CapsuleHeaderSize) {
            wanted = m_size - CapsuleHeaderSize;
            read = readFully(m_fd, destination, wanted, CapsuleHeaderSize);
        }
    } else {
        wanted = m_size;
        read = readFully(m_fd, destination, wanted, 0);
    }
    const int error = errno;
    close();
    // A read that failed is no end of the file: a cut image is no image.
    if (read < wanted && error != 0) {
        ui.showError(messageText(MsgFileUnreadable, m_language).arg(systemErrorText(error)));
        return 0;
    }
    return static_cast<qint32>(read);
}

qint32 loadImageFile(const QString& fileName, std::uint8_t* destination, std::uint32_t capacity, UserInterface& ui,
    QByteArray* capsuleHeader, int language)
{
    ImageSource source(language);
    if (!source.open(fileName, capacity, ui))
        return 0;
    return source.load(destination, capacity, ui, capsuleHeader);
}

namespace {

/// The path of a file that could not be saved and the system's reason, when there is one.
QString failureText(const Reporter& reporter, const QString& fileName, int error)
{
    const QString path = QFileInfo(fileName).absoluteFilePath();
    return error != 0 ? reporter.message(MsgSaveFailedAt).arg(path, QString::fromLocal8Bit(std::strerror(error)))
                      : path;
}

} // namespace

bool saveImageFile(Reporter& reporter, const QString& fileName, const std::uint8_t* source, std::uint32_t length,
    ExistingFile existing, const QByteArray& capsuleHeader)
{
    UserInterface& ui = reporter.ui();
    const FileKind kind = saveKindForName(fileName);
    if (kind == FileKind::Capsule && capsuleHeader.size() != qsizetype(CapsuleHeaderSize)) {
        reporter.showError(MsgCapsuleNoHeader);
        return false;
    }
    // Refused before the question: a device, a FIFO or a link planted by another user is never replaced.
    const SaveTarget target = resolveSaveTarget(fileName);
    if (target.refusal == TargetRefusal::NotRegular || target.refusal == TargetRefusal::SharedLink) {
        const MessageKey why = target.refusal == TargetRefusal::NotRegular ? MsgNotRegularFile : MsgSharedLink;
        reporter.showError(reporter.message(MsgSaveRefused).arg(fileName, reporter.message(why)));
        return false;
    }
    if (existing == ExistingFile::Ask && target.exists && !ui.askYesNo(reporter.message(MsgFileExists)))
        return false;

    WriteResult result;
    int error = 0;
    switch (kind) {
    case FileKind::SRecord:
        result = writeSRecord(fileName, source, length, ui, &error);
        break;
    case FileKind::IntelHex:
        result = writeIntelHex(fileName, source, length, ui, &error);
        break;
    default: {
        ReplacementFile file(fileName);
        if (!file.create()) {
            // A fixed text in every language, then where and why.
            reporter.showError(QString::fromUtf16(u"创建文件失败") + QLatin1Char('\n')
                + failureText(reporter, fileName, file.error()));
            return false;
        }
        if (kind == FileKind::Capsule)
            file.append(capsuleHeader.constData(), CapsuleHeaderSize);
        file.append(source, length);
        result = file.commit() ? WriteResult::Written : WriteResult::NotWritten;
        error = file.error();
        break;
    }
    }
    if (result == WriteResult::NotWritten) {
        reporter.showError(
            reporter.message(MsgWriteFileError) + QLatin1Char('\n') + failureText(reporter, fileName, error));
    }
    return result == WriteResult::Written;
}

} // namespace kestrum
