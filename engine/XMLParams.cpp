#include "XMLParams.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <utility>

#include "ByteSearch.h"
#include "CodePage.h"
#include "Exceptions.h"

namespace {

// The name of an entry, and whether it has one at all (an "=" somewhere).
bool EntryName(std::string_view entry, std::string_view& name)
{
    const size_t eq = FindByte<'='>(entry);
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
    TXMLParams copy(FMemory, TInTree{});
    copy.Reserve(other.FCount, other.LiveText());
    for (size_t i = 0; i < other.FCount; ++i) {
        const std::string_view entry = other.EntryText(i);
        if (!entry.empty())
            std::memcpy(copy.AppendPlaced(entry.size()), entry.data(), entry.size());
        else
            copy.AppendPlaced(0);
    }
    return *this = std::move(copy);
}

TXMLParams::TXMLParams(TXMLParams&& other) noexcept
    : FMemory(other.FMemory), FBlock(std::exchange(other.FBlock, nullptr)), FCount(std::exchange(other.FCount, 0)),
      FEntryCapacity(std::exchange(other.FEntryCapacity, 0)), FTextSize(std::exchange(other.FTextSize, 0)),
      FTextCapacity(std::exchange(other.FTextCapacity, 0))
{
    FMemory->NoteLoose();
}

TXMLParams& TXMLParams::operator=(TXMLParams&& other)
{
    if (this == &other)
        return *this;
    if (FMemory != other.FMemory)
        return *this = static_cast<const TXMLParams&>(other);
    Release();
    TakeBlock(other);
    return *this;
}

TXMLParams::~TXMLParams() { Release(); }

void TXMLParams::TakeOver(TXMLParams& other, TXMLArena* memory)
{
    FMemory = memory;
    TakeBlock(other);
}

void TXMLParams::TakeBlock(TXMLParams& other)
{
    FBlock = std::exchange(other.FBlock, nullptr);
    FCount = std::exchange(other.FCount, 0);
    FEntryCapacity = std::exchange(other.FEntryCapacity, 0);
    FTextSize = std::exchange(other.FTextSize, 0);
    FTextCapacity = std::exchange(other.FTextCapacity, 0);
}

void TXMLParams::Release()
{
    if (FBlock)
        FMemory->Deallocate(FBlock, FEntryCapacity * sizeof(TEntry) + FTextCapacity, alignof(TEntry));
    Forget();
}

void TXMLParams::CheckIndex(int index, int limit) const
{
    if (index < 0 || index >= limit)
        throw EListError(index);
}

void TXMLParams::Grow(size_t count, size_t textBytes)
{
    const bool textFits = FTextSize + textBytes <= FTextCapacity;
    if (count <= FEntryCapacity && textFits)
        return;
    // The live entries move to a new block, in their order, without the unused text.
    const size_t live = LiveText();
    const size_t entryCapacity = std::max<size_t>(count, FEntryCapacity);
    const size_t textCapacity = textFits ? FTextCapacity - (FTextSize - live) : live + textBytes;
    if (entryCapacity > UINT32_MAX / sizeof(TEntry) || textCapacity > UINT32_MAX)
        throw std::length_error("Parameter list too long");
    char* const block = static_cast<char*>(FMemory->Allocate(entryCapacity * sizeof(TEntry) + textCapacity, alignof(TEntry)));
    auto* const entries = reinterpret_cast<TEntry*>(block);
    char* const text = block + entryCapacity * sizeof(TEntry);
    uint32_t size = 0;
    for (size_t i = 0; i < FCount; ++i) {
        const TEntry entry = Entries()[i];
        if (entry.size > 0)
            std::memcpy(text + size, TextBase() + entry.offset, entry.size);
        entries[i] = {size, entry.size};
        size += entry.size;
    }
    const uint32_t count32 = FCount;
    Release();
    FBlock = block;
    FCount = count32;
    FEntryCapacity = static_cast<uint32_t>(entryCapacity);
    FTextSize = size;
    FTextCapacity = static_cast<uint32_t>(textCapacity);
}

size_t TXMLParams::LiveText() const
{
    size_t size = 0;
    for (size_t i = 0; i < FCount; ++i)
        size += Entries()[i].size;
    return size;
}

bool TXMLParams::Inside(std::string_view text) const
{
    const char* const end = FBlock + FEntryCapacity * sizeof(TEntry) + FTextCapacity;
    return FBlock && std::less_equal<const char*>()(FBlock, text.data()) && std::less<const char*>()(text.data(), end);
}

uint32_t TXMLParams::StoreText(std::string_view entry)
{
    if (FTextSize + entry.size() > FTextCapacity)
        Reserve(FCount, std::max<size_t>(entry.size(), LiveText() + 32));
    const uint32_t offset = FTextSize;
    if (!entry.empty())
        std::memcpy(TextBase() + offset, entry.data(), entry.size());
    FTextSize += static_cast<uint32_t>(entry.size());
    return offset;
}

void TXMLParams::OpenSlot(size_t index)
{
    std::memmove(Entries() + index + 1, Entries() + index, (FCount - index) * sizeof(TEntry));
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
    if (Inside(entry))
        return SetStrings(index, std::string(entry));
    const uint32_t offset = StoreText(entry);
    Entries()[index] = {offset, static_cast<uint32_t>(entry.size())};
}

std::string_view TXMLParams::Names(int index) const
{
    std::string_view name;
    return EntryName(Strings(index), name) ? name : std::string_view();
}

std::string_view TXMLParams::ValueFromIndex(int index) const
{
    const std::string_view entry = Strings(index);
    const size_t eq = FindByte<'='>(entry);
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
    text.reserve(LiveText() + 2 * FCount);
    for (size_t i = 0; i < FCount; ++i)
        text.append(EntryText(i)).append("\r\n");
    return text;
}

void TXMLParams::SetText(std::string_view text)
{
    TXMLParams lines(FMemory, TInTree{});
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
    if (Inside(entry))
        return Insert(index, std::string(entry));
    if (FCount == FEntryCapacity)
        Reserve(std::max<size_t>(4, FEntryCapacity * size_t{2}), entry.size());
    const uint32_t offset = StoreText(entry);
    OpenSlot(static_cast<size_t>(index));
    Entries()[index] = {offset, static_cast<uint32_t>(entry.size())};
}

void TXMLParams::Delete(int index)
{
    CheckIndex(index, Count());
    std::memmove(Entries() + index, Entries() + index + 1, (FCount - static_cast<size_t>(index) - 1) * sizeof(TEntry));
    --FCount;
}

void TXMLParams::Move(int curIndex, int newIndex)
{
    CheckIndex(curIndex, Count());
    CheckIndex(newIndex, Count());
    TEntry* const entries = Entries();
    if (curIndex < newIndex)
        std::rotate(entries + curIndex, entries + curIndex + 1, entries + newIndex + 1);
    else
        std::rotate(entries + newIndex, entries + curIndex, entries + curIndex + 1);
}

void TXMLParams::Clear() { Release(); }
