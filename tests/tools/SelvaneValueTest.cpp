#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Portable.h"
#include "SafeFile.h"
#include "TempFolder.h"

namespace {

struct TRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs selvane-value with `args`, collecting its output through files so that neither
// pipe can fill up; `outTo` replaces the output file, which is then not read. `environment`
// adds NAME=value entries to the tool's environment.
TRun RunTool(const TTempFolder& folder, const std::vector<std::string>& args, const std::string& outTo = {},
             const std::vector<std::string>& environment = {})
{
    const std::filesystem::path outFile = outTo.empty() ? folder.Path() / "stdout" : std::filesystem::path(outTo);
    const std::filesystem::path errFile = folder.Path() / "stderr";
    TRun run;
    run.status = RunProgram(SELVANE_VALUE_TOOL, args, outFile, errFile, environment);
    if (outTo.empty())
        run.out = TTempFolder::Read(outFile);
    run.err = TTempFolder::Read(errFile);
    return run;
}

constexpr std::string_view Plant =
    "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n"
    "<Plant name=\"North\">\r\n"
    "  <Oven setpoint=\"180\" unit=\"\xb0" "C\"/>\r\n"
    "  <Press note=\"a\\b\">first<br/>second</Press>\r\n"
    "</Plant>\r\n";

class SelvaneValue : public ::testing::Test {
protected:
    TTempFolder Folder;
    std::string File = Folder.Write("plant.xml", Plant).string();
};

TEST_F(SelvaneValue, PrintsEachValueOnItsOwnLine)
{
    const TRun run = RunTool(Folder, {File, "Plant.Oven.setpoint", "Plant.Oven.unit", "Plant.Oven.missing", "Plant.name"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "180\n\xc2\xb0" "C\n\nNorth\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(SelvaneValue, MissingItemGivesStatusOneAndKeepsTheLines)
{
    const TRun run = RunTool(Folder, {File, "Plant.Nothing.x", "Plant.Oven.setpoint"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "\n180\n");
    EXPECT_NE(run.err.find("Plant.Nothing.x"), std::string::npos) << run.err;
}

TEST_F(SelvaneValue, LoadFailureNamesFileAndLine)
{
    TRun run = RunTool(Folder, {(Folder.Path() / "missing.xml").string(), "a.b"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Cannot open file \"" + (Folder.Path() / "missing.xml").string() + "\". No such file or directory"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");

    const std::string broken = Folder.Write("broken.xml", "<a>\n<b/>\n</a>\n<c/>\n").string();
    run = RunTool(Folder, {broken, "a.b"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(broken), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("on line 4"), std::string::npos) << run.err;
}

TEST_F(SelvaneValue, ListShowsEveryPickInDocumentOrderWithEscapes)
{
    const TRun run = RunTool(Folder, {"--list", File});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Plant\n"
              "Plant.name=North\n"
              "Plant.Oven\n"
              "Plant.Oven.setpoint=180\n"
              "Plant.Oven.unit=\xc2\xb0" "C\n"
              "Plant.Press\n"
              "Plant.Press.note=a\\\\b\n");
}

TEST_F(SelvaneValue, ValuesWithLineBreaksStayOnOneLine)
{
    const std::string file = Folder.Write("notes.xml", "<n a=\"x&#13;&#10;y\"/>").string();
    const TRun run = RunTool(Folder, {file, ".n.a"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "x\\r\\ny\n");
}

TEST_F(SelvaneValue, RewriteWritesTheProgramsFormat)
{
    const std::string out = (Folder.Path() / "out.xml").string();
    TRun run = RunTool(Folder, {"--rewrite", File, out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(TTempFolder::Read(out),
              "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n"
              "  <Plant name=\"North\">  <Oven setpoint=\"180\" unit=\"\xb0" "C\"/>"
              "  <Press note=\"a\\b\">  first<br/>second  </Press>  </Plant>");

    run = RunTool(Folder, {"--rewrite", File, out, "--indent"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(TTempFolder::Read(out),
              "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n"
              "  <Plant name=\"North\">\r\n"
              "    <Oven setpoint=\"180\" unit=\"\xb0" "C\"/>\r\n"
              "    <Press note=\"a\\b\">\r\n"
              "      first<br/>second\r\n"
              "    </Press>\r\n"
              "  </Plant>\r\n");

    const std::string again = (Folder.Path() / "again.xml").string();
    run = RunTool(Folder, {"--rewrite", out, again, "--indent"});
    EXPECT_EQ(TTempFolder::Read(again), TTempFolder::Read(out));
}

TEST_F(SelvaneValue, UsageErrorsPrintTheUsage)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--list"}, {"--rewrite", File}, {"--rewrite", File, "x", "--bogus"}, {File}, {"--bogus", File}}) {
        const TRun run = RunTool(Folder, args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("Usage: selvane-value"), std::string::npos);
    }
    const TRun help = RunTool(Folder, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("a line feed as \\n"), std::string::npos);
    const TRun version = RunTool(Folder, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "selvane-value " SELVANE_VERSION "\n");
}

// /dev/full, a device, a preloaded library: only POSIX systems have them.
#ifndef _WIN32
TEST_F(SelvaneValue, OutputThatCannotBeWrittenFailsWithStatusTwo)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--list", File}, {File, "Plant.name"}, {"--help"}}) {
        const TRun run = RunTool(Folder, args, "/dev/full");
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_NE(run.err.find("selvane-value: cannot write the output: No space left on device"), std::string::npos) << run.err;
    }
}

TEST_F(SelvaneValue, OnlyRegularFilesAreRead)
{
    const TRun run = RunTool(Folder, {"--list", "/dev/zero"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Cannot open file \"/dev/zero\". Not a regular file"), std::string::npos) << run.err;
}

// A read that fails halfway (a failing disk, a network file system) fails the load: the
// file is neither taken for its first half nor replaced by it, and the message names the
// file and the system's reason. /proc/self/mem fails its first read the same way.
TEST_F(SelvaneValue, AReadErrorFailsTheLoadAndReplacesNothing)
{
    std::string big = "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n<Plant>\r\n";
    while (big.size() < 200000)
        big += "  <Oven setpoint=\"180\" unit=\"C\"/>\r\n";
    big += "</Plant>\r\n";
    const std::string file = Folder.Write("big.xml", big).string();
    const std::string expected = "Cannot open file \"" + file + "\". Input/output error";
    for (const char* at : {"0", "65536", "100000"}) {
        const std::vector<std::string> failing = {std::string("LD_PRELOAD=") + FAILING_READ_LIBRARY, "SELVANE_FAILING_FILE=" + file,
                                                  std::string("SELVANE_FAILING_AT=") + at,
                                                  // The sanitizers' runtime need not come first.
                                                  "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=1"};
        TRun run = RunTool(Folder, {"--rewrite", file, file}, {}, failing);
        EXPECT_EQ(run.status, 2) << at;
        EXPECT_NE(run.err.find(expected), std::string::npos) << at << ": " << run.err;
        EXPECT_EQ(TTempFolder::Read(file), big) << at;
        run = RunTool(Folder, {file, "Plant.Oven.setpoint"}, {}, failing);
        EXPECT_EQ(run.status, 2) << at;
        EXPECT_EQ(run.out, "") << at;
    }
    const TRun run = RunTool(Folder, {"/proc/self/mem", "a.b"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Cannot open file \"/proc/self/mem\". Input/output error"), std::string::npos) << run.err;
}
#endif

// A UTF-8 document is read as the dialog reads it: names typed in UTF-8 find its items.
TEST_F(SelvaneValue, AUtf8DocumentIsReadByTheNamesAUserTypes)
{
    const std::string file = Folder.Write("anlage.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Anlage>\n"
                                                        "  <Gr\xC3\xB6\xC3\x9F" "e h\xC3\xB6he=\"2 m\"/>\n</Anlage>\n").string();
    const TRun run = RunTool(Folder, {file, "Anlage.Gr\xC3\xB6\xC3\x9F" "e.h\xC3\xB6he"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "2 m\n");
}

// Repeated names: each item is listed with its place among its siblings of its name, and
// that path reads its values.
TEST_F(SelvaneValue, RepeatedNamesAreListedAndReadByTheirPlace)
{
    const std::string file = Folder.Write("bom.xml", "<bom><hashes><hash alg=\"MD5\"/><hash alg=\"SHA-1\"/>"
                                                     "<hash alg=\"SHA-256\"/></hashes></bom>").string();
    TRun run = RunTool(Folder, {file, "bom.hashes.hash[3].alg", "bom.hashes.hash.alg", "bom.hashes.hash[2].alg"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "SHA-256\nMD5\nSHA-1\n");
    run = RunTool(Folder, {"--list", file});
    EXPECT_EQ(run.out, "bom\nbom.hashes\nbom.hashes.hash\nbom.hashes.hash.alg=MD5\nbom.hashes.hash[2]\n"
                       "bom.hashes.hash[2].alg=SHA-1\nbom.hashes.hash[3]\nbom.hashes.hash[3].alg=SHA-256\n");
}

// A tag of thousands of entries, some names repeated in other letter cases: every entry is
// listed with the value its path reads.
TEST_F(SelvaneValue, EachListedEntryShowsWhatItsPathReads)
{
    const std::string_view repeated[] = {"key", "Key", "KEY", "n7"};
    std::string tag = "<r";
    for (int i = 0; i < 5000; ++i) {
        tag += " " + (i % 5 == 0 ? std::string(repeated[(i / 5) % 4]) : "n" + std::to_string(i)) + "=\"" + std::to_string(i) + "\"";
    }
    const std::string file = Folder.Write("many.xml", tag + "></r>").string();
    TRun run = RunTool(Folder, {"--list", file});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> paths;
    std::vector<std::string> listedValues;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (const size_t equals = line.find('='); equals != std::string::npos) {
            paths.push_back(line.substr(0, equals));
            listedValues.push_back(line.substr(equals + 1));
        }
    }
    ASSERT_EQ(paths.size(), 5000u);
    // Read back a thousand at a time: a Windows command line holds 32,767 characters.
    for (size_t from = 0; from < paths.size(); from += 1000) {
        std::vector<std::string> args{file};
        std::string expected;
        for (size_t i = from; i < from + 1000; ++i) {
            args.push_back(paths[i]);
            expected += listedValues[i] + "\n";
        }
        run = RunTool(Folder, args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.out == expected) << "the listing shows other values than the paths read, from entry " << from;
    }
}

#ifdef _WIN32
// Windows hands the tool its arguments as UTF-16: file names and value paths beyond the
// ANSI code page arrive whole, and the output is UTF-8 with LF line ends, as elsewhere.
TEST_F(SelvaneValue, WideFileNamesAndPathsArriveWhole)
{
    for (const char* name : {"\xE6\x95\xB0\xE6\x8D\xAE.xml", "euro\xE2\x82\xAC.xml"}) {
        const std::filesystem::path file = Folder.Path() / PathOfText(name);
        std::ofstream(file, std::ios::binary) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Anlage>\r\n"
                                                 "  <Gr\xC3\xB6\xC3\x9F" "e h\xC3\xB6he=\"2 m\"/>\r\n</Anlage>\r\n";
        const TRun run = RunTool(Folder, {PathText(file), "Anlage.Gr\xC3\xB6\xC3\x9F" "e.h\xC3\xB6he"});
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_EQ(run.out, "2 m\n") << name;
    }
}

TEST_F(SelvaneValue, OnlyFilesOnADiskAreRead)
{
    const TRun run = RunTool(Folder, {"--list", "NUL"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Not a regular file"), std::string::npos) << run.err;
}
#endif

} // namespace
