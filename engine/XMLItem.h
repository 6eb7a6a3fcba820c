#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "XMLParams.h"
#include "XMLText.h"

class TECXMLParser;

// Base of the viewer's per-item layout record; an item destroys its record with itself.
class TXMLLayoutRecord {
public:
    virtual ~TXMLLayoutRecord() = default;
};

// One element: name, parameters, text value and owned children. Changes made through
// the item's own operations are reported to the document's XMLItemChanged handler;
// direct edits of Params, Move and the flags report nothing.
class TXMLItem {
public:
    // A root item; children are made only by New, in the root's memory, which must
    // outlive the tree.
    explicit TXMLItem(TECXMLParser* document = nullptr, TXMLArena* memory = TXMLArena::Heap());
    // Destroys the whole subtree (without recursion) and the layout record.
    ~TXMLItem();
    TXMLItem(const TXMLItem&) = delete;
    TXMLItem& operator=(const TXMLItem&) = delete;

    const std::string& Name() const { return FName; }
    // Stores the name, then Changed.
    void SetName(std::string name);
    // The value as it lies in the document's memory, valid until it changes.
    const TXMLText& Value() const { return FValue ? FValue->text : EmptyText; }
    // Stores the value, then Changed.
    void SetValue(std::string value);
    TXMLParams& Params() { return FParams; }
    const TXMLParams& Params() const { return FParams; }

    int Count() const { return static_cast<int>(FCount); }
    // The child at an index; outside 0..Count-1 fails with "List index out of bounds (%d)".
    // Inline: views walk every child of every item.
    TXMLItem* Items(int index) const
    {
        if (index < 0 || index >= Count())
            ThrowIndexError(index);
        return FChildren[index];
    }
    TXMLItem* Parent() const { return FParent; }
    TECXMLParser* Document() const { return FDocument; }
    bool Notify() const { return FNotify; }
    bool CrLfInAsString() const { return FCrLfInAsString; }
    // Stores the flag; no notification.
    void SetCrLfInAsString(bool value) { FCrLfInAsString = value; }
    TXMLLayoutRecord* LayoutRecord() const { return FLayoutRecord.get(); }
    // Takes the record over, destroying the one held before; no notification.
    void SetLayoutRecord(std::unique_ptr<TXMLLayoutRecord> record)
    {
        FLayoutRecord = std::move(record);
        NoteOwnMemory();
    }

    // Destroys all children, empties Params, Name and Value; raises no notification.
    void Clear();
    // Appends an unnamed child with this item's document, then notifies for this item.
    TXMLItem* New();
    // Destroys the child at an index with its subtree, then notifies for this item.
    void Delete(int index);
    // Moves a child to another index; fails with the list error for a stranger or a bad index.
    void Move(TXMLItem* child, int newIndex);
    // Position of that very child, -1 when it is none of ours.
    int IndexOf(const TXMLItem* child) const;
    // First child at or after `start` named `name` (any letter case), -1 when none.
    int IndexOfName(std::string_view name, int start = 0) const;
    // The first child named `name` (any letter case); a missing one is added with New.
    TXMLItem* FindOrAddItem(std::string_view name);
    // Sets Document on this item and all its descendants.
    void SetDocument(TECXMLParser* document);
    // Reports this item to the document's XMLItemChanged handler when Notify is on.
    void Changed();

    // The XML text of this item and its subtree, starting at `indent` blanks. Gives
    // every descendant this item's CrLfInAsString.
    std::string AsString(int indent);
    // The name with its parameters as they stand inside the tags.
    std::string TagText() const;

    // Reads XML text into this item with the 4096-byte tokenizer, raising the document's
    // BeforeLoad and OnLoaded.
    void LoadFromStream(std::istream& stream);
    // The same with the whole-stream tokenizer.
    void LoadLargeFromStream(std::istream& stream);

private:
    friend class TXMLLoader;

