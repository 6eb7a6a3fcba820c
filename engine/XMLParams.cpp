#include "XMLParams.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "ByteSearch.h"
#include "CodePage.h"
#include "Exceptions.h"

namespace {

// The name of an entry, and whether it has one at all (an "=" somewhere).
bool EntryName(std::string_view entry, std::string_view& name)
{
    const size_t eq = FindByte(entry, '=');
    if (eq == std::string_view::npos)
        return false;
    name = entry.substr(0, eq);
    return true;
}

} // namespace

TXMLParams::TXMLParams(const TXMLParams& other) : TXMLParams() { *this = other; }

TXMLParams& TXMLParams::operator=(const TXMLParams& other)
{
    if (this == &other)
        return *this;
    TXMLParams copy(FMemory);
    copy.Reserve(other.FCount, other.FTextSize - other.FUnused);
    for (size_t i = 0; i < other.FCount; ++i) {
        const std::string_view entry = other.EntryText(i);
        copy.OpenSlot(copy.FCount);
        copy.FEntries[copy.FCount - 1] = {copy.PlaceText(entry.size()), entry.size()};
        if (!entry.empty())
            std::memcpy(copy.FText + copy.FEntries[copy.FCount - 1].offset, entry.data(), entry.size());
    }
    return *this = std::move(copy);
}

TXMLParams::TXMLParams(TXMLParams&& other) noexcept
    : FMemory(other.FMemory), FEntries(std::exchange(other.FEntries, nullptr)), FCount(std::exchange(other.FCount, 0)),
      FEntryCapacity(std::exchange(other.FEntryCapacity, 0)), FText(std::exchange(other.FText, nullptr)),
      FTextSize(std::exchange(other.FTextSize, 0)), FTextCapacity(std::exchange(other.FTextCapacity, 0)),
      FUnused(std::exchange(other.FUnused, 0))
{
}

TXMLParams& TXMLParams::operator=(TXMLParams&& other)
{
    if (this == &other)
        return *this;
    if (!FMemory->is_equal(*other.FMemory))
        return *this = static_cast<const TXMLParams&>(other);
    Release();
    FEntries = std::exchange(other.FEntries, nullptr);
    FCount = std::exchange(other.FCount, 0);
    FEntryCapacity = std::exchange(other.FEntryCapacity, 0);
    FText = std::exchange(other.FText, nullptr);
    FTextSize = std::exchange(other.FTextSize, 0);
    FTextCapacity = std::exchange(other.FTextCapacity, 0);
    FUnused = std::exchange(other.FUnused, 0);
    return *this;
}

TXMLParams::~TXMLParams() { Release(); }

void TXMLParams::Release()
{
    if (FEntries)
        FMemory->deallocate(FEntries, FEntryCapacity * sizeof(TEntry), alignof(TEntry));
    if (FText)
        FMemory->deallocate(FText, FTextCapacity, 1);
    FEntries = nullptr;
    FText = nullptr;
    FCount = FEntryCapacity = FTextSize = FTextCapacity = FUnused = 0;
}

void TXMLParams::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw EListError(index);
}

void TXMLParams::Reserve(size_t count, size_t textBytes)
{
    if (count > FEntryCapacity) {
        auto* entries = static_cast<TEntry*>(FMemory->allocate(count * sizeof(TEntry), alignof(TEntry)));
        if (FCount > 0)
            std::memcpy(entries, FEntries, FCount * sizeof(TEntry));
        if (FEntries)
            FMemory->deallocate(FEntries, FEntryCapacity * sizeof(TEntry), alignof(TEntry));
        FEntries = entries;
        FEntryCapacity = count;
    }
    if (FTextSize + textBytes <= FTextCapacity)
        return;
    // The live entries move to a new block, in their order, without the unused text.
    const size_t capacity = FTextSize - FUnused + textBytes;
    char* text = static_cast<char*>(FMemory->allocate(capacity, 1));
    size_t size = 0;
    for (size_t i = 0; i < FCount; ++i) {
        TEntry& entry = FEntries[i];
        if (entry.size > 0)
            std::memcpy(text + size, FText + entry.offset, entry.size);
        entry.offset = size;
        size += entry.size;
    }
    if (FText)
        FMemory->deallocate(FText, FTextCapacity, 1);
    FText = text;
    FTextSize = size;
    FTextCapacity = capacity;
    FUnused = 0;
}

