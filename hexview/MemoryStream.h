#pragma once

#include "hexview/HexEditorTypes.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace kestrum {

/// A growable block of bytes with a stream position, the common base of the data storage and the
/// undo storage. Growing does not initialise the new bytes, so that a caller that fills them anyway
/// (a load, an append) pays for one copy only; a block handed over whole (adopt) costs no copy.
///
/// The bytes lie in a memory mapping of their own with unused room before and after them, so that
/// growing remaps pages instead of copying them and inserting or removing bytes moves whichever
/// side of the position is shorter: an edit at either end moves only the bytes it adds. Room that
/// was never written costs address space only.
class MemoryStream
{
public:
    MemoryStream() = default;
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;
    virtual ~MemoryStream();

    char* memory() { return m_memory; }
    const char* memory() const { return m_memory; }
    qint64 size() const { return m_size; }
    qint64 position() const { return m_position; }
    void setPosition(qint64 position) { m_position = position; }
    /// Bytes the stream can hold from its start without growing.
    qint64 capacity() const;
    /// Unused bytes before the start, where an insertion near the start puts the bytes it moves.
    qint64 frontRoom() const;

    /// Sets the size; bytes beyond the old size are left as they are. Throws std::bad_alloc when
    /// the memory cannot be had; the stream is then unchanged.
    virtual void setSize(qint64 newSize);
    /// Empties the stream and gives its memory back.
    void clear();
    /// Takes `bytes` as the whole content, without a copy when nothing else shares them; the
    /// position goes to 0.
    void adopt(QByteArray bytes);
    /// Empties the stream for a refill of `size` bytes. Memory of about that size is kept: its
    /// pages are already mapped, so that reloading an image of the same size costs one copy.
    void clearForRefill(qint64 size);

    /// Opens a gap of `count` uninitialised bytes at `position` (0 to size()); the bytes before
    /// or after it move, whichever are fewer.
    void insertGap(qint64 position, qint64 count);
    /// Removes `count` bytes at `position`, moving the shorter side.
    void removeRange(qint64 position, qint64 count);

    /// Reads up to `count` bytes from the stream position; returns the number read.
    qint64 read(void* buffer, qint64 count);
    /// Writes `count` bytes at the stream position, growing the stream when needed.
    qint64 write(const void* buffer, qint64 count);

    // Positioned access: every range is checked against the data and raises HexEditorError
    // "Data position/length out of data bounds" when it does not lie inside.
    /// Pointer to `count` bytes at `position`.
    char* address(qint64 position, qint64 count);
    const char* address(qint64 position, qint64 count) const;
    char* pointerAt(qint64 position, qint64 count) { return address(position, count); }

    void readBufferAt(void* buffer, qint64 position, qint64 count) const;
    void writeBufferAt(const void* buffer, qint64 position, qint64 count);
    /// Overlapping copy of `count` bytes inside the data.
    void moveBytes(qint64 from, qint64 to, qint64 count);

    /// Converts a range in place from the translation `kind` to the system code page.
    void translateToAnsi(TranslationKind kind, qint64 position, qint64 count);
    /// Converts a range in place from the system code page to the translation `kind`.
    void translateFromAnsi(TranslationKind kind, qint64 position, qint64 count);

    /// Two upper-case hexadecimal digits per byte (low nibble first when `swapNibbles`).
    QString toHex(qint64 position, qint64 count, bool swapNibbles) const;

    /// Raises the bounds error unless [position, position + count) lies inside the data.
    void checkBounds(qint64 position, qint64 count) const;

protected:
    /// Sets the capacity (at least the size), keeping the room before the start.
    void reallocate(qint64 capacity);

private:
    /// Moves the bytes into a new mapping with `front` bytes of room before them and room for
    /// `capacity` bytes from their start.
    void remap(qint64 front, qint64 capacity);
    void release();

    QByteArray m_adopted; // a block taken over whole; never shared, so m_memory stays valid
    char* m_base = nullptr; // the mapping, when the bytes are not an adopted block
    qint64 m_mapped = 0;
    char* m_memory = nullptr;
    qint64 m_size = 0;
    qint64 m_position = 0;
};

/// Two upper-case hexadecimal digits per byte (low nibble first when `swapNibbles`).
QString hexDigitsOf(const char* bytes, qint64 count, bool swapNibbles);
/// The same digits, one byte each.
QByteArray hexDigitBytesOf(const char* bytes, qint64 count, bool swapNibbles);

} // namespace kestrum
