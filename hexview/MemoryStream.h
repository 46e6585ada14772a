#pragma once

#include <QtGlobal>

namespace kestrum {

/// A growable block of bytes with a stream position, the common base of the data storage and the
/// undo storage. Growing does not initialise the new bytes, so that a caller that fills them anyway
/// (a load, an append) pays for one copy only.
class MemoryStream
{
public:
    MemoryStream() = default;
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    virtual ~MemoryStream();

    char* Memory() { return m_memory; }
    const char* Memory() const { return m_memory; }
    qint64 GetSize() const { return m_size; }
    qint64 GetPosition() const { return m_position; }
    void SetPosition(qint64 position) { m_position = position; }
    qint64 Capacity() const { return m_capacity; }

    /// Sets the size; bytes beyond the old size are left as they are. Throws std::bad_alloc when
    /// the memory cannot be had; the stream is then unchanged.
    virtual void SetSize(qint64 newSize);
    /// Empties the stream and gives its memory back.
    void Clear();
    /// Empties the stream for a refill of `size` bytes. Memory of about that size is kept: its
    /// pages are already mapped, so that reloading an image of the same size costs one copy.
    void ClearForRefill(qint64 size);

    /// Reads up to `count` bytes from the stream position; returns the number read.
    qint64 Read(void* buffer, qint64 count);
    /// Writes `count` bytes at the stream position, growing the stream when needed.
    qint64 Write(const void* buffer, qint64 count);

protected:
    void Reallocate(qint64 capacity);

private:
    char* m_memory = nullptr;
    qint64 m_size = 0;
    qint64 m_capacity = 0;
    qint64 m_position = 0;
};

} // namespace kestrum
