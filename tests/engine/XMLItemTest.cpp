#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ECXMLParser.h"
#include "EngineTestSupport.h"
#include "Exceptions.h"
#include "XMLItem.h"

using namespace enginetest;

namespace {

TEST(XMLItem, ClearEmptiesItemSilentlyAndKeepsItsPlace)
{
    TECXMLParser document;
    LoadText(document, R"(<a><b x="1">t<c><d/></c></b></a>)");
    TXMLItem* b = document.Root()->Items(0);
    b->SetCrLfInAsString(false);
    EventLog log(document);

    b->Clear();

    EXPECT_EQ(Dump(*document.Root()), "a\n  \n");
    EXPECT_EQ(b->Parent(), document.Root());
    EXPECT_EQ(b->Document(), &document);
    EXPECT_FALSE(b->CrLfInAsString());
    EXPECT_EQ(log.events, Events{});
    b->SetName("b2");
    EXPECT_EQ(log.events, Events{"Changed b2"});
}

TEST(XMLItem, ValueTakesEachTextSetAndReadsAsAString)
{
    TECXMLParser document;
    TXMLItem* item = document.Root()->New();
    item->SetName("v");
    EventLog log(document);
    // Longer and shorter than before, empty, and too long for the document's small blocks.
    const std::string texts[] = {"a value longer than a short string", "short", "", std::string(5000, 'x'),
                                 "a value longer than the one before it was", "", "x"};
    for (const std::string& text : texts) {
        item->SetValue(text);
        EXPECT_EQ(item->Value(), text);
        EXPECT_EQ(std::strlen(item->Value().c_str()), text.size());
    }
    EXPECT_EQ(log.events, Events(std::size(texts), "Changed v"));

    // What a caller does with a string.
    auto& held = item->Value();
    EXPECT_EQ(held, "x");
    const std::string copy = item->Value();
    EXPECT_EQ(copy + item->Value() + "y", "xxy");
    EXPECT_EQ("<" + item->Value().substr(0, 1) + '>', "<x>");
    EXPECT_EQ(std::string(item->Value()) + std::string(document.Root()->Value()), "x");
    const std::string shown = document.Root()->Value().empty() ? "(none)" : document.Root()->Value();
    EXPECT_EQ(shown, "(none)");
    EXPECT_TRUE(document.Root()->Value().empty());
    EXPECT_EQ(*document.Root()->Value().c_str(), '\0');
}

TEST(XMLItem, NewReportsParentBeforeTheChildIsNamed)
{
    TECXMLParser document;
    document.Root()->SetName("root");
    Events seen;
    document.XMLItemChanged = [&](TECXMLParser*, TXMLItem* item) {
        seen.push_back(item->Name() + " with " + std::to_string(item->Count()) + " children");
        if (item->Count() > 0)
            seen.back() += ", last named '" + item->Items(item->Count() - 1)->Name() + "'";
    };

    TXMLItem* child = document.Root()->New();
    child->SetName("kid");

    EXPECT_EQ(seen, (Events{"root with 1 children, last named ''", "kid with 0 children"}));
    EXPECT_EQ(child->Parent(), document.Root());
    EXPECT_EQ(child->Document(), &document);
}

TEST(XMLItem, FindOrAddItemAddsMissingChildOnce)
{
    TECXMLParser document;
    LoadText(document, "<root><Item/></root>");
    EventLog log(document);
    TXMLItem* root = document.Root();

    EXPECT_EQ(root->FindOrAddItem("ITEM"), root->Items(0));
    TXMLItem* added = root->FindOrAddItem("Other");
    EXPECT_EQ(root->FindOrAddItem("other"), added);

    EXPECT_EQ(Dump(*root), "root\n  Item\n  Other\n");
    EXPECT_EQ(log.events, (Events{"Changed root", "Changed Other"}));
}

TEST(XMLItem, IndexOfNameIgnoresLetterCaseOfTheCodePage)
{
    TECXMLParser document;
    LoadText(document, "<r><x/><item/><ITEM/><\xC9t\xC9/><\x8A\x9F/><\xDF/></r>");
    const TXMLItem* root = document.Root();

    EXPECT_EQ(root->IndexOfName("ITEM", 0), 1);
    EXPECT_EQ(root->IndexOfName("Item", 2), 2);
    EXPECT_EQ(root->IndexOfName("item", 3), -1);
    EXPECT_EQ(root->IndexOfName("\xE9t\xE9", 0), 3); // "été" finds "ÉtÉ"
    EXPECT_EQ(root->IndexOfName("\x9A\xFF", 0), 4);  // "šÿ" finds "ŠŸ"
    EXPECT_EQ(root->IndexOfName("SS", 0), -1);       // "ß" has no capital
    EXPECT_EQ(root->IndexOfName("x", root->Count()), -1);
}

TEST(XMLItem, DeleteDestroysSubtreeAndReportsParent)
{
    TECXMLParser document;
    LoadText(document, "<r><a><a1/></a><b/><c/></r>");
    EventLog log(document);
    TXMLItem* root = document.Root();

    root->Delete(0);
    EXPECT_EQ(ErrorOf<EListError>([&] { root->Delete(2); }), "List index out of bounds (2)");
    EXPECT_EQ(ErrorOf<EListError>([&] { root->Delete(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(ErrorOf<EListError>([&] { root->Items(2); }), "List index out of bounds (2)");

    EXPECT_EQ(Dump(*root), "r\n  b\n  c\n");
    EXPECT_EQ(log.events, Events{"Changed r"});
}

TEST(XMLItem, MoveReordersChildrenWithoutReporting)
{
    TECXMLParser document;
    LoadText(document, "<r><a/><b/><c/></r>");
    EventLog log(document);
    TXMLItem* root = document.Root();
    TXMLItem* a = root->Items(0);

    root->Move(root->Items(1), 1);
    EXPECT_EQ(Dump(*root), "r\n  a\n  b\n  c\n");
    root->Move(a, 2);
    EXPECT_EQ(Dump(*root), "r\n  b\n  c\n  a\n");
    EXPECT_EQ(root->IndexOf(a), 2);

    EXPECT_EQ(ErrorOf<EListError>([&] { root->Move(a, 3); }), "List index out of bounds (3)");
    TXMLItem stranger;
    EXPECT_THROW(root->Move(&stranger, 0), EListError);
    EXPECT_EQ(Dump(*root), "r\n  b\n  c\n  a\n");
    EXPECT_EQ(log.events, Events{});
}

TEST(XMLItem, ChildrenKeepTheirOrderThroughGrowthMovesAndDeletes)
{
    // The children list grows in steps; items added, moved and deleted at random keep
    // the order a plain list of their names has.
    TECXMLParser document;
    TXMLItem* root = document.Root();
    std::vector<std::string> model;
    std::mt19937 random(3);
    for (int step = 0; step < 3000; ++step) {
        const int count = root->Count();
        const unsigned action = random() % 10;
        if (action < 6 || count < 2) {
            const std::string name = "n" + std::to_string(step);
            root->New()->SetName(name);
            model.push_back(name);
        } else if (action < 8) {
            const int from = static_cast<int>(random() % count);
            const int to = static_cast<int>(random() % count);
            root->Move(root->Items(from), to);
            const std::string moved = model[from];
            model.erase(model.begin() + from);
            model.insert(model.begin() + to, moved);
        } else {
            const int index = static_cast<int>(random() % count);
            root->Delete(index);
            model.erase(model.begin() + index);
        }
    }
    ASSERT_EQ(root->Count(), static_cast<int>(model.size()));
    for (int i = 0; i < root->Count(); ++i)
        ASSERT_EQ(root->Items(i)->Name(), model[i]) << i;
}

TEST(XMLItem, LayoutRecordGoesWithItsItem)
{
    struct Record : TXMLLayoutRecord {
        explicit Record(int& destroyed) : destroyed(destroyed) {}
        ~Record() override { ++destroyed; }
        int& destroyed;
    };
    int destroyed = 0;
    {
        TECXMLParser document;
        LoadText(document, "<r><a><b/></a></r>");
        document.Root()->Items(0)->Items(0)->SetLayoutRecord(std::make_unique<Record>(destroyed));
        document.Root()->SetLayoutRecord(std::make_unique<Record>(destroyed));
        document.Root()->SetLayoutRecord(std::make_unique<Record>(destroyed));
        EXPECT_EQ(destroyed, 1);
        document.Root()->Delete(0);
        EXPECT_EQ(destroyed, 2);
        document.Clear(); // keeps the root's own record
        EXPECT_EQ(destroyed, 2);
    }
    EXPECT_EQ(destroyed, 3);
}

TEST(XMLParams, LookupIgnoresLetterCaseAndEmptyValueRemovesEntry)
{
    TECXMLParser document;
    LoadText(document, "<r Width=\"10\" \xC9paisseur=\"3\" c=\"4\"/>");
    EventLog log(document);
    TXMLParams& params = document.Root()->Items(0)->Params();
    EXPECT_EQ(params.Values("WIDTH"), "10");
    EXPECT_EQ(params.Values("\xE9PAISSEUR"), "3");
    EXPECT_EQ(params.Values("height"), "");

    params.SetValue("width", "ten");
    params.SetValue("d", "5");
    params.SetValue("\xE9paisseur", "");
    params.SetValue("missing", "");
    params.Add("noequals");
    EXPECT_EQ(params.Text(), "width=ten\r\nc=4\r\nd=5\r\nnoequals\r\n");
    EXPECT_EQ(params.IndexOfName("noequals"), -1);
    // Direct edits of the list report nothing.
    EXPECT_EQ(log.events, Events{});
}

} // namespace
