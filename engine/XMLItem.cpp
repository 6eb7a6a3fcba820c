#include "XMLItem.h"

#include "ECXMLParser.h"
#include "Exceptions.h"
#include "CodePage.h"


TXMLItem::TXMLItem(TECXMLParser* document, std::pmr::memory_resource* memory)
    : FParams(memory), FChildren(memory), FDocument(document)
{
}

TXMLItem::~TXMLItem()
{
    // Items destroyed by DestroySubtrees have no children left by now; the members go
    // by themselves, without the notifying steps of Clear.
    if (!FChildren.empty())
        DestroyChildren();
}

TXMLItem* TXMLItem::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    return FChildren[index];
}

void TXMLItem::SetName(std::string name)
{
    FName = std::move(name);
    Changed();
}

void TXMLItem::SetValue(std::string value)
{
    FValue = std::move(value);
    Changed();
}

void TXMLItem::DestroySubtrees(std::vector<TXMLItem*> items)
{
    // Each item's children are taken out before the item is deleted, so no destructor
    // ever meets a child and the depth of the tree never reaches the call stack.
    while (!items.empty()) {
        TXMLItem* item = items.back();
        items.pop_back();
        items.insert(items.end(), item->FChildren.begin(), item->FChildren.end());
        item->FChildren.clear();
        std::pmr::memory_resource* memory = item->Memory();
        item->~TXMLItem();
        memory->deallocate(item, sizeof(TXMLItem), alignof(TXMLItem));
    }
}

void TXMLItem::DestroyChildren()
{
    std::vector<TXMLItem*> children(FChildren.begin(), FChildren.end());
    // A new list gives the old one's storage back.
    FChildren = std::pmr::vector<TXMLItem*>(Memory());
    DestroySubtrees(std::move(children));
}

void TXMLItem::Clear()
{
    FNotify = false;
    DestroyChildren();
    FParams.Clear();
    SetName(std::string());
    SetValue(std::string());
    FNotify = true;
}

TXMLItem* TXMLItem::New()
{
    std::pmr::memory_resource* memory = Memory();
    auto* child = new (memory->allocate(sizeof(TXMLItem), alignof(TXMLItem))) TXMLItem(FDocument, memory);
    child->FParent = this;
    try {
        FChildren.push_back(child);
    } catch (...) {
        child->~TXMLItem();
        memory->deallocate(child, sizeof(TXMLItem), alignof(TXMLItem));
        throw;
    }
    Changed();
    return child;
}

void TXMLItem::Delete(int index)
{
    TXMLItem* child = Items(index);
    FChildren.erase(FChildren.begin() + index);
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
    FChildren.erase(FChildren.begin() + index);
    FChildren.insert(FChildren.begin() + newIndex, child);
}

int TXMLItem::IndexOf(const TXMLItem* child) const
{
    for (size_t i = 0; i < FChildren.size(); ++i)
        if (FChildren[i] == child)
            return static_cast<int>(i);
    return -1;
}

int TXMLItem::IndexOfName(std::string_view name, int start) const
{
    if (start < 0 || start > Count())
        throw EListError(start);
    for (size_t i = static_cast<size_t>(start); i < FChildren.size(); ++i)
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

void TXMLItem::SetDocument(TECXMLParser* document)
{
    std::vector<TXMLItem*> pending{this};
    while (!pending.empty()) {
        TXMLItem* item = pending.back();
        pending.pop_back();
        item->FDocument = document;
        pending.insert(pending.end(), item->FChildren.rbegin(), item->FChildren.rend());
    }
}

void TXMLItem::Changed()
{
    if (FNotify && FDocument && FDocument->XMLItemChanged)
        FDocument->XMLItemChanged(FDocument, this);
}
