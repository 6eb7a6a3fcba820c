#pragma once

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The position of the first `c` at or after `from`, npos when none. Names, tags and
// values are mostly short: their first bytes are searched by a plain loop, which costs
// less there than a call of the library's vector search; the rest of a long text goes
// to that search.
inline size_t FindByte(std::string_view text, char c, size_t from = 0)
{
    const size_t quick = std::min(text.size(), from + 16);
    for (size_t i = from; i < quick; ++i)
        if (text[i] == c)
            return i;
    if (quick >= text.size())
        return std::string_view::npos;
    const void* hit = std::memchr(text.data() + quick, c, text.size() - quick);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text.data()) : std::string_view::npos;
}

// The first of the bytes `Stops` in [p, end), or end. Sixteen bytes at a time where the
// processor has the vector instructions for it: most bytes searched are none of them.
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
    while (p < end && ((*p != Stops) && ...))
        ++p;
    return p;
}
