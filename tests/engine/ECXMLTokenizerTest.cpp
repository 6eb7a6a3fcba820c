#include <algorithm>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "ECXMLTokenizer.h"
#include "EngineTestSupport.h"
#include "Exceptions.h"
#include "XMLStreamReading.h"

namespace {

using Tokens = std::vector<std::string>;

// Every token up to xtEnd as "kind text", with "@line" when asked; or the error message.
// With `widen`, the chunked tokenizer reads on past a line too long for its chunks, and
// with `memory` it reads into that memory.
template <class Tokenizer>
Tokens Tokenize(std::istream& stream, bool withLines = false, bool widen = false, TXMLTextMemory* memory = nullptr)
{
    static const std::map<TXMLToken, std::string> Kinds{
        {xtComment, "comment"}, {xtDeclaration, "declaration"}, {xtText, "text"},
        {xtStartTag, "start"}, {xtEndTag, "endtag"}, {xtEmptyTag, "empty"}, {xtCData, "cdata"}};
    Tokens tokens;
    try {
        Tokenizer tokenizer = [&] {
            if constexpr (std::is_same_v<Tokenizer, TXMLTokenizer>)
                return TXMLTokenizer(stream, widen ? TXMLTokenizer::TWidening([] { return true; }) : TXMLTokenizer::TWidening(), memory);
            else
                return Tokenizer(stream);
        }();
        for (; tokenizer.Token() != xtEnd; tokenizer.NextToken()) {
            tokens.push_back(Kinds.at(tokenizer.Token()) + " " + tokenizer.TokenString());
            if (withLines)
                tokens.back() += " @" + std::to_string(tokenizer.SourceLine());
        }
        EXPECT_EQ(tokenizer.NextToken(), xtEnd);
    } catch (const EParserError& error) {
        tokens.push_back(error.what());
    }
    return tokens;
}

template <class Tokenizer>
Tokens Tokenize(const std::string& input, bool withLines = false)
{
    std::istringstream stream(input);
    return Tokenize<Tokenizer>(stream, withLines);
}

// Hands out its text in small pieces and can neither seek nor tell its size, like a pipe.
class TPipeBuffer : public std::streambuf {
public:
    explicit TPipeBuffer(std::string text) : FText(std::move(text)) {}

protected:
    int_type underflow() override
    {
        if (FAt >= FText.size())
            return traits_type::eof();
        char* const piece = FText.data() + FAt;
        const size_t size = std::min<size_t>(1000, FText.size() - FAt);
        setg(piece, piece, piece + size);
        FAt += size;
        return traits_type::to_int_type(*piece);
    }

private:
    std::string FText;
    size_t FAt = 0;
};

TEST(XMLTokenizer, ClassifiesTagsByTheirText)
{
    const std::string input =
        "<?xml version=\"1.0\"?>\n<?XML-STYLESHEET href=\"s.xsl\"?><!-- a > b -->"
        "<!DOCTYPE x><![CDATA[ p > q ]]><?pi x?><a k=\"1\"></a/></a><b/></></a ><a k=\"x>y\"/>";
    // A comment runs to its "-->", a CDATA section to its "]]>", a document type and a
    // processing instruction are passed over like comments, and a ">" in a quoted value
    // ends no tag. (Each of these once ended at the first ">", and the document type and
    // instruction were start tags.)
    const Tokens expected{
        "declaration <?xml version=\"1.0\"?>", "declaration <?XML-STYLESHEET href=\"s.xsl\"?>",
        "comment <!-- a > b -->", "comment <!DOCTYPE x>", "cdata <![CDATA[ p > q ]]>",
        "comment <?pi x?>", "start <a k=\"1\">", "empty </a/>", "endtag </a>", "empty <b/>", "endtag </>",
        "endtag </a >", "empty <a k=\"x>y\"/>"};
    EXPECT_EQ(Tokenize<TXMLTokenizer>(input), expected);
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>(input), expected);
}

TEST(XMLTokenizer, TextRunsLoseOuterBlanksAndLineEndPairs)
{
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a>  x  y  </a>"), (Tokens{"start <a>", "text x  y", "endtag </a>"}));
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a>a\r\n  b\r\n</a>"), (Tokens{"start <a>", "text a  b", "endtag </a>"}));
    EXPECT_EQ(Tokenize<TXMLTokenizer>("a\n  b"), (Tokens{"text a\n  b"}));
    EXPECT_EQ(Tokenize<TXMLTokenizer>("a\n\rb c\rd"), (Tokens{"text ab c\rd"}));
    // A tag keeps its line breaks, which separate its parts as blanks do (they were once
    // taken out, gluing the lines together).
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a\r\n b=\"\xE9\"\r\n>"), (Tokens{"start <a\r\n b=\"\xE9\"\r\n>"}));
}

