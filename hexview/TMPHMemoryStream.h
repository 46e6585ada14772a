#pragma once

#include "hexview/MPHexEditorTypes.h"
#include "hexview/MemoryStream.h"

#include <QString>

namespace kestrum {

/// The data bytes of the hex editor. Every positioned access checks that the range lies inside
/// the data and raises EMPHexEditor "Data position/length out of data bounds" otherwise.
class TMPHMemoryStream : public MemoryStream
{
public:
    /// Pointer to `count` bytes at `position`.
    char* GetAddress(qint64 position, qint64 count);
    const char* GetAddress(qint64 position, qint64 count) const;
    char* PointerAt(qint64 position, qint64 count) { return GetAddress(position, count); }

    void ReadBufferAt(void* buffer, qint64 position, qint64 count) const;
    void WriteBufferAt(const void* buffer, qint64 position, qint64 count);
    /// Overlapping copy of `count` bytes inside the data.
    void Move(qint64 from, qint64 to, qint64 count);

    /// Converts a range in place from the translation `kind` to the system code page.
    void TranslateToAnsi(TMPHTranslationKind kind, qint64 position, qint64 count);
    /// Converts a range in place from the system code page to the translation `kind`.
    void TranslateFromAnsi(TMPHTranslationKind kind, qint64 position, qint64 count);

    /// Two upper-case hexadecimal digits per byte (low nibble first when `swapNibbles`).
    QString GetAsHex(qint64 position, qint64 count, bool swapNibbles) const;

    /// Raises the bounds error unless [position, position + count) lies inside the data.
    void CheckBounds(qint64 position, qint64 count) const;
};

} // namespace kestrum
