#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "ECXMLParser.h"
#include "EngineTestSupport.h"
#include "Exceptions.h"
#include "SafeFile.h"

using namespace enginetest;

namespace fs = std::filesystem;

namespace {

using Names = std::vector<std::string>;

TEST(DocumentWrite, LineEndsFlagDecidesLayoutOfTheWholeSubtree)
{
    TECXMLParser document;
    LoadText(document, R"(<r a="1">t<k/><m><n>x</n></m></r>)");
    EXPECT_EQ(SaveText(document), std::string(Head) +
                                      "  <r a=\"1\">\r\n    t\r\n    <k/>\r\n    <m>\r\n      <n>\r\n        x\r\n"
                                      "      </n>\r\n    </m>\r\n  </r>\r\n");

    TXMLItem* m = document.Root()->Items(1);
    m->SetCrLfInAsString(false);
    EXPECT_EQ(m->AsString(3), "   <m>   <n>   x   </n>   </m>");
    EXPECT_FALSE(m->Items(0)->CrLfInAsString());

    document.SetCrLfInAsString(false);
    EXPECT_EQ(SaveText(document), std::string(Head) + "  <r a=\"1\">  t  <k/>  <m>  <n>  x  </n>  </m>  </r>");
    document.SetCrLfInAsString(true);
    SaveText(document);
    EXPECT_TRUE(m->Items(0)->CrLfInAsString());
}

TEST(DocumentWrite, BlankValuesAreLeftOutAndUnnamedRootKeepsEmptyTags)
{
    TECXMLParser document;
    LoadText(document, "<config/>");
    document.Root()->Items(0)->SetValue(" \t\r\n ");
    EXPECT_EQ(SaveText(document), std::string(Head) + "  <>\r\n    <config/>\r\n  </>\r\n");
}

TEST(DocumentWrite, EscapesValuesAndParameterValues)
{
    TXMLItem item;
    item.SetName("r");
    item.SetValue("a<b & \"q\" 'x'\r\nnext\nlone\xE9");
    item.Params().SetValue("q", "say \"hi\" & <go>");
    item.Params().SetValue("lines", "1\r2\n3\r\n4");
    EXPECT_EQ(item.TagText(), "r q=\"say &quot;hi&quot; &amp; &lt;go&gt;\" lines=\"1&#13;2&#10;3&#13;&#10;4\"");
    EXPECT_EQ(item.AsString(0),
              "<" + item.TagText() + ">\r\n  a&lt;b &amp; &quot;q&quot; 'x'<br/>next\nlone\xE9\r\n</r>\r\n");
}

TEST(DocumentWrite, EveryEntryIsWrittenWithTheFirstValueOfItsName)
{
    TXMLItem item;
    item.SetName("e");
    item.Params().SetText("a=1\r\nA=2\r\nplain\r\nb=3");
    EXPECT_EQ(item.TagText(), "e a=\"1\" A=\"1\" =\"\" b=\"3\"");
}

TEST(DocumentWrite, EntriesWithoutNameTakeTheFirstEmptyNameWhereverItStands)
{
    TXMLItem item;
    item.SetName("e");
    item.Params().SetText("plain\r\na=1\r\n=x\r\n=y\r\nab=2\r\nAB=3");
    EXPECT_EQ(item.TagText(), "e =\"x\" a=\"1\" =\"x\" =\"x\" ab=\"2\" AB=\"2\"");

    // The same rules beyond sixteen entries, where names are found through a table.
    std::string text = "plain\r\n";
    std::string expected = "e =\"x\"";
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        text += "p" + n + "=" + n + "\r\n";
        expected += " p" + n + "=\"" + n + "\"";
    }
    text += "=x\r\nP7=y\r\n=y";
    expected += " =\"x\" P7=\"7\" =\"x\"";
    item.Params().SetText(text);
    EXPECT_EQ(item.TagText(), expected);
}

TEST(DocumentWrite, StyleSheetLineOnlyOutsideStyleSheetFiles)
{
    TempFolder folder;
    TECXMLParser document;
    LoadText(document, "<?xml-stylesheet type=\"text/xsl\" href=\"view.xsl\"?>\r\n<r></r>");
    const std::string withoutSheet = std::string(Head) + "  <r></r>\r\n";
    const std::string sheetLine = "<?xml-stylesheet type=\"text/xsl\" href=\"view.xsl\"?>\r\n";
    const std::string withSheet = std::string(Head) + sheetLine + "  <r></r>\r\n";

    EXPECT_EQ(SaveText(document), withSheet);
    EXPECT_EQ(SaveText(document, true), withoutSheet);
    for (const char* name : {"doc.xml", "a.xsl", "b.XSL"})
        document.SaveToFile(folder / name);
    EXPECT_EQ(ReadBytes(folder / "doc.xml"), withSheet);
    EXPECT_EQ(ReadBytes(folder / "a.xsl"), withoutSheet);
    EXPECT_EQ(ReadBytes(folder / "b.XSL"), withoutSheet);

    // The reference of an earlier document stays until another replaces it.
    LoadText(document, "<r></r>");
    EXPECT_EQ(SaveText(document), withSheet);
    document.SetStyleSheet("  ");
    EXPECT_EQ(SaveText(document), withoutSheet);
}

