#include "Registry.h"

#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "HiveFolder.h"

namespace {

const std::string Header = "Windows Registry Editor Version 5.00\n\n";
const std::string XmlKey = "Software\\Velmarco\\XML";
const std::string XmlSections = "[HKEY_CURRENT_USER\\Software]\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Velmarco]\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Velmarco\\XML]\n";

// The message of the ERegistryException `write` throws, or "" when it throws none.
template <class F>
std::string WriteError(F write)
{
    try {
        write();
    } catch (const ERegistryException& e) {
        return e.what();
    }
    return "";
}

} // namespace

using RegistryTest = HiveFolderTest;

TEST_F(RegistryTest, MissingHiveHasNoKeysAndReadsCreateNothing)
{
    TRegistry registry;
    EXPECT_FALSE(registry.KeyExists(XmlKey));
    EXPECT_FALSE(registry.OpenKey(XmlKey, false));
    EXPECT_EQ(registry.CurrentPath(), "");
    EXPECT_FALSE(registry.ValueExists("Server"));
    EXPECT_EQ(registry.GetDataType("Server"), TRegDataType::Unknown);
    EXPECT_TRUE(std::filesystem::is_empty(FFolder));
}

TEST_F(RegistryTest, OpenKeyWithCreateWritesTheKeyAndItsParents)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(XmlKey, true));
    EXPECT_EQ(registry.CurrentPath(), XmlKey);
    EXPECT_EQ(ReadFile(HivePath()), Header + XmlSections + "\n");

    TRegistry other;
    EXPECT_TRUE(other.KeyExists("Software\\Velmarco"));
    EXPECT_TRUE(other.OpenKey(XmlKey, false));
}

TEST_F(RegistryTest, WritesGoToTheHiveFileAtOnce)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(XmlKey, true));
    registry.WriteInteger("ASKDELETE", 1);
    registry.WriteInteger("Count", -2);
    registry.WriteString("Server", "C:\\Data\\\"a\".xml");
    registry.WriteString("Filter", "A*\r\nB?\r\n");
    registry.WriteExpandString("Path", "%HOME%\\x");
    registry.WriteBinaryData("Blob", {0x00, 0xFF, 0x10});
    registry.WriteString("", "default");

    EXPECT_EQ(ReadFile(HivePath()), Header + XmlSections
                                        + "\"ASKDELETE\"=dword:00000001\n"
                                          "\"Count\"=dword:fffffffe\n"
                                          "\"Server\"=\"C:\\\\Data\\\\\\\"a\\\".xml\"\n"
                                          "\"Filter\"=hex(1):41,00,2a,00,0d,00,0a,00,42,00,3f,00,0d,00,0a,00,00,00\n"
                                          "\"Path\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,5c,00,78,00,00,00\n"
                                          "\"Blob\"=hex:00,ff,10\n"
                                          "@=\"default\"\n"
                                          "\n");
}

TEST_F(RegistryTest, ValuesKeepTheirTypes)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(XmlKey, true));
    registry.WriteInteger("Int", 42);
    registry.WriteString("Str", "0");
    registry.WriteExpandString("Exp", "%TEMP%");
    registry.WriteBinaryData("Bin", {1, 2, 3});

    EXPECT_EQ(registry.GetDataType("Int"), TRegDataType::Integer);
    EXPECT_EQ(registry.GetDataType("Str"), TRegDataType::String);
    EXPECT_EQ(registry.GetDataType("Exp"), TRegDataType::ExpandString);
    EXPECT_EQ(registry.GetDataType("Bin"), TRegDataType::Binary);
    EXPECT_EQ(registry.GetDataType("None"), TRegDataType::Unknown);

    EXPECT_EQ(registry.ReadInteger("Int"), 42);
    EXPECT_EQ(registry.ReadString("Str"), "0");
    EXPECT_EQ(registry.ReadString("Exp"), "%TEMP%");
    EXPECT_EQ(registry.ReadBinaryData("Bin"), (std::vector<std::uint8_t>{1, 2, 3}));

    EXPECT_EQ(registry.ReadInteger("Str"), std::nullopt);
    EXPECT_EQ(registry.ReadInteger("Bin"), std::nullopt);
    EXPECT_EQ(registry.ReadString("Int"), std::nullopt);
    EXPECT_EQ(registry.ReadString("Bin"), std::nullopt);
    EXPECT_EQ(registry.ReadBinaryData("Str"), std::nullopt);
    EXPECT_EQ(registry.ReadInteger("None"), std::nullopt);

    registry.WriteString("Int", "now text");
    EXPECT_EQ(registry.GetDataType("Int"), TRegDataType::String);
    EXPECT_EQ(registry.ReadInteger("Int"), std::nullopt);
}

