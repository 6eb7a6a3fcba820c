#include "HiveFile.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Utf16.h"

namespace {

const std::string Header = "Windows Registry Editor Version 5.00\n\n";
const std::string XmlKey = "Software\\Velmarco\\XML";

TRegValue Text(const std::string& text)
{
    return {rtString, StringToRegBytes(text)};
}

TRegValue Integer(std::uint32_t value)
{
    return {rtInteger,
            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

THiveFile Parse(const std::string& text)
{
    return THiveFile::Parse(text, "HKEY_CURRENT_USER", "/hives/HKEY_CURRENT_USER.reg");
}

// The message Parse throws for `text`, or "" when it parses.
std::string ParseError(const std::string& text)
{
    try {
        Parse(text);
    } catch (const ERegistryException& e) {
        return e.what();
    }
    return "";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(HiveFileTest, EmptyHiveIsTheHeaderAndABlankLine)
{
    EXPECT_EQ(THiveFile("HKEY_CURRENT_USER").Text(), Header);
    EXPECT_EQ(Parse(Header).Text(), Header);
}

TEST(HiveFileTest, WritesKeysAndEveryValueFormExactly)
{
    THiveFile hive("HKEY_CURRENT_USER");
    hive.SetValue(XmlKey, "ASKDELETE", Integer(1));
    hive.SetValue(XmlKey, "Mask", Integer(0x0A0B0C0D));
    hive.SetValue(XmlKey, "Server", Text("C:\\Data\\\"a\".xml"));
    hive.SetValue(XmlKey, "Filter", Text("A*\r\nB?\r\n"));
    hive.SetValue(XmlKey, "Path", {rtExpandString, StringToRegBytes("%HOME%\\x")});
    hive.SetValue(XmlKey, "Blob", {rtBinary, {0x00, 0xFF, 0x10}});
    hive.SetValue(XmlKey, "Empty", Text(""));
    hive.SetValue(XmlKey, "Say \"hi\" \\", Integer(0xFFFFFFFF));
    hive.SetValue("Software\\Classes\\.xml", "", Text("Selvane.0"));

    EXPECT_EQ(hive.Text(), Header
                               + "[HKEY_CURRENT_USER\\Software]\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velmarco]\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velmarco\\XML]\n"
                                 "\"ASKDELETE\"=dword:00000001\n"
                                 "\"Mask\"=dword:0a0b0c0d\n"
                                 "\"Server\"=\"C:\\\\Data\\\\\\\"a\\\".xml\"\n"
                                 "\"Filter\"=hex(1):41,00,2a,00,0d,00,0a,00,42,00,3f,00,0d,00,0a,00,00,00\n"
                                 "\"Path\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,5c,00,78,00,00,00\n"
                                 "\"Blob\"=hex:00,ff,10\n"
                                 "\"Empty\"=\"\"\n"
                                 "\"Say \\\"hi\\\" \\\\\"=dword:ffffffff\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Classes]\n"
                                 "\n"
                                 "[HKEY_CURRENT_USER\\Software\\Classes\\.xml]\n"
                                 "@=\"Selvane.0\"\n"
                                 "\n");
}

TEST(HiveFileTest, ReadsBackWhatItWrote)
{
    THiveFile hive("HKEY_CURRENT_USER");
    hive.SetValue(XmlKey, "Server", Text("C:\\Data\\\"a\".xml"));
    hive.SetValue(XmlKey, "Filter", Text("A*\r\nB?\r\n"));
    hive.SetValue(XmlKey, "Tab", Text("a\tb"));
    hive.SetValue(XmlKey, "Unicode", Text("Grüße Привет 日本語 \xF0\x9D\x84\x9E"));
    hive.SetValue(XmlKey, "LoneSurrogate", {rtString, {0x00, 0xD8, 0x41, 0x00, 0x00, 0x00}});
    hive.SetValue(XmlKey, "Unterminated", {rtString, {0x41, 0x00}});
    hive.SetValue(XmlKey, "MultiString", {7, {0x41, 0x00, 0x00, 0x00, 0x00, 0x00}});
    hive.SetValue(XmlKey, "QWord", {0xB, {1, 2, 3, 4, 5, 6, 7, 8}});
    hive.SetValue(XmlKey, "ShortDWord", {rtInteger, {1, 2}});
    hive.SetValue(XmlKey, "NoBytes", {rtBinary, {}});
    hive.SetValue(XmlKey, "Long", {rtBinary, std::vector<std::uint8_t>(300, 0xAB)});
    hive.SetValue("", "AtRoot", Integer(7));
    const std::string text = hive.Text();

    const THiveFile again = Parse(text);
    EXPECT_EQ(again.Text(), text);
    for (const char* name : {"Server", "Filter", "Tab", "Unicode", "LoneSurrogate", "Unterminated", "MultiString",
                             "QWord", "ShortDWord", "NoBytes", "Long"}) {
        SCOPED_TRACE(name);
        ASSERT_NE(again.FindValue(XmlKey, name), nullptr);
        EXPECT_EQ(*again.FindValue(XmlKey, name), *hive.FindValue(XmlKey, name));
    }
    ASSERT_NE(again.FindValue("", "AtRoot"), nullptr);
    EXPECT_EQ(*again.FindValue("", "AtRoot"), Integer(7));
    EXPECT_NE(text.find("\n[HKEY_CURRENT_USER]\n\"AtRoot\"=dword:00000007\n"), std::string::npos);
    EXPECT_NE(text.find("\"Unicode\"=\"Grüße Привет 日本語 \xF0\x9D\x84\x9E\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"Tab\"=hex(1):61,00,09,00,62,00,00,00\n"), std::string::npos);
    EXPECT_NE(text.find("\"MultiString\"=hex(7):41,00,00,00,00,00\n"), std::string::npos);
    EXPECT_NE(text.find("\"QWord\"=hex(b):01,02,03,04,05,06,07,08\n"), std::string::npos);
    EXPECT_NE(text.find("\"NoBytes\"=hex:\n"), std::string::npos);
}

TEST(HiveFileTest, ContinuesLongHexLinesWithinEightyColumns)
{
    THiveFile hive("HKEY_CURRENT_USER");
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 100; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i));
    hive.SetValue("Data", "Blob", {rtBinary, bytes});

    const std::vector<std::string> lines = Lines(hive.Text());
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[3], "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\");
    EXPECT_EQ(lines[4], "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\");
    EXPECT_EQ(lines[7], "  61,62,63");
    for (const std::string& line : lines)
        EXPECT_LE(line.size(), 80u) << line;
    EXPECT_EQ(Parse(hive.Text()).FindValue("Data", "Blob")->Data, bytes);
}

TEST(HiveFileTest, ReadsFilesAsRegeditWritesThem)
{
    const std::string text = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                             "\r\n"
                             "; exported by hand\r\n"
                             "[HKEY_CURRENT_USER\\Software\\Velmarco\\XML]\r\n"
                             "\"ASKDELETE\"=dword:00000000\r\n"
                             "\"Server\"=\"C:\\\\Projects\\\\demo.xml\"\r\n"
                             "\"Filter\"=hex(1):41,00,2a,00,0d,00,0a,00,42,00,3f,00,0d,00,0a,00,00,00\r\n"
                             "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
                             "  16,17,18,19\r\n"
                             "\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,\\\r\n"
                             "  00,45,00,25,00,00,00\r\n"
                             "@=\"default\"\r\n"
                             "\r\n";
    const THiveFile hive = Parse(text);

    EXPECT_TRUE(hive.KeyExists("Software"));
    EXPECT_TRUE(hive.KeyExists("Software\\Velmarco"));
    EXPECT_EQ(*hive.FindValue(XmlKey, "ASKDELETE"), Integer(0));
    EXPECT_EQ(*hive.FindValue(XmlKey, "Server"), Text("C:\\Projects\\demo.xml"));
    EXPECT_EQ(*hive.FindValue(XmlKey, "Filter"), Text("A*\r\nB?\r\n"));
    std::vector<std::uint8_t> blob;
    for (int i = 0; i < 0x1A; ++i)
        blob.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(*hive.FindValue(XmlKey, "Blob"), (TRegValue{rtBinary, blob}));
    EXPECT_EQ(*hive.FindValue(XmlKey, "Path"), (TRegValue{rtExpandString, StringToRegBytes("%USERPROFILE%")}));
    EXPECT_EQ(*hive.FindValue(XmlKey, ""), Text("default"));
}

TEST(HiveFileTest, NamesMatchInAnyCaseAndKeepTheirFirstSpelling)
{
    THiveFile hive("HKEY_CURRENT_USER");
    hive.SetValue("Software\\Velmarco", "Server", Text("a"));
    hive.SetValue("SOFTWARE\\velmarco\\Xml", "x", Integer(1));
    EXPECT_TRUE(hive.SetValue("software\\VELMARCO", "SERVER", Text("b")));
    EXPECT_FALSE(hive.SetValue("software\\VELMARCO", "server", Text("b")));

    EXPECT_TRUE(hive.KeyExists("SoFtWaRe\\VeLmArCo\\xMl"));
    EXPECT_EQ(*hive.FindValue("SOFTWARE\\VELMARCO", "server"), Text("b"));
    EXPECT_EQ(hive.Text(), Header
                               + "[HKEY_CURRENT_USER\\Software]\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velmarco]\n"
                                 "\"Server\"=\"b\"\n\n"
                                 "[HKEY_CURRENT_USER\\Software\\Velmarco\\Xml]\n"
                                 "\"x\"=dword:00000001\n\n");
    EXPECT_EQ(Parse("Windows Registry Editor Version 5.00\n[hkey_current_user\\A]\n\"v\"=dword:1\n[HKEY_CURRENT_USER\\a]\n"
                    "\"V\"=dword:2\n")
                  .Text(),
              Header + "[HKEY_CURRENT_USER\\A]\n\"v\"=dword:00000002\n\n");
}

TEST(HiveFileTest, ReplacedValueKeepsItsPlaceAndAnyTypeGivesWay)
{
    THiveFile hive("HKEY_CURRENT_USER");
    hive.SetValue("K", "a", Text("0"));
    hive.SetValue("K", "b", Text("x"));
    hive.SetValue("K", "A", Integer(1));
    EXPECT_EQ(hive.Text(), Header + "[HKEY_CURRENT_USER\\K]\n\"a\"=dword:00000001\n\"b\"=\"x\"\n\n");
}

TEST(HiveFileTest, DeletesKeysWithTheirSubkeysOnly)
{
    THiveFile hive("HKEY_CURRENT_USER");
    hive.SetValue("Software\\Velmarco\\XML", "a", Integer(1));
    hive.SetValue("Software\\VelmarcoTools", "b", Integer(2));
    EXPECT_TRUE(hive.DeleteKey("software\\velmarco"));
    EXPECT_FALSE(hive.DeleteKey("Software\\Velmarco"));
    EXPECT_FALSE(hive.DeleteKey(""));
    EXPECT_FALSE(hive.KeyExists("Software\\Velmarco\\XML"));
    EXPECT_TRUE(hive.KeyExists("Software\\VelmarcoTools"));
    EXPECT_EQ(hive.Text(), Header + "[HKEY_CURRENT_USER\\Software]\n\n[HKEY_CURRENT_USER\\Software\\VelmarcoTools]\n"
                                    "\"b\"=dword:00000002\n\n");

    EXPECT_TRUE(hive.DeleteValue("SOFTWARE\\VELMARCOTOOLS", "B"));
    EXPECT_FALSE(hive.DeleteValue("Software\\VelmarcoTools", "b"));
    EXPECT_EQ(hive.FindValue("Software\\VelmarcoTools", "b"), nullptr);
}

TEST(HiveFileTest, CreateKeyAddsMissingParentsOnce)
{
    THiveFile hive("HKEY_CURRENT_USER");
    EXPECT_TRUE(hive.CreateKey("A\\B\\C"));
    EXPECT_FALSE(hive.CreateKey("a\\b\\c"));
    EXPECT_TRUE(hive.CreateKey("a\\b\\D"));
    EXPECT_FALSE(hive.CreateKey(""));
    EXPECT_EQ(hive.Text(), Header + "[HKEY_CURRENT_USER\\A]\n\n[HKEY_CURRENT_USER\\A\\B]\n\n[HKEY_CURRENT_USER\\A\\B\\C]\n\n"
                                    "[HKEY_CURRENT_USER\\A\\B\\D]\n\n");
}

TEST(HiveFileTest, ValidatesNamesAndKeyPaths)
{
    EXPECT_TRUE(IsValidRegistryName("Server"));
    EXPECT_TRUE(IsValidRegistryName(""));
    EXPECT_TRUE(IsValidRegistryName("Grüße [x] \"q\" \\"));
    EXPECT_FALSE(IsValidRegistryName("a\nb"));
    EXPECT_FALSE(IsValidRegistryName("a\x7F"));
    EXPECT_FALSE(IsValidRegistryName("\xC3"));

    EXPECT_TRUE(IsValidRegistryPath(""));
    EXPECT_TRUE(IsValidRegistryPath("Software\\Velmarco\\XML"));
    EXPECT_FALSE(IsValidRegistryPath("\\Software"));
    EXPECT_FALSE(IsValidRegistryPath("Software\\"));
    EXPECT_FALSE(IsValidRegistryPath("Software\\\\XML"));
    EXPECT_FALSE(IsValidRegistryPath("Soft\tware"));
}

TEST(HiveFileTest, EmptyFileIsAnEmptyHive)
{
    EXPECT_EQ(Parse("").Text(), Header);
}

TEST(HiveFileTest, ReportsTheFileAndTheFirstBadLine)
{
    const std::string key = "[HKEY_CURRENT_USER\\Software\\Velmarco\\XML]\n";
    EXPECT_EQ(ParseError(Header + key + "\"a\"=dword:1\n\"b\"=\"x\"\n\n\"c\"=dword:\n\"d\"=\"\\q\"\n"),
              "Cannot read registry file \"/hives/HKEY_CURRENT_USER.reg\": bad value line on line 7");

    struct TCase {
        std::string Text;
        std::string Error;
    };
    const std::vector<TCase> cases = {
        {"REGEDIT4\n", "bad header line on line 1"},
        {"\n" + Header, "bad header line on line 1"},
        {Header + "[HKEY_LOCAL_MACHINE\\Software]\n", "bad key line on line 3"},
        {Header + "[HKEY_CURRENT_USERS\\Software]\n", "bad key line on line 3"},
        {Header + "[HKEY_CURRENT_USER\\Software\\\\XML]\n", "bad key line on line 3"},
        {Header + "[HKEY_CURRENT_USER\\]\n", "bad key line on line 3"},
        {Header + "[-HKEY_CURRENT_USER\\Software]\n", "bad key line on line 3"},
        {Header + "[HKEY_CURRENT_USER\\Software\n", "bad key line on line 3"},
        {Header + "\"a\"=dword:00000001\n", "value line outside a key on line 3"},
        {Header + key + "\"a\"=dword:123456789\n", "bad value line on line 4"},
        {Header + key + "\"a\"=dword:0000000g\n", "bad value line on line 4"},
        {Header + key + "\"a\"=\"unterminated\n", "bad value line on line 4"},
        {Header + key + "\"a\"=\"x\" trailing\n", "bad value line on line 4"},
        {Header + key + "\"a\"=\"\xFF\"\n", "bad value line on line 4"},
        {Header + key + "\"a\nb\"=\"x\"\n", "bad value line on line 4"},
        {Header + key + "a=\"x\"\n", "bad value line on line 4"},
        {Header + key + "\"a\"\n", "bad value line on line 4"},
        {Header + key + "\"a\"=-\n", "bad value line on line 4"},
        {Header + key + "\"a\"=hex:01,,02\n", "bad value line on line 4"},
        {Header + key + "\"a\"=hex:100\n", "bad value line on line 4"},
        {Header + key + "\"a\"=hex(x):01\n", "bad value line on line 4"},
        {Header + key + "\n\"a\"=hex:01,\\\n  zz\n", "bad value line on line 5"},
        {Header + key + "\"a\"=hex:01,\\\n", "bad value line on line 4"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ParseError(c.Text), "Cannot read registry file \"/hives/HKEY_CURRENT_USER.reg\": " + c.Error);
    }
}
