#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Which bytes are among `Stops`.
template <char... Stops>
inline constexpr std::array<bool, 256> StopTable = [] {
    std::array<bool, 256> table{};
    ((table[static_cast<unsigned char>(Stops)] = true), ...);
    return table;
}();

// The first of the bytes `Stops` in [p, end), or end. Sixteen bytes at a time where the
// processor has the vector instructions for it: most bytes searched are none of them.
// The bytes after the last sixteen are looked up in a table when there are more than
// two stops, which costs less than comparing each byte with each of them.
template <char... Stops>
inline const char* NextOf(const char* p, const char* end)
{
#ifdef __SSE2__
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hits = _mm_setzero_si128();
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(Stops)))), ...);
        if (const int mask = _mm_movemask_epi8(hits))
            return p + std::countr_zero(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    if constexpr (sizeof...(Stops) > 2) {
        while (p < end && !StopTable<Stops...>[static_cast<unsigned char>(*p)])
            ++p;
    } else {
        while (p < end && ((*p != Stops) && ...))
            ++p;
    }
    return p;
}

// The first byte in [p, end) below `Below` or among `Stops`, or end: one comparison
// stands for all the bytes below, blanks and line breaks among them.
template <unsigned char Below, char... Stops>
inline const char* NextBelowOr(const char* p, const char* end)
{
    static_assert(Below > 0);
#ifdef __SSE2__
    const __m128i highestBelow = _mm_set1_epi8(static_cast<char>(Below - 1));
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // The bytes no higher than the highest below are those at which the maximum is it.
        __m128i hits = _mm_cmpeq_epi8(_mm_max_epu8(bytes, highestBelow), highestBelow);
        ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(Stops)))), ...);
        if (const int mask = _mm_movemask_epi8(hits))
            return p + std::countr_zero(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    static constexpr std::array<bool, 256> Table = [] {
        std::array<bool, 256> table = StopTable<Stops...>;
        for (size_t c = 0; c < Below; ++c)
            table[c] = true;
        return table;
    }();
    while (p < end && !Table[static_cast<unsigned char>(*p)])
        ++p;
    return p;
}

// The position of the first `C` at or after `from`, npos when none.
template <char C>
inline size_t FindByte(std::string_view text, size_t from = 0)
{
    if (from >= text.size())
        return std::string_view::npos;
    const char* const end = text.data() + text.size();
    const char* const hit = NextOf<C>(text.data() + from, end);
    return hit == end ? std::string_view::npos : static_cast<size_t>(hit - text.data());
}

// Copies `size` bytes, at least sizeof(Word) and at most twice as many, as two words
// that overlap in the middle.
template <class Word>
inline void CopyTwoWords(char* out, const char* in, size_t size)
{
    Word head;
    Word tail;
    std::memcpy(&head, in, sizeof(Word));
    std::memcpy(&tail, in + size - sizeof(Word), sizeof(Word));
    std::memcpy(out, &head, sizeof(Word));
    std::memcpy(out + size - sizeof(Word), &tail, sizeof(Word));
}

// Copies `size` bytes; the few bytes of a name or a short value are copied inline, where
// a library call would cost more than the copy.
inline void CopyBytes(char* out, const char* in, size_t size)
{
    if (size >= 8 && size <= 16) {
        CopyTwoWords<uint64_t>(out, in, size);
    } else if (size >= 4 && size < 8) {
        CopyTwoWords<uint32_t>(out, in, size);
    } else if (size < 4) {
        // One to three bytes: the first, the middle and the last, some of them the same.
        if (size > 0) {
            out[0] = in[0];
            out[size / 2] = in[size / 2];
            out[size - 1] = in[size - 1];
        }
    } else {
        std::memcpy(out, in, size);
    }
}
