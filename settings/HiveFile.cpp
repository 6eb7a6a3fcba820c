#include "HiveFile.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unordered_set>

#include "Utf16.h"

namespace {

constexpr std::string_view Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view HexDigits = "0123456789abcdef";

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FoldCase(std::string_view s)
{
    std::string folded(s);
    std::transform(folded.begin(), folded.end(), folded.begin(), LowerAscii);
    return folded;
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

// True when `path` is `key` or lies below it.
bool IsInKey(std::string_view path, std::string_view key)
{
    return SameText(path.substr(0, key.size()), key) && (path.size() == key.size() || path[key.size()] == '\\');
}

std::string_view Trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

int HexValue(char c)
{
    const std::size_t pos = HexDigits.find(LowerAscii(c));
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

// Parses 1 to `maxDigits` hexadecimal digits making up all of `s`.
bool ParseHexNumber(std::string_view s, std::size_t maxDigits, std::uint32_t& number)
{
    if (s.empty() || s.size() > maxDigits)
        return false;
    number = 0;
    for (const char c : s) {
        const int digit = HexValue(c);
        if (digit < 0)
            return false;
        number = number << 4 | static_cast<std::uint32_t>(digit);
    }
    return true;
}

// Parses comma-separated bytes; a trailing comma is allowed.
bool ParseHexBytes(std::string_view s, std::vector<std::uint8_t>& bytes)
{
    s = Trim(s);
    if (!s.empty() && s.back() == ',')
        s.remove_suffix(1);
    while (!s.empty()) {
        const std::size_t comma = s.find(',');
        std::uint32_t byte = 0;
        if (!ParseHexNumber(Trim(s.substr(0, comma)), 2, byte))
            return false;
        bytes.push_back(static_cast<std::uint8_t>(byte));
        if (comma == std::string_view::npos)
            break;
        s.remove_prefix(comma + 1);
        if (s.empty())
            return false;
    }
    return true;
}

// Parses a quoted text starting at s[pos] == '"', leaving pos after the closing quote.
bool ParseQuoted(std::string_view s, std::size_t& pos, std::string& text)
{
    if (pos >= s.size() || s[pos] != '"')
        return false;
    for (++pos; pos < s.size(); ++pos) {
        if (s[pos] == '"') {
            ++pos;
            return IsValidUtf8(text);
        }
        if (s[pos] == '\\') {
            if (++pos == s.size() || (s[pos] != '\\' && s[pos] != '"'))
                return false;
        }
        text += s[pos];
    }
    return false;
}

void AppendQuoted(std::string& out, std::string_view text)
{
    out += '"';
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
}

// The text of a string value when it can be written between quotes on one line: well
// formed, one terminating zero unit and no control characters. The text read back from
// the quotes then gives the same bytes.
std::optional<std::string> OneLineText(const std::vector<std::uint8_t>& data)
{
    if (data.size() < 2 || data.size() % 2 != 0 || data[data.size() - 2] != 0 || data.back() != 0)
        return std::nullopt;
    std::u16string units;
    for (std::size_t i = 0; i + 2 < data.size(); i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F))
            return std::nullopt;
        units += unit;
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00
            && units[i + 1] <= 0xDFFF)
            ++i;
        else if (units[i] >= 0xD800 && units[i] <= 0xDFFF)
            return std::nullopt;
    }
    return Utf16ToUtf8(units);
}

// Appends comma-separated hex bytes, continuing the line with "\" before it would pass
// 80 columns, as registry exports do.
void AppendHexBytes(std::string& out, std::size_t lineStart, const std::vector<std::uint8_t>& data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        const bool last = i + 1 == data.size();
        if (i > 0 && out.size() - lineStart + (last ? 2 : 3) > 79) {
            out += "\\\n  ";
            lineStart = out.size() - 2;
        }
        out += HexDigits[data[i] >> 4];
        out += HexDigits[data[i] & 0xF];
        if (!last)
            out += ',';
    }
}

