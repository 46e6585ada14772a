#include "buffer/FileCommands.h"

#include "buffer/ImageFile.h"

#include <QFileInfo>

#include <algorithm>
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
    return QStringLiteral("Binary (*.bin)|*.bin|Intel Hex(*.hex)|*.hex|Bios Rom (*.rom)|*.rom|Asus Rom (*.cap)|*.cap|")
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
    m_buffer.fillErased();
    QByteArray header;
    m_buffer.usedLength = source.load(m_buffer.data(), BufferCapacity, m_reporter.ui(), &header);
    if (!header.isEmpty())
        m_capsuleHeader = header;
    // A loaded file is in the buffer only: until it is saved or written it counts as a change.
    m_buffer.markModified();
    // The view spans the chip whatever the file held; a failed load shows what was read before it.
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
    // Only a hand-made chip record can be larger than the buffer; never read past it.
    const std::uint32_t length = std::min(chipSize, BufferCapacity);
    if (saveImageFile(m_reporter, fileName, m_buffer.data(), length, ExistingFile::Ask, m_capsuleHeader)) {
        m_buffer.markSaved();
        m_reporter.addLogLine(m_reporter.message(MsgSaveLog).arg(QFileInfo(fileName).absoluteFilePath()));
    }
}

} // namespace kestrum
