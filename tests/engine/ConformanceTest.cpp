// Real XML files written by other programs give the elements and parameters a conforming
// parser (libexpat) finds in them: the files of Debian packages the test setup installs,
// and the files of tests/engine/conformance/, one for each kind of markup.

#include <expat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CodePage.h"
#include "ECXMLParser.h"
#include "Exceptions.h"

namespace fs = std::filesystem;

namespace {

// One element in document order: its depth, name and parameters, as one line.
using Elements = std::vector<std::string>;

std::string ReadBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Line(size_t depth, std::string_view name, const std::vector<std::pair<std::string, std::string>>& params)
{
    std::string line = std::to_string(depth) + " " + std::string(name);
    for (const auto& [key, value] : params)
        line += " [" + key + "=" + value + "]";
    return line;
}

// The elements expat reads, with the parameters the tags give (not the defaults a document
// type adds), empty values left out as the parameter list leaves them out. `convert`
// gives expat's UTF-8 texts as the code page holds them; false when one cannot be held.
struct TExpatReading {
    Elements elements;
    bool wellFormed = false;
    bool representable = true;
};

TExpatReading ReadWithExpat(const std::string& bytes, bool convert)
{
    struct TState {
        TExpatReading reading;
        XML_Parser parser;
        bool convert;
        size_t depth = 0;
        std::string Text(const char* utf8)
        {
            std::string out;
            if (!convert)
                return utf8;
            if (!Utf8ToCp1252(utf8, out))
                reading.representable = false;
            return out;
        }
    } state{{}, XML_ParserCreate(nullptr), convert};
    XML_SetUserData(state.parser, &state);
    XML_SetElementHandler(
        state.parser,
        [](void* data, const XML_Char* name, const XML_Char** attributes) {
            auto& s = *static_cast<TState*>(data);
            std::vector<std::pair<std::string, std::string>> params;
            const int specified = XML_GetSpecifiedAttributeCount(s.parser);
            for (int i = 0; i < specified; i += 2)
                if (*attributes[i + 1])
                    params.emplace_back(s.Text(attributes[i]), s.Text(attributes[i + 1]));
            s.reading.elements.push_back(Line(s.depth++, s.Text(name), params));
        },
        [](void* data, const XML_Char*) { --static_cast<TState*>(data)->depth; });
    state.reading.wellFormed = XML_Parse(state.parser, bytes.data(), static_cast<int>(bytes.size()), XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(state.parser);
    return state.reading;
}

// The elements of the loaded tree. A document element written as an empty tag stands as
// the only child of an unnamed root.
Elements ReadWithTheEngine(const TECXMLParser& document)
{
    const TXMLItem* top = const_cast<TECXMLParser&>(document).Root();
    if (top->Name().empty() && top->Count() == 1 && top->Params().Count() == 0)
        top = top->Items(0);
    Elements elements;
    std::vector<std::pair<const TXMLItem*, size_t>> pending{{top, 0}};
    while (!pending.empty()) {
        const auto [item, depth] = pending.back();
        pending.pop_back();
        std::vector<std::pair<std::string, std::string>> params;
        for (int i = 0; i < item->Params().Count(); ++i) {
            const std::string entry(item->Params().Strings(i));
            const size_t equals = entry.find('=');
            params.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
        }
        elements.push_back(Line(depth, item->Name(), params));
        for (int i = item->Count() - 1; i >= 0; --i)
            pending.emplace_back(item->Items(i), depth + 1);
    }
    return elements;
}

// How the engine reads the file's text: converted from UTF-8 or UTF-16 (a byte-order mark,
// or a declaration naming UTF-8), as code page bytes it declares (another encoding), or
// as bytes without a declaration. expat's texts are compared in the code page in the first
// two cases, and as the bytes they were in the file in the last.
enum class TReading { Utf8, Utf16, Declared, Undeclared };

TReading ReadingOf(const std::string& bytes)
{
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        return TReading::Utf16;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return TReading::Utf8;
    const std::string head = UpperCase(bytes.substr(0, std::min<size_t>(bytes.size(), bytes.find('>'))));
    if (!head.starts_with("<?XML") || head.find("ENCODING") == std::string::npos)
        return TReading::Undeclared;
    return head.find("UTF-8") != std::string::npos ? TReading::Utf8 : TReading::Declared;
}

// What is wrong with the engine's reading of `file`; empty when it agrees with expat's.
std::string Disagreement(const fs::path& file)
{
    const std::string bytes = ReadBytes(file);
    const TReading reading = ReadingOf(bytes);
    TExpatReading expected = ReadWithExpat(bytes, reading != TReading::Undeclared);
    if (!expected.wellFormed)
        return {};
    // A converted text must be held by the code page wholly, not only in its names.
    std::string converted;
    if (reading == TReading::Utf8 && !Utf8ToCp1252(bytes.starts_with("\xEF\xBB\xBF") ? bytes.substr(3) : bytes, converted))
        expected.representable = false;
    TECXMLParser document;
    try {
        document.LoadFromText(bytes);
    } catch (const Exception& error) {
        const std::string message = error.what();
        if (!expected.representable && message.find("has no place in the code page") != std::string::npos)
            return {};
        return file.string() + ": " + message;
    }
    if (!expected.representable)
        return file.string() + ": loads, though it holds characters the code page cannot hold";
    const Elements got = ReadWithTheEngine(document);
    const size_t count = std::min(got.size(), expected.elements.size());
    for (size_t i = 0; i < count; ++i)
        if (got[i] != expected.elements[i])
            return file.string() + ": element " + std::to_string(i) + " is \"" + got[i] + "\", not \"" + expected.elements[i] + "\"";
    if (got.size() != expected.elements.size())
        return file.string() + ": " + std::to_string(got.size()) + " elements, not " + std::to_string(expected.elements.size());
    // And the program's own format of the tree reads back to the same tree.
    std::ostringstream written;
    document.SaveToStream(written, false);
    TECXMLParser again;
    again.LoadFromText(written.str());
    if (ReadWithTheEngine(again) != got)
        return file.string() + ": the written tree reads back otherwise";
    return {};
}

struct TSource {
    const char* name;
    const char* folder;
    const char* suffix;
};

class Conformance : public ::testing::TestWithParam<TSource> {};

TEST_P(Conformance, FilesGiveTheElementsAndParametersOfAConformingParser)
{
    const TSource& source = GetParam();
    ASSERT_TRUE(fs::is_directory(source.folder)) << source.folder << " is missing: the test setup installs it";
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(source.folder)) {
        if (!entry.is_regular_file() || !entry.path().string().ends_with(source.suffix))
            continue;
        ++files;
        const std::string problem = Disagreement(entry.path());
        EXPECT_EQ(problem, "");
    }
    EXPECT_GT(files, 0) << "no " << source.suffix << " file in " << source.folder;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Conformance,
    ::testing::Values(TSource{"Written", SELVANE_CONFORMANCE_FOLDER, ".xml"},
                      TSource{"IsoCodes", "/usr/share/xml/iso-codes", ".xml"},
                      TSource{"SharedMimeInfo", "/usr/share/mime/packages", ".xml"},
                      TSource{"Fontconfig", "/usr/share/fontconfig/conf.avail", ".conf"},
                      TSource{"GSettingsSchemas", "/usr/share/glib-2.0/schemas", ".gschema.xml"},
                      TSource{"ImageMagick", "/etc/ImageMagick-6", ".xml"}),
    [](const ::testing::TestParamInfo<TSource>& info) { return std::string(info.param.name); });

} // namespace
