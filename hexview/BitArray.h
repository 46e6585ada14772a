#pragma once

#include <QtGlobal>

namespace kestrum {

/// The changed-byte marks: one bit per data byte. The array may be shorter than the data; bits
/// beyond its length read as clear. It remembers the range of words that may hold set bits, so
/// that clearing and truncating cost the marked range, not the data size, and growing it does
/// not touch the new words (they come zeroed from calloc).
class BitArray
{
public:
    BitArray() = default;
    BitArray(const BitArray&) = delete;
    BitArray& operator=(const BitArray&) = delete;
    ~BitArray();

    bool testBit(qint64 index) const;
    /// Sets or clears a bit; setting a bit beyond the length grows the array to it.
    void setBit(qint64 index, bool value);
    /// Clears every bit from `index` on and makes `index` the new length (when shorter).
    void truncate(qint64 index);
    /// Clears every bit; the length becomes 0.
    void clearAll();
    /// Number of bits (the array may be shorter than the data).
    qint64 length() const { return m_length; }
    /// True when at least one bit is set.
    bool anySet() const;

private:
    void grow(qint64 words);

    quint64* m_words = nullptr;
    qint64 m_wordCapacity = 0;
    qint64 m_length = 0;
    // Words outside [m_dirtyLow, m_dirtyHigh] are known to be zero; empty when low > high.
    qint64 m_dirtyLow = 0;
    qint64 m_dirtyHigh = -1;
};

} // namespace kestrum
