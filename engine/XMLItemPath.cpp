#include "XMLItemPath.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ECXMLParser.h"

std::string JoinItemPath(std::string_view first, std::string_view second)
{
    std::string path(first);
    if (!second.empty())
        path.append(1, '.').append(second);
    return path;
}

std::string ItemPathOf(std::string_view path)
{
    const size_t dot = path.rfind('.');
    return std::string(dot == std::string_view::npos ? path : path.substr(0, dot));
}

std::string ParamNameOf(std::string_view path)
{
    const size_t suffix = path.find("/;/");
    if (suffix != std::string_view::npos)
        path = path.substr(0, suffix);
    const size_t dot = path.rfind('.');
    return std::string(dot == std::string_view::npos ? path : path.substr(dot + 1));
}

std::string ItemSegment(const TXMLItem* item)
{
    std::string segment = item->Name();
    const TXMLItem* parent = item->Parent();
    if (!parent)
        return segment;
    // The item's place among its siblings of its name; the walk stops at the item.
    int place = 1;
    for (int i = 0; i < parent->Count() && parent->Items(i) != item; ++i)
        place += parent->Items(i)->Name() == segment;
    if (place > 1)
        segment += "[" + std::to_string(place) + "]";
    return segment;
}

std::string ItemFullPath(const TXMLItem* item)
{
    std::vector<const TXMLItem*> chain;
    for (; item; item = item->Parent())
        chain.push_back(item);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin())
            path += '.';
        path += ItemSegment(*it);
    }
    return path;
}

namespace {

// The item whose path of names alone is `itemPath`: the first in document order. The
// walk goes down the first child whose name fits the path at its place, and comes back
// for a later sibling only when nothing below fits the rest: a path that fits at once
// costs a scan of the siblings before each of its items, never a visit of the others.
TXMLItem* FindItemByNames(IECXMLDocument* document, std::string_view itemPath)
{
    constexpr size_t None = std::string_view::npos;
    // Where `item`'s name ends when it stands at `from` in the path as a whole segment.
    const auto fits = [itemPath](const TXMLItem* item, size_t from) {
        const std::string& name = item->Name();
        if (itemPath.size() - from < name.size() || itemPath.compare(from, name.size(), name) != 0)
            return None;
        const size_t end = from + name.size();
        return end == itemPath.size() || itemPath[end] == '.' ? end : None;
    };
    TXMLItem* const root = document->Root();
    const size_t rootEnd = fits(root, 0);
    if (rootEnd == None)
        return nullptr;
    if (rootEnd == itemPath.size())
        return root;
    // The items gone down into, with the next child to try and where its name starts.
    struct Frame {
        TXMLItem* item;
        int next;
        size_t from;
    };
    std::vector<Frame> open{{root, 0, rootEnd + 1}};
    while (!open.empty()) {
        Frame& frame = open.back();
        if (frame.next == frame.item->Count()) {
            open.pop_back();
            continue;
        }
        TXMLItem* const child = frame.item->Items(frame.next++);
        const size_t end = fits(child, frame.from);
        if (end == itemPath.size())
            return child;
        if (end != None)
            open.push_back({child, 0, end + 1});
    }
    return nullptr;
}

// The first item in document order whose path matches when each segment may also be a
// name and its place among the siblings of that name, "name[k]".
TXMLItem* FindItemByPlaces(IECXMLDocument* document, std::string_view itemPath)
{
    TXMLItem* root = document->Root();
    if (!itemPath.starts_with(root->Name()))
        return nullptr;
    // An item and the end of the part of the path that names it.
    struct Visit {
        TXMLItem* item;
        size_t end;
    };
    std::vector<Visit> pending{{root, root->Name().size()}};
    std::vector<Visit> found;
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        if (visit.end == itemPath.size())
            return visit.item;
        if (itemPath[visit.end] != '.')
            continue;
        const size_t from = visit.end + 1;
        found.clear();
        TXMLItem* const parent = visit.item;
        for (int i = 0; i < parent->Count(); ++i) {
            TXMLItem* child = parent->Items(i);
            const std::string& name = child->Name();
            if (itemPath.size() - from >= name.size() && itemPath.compare(from, name.size(), name) == 0)
                found.push_back({child, from + name.size()});
        }
        // "name[k]": the k-th child of that name, 1 for the first.
        for (size_t open = itemPath.find('[', from); open != std::string_view::npos; open = itemPath.find('[', open + 1)) {
            const size_t close = itemPath.find(']', open);
            if (close == std::string_view::npos)
                break;
            const std::string_view digits = itemPath.substr(open + 1, close - open - 1);
            if (digits.empty() || digits.size() > 9 || digits[0] == '0' ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
                (close + 1 < itemPath.size() && itemPath[close + 1] != '.'))
                continue;
            const std::string_view base = itemPath.substr(from, open - from);
            int place = std::stoi(std::string(digits));
            for (int i = 0; i < parent->Count(); ++i)
                if (parent->Items(i)->Name() == base && --place == 0) {
                    found.push_back({parent->Items(i), close + 1});
                    break;
                }
        }
        // The earlier child first, as the walk in document order meets them.
        std::stable_sort(found.begin(), found.end(), [parent](const Visit& a, const Visit& b) {
            return parent->IndexOf(a.item) < parent->IndexOf(b.item);
        });
        for (auto it = found.rbegin(); it != found.rend(); ++it)
            pending.push_back(*it);
    }
    return nullptr;
}

} // namespace

TXMLItem* FindItemByPath(IECXMLDocument* document, std::string_view itemPath)
{
    if (!document)
        return nullptr;
    // A path of names alone means what it always meant; only a path that names no item
    // that way is read with places.
    if (TXMLItem* item = FindItemByNames(document, itemPath))
        return item;
    return itemPath.find('[') == std::string_view::npos ? nullptr : FindItemByPlaces(document, itemPath);
}