TEST(DocumentWrite, FailedStreamWriteRaisesNoOnSaved)
{
    TECXMLParser document;
    document.Root()->SetName("r");
    EventLog log(document);
    std::ostringstream stream;
    stream.setstate(std::ios::badbit);
    EXPECT_EQ(ErrorOf<EWriteError>([&] { document.SaveToStream(stream, false); }), "Stream write error");
    EXPECT_EQ(log.events, Events{"BeforeSave"});
}

// Links, permission bits, owners, FIFOs and sockets: what only POSIX systems have. Windows
// keeps its own rules for the replacement, tested apart.
#ifndef _WIN32
TEST(DocumentWrite, SaveToFileReplacesTargetAndKeepsItsPermissionsAndLink)
{
    TempFolder folder;
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::create_directory(folder / "real");
    WriteBytes(folder / "real" / "doc.xml", "old text that is longer than the new one ......................");
    fs::permissions(folder / "real" / "doc.xml", mode);
    fs::create_symlink("real/doc.xml", folder / "link.xml");

    TECXMLParser document;
    document.Root()->SetName("r");
    EventLog log(document);
    document.SaveToFile(folder / "real" / "doc.xml");
    document.Root()->SetName("s");
    document.SaveToFile(folder / "link.xml");

    EXPECT_EQ(ReadBytes(folder / "real" / "doc.xml"), std::string(Head) + "  <s></s>\r\n");
    EXPECT_EQ(fs::status(folder / "real" / "doc.xml").permissions() & fs::perms::mask, mode);
    EXPECT_EQ(fs::read_symlink(folder / "link.xml"), "real/doc.xml");
    EXPECT_EQ(TempFolder::Entries(folder.Path()), (Names{"link.xml", "real"}));
    EXPECT_EQ(TempFolder::Entries(folder / "real"), Names{"doc.xml"});
    EXPECT_EQ(log.events, (Events{"BeforeSave", "OnSaved", "Changed s", "BeforeSave", "OnSaved"}));
}
#endif

TEST(DocumentWrite, FailedSaveToFileLeavesOldFileAndNoTemporary)
{
    TempFolder folder;
    TECXMLParser document;
    std::string text = "<r>";
    for (int i = 0; i < 100; ++i)
        text += "<child/>";
    LoadText(document, text + "</r>");
    EventLog log(document);
    WriteBytes(folder / "doc.xml", "old");

    log.allowSave = false;
    document.SaveToFile(folder / "doc.xml");
    document.SaveToFile(folder / "new.xml");
    log.allowSave = true;

    std::size_t saves = 4;
    // The folder does not exist.
    const fs::path missing = folder / "nowhere" / "doc.xml";
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { document.SaveToFile(missing); }),
              "Cannot create file \"" + PathText(missing) + "\". No such file or directory");

    // The text is written, but cannot take the place of a folder.
    fs::create_directory(folder / "taken");
    EXPECT_THROW(document.SaveToFile(folder / "taken"), EFCreateError);

#ifndef _WIN32
    // The disk takes only part of the text (a file size limit stands for a full disk).
    struct rlimit fileSize;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &fileSize), 0);
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = fileSize;
    small.rlim_cur = 512;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = ErrorOf<EWriteError>([&] { document.SaveToFile(folder / "doc.xml"); });
    ::setrlimit(RLIMIT_FSIZE, &fileSize);
    std::signal(SIGXFSZ, previousSignal);
    EXPECT_EQ(error, "Stream write error");
    ++saves;
#endif

    EXPECT_EQ(ReadBytes(folder / "doc.xml"), "old");
    EXPECT_EQ(TempFolder::Entries(folder.Path()), (Names{"doc.xml", "taken"}));
    EXPECT_TRUE(fs::is_empty(folder / "taken"));
    EXPECT_EQ(log.events, Events(saves, "BeforeSave"));
}

