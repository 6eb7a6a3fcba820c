#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "XMLArena.h"

// The parameter list of an item: ordered "name=value" entries. The name is the text
// before an entry's first "="; an entry without "=" has no name and matches no lookup.
// Lookups compare names without regard to letter case and take the first match.
// Edits here notify nobody.
//
// The entries' places and their text lie in one block taken from the memory given at
// construction (an item's list from its document's memory), so that a list read from a
// tag costs one block however many entries it has. A replaced entry's old text stays in
// the block until the block grows. A list holds up to 4 GiB of text.
class TXMLParams {
public:
    TXMLParams() : TXMLParams(TXMLArena::Heap()) {}
    // A list in a document's memory but apart from its items keeps that memory from
    // dropping its tree whole.
    explicit TXMLParams(TXMLArena* memory) : FMemory(memory) { memory->NoteLoose(); }
    // A copy lives on the heap, like a copy of a standard polymorphic container.
    TXMLParams(const TXMLParams& other);
    TXMLParams& operator=(const TXMLParams& other);
    // Takes the memory along, as a list apart from any item.
    TXMLParams(TXMLParams&& other) noexcept;
    TXMLParams& operator=(TXMLParams&& other);
    ~TXMLParams();

    int Count() const { return static_cast<int>(FCount); }
    // The memory the entries live in.
    TXMLArena* Memory() const { return FMemory; }
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

    // Every text given to the edits below may be a view into this very list.
    void Add(std::string_view entry);
    // Inserts at 0..Count.
    void Insert(int index, std::string_view entry);
    void Delete(int index);
    // Moves the entry at `curIndex` to `newIndex`; the entries between shift by one.
    void Move(int curIndex, int newIndex);
    // Removes all entries and gives their memory back.
    void Clear();

private:
    friend class TXMLParamParser;
    friend class TXMLItem;

    // A list of an item, or one that lives only during an edit of such a list.
    struct TInTree {};
    TXMLParams(TXMLArena* memory, TInTree) : FMemory(memory) {}

    struct TEntry {
        uint32_t offset;
        uint32_t size;
    };

    void CheckIndex(int index, int limit) const;
    TEntry* Entries() const { return reinterpret_cast<TEntry*>(FBlock); }
    char* TextBase() const { return FBlock + FEntryCapacity * sizeof(TEntry); }
    std::string_view EntryText(size_t index) const { return {TextBase() + Entries()[index].offset, Entries()[index].size}; }
    // Room for `count` entries and `textBytes` more bytes of text after the rest.
    void Reserve(size_t count, size_t textBytes)
    {
        if (FBlock || count == 0 || count > UINT32_MAX / sizeof(TEntry) || textBytes > UINT32_MAX)
            return Grow(count, textBytes);
        // A list read from a tag: one block of just the size asked for.
        FBlock = static_cast<char*>(FMemory->Allocate(count * sizeof(TEntry) + textBytes, alignof(TEntry)));
        FEntryCapacity = static_cast<uint32_t>(count);
        FTextCapacity = static_cast<uint32_t>(textBytes);
    }
    // The same for a list that may have entries already.
    void Grow(size_t count, size_t textBytes);
    // Appends an entry of `size` bytes of text and returns where the caller writes them.
    // Reserve must have made room.
    char* AppendPlaced(size_t size)
    {
        char* const out = TextBase() + FTextSize;
        Entries()[FCount++] = {FTextSize, static_cast<uint32_t>(size)};
        FTextSize += static_cast<uint32_t>(size);
        return out;
    }
    // Takes the entries a caller wrote straight into the block Reserve made for an empty
    // list: their places, then their text, `textSize` bytes in all.
    void SetPlaced(size_t count, size_t textSize)
    {
        FCount = static_cast<uint32_t>(count);
        FTextSize = static_cast<uint32_t>(textSize);
    }
    // Bytes of text the entries refer to; the rest of FTextSize was left by edits.
    size_t LiveText() const;
    // Whether `text` lies in this list's block, which an edit may replace.
    bool Inside(std::string_view text) const;
    // Copies `entry`, which does not lie in the block, after the rest of the text,
    // growing the block when needed; the offset it got.
    uint32_t StoreText(std::string_view entry);
    // Opens a slot at `index` for an entry (the entries after it shift by one); the
    // block must have room.
    void OpenSlot(size_t index);
    void Release();
    // Leaves the block to the memory, which drops it with the tree.
    void Forget()
    {
        FBlock = nullptr;
        FCount = FEntryCapacity = FTextSize = FTextCapacity = 0;
    }
    // Takes the entries of an empty list's `other` whose block now lies in `memory`,
    // which this list keeps from here on.
    void TakeOver(TXMLParams& other, TXMLArena* memory);
    // Takes `other`'s block and entries, leaving it empty; this list holds none.
    void TakeBlock(TXMLParams& other);

    TXMLArena* FMemory;
    char* FBlock = nullptr;
    uint32_t FCount = 0;
    uint32_t FEntryCapacity = 0;
    uint32_t FTextSize = 0;
    uint32_t FTextCapacity = 0;
};