void AppendValue(std::string& out, std::string_view name, const TRegValue& value)
{
    const std::size_t lineStart = out.size();
    if (name.empty())
        out += '@';
    else
        AppendQuoted(out, name);
    out += '=';
    if (value.Type == rtString) {
        if (const std::optional<std::string> text = OneLineText(value.Data)) {
            AppendQuoted(out, *text);
            return;
        }
    }
    if (value.Type == rtInteger && value.Data.size() == 4) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%02x%02x%02x%02x", value.Data[3], value.Data[2], value.Data[1],
                      value.Data[0]);
        out += "dword:";
        out += digits;
        return;
    }
    if (value.Type == rtBinary) {
        out += "hex:";
    } else {
        char type[9];
        std::snprintf(type, sizeof type, "%x", static_cast<unsigned>(value.Type));
        out += "hex(";
        out += type;
        out += "):";
    }
    AppendHexBytes(out, lineStart, value.Data);
}

// Parses the part after "=" of a value line; hex data arrives with its continuation
// lines already joined.
bool ParseData(std::string_view s, TRegValue& value)
{
    if (s.starts_with('"')) {
        std::size_t pos = 0;
        std::string text;
        if (!ParseQuoted(s, pos, text) || pos != s.size())
            return false;
        value = {rtString, StringToRegBytes(text)};
        return true;
    }
    if (s.starts_with("dword:")) {
        std::uint32_t number = 0;
        if (!ParseHexNumber(s.substr(6), 8, number))
            return false;
        value = {rtInteger,
                 {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                  static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)}};
        return true;
    }
    value = {rtBinary, {}};
    if (s.starts_with("hex(")) {
        const std::size_t close = s.find("):");
        if (close == std::string_view::npos || !ParseHexNumber(s.substr(4, close - 4), 8, value.Type))
            return false;
        s.remove_prefix(close + 2);
    } else if (s.starts_with("hex:")) {
        s.remove_prefix(4);
    } else {
        return false;
    }
    return ParseHexBytes(s, value.Data);
}

} // namespace

THiveFile::THiveFile(std::string rootName) : FRootName(std::move(rootName)) {}

THiveFile THiveFile::Parse(std::string_view text, std::string rootName, const std::string& fileName)
{
    THiveFile hive(std::move(rootName));
    if (text.empty())
        return hive;
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::size_t lineNo = 0;
    const auto fail = [&](const char* what) {
        return ERegistryException("Cannot read registry file \"" + fileName + "\": " + what + " on line "
                                  + std::to_string(lineNo + 1));
    };

    std::string_view first = lines[0];
    if (first.starts_with("\xEF\xBB\xBF"))
        first.remove_prefix(3);
    if (Trim(first) != Header)
        throw fail("bad header line");

    std::size_t key = hive.FKeys.size();
    std::unordered_set<std::string> seen; // key index and folded name of each value read
    for (lineNo = 1; lineNo < lines.size(); ++lineNo) {
        const std::string_view line = Trim(lines[lineNo]);
        if (line.empty() || line.starts_with(';'))
            continue;
        if (line.starts_with('[')) {
            const std::string_view root = hive.FRootName;
            if (!line.ends_with(']') || !SameText(line.substr(1, root.size()), root))
                throw fail("bad key line");
            std::string_view path = line.substr(1 + root.size(), line.size() - root.size() - 2);
            if (!path.empty()) {
                if (path == "\\" || !path.starts_with('\\') || !IsValidRegistryPath(path.substr(1)))
                    throw fail("bad key line");
                path.remove_prefix(1);
            }
            key = hive.IndexOfKey(path);
            if (key == hive.FKeys.size())
                key = hive.AddKey(path);
            continue;
        }
        if (key == hive.FKeys.size())
            throw fail("value line outside a key");

        std::string name;
        std::size_t pos = 0;
        if (line.starts_with('@'))
            pos = 1;
        else if (!ParseQuoted(line, pos, name) || !IsValidRegistryName(name))
            throw fail("bad value line");
        if (pos >= line.size() || line[pos] != '=')
            throw fail("bad value line");
        std::string data(line.substr(pos + 1));
        const std::size_t valueLine = lineNo;
        while (data.starts_with("hex") && data.ends_with('\\')) {
            data.pop_back();
            // A value cut short leaves nothing or a blank line to continue with.
            if (++lineNo == lines.size() || Trim(lines[lineNo]).empty()) {
                lineNo = valueLine;
                throw fail("bad value line");
            }
            data += Trim(lines[lineNo]);
        }
        TRegValue value;
        if (!ParseData(data, value)) {
            lineNo = valueLine;
            throw fail("bad value line");
        }
        // Repeated names are rare; only they pay for a search of the key's values.
        if (seen.insert(std::to_string(key) + '\\' + FoldCase(name)).second)
            hive.FKeys[key].Values.emplace_back(std::move(name), std::move(value));
        else
            hive.SetValue(hive.FKeys[key].Path, name, value);
    }
    return hive;
}

