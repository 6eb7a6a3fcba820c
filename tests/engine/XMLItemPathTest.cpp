#include <string>

#include <gtest/gtest.h>

#include "ECXMLParser.h"
#include "EngineTestSupport.h"
#include "XMLGhost.h"
#include "XMLItemPath.h"

using namespace enginetest;

namespace {

TEST(XMLItemPath, JoinAndSplitDottedPaths)
{
    EXPECT_EQ(JoinItemPath("A.B", "width"), "A.B.width");
    EXPECT_EQ(JoinItemPath("A", ""), "A");
    EXPECT_EQ(JoinItemPath("", "width"), ".width");
    EXPECT_EQ(JoinItemPath("", ""), "");

    EXPECT_EQ(ItemPathOf("A.B.C"), "A.B");
    EXPECT_EQ(ItemPathOf("plain"), "plain");
    EXPECT_EQ(ItemPathOf("config.db.host/;/x.y"), "config.db.host/;/x");

    EXPECT_EQ(ParamNameOf("A.B.C"), "C");
    EXPECT_EQ(ParamNameOf("plain"), "plain");
    EXPECT_EQ(ParamNameOf("config.db.host/;/extra"), "host");
    EXPECT_EQ(ParamNameOf("config.db.host/;/x.y/;/z"), "host");
    EXPECT_EQ(ParamNameOf("A."), "");
}

TEST(XMLItemPath, FindItemByPathComparesWholeNamesWithLetterCase)
{
    TECXMLParser document;
    LoadText(document, "<config><db host=\"one\"/><db host=\"two\"><pool/></db><dbx/><Db/></config>");
    const TXMLItem* root = document.Root();

    EXPECT_EQ(FindItemByPath(&document, "config"), root);
    EXPECT_EQ(FindItemByPath(&document, "config.db"), root->Items(0));
    EXPECT_EQ(FindItemByPath(&document, "config.db.pool"), root->Items(1)->Items(0));
    // The second "db" is named with its place; its path of names alone still finds it.
    EXPECT_EQ(ItemFullPath(root->Items(1)->Items(0)), "config.db[2].pool");
    EXPECT_EQ(FindItemByPath(&document, "config.Db"), root->Items(3));
    EXPECT_EQ(FindItemByPath(&document, "config.dbx"), root->Items(2));
    for (const char* path : {"Config.db", "config.d", "config.db.", "config.db.pool.x", "", ".config", "config.x"})
        EXPECT_EQ(FindItemByPath(&document, path), nullptr) << path;
    EXPECT_EQ(FindItemByPath(nullptr, "config"), nullptr);

    TXMLGhost ghost;
    ghost.SetPrimaryDocument(&document);
    EXPECT_EQ(FindItemByPath(&ghost, "config.db.pool"), root->Items(1)->Items(0));
}

TEST(XMLItemPath, FindItemByPathTakesFirstItemInDocumentOrderWhenNamesHoldDots)
{
    TECXMLParser document;
    LoadText(document, "<a><b><c/></b><b.c/></a>");
    EXPECT_EQ(FindItemByPath(&document, "a.b.c"), document.Root()->Items(0)->Items(0));
    document.Root()->Move(document.Root()->Items(1), 0);
    EXPECT_EQ(FindItemByPath(&document, "a.b.c"), document.Root()->Items(0));

    // An unnamed item contributes an empty name between its dots.
    TECXMLParser unnamed;
    LoadText(unnamed, "<x/>");
    EXPECT_EQ(FindItemByPath(&unnamed, ".x"), unnamed.Root()->Items(0));
}

} // namespace

// Siblings of one name are told apart by their place, "hash[3]" being the third "hash":
// every item's own path finds it, the first of a name keeps its plain path, and a path
// that names an item by names alone means what it always meant, a child really named
// "a[2]" included.
TEST(XMLItemPath, RepeatedNamesAreToldApartByTheirPlace)
{
    TECXMLParser document;
    LoadText(document, "<bom><hash alg=\"MD5\"/><hash alg=\"SHA-1\"/><x><hash/></x><hash alg=\"SHA-256\"/>"
                       "<a/><a[2]/><a><hash/><hash/></a></bom>");
    TXMLItem* root = document.Root();
    const std::pair<const char*, TXMLItem*> cases[] = {
        {"bom.hash", root->Items(0)},
        {"bom.hash[1]", root->Items(0)},
        {"bom.hash[2]", root->Items(1)},
        {"bom.hash[3]", root->Items(3)},
        {"bom.x.hash", root->Items(2)->Items(0)},
        {"bom.a", root->Items(4)},
        // A child named "a[2]" is that child; the second "a" is then named the same way.
        {"bom.a[2]", root->Items(5)},
        {"bom.a[2].hash[2]", root->Items(6)->Items(1)},
        {"bom.hash[4]", nullptr},
        {"bom.hash[0]", nullptr},
        {"bom.hash[01]", nullptr},
        {"bom.hash[2", nullptr},
        {"bom.hash[x]", nullptr},
        {"bom[1]", nullptr},
    };
    for (const auto& [path, item] : cases)
        EXPECT_EQ(FindItemByPath(&document, path), item) << path;
    const std::pair<TXMLItem*, const char*> paths[] = {
        {root->Items(0), "bom.hash"},         {root->Items(1), "bom.hash[2]"}, {root->Items(3), "bom.hash[3]"},
        {root->Items(2)->Items(0), "bom.x.hash"}, {root->Items(5), "bom.a[2]"}, {root->Items(6), "bom.a[2]"},
        {root->Items(6)->Items(1), "bom.a[2].hash[2]"},
    };
    for (const auto& [item, path] : paths)
        EXPECT_EQ(ItemFullPath(item), path);
    // A value path takes its item path and parameter name around the place.
    EXPECT_EQ(ItemPathOf("bom.hash[3].alg"), "bom.hash[3]");
    EXPECT_EQ(ParamNameOf("bom.hash[3].alg"), "alg");
}
