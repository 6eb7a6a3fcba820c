// What both settings stores do alike: the hive files here, the system registry on Windows.
// Each test works below a key of its own, removed afterwards.

#include "Registry.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

#include "TempFolder.h"

namespace {

class RegistryBackend : public ::testing::Test {
protected:
    void TearDown() override { TRegistry().DeleteKey(Parent); }

    // The message of the ERegistryException `write` throws, or "" when it throws none.
    template <class F>
    static std::string WriteError(F write)
    {
        try {
            write();
        } catch (const ERegistryException& e) {
            return e.what();
        }
        return "";
    }

    static constexpr const char* Parent = "Software\\Selvane tests";
    // A hive folder of the test's own where the store is a hive file.
    TTempFolder Folder;
    const std::string Key = std::string(Parent) + "\\" + std::to_string(std::random_device()());
};

// A name one store cannot hold is refused by both, so that settings written on one
// platform can be written on the other.
TEST_F(RegistryBackend, NamesTheHiveFilesCannotHoldAreRefusedEverywhere)
{
    TRegistry registry;
    for (const char* path : {"a\\\\b", "a\\", "Line\nBreak", "Tab\tbed", "del\x7F", "\xC3"}) {
        SCOPED_TRACE(path);
        const std::string key = Key + "\\" + path;
        EXPECT_FALSE(registry.OpenKey(key, true));
        EXPECT_EQ(registry.OpenError(), "\"" + key + "\" is not a valid key name");
        EXPECT_FALSE(registry.KeyExists(key));
        EXPECT_FALSE(registry.DeleteKey(key));
    }
    ASSERT_TRUE(registry.OpenKey(Key, true));
    for (const char* name : {"a\nb", "\x01", "\xC3", "x\x7F"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(WriteError([&] { registry.WriteString(name, "v"); }),
                  std::string("Failed to set data for '") + name + "'. The name is not UTF-8 text without control characters");
        EXPECT_FALSE(registry.ValueExists(name));
    }
}

// Another program deleting the open key loses nothing: the next write brings it back with
// the value (a closing dialog's settings and result would be lost otherwise).
TEST_F(RegistryBackend, AKeyDeletedMeanwhileComesBackWithTheNextWrite)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(Key + "\\A\\B", true));
    ASSERT_TRUE(TRegistry().DeleteKey(Key + "\\A"));
    EXPECT_FALSE(registry.ValueExists("x"));
    EXPECT_EQ(WriteError([&] { registry.WriteInteger("x", 1); }), "");
    registry.WriteString("y", "two");
    TRegistry other;
    ASSERT_TRUE(other.OpenKey(Key + "\\A\\B", false));
    EXPECT_EQ(other.ReadInteger("x"), 1);
    EXPECT_EQ(other.ReadString("y"), "two");
}

// Names match without regard to the letter case of ASCII letters.
TEST_F(RegistryBackend, TextAndNamesKeepEveryCharacterAndMatchInAnyCase)
{
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e, \xD0\x9F\xD1\x80\xD0\xB8, \xE6\x97\xA5\xE6\x9C\xAC, \xF0\x9D\x84\x9E";
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(Key + "\\\xC3\x9Cn\xC3\xAF" "code", true));
    registry.WriteString("\xD0\x98\xD0\xBC\xD1\x8F", text);
    registry.WriteInteger("Count", -5);
    TRegistry other;
    ASSERT_TRUE(other.OpenKey(Key + "\\\xC3\x9CN\xC3\xAF" "CODE", false));
    EXPECT_EQ(other.ReadString("\xD0\x98\xD0\xBC\xD1\x8F"), text);
    EXPECT_EQ(other.ReadInteger("COUNT"), -5);
    EXPECT_EQ(other.GetDataType("count"), TRegDataType::Integer);
}

} // namespace
