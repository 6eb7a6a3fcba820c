#include <gtest/gtest.h>

#include <istream>
#include <stdexcept>
#include <string>

#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

std::string Lines(size_t bytes, std::string_view value = "v")
{
    std::string text = std::string(Head) + "<root>\r\n";
    for (int i = 0; text.size() < bytes; ++i)
        text += "  <item k=\"" + std::to_string(i) + "\">" + std::string(value) + std::to_string(i) + "</item>\r\n";
    return text + "</root>\r\n";
}

std::string Repeated(int times, const std::string& text)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

} // namespace

// A big text is cut into tokens while the rest of it is still being read. Whatever its
// shape, and whether its stream says it is shorter or longer than it is, it reads as the
// same text given whole; a stream that fails fails the load with its error, and a file
// with lines too long for the chunks reads whole.
TEST(StreamReading, ABigTextReadsAsTheSameTextGivenWhole)
{
    const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n" + Lines(size_t{3} << 19, "caf\xC3\xA9 ").substr(Head.size());
    // The first tag ends past the part read before the tokens begin: its encoding shows
    // only there.
    const std::string lateEncoding =
        "<?xml version=\"1.0\"" + Repeated(1500, std::string(70, ' ') + "\r\n") + "encoding=\"UTF-8\" ?>\r\n" + Lines(size_t{3} << 19, "\xC3\xA9").substr(Head.size());
    const struct {
        const char* name;
        std::string text;
    } texts[] = {
        {"lines", Lines(size_t{3} << 19)},
        {"UTF-8, converted whole", utf8},
        {"UTF-8 announced late", lateEncoding},
        {"lines cut into tokens on a thread of their own", Lines(size_t{9} << 20)},
    };
    for (const auto& [name, text] : texts) {
        SCOPED_TRACE(name);
        TECXMLParser whole;
        ASSERT_TRUE(whole.LoadWholeText(text));
        const std::string expected = Dump(*whole.Root());
        for (const size_t told : {text.size(), text.size() - 300000, text.size() + 300000}) {
            SCOPED_TRACE(told == text.size() ? "told its size" : told < text.size() ? "told less" : "told more");
            TToldText buffer(text, told, std::string::npos, true);
            std::istream stream(&buffer);
            TECXMLParser document;
            document.LoadFromStream(stream);
            EXPECT_TRUE(SameLines(Dump(*document.Root()), expected));
            EXPECT_EQ(document.LoadedEncoding(), whole.LoadedEncoding());
            EXPECT_TRUE(document.LoadedComplete());
        }
        TToldText failing(text, text.size(), text.size() - 100000);
        std::istream stream(&failing);
        stream.exceptions(std::ios::badbit);
        TECXMLParser document;
        LoadText(document, "<old/>");
        EXPECT_EQ(ErrorOf<std::runtime_error>([&] { document.LoadFromStream(stream); }), "the disk failed");
        EXPECT_FALSE(document.LoadedComplete());
    }

    std::string oneLine = std::string(Head) + "<root>";
    for (int i = 0; oneLine.size() < (size_t{3} << 19); ++i)
        oneLine += "<item k=\"" + std::to_string(i) + "\">v</item>";
    oneLine += "</root>";
    std::string longLineLate = Lines(size_t{3} << 19);
    longLineLate.insert(longLineLate.find("\r\n", longLineLate.size() - 20000) + 2, "  <long>" + std::string(6000, 'w') + "</long>\r\n");
    TempFolder folder;
    for (const std::string& text : {oneLine, longLineLate}) {
        TECXMLParser whole;
        ASSERT_TRUE(whole.LoadWholeText(text));
        WriteBytes(folder / "long.xml", text);
        TECXMLParser document;
        document.LoadFromFile(folder / "long.xml");
        EXPECT_TRUE(SameLines(Dump(*document.Root()), Dump(*whole.Root())));
    }
}
