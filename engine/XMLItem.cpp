#include "XMLItem.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "ECXMLParser.h"
#include "Exceptions.h"
#include "CodePage.h"


const size_t TXMLItem::LocalCapacity = std::string().capacity();

TXMLItem::TXMLItem(TECXMLParser* document, TXMLArena* memory) : FParams(memory, TXMLParams::TInTree{}), FDocument(document)
{
    memory->CountRoot(1);
}

TXMLItem::~TXMLItem()
{
    // Items destroyed by DestroySubtrees have no children left by now; the members go
    // by themselves, without the notifying steps of Clear.
    if (FCount > 0 && !DropTree())
        DestroyChildren();
    ReleaseChildren();
    ReleaseValue();
    TXMLArena* const memory = Memory();
    if (FOwnsMemory)
        memory->CountOwner(-1);
    // Only a root has no parent: children are made with one and keep it.
    if (!FParent)
        memory->CountRoot(-1);
}

void TXMLItem::MarkOwner()
{
    FOwnsMemory = true;
    Memory()->CountOwner(1);
}

bool TXMLItem::DropTree()
{
    TXMLArena* const memory = Memory();
    if (FParent || !memory->Droppable(FOwnsMemory))
        return false;
    // This item's own blocks go with the rest.
    FValue = nullptr;
    FParams.Forget();
    FChildren = nullptr;
    FCount = 0;
    FCapacityBits = 0;
    memory->DropAll();
    return true;
}

void TXMLItem::GrowChildren()
{
    if (FCapacityBits >= 31)
        throw std::length_error("Too many child items");
    TXMLArena* const memory = Memory();
    const size_t capacity = Capacity();
    auto** children = static_cast<TXMLItem**>(memory->Allocate(2 * capacity * sizeof(TXMLItem*), alignof(TXMLItem*)));
    std::memcpy(children, FChildren, FCount * sizeof(TXMLItem*));
    memory->Deallocate(FChildren, capacity * sizeof(TXMLItem*), alignof(TXMLItem*));
    FChildren = children;
    ++FCapacityBits;
}

void TXMLItem::InsertChild(size_t index, TXMLItem* child)
{
    if (index < FCount)
        std::memmove(FChildren + index + 1, FChildren + index, (FCount - index) * sizeof(TXMLItem*));
    FChildren[index] = child;
    ++FCount;
}

void TXMLItem::EraseChild(size_t index)
{
    std::memmove(FChildren + index, FChildren + index + 1, (FCount - index - 1) * sizeof(TXMLItem*));
    --FCount;
}

void TXMLItem::ReleaseChildren()
{
    if (FChildren)
        Memory()->Deallocate(FChildren, Capacity() * sizeof(TXMLItem*), alignof(TXMLItem*));
    FChildren = nullptr;
    FCapacityBits = 0;
}

void TXMLItem::ThrowIndexError(int index) { throw EListError(index); }

void TXMLItem::SetName(std::string name)
{
    FName = std::move(name);
    NoteOwnMemory();
    Changed();
}

void TXMLItem::SetValue(std::string value)
{
    // A value that fits where the old one lies is written over it.
    if (FValue && (value.empty() || value.size() > FValue->capacity))
        ReleaseValue();
    if (!value.empty()) {
        if (FValue)
            FValue->SetSize(0);
        std::memcpy(ValueRoom(value.size()), value.data(), value.size());
        ValueAppended(value.size());
    }
    Changed();
}

char* TXMLItem::ValueRoom(size_t extra)
{
    const size_t size = FValue ? FValue->text.size() : 0;
    if (extra > SIZE_MAX / 2 - sizeof(TValueBlock) - size)
        throw std::length_error("Value too long");
    if (!FValue || size + extra > FValue->capacity) {
        // A value set once gets just its size; one that grows, twice its room each time.
        const size_t capacity = FValue ? std::max(size + extra, 2 * FValue->capacity) : extra;
        auto* block = new (Memory()->Allocate(sizeof(TValueBlock) + capacity + 1, alignof(TValueBlock))) TValueBlock{{}, capacity};
        if (FValue)
            std::memcpy(block->Bytes(), FValue->Bytes(), size);
        block->SetSize(size);
        ReleaseValue();
        FValue = block;
    }
    return FValue->Bytes() + size;
}

