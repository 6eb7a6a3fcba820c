// Loads arbitrary bytes as a document, then does with the tree what a user does: writes
// it in both layouts, reads the text back, writes again and finds items by their paths.
// Also walks the same bytes with both tokenizers, which must agree on every token.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CodePage.h"
#include "ECXMLParser.h"
#include "ECXMLTokenizer.h"
#include "Exceptions.h"
#include "XMLItemPath.h"

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_load: %s\n", what);
        std::abort();
    }
}

// Blanks, tag characters and quotes in a name are written as they stand, so a tree
// holding such a name cannot read back as itself.
bool PlainName(std::string_view name, bool mayBeEmpty)
{
    if (name.empty())
        return mayBeEmpty;
    for (char c : name)
        if (static_cast<unsigned char>(c) <= 32 || std::string_view("<>/=\"'").find(c) != std::string_view::npos)
            return false;
    return true;
}

struct TTreeFacts {
    std::vector<TXMLItem*> items; // document order
    TXMLItem* deepest = nullptr;
    size_t indentBytes = 0; // blanks the indented layout writes
    bool plain = true;      // plain names, parameters that read back as themselves
};

TTreeFacts Survey(TXMLItem* root)
{
    TTreeFacts facts;
    size_t deepest = 0;
    std::vector<std::pair<TXMLItem*, size_t>> pending{{root, 1}};
    while (!pending.empty()) {
        auto [item, depth] = pending.back();
        pending.pop_back();
        facts.items.push_back(item);
        if (depth > deepest) {
            deepest = depth;
            facts.deepest = item;
        }
        facts.indentBytes += 4 * (depth + 1);
        // A name that begins like a declaration or a comment reads back as one.
        const std::string head = UpperCase(std::string_view(item->Name()).substr(0, 4));
        facts.plain = facts.plain && PlainName(item->Name(), true) && !head.starts_with("?XML") && !head.starts_with("!--");
        // A value ending in a blank ("&#10;" read at a text's end) is written with the
        // blank as it is, which the next reading trims off with the text's trailing blanks.
        const std::string_view value = item->Value();
        facts.plain = facts.plain && (value.empty() || static_cast<unsigned char>(value.back()) > 32);
        // An entry without "=" is written as ' =""', which reads back as a value of two
        // quotes; a repeated name takes the first one's value, decoded once more.
        const TXMLParams& params = item->Params();
        std::set<std::string> names;
        for (int i = 0; i < params.Count(); ++i)
            facts.plain = facts.plain && params.Strings(i).find('=') != std::string::npos
                && PlainName(params.Names(i), true) && names.insert(UpperCase(params.Names(i))).second;
        for (int i = item->Count() - 1; i >= 0; --i)
            pending.emplace_back(item->Items(i), depth + 1);
    }
    return facts;
}

std::string Save(TECXMLParser& document, bool crLf)
{
    document.SetCrLfInAsString(crLf);
    std::ostringstream out;
    document.SaveToStream(out, false);
    return out.str();
}

// Reads as LoadFromFile does: a line too long for the chunked tokenizer is read again
// with the whole-stream one. False when the text does not load.
bool Load(TECXMLParser& document, const std::string& text)
{
    try {
        document.LoadFromText(text);
    } catch (const Exception&) {
        Check(!document.LoadedComplete(), "a failed load counts as complete");
        return false;
    }
    return true;
}

// Text written from a tree of plain names must load, and once read, written, read and
// written again it must come out the same.
void CheckRoundTrip(TECXMLParser& original, bool crLf, bool plain)
{
    TECXMLParser second;
    const bool secondLoaded = Load(second, Save(original, crLf));
    Check(secondLoaded || !plain, "written text does not load");
    const std::string again = Save(second, crLf);
    TECXMLParser third;
    const bool thirdLoaded = Load(third, again);
    // The style sheet reference is written as it stands too: a ">" in it ends its
    // declaration early and leaves the rest as text before the document element.
    if (!Survey(second.Root()).plain || second.StyleSheet().find('>') != std::string::npos)
        return;
    Check(thirdLoaded, "text written after a read does not load");
    Check(Save(third, crLf) == again, "write, read, write is not stable");
}

