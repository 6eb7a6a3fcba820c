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
    EXPECT_EQ(ItemFullPath(root->Items(1)->Items(0)), "config.db.pool");
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