#ifndef _WIN32
// What a save must not replace: a file without write permission (read-only even for the
// superuser), a FIFO, a socket. Each stays as it was, and nothing is left beside it.
TEST(DocumentWrite, SaveRefusesTargetsThatAreReadOnlyOrNotRegularFiles)
{
    TempFolder folder;
    WriteBytes(folder / "readonly.xml", "old");
    fs::permissions(folder / "readonly.xml", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketName = (folder / "socket").string();
    ASSERT_LT(socketName.size(), sizeof address.sun_path);
    socketName.copy(address.sun_path, socketName.size());
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    TECXMLParser document;
    LoadText(document, "<r/>");
    for (const char* name : {"readonly.xml", "fifo", "socket"}) {
        const fs::path target = folder / name;
        const fs::file_type type = fs::symlink_status(target).type();
        EXPECT_EQ(ErrorOf<EFCreateError>([&] { document.SaveToFile(target); }),
                  "Cannot create file \"" + target.string() + "\". Permission denied")
            << name;
        EXPECT_EQ(fs::symlink_status(target).type(), type) << name;
    }
    ::close(socket);
    EXPECT_EQ(ReadBytes(folder / "readonly.xml"), "old");
    EXPECT_EQ(TempFolder::Entries(folder.Path()), (Names{"fifo", "readonly.xml", "socket"}));
}

TEST(DocumentWrite, SaveThroughADanglingLinkCreatesItsTargetAndDropsSetIdBits)
{
    TempFolder folder;
    fs::create_symlink("made.xml", folder / "link.xml");
    TECXMLParser document;
    LoadText(document, "<r/>");
    document.SaveToFile(folder / "link.xml");
    EXPECT_EQ(fs::read_symlink(folder / "link.xml"), "made.xml");
    EXPECT_EQ(ReadBytes(folder / "made.xml"), SaveText(document));

    fs::permissions(folder / "made.xml", fs::perms::set_uid | fs::perms::set_gid | fs::perms::owner_all);
    document.SaveToFile(folder / "made.xml");
    EXPECT_EQ(fs::status(folder / "made.xml").permissions() & fs::perms::mask, fs::perms::owner_all);
}

// The temporary file is as private as its target before a byte of the text reaches it.
TEST(DocumentWrite, ReplacementIsPrivateFromTheStartAndNeverFollowsALink)
{
    TempFolder folder;
    WriteBytes(folder / "secret.xml", "old");
    fs::permissions(folder / "secret.xml", fs::perms::owner_read | fs::perms::owner_write);
    const mode_t previousMask = ::umask(0);
    TAtomicFile file;
    ASSERT_TRUE(file.Open(folder / "secret.xml"));
    ::umask(previousMask);
    const Names entries = TempFolder::Entries(folder.Path());
    ASSERT_EQ(entries.size(), 2u);
    const fs::path temporary = folder / entries[0];
    EXPECT_TRUE(entries[0].starts_with(".secret.xml.")) << entries[0];
    EXPECT_EQ(fs::symlink_status(temporary).permissions() & fs::perms::mask, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(file.Write("new") && file.Sync() && file.Commit());
    EXPECT_EQ(ReadBytes(folder / "secret.xml"), "new");
    EXPECT_EQ(TempFolder::Entries(folder.Path()), Names{"secret.xml"});
}

// A save by the superuser keeps a file of another user that user's, with its group.
TEST(DocumentWrite, ReplacementKeepsTheTargetsOwnerAndGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser may give a file away";
    TempFolder folder;
    WriteBytes(folder / "theirs.xml", "old");
    ASSERT_EQ(::chown((folder / "theirs.xml").c_str(), 4321, 8765), 0);
    TECXMLParser document;
    LoadText(document, "<r/>");
    document.SaveToFile(folder / "theirs.xml");
    struct stat status {};
    ASSERT_EQ(::stat((folder / "theirs.xml").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 4321u);
    EXPECT_EQ(status.st_gid, 8765u);
    EXPECT_EQ(ReadBytes(folder / "theirs.xml"), SaveText(document));
}
#endif

} // namespace

// A save removes the temporary files that killed saves of the same target left behind, and
// nothing else: not one a living save holds, not one written a moment ago, not another
// target's, not a name of another pattern, not a folder.
TEST(DocumentWrite, ASaveRemovesTheTemporaryFilesOfKilledSaves)
{
    TempFolder folder;
    WriteBytes(folder / "doc.xml", "<r/>");
    const auto age = [&](const char* name) { fs::last_write_time(folder / name, fs::file_time_type::clock::now() - std::chrono::hours(1)); };
    const char* killed = ".doc.xml.0123456789ab~";
    const char* held = ".doc.xml.00000000beef~";
    const char* recent = ".doc.xml.abcdefabcdef~";
    const char* other = ".other.xml.0123456789ab~";
    const char* unlike = ".doc.xml.0123456789ag~";
    const char* folderNamed = ".doc.xml.fedcba987654~";
    for (const char* name : {killed, held, recent, other, unlike})
        WriteBytes(folder / name, "half a document");
    fs::create_directory(folder / folderNamed);
    for (const char* name : {killed, held, other, unlike})
        age(name);
#ifndef _WIN32
    // Windows' C++ library cannot set a folder's times; a folder is kept whatever its age.
    age(folderNamed);
#endif
    // A save in another process still writing its file holds it: by a lock, or on Windows
    // by a handle that shares nothing.
#ifdef _WIN32
    const HANDLE holder = CreateFileW((folder / held).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
#else
    const int holder = ::open((folder / held).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
#endif

    TECXMLParser document;
    LoadText(document, "<r/>");
    document.SaveToFile(folder / "doc.xml");
#ifdef _WIN32
    CloseHandle(holder);
#else
    ::close(holder);
#endif
    EXPECT_EQ(TempFolder::Entries(folder.Path()), (Names{held, unlike, recent, folderNamed, other, "doc.xml"}));
}
