#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

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
