#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "CodePage.h"

// Finds, among the names of a parameter list, the first name equal to each one without
// regard to letter case. A few names are compared pairwise; a long list goes through a
// hash table, so that an element with a great many parameters stays linear. Keeps its
// storage between uses.
class TXMLNameIndex {
public:
    // first[i] := index of the first name equal to names[i]; i itself when there is none
    // before it.
    void FirstOfEach(const std::vector<std::string_view>& names, std::vector<uint32_t>& first);
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

    std::vector<uint32_t> FTable;
    std::vector<uint32_t> FFirst;
    std::vector<std::string_view> FNames;
};
