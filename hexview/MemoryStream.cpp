#include "hexview/MemoryStream.h"

#include "hexview/HexEditorError.h"
#include "hexview/Translation.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <sys/mman.h>

namespace kestrum {

namespace {

constexpr qint64 MiB = 1024 * 1024;
// Mappings from this size on are faulted in 2 MiB at a time.
constexpr qint64 HugePagesFrom = 4 * MiB;

qint64 pageRounded(qint64 bytes)
{
    constexpr qint64 page = 4096;
    return (bytes + page - 1) / page * page;
}

/// The room kept before and after loaded bytes: half their size, at least 1 MiB.
qint64 roomFor(qint64 size)
{
    return pageRounded(std::max(size / 2, MiB));
}

char* mapBytes(qint64 length)
{
    void* pages
        = mmap(nullptr, static_cast<size_t>(length), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED)
        throw std::bad_alloc();
    // Large blocks are faulted in 2 MiB at a time: a load touches a few dozen pages, not thousands.
    if (length >= HugePagesFrom)
        madvise(pages, static_cast<size_t>(length), MADV_HUGEPAGE);
    return static_cast<char*>(pages);
}

} // namespace

MemoryStream::~MemoryStream()
{
    release();
}

qint64 MemoryStream::capacity() const
{
    if (m_base)
        return m_mapped - frontRoom();
    return m_adopted.size() - (m_memory ? m_memory - m_adopted.constData() : 0);
}

qint64 MemoryStream::frontRoom() const
{
    if (m_base)
        return m_memory - m_base;
    return m_memory ? m_memory - m_adopted.constData() : 0;
}

void MemoryStream::release()
{
    if (m_base)
        munmap(m_base, static_cast<size_t>(m_mapped));
    m_base = nullptr;
    m_mapped = 0;
    m_adopted = QByteArray();
    m_memory = nullptr;
}

void MemoryStream::remap(qint64 front, qint64 capacity)
{
    const qint64 length = pageRounded(front + capacity);
    if (m_base && front == frontRoom()) {
        // Same place for the bytes: the kernel moves or extends the pages without copying them.
        void* pages = mremap(m_base, static_cast<size_t>(m_mapped), static_cast<size_t>(length), MREMAP_MAYMOVE);
        if (pages == MAP_FAILED)
            throw std::bad_alloc();
        m_base = static_cast<char*>(pages);
        m_mapped = length;
        m_memory = m_base + front;
        if (length >= HugePagesFrom)
            madvise(m_base, static_cast<size_t>(length), MADV_HUGEPAGE);
        return;
    }
    char* base = mapBytes(length);
    if (m_size > 0)
        std::memcpy(base + front, m_memory, static_cast<size_t>(m_size));
    release();
    m_base = base;
    m_mapped = length;
    m_memory = base + front;
}

void MemoryStream::reallocate(qint64 capacity)
{
    capacity = std::max(capacity, m_size);
    if (capacity == this->capacity())
        return;
    if (capacity == 0) {
        release();
        return;
    }
    remap(m_base ? frontRoom() : 0, capacity);
}

void MemoryStream::setSize(qint64 newSize)
{
    newSize = std::max<qint64>(newSize, 0);
    if (newSize > capacity()) {
        // Streams built by many small appends (the undo storage, a load from a sequential device)
        // grow by half again, but by 1 MiB at most: remapping does not copy the bytes.
        const qint64 grown = capacity() + std::min(capacity() / 2, MiB);
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
    release();
}

void MemoryStream::adopt(QByteArray bytes)
{
    release();
    m_adopted = std::move(bytes);
    m_memory = m_adopted.isEmpty() ? nullptr : m_adopted.data();
    m_size = m_adopted.size();
    m_position = 0;
}

void MemoryStream::clearForRefill(qint64 size)
{
    m_size = 0;
    m_position = 0;
    const qint64 room = roomFor(size);
    const qint64 needed = pageRounded(room + size + room);
    if (!m_base || m_mapped < needed || m_mapped > 2 * needed) {
        release();
        m_base = mapBytes(needed);
        m_mapped = needed;
        m_memory = m_base + room;
        return;
    }
    // Pages that held earlier bytes where the new ones go stay mapped, so a reload of the same
    // size copies into memory that is already there; the rest is given back.
    m_memory = m_base + room;
    const qint64 dataEnd = pageRounded(room + size);
    madvise(m_base, static_cast<size_t>(room), MADV_DONTNEED);
    madvise(m_base + dataEnd, static_cast<size_t>(m_mapped - dataEnd), MADV_DONTNEED);
}

void MemoryStream::insertGap(qint64 position, qint64 count)
{
    checkBounds(position, 0);
    if (count <= 0)
        return;
    const qint64 tail = m_size - position;
    if (position <= tail) {
        if (frontRoom() < count) {
            // Room on both sides again, so that the next insertions move only what they must.
            const qint64 room = roomFor(m_size + count);
            remap(room + count, m_size + room);
        }
        std::memmove(m_memory - count, m_memory, static_cast<size_t>(position));
        m_memory -= count;
    } else {
        if (capacity() - m_size < count)
            reallocate(m_size + count + roomFor(m_size));
        std::memmove(m_memory + position + count, m_memory + position, static_cast<size_t>(tail));
    }
    m_size += count;
}

void MemoryStream::removeRange(qint64 position, qint64 count)
{
    checkBounds(position, count);
    if (count <= 0)
        return;
    const qint64 tail = m_size - position - count;
    if (position < tail) {
        std::memmove(m_memory + count, m_memory, static_cast<size_t>(position));
        m_memory += count;
    } else {
        std::memmove(m_memory + position, m_memory + position + count, static_cast<size_t>(tail));
    }
    m_size -= count;
    if (m_position > m_size)
        m_position = m_size;
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

namespace {

template <typename Char> void writeHexDigits(Char* out, const char* bytes, qint64 count, bool swapNibbles)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    for (qint64 i = 0; i < count; ++i) {
        const auto byte = static_cast<quint8>(bytes[i]);
        *out++ = Char(digits[swapNibbles ? (byte & 0x0F) : (byte >> 4)]);
        *out++ = Char(digits[swapNibbles ? (byte >> 4) : (byte & 0x0F)]);
    }
}

} // namespace

QString hexDigitsOf(const char* bytes, qint64 count, bool swapNibbles)
{
    QString text(count * 2, Qt::Uninitialized);
    writeHexDigits(text.data(), bytes, count, swapNibbles);
    return text;
}

QByteArray hexDigitBytesOf(const char* bytes, qint64 count, bool swapNibbles)
{
    QByteArray text(count * 2, Qt::Uninitialized);
    writeHexDigits(text.data(), bytes, count, swapNibbles);
    return text;
}

} // namespace kestrum
