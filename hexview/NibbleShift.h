#pragma once

#include <QtGlobal>

namespace kestrum {

/// Moves the nibbles of bytes[first, end) one nibble towards the end, in place: each byte takes the
/// low nibble of the byte before it as its high nibble. bytes[first - 1] is read, never written.
void shiftNibblesTowardsEnd(quint8* bytes, qint64 first, qint64 end);

/// Moves the nibbles of bytes[first, end) one nibble towards the start, in place: each byte takes
/// the high nibble of the byte after it as its low nibble; the last one gets a zero nibble.
void shiftNibblesTowardsStart(quint8* bytes, qint64 first, qint64 end);

} // namespace kestrum
