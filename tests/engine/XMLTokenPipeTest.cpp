#include <chrono>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ECXMLTokenizer.h"
#include "EngineTestSupport.h"
#include "Exceptions.h"
#include "XMLTokenPipe.h"

namespace {

using Lines = std::vector<std::string>;

// Every token as "kind text @line", a usual tag with its name and entries (one of more
// than `usualEntries` entries as a tag of no usual shape), then "end"; or the error.
// `read` counts the tokens taken so far. A slow reader pauses at every 16th token, long
// enough for the tokenizer's thread to wait for it asleep.
template <class Tokens>
Lines Describe(Tokens& tokens, size_t usualEntries, int* read = nullptr, bool slow = false)
{
    Lines lines;
    std::string scratch;
    try {
        for (; tokens.Token() != xtEnd; tokens.NextToken()) {
            std::string line = std::to_string(tokens.Token()) + " " + std::string(tokens.TokenText(scratch)) + " @" +
                               std::to_string(tokens.SourceLine());
            if (tokens.UsualTag() && tokens.TagEntryCount() <= usualEntries) {
                line += " name " + std::string(tokens.TagName()) + " bytes " + std::to_string(tokens.TagEntryBytes());
                for (size_t i = 0; i < tokens.TagEntryCount(); ++i) {
                    const TXMLParamEntry& entry = tokens.TagEntries()[i];
                    line += " [" + std::string(entry.name) + "|" + std::string(entry.value) + (entry.ampersand ? "|&]" : "]");
                }
            }
            lines.push_back(line);
            if (read)
                ++*read;
            if (slow && lines.size() % 16 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        lines.push_back(tokens.NextToken() == xtEnd ? "end" : "a token after the end");
    } catch (const EParserError& error) {
        lines.push_back(error.what());
    }
    return lines;
}

// Tags of up to a dozen entries, some decoded, texts with line end pairs, comments and
// sections, every few lines.
std::string TagsDocument(unsigned seed, size_t size)
{
    std::mt19937 random(seed);
    auto word = [&](size_t length) { return enginetest::RandomWord(random, length); };
    std::string text = "<?xml version=\"1.0\"?>\r\n<root>\r\n";
    while (text.size() < size) {
        switch (random() % 5) {
        case 0:
        case 1: {
            text += "  <" + word(1 + random() % 8);
            const unsigned entries = random() % 13;
            for (unsigned i = 0; i < entries; ++i)
                text += (random() % 7 == 0 ? "\r\n    " : " ") + word(1 + random() % 5) + "=\"" + word(random() % 20) +
                        (random() % 5 == 0 ? "&amp;" : "") + "\"";
            text += random() % 2 ? "/>\r\n" : ">";
            break;
        }
        case 2: text += word(1 + random() % 60) + "\r\n" + word(random() % 30) + " &lt; </e>\r\n"; break;
        case 3: text += "<!-- " + word(random() % 80) + "\n -->\r\n"; break;
        default: text += "<![CDATA[" + word(random() % 40) + "]]><x\ty='1' />\n"; break;
        }
    }
    return text + "</root>\r\n";
}

// Ring sizes from the smallest, where the tokenizer's thread waits at every token, to the
// one big documents get; in one the entries run short long before the slots.
struct TRing {
    size_t slots;
    size_t entries;
};
constexpr TRing Rings[] = {{2, 4}, {4, 16}, {64, 256}, {256, 64}, {8192, 32768}};

Lines Piped(const std::string& input, TRing ring, TXMLTokenizer::TWidening widening = {}, int* read = nullptr,
            bool slow = false)
{
    std::istringstream stream(input);
    TXMLTokenizer tokenizer(stream, std::move(widening));
    TXMLTokenPipe pipe(tokenizer, ring.slots, ring.entries);
    return Describe(pipe, ring.entries / 4, read, slow);
}

Lines Direct(const std::string& input, size_t usualEntries, TXMLTokenizer::TWidening widening = {}, int* read = nullptr)
{
    std::istringstream stream(input);
    TXMLTokenizer tokenizer(stream, std::move(widening));
    return Describe(tokenizer, usualEntries, read);
}

TEST(XMLTokenPipe, HandsOnTheTokenizersTokensLinesAndErrors)
{
    const std::string longLine(5000, 'x');
    const std::string inputs[] = {
        TagsDocument(1, 40000),
        TagsDocument(2, 200000),
        "",
        "<a>only a start",
        "<a>\r\n  <b k=\"1\"/>\r\n" + longLine + "\r\n</a>",
        std::string("<a>\r\n<b/>t\0<c/></a>", 19),
        "<a " + std::string(3000, 'k') + "=\"v\"\n x=\"&quot;\"/>",
    };
    for (const std::string& input : inputs) {
        for (const TRing ring : Rings) {
            SCOPED_TRACE(input.substr(0, 40) + " in a ring of " + std::to_string(ring.slots));
            const Lines direct = Direct(input, ring.entries / 4);
            EXPECT_EQ(Piped(input, ring), direct);
            if (&input == &inputs[0]) {
                EXPECT_EQ(Piped(input, ring, {}, nullptr, true), direct);
            }
        }
    }
    // The documents have tags of every shape, and the smaller rings hand some of their
    // usual tags on as others.
    const Lines tokens = Direct(inputs[1], 12);
    EXPECT_GT(tokens.size(), 3000u);
    EXPECT_NE(tokens, Direct(inputs[1], 3));
    EXPECT_EQ(Direct(inputs[4], 12).back(), "Line too long on line 3");
}

// The widening is asked for on the reader's thread, with every token before the long line
// read, and its answer or exception goes where it goes without the pipe.
TEST(XMLTokenPipe, TheReaderDecidesTheWideningAtItsPlace)
{
    std::string items;
    for (int i = 0; i < 2000; ++i)
        items += "  <i n=\"" + std::to_string(i) + "\">v</i>\r\n";
    const std::string input = "<a>\r\n" + items + "  <t>" + std::string(6000, 'w') + "</t>\r\n" + items + "</a>\r\n";

    for (const bool widen : {true, false}) {
        int directRead = 0;
        int directAsked = -1;
        const Lines direct = Direct(input, 12, [&] { directAsked = directRead; return widen; }, &directRead);
        ASSERT_EQ(direct.back(), widen ? "end" : "Line too long on line 2002");
        for (const TRing ring : Rings) {
            SCOPED_TRACE(std::string(widen ? "widened" : "refused") + " in a ring of " + std::to_string(ring.slots));
            int read = 0;
            int asked = -1;
            std::thread::id thread;
            const Lines piped = Piped(input, ring, [&] {
                asked = read;
                thread = std::this_thread::get_id();
                return widen;
            }, &read);
            EXPECT_EQ(piped, direct);
            EXPECT_EQ(asked, directAsked);
            EXPECT_EQ(thread, std::this_thread::get_id());
        }
    }

    // A widening that throws leaves the pipe at once, on the reader's thread.
    for (const TRing ring : Rings) {
        std::istringstream stream(input);
        TXMLTokenizer tokenizer(stream, [] () -> bool { throw std::runtime_error("refused by the handler"); });
        TXMLTokenPipe pipe(tokenizer, ring.slots, ring.entries);
        int tokens = 0;
        try {
            while (pipe.NextToken() != xtEnd)
                ++tokens;
            ADD_FAILURE() << "the widening's exception did not come through";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "refused by the handler");
        }
        EXPECT_EQ(tokens, 2000 * 3);
    }
}

// A reader that stops early, as the loader does at an error of its own, is not kept
// waiting for the tokenizer's thread, wherever that is.
TEST(XMLTokenPipe, AReaderMayStopAtAnyToken)
{
    const std::string input = TagsDocument(3, 300000);
    for (const TRing ring : Rings) {
        for (const int stopAt : {0, 1, 5, 3000}) {
            std::istringstream stream(input);
            TXMLTokenizer tokenizer(stream, [] { return true; });
            TXMLTokenPipe pipe(tokenizer, ring.slots, ring.entries);
            for (int i = 0; i < stopAt; ++i)
                ASSERT_NE(pipe.NextToken(), xtEnd);
        }
    }
}

} // namespace
