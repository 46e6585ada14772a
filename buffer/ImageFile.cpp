#include "buffer/ImageFile.h"

#include "buffer/IntelHex.h"
#include "buffer/ReplacementFile.h"
#include "buffer/SRecord.h"

#include <QFileInfo>

#include <cerrno>

#include <unistd.h>

namespace kestrum {

namespace {

/// Reads up to count bytes from offset on; returns how many were read.
std::uint64_t readAt(int fd, std::uint8_t* to, std::uint64_t count, off_t offset)
{
    std::uint64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, to + done, count - done, offset + static_cast<off_t>(done));
        if (n > 0)
            done += static_cast<std::uint64_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return done;
}

/// Raw and capsule files: the size test counts the whole file, the header included.
qint32 loadRaw(
    const QString& fileName, std::uint8_t* destination, std::uint32_t capacity, std::uint32_t skip, UserInterface& ui)
{
    std::uint64_t size = 0;
    const int fd = OpenFileForReading(fileName, size);
    if (fd < 0) {
        ui.showError(QStringLiteral("Can't open File"));
        return 0;
    }
    if (size > capacity) {
        ::close(fd);
        ui.showError(QStringLiteral("File is too big for Buffer"));
        return 0;
    }
    // A capsule no longer than its header holds no image.
    const std::uint64_t read = size > skip ? readAt(fd, destination, size - skip, static_cast<off_t>(skip)) : 0;
    ::close(fd);
    return static_cast<qint32>(read);
}

} // namespace

QString fileExtension(const QString& fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? fileName.mid(dot) : QString();
}

FileKind loadKindForName(const QString& fileName)
{
    const QString extension = fileExtension(fileName);
    if (extension.compare(QLatin1String(".hex"), Qt::CaseInsensitive) == 0)
        return FileKind::IntelHex;
    if (extension.compare(QLatin1String(".cap"), Qt::CaseInsensitive) == 0)
        return FileKind::Capsule;
    return FileKind::RawBinary;
}

FileKind saveKindForName(const QString& fileName)
{
    const QString extension = fileExtension(fileName);
    if (extension.compare(QLatin1String(".src"), Qt::CaseInsensitive) == 0)
        return FileKind::SRecord;
    if (extension.compare(QLatin1String(".hex"), Qt::CaseInsensitive) == 0)
        return FileKind::IntelHex;
    return FileKind::RawBinary;
}

qint32 LoadImageFile(const QString& fileName, std::uint8_t* destination, std::uint32_t capacity, UserInterface& ui)
{
    FileKind kind = loadKindForName(fileName);
    if (fileExtension(fileName).compare(QLatin1String(".eep"), Qt::CaseInsensitive) == 0) {
        // An EEPROM file is a text file when it starts like one, else a dump.
        std::uint64_t size = 0;
        const int fd = OpenFileForReading(fileName, size);
        if (fd < 0) {
            ui.showError(QStringLiteral("Can't open File"));
            return 0;
        }
        std::uint8_t first = 0;
        const bool any = readAt(fd, &first, 1, 0) == 1;
        ::close(fd);
        kind = !any        ? FileKind::RawBinary
            : first == ':' ? FileKind::IntelHex
            : first == 'S' ? FileKind::SRecord
                           : FileKind::RawBinary;
    }
    switch (kind) {
    case FileKind::IntelHex:
        return ReadIntelHex(fileName, destination, capacity, ui);
    case FileKind::SRecord:
        return ReadSRecord(fileName, destination, capacity, ui);
    case FileKind::Capsule:
        return loadRaw(fileName, destination, capacity, CapsuleHeaderSize, ui);
    case FileKind::RawBinary:
        break;
    }
    return loadRaw(fileName, destination, capacity, 0, ui);
}

bool SaveImageFile(Reporter& reporter, const QString& fileName, const std::uint8_t* source, std::uint32_t length,
    ExistingFile existing)
{
    UserInterface& ui = reporter.ui();
    if (existing == ExistingFile::Ask && QFileInfo::exists(fileName)
        && !ui.askYesNo(reporter.MessageText(MsgFileExists)))
        return false;

    WriteResult result;
    switch (saveKindForName(fileName)) {
    case FileKind::SRecord:
        result = WriteSRecord(fileName, source, length, ui);
        break;
    case FileKind::IntelHex:
        result = WriteIntelHex(fileName, source, length, ui);
        break;
    default: {
        ReplacementFile file(fileName);
        if (!file.create()) {
            // A fixed text in every language.
            ui.showError(QString::fromUtf16(u"创建文件失败"));
            return false;
        }
        file.append(source, length);
        result = file.commit() ? WriteResult::Written : WriteResult::NotWritten;
        break;
    }
    }
    if (result == WriteResult::NotWritten)
        reporter.ShowErrorBox(MsgWriteFileError);
    return result == WriteResult::Written;
}

} // namespace kestrum
