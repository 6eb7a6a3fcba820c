#include "XMLItemPath.h"

#include <algorithm>
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

std::string ItemFullPath(const TXMLItem* item)
{
    std::vector<const TXMLItem*> chain;
    for (; item; item = item->Parent())
        chain.push_back(item);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it != chain.rbegin())
            path += '.';
        path += (*it)->Name();
    }
    return path;
}

TXMLItem* FindItemByPath(IECXMLDocument* document, std::string_view itemPath)
{
    if (!document)
        return nullptr;
    // An item's path is its parent's path, "." and its name; when that is no prefix of
    // the wanted path, no item below it can match, so the walk never enters it.
    struct Visit {
        TXMLItem* item;
        size_t parentLength; // length of the parent's path; npos for the root
    };
    std::vector<Visit> pending{{document->Root(), std::string_view::npos}};
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        size_t from = 0;
        if (visit.parentLength != std::string_view::npos) {
            if (visit.parentLength >= itemPath.size() || itemPath[visit.parentLength] != '.')
                continue;
            from = visit.parentLength + 1;
        }
        const std::string& name = visit.item->Name();
        if (itemPath.compare(from, name.size(), name) != 0 || itemPath.size() - from < name.size())
            continue;
        const size_t length = from + name.size();
        if (length == itemPath.size())
            return visit.item;
        for (int i = visit.item->Count() - 1; i >= 0; --i)
            pending.push_back({visit.item->Items(i), length});
    }
    return nullptr;
}
