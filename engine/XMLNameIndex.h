#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Finds, among the names of a parameter list, the first name equal to each one without
// regard to letter case. A few names are compared pairwise; a long list goes through a
// hash table, so that an element with a great many parameters stays linear. Keeps its
// storage between uses.
class TXMLNameIndex {
public:
    // first[i] := index of the first name equal to names[i]; i itself when there is none
    // before it.
    void FirstOfEach(const std::vector<std::string_view>& names, std::vector<uint32_t>& first);
    // Whether no two names are equal.
    bool Distinct(const std::vector<std::string_view>& names);

private:
    std::vector<uint32_t> FTable;
    std::vector<uint32_t> FFirst;
};