// Markup that is not an element, however it is laid out and wherever a chunk of the
// chunked tokenizer ends in it, gives one token, the same in both tokenizers.
TEST(XMLTokenizer, DeclarationsCommentsAndSectionsAreOneTokenAcrossChunks)
{
    const std::pair<std::string, std::string> cases[] = {
        {"<!DOCTYPE x [ <!ELEMENT a (#PCDATA)> <!-- > --> ]>", "comment"},
        {"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0//EN\" \"x>.dtd\">", "comment"},
        {"<!DOCTYPE r [\n<!ENTITY e \"]>\">\n<!ATTLIST a b CDATA '>'>\n]>", "comment"},
        {"<!-- <a> -- > < -->", "comment"},
        {"<!---->", "comment"},
        {"<![CDATA[<a>]]]]>", "cdata"},
        {"<?php echo '>'; ?>", "comment"},
        {"<a\n  x='>'\n  y=\"<\"\n/>", "empty"},
    };
    for (const auto& [markup, kind] : cases) {
        for (size_t shift = 0; shift < 24; ++shift) {
            // Lines of text up to just before the chunk's end, then the markup across it.
            std::string input = "<r>\n";
            while (input.size() + 80 < TXMLTokenizer::ChunkSize - shift)
                input += std::string(70, 't') + "\n";
            input += std::string(TXMLTokenizer::ChunkSize - shift - input.size() - 1, 'u') + "\n";
            const size_t at = input.size();
            input += markup + "<e/></r>";
            const Tokens chunked = Tokenize<TXMLTokenizer>(input);
            ASSERT_GE(chunked.size(), 5u) << markup << " at " << at;
            EXPECT_EQ(chunked[chunked.size() - 3], kind + " " + markup) << "at " << at;
            EXPECT_EQ(chunked, Tokenize<TXMLLargeTokenizer>(input)) << markup << " at " << at;
        }
    }
    // Without its end, the rest of the input is one text run.
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a/><!-- open > "), (Tokens{"empty <a/>", "text <!-- open >"}));
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<![CDATA[ x"), (Tokens{"text <![CDATA[ x"}));
    // That run is no tag: a NUL byte in it ends the input.
    EXPECT_EQ(Tokenize<TXMLTokenizer>(std::string("<a x=\"1>\0<b/>", 12)), (Tokens{"text <a x=\"1>"}));
}

// Each token names the line it begins on: the line feeds inside tags, comments and text
// runs count too (they once did not, and errors after a multi-line tag named a line too
// early).
TEST(XMLTokenizer, SourceLineIsTheLineATokenBeginsOn)
{
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a\n b='1'>\ntext\nmore \n\n</a>\n", true),
              (Tokens{"start <a\n b='1'> @1", "text text\nmore @3", "endtag </a> @6"}));
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a\r\n\tb = \"1\"\r\n\tc='2'\r\n/>\r\n<b/>", true),
              (Tokens{"empty <a\r\n\tb = \"1\"\r\n\tc='2'\r\n/> @1", "empty <b/> @5"}));
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<!DOCTYPE a [\n<!ELEMENT a ANY>\n]>\n<!--\n-->\n<a/>", true),
              (Tokens{"comment <!DOCTYPE a [\n<!ELEMENT a ANY>\n]> @1", "comment <!--\n--> @4", "empty <a/> @6"}));
}

TEST(XMLTokenizer, EveryCodeFromOneToThirtyTwoIsABlankAcrossChunks)
{
    // 3000 lines of every blank code, far more than one chunk: each line feed counts,
    // wherever a refill falls.
    std::string blanks;
    for (int line = 0; line < 3000; ++line) {
        for (int code = 1; code <= 32; ++code)
            if (code != '\n')
                blanks += static_cast<char>(code);
        blanks += '\n';
    }
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a>" + blanks + "<b/>" + blanks, true),
              (Tokens{"start <a> @1", "empty <b/> @3001"}));
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>("<a>" + blanks + "<b/>", true),
              (Tokens{"start <a> @1", "empty <b/> @3001"}));
    // Runs of every length with line feeds anywhere in them, up to the end of the input;
    // half of them as long as the one before, as siblings' indents are, or one longer.
    std::mt19937 random(5);
    std::string input;
    Tokens expected;
    int line = 1;
    int length = 0;
    for (int tag = 0; tag < 2000; ++tag) {
        length = random() % 2 ? length + static_cast<int>(random() % 4 == 0) : static_cast<int>(random() % 41);
        for (int run = length; run > 0; --run) {
            const char blank = " \t\r\n"[random() % 4];
            line += blank == '\n';
            input += blank;
        }
        input += "<e/>";
        expected.push_back("empty <e/> @" + std::to_string(line));
    }
    EXPECT_EQ(Tokenize<TXMLTokenizer>(input, true), expected);
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>(input, true), expected);
    // Bytes above 127 are text, the code page's no-break space among them.
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a>\n \xA0\x80 \n</a>"), (Tokens{"start <a>", "text \xA0\x80", "endtag </a>"}));
}