void TXMLItem::AppendValue(std::string_view text)
{
    std::memcpy(ValueRoom(text.size()), text.data(), text.size());
    ValueAppended(text.size());
}

void TXMLItem::ReleaseValue()
{
    if (!FValue)
        return;
    Memory()->Deallocate(FValue, sizeof(TValueBlock) + FValue->capacity + 1, alignof(TValueBlock));
    FValue = nullptr;
}

void TXMLItem::DestroySubtrees(std::vector<TXMLItem*> items)
{
    // Each item's children are taken out before the item is deleted, so no destructor
    // ever meets a child and the depth of the tree never reaches the call stack.
    while (!items.empty()) {
        TXMLItem* item = items.back();
        items.pop_back();
        items.insert(items.end(), item->FChildren, item->FChildren + item->FCount);
        item->FCount = 0;
        TXMLArena* const memory = item->Memory();
        item->~TXMLItem();
        memory->Deallocate(item, sizeof(TXMLItem), alignof(TXMLItem));
    }
}

void TXMLItem::DestroyChildren()
{
    std::vector<TXMLItem*> children(FChildren, FChildren + FCount);
    FCount = 0;
    ReleaseChildren();
    DestroySubtrees(std::move(children));
}

void TXMLItem::Clear()
{
    FNotify = false;
    if (FCount == 0 || !DropTree())
        DestroyChildren();
    FParams.Clear();
    SetName(std::string());
    SetValue(std::string());
    FNotify = true;
}

TXMLItem* TXMLItem::New()
{
    TXMLItem* child = AddChild({});
    Changed();
    return child;
}

void TXMLItem::Delete(int index)
{
    TXMLItem* child = Items(index);
    EraseChild(static_cast<size_t>(index));
    DestroySubtrees({child});
    Changed();
}

void TXMLItem::Move(TXMLItem* child, int newIndex)
{
    const int index = IndexOf(child);
    if (index < 0)
        throw EListError(index);
    if (newIndex < 0 || newIndex >= Count())
        throw EListError(newIndex);
    EraseChild(static_cast<size_t>(index));
    InsertChild(static_cast<size_t>(newIndex), child);
}

int TXMLItem::IndexOf(const TXMLItem* child) const
{
    for (size_t i = 0; i < FCount; ++i)
        if (FChildren[i] == child)
            return static_cast<int>(i);
    return -1;
}

int TXMLItem::IndexOfName(std::string_view name, int start) const
{
    if (start < 0 || start > Count())
        throw EListError(start);
    for (size_t i = static_cast<size_t>(start); i < FCount; ++i)
        if (SameText(FChildren[i]->FName, name))
            return static_cast<int>(i);
    return -1;
}

TXMLItem* TXMLItem::FindOrAddItem(std::string_view name)
{
    const int index = IndexOfName(name, 0);
    if (index >= 0)
        return FChildren[index];
    TXMLItem* child = New();
    child->SetName(std::string(name));
    return child;
}

void TXMLItem::TakeOver(TXMLItem& source, TXMLArena* memory)
{
    // This root moves to the new memory, where it is counted from here on.
    TXMLArena* const old = Memory();
    old->CountRoot(-1);
    memory->CountRoot(1);
    if (FOwnsMemory) {
        old->CountOwner(-1);
        memory->CountOwner(1);
    }
    FName = std::move(source.FName);
    source.FName.clear();
    FValue = std::exchange(source.FValue, nullptr);
    FParams.TakeOver(source.FParams, memory);
    FChildren = std::exchange(source.FChildren, nullptr);
    FCount = std::exchange(source.FCount, 0);
    FCapacityBits = std::exchange(source.FCapacityBits, 0);
    for (size_t i = 0; i < FCount; ++i)
        FChildren[i]->FParent = this;
    NoteOwnMemory();
}

void TXMLItem::SetDocument(TECXMLParser* document)
{
    std::vector<TXMLItem*> pending{this};
    while (!pending.empty()) {
        TXMLItem* item = pending.back();
        pending.pop_back();
        item->FDocument = document;
        pending.insert(pending.end(), std::make_reverse_iterator(item->FChildren + item->FCount),
                       std::make_reverse_iterator(item->FChildren));
    }
}

void TXMLItem::Changed()
{
    if (FDocument)
        ++FDocument->FEdits;
    if (FNotify && FDocument && FDocument->XMLItemChanged)
        FDocument->XMLItemChanged(FDocument, this);
}
