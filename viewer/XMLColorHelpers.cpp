#include "XMLColorHelpers.h"

#include <string>

namespace {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

TColor HexToColor(std::string_view text)
{
    std::string digits;
    for (const char c : text)
        if (HexDigitValue(c) >= 0)
            digits += c;
    if (digits.size() < 6)
        digits.insert(0, 6 - digits.size(), '0');

    // RRGGBB becomes BBGGRR; digits beyond the sixth stay between green and red.
    std::string ordered = digits.substr(4, 2) + digits.substr(2, 2) + digits.substr(6) + digits.substr(0, 2);
    const std::size_t first = ordered.find_first_not_of('0');
    if (first == std::string::npos)
        return 0;
    if (ordered.size() - first > 8)
        return 0;
    TColor color = 0;
    for (std::size_t i = first; i < ordered.size(); ++i)
        color = color << 4 | static_cast<TColor>(HexDigitValue(ordered[i]));
    return color;
}

QColor ToQColor(TColor color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>(color >> 8 & 0xFF), static_cast<int>(color >> 16 & 0xFF));
}