    TXMLItem(TECXMLParser* document, TXMLArena* memory, std::string_view name)
        : FName(NameString<0>(name)), FParams(memory, TXMLParams::TInTree{}), FDocument(document)
    {
        // A new child has nothing else that could own memory.
        if (name.size() > LocalCapacity)
            MarkOwner();
    }
    TXMLArena* Memory() const { return FParams.Memory(); }
    // A name as a string, one of up to 15 bytes (what GCC's strings hold within
    // themselves) copied with its length known: the library copies a length known only at
    // run time by a call, which costs more than most names' bytes.
    template <size_t Size>
    static std::string NameString(std::string_view name)
    {
        if constexpr (Size > 15)
            return std::string(name);
        else
            return name.size() == Size ? std::string(name.data(), Size) : NameString<Size + 1>(name);
    }
    // Takes `source`'s name, value, parameters and children into this empty item, with
    // their memory, which this item uses from here on. The descendants must already
    // belong to this item's document and live in that memory. `source` is left empty.
    void TakeOver(TXMLItem& source, TXMLArena* memory);
    // Appends a child of that name without notifying anyone. Forced inline: the loader
    // adds every item this way, and most go where the children list has room or get their
    // first child. The room is made first, so that no child is made that the list could
    // not take.
    [[gnu::always_inline]] TXMLItem* AddChild(std::string_view name)
    {
        TXMLArena* const memory = Memory();
        if (FCapacityBits == 0) {
            FChildren = static_cast<TXMLItem**>(memory->Allocate(2 * sizeof(TXMLItem*), alignof(TXMLItem*)));
            FCapacityBits = 1;
        } else if (FCount == Capacity()) {
            GrowChildren();
        }
        auto* child = new (memory->Allocate(sizeof(TXMLItem), alignof(TXMLItem))) TXMLItem(FDocument, memory, name);
        child->FParent = this;
        FChildren[FCount++] = child;
        return child;
    }
    // Doubles the room of a full children list.
    void GrowChildren();
    // A value's text in the document's memory: the view Value hands out and the room,
    // then the bytes and a NUL byte. It goes with the memory's chunks when the whole tree
    // is dropped.
    struct TValueBlock {
        TXMLText text;
        size_t capacity;
        char* Bytes() { return reinterpret_cast<char*>(this + 1); }
        void SetSize(size_t size)
        {
            text = TXMLText(Bytes(), size);
            Bytes()[size] = '\0';
        }
    };
    // Room for `extra` more bytes after the value, made or grown as needed: the caller
    // writes them there and then counts them with ValueAppended.
    char* ValueRoom(size_t extra);
    void ValueAppended(size_t bytes) { FValue->SetSize(FValue->text.size() + bytes); }
    // Appends to the value in place: a long text read in many pieces (a line break written
    // as "<br/>" between each two) is then not copied whole for every piece.
    void AppendValue(std::string_view text);
    void ReleaseValue();
    static void DestroySubtrees(std::vector<TXMLItem*> items);
    // A root whose memory holds its tree and nothing else drops the tree with that
    // memory's chunks, without visiting an item; false, having done nothing, otherwise.
    bool DropTree();
    // Tells the memory when this item starts to own memory of its own, which must be
    // given back item by item: a name too long to sit inside its string, or a layout
    // record. Called after every change of either; an owner stays one for its life.
    void NoteOwnMemory()
    {
        if (!FOwnsMemory && (FName.capacity() > LocalCapacity || FLayoutRecord))
            MarkOwner();
    }
    void MarkOwner();
    // Takes all children out and destroys them with their subtrees.
    void DestroyChildren();
    // The children list: a plain array in the document's memory, not a standard vector,
    // which would keep a second copy of the memory's address in every item.
    // Puts a child at an index of a list that has room for it.
    void InsertChild(size_t index, TXMLItem* child);
    void EraseChild(size_t index);
    void ReleaseChildren();
    size_t Capacity() const { return FCapacityBits == 0 ? 0 : size_t{1} << FCapacityBits; }

    static constexpr TXMLText EmptyText{};
    // A string's room without memory of its own.
    static const size_t LocalCapacity;

    [[noreturn]] static void ThrowIndexError(int index);

    // The name and the children come first, together: a walk over the tree reads them
    // and nothing else.
    std::string FName;
    TXMLItem** FChildren = nullptr;
    uint32_t FCount = 0;
    // The children list's room is a power of two, kept as its exponent (0: no list), so
    // that the item with its flags fits a 112-byte block of the document's memory.
    uint8_t FCapacityBits = 0;
    bool FNotify = true;
    bool FCrLfInAsString = true;
    bool FOwnsMemory = false;
    // Most items have no text of their own: the value is kept only when there is one.
    TValueBlock* FValue = nullptr;
    TXMLParams FParams;
    TXMLItem* FParent = nullptr;
    TECXMLParser* FDocument = nullptr;
    std::unique_ptr<TXMLLayoutRecord> FLayoutRecord;
};
