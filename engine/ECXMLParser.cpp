#include "ECXMLParser.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "ByteSearch.h"
#include "CodePage.h"
#include "ECXMLTokenizer.h"
#include "Exceptions.h"
#include "SafeFile.h"
#include "XMLNameIndex.h"
#include "XMLStreamReading.h"
#include "XMLTokenPipe.h"
#include "XMLWriter.h"

namespace {

// With the other decoding steps below; the loader decodes texts straight into values.
size_t DecodeTo(std::string_view text, char* out);

bool IsTagBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The first blank, tab, CR or LF of a tag's text from `from`: they all separate a tag's
// name and parameters alike.
size_t FirstBlank(std::string_view tagText, size_t from = 0)
{
    for (size_t i = from; i < tagText.size(); ++i)
        if (IsTagBlank(tagText[i]))
            return i;
    return std::string_view::npos;
}

std::string_view TrimmedFront(std::string_view text)
{
    while (!text.empty() && IsTagBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view TrimmedBack(std::string_view text)
{
    while (!text.empty() && IsTagBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A quoted value's line breaks each become one blank (a CR LF pair one), as XML reads
// attribute values; a tab stays, as the writer keeps it.
std::string WithBlanksForLineBreaks(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' || value[i] == '\n') {
            if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
                ++i;
            out += ' ';
        } else {
            out += value[i];
        }
    }
    return out;
}

bool HasText(std::string_view value)
{
    for (char c : value)
        if (static_cast<unsigned char>(c) > 32)
            return true;
    return false;
}

std::string FullPath(const std::filesystem::path& fileName)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(fileName, error);
    return PathText(error ? fileName : full);
}

std::string SystemReason(int error) { return std::generic_category().message(error); }

} // namespace

// Cuts a tag's parameter text into entries and fills a parameter list; keeps its
// storage from one tag to the next.
class TXMLParamParser {
public:
    void Parse(std::string_view tagText, TXMLParams& params);
    // The same where the first blank and the first ">" (or the text's end) are known.
    void Parse(std::string_view tagText, size_t blank, size_t close, TXMLParams& params);
    // The tag the tokenizer (or its pipe) just read, `tagText` its text: a usual tag from
    // the entries the tokenizer cut.
    template <class Tokens>
    void Parse(const Tokens& tokenizer, std::string_view tagText, TXMLParams& params);

private:
    // Fills the list with entries of distinct names, leaving out empty values; false,
    // without touching the list, when two names are equal. `bytes` is the length of all
    // names and values, with one more for each entry.
    bool FillDistinct(const TXMLParamEntry* entries, size_t count, size_t bytes, TXMLParams& params);
    // The same for a tag of one entry, which has no name to compare. Forced inline: many
    // elements have just one parameter, and GCC 12 would call it out of line.
    [[gnu::always_inline]] static void FillOne(const TXMLParamEntry& entry, TXMLParams& params)
    {
        if (entry.value.empty())
            return;
        params.Reserve(1, entry.name.size() + 1 + entry.value.size());
        const size_t length = PlaceEntry(entry, params.TextBase());
        params.Entries()[0] = {0, static_cast<uint32_t>(length)};
        params.SetPlaced(1, length);
    }
    // Writes "name=value" at `out`, the value decoded; its length, which decoding only
    // ever makes shorter than the two with the "=". Forced inline, see Parse.
    [[gnu::always_inline]] static size_t PlaceEntry(const TXMLParamEntry& entry, char* out)
    {
        const std::string_view name = entry.name;
        const std::string_view value = entry.value;
        CopyBytes(out, name.data(), name.size());
        out[name.size()] = '=';
        size_t length = name.size() + 1;
        if (!entry.ampersand) {
            CopyBytes(out + length, value.data(), value.size());
            length += value.size();
        } else {
            length += DecodeTo(value, out + length);
        }
        return length;
    }
    // Duplicate names and entries without "=": values are looked up by name.
    void ParseByName(TXMLParams& params) const;

    // An entry of the tag, with the position of its first "=" (npos when none) and
    // whether it holds a "&".
    struct TEntryCut {
        std::string_view text;
        size_t equals;
        bool ampersand;
        // Whether a quoted stretch of it holds a line break.
        bool lineBreak;
    };

