#include "XMLNameIndex.h"

void TXMLNameIndex::FirstOfEach(const std::vector<std::string_view>& names, std::vector<uint32_t>& first)
{
    const size_t count = names.size();
    first.resize(count);
    if (count <= PairwiseLimit) {
        for (size_t i = 0; i < count; ++i) {
            size_t j = 0;
            while (j < i && !SameName(names[j], names[i]))
                ++j;
            first[i] = static_cast<uint32_t>(j);
        }
        return;
    }

    // Open addressing over at least twice as many slots as names; a slot holds the index
    // of the first name of its kind plus one, 0 when empty.
    size_t slots = 1;
    while (slots < 2 * count)
        slots <<= 1;
    FTable.assign(slots, 0);
    for (size_t i = 0; i < count; ++i) {
        size_t slot = TextHash(names[i]) & (slots - 1);
        for (;;) {
            const uint32_t held = FTable[slot];
            if (held == 0) {
                FTable[slot] = static_cast<uint32_t>(i + 1);
                first[i] = static_cast<uint32_t>(i);
                break;
            }
            if (SameName(names[held - 1], names[i])) {
                first[i] = held - 1;
                break;
            }
            slot = (slot + 1) & (slots - 1);
        }
    }
}

bool TXMLNameIndex::NamesDistinct()
{
    FirstOfEach(FNames, FFirst);
    for (size_t i = 0; i < FNames.size(); ++i)
        if (FFirst[i] != i)
            return false;
    return true;
}