TEST_F(RegistryTest, OtherValueTypesExistButReadAsAbsent)
{
    WriteFile(HivePath(), Header + "[HKEY_CURRENT_USER\\K]\n\"Multi\"=hex(7):41,00,00,00,00,00\n\"Short\"=hex(4):01\n");
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("K", false));
    EXPECT_TRUE(registry.ValueExists("Multi"));
    EXPECT_EQ(registry.GetDataType("Multi"), TRegDataType::Unknown);
    EXPECT_EQ(registry.ReadString("Multi"), std::nullopt);
    EXPECT_EQ(registry.ReadBinaryData("Multi"), std::nullopt);
    EXPECT_EQ(registry.GetDataType("Short"), TRegDataType::Integer);
    EXPECT_EQ(registry.ReadInteger("Short"), std::nullopt);
}

TEST_F(RegistryTest, KeyAndValueNamesMatchInAnyCase)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(XmlKey, true));
    registry.WriteString("Server", "a.xml");

    TRegistry other;
    ASSERT_TRUE(other.OpenKey("SOFTWARE\\velmarco\\xml", false));
    EXPECT_TRUE(other.KeyExists("\\software\\VELMARCO"));
    EXPECT_EQ(other.ReadString("SERVER"), "a.xml");
    other.WriteString("server", "b.xml");

    EXPECT_EQ(registry.ReadString("Server"), "b.xml");
    EXPECT_EQ(ReadFile(HivePath()), Header + XmlSections + "\"Server\"=\"b.xml\"\n\n");
}

TEST_F(RegistryTest, DefaultValueIsTheEmptyName)
{
    TRegistry registry(TRegistryRoot::ClassesRoot);
    ASSERT_TRUE(registry.OpenKey(".xml", true));
    registry.WriteString("", "Selvane.0");
    EXPECT_EQ(registry.ReadString(""), "Selvane.0");
    EXPECT_FALSE(registry.ValueExists("@"));
    EXPECT_EQ(ReadFile(HivePath("HKEY_CLASSES_ROOT")), Header + "[HKEY_CLASSES_ROOT\\.xml]\n@=\"Selvane.0\"\n\n");
    EXPECT_FALSE(std::filesystem::exists(HivePath()));
}

TEST_F(RegistryTest, Utf8TextRoundTrips)
{
    const std::string text = "Grüße, Привет, 日本語, \xF0\x9D\x84\x9E";
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Ünïcødé", true));
    registry.WriteString("Имя", text);
    registry.WriteExpandString("Pfad", text);

    TRegistry other;
    ASSERT_TRUE(other.OpenKey("Software\\Ünïcødé", false));
    EXPECT_EQ(other.ReadString("Имя"), text);
    EXPECT_EQ(other.ReadString("Pfad"), text);
    EXPECT_NE(ReadFile(HivePath()).find("\"Имя\"=\"" + text + "\"\n"), std::string::npos);
}

TEST_F(RegistryTest, MalformedUtf8IsStoredWithReplacementCharacters)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("K", true));
    registry.WriteString("v", "a\xFF" "b");
    EXPECT_EQ(registry.ReadString("v"), "a\xEF\xBF\xBD" "b");
}

