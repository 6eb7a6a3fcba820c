#include <gtest/gtest.h>

#include "ProgramSetup.h"
#include "TempFolder.h"
#include "XMLValueAccess.h"

namespace {

constexpr std::string_view Config =
    "<config>\r\n"
    "  <db host=\"srv\" user=\"r\xe9mi\" price=\"\x80 5\"/>\r\n"
    "  <db host=\"second\"/>\r\n"
    "  <x/>\r\n"
    "</config>\r\n";

class ValueAccess : public ::testing::Test {
protected:
    void TearDown() override
    {
        while (CloseXMLFile(std::u16string()))
            ;
    }

    std::u16string File(const std::string& name, std::string_view bytes)
    {
        return Folder.Write(name, bytes).u16string();
    }

    static std::u16string Read(const std::u16string& path, bool expectFound = true)
    {
        std::u16string value = u"untouched";
        EXPECT_EQ(ReadXMLValue(path, value), expectFound);
        return value;
    }

    TTempFolder Folder;
};

TEST_F(ValueAccess, ReadsParametersByDottedPath)
{
    ASSERT_TRUE(OpenXMLFile(File("config.xml", Config)));
    EXPECT_EQ(Read(u"config.db.host"), u"srv");
    // An existing item without the parameter reads as found and empty.
    EXPECT_EQ(Read(u"config.db.port"), u"");
    EXPECT_EQ(Read(u"config.x.port"), u"");
    // Paths compare with letter case, unlike the parameter names.
    EXPECT_EQ(Read(u"Config.db.host", false), u"untouched");
    EXPECT_EQ(Read(u"config.db.HOST"), u"srv");
    EXPECT_EQ(Read(u"config.nothing.port", false), u"untouched");
    // The first of two siblings of one name is found.
    EXPECT_EQ(Read(u"config.db.host"), u"srv");
}

TEST_F(ValueAccess, SuffixIsCutFromTheParameterNameOnly)
{
    ASSERT_TRUE(OpenXMLFile(File("config.xml", Config)));
    EXPECT_EQ(Read(u"config.db.host/;/extra"), u"srv");
    // A "." inside the suffix moves the item path into the suffix.
    Read(u"config.db.host/;/x.y", false);
    // Without any ".", the whole path is both item path and parameter name.
    EXPECT_EQ(Read(u"config"), u"");
}

TEST_F(ValueAccess, TextCrossesTheCodePageBoundary)
{
    ASSERT_TRUE(OpenXMLFile(File("config.xml", Config)));
    EXPECT_EQ(Read(u"config.db.user"), u"r\u00e9mi");
    EXPECT_EQ(Read(u"config.db.price"), u"\u20ac 5");
    // A character the code page cannot hold names no item, and no parameter of an item
    // that is found.
    Read(u"config.\u6570.host", false);
    EXPECT_EQ(Read(u"config.db.\u6570"), u"");
    EXPECT_EQ(Read(u"config.db.host/;/\u6570"), u"");
}

TEST_F(ValueAccess, FileNamesStayNativePaths)
{
    ASSERT_TRUE(OpenXMLFile(File("donn\xc3\xa9" "es-\xe6\x95\xb0.xml", Config)));
    EXPECT_EQ(Read(u"config.db.host"), u"srv");
}

TEST_F(ValueAccess, OpenReportsFailureAndKeepsTheDocumentUntilClose)
{
    EXPECT_FALSE(CloseXMLFile(u""));
    EXPECT_EQ(Read(u"config.db.host", false), u"untouched");
    EXPECT_FALSE(OpenXMLFile((Folder.Path() / "missing.xml").u16string()));
    // The failed open still leaves a document, which a close then ends.
    EXPECT_TRUE(CloseXMLFile(u""));
    EXPECT_FALSE(CloseXMLFile(u""));

    ASSERT_TRUE(OpenXMLFile(File("config.xml", Config)));
    // A second open without close reuses the document for the new file.
    ASSERT_TRUE(OpenXMLFile(File("other.xml", "<other a=\"1\"/>")));
    Read(u"config.db.host", false);
    EXPECT_EQ(Read(u".other.a"), u"1");
}

TEST_F(ValueAccess, ReadEverReloadsBeforeEveryRead)
{
    const std::u16string file = File("config.xml", Config);
    ASSERT_TRUE(OpenXMLFile(file));
    Folder.Write("config.xml", "<config><db host=\"changed\"/></config>");
    EXPECT_EQ(Read(u"config.db.host"), u"srv");
    CloseXMLFile(file);

    TProgramSetup("Software\\Trelvix\\XML").WriteBool("READEVER", true);
    ASSERT_TRUE(OpenXMLFile(file));
    EXPECT_EQ(Read(u"config.db.host"), u"changed");
    Folder.Write("config.xml", "<config><db host=\"again\"/></config>");
    EXPECT_EQ(Read(u"config.db.host"), u"again");

    // A failed reload leaves the read working on the tree as it then stands.
    std::filesystem::remove(Folder.Path() / "config.xml");
    EXPECT_EQ(Read(u"config.db.host"), u"again");
    TProgramSetup("Software\\Trelvix\\XML").WriteBool("READEVER", false);
}

} // namespace
