#include "buffer/FileCommands.h"

#include "buffer/ImageFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace kestrum {

namespace {

QString sRecordFilterEntry(int language)
{
    QStringList patterns;
    for (const QString& extension : sRecordExtensions())
        patterns << QLatin1Char('*') + extension;
    return QStringLiteral("%1 (%2)|%3")
        .arg(messageText(MsgSRecordFilter, language), patterns.join(QLatin1Char(' ')), patterns.join(QLatin1Char(';')));
}

} // namespace

QString openFileFilter(int language)
{
    // Every kind the Open command reads, first: the dialog starts with it.
    QStringList patterns;
    for (const char* extension : {".bin", ".hex", ".ihx", ".ihex", ".rom", ".cap", ".eep"})
        patterns << QLatin1Char('*') + QLatin1String(extension);
    for (const QString& extension : sRecordExtensions())
        patterns << QLatin1Char('*') + extension;
    const QString all = QStringLiteral("%1 (%2)|%3|")
                            .arg(messageText(MsgAllSupportedFiles, language), patterns.join(QLatin1Char(' ')),
                                patterns.join(QLatin1Char(';')));
    return all
        + QStringLiteral("Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|Asus Rom (*.cap)|*.cap|")
        + sRecordFilterEntry(language) + QStringLiteral("|All files (*.*)|*.*");
}

QString saveFileFilter(int language)
{
    return QStringLiteral("Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|")
        + sRecordFilterEntry(language) + QStringLiteral("|All files (*.*)|*.*");
}

FileCommands::FileCommands(
    Reporter& reporter, DataBuffer& buffer, ViewReloader refreshView, ViewEditsTaker takeViewEdits)
    : m_reporter(reporter)
    , m_buffer(buffer)
    , m_refreshView(std::move(refreshView))
    , m_takeViewEdits(std::move(takeViewEdits))
{
}

void FileCommands::open(std::uint32_t chipSize)
{
    const QString fileName = m_reporter.ui().chooseOpenFile(openFileFilter(m_reporter.language()));
    if (fileName.isEmpty())
        return;
    // Every refusal comes before the buffer is touched: an unsaved chip read survives it.
    ImageSource source(m_reporter.language());
    if (!source.open(fileName, BufferCapacity, m_reporter.ui()))
        return;
    // The file goes into a scratch image first: one that fails half-way changes nothing.
    std::unique_ptr<std::uint8_t[]> scratch(new std::uint8_t[BufferCapacity]);
    std::memset(scratch.get(), 0xFF, BufferCapacity);
    QByteArray header;
    const qint32 loaded = source.load(scratch.get(), BufferCapacity, m_reporter.ui(), &header);
    if (source.failed())
        return;
    m_buffer.bytes.swap(scratch);
    m_buffer.usedLength = loaded;
    if (!header.isEmpty())
        m_capsuleHeader = header;
    // The buffer holds what the file holds: nothing is lost by replacing it.
    m_buffer.markSaved();
    // The view spans the chip whatever the file held.
    m_refreshView(chipSize);
    m_reporter.addLogLine(m_reporter.message(MsgOpenTitle) + QFileInfo(fileName).absoluteFilePath());
}

void FileCommands::save(std::uint32_t chipSize)
{
    const QString fileName = m_reporter.ui().chooseSaveFile(saveFileFilter(m_reporter.language()), SaveDefaultSuffix);
    if (fileName.isEmpty())
        return;
    // Saved is what the user sees: edits in the view count, as they do for Write.
    m_takeViewEdits();
    // Without a chip the used length is what there is to save. Only a hand-made chip record can
    // be larger than the buffer; never read past it.
    const std::uint32_t used = static_cast<std::uint32_t>(std::max<qint32>(m_buffer.usedLength, 0));
    const std::uint32_t length = std::min(chipSize != 0 ? chipSize : used, BufferCapacity);
    if (length == 0) {
        m_reporter.showError(MsgBufferEmpty);
        return;
    }
    if (saveImageFile(m_reporter, fileName, m_buffer.data(), length, ExistingFile::Ask, m_capsuleHeader)) {
        m_buffer.markSaved();
        m_reporter.addLogLine(m_reporter.message(MsgSaveLog).arg(QFileInfo(fileName).absoluteFilePath()));
    }
}

} // namespace kestrum