TEST_F(RegistryTest, RelativePathsStartAtTheOpenKey)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software", true));
    ASSERT_TRUE(registry.OpenKey("Velmarco", true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Velmarco");
    EXPECT_TRUE(registry.KeyExists("\\Software\\Velmarco"));
    EXPECT_FALSE(registry.KeyExists("Software"));
    ASSERT_TRUE(registry.OpenKey("", false));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Velmarco");

    EXPECT_FALSE(registry.OpenKey("Missing", false));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Velmarco");
    registry.WriteInteger("x", 1);

    ASSERT_TRUE(registry.OpenKey("\\Other", true));
    EXPECT_EQ(registry.CurrentPath(), "Other");
    registry.CloseKey();
    ASSERT_TRUE(registry.OpenKey("Software\\Velmarco", false));
    EXPECT_EQ(registry.ReadInteger("x"), 1);
}

TEST_F(RegistryTest, InvalidKeyPathsDoNotOpen)
{
    TRegistry registry;
    EXPECT_FALSE(registry.OpenKey("Software\\\\XML", true));
    EXPECT_FALSE(registry.OpenKey("Software\\", true));
    EXPECT_FALSE(registry.OpenKey("Line\nBreak", true));
    EXPECT_FALSE(std::filesystem::exists(HivePath()));
}

TEST_F(RegistryTest, WritesWithoutAnOpenKeyFail)
{
    TRegistry registry;
    EXPECT_EQ(WriteError([&] { registry.WriteInteger("ASKDELETE", 1); }),
              "Failed to set data for 'ASKDELETE'. No key is open");
    ASSERT_TRUE(registry.OpenKey(XmlKey, true));
    registry.WriteString("Server", "a");
    registry.CloseKey();
    EXPECT_FALSE(registry.ValueExists("Server"));
    EXPECT_EQ(registry.ReadString("Server"), std::nullopt);
    EXPECT_EQ(WriteError([&] { registry.WriteString("Server", "b"); }), "Failed to set data for 'Server'. No key is open");
    EXPECT_FALSE(registry.DeleteValue("Server"));
}

TEST_F(RegistryTest, ValueNamesWithControlCharactersCannotBeStored)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("K", true));
    const std::string before = ReadFile(HivePath());
    EXPECT_EQ(WriteError([&] { registry.WriteInteger("a\nb", 1); }).rfind("Failed to set data for 'a\nb'. ", 0), 0u);
    EXPECT_EQ(ReadFile(HivePath()), before);
}

TEST_F(RegistryTest, DeletesValuesAndKeys)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("Software\\Velmarco\\XML\\Sub", true));
    registry.WriteInteger("deep", 1);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Velmarco", false));
    registry.WriteInteger("a", 1);
    registry.WriteInteger("b", 2);

    EXPECT_TRUE(registry.DeleteValue("A"));
    EXPECT_FALSE(registry.DeleteValue("a"));
    EXPECT_FALSE(registry.ValueExists("a"));
    EXPECT_EQ(registry.ReadInteger("b"), 2);

    EXPECT_TRUE(registry.DeleteKey("xml"));
    EXPECT_FALSE(registry.DeleteKey("XML"));
    EXPECT_FALSE(registry.DeleteKey("\\"));
    EXPECT_FALSE(registry.KeyExists("\\Software\\Velmarco\\XML\\Sub"));
    EXPECT_EQ(ReadFile(HivePath()), Header + "[HKEY_CURRENT_USER\\Software]\n\n"
                                             "[HKEY_CURRENT_USER\\Software\\Velmarco]\n\"b\"=dword:00000002\n\n");
}

TEST_F(RegistryTest, SeesAndKeepsValuesWrittenByOthers)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("K", true));
    registry.WriteInteger("mine", 1);
    WriteFile(HivePath(), Header + "[HKEY_CURRENT_USER\\K]\n\"mine\"=dword:00000001\n\"theirs\"=\"x\"\n\n");
    EXPECT_EQ(registry.ReadString("theirs"), "x");

    registry.WriteInteger("mine", 2);
    EXPECT_EQ(ReadFile(HivePath()),
              Header + "[HKEY_CURRENT_USER\\K]\n\"mine\"=dword:00000002\n\"theirs\"=\"x\"\n\n");
}

TEST_F(RegistryTest, KeyDeletedByAnotherAccessorReturnsWithTheNextWrite)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("A\\B", true));
    TRegistry other;
    ASSERT_TRUE(other.DeleteKey("A"));
    EXPECT_FALSE(registry.ValueExists("x"));
    registry.WriteInteger("x", 1);
    EXPECT_EQ(ReadFile(HivePath()), Header + "[HKEY_CURRENT_USER\\A]\n\n[HKEY_CURRENT_USER\\A\\B]\n\"x\"=dword:00000001\n\n");
}

TEST_F(RegistryTest, UnreadableHiveFindsNothingAndIsNeverOverwritten)
{
    const std::string bad = Header
        + "[HKEY_CURRENT_USER\\Software\\Velmarco\\XML]\n"
          "\"ASKDELETE\"=dword:00000000\n"
          "\"Server\"=\"a.xml\"\n"
          "\n"
          "\"Item\"=what\n";
    WriteFile(HivePath(), bad);

    TRegistry registry;
    EXPECT_FALSE(registry.KeyExists(XmlKey));
    EXPECT_FALSE(registry.OpenKey(XmlKey, false));
    EXPECT_FALSE(registry.OpenKey(XmlKey, true));
    EXPECT_FALSE(registry.ValueExists("ASKDELETE"));
    EXPECT_EQ(WriteError([&] { registry.WriteInteger("ASKDELETE", 1); }),
              "Failed to set data for 'ASKDELETE'. Cannot read registry file \"" + HivePath().string()
                  + "\": bad value line on line 7");
    EXPECT_FALSE(registry.DeleteKey(XmlKey));
    EXPECT_EQ(ReadFile(HivePath()), bad);
}

