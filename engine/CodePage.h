#pragma once

#include <string>
#include <string_view>

// Document text is Windows-1252 bytes. These helpers give the code page's letter
// case and its mapping to Unicode; nothing in the engine converts text itself.

// The byte in lower case: ASCII and the code page's Latin letters (Š Œ Ž Ÿ À..Þ).
unsigned char Cp1252Lower(unsigned char c);
// The byte in upper case, the inverse of Cp1252Lower (ß and ÿ stay; ÿ ↔ Ÿ).
unsigned char Cp1252Upper(unsigned char c);

// Equal without regard to letter case.
bool SameText(std::string_view a, std::string_view b);
// Upper-case copy.
std::string UpperCase(std::string_view text);
// A hash that ignores letter case: texts SameText finds equal hash alike.
size_t TextHash(std::string_view text);

// Every byte maps to one UTF-16 unit; the five unassigned bytes map to C1 controls.
std::u16string Cp1252ToUtf16(std::string_view text);
// False (and `out` unspecified) when a character has no byte in the code page.
bool Utf16ToCp1252(std::u16string_view text, std::string& out);

std::string Cp1252ToUtf8(std::string_view text);
// False when the text is not valid UTF-8 or a character has no byte in the code page.
bool Utf8ToCp1252(std::string_view text, std::string& out);

// The code page's byte for a Unicode character; false when it has none.
bool UnicodeToCp1252(char32_t character, char& byte);
// A character as UTF-8, for messages.
std::string Utf8Of(char32_t character);

enum class TTextEncoding { Utf8, Utf16LE, Utf16BE };

// Where a conversion stopped: the offset of the character in the input and in the
// output written before it, and the character (0 when the bytes are no character of
// the encoding at all).
struct TConversionFailure {
    size_t Offset = 0;
    size_t Converted = 0;
    char32_t Character = 0;
    bool Invalid = false;
};

// Converts UTF-8 or UTF-16 text into the code page in place, `size` then its new length;
// false, with `failure` set and the text partly converted, at the first character the
// code page cannot hold or the first bytes that are no character.
bool ConvertToCp1252(char* data, size_t& size, TTextEncoding encoding, TConversionFailure& failure);

// Text as one line of output: a backslash written as two, a CR as a backslash and "r", a
// LF as a backslash and "n". Bytes are taken as they stand: UTF-8 and code page alike.
std::string OneLineText(std::string_view text);