    std::vector<TEntryCut> FEntries;
    // Values whose line breaks became blanks, which the entries refer to.
    std::deque<std::string> FNormalized;
    // The entries of a tag whose entries all have a name.
    std::vector<TXMLParamEntry> FNamed;
    TXMLNameIndex FNameIndex;
};

// Inline, and forced so: the loader reads most tags this way, and GCC would otherwise
// call it, and the placing of an entry, out of line (a tenth of a deep document's load).
template <class Tokens>
[[gnu::always_inline]] inline void TXMLParamParser::Parse(const Tokens& tokenizer, std::string_view tagText, TXMLParams& params)
{
    if (tokenizer.UsualTag()) {
        if (params.Count() > 0)
            params.Clear();
        // Many elements have no parameters at all, or one.
        const size_t count = tokenizer.TagEntryCount();
        if (count == 0)
            return;
        if (count == 1) {
            FillOne(tokenizer.TagEntries()[0], params);
            return;
        }
        if (FillDistinct(tokenizer.TagEntries(), count, tokenizer.TagEntryBytes(), params))
            return;
    }
    Parse(tagText, FirstBlank(tagText, 1), tagText.size() - 1, params);
}

// Builds the item tree from the token sequence.
class TXMLLoader {
public:
    // The chunked tokenizer, the whole-stream one, or the chunked one falling back to the
    // whole-stream one where it meets a line too long for it.
    enum TPass { Chunked, Whole, ChunkedThenWhole };

    static void Load(TXMLItem& item, std::istream& stream, TPass pass);
    // Reads the text into a tree of its own, which replaces the document's tree only when
    // the text loads and closes its document element.
    static bool LoadWhole(TECXMLParser& document, std::string text);

private:
    // Swaps a handler taken aside back into its document when it goes, unless the
    // document is let go of first.
    struct THandlerBack {
        TECXMLParser* document;
        TXMLItemChanged& handler;
        ~THandlerBack()
        {
            if (document)
                document->XMLItemChanged.swap(handler);
        }
    };
    // Raises BeforeLoad once more, as a fallback does, with the handler taken aside back
    // in place meanwhile.
    static bool AllowedAgain(TECXMLParser& document, TXMLItemChanged& handler)
    {
        THandlerBack aside{&document, handler};
        document.XMLItemChanged.swap(handler);
        return document.Allowed(document.BeforeLoad);
    }
    // The second BeforeLoad of a fallback refused the load.
    struct TRefused {};
    // The second BeforeLoad of a fallback changed the tree being read.
    struct TEdited {};

