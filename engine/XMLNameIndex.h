#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "CodePage.h"
#include "XMLParams.h"

// Finds, among the names of a parameter list, the first name equal to each one without
// regard to letter case. A few names are compared pairwise; a long list goes through a
// hash table, so that an element with a great many parameters stays linear. Keeps its
// storage between uses.
class TXMLNameIndex {
public:
    // first[i] := index of the first name equal to names[i]; i itself when there is none
    // before it.
    void FirstOfEach(const std::vector<std::string_view>& names, std::vector<uint32_t>& first);
    // Calls visit(name, valueEntry) for each entry of `params` in order: its name, and the
    // entry whose value params.Values gives for that name, -1 for none. That is the first
    // entry of the name, where an entry without "=" has the empty name: what the writer
    // writes and a listing shows for each entry. Linear in the entries.
    template <class Visit>
    void ForEachNamedValue(const TXMLParams& params, Visit visit)
    {
        const int emptyName = CollectNames(params);
        size_t named = 0;
        for (int i = 0; i < params.Count(); ++i) {
            if (named < FNamed.size() && FNamed[named] == i) {
                visit(FNames[named], FNamed[FFirst[named]]);
                ++named;
            } else {
                visit(std::string_view(), emptyName);
            }
        }
    }
    // Whether no two of `count` names are equal, `nameOf(i)` giving each. Inline: the
    // loader asks it for every tag, and most tags have a few names.
    template <class NameOf>
    bool Distinct(size_t count, NameOf nameOf)
    {
        if (count <= PairwiseLimit) {
            for (size_t i = 1; i < count; ++i)
                for (size_t j = 0; j < i; ++j)
                    if (SameName(nameOf(j), nameOf(i)))
                        return false;
            return true;
        }
        FNames.clear();
        for (size_t i = 0; i < count; ++i)
            FNames.push_back(nameOf(i));
        return NamesDistinct();
    }

private:
    // Up to this many names, comparing every pair is cheaper than hashing them.
    static constexpr size_t PairwiseLimit = 16;

    static bool SameName(std::string_view a, std::string_view b) { return a.size() == b.size() && SameText(a, b); }
    // Distinct for the names collected in FNames, through the hash table.
    bool NamesDistinct();
    // Takes the names of the entries that have one into FNames, their indexes into FNamed
    // and the first of each name into FFirst; the first entry of the empty name, -1 for none.
    int CollectNames(const TXMLParams& params)
    {
        FNames.clear();
        FNamed.clear();
        int emptyName = -1;
        for (int i = 0; i < params.Count(); ++i) {
            const std::string_view entry = params.Strings(i);
            const size_t equals = entry.find('=');
            if (equals == std::string_view::npos)
                continue;
            if (equals == 0 && emptyName < 0)
                emptyName = i;
            FNames.emplace_back(entry.data(), equals);
            FNamed.push_back(i);
        }
        FirstOfEach(FNames, FFirst);
        return emptyName;
    }

    std::vector<uint32_t> FTable;
    std::vector<uint32_t> FFirst;
    std::vector<std::string_view> FNames;
    // The entries with a name, by index, for ForEachNamedValue.
    std::vector<int> FNamed;
};
