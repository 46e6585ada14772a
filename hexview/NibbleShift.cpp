#include "hexview/NibbleShift.h"

#include <cstring>

namespace kestrum {

namespace {

// The nibble shifts work on 16 bytes at a time as a vector of bytes, so that shifting a 64 MiB tail
// costs about one pass over its memory.
using ByteVector = quint8 __attribute__((vector_size(16)));
constexpr qint64 VectorBytes = sizeof(ByteVector);

ByteVector loadVector(const quint8* bytes)
{
    ByteVector vector;
    std::memcpy(&vector, bytes, sizeof vector);
    return vector;
}

void storeVector(quint8* bytes, ByteVector vector)
{
    std::memcpy(bytes, &vector, sizeof vector);
}

} // namespace

void shiftNibblesTowardsEnd(quint8* bytes, qint64 first, qint64 end)
{
    qint64 i = end;
    // From the end down, so that every byte before the ones written is still unchanged.
    for (; i - VectorBytes >= first; i -= VectorBytes) {
        const ByteVector current = loadVector(bytes + i - VectorBytes);
        const ByteVector previous = loadVector(bytes + i - VectorBytes - 1);
        storeVector(bytes + i - VectorBytes, (previous << 4) | (current >> 4));
    }
    for (--i; i >= first; --i)
        bytes[i] = quint8((bytes[i - 1] << 4) | (bytes[i] >> 4));
}

void shiftNibblesTowardsStart(quint8* bytes, qint64 first, qint64 end)
{
    qint64 i = first;
    for (; i + VectorBytes < end; i += VectorBytes) {
        const ByteVector current = loadVector(bytes + i);
        const ByteVector following = loadVector(bytes + i + 1);
        storeVector(bytes + i, (current << 4) | (following >> 4));
    }
    for (; i < end; ++i)
        bytes[i] = quint8((bytes[i] << 4) | (i + 1 < end ? bytes[i + 1] >> 4 : 0));
}

} // namespace kestrum
