#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Conversions between the UTF-8 text of the settings API and the UTF-16 the registry stores.

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool IsValidUtf8(std::string_view text);
// UTF-8 to UTF-16; each malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// UTF-16 to UTF-8; each unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// The bytes of a registry string value: UTF-16LE followed by a terminating zero unit.
std::vector<std::uint8_t> StringToRegBytes(std::string_view text);
// The text of a registry string value: its UTF-16LE units up to the first zero unit
// (or the end); an odd last byte is ignored.
std::string RegBytesToString(const std::vector<std::uint8_t>& data);
