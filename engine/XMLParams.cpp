#include "XMLParams.h"

#include "CodePage.h"
#include "Exceptions.h"

namespace {

// The name of an entry, and whether it has one at all (an "=" somewhere).
bool EntryName(std::string_view entry, std::string_view& name)
{
    const size_t eq = entry.find('=');
    if (eq == std::string_view::npos)
        return false;
    name = entry.substr(0, eq);
    return true;
}

} // namespace

void TXMLParams::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw EListError(index);
}

std::string_view TXMLParams::Strings(int index) const
{
    CheckIndex(index, Count());
    return FEntries[index];
}

void TXMLParams::SetStrings(int index, std::string_view entry)
{
    CheckIndex(index, Count());
    FEntries[index] = entry;
}

std::string_view TXMLParams::Names(int index) const
{
    std::string_view name;
    return EntryName(Strings(index), name) ? name : std::string_view();
}

std::string_view TXMLParams::ValueFromIndex(int index) const
{
    const std::string_view entry = Strings(index);
    const size_t eq = entry.find('=');
    return eq == std::string_view::npos ? std::string_view() : entry.substr(eq + 1);
}

int TXMLParams::IndexOfName(std::string_view name) const
{
    for (size_t i = 0; i < FEntries.size(); ++i) {
        std::string_view entryName;
        if (EntryName(FEntries[i], entryName) && SameText(entryName, name))
            return static_cast<int>(i);
    }
    return -1;
}

int TXMLParams::IndexOf(std::string_view entry) const
{
    for (size_t i = 0; i < FEntries.size(); ++i)
        if (SameText(FEntries[i], entry))
            return static_cast<int>(i);
    return -1;
}

std::string_view TXMLParams::Values(std::string_view name) const
{
    const int i = IndexOfName(name);
    return i < 0 ? std::string_view() : ValueFromIndex(i);
}

void TXMLParams::SetValue(std::string_view name, std::string_view value)
{
    const int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0)
            FEntries.erase(FEntries.begin() + i);
        return;
    }
    // Built aside: name and value may be views into this very list.
    std::pmr::string entry(FEntries.get_allocator());
    entry.reserve(name.size() + 1 + value.size());
    entry.append(name).append(1, '=').append(value);
    if (i >= 0)
        FEntries[i] = std::move(entry);
    else
        FEntries.push_back(std::move(entry));
}

std::string TXMLParams::Text() const
{
    std::string text;
    for (const std::pmr::string& entry : FEntries)
        text.append(entry).append("\r\n");
    return text;
}

void TXMLParams::SetText(std::string_view text)
{
    FEntries.clear();
    size_t p = 0;
    while (p < text.size()) {
        const size_t start = p;
        while (p < text.size() && text[p] != '\r' && text[p] != '\n')
            ++p;
        FEntries.emplace_back(text.substr(start, p - start));
        if (p < text.size() && text[p] == '\r')
            ++p;
        if (p < text.size() && text[p] == '\n')
            ++p;
    }
}

// Add and Insert copy the entry first: it may be a view into this very list.
void TXMLParams::Add(std::string_view entry) { FEntries.push_back(std::pmr::string(entry, FEntries.get_allocator())); }

void TXMLParams::Insert(int index, std::string_view entry)
{
    CheckIndex(index, Count() + 1);
    FEntries.insert(FEntries.begin() + index, std::pmr::string(entry, FEntries.get_allocator()));
}

void TXMLParams::Delete(int index)
{
    CheckIndex(index, Count());
    FEntries.erase(FEntries.begin() + index);
}

void TXMLParams::Move(int curIndex, int newIndex)
{
    CheckIndex(curIndex, Count());
    CheckIndex(newIndex, Count());
    std::pmr::string entry = std::move(FEntries[curIndex]);
    FEntries.erase(FEntries.begin() + curIndex);
    FEntries.insert(FEntries.begin() + newIndex, std::move(entry));
}
