#pragma once

#include <memory_resource>
#include <string>
#include <string_view>
#include <vector>

// The parameter list of an item: ordered "name=value" entries. The name is the text
// before an entry's first "="; an entry without "=" has no name and matches no lookup.
// Lookups compare names without regard to letter case and take the first match.
// Edits here notify nobody. The entries live in the memory given at construction (an
// item's list in its document's memory).
class TXMLParams {
public:
    TXMLParams() = default;
    explicit TXMLParams(std::pmr::memory_resource* memory) : FEntries(memory) {}

    int Count() const { return static_cast<int>(FEntries.size()); }
    // The entry at an index, valid until the list changes; outside 0..Count-1 fails with
    // "List index out of bounds (%d)".
    std::string_view Strings(int index) const;
    // Replaces the entry at an index.
    void SetStrings(int index, std::string_view entry);
    // The name of the entry at an index: the text before its first "=", or empty.
    std::string_view Names(int index) const;
    // The text after the entry's first "=", or empty when it has none.
    std::string_view ValueFromIndex(int index) const;

    // Index of the first entry named `name` (any letter case), -1 when none.
    int IndexOfName(std::string_view name) const;
    // Index of the first entry equal to `entry` (any letter case), -1 when none.
    int IndexOf(std::string_view entry) const;
    // The value of the first entry named `name`, empty when none.
    std::string_view Values(std::string_view name) const;
    // Non-empty value: replaces the first entry named `name` by name=value, keeping its
    // position (the name is written as given), or appends one. Empty value: deletes
    // the first entry named `name`, if any.
    void SetValue(std::string_view name, std::string_view value);

    // The entries, each followed by CR LF.
    std::string Text() const;
    // Replaces all entries by the lines of `text`, cut at CR LF, lone CR and lone LF;
    // a line break at the very end adds no empty entry.
    void SetText(std::string_view text);

    void Add(std::string_view entry);
    // Inserts at 0..Count.
    void Insert(int index, std::string_view entry);
    void Delete(int index);
    // Moves the entry at `curIndex` to `newIndex`; the entries between shift by one.
    void Move(int curIndex, int newIndex);
    void Clear() { FEntries.clear(); }

private:
    friend class TXMLParamParser;

    void CheckIndex(int index, int limit) const;

    std::pmr::vector<std::pmr::string> FEntries;
};
