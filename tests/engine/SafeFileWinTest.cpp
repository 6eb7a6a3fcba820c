// What a save and a load do on Windows that they do nowhere else: the read-only mark,
// a target another program holds open, file names beyond the ANSI code page, and bytes
// the C runtime's text mode would change.

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include <windows.h>

#include <gtest/gtest.h>

#include "ECXMLParser.h"
#include "EngineTestSupport.h"
#include "Exceptions.h"
#include "SafeFile.h"

using namespace enginetest;

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

// Holds `file` open as another program would, sharing reading and writing but not its
// deletion or renaming, until Release.
class TOtherProgram {
public:
    explicit TOtherProgram(const fs::path& file)
        : FHandle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~TOtherProgram() { Release(); }
    bool Holds() const { return FHandle != INVALID_HANDLE_VALUE; }
    void Release()
    {
        if (FHandle != INVALID_HANDLE_VALUE)
            CloseHandle(FHandle);
        FHandle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE FHandle;
};

TEST(WindowsFiles, AReadOnlyTargetIsRefusedAndKept)
{
    TempFolder folder;
    WriteBytes(folder / "doc.xml", "old");
    ASSERT_TRUE(SetFileAttributesW((folder / "doc.xml").c_str(), FILE_ATTRIBUTE_READONLY));
    TECXMLParser document;
    LoadText(document, "<r/>");
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { document.SaveToFile(folder / "doc.xml"); }),
              "Cannot create file \"" + PathText(folder / "doc.xml") + "\". Permission denied");
    EXPECT_EQ(ReadBytes(folder / "doc.xml"), "old");
    EXPECT_EQ(TempFolder::Entries(folder.Path()), Names{"doc.xml"});
    SetFileAttributesW((folder / "doc.xml").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A program that holds the target for a moment delays the save; one that holds it for
// good makes it fail with the target whole and nothing left beside it.
TEST(WindowsFiles, ASaveWaitsBrieflyForAProgramHoldingTheTarget)
{
    TempFolder folder;
    WriteBytes(folder / "doc.xml", "old");
    TECXMLParser document;
    LoadText(document, "<r/>");
    {
        TOtherProgram other(folder / "doc.xml");
        ASSERT_TRUE(other.Holds());
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            other.Release();
        });
        EXPECT_NO_THROW(document.SaveToFile(folder / "doc.xml"));
        release.join();
        EXPECT_EQ(ReadBytes(folder / "doc.xml"), SaveText(document));
    }
    WriteBytes(folder / "doc.xml", "old");
    TOtherProgram other(folder / "doc.xml");
    ASSERT_TRUE(other.Holds());
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { document.SaveToFile(folder / "doc.xml"); }),
              "Cannot create file \"" + PathText(folder / "doc.xml") + "\". Permission denied");
    other.Release();
    EXPECT_EQ(ReadBytes(folder / "doc.xml"), "old");
    EXPECT_EQ(TempFolder::Entries(folder.Path()), Names{"doc.xml"});
}

TEST(WindowsFiles, NamesBeyondTheAnsiCodePageAreKept)
{
    TempFolder folder;
    TECXMLParser document;
    LoadText(document, "<r a=\"1\"/>");
    for (const char* name : {"\xE6\x95\xB0\xE6\x8D\xAE.xml", "euro\xE2\x82\xAC.xml", "K\xC3\xB6ln.xml"}) {
        const fs::path file = folder.Path() / PathOfText(name);
        document.SaveToFile(file);
        EXPECT_TRUE(fs::exists(file)) << name;
        TECXMLParser again;
        again.LoadFromFile(file);
        EXPECT_EQ(SaveText(again), SaveText(document)) << name;
        EXPECT_EQ(PathText(file.filename()), name);
    }
}

// Binary mode: CR LF stays two bytes on the way in and out, and a Ctrl+Z byte ends nothing.
TEST(WindowsFiles, EveryByteIsReadAndWrittenAsItIs)
{
    TempFolder folder;
    const std::string text = std::string(Head) + "<r>\r\n  <a v=\"x\x1Ay\">one\r\ntwo</a>\r\n</r>\r\n";
    WriteBytes(folder / "doc.xml", text);
    TECXMLParser document;
    document.LoadFromFile(folder / "doc.xml");
    TECXMLParser fromText;
    LoadText(fromText, text);
    EXPECT_EQ(Dump(*document.Root()), Dump(*fromText.Root()));
    EXPECT_EQ(document.Root()->Items(0)->Params().Values("v"), "x\x1Ay");
    document.SaveToFile(folder / "copy.xml");
    EXPECT_EQ(ReadBytes(folder / "copy.xml"), SaveText(document));
    EXPECT_EQ(SaveText(document).find("\r\r"), std::string::npos);
}

} // namespace