size_t TXMLParams::PlaceText(size_t size)
{
    const size_t offset = FTextSize;
    FTextSize += size;
    return offset;
}

size_t TXMLParams::StoreText(std::string_view entry)
{
    if (FTextSize + entry.size() > FTextCapacity) {
        // The entry may lie in the block about to be replaced: it is copied before the
        // old block goes.
        const std::string copy(entry);
        Reserve(FCount, std::max(entry.size(), (FTextSize - FUnused) + 32));
        const size_t offset = PlaceText(copy.size());
        std::memcpy(FText + offset, copy.data(), copy.size());
        return offset;
    }
    // The room after the text holds no entry, so the copy cannot overlap its source.
    const size_t offset = PlaceText(entry.size());
    if (!entry.empty())
        std::memcpy(FText + offset, entry.data(), entry.size());
    return offset;
}

void TXMLParams::OpenSlot(size_t index)
{
    if (FCount == FEntryCapacity)
        Reserve(std::max<size_t>(4, FEntryCapacity * 2), 0);
    std::memmove(FEntries + index + 1, FEntries + index, (FCount - index) * sizeof(TEntry));
    ++FCount;
}

std::string_view TXMLParams::Strings(int index) const
{
    CheckIndex(index, Count());
    return EntryText(static_cast<size_t>(index));
}

void TXMLParams::SetStrings(int index, std::string_view entry)
{
    CheckIndex(index, Count());
    const size_t offset = StoreText(entry);
    FUnused += FEntries[index].size;
    FEntries[index] = {offset, entry.size()};
}

std::string_view TXMLParams::Names(int index) const
{
    std::string_view name;
    return EntryName(Strings(index), name) ? name : std::string_view();
}

std::string_view TXMLParams::ValueFromIndex(int index) const
{
    const std::string_view entry = Strings(index);
    const size_t eq = FindByte(entry, '=');
    return eq == std::string_view::npos ? std::string_view() : entry.substr(eq + 1);
}

int TXMLParams::IndexOfName(std::string_view name) const
{
    for (size_t i = 0; i < FCount; ++i) {
        std::string_view entryName;
        if (EntryName(EntryText(i), entryName) && SameText(entryName, name))
            return static_cast<int>(i);
    }
    return -1;
}

int TXMLParams::IndexOf(std::string_view entry) const
{
    for (size_t i = 0; i < FCount; ++i)
        if (SameText(EntryText(i), entry))
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
            Delete(i);
        return;
    }
    std::string entry;
    entry.reserve(name.size() + 1 + value.size());
    entry.append(name).append(1, '=').append(value);
    if (i >= 0)
        SetStrings(i, entry);
    else
        Add(entry);
}

std::string TXMLParams::Text() const
{
    std::string text;
    text.reserve(FTextSize - FUnused + 2 * FCount);
    for (size_t i = 0; i < FCount; ++i)
        text.append(EntryText(i)).append("\r\n");
    return text;
}

void TXMLParams::SetText(std::string_view text)
{
    TXMLParams lines(FMemory);
    size_t p = 0;
    while (p < text.size()) {
        const size_t start = p;
        while (p < text.size() && text[p] != '\r' && text[p] != '\n')
            ++p;
        lines.Add(text.substr(start, p - start));
        if (p < text.size() && text[p] == '\r')
            ++p;
        if (p < text.size() && text[p] == '\n')
            ++p;
    }
    *this = std::move(lines);
}

void TXMLParams::Add(std::string_view entry) { Insert(Count(), entry); }

void TXMLParams::Insert(int index, std::string_view entry)
{
    CheckIndex(index, Count() + 1);
    const size_t offset = StoreText(entry);
    OpenSlot(static_cast<size_t>(index));
    FEntries[index] = {offset, entry.size()};
}

void TXMLParams::Delete(int index)
{
    CheckIndex(index, Count());
    FUnused += FEntries[index].size;
    std::memmove(FEntries + index, FEntries + index + 1, (FCount - static_cast<size_t>(index) - 1) * sizeof(TEntry));
    --FCount;
}

void TXMLParams::Move(int curIndex, int newIndex)
{
    CheckIndex(curIndex, Count());
    CheckIndex(newIndex, Count());
    if (curIndex < newIndex)
        std::rotate(FEntries + curIndex, FEntries + curIndex + 1, FEntries + newIndex + 1);
    else
        std::rotate(FEntries + newIndex, FEntries + curIndex, FEntries + curIndex + 1);
}

void TXMLParams::Clear() { Release(); }
