#include "selvane_value.h"

#include <string>

#include "XMLValueAccess.h"

namespace {

std::u16string Text(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

} // namespace

int OpenXMLFile(const char16_t* fileName) { return OpenXMLFile(Text(fileName)) ? 1 : 0; }

int ReadXMLValue(const char16_t* valuePath, char16_t* value, size_t valueSize, size_t* valueNeeded)
{
    std::u16string text;
    if (!ReadXMLValue(Text(valuePath), text))
        return 0;
    const size_t needed = text.size() + 1;
    if (valueNeeded)
        *valueNeeded = needed;
    if (value && valueSize >= needed)
        text.copy(value, text.size()), value[text.size()] = 0;
    else if (value && valueSize > 0)
        value[0] = 0;
    return 1;
}

int CloseXMLFile(const char16_t* fileName) { return CloseXMLFile(Text(fileName)) ? 1 : 0; }