void CheckPaths(TECXMLParser& document, const TTreeFacts& facts)
{
    const TXMLItem* picks[] = {facts.items.front(), facts.items[facts.items.size() / 2], facts.items.back(), facts.deepest};
    for (const TXMLItem* item : picks) {
        const std::string path = ItemFullPath(item);
        const TXMLItem* found = FindItemByPath(&document, path);
        Check(found && ItemFullPath(found) == path, "an item's own path does not find it");
        FindItemByPath(&document, JoinItemPath(path, "x"));
        FindItemByPath(&document, ItemPathOf(path));
        FindItemByPath(&document, path.substr(0, path.size() / 2));
    }
}

// A tag the tokenizer cut while reading it must give the name and parameters that the
// rules for any tag text give.
void CheckUsualTag(const TXMLTokenizer& tokenizer)
{
    const std::string text = tokenizer.TokenString();
    Check(tokenizer.TagName() == TagName(text), "a usual tag's name differs from its text's");
    std::vector<std::string> expected;
    for (size_t i = 0; i < tokenizer.TagEntryCount(); ++i) {
        const TXMLParamEntry& entry = tokenizer.TagEntries()[i];
        for (size_t j = 0; j < i; ++j)
            if (SameText(tokenizer.TagEntries()[j].name, entry.name))
                return; // a repeated name takes the by-name rules
        const std::string value = DecodeParamValue(entry.value);
        if (!value.empty())
            expected.push_back(std::string(entry.name) + "=" + value);
    }
    TXMLParams params;
    ParseParams(text, params);
    std::vector<std::string> actual;
    for (int i = 0; i < params.Count(); ++i)
        actual.emplace_back(params.Strings(i));
    Check(actual == expected, "a usual tag's entries differ from its text's");
}

// The token kinds and texts, or nothing when the tokenizer gave up on a long line.
template <class Tokenizer>
std::vector<std::pair<TXMLToken, std::string>> Tokens(const std::string& input, bool& failed)
{
    std::vector<std::pair<TXMLToken, std::string>> tokens;
    std::istringstream in(input);
    failed = false;
    try {
        Tokenizer tokenizer(in);
        for (TXMLToken token = tokenizer.Token(); token != xtEnd; token = tokenizer.NextToken()) {
            tokens.emplace_back(token, tokenizer.TokenString());
            if (tokenizer.UsualTag())
                CheckUsualTag(tokenizer);
        }
    } catch (const EParserError&) {
        failed = true;
    }
    return tokens;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);

    bool chunkedFailed = false;
    bool largeFailed = false;
    const auto chunked = Tokens<TXMLTokenizer>(input, chunkedFailed);
    const auto large = Tokens<TXMLLargeTokenizer>(input, largeFailed);
    Check(chunkedFailed || largeFailed || chunked == large, "the two tokenizers disagree");
    // The fallback goes on from a long line, so what came before it must be the same.
    Check(!chunkedFailed || largeFailed || std::equal(chunked.begin(), chunked.end(), large.begin(), large.begin() + std::min(chunked.size(), large.size())),
          "the tokens before a long line differ");

    // A failed load ("Line too long" in both passes, or text after the document element)
    // keeps the tree as far as it was read.
    TECXMLParser document;
    Load(document, input);
    if (chunkedFailed) {
        TECXMLParser whole;
        std::istringstream in(input);
        try {
            whole.Root()->LoadLargeFromStream(in);
        } catch (const Exception&) {
        }
        Check(Survey(whole.Root()).items.size() == Survey(document.Root()).items.size() && Save(whole, false) == Save(document, false),
              "the fallback's tree is not the whole-stream load's");
    }

    // A whole text, read where it lies, that replaces the tree gives the tree a load gives.
    TECXMLParser replaced;
    if (replaced.LoadWholeText(input))
        Check(document.LoadedComplete() && Save(replaced, false) == Save(document, false), "a whole text reads otherwise than a load");

    const TTreeFacts facts = Survey(document.Root());
    CheckPaths(document, facts);
    CheckRoundTrip(document, false, facts.plain);
    // The indented layout grows with the square of the depth; keep deep trees affordable.
    if (facts.indentBytes <= (size_t(1) << 24))
        CheckRoundTrip(document, true, facts.plain);
    return 0;
}
