#include "buffer/FileCommands.h"

#include "buffer/ImageFile.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace kestrum {

FileCommands::FileCommands(Reporter& reporter, DataBuffer& buffer, RefreshView refreshView, TakeViewEdits takeViewEdits)
    : m_reporter(reporter)
    , m_buffer(buffer)
    , m_refreshView(std::move(refreshView))
    , m_takeViewEdits(std::move(takeViewEdits))
{
}

void FileCommands::open(std::uint32_t chipSize)
{
    const QString fileName = m_reporter.ui().chooseOpenFile(OpenFileFilter);
    if (fileName.isEmpty())
        return;
    m_buffer.fillErased();
    m_buffer.usedLength = LoadImageFile(fileName, m_buffer.data(), BufferCapacity, m_reporter.ui());
    // The view spans the chip whatever the file held; a failed load shows what was read before it.
    m_refreshView(chipSize);
    m_reporter.AddLogLine(m_reporter.MessageText(MsgOpenTitle) + QFileInfo(fileName).absoluteFilePath());
}

void FileCommands::save(std::uint32_t chipSize)
{
    const QString fileName = m_reporter.ui().chooseSaveFile(SaveFileFilter, SaveDefaultSuffix);
    if (fileName.isEmpty())
        return;
    // Saved is what the user sees: edits in the view count, as they do for Write.
    m_takeViewEdits();
    // Only a hand-made chip record can be larger than the buffer; never read past it.
    const std::uint32_t length = std::min(chipSize, BufferCapacity);
    (void)SaveImageFile(m_reporter, fileName, m_buffer.data(), length);
}

} // namespace kestrum
