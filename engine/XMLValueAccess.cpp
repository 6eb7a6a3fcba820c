#include "XMLValueAccess.h"

#include <filesystem>
#include <memory>

#include "CodePage.h"
#include "ECXMLParser.h"
#include "ProgramSetup.h"
#include "XMLItemPath.h"

namespace {

struct TValueAccessState {
    std::unique_ptr<TECXMLParser> document;
    std::u16string fileName;
    bool readEver = false;
    bool useLfString = false;
};

TValueAccessState& State()
{
    static TValueAccessState state;
    return state;
}

// File names stay native paths; they never pass through the document's code page.
std::filesystem::path NativePath(const std::u16string& fileName) { return std::filesystem::path(fileName); }

} // namespace

bool OpenXMLFile(const std::u16string& fileName)
{
    TValueAccessState& state = State();
    state.useLfString = false;
    try {
        TProgramSetup setup("Software\\Trelvix\\XML");
        setup.ReadBool("READEVER", state.readEver);
        if (setup.ValueExists("USELFSTRING"))
            setup.ReadBool("USELFSTRING", state.useLfString);
    } catch (const std::exception&) {
        // Unreadable settings leave the flags as they were.
    }
    state.fileName = fileName;
    try {
        if (!state.document)
            state.document = std::make_unique<TECXMLParser>();
        state.document->SetCrLfInAsString(state.useLfString);
        state.document->LoadFromFile(NativePath(fileName));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ReadXMLValue(const std::u16string& valuePath, std::u16string& value)
{
    TValueAccessState& state = State();
    if (state.readEver && state.document) {
        try {
            state.document->LoadFromFile(NativePath(state.fileName));
        } catch (const std::exception&) {
            // The read goes on with the tree as the failed reload left it.
        }
    }
    std::string path;
    if (!Utf16ToCp1252(valuePath, path)) {
        // A character the code page cannot hold names no item; in the parameter name it
        // names no parameter of the item, whose value is then empty.
        const size_t dot = valuePath.rfind(u'.');
        std::string itemPath;
        if (dot == std::u16string::npos || !Utf16ToCp1252(std::u16string_view(valuePath).substr(0, dot), itemPath)
            || !FindItemByPath(state.document.get(), itemPath))
            return false;
        value.clear();
        return true;
    }
    std::string text;
    if (!ReadItemValue(state.document.get(), path, text))
        return false;
    value = Cp1252ToUtf16(text);
    return true;
}

bool ReadItemValue(IECXMLDocument* document, std::string_view valuePath, std::string& value)
{
    const TXMLItem* item = FindItemByPath(document, ItemPathOf(valuePath));
    if (!item)
        return false;
    value = item->Params().Values(ParamNameOf(valuePath));
    return true;
}

bool CloseXMLFile(const std::u16string& /*fileName*/)
{
    TValueAccessState& state = State();
    if (!state.document)
        return false;
    state.document.reset();
    return true;
}
