#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "ECXMLParser.h"
#include "EngineTestSupport.h"
#include "Exceptions.h"

using namespace enginetest;

namespace fs = std::filesystem;

namespace {

// The tree a text gives; the program's own format of that tree must read back to it, but
// where two parameters share a name, which the writer gives one value.
std::string Loaded(std::string_view text, bool roundTrip = true)
{
    TECXMLParser document;
    LoadText(document, text);
    const std::string tree = Dump(*document.Root());
    if (!roundTrip)
        return tree;
    TECXMLParser again;
    LoadText(again, SaveText(document));
    EXPECT_EQ(Dump(*again.Root()), tree) << "written as " << SaveText(document);
    return tree;
}

TEST(DocumentLoad, BuildsTreeFromElementsAndText)
{
    EXPECT_EQ(Loaded("<a><b/><d>t</d></a>"), "a\n  b\n  d = t\n");
    // End tags close by position, whatever their name.
    EXPECT_EQ(Loaded("<a><b></x><c/></a>"), Loaded("<a><b/><c/></a>"));
    // Missing end tags leave the tree as far as it goes.
    EXPECT_EQ(Loaded("<a><b>t<c x=\"1\">"), "a\n  b = t\n    c [x=1]\n");
    // A document type is passed over like a comment; it was once read as a start tag.
    EXPECT_EQ(Loaded("<?xml version=\"1.0\"?>\r\n<!DOCTYPE a>\r\n<!-- note -->\r\n<a/>"), "\n  a\n");
}

TEST(DocumentLoad, EmptyElementTagsBecomeChildrenOfAnUnnamedRoot)
{
    EXPECT_EQ(Loaded("<config a=\"1\"/>"), "\n  config [a=1]\n");
    EXPECT_EQ(Loaded("<config a=\"1\"/>\r\n<other/>"), "\n  config [a=1]\n  other\n");
}

TEST(DocumentLoad, TextRunsOfOneElementJoinWithLineBreaks)
{
    EXPECT_EQ(Loaded("<a>x<b/>y</a>"), "a = x\\0d\\0ay\n  b\n");
    EXPECT_EQ(Loaded("pre<a>x</a>"), "a = pre\\0d\\0ax\n");
    // "<br/>" is the written form of a line break, not an item.
    EXPECT_EQ(Loaded("<a>x<br/>y</a>"), "a = x\\0d\\0ay\n");
    EXPECT_EQ(Loaded("<a>x<br/><br/>y</a>"), "a = x\\0d\\0a\\0d\\0ay\n");
    // A value of line breaks alone gives way to the next run.
    EXPECT_EQ(Loaded("<a>&#13;&#10;<b/>y</a>"), "a = y\n  b\n");
    // A long text of many pieces, one a line, keeps every one, in order.
    std::string text = "<a>";
    std::string value;
    for (int i = 0; i < 3000; ++i) {
        text += "piece " + std::to_string(i) + "<br/>\r\n";
        value += "piece " + std::to_string(i) + "\\0d\\0a";
    }
    // (Written back, it is one line too long for the chunked reading.)
    EXPECT_EQ(Loaded(text + "end</a>", false), "a = " + value + "end\n");
    // Each run is decoded once, on its own; "&apos;" and character references are
    // decoded too (they once stayed as written in text).
    EXPECT_EQ(Loaded("<a>&amp;lt;<b/>&amp;gt; &#13;&apos;</a>"), "a = &lt;\\0d\\0a&gt; \\0d'\n  b\n");
    EXPECT_EQ(Loaded("<a>&lt;&gt;&quot;&amp;</a>"), "a = <>\"&\n");
}

TEST(DocumentLoad, ParametersFollowQuotingAndBlankRules)
{
    // Single quotes enclose a value as double ones do (the quotes once stayed in it).
    EXPECT_EQ(Loaded(R"(<item a="1" b="x y" c='q'/>)"), "\n  item [a=1] [b=x y] [c=q]\n");
    // An empty quoted value is empty, and left out like any (it once kept its two quotes).
    EXPECT_EQ(Loaded(R"(<item a="" b='' c="1">)"), "item [c=1]\n");
    EXPECT_EQ(Loaded(R"(<item a=""><sub b=''/><sub c="&amp;"/></item>)"), "item\n  sub\n  sub [c=&]\n");
    EXPECT_EQ(Loaded(R"(<item a= b="2">)"), "item [b=2]\n");
    // Blanks before the tag's end, and runs of blanks, separate and add nothing (a final
    // blank once stayed in the last value, and each further blank made an empty entry).
    EXPECT_EQ(Loaded(R"(<item a="1" >)"), "item [a=1]\n");
    EXPECT_EQ(Loaded(R"(<item  a="1">)"), "item [a=1]\n");
    // Each entry is processed by its name, so a second "a" sets the first entry's value.
    EXPECT_EQ(Loaded(R"(<item A="1" a="2">)", false), "item [a=1] [a=\"2\"]\n");
    EXPECT_EQ(Loaded(R"(<item a="&lt;&quot;&amp;lt;&gt;">)"), "item [a=<\"&lt;>]\n");
    // Character references the code page holds are decoded (once only "&#13;" and "&#10;"
    // were); others stay as written.
    EXPECT_EQ(Loaded(R"(<item a="1&#13;&#10;2&#10;3&amp;#13;&#9;&#xE9;&#233;&#x4E2D;&#0;&#12x;">)"),
              "item [a=1\\0d\\0a2\\0a3&#13;\\09\xE9\xE9&#x4E2D;&#0;&#12x;]\n");
    // Entries of other shapes after, before and between usual ones.
    EXPECT_EQ(Loaded(R"(<item a="1" b=2 c="x &amp; y">)"), "item [a=1] [b=2] [c=x & y]\n");
    EXPECT_EQ(Loaded(R"(<item a="1"b="2" c="3">)"), "item [a=1\"b=\"2] [c=3]\n");
    EXPECT_EQ(Loaded(R"(<item a="1" b="2"  c="3">)"), "item [a=1] [b=2] [c=3]\n");
}

// Tabs and line breaks in a tag separate as blanks do; inside a quoted value each line
// break becomes a blank. (A line break once ended an entry even inside quotes, and the
// tokenizer glued the lines of a tag together.)
TEST(DocumentLoad, TabsAndLineBreaksInATagSeparateAsBlanksDo)
{
    const std::pair<const char*, const char*> cases[] = {
        {"<item a=\"1\"\nb=\"2\"\rc=\"3\">", "item [a=1] [b=2] [c=3]\n"},
        {"<item a=\"x\ny\" b=\"2\">", "item [a=x y] [b=2]\n"},
        {"<item a=\"x\r\ny\rz\" b='1\n2'>", "item [a=x y z] [b=1 2]\n"},
        {"<item a=\"1\"\n>", "item [a=1]\n"},
        {"<item\r\n   a=\"1\"\r\n   b=\"2\"/>", "\n  item [a=1] [b=2]\n"},
        {"<item\ta=\"1\"\tb=\"x\ty\">", "item [a=1] [b=x\\09y]\n"},
        {"<db host=\"srv01\" port=\"5432\" />", "\n  db [host=srv01] [port=5432]\n"},
        {"<item a = \"1\" b= '2' c =\"3\">", "item [a=1] [b=2] [c=3]\n"},
        // A ">" inside a quoted value does not end the tag.
        {"<item a=\"x>y\" b='<>'>t</item>", "item [a=x>y] [b=<>] = t\n"},
    };
    for (const auto& [text, tree] : cases)
        EXPECT_EQ(Loaded(text), tree) << text;
}

TEST(DocumentLoad, ManyParametersFollowTheSameRulesAsAFew)
{
    std::string tag = "<item";
    std::string expected = "item";
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        tag += " p" + n + "=\"v&amp;lt;" + n + "\"";
        expected += " [p" + n + "=v&lt;" + n + "]";
    }
    EXPECT_EQ(Loaded(tag + ">"), expected + "\n");
    EXPECT_EQ(Loaded(tag + " e= q=\"\">"), expected + "\n");

    // A name repeated in another letter case: the first entry takes the later name and
    // its own value decoded once more; the later entry keeps its quotes.
    std::string repeated = expected;
    repeated.replace(repeated.find("[p3=v&lt;3]"), 11, "[P3=v<3]");
    EXPECT_EQ(Loaded(tag + " P3=\"x\">", false), repeated + " [P3=\"x\"]\n");
}

TEST(DocumentLoad, EveryTagShapeGetsTheNameAndParametersItsTextGives)
{
    // The loader cuts usual tags while reading them and leaves the rest to the rules for
    // any tag text: both ways must agree, for tags of each shape and near each.
    std::string many = "<m";
    for (int i = 0; i < 20; ++i)
        many += " n" + std::to_string(i % 17) + "=\"" + std::string(i, 'v') + "\"";
    const std::string shapes[] = {
        "<a>", "<a/>", "<a >", "<a />", "<a/ >", "<a b=\"1\">", "<a b=\"1\"/>", "<a b=\"1\" />",
        "<a b=\"1\" >", "<a  b=\"1\">", "<a b=\"1\"  c=\"2\">", "<a b=\"\" c=\"2\"/>", "<a =\"1\">",
        "<a b=\"x &amp; y\" c=\"&lt;&#13;&#10;\">", "<a b=\"1\"c=\"2\">", "<a b=1 c=\"2\">", "<a b>",
        "<a b=\"1\" c>", "<a b=\"1\" B=\"2\">", "<a b==\"1\">", "<a b=\"1\"\">", "<a b=\"a/b\" c=\"/\">",
        "<a b=\"1\" =\"2\">", "<a b = \"1\" c='2'>", "<a x<!b=\"0\" =\"1\"/>",
        "<a b/c=\"1\">", "<a/b c=\"1\">", "<a/b>", "<a b=\"x\ty\">", "<a b\t=\"1\">", "<a\tb=\"1\">",
        "<a&b c=\"1\">", "<a\"b c=\"1\">", "<a=b c=\"1\">", "<\xe9l\xe8ve \xe9=\"\xe0\">", "<a <b=\"1\">",
        "<a b=\"" + std::string(40, 'x') + "\" " + std::string(30, 'c') + "=\"1\"/>", many + ">", many + " n3=\"w\"/>",
        "<a b='1'>", "<a b='1' />", "<a b='1'   c=\"2\"   >", "<a b='x\"y' c=\"z'\">", "<a b='' c='&amp;&#233;'/>",
        "<a b='1'c='2'>", "<a b='1\"'/>", "<a b='1>'>", "<a b=\"1'\"/>", "<a b='1'\t/>", "<a b='1' / >", "<a b=\"1\" '/>",
        "<a\r\n\tb='1'\r\n\tc = \"2\"\r\n>", "<a\nb=\"1\"\n/>", "<a b =\"1\">", "<a b= '1'>", "<a b\r\n=\"1\">", "<a b=\r\n\"1\">",
        "<a\tb=\"1\"\t\t/>", "<a b=\"1\"\r\n\r\nc=\"2\">", "<a \t\r\n/>", "<a b\t\t=\t\t'1' c\t='&lt;'>", "<a b=\"1\" = \"2\">",
    };
    for (const std::string& shape : shapes) {
        SCOPED_TRACE(shape);
        TECXMLParser document;
        LoadText(document, "<r>\r\n  " + shape + "\r\n  <z/>\r\n</r>");
        const TXMLItem* root = document.Root();
        ASSERT_GE(root->Count(), 1);
        const TXMLItem* item = root->Items(0);
        EXPECT_EQ(item->Name(), TagName(shape));
        TXMLParams expected;
        ParseParams(shape, expected);
        EXPECT_EQ(item->Params().Text(), expected.Text());
        // An empty tag leaves the next one beside it, a start tag takes it in.
        const bool empty = shape[shape.size() - 2] == '/';
        EXPECT_EQ(root->Count(), empty ? 2 : 1);
    }
}

TEST(DocumentLoad, HundredThousandParametersOfOneElementLoadAndWriteBack)
{
    // One parameter a line: the tag's CR LF pairs vanish, and its blanks part them.
    constexpr int Count = 100000;
    std::string parameters;
    std::string written = "a";
    for (int i = 0; i < Count; ++i) {
        const std::string n = std::to_string(i);
        const std::string value = std::to_string(i % 7);
        parameters += " n" + n + "=\"" + value + "\"\r\n";
        written += " n" + n + "=\"" + value + "\"";
    }
    TECXMLParser document;
    LoadText(document, "<r><a" + parameters + "/><b" + parameters + " N5=\"x\" plain/></r>");

    const TXMLItem* distinct = document.Root()->Items(0);
    ASSERT_EQ(distinct->Params().Count(), Count);
    EXPECT_EQ(distinct->Params().Strings(5), "n5=5");
    EXPECT_EQ(distinct->TagText(), written);

    // A repeated name and an entry without "=" make every entry look its name up.
    const TXMLParams& repeated = document.Root()->Items(1)->Params();
    ASSERT_EQ(repeated.Count(), Count + 2);
    EXPECT_EQ(repeated.Strings(0), "n0=0");
    EXPECT_EQ(repeated.Strings(5), "N5=5");
    EXPECT_EQ(repeated.Strings(Count - 1), "n99999=4");
    EXPECT_EQ(repeated.Strings(Count), "N5=\"x\"");
    EXPECT_EQ(repeated.Strings(Count + 1), "plain");
    written.replace(0, 1, "b").replace(written.find(" n5="), 4, " N5=");
    EXPECT_EQ(document.Root()->Items(1)->TagText(), written + " N5=\"5\" =\"\"");
}

TEST(DocumentLoad, StyleSheetIsTakenFromItsDeclarationAndKept)
{
    TECXMLParser document;
    LoadText(document, "<?xml-stylesheet type=\"text/xsl\" href=\"View.xsl\"?>\r\n<a/>");
    EXPECT_EQ(document.StyleSheet(), "View.xsl");
    LoadText(document, "<?XML-STYLESHEET TYPE=\"text/xsl\" HREF=\"Other.XSL\" ?>\r\n<a/>");
    EXPECT_EQ(document.StyleSheet(), "Other.XSL");

    LoadText(document, "<?xml version=\"1.0\"?>\r\n<a/>");
    LoadText(document, "<?xml-stylesheet type='text/xsl' href='single.xsl'?>\r\n<a/>");
    document.Clear();
    EXPECT_EQ(document.StyleSheet(), "Other.XSL");
}

TEST(DocumentLoad, ContentAfterTheDocumentElementFailsNamingItsLine)
{
    // Tags and comments over several lines count their lines.
    const std::string body = "<a>\r\n<b\r\n  x='1'>t</b>\r\n</a>\r\n<!-- fine\r\n -->\r\n<?xml fine?>\r\n";
    for (const std::string tail : {"tail", "<c>", "<c/>", "</a>"}) {
        SCOPED_TRACE(tail);
        TECXMLParser document;
        EventLog log(document);
        const std::string error = ErrorOf<EParserError>([&] { LoadText(document, body + tail); });
        EXPECT_TRUE(error.ends_with(" on line 8")) << error;
        EXPECT_EQ(Dump(*document.Root()), "a\n  b [x=1] = t\n");
        document.Root()->SetValue("v"); // the change handler is back
        EXPECT_EQ(log.events, (Events{"BeforeLoad", "Changed a"}));
    }
}

TEST(DocumentLoad, LoadIntoAnInnerItemStaysInsideIt)
{
    TECXMLParser document;
    LoadText(document, "<r><old x=\"1\">v<gone/></old><keep/></r>");
    EventLog log(document);
    std::istringstream stream("<b><c/></b>\n<d/>");
    EXPECT_THROW(document.Root()->Items(0)->LoadFromStream(stream), EParserError);
    EXPECT_EQ(Dump(*document.Root()), "r\n  b\n    c\n  keep\n");
    EXPECT_EQ(log.events, Events{"BeforeLoad"});
}

TEST(DocumentLoad, MissingFileFailsWithItsFullPathAndLeavesTree)
{
    TempFolder folder;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    TECXMLParser document;
    LoadText(document, "<keep/>");
    EventLog log(document);
    const std::string error = ErrorOf<EFOpenError>([&] { document.LoadFromFile("missing.xml"); });
    const std::string full = PathText(std::filesystem::current_path() / "missing.xml");
    std::filesystem::current_path(previous);

    EXPECT_EQ(error, "Cannot open file \"" + full + "\". No such file or directory");
    EXPECT_EQ(Dump(*document.Root()), "\n  keep\n");
    EXPECT_EQ(log.events, Events{});
}

// A device would be read for ever, a FIFO without a writer would block the open, a folder
// has no text: each fails at once.
TEST(DocumentLoad, OnlyRegularFilesAreRead)
{
    TempFolder folder;
    fs::create_directory(folder / "folder");
#ifdef _WIN32
    const fs::path names[] = {fs::path("NUL"), folder / "folder"};
#else
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    const fs::path names[] = {fs::path("/dev/zero"), folder / "fifo", folder / "folder"};
#endif
    for (const fs::path& name : names) {
        TECXMLParser document;
        LoadText(document, "<keep/>");
        EventLog log(document);
        const std::string message = ErrorOf<EFOpenError>([&] { document.LoadFromFile(name); });
        EXPECT_TRUE(message.starts_with("Cannot open file \"") && message.ends_with(PathText(name.filename()) + "\". Not a regular file"))
            << message;
        EXPECT_EQ(Dump(*document.Root()), "\n  keep\n");
        EXPECT_EQ(log.events, Events{});
    }
}

TEST(DocumentLoad, LongLineFileLoadsThroughTheWholeStreamPass)
{
    TempFolder folder;
    const std::string longValue(6000, 'v');
    const std::string text = std::string(Head) + "<a>\r\n  <b k=\"" + longValue + "\">t</b>\r\n</a>\r\n";
    WriteBytes(folder / "long.xml", text);

    TECXMLParser document;
    EventLog log(document);
    document.LoadFromFile(folder / "long.xml");
    EXPECT_EQ(Dump(*document.Root()), "a\n  b [k=" + longValue + "] = t\n");
    EXPECT_EQ(log.events, (Events{"BeforeLoad", "BeforeLoad", "OnLoaded"}));

    // A stream has no second pass.
    TECXMLParser streamed;
    EventLog streamLog(streamed);
    EXPECT_EQ(ErrorOf<EParserError>([&] { LoadText(streamed, text); }), "Line too long on line 3");
    EXPECT_EQ(streamLog.events, Events{"BeforeLoad"});
}

// The whole-stream reading takes over where the chunked one meets a long line, keeping
// what was read before it: the tree, the style sheet, the line of a later error and the
// events must be those of a second load from the start.
TEST(DocumentLoad, TheFallbackGoesOnWhereTheLongLineBegins)
{
    std::string items;
    for (int i = 0; i < 300; ++i)
        items += "  <i n=\"" + std::to_string(i) + "\" t=\"&lt;x&gt;\">v " + std::to_string(i) + "</i>\r\n";
    const std::string longText(6000, 'w');
    const std::string longTag = "<long a=\"" + std::string(5000, 'q') + "\"\r\n b=\"2\"/>";
    const std::string lines = "<a>\r\n" + items + "<m>first\r\n" + std::string(3000, 'x') + "\r\n" + std::string(3000, 'y') + "</m>\r\n";
    const std::string style = "<?xml-stylesheet type=\"text/xsl\" href=\"v.xsl\"?>\r\n";
    const std::string cases[] = {
        std::string(Head) + style + "<a>\r\n" + items + "  <t>" + longText + "</t>\r\n" + items + "</a>\r\n",
        std::string(Head) + "<a>\r\n" + items + "  " + longTag + "\r\n" + items + "</a>\r\n",
        std::string(Head) + "<a>\r\n" + items + "<!-- " + longText + " -->\r\n" + style + items + "</a>",
        std::string(Head) + "<a>" + longText + "\r\n" + items + "</a>\r\n",
        // A token of many lines outgrowing its chunk is no long line; one line of it is,
        // and so is a later line.
        std::string(Head) + lines + "</a>\r\n",
        std::string(Head) + lines + items + "  <t>" + longText + "</t>\r\n</a>\r\n",
        // Errors after the switch keep the whole-stream pass's line numbers.
        std::string(Head) + "<a>\r\n" + items + "<t>" + longText + "</t>\r\n</a>\r\n<after/>\r\n",
    };
    TempFolder folder;
    size_t fallbacks = 0;
    for (const std::string& text : cases) {
        WriteBytes(folder / "long.xml", text);
        TECXMLParser whole;
        std::istringstream stream(text);
        const std::string wholeError = ErrorOf<EParserError>([&] { whole.Root()->LoadLargeFromStream(stream); });

        TECXMLParser document;
        EventLog log(document);
        EXPECT_EQ(ErrorOf<EParserError>([&] { document.LoadFromFile(folder / "long.xml"); }), wholeError);
        EXPECT_EQ(Dump(*document.Root()), Dump(*whole.Root()));
        EXPECT_EQ(document.StyleSheet(), whole.StyleSheet());
        EXPECT_EQ(document.LoadedComplete(), whole.LoadedComplete());
        TECXMLParser chunked;
        const bool fallback = ErrorOf<EParserError>([&] { LoadText(chunked, text); }).starts_with("Line too long");
        Events expected{"BeforeLoad"};
        if (fallback)
            expected.push_back("BeforeLoad");
        if (wholeError == "no error")
            expected.push_back("OnLoaded");
        EXPECT_EQ(log.events, expected) << text.substr(0, 200);
        fallbacks += fallback;
    }
    EXPECT_EQ(fallbacks, std::size(cases) - 1);
}

// The second BeforeLoad may refuse, which leaves what was read before the long line, or
// change the tree being built, which makes the whole stream be read again.
TEST(DocumentLoad, TheFallbacksBeforeLoadMayRefuseOrChangeTheTree)
{
    const std::string text = "<a>\r\n  <b/>\r\n  <c>" + std::string(5000, 'v') + "</c>\r\n  <d/>\r\n</a>\r\n";
    TECXMLParser refused;
    EventLog log(refused);
    int calls = 0;
    refused.BeforeLoad = [&](TECXMLParser*, bool& allow) { allow = ++calls == 1; };
    refused.LoadFromText(text);
    EXPECT_EQ(Dump(*refused.Root()), "a\n  b\n");
    EXPECT_FALSE(refused.LoadedComplete());
    EXPECT_EQ(log.events, Events{});

    TECXMLParser edited;
    EventLog editLog(edited);
    calls = 0;
    edited.BeforeLoad = [&](TECXMLParser* sender, bool&) {
        editLog.Note(sender, "BeforeLoad");
        if (++calls == 2)
            sender->Root()->Clear();
    };
    edited.LoadFromText(text);
    EXPECT_EQ(Dump(*edited.Root()), "a\n  b\n  c = " + std::string(5000, 'v') + "\n  d\n");
    EXPECT_EQ(editLog.events, (Events{"BeforeLoad", "BeforeLoad", "OnLoaded"}));
}

// Machine-written documents often have no line feed at all, or only a final one.
TEST(DocumentLoad, OneLineFileLoadsThroughTheWholeStreamPass)
{
    TempFolder folder;
    std::string line = "<?xml version=\"1.0\"?><a>";
    for (int i = 0; i < 400; ++i)
        line += "<b k=\"" + std::to_string(i) + "\">t</b>";
    line += "</a>";
    for (const std::string& text : {line, line + "\n", line + "\r\n"}) {
        WriteBytes(folder / "one.xml", text);
        TECXMLParser document;
        document.LoadFromFile(folder / "one.xml");
        ASSERT_EQ(document.Root()->Count(), 400);
        EXPECT_EQ(document.Root()->Items(399)->Params().Values("k"), "399");
    }
}

} // namespace

