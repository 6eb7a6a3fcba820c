#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Registry.h"

// The keys and values of one registry root as its hive file holds them, in the text
// format of registry exports: the line "Windows Registry Editor Version 5.00", a blank
// line, then per key a line "[<root>\<path>]", its values and a blank line. Values are
// written as "name"=..., or @=... for the default value: "text" with \\ and \" escapes,
// dword:0000000a, hex:.. for binary data, hex(2):.. for expandable strings, hex(1):.. for
// strings that cannot stand on one line, hex(<type>):.. for any other type. Key paths
// are relative to the root ("" is the root itself) and, like value names, match
// without regard to ASCII letter case. Keys and values keep the order they were added in.
class THiveFile {
public:
    // An empty hive of the root named `rootName`, e.g. "HKEY_CURRENT_USER".
    explicit THiveFile(std::string rootName);

    // Reads hive text. Long hex values may be continued over lines ending in "\";
    // comment lines start with ";"; a key also brings its missing parents into being.
    // Throws ERegistryException, 'Cannot read registry file "<fileName>": <what> on
    // line <n>', at the first line that cannot be read.
    static THiveFile Parse(std::string_view text, std::string rootName, const std::string& fileName);
    // The hive file's text; lines end in LF and hex lines are continued after 80 columns.
    std::string Text() const;

    // True for the root and for every key the hive holds.
    bool KeyExists(std::string_view path) const;
    // Adds the key and its missing parents; false when it existed already.
    bool CreateKey(std::string_view path);
    // Removes the key with all its subkeys; false when it did not exist or is the root.
    bool DeleteKey(std::string_view path);
    // The value, or null when the key or the value does not exist.
    const TRegValue* FindValue(std::string_view path, std::string_view name) const;
    // Stores the value, creating the key when missing; a value replaced keeps its name's
    // case and position. False when the value was already stored exactly so.
    bool SetValue(std::string_view path, std::string_view name, const TRegValue& value);
    // False when the value did not exist.
    bool DeleteValue(std::string_view path, std::string_view name);

private:
    struct TKey {
        std::string Path;
        std::vector<std::pair<std::string, TRegValue>> Values;
    };

    std::size_t IndexOfKey(std::string_view path) const;
    std::size_t AddKey(std::string_view path);

    std::string FRootName;
    std::vector<TKey> FKeys;
};
