#include "ProgramSetup.h"

#include <string>

#include <gtest/gtest.h>

#include "HiveFolder.h"
#include "Registry.h"

namespace {

const std::string Header = "Windows Registry Editor Version 5.00\n\n";
const std::string XmlKey = "Software\\Velmarco\\XML";
const std::string XmlSections = "[HKEY_CURRENT_USER\\Software]\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Velmarco]\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Velmarco\\XML]\n";

} // namespace

using ProgramSetupTest = HiveFolderTest;

TEST_F(ProgramSetupTest, FirstOpenCreatesTheKeyEmptyAndDefaultsStay)
{
    const TProgramSetup setup(XmlKey);
    EXPECT_EQ(ReadFile(HivePath()), Header + XmlSections + "\n");
    EXPECT_EQ(setup.Error(), "");

    bool askDelete = true;
    bool useLfString = false;
    std::string server = "unchanged";
    EXPECT_FALSE(setup.ValueExists("ASKDELETE"));
    EXPECT_FALSE(setup.ReadBool("ASKDELETE", askDelete));
    EXPECT_FALSE(setup.ReadBool("USELFSTRING", useLfString));
    EXPECT_FALSE(setup.ReadString("Server", server));
    EXPECT_TRUE(askDelete);
    EXPECT_FALSE(useLfString);
    EXPECT_EQ(server, "unchanged");
}

TEST_F(ProgramSetupTest, BooleansAreStoredAsIntegers)
{
    TProgramSetup setup(XmlKey);
    setup.WriteBool("USEFULLITEM", false);
    setup.WriteBool("USELFSTRING", true);
    EXPECT_EQ(ReadFile(HivePath()),
              Header + XmlSections + "\"USEFULLITEM\"=dword:00000000\n\"USELFSTRING\"=dword:00000001\n\n");

    bool useFullItem = true;
    bool useLfString = false;
    EXPECT_TRUE(setup.ReadBool("USEFULLITEM", useFullItem));
    EXPECT_TRUE(setup.ReadBool("USELFSTRING", useLfString));
    EXPECT_FALSE(useFullItem);
    EXPECT_TRUE(useLfString);
}

TEST_F(ProgramSetupTest, AnyNonZeroIntegerReadsAsTrue)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(XmlKey, true));
    registry.WriteInteger("READEVER", 5);
    registry.WriteInteger("WRITEEVER", -1);

    const TProgramSetup setup(XmlKey);
    bool readEver = false;
    bool writeEver = false;
    EXPECT_TRUE(setup.ReadBool("READEVER", readEver));
    EXPECT_TRUE(setup.ReadBool("WRITEEVER", writeEver));
    EXPECT_TRUE(readEver);
    EXPECT_TRUE(writeEver);
}

TEST_F(ProgramSetupTest, ValuesOfAnotherTypeLeaveTheDefault)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(XmlKey, true));
    registry.WriteString("ASKDELETE", "0");
    registry.WriteInteger("Server", 1);
    registry.WriteExpandString("Item", "%TEMP%");
    registry.WriteBinaryData("ASKCHANGE", {0});

    const TProgramSetup setup(XmlKey);
    bool askDelete = true;
    bool askChange = true;
    std::string server;
    std::string item = "A.B";
    EXPECT_TRUE(setup.ValueExists("ASKDELETE"));
    EXPECT_FALSE(setup.ReadBool("ASKDELETE", askDelete));
    EXPECT_FALSE(setup.ReadBool("ASKCHANGE", askChange));
    EXPECT_FALSE(setup.ReadString("Server", server));
    EXPECT_FALSE(setup.ReadString("Item", item));
    EXPECT_TRUE(askDelete);
    EXPECT_TRUE(askChange);
    EXPECT_EQ(server, "");
    EXPECT_EQ(item, "A.B");
}

TEST_F(ProgramSetupTest, WritesReplaceValuesOfAnyType)
{
    TProgramSetup setup(XmlKey);
    setup.WriteString("ASKDELETE", "0");
    setup.WriteBool("ASKDELETE", true);
    setup.WriteBool("Server", false);
    setup.WriteString("Server", "a.xml");

    bool askDelete = false;
    std::string server;
    EXPECT_TRUE(setup.ReadBool("ASKDELETE", askDelete));
    EXPECT_TRUE(setup.ReadString("Server", server));
    EXPECT_TRUE(askDelete);
    EXPECT_EQ(server, "a.xml");
    EXPECT_EQ(ReadFile(HivePath()), Header + XmlSections + "\"ASKDELETE\"=dword:00000001\n\"Server\"=\"a.xml\"\n\n");
}

