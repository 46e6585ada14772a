#include "hexview/MemoryStream.h"

#include "hexview/HexEditorError.h"
#include "hexview/Translation.h"

#include <algorithm>
#include <cstring>

namespace kestrum {

MemoryStream::~MemoryStream() = default;

void MemoryStream::reallocate(qint64 capacity)
{
    if (capacity == m_bytes.size())
        return;
    if (capacity == 0) {
        m_bytes = QByteArray();
        m_memory = nullptr;
        return;
    }
    // Growing reallocates, and realloc moves large blocks by remapping their pages, so growing a
    // big buffer by a few bytes neither copies it nor needs twice its memory.
    m_bytes.resize(capacity);
    if (capacity < m_bytes.capacity())
        m_bytes.squeeze();
    m_memory = m_bytes.data();
}

void MemoryStream::setSize(qint64 newSize)
{
    newSize = std::max<qint64>(newSize, 0);
    if (newSize > capacity()) {
        // Streams built by many small appends (the undo storage, a load from a sequential device)
        // grow by half again, but by 1 MiB at most: realloc remaps large blocks without copying.
        constexpr qint64 maxHeadroom = 1024 * 1024;
        const qint64 grown = capacity() + std::min(capacity() / 2, maxHeadroom);
        reallocate(std::max(newSize, grown));
    }
    m_size = newSize;
    if (m_position > m_size)
        m_position = m_size;
}

void MemoryStream::clear()
{
    m_size = 0;
    m_position = 0;
    reallocate(0);
}

void MemoryStream::adopt(QByteArray bytes)
{
    m_bytes = std::move(bytes);
    m_memory = m_bytes.isEmpty() ? nullptr : m_bytes.data();
    m_size = m_bytes.size();
    m_position = 0;
}

void MemoryStream::clearForRefill(qint64 size)
{
    m_size = 0;
    m_position = 0;
    constexpr qint64 slack = 1024 * 1024;
    if (capacity() >= size && capacity() - size <= std::max(size / 4, slack))
        return;
    // A fresh block: realloc would copy the old bytes that are about to be overwritten.
    m_bytes = QByteArray();
    m_memory = nullptr;
    if (size > 0)
        reallocate(size);
}

qint64 MemoryStream::read(void* buffer, qint64 count)
{
    const qint64 n = std::clamp<qint64>(m_size - m_position, 0, std::max<qint64>(count, 0));
    if (n > 0)
        std::memcpy(buffer, m_memory + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

qint64 MemoryStream::write(const void* buffer, qint64 count)
{
    if (count <= 0)
        return 0;
    const qint64 end = m_position + count;
    if (end > m_size)
        setSize(end);
    std::memcpy(m_memory + m_position, buffer, static_cast<size_t>(count));
    m_position = end;
    return count;
}

void MemoryStream::checkBounds(qint64 position, qint64 count) const
{
    if (position < 0 || count < 0 || position + count > size())
        throw HexEditorError(QString::fromLatin1(ErrDataBounds));
}

char* MemoryStream::address(qint64 position, qint64 count)
{
    checkBounds(position, count);
    return memory() + position;
}

const char* MemoryStream::address(qint64 position, qint64 count) const
{
    checkBounds(position, count);
    return memory() + position;
}

void MemoryStream::readBufferAt(void* buffer, qint64 position, qint64 count) const
{
    const char* source = address(position, count);
    if (count > 0)
        std::memcpy(buffer, source, static_cast<size_t>(count));
}

void MemoryStream::writeBufferAt(const void* buffer, qint64 position, qint64 count)
{
    char* destination = address(position, count);
    if (count > 0)
        std::memmove(destination, buffer, static_cast<size_t>(count));
}

void MemoryStream::moveBytes(qint64 from, qint64 to, qint64 count)
{
    checkBounds(from, count);
    checkBounds(to, count);
    if (count > 0 && from != to)
        std::memmove(memory() + to, memory() + from, static_cast<size_t>(count));
}

void MemoryStream::translateToAnsi(TranslationKind kind, qint64 position, qint64 count)
{
    char* bytes = address(position, count);
    translateBufferToAnsi(kind, bytes, bytes, count);
}

void MemoryStream::translateFromAnsi(TranslationKind kind, qint64 position, qint64 count)
{
    char* bytes = address(position, count);
    translateBufferFromAnsi(kind, bytes, bytes, count);
}

QString MemoryStream::toHex(qint64 position, qint64 count, bool swapNibbles) const
{
    return hexDigitsOf(address(position, count), count, swapNibbles);
}

QString hexDigitsOf(const char* bytes, qint64 count, bool swapNibbles)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QString text(count * 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qint64 i = 0; i < count; ++i) {
        const auto byte = static_cast<quint8>(bytes[i]);
        const int first = swapNibbles ? (byte & 0x0F) : (byte >> 4);
        const int second = swapNibbles ? (byte >> 4) : (byte & 0x0F);
        *out++ = QLatin1Char(digits[first]);
        *out++ = QLatin1Char(digits[second]);
    }
    return text;
}

} // namespace kestrum
