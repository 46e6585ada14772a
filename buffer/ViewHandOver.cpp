#include "buffer/ViewHandOver.h"

#include <algorithm>

namespace kestrum {

ViewHandOver::ViewHandOver(DataBuffer& buffer, HexViewPort& view)
    : m_buffer(&buffer)
    , m_view(&view)
{
}

void ViewHandOver::reloadView(std::uint32_t count)
{
    const std::uint32_t n = std::min(count, BufferCapacity);
    m_viewStream.close();
    // The stream reads the buffer in place; the view makes its own copy.
    m_viewStream.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(m_buffer->data()), qsizetype(n)));
    m_viewStream.open(QIODevice::ReadOnly);
    m_view->loadFrom(m_viewStream);
    m_viewStream.close();
    m_viewStream.setData(QByteArray());
}

void ViewHandOver::takeViewEdits(std::uint32_t chipSize)
{
    if (!m_view->isModified())
        return;
    const std::uint64_t viewSize = static_cast<std::uint64_t>(std::max<qint64>(m_view->dataSize(), 0));
    const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::uint64_t>({viewSize, chipSize, BufferCapacity}));
    m_view->readBytes(m_buffer->data(), 0, n);
    m_buffer->usedLength = static_cast<qint32>(n);
    m_view->setModified(false);
}

} // namespace kestrum
