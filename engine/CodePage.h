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
