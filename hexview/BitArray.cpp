#include "hexview/BitArray.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kestrum {

BitArray::~BitArray()
{
    std::free(m_words);
}

bool BitArray::testBit(qint64 index) const
{
    if (index < 0 || index >= m_length)
        return false;
    return (m_words[index >> 6] >> (index & 63)) & 1U;
}

void BitArray::grow(qint64 words)
{
    const qint64 capacity = std::max(words, m_wordCapacity * 2);
    auto* grown = static_cast<quint64*>(std::calloc(static_cast<size_t>(capacity), sizeof(quint64)));
    if (!grown)
        throw std::bad_alloc();
    if (m_dirtyLow <= m_dirtyHigh) {
        std::memcpy(grown + m_dirtyLow, m_words + m_dirtyLow,
            static_cast<size_t>(m_dirtyHigh - m_dirtyLow + 1) * sizeof(quint64));
    }
    std::free(m_words);
    m_words = grown;
    m_wordCapacity = capacity;
}

void BitArray::setBit(qint64 index, bool value)
{
    if (index < 0)
        return;
    if (index >= m_length) {
        if (!value)
            return;
        const qint64 words = (index >> 6) + 1;
        if (words > m_wordCapacity)
            grow(words);
        m_length = index + 1;
    }
    const qint64 word = index >> 6;
    const quint64 bit = quint64(1) << (index & 63);
    if (value) {
        m_words[word] |= bit;
        if (m_dirtyLow > m_dirtyHigh) {
            m_dirtyLow = m_dirtyHigh = word;
        } else {
            m_dirtyLow = std::min(m_dirtyLow, word);
            m_dirtyHigh = std::max(m_dirtyHigh, word);
        }
    } else {
        m_words[word] &= ~bit;
    }
}

void BitArray::truncate(qint64 index)
{
    index = std::max<qint64>(index, 0);
    if (index >= m_length)
        return;
    m_length = index;
    if (m_dirtyLow > m_dirtyHigh)
        return;
    const qint64 word = index >> 6;
    if (word > m_dirtyHigh)
        return;
    qint64 firstWholeWord = word;
    if (index & 63) {
        m_words[word] &= (quint64(1) << (index & 63)) - 1;
        firstWholeWord = word + 1;
    }
    const qint64 from = std::max(firstWholeWord, m_dirtyLow);
    if (from <= m_dirtyHigh)
        std::memset(m_words + from, 0, static_cast<size_t>(m_dirtyHigh - from + 1) * sizeof(quint64));
    m_dirtyHigh = (index & 63) ? word : word - 1;
    if (m_dirtyHigh < m_dirtyLow) {
        m_dirtyLow = 0;
        m_dirtyHigh = -1;
    }
}

void BitArray::clearAll()
{
    if (m_dirtyLow <= m_dirtyHigh)
        std::memset(m_words + m_dirtyLow, 0, static_cast<size_t>(m_dirtyHigh - m_dirtyLow + 1) * sizeof(quint64));
    m_dirtyLow = 0;
    m_dirtyHigh = -1;
    m_length = 0;
}

bool BitArray::anySet() const
{
    for (qint64 w = m_dirtyLow; w <= m_dirtyHigh; ++w) {
        if (m_words[w])
            return true;
    }
    return false;
}

} // namespace kestrum
