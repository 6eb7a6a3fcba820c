#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// An item's value as it lies in the document's memory: read like a string view, valid
// until the value changes or the item goes. It ends with a NUL byte, so c_str() works as
// a string's does, and it turns into a string wherever one is wanted.
class TXMLText : public std::string_view {
public:
    constexpr TXMLText() : std::string_view("", 0) {}
    // `data` must have a NUL byte at `data[size]`.
    constexpr TXMLText(const char* data, size_t size) : std::string_view(data, size) {}
    // A text that ends with a NUL byte, such as a literal a caller sets against a value.
    constexpr TXMLText(const char* text) : std::string_view(text) {}

    const char* c_str() const { return data(); }
    operator std::string() const { return std::string(data(), size()); }
    // A part as a string, as a string's substr gives it.
    std::string substr(size_t position = 0, size_t count = npos) const
    {
        return std::string(std::string_view::substr(position, count));
    }
};

inline std::string operator+(const TXMLText& left, const TXMLText& right) { return std::string(left).append(right); }
inline std::string operator+(const TXMLText& left, const char* right) { return std::string(left).append(right); }
inline std::string operator+(const TXMLText& left, const std::string& right) { return std::string(left).append(right); }
inline std::string operator+(const TXMLText& left, char right) { return std::string(left) + right; }
inline std::string operator+(const char* left, const TXMLText& right) { return std::string(left).append(right); }
inline std::string operator+(const std::string& left, const TXMLText& right) { return std::string(left).append(right); }
inline std::string operator+(char left, const TXMLText& right) { return left + std::string(right); }