TEST_F(ProgramSetupTest, FilterWithLineBreaksReadsBackExactly)
{
    TProgramSetup setup(XmlKey);
    setup.WriteString("Filter", "A*\r\nB?\r\n");
    EXPECT_NE(ReadFile(HivePath()).find("\"Filter\"=hex(1):41,00,2a,00,0d,00,0a,00,42,00,3f,00,0d,00,0a,00,00,00\n"),
              std::string::npos);

    const TProgramSetup restarted(XmlKey);
    std::string filter;
    EXPECT_TRUE(restarted.ReadString("Filter", filter));
    EXPECT_EQ(filter, "A*\r\nB?\r\n");
}

TEST_F(ProgramSetupTest, EmptyTextIsAValue)
{
    TProgramSetup setup(XmlKey);
    setup.WriteString("Item", "");
    std::string item = "A.B";
    EXPECT_TRUE(setup.ValueExists("Item"));
    EXPECT_TRUE(setup.ReadString("Item", item));
    EXPECT_EQ(item, "");
}

TEST_F(ProgramSetupTest, TextIsUtf8)
{
    TProgramSetup setup(XmlKey);
    setup.WriteString("Server", "/home/jürgen/Проект/日本.xml");
    std::string server;
    EXPECT_TRUE(TProgramSetup(XmlKey).ReadString("Server", server));
    EXPECT_EQ(server, "/home/jürgen/Проект/日本.xml");
}

TEST_F(ProgramSetupTest, StoresOnTheSameKeySeeEachOthersWrites)
{
    TProgramSetup window(XmlKey);
    TProgramSetup dialog(XmlKey);
    bool readEver = false;
    EXPECT_FALSE(window.ReadBool("READEVER", readEver));

    dialog.WriteBool("READEVER", true);
    EXPECT_TRUE(window.ReadBool("READEVER", readEver));
    EXPECT_TRUE(readEver);

    window.WriteString("Item", "A.B.width");
    std::string item;
    EXPECT_TRUE(dialog.ReadString("Item", item));
    EXPECT_EQ(item, "A.B.width");

    dialog.WriteBool("READEVER", false);
    EXPECT_TRUE(window.ReadBool("READEVER", readEver));
    EXPECT_FALSE(readEver);
}

TEST_F(ProgramSetupTest, KeysAreSeparate)
{
    TProgramSetup mainKey(XmlKey);
    TProgramSetup accessKey("Software\\Trelvix\\XML");
    mainKey.WriteBool("READEVER", true);
    bool readEver = false;
    EXPECT_FALSE(accessKey.ReadBool("READEVER", readEver));
    EXPECT_FALSE(accessKey.ValueExists("READEVER"));
    EXPECT_FALSE(readEver);
}

TEST_F(ProgramSetupTest, UnreadableHiveKeepsDefaultsAndRefusesWrites)
{
    const std::string bad = Header
        + "[HKEY_CURRENT_USER\\Software\\Velmarco\\XML]\n"
          "\"ASKDELETE\"=dword:00000000\n"
          "\"Server\"=\"a.xml\"\n"
          "\n"
          "ASKCHANGE=1\n";
    WriteFile(HivePath(), bad);

    TProgramSetup setup(XmlKey);
    const std::string reason = "Cannot read registry file \"" + HivePath().string() + "\": bad value line on line 7";
    EXPECT_EQ(setup.Error(), reason);
    bool askDelete = true;
    std::string server = "default";
    EXPECT_FALSE(setup.ValueExists("ASKDELETE"));
    EXPECT_FALSE(setup.ReadBool("ASKDELETE", askDelete));
    EXPECT_FALSE(setup.ReadString("Server", server));
    EXPECT_TRUE(askDelete);
    EXPECT_EQ(server, "default");

    try {
        setup.WriteBool("ASKDELETE", true);
        FAIL() << "the write did not fail";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to set data for 'ASKDELETE'. " + reason);
    }
    EXPECT_THROW(setup.WriteString("Server", "b.xml"), ERegistryException);
    EXPECT_EQ(ReadFile(HivePath()), bad);
}
