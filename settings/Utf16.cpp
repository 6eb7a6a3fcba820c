#include "Utf16.h"

namespace {

constexpr char32_t Replacement = 0xFFFD;

// Decodes one code point at `pos`, advancing it; nothing past a malformed sequence's
// longest valid prefix is consumed, so decoding resynchronises on the next lead byte.
bool DecodeUtf8(std::string_view text, std::size_t& pos, char32_t& cp)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos++);
    if (lead < 0x80) {
        cp = lead;
        return true;
    }
    int count = 0;
    char32_t min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        count = 1;
        cp = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 2;
        cp = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 3;
        cp = lead & 0x07;
        min = 0x10000;
    } else {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        if (pos >= text.size() || (byte(pos) & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (byte(pos++) & 0x3F);
        // Reject overlong, surrogate and out-of-range forms as soon as the first
        // continuation byte makes them certain.
        if (i == 0 && count > 1) {
            const char32_t high = cp << (6 * (count - 1));
            if (high < min || (high >= 0xD800 && high <= 0xDFFF) || high > 0x10FFFF) {
                --pos;
                return false;
            }
        }
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

bool IsValidUtf8(std::string_view text)
{
    std::size_t pos = 0;
    char32_t cp = 0;
    while (pos < text.size()) {
        if (!DecodeUtf8(text, pos, cp))
            return false;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        if (!DecodeUtf8(text, pos, cp))
            cp = Replacement;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
            && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = Replacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::vector<std::uint8_t> StringToRegBytes(std::string_view text)
{
    const std::u16string units = Utf8ToUtf16(text);
    std::vector<std::uint8_t> data;
    data.reserve(2 * units.size() + 2);
    for (const char16_t unit : units) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

std::string RegBytesToString(const std::vector<std::uint8_t>& data)
{
    std::u16string units;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0)
            break;
        units += unit;
    }
    return Utf16ToUtf8(units);
}
