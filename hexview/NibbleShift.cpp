#include "hexview/NibbleShift.h"

#include <cstring>

// The nibble shifts work on 32 bytes at a time as a vector of bytes, so that shifting a 64 MiB tail
// costs about one pass over its memory; on x86-64 a second build of each uses AVX2 where the
// processor has it.
#if defined(__x86_64__) && defined(__GNUC__)
#define KESTRUM_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define KESTRUM_VECTOR_CLONES
#endif

namespace kestrum {

namespace {

using ByteVector = quint8 __attribute__((vector_size(32)));
constexpr qint64 VectorBytes = sizeof(ByteVector);

} // namespace

KESTRUM_VECTOR_CLONES void shiftNibblesTowardsEnd(quint8* bytes, qint64 first, qint64 end)
{
    qint64 i = end;
    // From the end down, so that every byte before the ones written is still unchanged.
    for (; i - VectorBytes >= first; i -= VectorBytes) {
        ByteVector current;
        ByteVector previous;
        std::memcpy(&current, bytes + i - VectorBytes, VectorBytes);
        std::memcpy(&previous, bytes + i - VectorBytes - 1, VectorBytes);
        const ByteVector shifted = (previous << 4) | (current >> 4);
        std::memcpy(bytes + i - VectorBytes, &shifted, VectorBytes);
    }
    for (--i; i >= first; --i)
        bytes[i] = quint8((bytes[i - 1] << 4) | (bytes[i] >> 4));
}

KESTRUM_VECTOR_CLONES void shiftNibblesTowardsStart(quint8* bytes, qint64 first, qint64 end)
{
    qint64 i = first;
    for (; i + VectorBytes < end; i += VectorBytes) {
        ByteVector current;
        ByteVector following;
        std::memcpy(&current, bytes + i, VectorBytes);
        std::memcpy(&following, bytes + i + 1, VectorBytes);
        const ByteVector shifted = (current << 4) | (following >> 4);
        std::memcpy(bytes + i, &shifted, VectorBytes);
    }
    for (; i < end; ++i)
        bytes[i] = quint8((bytes[i] << 4) | (i + 1 < end ? bytes[i + 1] >> 4 : 0));
}

} // namespace kestrum
