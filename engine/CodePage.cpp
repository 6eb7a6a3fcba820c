#include "CodePage.h"

#include <array>

namespace {

// Unicode of the bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct CaseTables {
    std::array<unsigned char, 256> lower{};
    std::array<unsigned char, 256> upper{};
    constexpr CaseTables()
    {
        for (int c = 0; c < 256; ++c) {
            lower[c] = static_cast<unsigned char>(c);
            upper[c] = static_cast<unsigned char>(c);
        }
        auto pair = [this](int up, int low) {
            lower[up] = static_cast<unsigned char>(low);
            upper[low] = static_cast<unsigned char>(up);
        };
        for (int c = 'A'; c <= 'Z'; ++c)
            pair(c, c + 32);
        for (int c = 0xC0; c <= 0xDE; ++c)
            if (c != 0xD7)
                pair(c, c + 32);
        pair(0x8A, 0x9A);
        pair(0x8C, 0x9C);
        pair(0x8E, 0x9E);
        pair(0x9F, 0xFF);
    }
};

constexpr CaseTables Tables;

char16_t ByteToUnicode(unsigned char c)
{
    return c >= 0x80 && c < 0xA0 ? HighControls[c - 0x80] : static_cast<char16_t>(c);
}

bool UnicodeToByte(char32_t u, char& out)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        out = static_cast<char>(u);
        return true;
    }
    for (int i = 0; i < 32; ++i)
        if (HighControls[i] == u) {
            out = static_cast<char>(0x80 + i);
            return true;
        }
    return false;
}

void AppendUtf8(std::string& out, char32_t u)
{
    if (u < 0x80) {
        out += static_cast<char>(u);
    } else if (u < 0x800) {
        out += static_cast<char>(0xC0 | (u >> 6));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else if (u < 0x10000) {
        out += static_cast<char>(0xE0 | (u >> 12));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (u >> 18));
        out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (u & 0x3F));
    }
}

// Decodes one UTF-8 character at `i`; false on a malformed sequence (i then skips one byte).
bool NextUtf8(std::string_view s, size_t& i, char32_t& u)
{
    const auto b = static_cast<unsigned char>(s[i]);
    int extra;
    char32_t min;
    if (b < 0x80) {
        u = b;
        ++i;
        return true;
    } else if ((b & 0xE0) == 0xC0) {
        extra = 1, u = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        extra = 2, u = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        extra = 3, u = b & 0x07, min = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (i + extra >= s.size()) {
        ++i;
        return false;
    }
    for (int k = 1; k <= extra; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        u = (u << 6) | (c & 0x3F);
    }
    if (u < min || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += extra + 1;
    return true;
}

// Decodes one UTF-16 character; a lone surrogate comes back as itself.
char32_t NextUtf16(std::u16string_view s, size_t& i)
{
    const char16_t a = s[i++];
    if (a >= 0xD800 && a <= 0xDBFF && i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF)
        return 0x10000 + ((static_cast<char32_t>(a) - 0xD800) << 10) + (s[i++] - 0xDC00);
    return a;
}

} // namespace

unsigned char Cp1252Lower(unsigned char c) { return Tables.lower[c]; }

unsigned char Cp1252Upper(unsigned char c) { return Tables.upper[c]; }

bool SameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Tables.lower[static_cast<unsigned char>(a[i])] != Tables.lower[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

std::string UpperCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(Tables.upper[static_cast<unsigned char>(c)]);
    return out;
}

size_t TextHash(std::string_view text)
{
    // FNV-1a over the lower-case bytes.
    size_t hash = static_cast<size_t>(14695981039346656037ull);
    for (char c : text)
        hash = (hash ^ Tables.lower[static_cast<unsigned char>(c)]) * static_cast<size_t>(1099511628211ull);
    return hash;
}

std::u16string Cp1252ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (char c : text)
        out += ByteToUnicode(static_cast<unsigned char>(c));
    return out;
}

bool Utf16ToCp1252(std::u16string_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char b;
        if (!UnicodeToByte(NextUtf16(text, i), b))
            return false;
        out += b;
    }
    return true;
}

std::string Cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        AppendUtf8(out, ByteToUnicode(static_cast<unsigned char>(c)));
    return out;
}

bool Utf8ToCp1252(std::string_view text, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t u;
        char b;
        if (!NextUtf8(text, i, u) || !UnicodeToByte(u, b))
            return false;
        out += b;
    }
    return true;
}

bool UnicodeToCp1252(char32_t character, char& byte) { return UnicodeToByte(character, byte); }

std::string Utf8Of(char32_t character)
{
    std::string out;
    AppendUtf8(out, character);
    return out;
}

bool ConvertToCp1252(char* data, size_t& size, TTextEncoding encoding, TConversionFailure& failure)
{
    size_t in = 0;
    size_t out = 0;
    const std::string_view text(data, size);
    while (in < size) {
        const size_t at = in;
        char32_t character = 0;
        bool valid;
        if (encoding == TTextEncoding::Utf8) {
            valid = NextUtf8(text, in, character);
        } else {
            auto unit = [&](size_t i) -> char16_t {
                const auto a = static_cast<unsigned char>(data[i]);
                const auto b = static_cast<unsigned char>(data[i + 1]);
                return static_cast<char16_t>(encoding == TTextEncoding::Utf16LE ? a | (b << 8) : (a << 8) | b);
            };
            valid = in + 1 < size;
            if (valid) {
                const char16_t first = unit(in);
                in += 2;
                character = first;
                if (first >= 0xD800 && first <= 0xDBFF) {
                    const char16_t second = in + 1 < size ? unit(in) : 0;
                    valid = second >= 0xDC00 && second <= 0xDFFF;
                    if (valid) {
                        character = 0x10000 + ((static_cast<char32_t>(first) - 0xD800) << 10) + (second - 0xDC00);
                        in += 2;
                    }
                } else {
                    valid = first < 0xDC00 || first > 0xDFFF;
                }
            } else {
                in = size;
            }
        }
        char byte;
        if (!valid || !UnicodeToByte(character, byte)) {
            failure = {at, out, valid ? character : 0, !valid};
            return false;
        }
        // The output never overtakes the input: every character takes a byte or more.
        data[out++] = byte;
    }
    size = out;
    return true;
}

std::string OneLineText(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    for (char c : text) {
        if (c == '\\')
            line += "\\\\";
        else if (c == '\r')
            line += "\\r";
        else if (c == '\n')
            line += "\\n";
        else
            line += c;
    }
    return line;
}
