#include "XMLTreeModel.h"

#include <QScopeGuard>

#include <exception>
#include <functional>
#include <thread>
#include <utility>

#include "DocumentText.h"
#include "XMLItem.h"

namespace {

// Up to this many renamed nodes a refit reports them one by one; a view finds each by a
// search of its rows.
constexpr size_t MaxRenamed = 64;

// How many children ahead a walk over an item's children asks for their items.
constexpr int ReadAhead = 16;

// From this many nodes on, a level's nodes are added by two threads.
constexpr size_t ParallelChildren = size_t{1} << 16;

std::uint32_t NameHash(const std::string& name) { return static_cast<std::uint32_t>(std::hash<std::string>{}(name)); }

// Calls `visit` for each item below `item`, in document order.
template <class Visit>
void ForEachDescendant(TXMLItem* item, Visit visit)
{
    // The items whose children are being visited, with the next child's index.
    std::vector<std::pair<TXMLItem*, int>> open{{item, 0}};
    while (!open.empty()) {
        auto& [parent, next] = open.back();
        if (next == parent->Count()) {
            open.pop_back();
            continue;
        }
        TXMLItem* child = parent->Items(next++);
        visit(child);
        open.emplace_back(child, 0);
    }
}

} // namespace

void TXMLTreeModel::Rebuild(TXMLItem* root, bool refittable)
{
    beginResetModel();
    FNodes.clear();
    FHasChildren.clear();
    FLongest.clear();
    FParentsEnd = 0;
    FRefittable = refittable;
    if (root) {
        AddNode(root, -1, 0);
        // Level by level: the nodes of a level with children, in the order of their
        // nodes, and so of their children's.
        std::vector<std::int32_t> level;
        if (FHasChildren[0])
            level.push_back(0);
        while (!level.empty()) {
            FParentsEnd = static_cast<size_t>(level.back()) + 1;
            if (FNodes[level.front()].depth < MaxNodeDepth) {
                level = AddChildren(level);
                continue;
            }
            for (const std::int32_t node : level) {
                FNodes[node].firstChild = static_cast<std::int32_t>(FNodes.size());
                AddDescendants(node);
            }
            break;
        }
    }
    endResetModel();
}

std::vector<std::int32_t> TXMLTreeModel::AddChildren(const std::vector<std::int32_t>& level)
{
    const size_t first = FNodes.size();
    size_t added = 0;
    for (const std::int32_t node : level) {
        FNodes[node].firstChild = static_cast<std::int32_t>(first + added);
        added += static_cast<size_t>(FNodes[node].count);
    }
    FNodes.resize(first + added);
    FHasChildren.resize(first + added, false);
    // A big level is shared with a second thread, in two stretches of about as many
    // children: walking millions of items, each waits for the memory, not the processor.
    size_t split = level.size();
    if (added >= ParallelChildren) {
        size_t before = 0;
        for (split = 0; split < level.size() && 2 * before < added; ++split)
            before += static_cast<size_t>(FNodes[level[split]].count);
    }
    TChildren early;
    TChildren late;
    std::exception_ptr lateFailure;
    std::thread helper;
    const auto joined = qScopeGuard([&] {
        if (helper.joinable())
            helper.join();
    });
    if (split < level.size()) {
        helper = std::thread([&] {
            try {
                AddChildren(level.data() + split, level.size() - split, late);
            } catch (...) {
                lateFailure = std::current_exception();
            }
        });
    }
    AddChildren(level.data(), split, early);
    if (helper.joinable())
        helper.join();
    if (lateFailure)
        std::rethrow_exception(lateFailure);
    // The first of the longest names, as one walk over the nodes in order finds it.
    FLongest.push_back(late.longest >= 0 && (early.longest < 0 || late.longestSize > early.longestSize) ? late.longest : early.longest);
    early.parents.insert(early.parents.end(), late.parents.begin(), late.parents.end());
    for (const std::int32_t node : early.parents)
        FHasChildren[static_cast<size_t>(node)] = true;
    return std::move(early.parents);
}

void TXMLTreeModel::AddChildren(const std::int32_t* parents, size_t count, TChildren& found)
{
    for (size_t i = 0; i < count; ++i) {
        const std::int32_t parent = parents[i];
        const TNode& at = FNodes[static_cast<size_t>(parent)];
        TXMLItem* const item = at.item;
        const int children = at.count;
        const std::int32_t firstChild = at.firstChild;
        const std::int32_t depth = at.depth + 1;
        for (int child = 0; child < children; ++child) {
            // Each child item is read as its node is added: the one a few children on is
            // asked for meanwhile.
#if defined(__GNUC__)
            if (child + ReadAhead < children)
                __builtin_prefetch(item->Items(child + ReadAhead));
#endif
            TXMLItem* const childItem = item->Items(child);
            const std::string& name = childItem->Name();
            const std::int32_t node = firstChild + child;
            const std::int32_t grandchildren = childItem->Count();
            FNodes[static_cast<size_t>(node)] = {childItem, parent, 0, grandchildren, depth, FRefittable ? NameHash(name) : 0};
            if (grandchildren > 0)
                found.parents.push_back(node);
            if (found.longest < 0 || name.size() > found.longestSize) {
                found.longest = node;
                found.longestSize = name.size();
            }
        }
    }
}