// A hive of mode 0600 stays private, a linked hive keeps its link, and a link planted
// where a temporary file could be expected is never written through.
TEST_F(RegistryTest, WritesKeepTheHiveModeAndLinkAndIgnorePlantedLinks)
{
    namespace fs = std::filesystem;
    const fs::path real = FFolder / "real" / "hive.reg";
    fs::create_directory(FFolder / "real");
    WriteFile(real, Header);
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real/hive.reg", HivePath());
    WriteFile(FFolder / "victim", "victim");
    fs::create_symlink("victim", HivePath().string() + ".tmp");
    fs::create_symlink("../victim", real.string() + ".tmp");

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(XmlKey, true));
    registry.WriteString("Server", "a.xml");

    EXPECT_TRUE(fs::is_symlink(HivePath()));
    EXPECT_EQ(ReadFile(real), Header + XmlSections + "\"Server\"=\"a.xml\"\n\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::mask, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadFile(FFolder / "victim"), "victim");
}

// A FIFO in the hive's place would hold every read for ever.
TEST_F(RegistryTest, HiveThatIsNotARegularFileIsNeitherReadNorReplaced)
{
    ASSERT_EQ(mkfifo(HivePath().c_str(), 0600), 0);
    TRegistry registry;
    EXPECT_FALSE(registry.KeyExists(XmlKey));
    EXPECT_FALSE(registry.OpenKey(XmlKey, true));
    EXPECT_EQ(std::filesystem::symlink_status(HivePath()).type(), std::filesystem::file_type::fifo);
}

TEST_F(RegistryTest, HiveTurningUnreadableUnderAnOpenKeyStopsReadsAndWrites)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey("K", true));
    registry.WriteString("Server", "a.xml");
    const std::string bad = Header + "[HKEY_CURRENT_USER\\K]\n\"Server\"=\"a.xml\n";
    WriteFile(HivePath(), bad);

    EXPECT_EQ(registry.ReadString("Server"), std::nullopt);
    const std::string error = WriteError([&] { registry.WriteString("Server", "b.xml"); });
    EXPECT_NE(error.find(HivePath().string()), std::string::npos) << error;
    EXPECT_NE(error.find("on line 4"), std::string::npos) << error;
    EXPECT_FALSE(registry.DeleteValue("Server"));
    EXPECT_EQ(ReadFile(HivePath()), bad);
}

TEST_F(RegistryTest, HiveFolderComesFromTheEnvironment)
{
    const std::filesystem::path xdg = FFolder / "xdg";
    const std::filesystem::path home = FFolder / "home";
    const auto writeOnce = [] {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey("K", true));
        registry.WriteInteger("v", 1);
    };

    setenv("SELVANE_HIVE_DIR", (FFolder / "own" / "nested").c_str(), 1);
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    writeOnce();
    EXPECT_TRUE(std::filesystem::exists(FFolder / "own" / "nested" / "HKEY_CURRENT_USER.reg"));
    EXPECT_FALSE(std::filesystem::exists(xdg));

    setenv("SELVANE_HIVE_DIR", "", 1);
    setenv("HOME", home.c_str(), 1);
    writeOnce();
    EXPECT_TRUE(std::filesystem::exists(xdg / "selvane" / "HKEY_CURRENT_USER.reg"));
    EXPECT_FALSE(std::filesystem::exists(home));

    unsetenv("SELVANE_HIVE_DIR");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    writeOnce();
    EXPECT_TRUE(std::filesystem::exists(home / ".config" / "selvane" / "HKEY_CURRENT_USER.reg"));

    std::filesystem::remove_all(home);
    unsetenv("XDG_CONFIG_HOME");
    writeOnce();
    EXPECT_EQ(ReadFile(home / ".config" / "selvane" / "HKEY_CURRENT_USER.reg"),
              Header + "[HKEY_CURRENT_USER\\K]\n\"v\"=dword:00000001\n\n");
}
