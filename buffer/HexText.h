#pragma once

// Hexadecimal text of the record formats: digit tables and the block decoders and encoders that
// the Intel HEX and S-record codecs share. Whole blocks of 16 bytes go through SSE2 where the
// processor has it (every x86-64 does); everything else goes digit by digit through the tables.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define KESTRUM_HEX_SSE2 1
#endif

namespace kestrum::hextext {

/// Value of a hexadecimal digit ("0"-"9", "A"-"F", "a"-"f"), -1 for every other character.
inline constexpr std::array<std::int8_t, 256> DigitValue = [] {
    std::array<std::int8_t, 256> t {};
    for (int c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9')
            t[c] = static_cast<std::int8_t>(c - '0');
        else if (c >= 'A' && c <= 'F')
            t[c] = static_cast<std::int8_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            t[c] = static_cast<std::int8_t>(c - 'a' + 10);
        else
            t[c] = -1;
    }
    return t;
}();

/// The two upper-case digits of every byte value, high digit first.
inline constexpr std::array<char, 512> DigitPairs = [] {
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<char, 512> t {};
    for (int b = 0; b < 256; ++b) {
        t[2 * b] = digits[b >> 4];
        t[2 * b + 1] = digits[b & 15];
    }
    return t;
}();

inline int digitValue(char c)
{
    return DigitValue[static_cast<unsigned char>(c)];
}

/// Writes the two upper-case digits of a byte.
inline void putByte(char* out, unsigned value)
{
    const char* pair = &DigitPairs[2 * (value & 0xFF)];
    out[0] = pair[0];
    out[1] = pair[1];
}

#if KESTRUM_HEX_SSE2
/// Decodes 32 digits into 16 bytes; false (and nothing stored) when any of them is no digit.
inline bool decodeBlock(const char* text, std::uint8_t* out, std::uint32_t& sum)
{
    const __m128i zero = _mm_setzero_si128();
    const auto nibbles = [](__m128i c, __m128i& valid) {
        const __m128i d = _mm_sub_epi8(c, _mm_set1_epi8('0'));
        const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
        const __m128i l = _mm_sub_epi8(_mm_or_si128(c, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
        const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(l, _mm_set1_epi8(5)), l);
        valid = _mm_or_si128(isDigit, isLetter);
        return _mm_or_si128(_mm_and_si128(d, isDigit), _mm_and_si128(_mm_add_epi8(l, _mm_set1_epi8(10)), isLetter));
    };
    __m128i validA;
    __m128i validB;
    const __m128i a = nibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text)), validA);
    const __m128i b = nibbles(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16)), validB);
    if (_mm_movemask_epi8(_mm_and_si128(validA, validB)) != 0xFFFF)
        return false;
    // Each 16-bit lane holds the high digit in its low byte and the low digit in its high byte.
    const __m128i lowByte = _mm_set1_epi16(0x00FF);
    const __m128i wa = _mm_and_si128(_mm_or_si128(_mm_slli_epi16(a, 4), _mm_srli_epi16(a, 8)), lowByte);
    const __m128i wb = _mm_and_si128(_mm_or_si128(_mm_slli_epi16(b, 4), _mm_srli_epi16(b, 8)), lowByte);
    const __m128i bytes = _mm_packus_epi16(wa, wb);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
    const __m128i s = _mm_sad_epu8(bytes, zero);
    sum += static_cast<std::uint32_t>(_mm_cvtsi128_si32(s) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(s, s)));
    return true;
}

/// Encodes 16 bytes as 32 upper-case digits.
inline void encodeBlock(const std::uint8_t* in, char* out, std::uint32_t& sum)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i low = _mm_set1_epi8(0x0F);
    const __m128i hi = _mm_and_si128(_mm_srli_epi16(bytes, 4), low);
    const __m128i lo = _mm_and_si128(bytes, low);
    const auto ascii = [](__m128i v) {
        const __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(9)), _mm_set1_epi8('A' - '0' - 10));
        return _mm_add_epi8(_mm_add_epi8(v, _mm_set1_epi8('0')), letter);
    };
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), ascii(_mm_unpacklo_epi8(hi, lo)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), ascii(_mm_unpackhi_epi8(hi, lo)));
    const __m128i s = _mm_sad_epu8(bytes, _mm_setzero_si128());
    sum += static_cast<std::uint32_t>(_mm_cvtsi128_si32(s) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(s, s)));
}
#endif

/// Decodes up to `pairs` digit pairs into out and adds every stored byte to sum. Stops before
/// the first pair that holds a character other than a hexadecimal digit and returns the number
/// of bytes stored; nothing is stored from that pair on. The text must hold 2 * pairs characters.
inline std::size_t decodePairs(const char* text, std::size_t pairs, std::uint8_t* out, std::uint32_t& sum)
{
    std::size_t i = 0;
#if KESTRUM_HEX_SSE2
    while (pairs - i >= 16 && decodeBlock(text + 2 * i, out + i, sum))
        i += 16;
#endif
    for (; i < pairs; ++i) {
        const int high = digitValue(text[2 * i]);
        const int low = digitValue(text[2 * i + 1]);
        if ((high | low) < 0)
            break;
        const unsigned value = static_cast<unsigned>(high << 4 | low);
        out[i] = static_cast<std::uint8_t>(value);
        sum += value;
    }
    return i;
}

/// Encodes `count` bytes as upper-case digit pairs and adds them to sum.
inline void encodePairs(const std::uint8_t* in, std::size_t count, char* out, std::uint32_t& sum)
{
    std::size_t i = 0;
#if KESTRUM_HEX_SSE2
    for (; count - i >= 16; i += 16)
        encodeBlock(in + i, out + 2 * i, sum);
#endif
    for (; i < count; ++i) {
        putByte(out + 2 * i, in[i]);
        sum += in[i];
    }
}

/// True when all `count` bytes are 0xFF (erased): the writers leave such records out.
inline bool allErased(const std::uint8_t* in, std::size_t count)
{
    std::size_t i = 0;
#if KESTRUM_HEX_SSE2
    for (; count - i >= 16; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(-1))) != 0xFFFF)
            return false;
    }
#endif
    std::uint64_t all = ~std::uint64_t {0};
    for (; count - i >= 8; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, in + i, 8);
        all &= word;
    }
    for (; i < count; ++i)
        all &= std::uint64_t {in[i]} | ~std::uint64_t {0xFF};
    return all == ~std::uint64_t {0};
}

} // namespace kestrum::hextext