bool TXMLTreeModel::Refit(TXMLItem* root)
{
    if (!root || FNodes.empty() || !FRefittable)
        return false;
    FLongest.clear();
    std::vector<std::int32_t> renamed;
    FNodes[0].item = root;
    for (size_t i = 0; i < FNodes.size(); ++i) {
        const auto node = static_cast<std::int32_t>(i);
        if (NoteName(node)) {
            if (renamed.size() == MaxRenamed)
                return false;
            renamed.push_back(node);
        }
        const TNode& at = FNodes[i];
        if (at.depth > MaxNodeDepth)
            continue;
        std::int32_t next = at.firstChild;
        const std::int32_t end = at.firstChild + at.count;
        if (at.depth == MaxNodeDepth) {
            ForEachDescendant(at.item, [&](TXMLItem* item) {
                if (next < end)
                    FNodes[static_cast<size_t>(next)].item = item;
                ++next;
            });
            if (next != end)
                return false;
            continue;
        }
        if (at.item->Count() != at.count)
            return false;
        for (int child = 0; child < at.count; ++child)
            FNodes[static_cast<size_t>(next++)].item = at.item->Items(child);
    }
    for (std::int32_t node : renamed) {
        const QModelIndex index = IndexOfNode(node);
        emit dataChanged(index, index);
    }
    return true;
}

void TXMLTreeModel::TNodes::AddBlock() { FBlocks.push_back(std::make_unique_for_overwrite<TNode[]>(Mask + 1)); }

void TXMLTreeModel::AddDescendants(std::int32_t node)
{
    const std::size_t first = FNodes.size();
    ForEachDescendant(FNodes[node].item, [&](TXMLItem* item) { AddNode(item, node, MaxNodeDepth + 1); });
    FNodes[node].count = static_cast<std::int32_t>(FNodes.size() - first);
}

void TXMLTreeModel::AddNode(TXMLItem* item, std::int32_t parent, std::int32_t depth)
{
    // Below MaxNodeDepth an item's descendants stand as the children of its ancestor
    // there, so its node has none.
    const std::int32_t count = depth > MaxNodeDepth ? 0 : item->Count();
    FNodes.push_back({item, parent, 0, count, depth, 0});
    FHasChildren.push_back(count > 0);
    // Noted while the item is at hand: a second walk would meet every item again.
    NoteName(static_cast<std::int32_t>(FNodes.size() - 1));
}

bool TXMLTreeModel::NoteName(std::int32_t node)
{
    TNode& at = FNodes[static_cast<size_t>(node)];
    const std::string& name = at.item->Name();
    const auto level = static_cast<size_t>(at.depth);
    if (level >= FLongest.size())
        FLongest.resize(level + 1, node);
    if (name.size() > FNodes[static_cast<size_t>(FLongest[level])].item->Name().size())
        FLongest[level] = node;
    if (!FRefittable)
        return false;
    const std::uint32_t hash = NameHash(name);
    return std::exchange(at.nameHash, hash) != hash;
}

QModelIndex TXMLTreeModel::IndexOfNode(std::int32_t node) const
{
    if (node < 0)
        return {};
    const std::int32_t parent = FNodes[node].parent;
    const int row = parent < 0 ? 0 : node - FNodes[parent].firstChild;
    return createIndex(row, 0, static_cast<quintptr>(node));
}

TXMLItem* TXMLTreeModel::ItemOf(const QModelIndex& index) const
{
    return index.isValid() && index.internalId() < FNodes.size() ? FNodes[index.internalId()].item : nullptr;
}

QModelIndex TXMLTreeModel::IndexOf(const TXMLItem* item) const
{
    for (size_t node = 0; node < FNodes.size(); ++node)
        if (FNodes[node].item == item)
            return IndexOfNode(static_cast<std::int32_t>(node));
    return {};
}

QModelIndex TXMLTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 && !FNodes.empty() ? createIndex(0, 0, quintptr(0)) : QModelIndex();
    const TNode& node = FNodes[parent.internalId()];
    if (row >= node.count)
        return {};
    return createIndex(row, 0, static_cast<quintptr>(node.firstChild + row));
}

QModelIndex TXMLTreeModel::parent(const QModelIndex& child) const
{
    return child.isValid() ? IndexOfNode(FNodes[child.internalId()].parent) : QModelIndex();
}

int TXMLTreeModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return FNodes.empty() ? 0 : 1;
    if (parent.column() != 0)
        return 0;
    return FNodes[parent.internalId()].count;
}

int TXMLTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant TXMLTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return FromDocumentText(FNodes[index.internalId()].item->Name());
}

Qt::ItemFlags TXMLTreeModel::flags(const QModelIndex& index) const
{
    // The view asks twice for every row it lays out.
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (Editable)
        flags |= Qt::ItemIsEditable;
    // The nodes change their shape only when they are rebuilt, which resets the model, so
    // a leaf stays one as long as the view knows it; told so, the view lays a leaf out
    // without looking up whether it is open.
    if (!FHasChildren[index.internalId()])
        flags |= Qt::ItemNeverHasChildren;
    return flags;
}

bool TXMLTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !OnRename)
        return false;
    OnRename(ItemOf(index), value.toString());
    return true;
}

QModelIndexList TXMLTreeModel::ParentNodes() const
{
    QModelIndexList parents;
    for (size_t node = 0; node < FParentsEnd; ++node)
        if (FNodes[node].count > 0)
            parents.append(IndexOfNode(static_cast<std::int32_t>(node)));
    return parents;
}

QModelIndexList TXMLTreeModel::LongestNodes() const
{
    QModelIndexList nodes;
    for (std::int32_t node : FLongest)
        nodes.append(IndexOfNode(node));
    return nodes;
}
