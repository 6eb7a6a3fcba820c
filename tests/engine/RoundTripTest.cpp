#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CodePage.h"
#include "ECXMLParser.h"
#include "EngineTestSupport.h"

using namespace enginetest;

namespace {

// Random trees whose every name, parameter and value can be read back as written.
class TreeGenerator {
public:
    explicit TreeGenerator(unsigned seed) : FRandom(seed) {}

    void Fill(TXMLItem& root)
    {
        std::vector<std::pair<TXMLItem*, int>> pending{{&root, 0}};
        while (!pending.empty()) {
            const auto [item, depth] = pending.back();
            pending.pop_back();
            item->SetName(Name());
            std::set<std::string> used;
            for (int n = Below(4); n > 0; --n) {
                std::string name = Name();
                if (used.insert(UpperCase(name)).second)
                    item->Params().SetValue(name, Text(true));
            }
            if (Below(2))
                item->SetValue(Text(false));
            // A root in the short form would read back as the child of an unnamed root.
            if (depth < 5)
                for (int n = depth == 0 ? 1 + Below(5) : Below(5); n > 0; --n)
                    pending.emplace_back(item->New(), depth + 1);
        }
    }

private:
    int Below(int n) { return static_cast<int>(FRandom() % static_cast<unsigned>(n)); }

    std::string Name()
    {
        static constexpr std::string_view First = "abcXYZ_\xC9\xE9";
        static constexpr std::string_view Rest = "abcXYZ_-.019\xC9\xE9";
        std::string name(1, First[Below(static_cast<int>(First.size()))]);
        for (int n = Below(6); n > 0; --n)
            name += Rest[Below(static_cast<int>(Rest.size()))];
        return name;
    }

    // Non-empty text that neither starts nor ends with a blank and has no blank next to
    // a line break; parameter values also hold lone CR and LF and outer blanks.
    std::string Text(bool parameter)
    {
        static const std::vector<std::string> Pieces{
            "&", "<", ">", "\"", "'", "=", "/", "/>", "&amp;", "&#13;", "&lt;", "<br/>", "-->", "x y", "w"};
        std::string text = "t";
        for (int n = Below(8); n > 0; --n) {
            switch (Below(parameter ? 6 : 4)) {
            case 0: text += Pieces[Below(static_cast<int>(Pieces.size()))]; break;
            case 1: text += static_cast<char>(0xA0 + Below(0x60)); break;
            case 2: text += "\r\n"; break;
            case 3: text += "q"; break;
            case 4: text += Below(2) ? "\r" : "\n"; break;
            default: text = " " + text + " "; break;
            }
            if (!parameter && text.ends_with("\r\n"))
                text += "z";
        }
        return text;
    }

    std::mt19937 FRandom;
};

TEST(RoundTrip, RandomTreesSurviveWriteReadWrite)
{
    TempFolder folder;
    for (unsigned seed = 1; seed <= 100; ++seed) {
        for (bool lineEnds : {true, false}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + (lineEnds ? " with line ends" : " on one line"));
            TECXMLParser original;
            original.SetCrLfInAsString(lineEnds);
            TreeGenerator(seed).Fill(*original.Root());
            const std::string first = SaveText(original);

            // Through a file: a document written on one line needs the second pass.
            WriteBytes(folder / "doc.xml", first);
            TECXMLParser copy;
            copy.SetCrLfInAsString(lineEnds);
            copy.LoadFromFile(folder / "doc.xml");

            ASSERT_EQ(Dump(*copy.Root()), Dump(*original.Root()));
            ASSERT_EQ(SaveText(copy), first);
        }
    }
}

TEST(RoundTrip, LineBreaksNextToBlanksSettleAfterOneRound)
{
    TECXMLParser document;
    document.Root()->SetName("r");
    document.Root()->SetValue("a \r\n b\r\n\r\nc");
    document.Root()->New()->SetName("child");

    const std::string first = SaveText(document);
    LoadText(document, first);
    EXPECT_EQ(document.Root()->Value(), "a\r\nb\r\n\r\nc");
    const std::string second = SaveText(document);
    LoadText(document, second);
    EXPECT_EQ(SaveText(document), second);
    EXPECT_EQ(Dump(*document.Root()), "r = a\\0d\\0ab\\0d\\0a\\0d\\0ac\n  child\n");
}

TEST(RoundTrip, LineBreaksOfValuesSurviveExactly)
{
    TECXMLParser document;
    TXMLItem* root = document.Root();
    root->SetName("r");
    root->SetValue("a\r\n\r\nb");
    root->Params().SetValue("p", "1\r\n2\r3\n\n4");
    root->Params().SetValue("q", " \r\n ");

    const std::string first = SaveText(document);
    LoadText(document, first);
    EXPECT_EQ(Dump(*document.Root()), "r [p=1\\0d\\0a2\\0d3\\0a\\0a4] [q= \\0d\\0a ] = a\\0d\\0a\\0d\\0ab\n");
    EXPECT_EQ(SaveText(document), first);
}

// Writes and reads the document three times: the tree and the text must stay as they were.
void ExpectStableThroughSaves(TECXMLParser& document)
{
    const std::string tree = Dump(*document.Root());
    const std::string first = SaveText(document);
    for (int round = 0; round < 3; ++round) {
        LoadText(document, SaveText(document));
        ASSERT_EQ(Dump(*document.Root()), tree);
        ASSERT_EQ(SaveText(document), first);
    }
}

// Trees of unnamed items and items named like the line break tag neither multiply nor
// vanish, save after save.
TEST(RoundTrip, UnnamedItemsAndBrItemsNeitherMultiplyNorVanish)
{
    for (const char* text : {"<config a=\"1\"/>", "<a/><b/>", "<r></r>", "<r k=\"v\"></r>",
                             "<r><br></br><br k=\"v\"/>x<br/>y</r>", "<r>< /><q/></r>",
                             // As earlier versions wrote an unnamed root.
                             "<>\r\n  <config a=\"1\"/>\r\n</>\r\n"}) {
        SCOPED_TRACE(text);
        TECXMLParser document;
        LoadText(document, text);
        ExpectStableThroughSaves(document);
    }

    // Items added in the dialog: children below the unnamed root's item, an unnamed leaf
    // deeper down, and a plain "br".
    TECXMLParser document;
    LoadText(document, "<a/><b/>");
    TXMLItem* b = document.Root()->Items(1);
    b->New()->SetName("c");
    b->Items(0)->New()->SetName("d");
    b->New();
    b->New()->SetName("br");
    ExpectStableThroughSaves(document);
    EXPECT_EQ(Dump(*document.Root()), "\n  a\n  b\n    c\n      d\n    \n    br\n");
}

} // namespace