std::string THiveFile::Text() const
{
    std::string out(Header);
    out += "\n\n";
    for (const TKey& key : FKeys) {
        out += '[';
        out += FRootName;
        if (!key.Path.empty()) {
            out += '\\';
            out += key.Path;
        }
        out += "]\n";
        for (const auto& [name, value] : key.Values) {
            AppendValue(out, name, value);
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

std::size_t THiveFile::IndexOfKey(std::string_view path) const
{
    const auto it = std::find_if(FKeys.begin(), FKeys.end(), [&](const TKey& key) { return SameText(key.Path, path); });
    return static_cast<std::size_t>(it - FKeys.begin());
}

std::size_t THiveFile::AddKey(std::string_view path)
{
    std::size_t index = FKeys.size(); // the level above, while it is the root: none
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find('\\', start);
        const std::size_t found = IndexOfKey(path.substr(0, end));
        if (found < FKeys.size()) {
            index = found;
        } else {
            // A new level is spelled as given, below its parent as the parent is spelled.
            std::string spelled = index < FKeys.size() ? FKeys[index].Path + '\\' : std::string();
            spelled += path.substr(start, end - start);
            FKeys.push_back({std::move(spelled), {}});
            index = FKeys.size() - 1;
        }
        if (end == std::string_view::npos)
            return index;
        start = end + 1;
    }
}

bool THiveFile::KeyExists(std::string_view path) const
{
    return path.empty() || IndexOfKey(path) < FKeys.size();
}

bool THiveFile::CreateKey(std::string_view path)
{
    if (KeyExists(path))
        return false;
    AddKey(path);
    return true;
}

bool THiveFile::DeleteKey(std::string_view path)
{
    if (path.empty())
        return false;
    return std::erase_if(FKeys, [&](const TKey& key) { return IsInKey(key.Path, path); }) > 0;
}

const TRegValue* THiveFile::FindValue(std::string_view path, std::string_view name) const
{
    const std::size_t key = IndexOfKey(path);
    if (key == FKeys.size())
        return nullptr;
    for (const auto& [valueName, value] : FKeys[key].Values) {
        if (SameText(valueName, name))
            return &value;
    }
    return nullptr;
}

bool THiveFile::SetValue(std::string_view path, std::string_view name, const TRegValue& value)
{
    std::size_t key = IndexOfKey(path);
    if (key == FKeys.size())
        key = AddKey(path);
    auto& values = FKeys[key].Values;
    const auto it = std::find_if(values.begin(), values.end(), [&](const auto& v) { return SameText(v.first, name); });
    if (it == values.end()) {
        values.emplace_back(std::string(name), value);
        return true;
    }
    if (it->second == value)
        return false;
    it->second = value;
    return true;
}

bool THiveFile::DeleteValue(std::string_view path, std::string_view name)
{
    const std::size_t key = IndexOfKey(path);
    if (key == FKeys.size())
        return false;
    return std::erase_if(FKeys[key].Values, [&](const auto& v) { return SameText(v.first, name); }) > 0;
}
