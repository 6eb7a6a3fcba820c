#include "MatchMask.h"

bool MatchPattern(std::string_view pattern, std::string_view text)
{
    size_t i = 0; // position in the pattern
    size_t j = 0; // position in the text; may run past its end through "?"
    while (i < pattern.size()) {
        if (pattern[i] == '*') {
            if (i + 1 == pattern.size())
                return true;
            // The segment starts right after the "*", even when that is another "*",
            // and is searched literally from the text's start.
            size_t end = pattern.find('*', i + 2);
            if (end == std::string_view::npos)
                end = pattern.size();
            const size_t found = text.find(pattern.substr(i + 1, end - i - 1));
            if (found == std::string_view::npos)
                return false;
            ++i;
            j = found;
        } else if (pattern[i] == '?') {
            ++i;
            ++j;
        } else {
            if (j >= text.size() || pattern[i] != text[j])
                return false;
            ++i;
            ++j;
        }
    }
    return j >= text.size();
}

bool MatchMask(std::string_view pattern, std::string_view name)
{
    const size_t dot = pattern.find('.');
    if (dot == std::string_view::npos)
        return MatchPattern(pattern, name);
    // The name is divided where the pattern has its dot; the name's character there
    // takes part in neither half.
    const std::string_view namePart = name.substr(0, dot);
    const std::string_view extensionPart = dot + 1 < name.size() ? name.substr(dot + 1) : std::string_view();
    return MatchPattern(pattern.substr(0, dot), namePart) && MatchPattern(pattern.substr(dot + 1), extensionPart);
}