TEST(XMLTokenizer, InputEndsAtNulByteOutsideTagsAndAtUnclosedTag)
{
    const Tokens untilNul{"start <a>", "text x", "endtag </a>"};
    EXPECT_EQ(Tokenize<TXMLTokenizer>(std::string("<a>x</a>\n\0<b/>\n", 15)), untilNul);
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>(std::string("<a>x</a>\n\0<b/>\n", 15)), untilNul);
    EXPECT_EQ(Tokenize<TXMLTokenizer>(std::string("<a\0b>c", 6)), (Tokens{std::string("start <a\0b>", 11), "text c"}));

    // A "<" without ">" makes the rest of the input one text run.
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a>x</a"), (Tokens{"start <a>", "text x", "text </a"}));
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>("<a>\nx</a \n"), (Tokens{"start <a>", "text x", "text </a"}));
    std::string input = "<a>\n";
    Tokens expected{"start <a>"};
    for (int i = 0; i < 1000; ++i) {
        input += "<c/>\n";
        expected.push_back("empty <c/>");
    }
    std::string tail = "<b\n";
    for (int i = 0; i < 100; ++i)
        tail += "attribute" + std::to_string(i) + "=\"value\"\n";
    input += tail; // starts in the first chunk and runs over a refill to the end
    tail.pop_back();
    expected.push_back("text " + tail);
    EXPECT_EQ(Tokenize<TXMLTokenizer>(input), expected);
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>(input), expected);
}

TEST(XMLTokenizer, EmptyStreamGivesEndAtOnce)
{
    EXPECT_EQ(Tokenize<TXMLTokenizer>(""), Tokens{});
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>(""), Tokens{});
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>(" \r\n "), Tokens{});
}

TEST(XMLTokenizer, FullBufferWithoutLineFeedFailsAsLineTooLong)
{
    const std::string line = "<a>" + std::string(4088, 'x') + "</a>";
    ASSERT_EQ(line.size(), 4095u);
    EXPECT_EQ(Tokenize<TXMLTokenizer>(line), (Tokens{"start <a>", "text " + std::string(4088, 'x'), "endtag </a>"}));
    // The whole-stream tokenizer takes a stream without a line feed as one chunk.
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>(line + "\n"), (Tokens{"start <a>", "text " + std::string(4088, 'x'), "endtag </a>"}));

    const std::string longLine(5000, 'x');
    EXPECT_EQ(Tokenize<TXMLTokenizer>(longLine), Tokens{"Line too long on line 1"});
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>(longLine), Tokens{"text " + longLine});
    EXPECT_EQ(Tokenize<TXMLTokenizer>("<a>\n\n" + longLine), (Tokens{"start <a>", "Line too long on line 3"}));
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>("<a>\n\n" + longLine), (Tokens{"start <a>", "text " + longLine}));
}

// Lines of random length whose line ends fall inside tags and text runs, so that every
// chunk boundary cuts a token.
// The tokens, a line each.
std::string Joined(const Tokens& tokens)
{
    std::string text;
    for (const std::string& token : tokens)
        text += token + "\n";
    return text;
}

std::string StraddlingDocument(unsigned seed, size_t size)
{
    std::mt19937 random(seed);
    auto word = [&](size_t length) { return enginetest::RandomWord(random, length); };
    static constexpr const char* LineEnds[] = {"\r\n", "\n", "\n\r", "\r\n  "};
    auto lineEnd = [&] { return std::string(LineEnds[random() % 4]); };
    std::string text = "<?xml version=\"1.0\"?>\r\n<root>";
    while (text.size() < size) {
        switch (random() % 4) {
        case 0: text += "<" + word(3) + lineEnd() + " k=\"" + word(random() % 200) + "\"" + lineEnd() + ">"; break;
        case 1: text += word(1 + random() % 150) + lineEnd() + word(1 + random() % 150) + " "; break;
        case 2: text += "<!-- " + word(random() % 100) + lineEnd() + " -->"; break;
        default: text += "</" + word(2) + lineEnd() + "><e" + lineEnd() + "/>" + lineEnd(); break;
        }
    }
    return text + "</root>\r\n";
}

