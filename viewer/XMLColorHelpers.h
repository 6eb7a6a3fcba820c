#pragma once

#include <QColor>

#include <cstdint>
#include <string_view>

// A colour value: red in bits 0-7, green in 8-15, blue in 16-23. The top byte is 0 for
// every colour read from a six-digit text.
using TColor = std::uint32_t;

constexpr TColor RGBToColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return TColor(red) | TColor(green) << 8 | TColor(blue) << 16;
}

constexpr TColor clBlack = RGBToColor(0, 0, 0);
constexpr TColor clWhite = RGBToColor(255, 255, 255);
constexpr TColor clRed = RGBToColor(255, 0, 0);
constexpr TColor clGreen = RGBToColor(0, 128, 0);
constexpr TColor clYellow = RGBToColor(255, 255, 0);
constexpr TColor clAqua = RGBToColor(0, 255, 255);

// A colour text RRGGBB as a colour value. Only the hexadecimal digits count; fewer than
// six are padded with leading zeros, so "" is black and "FF" blue. With more than six the
// digits run d5 d6 d3 d4 d7 ... dn d1 d2, and a number of more than eight significant
// digits gives black.
TColor HexToColor(std::string_view text);

// The colour as Qt draws it; the top byte is ignored.
QColor ToQColor(TColor color);
