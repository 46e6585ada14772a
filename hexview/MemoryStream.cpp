#include "hexview/MemoryStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kestrum {

MemoryStream::~MemoryStream()
{
    std::free(m_memory);
}

void MemoryStream::Reallocate(qint64 capacity)
{
    if (capacity == m_capacity)
        return;
    if (capacity == 0) {
        std::free(m_memory);
        m_memory = nullptr;
        m_capacity = 0;
        return;
    }
    // realloc moves large blocks by remapping their pages, so growing a big buffer by a few bytes
    // neither copies it nor needs twice its memory.
    auto* grown = static_cast<char*>(std::realloc(m_memory, static_cast<size_t>(capacity)));
    if (!grown)
        throw std::bad_alloc();
    m_memory = grown;
    m_capacity = capacity;
}

void MemoryStream::SetSize(qint64 newSize)
{
    newSize = std::max<qint64>(newSize, 0);
    if (newSize > m_capacity) {
        // Streams built by many small appends (the undo storage, a load from a sequential device)
        // grow by half again, but by 1 MiB at most: realloc remaps large blocks without copying.
        constexpr qint64 maxHeadroom = 1024 * 1024;
        const qint64 grown = m_capacity + std::min(m_capacity / 2, maxHeadroom);
        Reallocate(std::max(newSize, grown));
    }
    m_size = newSize;
    if (m_position > m_size)
        m_position = m_size;
}

void MemoryStream::Clear()
{
    m_size = 0;
    m_position = 0;
    Reallocate(0);
}

void MemoryStream::ClearForRefill(qint64 size)
{
    m_size = 0;
    m_position = 0;
    constexpr qint64 slack = 1024 * 1024;
    if (m_capacity >= size && m_capacity - size <= std::max(size / 4, slack))
        return;
    // A fresh block: realloc would copy the old bytes that are about to be overwritten.
    std::free(m_memory);
    m_memory = nullptr;
    m_capacity = 0;
    if (size > 0)
        Reallocate(size);
}

qint64 MemoryStream::Read(void* buffer, qint64 count)
{
    const qint64 n = std::clamp<qint64>(m_size - m_position, 0, std::max<qint64>(count, 0));
    if (n > 0)
        std::memcpy(buffer, m_memory + m_position, static_cast<size_t>(n));
    m_position += n;
    return n;
}

qint64 MemoryStream::Write(const void* buffer, qint64 count)
{
    if (count <= 0)
        return 0;
    const qint64 end = m_position + count;
    if (end > m_size)
        SetSize(end);
    std::memcpy(m_memory + m_position, buffer, static_cast<size_t>(count));
    m_position = end;
    return count;
}

} // namespace kestrum