TEST(XMLTokenizer, ChunkBoundariesNeverShowInTokens)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string input = StraddlingDocument(seed, 30000);
        const Tokens chunked = Tokenize<TXMLTokenizer>(input, true);
        EXPECT_GT(chunked.size(), 200u);
        EXPECT_EQ(chunked, Tokenize<TXMLLargeTokenizer>(input, true));
    }
}

TEST(XMLTokenizer, StreamThatCannotTellItsSizeGivesTheSameTokens)
{
    const std::string input = StraddlingDocument(7, 150000);
    const Tokens expected = Tokenize<TXMLTokenizer>(input, true);
    ASSERT_GT(expected.size(), 1000u);
    TPipeBuffer chunkedPipe(input);
    std::istream chunkedStream(&chunkedPipe);
    EXPECT_EQ(Tokenize<TXMLTokenizer>(chunkedStream, true), expected);
    TPipeBuffer largePipe(input);
    std::istream largeStream(&largePipe);
    EXPECT_EQ(Tokenize<TXMLLargeTokenizer>(largeStream, true), expected);
}

// A big stream is cut into tokens while it is still being read: neither the chunks nor
// the place the reading has reached show in the tokens, whether the stream says it is as
// long as it is or longer, and a line too long for the chunks widens the reading to the
// rest of it. A stream that holds more than it says is not read that way.
TEST(XMLTokenizer, ABigStreamCutWhileItIsReadGivesTheSameTokens)
{
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::string input = StraddlingDocument(seed, size_t{3} << 19);
        // A line too long for the chunks, from near the start to late.
        const size_t tagEnd = input.find('>', (seed - 1) * input.size() / 3);
        input.insert(tagEnd + 1, "<long>" + std::string(6000, 'w') + "</long>");
        const Tokens expected = Tokenize<TXMLLargeTokenizer>(input, true);
        ASSERT_GT(expected.size(), 10000u);
        for (const size_t told : {input.size(), input.size() + 100000}) {
            for (const bool slowly : {false, true}) {
                enginetest::TToldText buffer(input, told, std::string::npos, slowly);
                std::istream stream(&buffer);
                // Memory holding bytes that would show as tokens of their own, should any
                // be read before the stream's bytes reach them.
                TXMLTextMemory memory{std::make_unique<char[]>(told + 1), told + 1};
                std::fill_n(memory.text.get(), memory.capacity, '<');
                const Tokens tokens = Tokenize<TXMLTokenizer>(stream, true, true, &memory);
                EXPECT_TRUE(enginetest::SameLines(Joined(tokens), Joined(expected))) << told << (slowly ? " slowly" : "");
            }
        }
        enginetest::TToldText longer(input, input.size() - 100000, std::string::npos, true);
        std::istream stream(&longer);
        EXPECT_THROW(Tokenize<TXMLTokenizer>(stream, true, true), TXMLStreamGrew);
    }
}

TEST(XMLTokenizer, TokenOfManyLinesLargerThanTheBufferIsKeptWhole)
{
    std::string comment = "<!--";
    while (comment.size() < 9000)
        comment += "\n a line of comment";
    comment += " -->";
    const std::string input = "<a>\n" + comment + "\n<b/></a>";
    const Tokens chunked = Tokenize<TXMLTokenizer>(input, true);
    ASSERT_EQ(chunked.size(), 4u);
    EXPECT_EQ(Tokenize<TXMLTokenizer>(input)[1], "comment " + comment);
    EXPECT_EQ(chunked, Tokenize<TXMLLargeTokenizer>(input, true));

    // Past the buffer, the last line of such a token still may not exceed a chunk.
    const std::string longTail = "<a>\n<!-- x\n" + std::string(9000, 'y') + " -->";
    EXPECT_EQ(Tokenize<TXMLTokenizer>(longTail), (Tokens{"start <a>", "Line too long on line 2"}));

    // After such a token a line too long for a chunk still fails.
    const std::string before = "<a>\n" + comment + "\n<b>\n";
    const auto line = 1 + std::count(before.begin(), before.end(), '\n');
    EXPECT_EQ(Tokenize<TXMLTokenizer>(before + std::string(5000, 'y') + "\n</b></a>").back(),
              "Line too long on line " + std::to_string(line));
}

} // namespace
