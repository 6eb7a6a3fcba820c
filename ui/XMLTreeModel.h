#pragma once

#include <QAbstractItemModel>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TXMLItem;

// The tree view's rows: one node per item of a document, the root item's node on top.
// The nodes are laid out breadth first, so the children of a node stand side by side
// and every lookup is an index calculation. Rebuilt as a whole after every change;
// Detach empties it before the items behind it may go.
//
// A tree view lays its rows out in time that grows with the square of their depth, so
// the nodes stop at MaxNodeDepth: the items below a node of that depth stand as its
// children, in document order, each under its own name. Every item keeps a node, and a
// document a million levels deep shows at once.
class TXMLTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    using QAbstractItemModel::QAbstractItemModel;

    // The depth of the deepest nodes with children of their own; the root is at depth 0.
    static constexpr int MaxNodeDepth = 100;

    // Rebuilds the nodes from `root` (none: no nodes). With `refittable`, each node also
    // keeps a hash of its item's name, which a Refit needs to tell a renamed one; only
    // trees that are read again are worth that cost.
    void Rebuild(TXMLItem* root, bool refittable = false);
    // Points the nodes at the items of `root` in place, when they were built refittable,
    // its tree has the shape they were built for and at most a few names changed, so
    // that a view keeps its rows and its open nodes; those nodes are reported changed.
    // False otherwise, and the nodes then wait for a Rebuild, before anything else reads
    // them.
    bool Refit(TXMLItem* root);
    // Drops every node, so that nothing refers to the items any more.
    void Detach() { Rebuild(nullptr); }

    TXMLItem* ItemOf(const QModelIndex& index) const;
    // The node of `item`; invalid when it has none.
    QModelIndex IndexOf(const TXMLItem* item) const;
    // Every node that has children, parents before their children.
    QModelIndexList ParentNodes() const;
    // For each depth that has nodes, the node with the longest text there when the nodes
    // were built.
    QModelIndexList LongestNodes() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An in-place edit of a node's text goes to OnRename, which changes the item.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Whether node texts may be edited in place.
    bool Editable = false;
    std::function<void(TXMLItem* item, const QString& text)> OnRename;

private:
    struct TNode {
        TXMLItem* item;
        std::int32_t parent;     // -1 for the top-level node
        std::int32_t firstChild; // index of the first child's node
        std::int32_t count;      // children when the nodes were built
        std::int32_t depth;      // 0 for the top-level node
        std::uint32_t nameHash;  // of the item's name when refittable, by which a refit tells a renamed one
    };

    // The nodes in blocks of a fixed size: millions of them are stored without being
    // copied at every growth, as a vector's would be, and a rebuild reuses the blocks.
    class TNodes {
    public:
        TNode& operator[](size_t index) { return FBlocks[index >> Shift][index & Mask]; }
        const TNode& operator[](size_t index) const { return FBlocks[index >> Shift][index & Mask]; }
        size_t size() const { return FSize; }
        bool empty() const { return FSize == 0; }
        void clear() { FSize = 0; }
        // New nodes are left for the caller to write.
        void resize(size_t size)
        {
            while (FBlocks.size() << Shift < size)
                AddBlock();
            FSize = size;
        }
        void push_back(const TNode& node)
        {
            if ((FSize >> Shift) == FBlocks.size())
                AddBlock();
            (*this)[FSize++] = node;
        }

    private:
        void AddBlock();

        static constexpr size_t Shift = 16;
        static constexpr size_t Mask = (size_t{1} << Shift) - 1;
        std::vector<std::unique_ptr<TNode[]>> FBlocks;
        size_t FSize = 0;
    };

    // What adding the children of some nodes of a level found.
    struct TChildren {
        std::vector<std::int32_t> parents; // the children with children of their own
        std::int32_t longest = -1;         // the first with the longest name
        size_t longestSize = 0;
    };
    // Adds the children of the nodes of `level`, the next level; the ones with children
    // of their own are returned in order.
    std::vector<std::int32_t> AddChildren(const std::vector<std::int32_t>& level);
    // Writes the nodes of the children of `count` nodes of a level into the room made
    // for them.
    void AddChildren(const std::int32_t* parents, size_t count, TChildren& found);
    // Adds the items below `node`'s in document order as its children.
    void AddDescendants(std::int32_t node);
    // Adds a node for `item`, its children counted but not yet added.
    void AddNode(TXMLItem* item, std::int32_t parent, std::int32_t depth);
    // Takes the name of the node's item into the longest names, and into its hash when
    // the nodes are refittable; whether the hash changed.
    bool NoteName(std::int32_t node);

    QModelIndex IndexOfNode(std::int32_t node) const;

    TNodes FNodes;
    // For each node, whether it has children: the view asks for every row it lays out,
    // and these bits stay in the cache where the nodes of a big tree do not.
    std::vector<bool> FHasChildren;
    // For each depth, the node with the longest name, found while the nodes were built.
    std::vector<std::int32_t> FLongest;
    // One past the last node with children: the leaves after it, most of a big tree's
    // nodes, need not be looked at for parents.
    size_t FParentsEnd = 0;
    bool FRefittable = false;
};