// A load tells whether its text closed the document element, so that a reader of a file
// being rewritten can tell a whole document from the first part of one.
TEST(DocumentLoad, LoadedCompleteTellsAWholeDocumentFromAPart)
{
    const std::pair<const char*, bool> cases[] = {
        {"<A><B x=\"1\"/></A>", true},      {"<A><B x=\"1\"/>", false}, {"<A><B>t</B>", false},
        {"<?xml version=\"1.0\" ?>\r\n", false}, {"", false},               {"<B/><C/>", true},
        {"<A><B x=\"1\"/></A>\r\n  ", true},
    };
    for (const auto& [text, complete] : cases) {
        TECXMLParser document;
        document.LoadFromText(text);
        EXPECT_EQ(document.LoadedComplete(), complete) << text;
    }
    TECXMLParser document;
    document.LoadFromText("<A/>");
    EXPECT_THROW(document.LoadFromText("<A/></A><B/>"), EParserError);
    EXPECT_FALSE(document.LoadedComplete());
}

// A document that announces UTF-8 (a byte-order mark, or its declaration in any letter
// case) or UTF-16 (a byte-order mark) is converted into the code page; one without such a
// start reads as code page text as ever. A character the code page cannot hold, or bytes
// that are no character, fail the load naming the character and its line, and leave no
// tree behind.
TEST(DocumentLoad, UnicodeDocumentsAreConvertedIntoTheCodePage)
{
    const auto utf16 = [](std::u16string_view text, bool littleEndian) {
        std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
        for (char16_t unit : text) {
            const char low = static_cast<char>(unit & 0xFF);
            const char high = static_cast<char>(unit >> 8);
            bytes += littleEndian ? std::string{low, high} : std::string{high, low};
        }
        return bytes;
    };
    const struct {
        std::string text;
        const char* tree; // nullptr: the load fails with `error`
        const char* encoding;
        const char* error;
    } cases[] = {
        {"\xEF\xBB\xBF<Gr\xC3\xB6\xC3\x9F" "e h\xC3\xB6he=\"2 m\"/>", "\n  Gr\xF6\xDF" "e [h\xF6he=2 m]\n", "UTF-8", nullptr},
        {"<?xml version=\"1.0\" encoding='Utf-8'?>\n<a t=\"\xE2\x82\xAC\">\xC3\xA9</a>", "a [t=\x80] = \xE9\n", "UTF-8", nullptr},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>\xC3\xA9</a>", "a = \xC3\xA9\n", "", nullptr},
        {"<a>\xC3\xA9</a>", "a = \xC3\xA9\n", "", nullptr},
        {utf16(u"<a b=\"\u00E9\">\u20AC</a>", true), "a [b=\xE9] = \x80\n", "UTF-16", nullptr},
        {utf16(u"<a b=\"\u00E9\">\u20AC</a>", false), "a [b=\xE9] = \x80\n", "UTF-16", nullptr},
        {"\xEF\xBB\xBF<a>\n<b>\n\xE4\xB8\xAD</b></a>", nullptr, "", "The character U+4E2D (\xE4\xB8\xAD) has no place in the code page Windows-1252 on line 3"},
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a>\xC3(</a>", nullptr, "", "Bytes that are not UTF-8 text on line 2"},
        {utf16(u"<a>\n\xD800</a>", true), nullptr, "", "Bytes that are not UTF-16 text on line 2"},
    };
    for (const auto& example : cases) {
        TECXMLParser document;
        document.LoadFromText("<old/>");
        if (example.tree) {
            document.LoadFromText(example.text);
            EXPECT_EQ(Dump(*document.Root()), example.tree) << example.text;
            EXPECT_EQ(document.LoadedEncoding(), example.encoding) << example.text;
            // The program's own format, in the code page, reads back to the same tree.
            TECXMLParser again;
            again.LoadFromText(SaveText(document));
            EXPECT_EQ(Dump(*again.Root()), example.tree) << example.text;
            continue;
        }
        try {
            document.LoadFromText(example.text);
            ADD_FAILURE() << "no error for " << example.text;
        } catch (const EParserError& error) {
            EXPECT_STREQ(error.what(), example.error);
        }
        EXPECT_EQ(document.Root()->Count(), 0);
        EXPECT_EQ(document.Root()->Name(), "");
        EXPECT_FALSE(document.LoadedComplete());
    }
}

// Play mode shows a file's text only when it is whole: it is read into a tree of its own,
// which replaces the document's only when the text loads and closes its document element.
TEST(DocumentLoad, AWholeTextReplacesTheTreeAndNoOtherTouchesIt)
{
    const std::string style = "<?xml-stylesheet type=\"text/xsl\" href=\"v.xsl\"?>\r\n";
    const std::string text = std::string(Head) + style + "<a x=\"1\">top\r\n  <b y=\"&lt;2&gt;\">t</b>\r\n  <c>\r\n    <d/>\r\n  </c>\r\n</a>\r\n";
    TECXMLParser loaded;
    loaded.LoadFromText(text);

    TECXMLParser document;
    LoadText(document, "<old><gone/></old>");
    document.SetStyleSheet("old.xsl");
    EventLog log(document);
    // A refusal, a text that stops inside its elements, one that does not load: nothing changes.
    log.allowLoad = false;
    EXPECT_FALSE(document.LoadWholeText(text));
    log.allowLoad = true;
    EXPECT_FALSE(document.LoadWholeText(style + "<a><b/>"));
    EXPECT_FALSE(document.LoadWholeText(style + "<a></a><after/>"));
    EXPECT_FALSE(document.LoadWholeText("\xEF\xBB\xBF<a>\xFF</a>"));
    EXPECT_EQ(Dump(*document.Root()), "old\n  gone\n");
    EXPECT_EQ(document.StyleSheet(), "old.xsl");
    EXPECT_TRUE(document.LoadedComplete());
    EXPECT_EQ(log.events, (Events{"BeforeLoad", "BeforeLoad", "BeforeLoad", "BeforeLoad"}));

    log.events.clear();
    EXPECT_TRUE(document.LoadWholeText(text));
    EXPECT_EQ(log.events, (Events{"BeforeLoad", "OnLoaded"}));
    EXPECT_EQ(Dump(*document.Root()), Dump(*loaded.Root()));
    EXPECT_EQ(document.StyleSheet(), "v.xsl");
    EXPECT_EQ(SaveText(document), SaveText(loaded));

    // The items are the document's own: they report to it and change in its memory.
    TXMLItem* c = document.Root()->Items(1);
    c->New()->SetName("e");
    c->Items(0)->Params().SetValue("z", std::string(5000, 'z'));
    document.Root()->Delete(0);
    EXPECT_EQ(log.events.back(), "Changed a");
    EXPECT_EQ(Dump(*document.Root()), "a [x=1] = top\n  c\n    d [z=" + std::string(5000, 'z') + "]\n    e\n");

    // A long line reads through the fallback, with its second BeforeLoad; a text without a
    // style sheet declaration keeps the reference, as a load does.
    log.events.clear();
    EXPECT_TRUE(document.LoadWholeText("<p>\r\n<q v=\"" + std::string(5000, 'v') + "\"/>\r\n</p>"));
    EXPECT_EQ(log.events, (Events{"BeforeLoad", "BeforeLoad", "OnLoaded"}));
    EXPECT_EQ(document.StyleSheet(), "v.xsl");
    EXPECT_EQ(document.Root()->Items(0)->Params().Values("v").size(), 5000u);

    // A UTF-8 text is converted into the code page where it lies.
    EXPECT_TRUE(document.LoadWholeText("\xEF\xBB\xBF<p v=\"caf\xC3\xA9\">\xE2\x82\xAC</p>"));
    EXPECT_EQ(document.Root()->Params().Values("v"), "caf\xE9");
    EXPECT_EQ(document.Root()->Value(), "\x80");
    EXPECT_EQ(document.LoadedEncoding(), "UTF-8");
}

// Files are read straight into their text, sized from their length: every length reads
// exactly, a file whose length the system gives as 0 reads whole, and a limit holds.
TEST(DocumentLoad, FilesReadWholeWhateverTheirLength)
{
    TempFolder folder;
    for (const size_t size : {size_t{0}, size_t{1}, size_t{16383}, size_t{16384}, size_t{16385}, size_t{100000}}) {
        std::string bytes(size, 'x');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>('a' + i % 26);
        WriteBytes(folder / "f.txt", bytes);
        std::string text = "old";
        std::string reason;
        ASSERT_TRUE(ReadRegularFile(folder / "f.txt", text, reason)) << reason;
        EXPECT_EQ(text, bytes) << size;
        ASSERT_TRUE(ReadSettledFile(folder / "f.txt", text, reason)) << reason;
        EXPECT_EQ(text, bytes) << size;
        if (size > 0) {
            EXPECT_FALSE(ReadRegularFile(folder / "f.txt", text, reason, size - 1));
            EXPECT_EQ(reason, "File too large");
        }
    }
#ifdef __linux__
    // The system's own files say they are empty.
    std::string text;
    std::string reason;
    ASSERT_TRUE(ReadRegularFile("/proc/self/status", text, reason)) << reason;
    EXPECT_TRUE(text.starts_with("Name:") && text.ends_with("\n")) << text.size();
    EXPECT_FALSE(ReadRegularFile("/proc/self/status", text, reason, 10));
    EXPECT_EQ(reason, "File too large");
#endif
}

// A document that keeps its read memory reads each file into the memory of the one
// before when that is large enough: every tree is the one a document of its own reads,
// whether the file grew or shrank, was converted or took the whole-stream pass.
TEST(DocumentLoad, FilesReadIntoKeptMemoryGiveTheTreesOfTheirOwn)
{
    auto lines = [](int count, std::string_view text) {
        std::string out = "<root>\n";
        for (int i = 0; i < count; ++i)
            out += "  <item k=\"" + std::to_string(i) + "\">" + std::string(text) + std::to_string(i) + "</item>\n";
        return out + "</root>\n";
    };
    std::string oneLine = "<a>";
    for (int i = 0; i < 400; ++i)
        oneLine += "<b k=\"" + std::to_string(i) + "\">t</b>";
    oneLine += "</a>";
    const std::string files[] = {
        lines(5000, "first"),
        lines(3, "short"),
        "<x/>",
        lines(9000, "longer"),
        "\xEF\xBB\xBF" + lines(20, "caf\xC3\xA9 "),
        oneLine,
        "<unclosed><b>",
        lines(1, "last"),
    };
    TempFolder folder;
    TECXMLParser kept;
    const TECXMLParser::TKeepReadMemory keep(kept);
    for (const std::string& text : files) {
        WriteBytes(folder / "f.xml", text);
        TECXMLParser own;
        own.LoadFromFile(folder / "f.xml");
        kept.LoadFromFile(folder / "f.xml");
        EXPECT_EQ(Dump(*kept.Root()), Dump(*own.Root())) << text.substr(0, 60);
        EXPECT_EQ(kept.LoadedEncoding(), own.LoadedEncoding());
        EXPECT_EQ(kept.LoadedComplete(), own.LoadedComplete());
    }
}

// A document big enough to be cut into tokens on a thread of its own reads as its parts
// read alone, loaded from a file or a text. The fallback's second BeforeLoad is raised on
// the loading thread, with what it refuses or changes handled as in a small document, and
// an error names its line.
TEST(DocumentLoad, ABigDocumentReadsAsItsPartsDo)
{
    // A tag of more entries than the thread hands on cut, and a part of every other shape.
    std::string wide = "  <wide";
    for (int i = 0; i < 9000; ++i)
        wide += "\r\n    e" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    wide += "/>\r\n";
    const std::string part = "  <group n=\"1\" t=\"&lt;x&gt;\">\r\n    <item a=\"1\" b='2'\r\n      c=\"3\"/>\r\n"
                             "    <text>one\r\ntwo &amp; three<br/>four</text>\r\n    <!-- a comment -->\r\n"
                             "    <![CDATA[ raw <b> ]]>\r\n  </group>\r\n";
    const std::string longLine = "  <long>" + std::string(6000, 'w') + "</long>\r\n";
    auto partsOf = [](const std::string& text) {
        TECXMLParser alone;
        alone.LoadFromText("<a>\r\n" + text + "</a>\r\n");
        const std::string dump = Dump(*alone.Root());
        return dump.substr(dump.find('\n') + 1);
    };
    std::string parts;
    std::string partsDump;
    const std::string partDump = partsOf(part);
    while (parts.size() < (size_t{9} << 20)) {
        parts += part;
        partsDump += partDump;
    }
    const std::string head = std::string(Head) + "<a>\r\n" + wide;
    const std::string text = head + parts + "</a>\r\n";
    ASSERT_GT(text.size(), size_t{9} << 20);
    const std::string dump = "a\n" + partsOf(wide) + partsDump;

    TempFolder folder;
    WriteBytes(folder / "big.xml", text);
    TECXMLParser document;
    EventLog log(document);
    document.LoadFromFile(folder / "big.xml");
    EXPECT_EQ(Dump(*document.Root()), dump);
    EXPECT_TRUE(document.LoadedComplete());
    EXPECT_TRUE(document.LoadWholeText(text));
    EXPECT_EQ(Dump(*document.Root()), dump);
    EXPECT_EQ(log.events, (Events{"BeforeLoad", "OnLoaded", "BeforeLoad", "OnLoaded"}));

    const std::string withLongLine = head + parts + longLine + parts + "</a>\r\n";
    const std::string longDump = "a\n" + partsOf(wide) + partsDump + partsOf(longLine) + partsDump;
    WriteBytes(folder / "long.xml", withLongLine);
    std::vector<std::thread::id> threads;
    int calls = 0;
    for (const char* secondLoad : {"allows", "refuses", "clears"}) {
        SCOPED_TRACE(secondLoad);
        TECXMLParser fallback;
        calls = 0;
        threads.clear();
        fallback.BeforeLoad = [&](TECXMLParser* sender, bool& allow) {
            threads.push_back(std::this_thread::get_id());
            if (++calls == 2 && secondLoad == std::string("refuses"))
                allow = false;
            if (calls == 2 && secondLoad == std::string("clears"))
                sender->Root()->Clear();
        };
        fallback.LoadFromFile(folder / "long.xml");
        EXPECT_EQ(Dump(*fallback.Root()), secondLoad == std::string("refuses") ? "a\n" + partsOf(wide) + partsDump : longDump);
        EXPECT_EQ(threads, std::vector<std::thread::id>(2, std::this_thread::get_id()));
    }

    const std::string after = text + "<after/>\r\n";
    WriteBytes(folder / "after.xml", after);
    const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
    EXPECT_EQ(ErrorOf<EParserError>([&] { document.LoadFromFile(folder / "after.xml"); }),
              "Tag after the end of the document element on line " + std::to_string(lines));
}