    // One load with its events; `widened` tells whether a fallback took over.
    static void Read(TXMLItem& item, std::istream& stream, TPass pass, bool& widened, TXMLTextMemory* memory);
    // Reads the stream into the item; whether the text closed the element read into. The
    // encoding read from and a style sheet reference go where the pointers say.
    static bool ReadStream(TXMLItem& item, std::istream& stream, bool whole, TXMLTokenizer::TWidening widening,
                           TXMLTextMemory* memory, std::string* encoding, std::string* styleSheet);
    // Builds the item's tree from the tokenizer's tokens, which a big text takes through
    // a pipe; whether the text closed the element read into.
    static bool ReadTokens(TXMLItem& item, TXMLTokenizer& tokenizer, std::string* styleSheet);
    // The same from the tokenizer or its pipe.
    template <class Tokens>
    static bool BuildTree(TXMLItem& item, Tokens& tokenizer, std::string* styleSheet);
};

void TXMLLoader::Load(TXMLItem& item, std::istream& stream, TPass pass)
{
    // A second reading of the stream takes the memory the first one read into; a
    // document that keeps that memory hands it on to its next load.
    TXMLTextMemory readings;
    TECXMLParser* document = item.FDocument;
    TXMLTextMemory* const memory = document && document->FReadMemory ? document->FReadMemory.get() : &readings;
    bool widened = false;
    try {
        Read(item, stream, pass, widened, memory);
    } catch (const EParserError&) {
        // Any other parser error of the chunked pass makes the whole stream be read again.
        if (pass != ChunkedThenWhole || widened)
            throw;
        stream.clear();
        stream.seekg(0);
        Read(item, stream, Whole, widened, memory);
    }
}

void TXMLLoader::Read(TXMLItem& item, std::istream& stream, TPass pass, bool& widened, TXMLTextMemory* memory)
{
    TECXMLParser* document = item.FDocument;
    if (document && !document->Allowed(document->BeforeLoad))
        return;
    // The tree read replaces the one cleared at the start, in the pages that one had.
    TXMLArena::TRefill refill(item.Memory());

    // No XMLItemChanged while a document is read; the handler comes back also after
    // a failure.
    TXMLItemChanged handler;
    if (document)
        handler.swap(document->XMLItemChanged);
    THandlerBack restore{document, handler};

    std::string* const encoding = document ? &document->FLoadedEncoding : nullptr;
    std::string* const styleSheet = document ? &document->FStyleSheet : nullptr;
    if (document) {
        document->FLoadedComplete = false;
        document->FLoadedEncoding.clear();
    }
    // Chunk boundaries never show in the tokens, so up to a line too long for the chunked
    // tokenizer the whole-stream one gives the same tokens, and the tree built so far is
    // the one a second load would build again. The second load's BeforeLoad is raised, with
    // the handler back in place, and the whole-stream reading goes on from there.
    TXMLTokenizer::TWidening widening;
    if (pass == ChunkedThenWhole && document)
        widening = [&] {
            widened = true;
            const uint64_t edits = document->FEdits;
            if (!AllowedAgain(*document, handler))
                throw TRefused{};
            if (document->FEdits != edits)
                throw TEdited{};
            return true;
        };
    bool complete = false;
    bool again = false;
    try {
        complete = ReadStream(item, stream, pass == Whole, std::move(widening), memory, encoding, styleSheet);
    } catch (const TRefused&) {
        return;
    } catch (const TEdited&) {
        // The items read so far may be gone.
        again = true;
    } catch (const TXMLStreamGrew&) {
        // The text read was not the stream's.
        again = true;
    }
    if (again) {
        // The whole stream is read again, all of it at once.
        stream.clear();
        stream.seekg(0);
        complete = ReadStream(item, stream, true, {}, memory, encoding, styleSheet);
    }
    if (document) {
        document->FLoadedComplete = complete && &item == document->Root();
        document->XMLItemChanged.swap(handler);
        restore.document = nullptr;
        document->Raise(document->OnLoaded);
    }
}

bool TXMLLoader::LoadWhole(TECXMLParser& document, std::string text)
{
    if (!document.Allowed(document.BeforeLoad))
        return false;
    TXMLItemChanged handler;
    handler.swap(document.XMLItemChanged);
    THandlerBack restore{&document, handler};

    // The items are made for the document from the start, in memory it takes over with
    // them, so that taking the tree over costs nothing per item.
    auto memory = std::make_unique<TXMLArena>();
    TXMLItem read(&document, memory.get());
    TXMLTokenizer::TWidening widening = [&] { return AllowedAgain(document, handler); };
    std::string encoding;
    std::string styleSheet = document.FStyleSheet;
    // Whatever stops the reading, the text is not shown.
    try {
        TXMLTokenizer tokenizer(std::move(text), std::move(widening));
        encoding = tokenizer.SourceEncoding();
        if (!ReadTokens(read, tokenizer, &styleSheet))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    // Every block of the document's memory belongs to its tree: once the tree is empty,
    // the memory goes with it.
    document.FRoot->Clear();
    document.FMemory.swap(memory);
    document.FRoot->TakeOver(read, document.FMemory.get());
    document.FStyleSheet = std::move(styleSheet);
    document.FLoadedEncoding = std::move(encoding);
    document.FLoadedComplete = true;
    document.XMLItemChanged.swap(handler);
    restore.document = nullptr;
    document.Raise(document.OnLoaded);
    return true;
}

bool TXMLLoader::ReadStream(TXMLItem& item, std::istream& stream, bool whole, TXMLTokenizer::TWidening widening,
                            TXMLTextMemory* memory, std::string* encoding, std::string* styleSheet)
{
    // A text that cannot be converted into the code page leaves nothing of the old tree,
    // as any failed load.
    std::unique_ptr<TXMLTokenizer> tokenizer;
    try {
        tokenizer = whole ? std::make_unique<TXMLLargeTokenizer>(stream, memory)
                          : std::make_unique<TXMLTokenizer>(stream, std::move(widening), memory);
    } catch (const EParserError&) {
        item.Clear();
        item.SetName(std::string());
        throw;
    }
    if (encoding)
        *encoding = tokenizer->SourceEncoding();
    return ReadTokens(item, *tokenizer, styleSheet);
}

bool TXMLLoader::ReadTokens(TXMLItem& item, TXMLTokenizer& tokenizer, std::string* styleSheet)
{
    if (TXMLTokenPipe::Worthwhile(tokenizer.TextSize())) {
        std::optional<TXMLTokenPipe> pipe;
        try {
            pipe.emplace(tokenizer);
        } catch (const std::system_error&) {
            // No thread to be had: the tokens are read here.
        }
        if (pipe)
            return BuildTree(item, *pipe, styleSheet);
    }
    return BuildTree(item, tokenizer, styleSheet);
}

template <class Tokens>
bool TXMLLoader::BuildTree(TXMLItem& item, Tokens& tokenizer, std::string* styleSheet)
{
    item.Clear();
    item.SetName(std::string());
    TXMLItem* current = &item;
    // The items above the current one, innermost last: an end tag takes its item from
    // here rather than from the item's parent link, which in a deep document lies in
    // memory long out of the cache.
    std::vector<TXMLItem*> parents;
    // The item whose value just received the line break of a "<br/>": its next text
    // run continues the value directly.
    TXMLItem* lineBroken = nullptr;
    bool filled = false;
    std::string scratch;
    TXMLParamParser params;
    // A tag the tokenizer cut on its own has its name at hand.
    auto tagName = [&tokenizer](std::string_view text) { return tokenizer.UsualTag() ? tokenizer.TagName() : TagName(text); };

    for (TXMLToken token = tokenizer.Token(); token != xtEnd; token = tokenizer.NextToken()) {
        const std::string_view text = tokenizer.TokenText(scratch);
        if (token == xtComment)
            continue;
        if (token == xtDeclaration) {
            const std::string upper = UpperCase(text);
            if (upper.find("XML-STYLESHEET") == std::string::npos || !styleSheet)
                continue;
            const size_t href = upper.find("HREF=\"");
            if (href == std::string::npos)
                continue;
            const size_t from = href + 6;
            const size_t to = text.find('"', from);
            *styleSheet = std::string(text.substr(from, to == std::string_view::npos ? std::string_view::npos : to - from));
            continue;
        }
        if (!current) {
            const char* what = token == xtText || token == xtCData ? "Text" : token == xtEndTag ? "End tag" : "Tag";
            throw EParserError(std::string(what) + " after the end of the document element", tokenizer.SourceLine());
        }
        switch (token) {
        case xtText:
        case xtCData: {
            // The text is decoded straight into the value, after a line break when it
            // continues one; a CDATA section's bytes stand as they are, undecoded.
            const std::string_view raw = token == xtText ? text : text.substr(9, text.size() - 12);
            const bool replaces = current != lineBroken && !HasText(current->Value());
            if (replaces) {
                if (current->FValue)
                    current->FValue->SetSize(0);
            } else if (current != lineBroken) {
                current->AppendValue("\r\n");
            }
            char* const out = current->ValueRoom(raw.size());
            size_t length = raw.size();
            if (token == xtText)
                length = DecodeTo(raw, out);
            else
                std::memcpy(out, raw.data(), length);
            current->ValueAppended(length);
            if (replaces) {
                if (current->Value().empty())
                    current->ReleaseValue();
                current->Changed();
            }
            lineBroken = nullptr;
            break;
        }
        case xtStartTag: {
            lineBroken = nullptr;
            // A tag token ends at its first ">". Items are added and named without New and
            // SetName: nothing is reported while a document is read.
            // Only the first start tag fills the item read into, even when it has no
            // name: an unnamed item deeper down would otherwise be renamed by the next one.
            const std::string_view name = tagName(text);
            if (current == &item && !filled) {
                current->FName.assign(name);
                current->NoteOwnMemory();
                filled = true;
            } else {
                parents.push_back(current);
                current = current->AddChild(name);
            }
            params.Parse(tokenizer, text, current->FParams);
            break;
        }
        case xtEndTag:
            lineBroken = nullptr;
            if (parents.empty()) {
                current = nullptr;
            } else {
                current = parents.back();
                parents.pop_back();
            }
            break;
        case xtEmptyTag:
            if (text == "<br/>") {
                current->AppendValue("\r\n");
                lineBroken = current;
            } else {
                lineBroken = nullptr;
                TXMLItem* child = current->AddChild(tagName(text));
                params.Parse(tokenizer, text, child->FParams);
            }
            break;
        default:
            break;
        }
    }
    // Empty tags alone at the top open nothing; a text without any element is no document.
    return current == nullptr || (!filled && item.Count() > 0);
}

std::string_view TagName(std::string_view tagText)
{
    if (tagText.size() <= 1)
        return {};
    size_t end = FirstBlank(tagText, 1);
    if (end == std::string_view::npos)
        end = FindByte<'/'>(tagText, 1);
    if (end == std::string_view::npos)
        end = tagText.size() - 1;
    return tagText.substr(1, end - 1);
}

namespace {

// The character a reference "&#N;" or "&#xH;" at `text` stands for, with the reference's
// length; false when it is no such reference or the code page has no byte for it.
bool CharacterReference(std::string_view text, char& character, size_t& length)
{
    const bool hex = text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
    size_t i = hex ? 3 : 2;
    uint32_t code = 0;
    const size_t digits = i;
    for (; i < text.size() && i < digits + 8; ++i) {
        const char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
            digit = static_cast<uint32_t>((c | 0x20) - 'a' + 10);
        else
            break;
        code = code * (hex ? 16 : 10) + digit;
    }
    if (i == digits || i >= text.size() || text[i] != ';' || code == 0 || !UnicodeToCp1252(code, character))
        return false;
    length = i + 1;
    return true;
}

// Replaces the five entities and the character references the code page can hold,
// writing at `out`, which has room for the text as it is; the size written. One pass,
// so "&amp;lt;" gives "&lt;". Anything else after a "&" stays as written.
size_t DecodeTo(std::string_view text, char* out)
{
    char* const start = out;
    size_t i = 0;
    for (size_t amp = text.find('&'); amp != std::string_view::npos; amp = text.find('&', i)) {
        std::memcpy(out, text.data() + i, amp - i);
        out += amp - i;
        i = amp + 1;
        // One look at the byte after the "&" picks the entity to compare with.
        const std::string_view rest = text.substr(amp + 1);
        auto is = [&rest](std::string_view name) { return rest.size() >= name.size() && std::memcmp(rest.data(), name.data(), name.size()) == 0; };
        char character = '&';
        size_t length = 0;
        switch (rest.empty() ? '\0' : rest[0]) {
        case 'l':
            if (is("lt;"))
                character = '<', length = 3;
            break;
        case 'g':
            if (is("gt;"))
                character = '>', length = 3;
            break;
        case 'q':
            if (is("quot;"))
                character = '"', length = 5;
            break;
        case 'a':
            if (is("amp;"))
                character = '&', length = 4;
            else if (is("apos;"))
                character = '\'', length = 5;
            break;
        case '#':
            if (CharacterReference(text.substr(amp), character, length))
                --length;
            break;
        default:
            break;
        }
        i += length;
        *out++ = character;
    }
    if (i < text.size())
        std::memcpy(out, text.data() + i, text.size() - i);
    return static_cast<size_t>(out - start) + text.size() - i;
}

std::string Decode(std::string_view text)
{
    std::string out(text.size(), '\0');
    out.resize(DecodeTo(text, out.data()));
    return out;
}

// Removes the enclosing quotes of a value: both of an empty one, else of one longer than
// two characters double ones, or single ones where the value begins with one.
std::string_view Unquoted(std::string_view value)
{
    // Two quotes alone enclose an empty value, which the list leaves out.
    if (value.size() == 2 && value[0] == value[1] && (value[0] == '"' || value[0] == '\''))
        return value.substr(2);
    if (value.size() > 2) {
        const char quote = value.front() == '\'' ? '\'' : '"';
        if (value.front() == quote)
            value.remove_prefix(1);
        if (value.back() == quote)
            value.remove_suffix(1);
    }
    return value;
}

// Unquotes and decodes the value of a name=value entry in place; "=" is at `equals`.
void FinishEntry(std::string& entry, size_t equals)
{
    entry = entry.substr(0, equals + 1) + Decode(WithBlanksForLineBreaks(Unquoted(std::string_view(entry).substr(equals + 1))));
}

// Where the scan of a tag's parameters stops: the bytes that may end an entry (a blank,
// a tab, a line break, a quote that changes whether they do), and the "=" and "&" it
// notes on the way.
const char* NextStop(const char* p, const char* end)
{
    return NextOf<' ', '\t', '\r', '\n', '"', '\'', '=', '&'>(p, end);
}



} // namespace

void TXMLParamParser::Parse(std::string_view tagText, TXMLParams& params)
{
    const size_t close = tagText.ends_with('>') ? tagText.size() - 1 : tagText.size();
    Parse(tagText, FirstBlank(tagText), close, params);
}

void TXMLParamParser::Parse(std::string_view tagText, size_t blank, size_t close, TXMLParams& params)
{
    if (params.Count() > 0)
        params.Clear();
    if (blank == std::string_view::npos)
        return;
    if (close > 0 && tagText[close - 1] == '/')
        --close;
    if (close <= blank + 1)
        return;
    std::string_view text = tagText.substr(blank + 1, close - blank - 1);
    // Blanks after the name and before the tag's end end nothing and add nothing.
    text = TrimmedBack(TrimmedFront(text));
    if (text.empty())
        return;

    // Unquoted blanks, tabs and line breaks end entries, except around an "=". A double
    // quote anywhere, or a single quote right after an "=", begins a quoted stretch that
    // its like ends; line breaks inside it stay in the value.
    FEntries.clear();
    const char* const end = text.data() + text.size();
    const char* start = text.data();
    const char* equals = nullptr;
    bool ampersand = false;
    bool lineBreak = false;
    auto cut = [&](const char* at) {
        FEntries.push_back({std::string_view(start, static_cast<size_t>(at - start)),
                            equals ? static_cast<size_t>(equals - start) : std::string_view::npos, ampersand, lineBreak});
        equals = nullptr;
        ampersand = false;
        lineBreak = false;
    };
    // Whether the last byte that is no blank before `p` is an "=".
    auto afterEquals = [&](const char* p) {
        while (p > text.data() && IsTagBlank(p[-1]))
            --p;
        return p > text.data() && p[-1] == '=';
    };
    for (const char* p = NextStop(start, end); p < end;) {
        const char c = *p;
        if (c == '"' || (c == '\'' && afterEquals(p))) {
            // The quoted stretch at once, to its closing quote or the text's end.
            const char* close = p + 1;
            for (;; ++close) {
                close = c == '"' ? NextOf<'"', '&', '\r', '\n'>(close, end) : NextOf<'\'', '&', '\r', '\n'>(close, end);
                if (close >= end || *close == c)
                    break;
                if (*close == '&')
                    ampersand = true;
                else
                    lineBreak = true;
            }
            p = close >= end ? end : NextStop(close + 1, end);
            continue;
        }
        if (c == '&') {
            ampersand = true;
        } else if (c == '=') {
            if (!equals)
                equals = p;
        } else if (IsTagBlank(c)) {
            const char* next = p;
            while (next < end && IsTagBlank(*next))
                ++next;
            // "name = "value"": the entry goes on over the blanks before its "=" (when it
            // has none yet: a later "=" begins an entry without a name), and after it when
            // its quoted value follows.
            if (next < end && ((*next == '=' && !equals) || ((*next == '"' || *next == '\'') && p > text.data() && p[-1] == '='))) {
                p = next;
                continue;
            }
            cut(p);
            start = next;
            p = next;
            continue;
        }
        p = NextStop(p + 1, end);
    }
    if (start < end)
        cut(end);

    FNamed.clear();
    FNormalized.clear();
    size_t bytes = 0;
    for (const TEntryCut& entry : FEntries) {
        if (entry.equals == std::string_view::npos)
            return ParseByName(params);
        std::string_view value = Unquoted(TrimmedFront(entry.text.substr(entry.equals + 1)));
        if (entry.lineBreak)
            value = FNormalized.emplace_back(WithBlanksForLineBreaks(value));
        FNamed.push_back({TrimmedBack(entry.text.substr(0, entry.equals)), value, entry.ampersand});
        bytes += FNamed.back().name.size() + 1 + FNamed.back().value.size();
    }
    if (!FillDistinct(FNamed.data(), FNamed.size(), bytes, params))
        ParseByName(params);
}

bool TXMLParamParser::FillDistinct(const TXMLParamEntry* entries, size_t count, size_t bytes, TXMLParams& params)
{
    if (!FNameIndex.Distinct(count, [entries](size_t i) { return entries[i].name; }))
        return false;

    // Each entry's value depends on that entry alone, and an empty one removes it. Each
    // entry is written once, in place, into the empty list: its name with the "=", then
    // its value; decoding only ever shortens a value.
    params.Reserve(count, bytes);
    TXMLParams::TEntry* const slots = params.Entries();
    char* const text = params.TextBase();
    uint32_t placed = 0;
    size_t size = 0;
    for (size_t i = 0; i < count; ++i) {
        if (entries[i].value.empty())
            continue;
        const size_t length = PlaceEntry(entries[i], text + size);
        slots[placed++] = {static_cast<uint32_t>(size), static_cast<uint32_t>(length)};
        size += length;
    }
    params.SetPlaced(placed, size);
    return true;
}

void TXMLParamParser::ParseByName(TXMLParams& params) const
{
    std::vector<std::string> entries;
    entries.reserve(FEntries.size());
    for (const TEntryCut& entry : FEntries)
        entries.push_back(entry.equals == std::string_view::npos
                              ? std::string(entry.text)
                              : std::string(TrimmedBack(entry.text.substr(0, entry.equals))) + "=" +
                                    std::string(TrimmedFront(entry.text.substr(entry.equals + 1))));

    // Each entry takes the value of the first remaining entry of its name (an entry
    // without "=" that of the empty name, which only entries starting with "=" carry),
    // decodes it once more and puts it back there under its own name, or removes that
    // entry when nothing is left. Removed entries are only marked, and each name's
    // entries are listed in order, so that no lookup scans the whole tag.
    struct TSameName {
        std::vector<size_t> indexes;
        size_t first = 0; // the ones before it are removed
    };
    std::unordered_map<std::string, TSameName> byName;
    for (size_t k = 0; k < entries.size(); ++k) {
        const size_t equals = entries[k].find('=');
        if (equals != std::string::npos)
            byName[UpperCase(std::string_view(entries[k]).substr(0, equals))].indexes.push_back(k);
    }
    std::vector<bool> removed(entries.size());
    size_t k = 0;
    while (k < entries.size()) {
        if (removed[k]) {
            ++k;
            continue;
        }
        const size_t equals = entries[k].find('=');
        const std::string name = equals == std::string::npos ? std::string() : entries[k].substr(0, equals);
        const auto sameName = byName.find(UpperCase(name));
        if (sameName == byName.end()) {
            ++k;
            continue;
        }
        TSameName& same = sameName->second;
        while (same.first < same.indexes.size() && removed[same.indexes[same.first]])
            ++same.first;
        if (same.first == same.indexes.size()) {
            ++k;
            continue;
        }
        const size_t first = same.indexes[same.first];
        std::string updated = name + "=" + entries[first].substr(entries[first].find('=') + 1);
        FinishEntry(updated, name.size());
        if (updated.size() > name.size() + 1) {
            entries[first] = std::move(updated);
            ++k;
            continue;
        }
        // The entry after the removed one comes next; an entry without "=" whose empty
        // name lay further on is processed once more.
        removed[first] = true;
        if (first <= k)
            ++k;
    }
    for (size_t i = 0; i < entries.size(); ++i)
        if (!removed[i])
            params.Add(entries[i]);
}

void ParseParams(std::string_view tagText, TXMLParams& params) { TXMLParamParser().Parse(tagText, params); }

std::string DecodeText(std::string_view text) { return Decode(text); }

std::string DecodeParamValue(std::string_view text) { return Decode(text); }

TECXMLParser::TECXMLParser() : FMemory(std::make_unique<TXMLArena>()), FRoot(std::make_unique<TXMLItem>(this, FMemory.get())) {}

TECXMLParser::~TECXMLParser() = default;

TECXMLParser::TKeepReadMemory::TKeepReadMemory(TECXMLParser& document) : FDocument(document)
{
    if (FDocument.FReadMemoryKeepers++ == 0)
        FDocument.FReadMemory = std::make_unique<TXMLTextMemory>();
}

TECXMLParser::TKeepReadMemory::~TKeepReadMemory()
{
    if (--FDocument.FReadMemoryKeepers == 0)
        FDocument.FReadMemory.reset();
}

bool TECXMLParser::Allowed(const TXMLLoadSaveEvent& before)
{
    bool allow = true;
    if (before)
        before(this, allow);
    return allow;
}

void TECXMLParser::Raise(const TNotifyEvent& after)
{
    if (after)
        after(this);
}

void TECXMLParser::Clear()
{
    if (!Allowed(BeforeClear))
        return;
    FRoot->Clear();
    Raise(OnCleared);
}

void TXMLItem::LoadFromStream(std::istream& stream) { TXMLLoader::Load(*this, stream, TXMLLoader::Chunked); }

void TXMLItem::LoadLargeFromStream(std::istream& stream) { TXMLLoader::Load(*this, stream, TXMLLoader::Whole); }

void TECXMLParser::LoadFromStream(std::istream& stream) { FRoot->LoadFromStream(stream); }

void TECXMLParser::LoadWithFallback(std::istream& stream) { TXMLLoader::Load(*FRoot, stream, TXMLLoader::ChunkedThenWhole); }

void TECXMLParser::LoadFromFile(const std::filesystem::path& fileName)
{
    std::string reason;
    const int handle = OpenRegularFile(fileName, reason);
    if (handle < 0)
        throw EFOpenError(FullPath(fileName), reason);
    TFileReadBuffer buffer(handle);
    std::istream file(&buffer);
    file.exceptions(std::ios::badbit);
    try {
        LoadWithFallback(file);
    } catch (const std::system_error& error) {
        throw EFOpenError(FullPath(fileName), SystemReason(error.code().value()));
    }
}

namespace {

// A seekable input stream buffer over text in memory, which it does not copy.
class TTextReadBuffer : public std::streambuf {
public:
    explicit TTextReadBuffer(std::string_view text)
    {
        char* start = const_cast<char*>(text.data());
        setg(start, start, start + text.size());
    }

protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override
    {
        const off_type base = dir == std::ios_base::beg ? 0 : dir == std::ios_base::end ? egptr() - eback() : gptr() - eback();
        const off_type position = base + offset;
        if (position < 0 || position > egptr() - eback())
            return pos_type(off_type(-1));
        setg(eback(), eback() + position, egptr());
        return pos_type(position);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override
    {
        return seekoff(off_type(position), std::ios_base::beg, mode);
    }
};

} // namespace

void TECXMLParser::LoadFromText(std::string_view text)
{
    TTextReadBuffer buffer(text);
    std::istream stream(&buffer);
    LoadWithFallback(stream);
}

bool TECXMLParser::LoadWholeText(std::string text) { return TXMLLoader::LoadWhole(*this, std::move(text)); }

namespace {

// A stream into the temporary file that will replace the document's file.
class TReplacementBuffer : public std::streambuf {
public:
    explicit TReplacementBuffer(TAtomicFile& file) : FFile(file) {}

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return FFile.Write(std::string_view(&byte, 1)) ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override
    {
        return FFile.Write(std::string_view(text, static_cast<size_t>(count))) ? count : 0;
    }

private:
    TAtomicFile& FFile;
};

} // namespace

void TECXMLParser::WriteDocument(std::ostream& stream, bool styleSheetFile)
{
    TXMLWriter writer(&stream);
    writer.Put("<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n");
    if (!styleSheetFile && HasText(FStyleSheet)) {
        writer.Put("<?xml-stylesheet type=\"text/xsl\" href=\"");
        writer.Put(FStyleSheet);
        writer.Put("\"?>\r\n");
    }
    writer.PutItem(*FRoot, 2, true);
    writer.Flush();
    stream.flush();
    if (!stream)
        throw EWriteError();
}

void TECXMLParser::SaveToStream(std::ostream& stream, bool styleSheetFile)
{
    if (!Allowed(BeforeSave))
        return;
    WriteDocument(stream, styleSheetFile);
    Raise(OnSaved);
}

void TECXMLParser::SaveToFile(const std::filesystem::path& fileName)
{
    const bool styleSheetFile = UpperCase(PathText(fileName.extension())) == ".XSL";
    if (!Allowed(BeforeSave))
        return;

    // A link keeps pointing at the document: the new text replaces the file it names.
    TAtomicFile file;
    if (!file.Open(fileName))
        throw EFCreateError(FullPath(fileName), SystemReason(errno));
    TReplacementBuffer buffer(file);
    std::ostream stream(&buffer);
    WriteDocument(stream, styleSheetFile);
    if (!file.Sync())
        throw EWriteError();
    if (!file.Commit())
        throw EFCreateError(FullPath(fileName), SystemReason(errno));
    Raise(OnSaved);
}
