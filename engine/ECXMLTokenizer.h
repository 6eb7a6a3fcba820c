#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum TXMLToken {
    xtEnd = 0,
    xtComment = 6,
    // A CDATA section, "<![CDATA[" to "]]>": text of the element it stands in.
    xtCData = 7,
    xtDeclaration = 8,
    xtText = 9,
    xtStartTag = 10,
    xtEndTag = 11,
    xtEmptyTag = 12,
};

// An entry of a tag's parameters as it stands in the tag: the name, the value without
// its quotes and not yet decoded, and whether the value holds a "&".
struct TXMLParamEntry {
    std::string_view name;
    std::string_view value;
    bool ampersand;
};

class TXMLStreamReading;

// The memory a text was read into, handed from one tokenizer to the next: a text read
// again then lands in pages already mapped, where fresh memory has the system clear each
// of its pages first.
struct TXMLTextMemory {
    std::unique_ptr<char[]> text;
    // Bytes, the spare byte after the text included; 0 when none is held.
    size_t capacity = 0;
};

// The line a place in a text lies on. Lines are counted only when asked for, on from the
// place asked for last: readers ask seldom, for an error, and then mostly further on.
class TXMLLineCounter {
public:
    // A text whose first byte lies on line `line`.
    explicit TXMLLineCounter(const char* text = nullptr, int line = 1) : FText(text), FCounted(text), FFirstLine(line), FLine(line) {}
    // The line of `place`, which lies in the text.
    int LineAt(const char* place);

private:
    const char* FText;
    const char* FCounted;
    int FFirstLine;
    int FLine;
};

// Cuts XML text into tags, text runs, comments and declarations without checking them.
// Takes the stream in 4096-byte chunks; a chunk ends after its last line feed, so 4096
// bytes without one fail with "Line too long on line %d". Chunk boundaries never show in
// the tokens, and a token of many lines may run over any number of chunks.
//
// The stream is read whole and the chunks are windows on that copy, so no byte is moved
// twice and a token stays where it lies; the chunk rules are those of a 4096-byte buffer
// refilled from the stream. A big stream is read on a thread of its own while its first
// chunks are cut, each chunk waiting for its bytes.
class TXMLTokenizer {
public:
    static constexpr size_t ChunkSize = 4096;

    // Called where the chunked reading meets a line too long for it. When it returns
    // true, the reading goes on with the rest of the stream as one chunk, which gives the
    // tokens the whole-stream tokenizer would give; otherwise, or when there is none, the
    // reading fails with "Line too long". It may throw, and is called at most once.
    using TWidening = std::function<bool()>;

    // Reads the stream from its position to its end, and the first token; the stream is
    // not owned. With `memory`, the text goes into the memory it holds when that is large
    // enough, and the memory read into goes back to it with the tokenizer.
    explicit TXMLTokenizer(std::istream& stream, TWidening widening = {}, TXMLTextMemory* memory = nullptr);
    // The same for a text it takes over, which it reads in place rather than copying it.
    explicit TXMLTokenizer(std::string text, TWidening widening = {});
    virtual ~TXMLTokenizer();
    TXMLTokenizer(const TXMLTokenizer&) = delete;
    TXMLTokenizer& operator=(const TXMLTokenizer&) = delete;

    TXMLToken NextToken();
    TXMLToken Token() const { return FToken; }
    // The token's text with every CR LF pair, then every LF CR pair, removed.
    std::string TokenString() const;
    // The same text, borrowed from `scratch` or the buffer; valid until the next token.
    std::string_view TokenText(std::string& scratch) const
    {
        return FReturns ? WithoutLineEndPairs(RawTokenText(), scratch) : RawTokenText();
    }
    // The token's bytes as they lie in the text, and whether TokenText takes pairs out of
    // them.
    std::string_view RawTokenText() const { return {FTokenStart, static_cast<size_t>(FPosition - FTokenStart)}; }
    bool TokenReturns() const { return FReturns; }
    // Whether the last token is a start or empty tag of the usual shape: a plain name,
    // then entries name="value" or name='value' apart by blanks, tabs or line breaks,
    // with none inside a value. Such a tag is cut into its name and entries while its end
    // is looked for, so that its bytes are read once; the rest are left to the caller.
    bool UsualTag() const { return FUsual; }
    // The usual tag's name, entries, and the length of all names and values with one
    // more for each entry; valid until the next token.
    std::string_view TagName() const { return FTagName; }
    const TXMLParamEntry* TagEntries() const { return FTagEntries.data(); }
    size_t TagEntryCount() const { return FTagEntryCount; }
    size_t TagEntryBytes() const { return FTagEntryBytes; }
    // The line the token begins on.
    int SourceLine() const { return FLines.LineAt(FTokenStart); }
    // "UTF-8" or "UTF-16" when the text was converted from that encoding into the code
    // page (announced by a byte-order mark, or UTF-8 by the XML declaration); else "".
    const char* SourceEncoding() const { return FSourceEncoding; }
    // The bytes of the text read, after its conversion.
    size_t TextSize() const { return static_cast<size_t>(FDataEnd - FData); }
    // Puts `widening` in place of the one held, which it returns, unless none is held:
    // a reading without one stays without one.
    TWidening ExchangeWidening(TWidening widening)
    {
        return FWidening ? std::exchange(FWidening, std::move(widening)) : TWidening{};
    }
    // `raw` without its CR LF and LF CR pairs, in `scratch` when it has any.
    static std::string_view WithoutLineEndPairs(std::string_view raw, std::string& scratch);

protected:
    // `capacity` 0: the whole stream is one chunk.
    TXMLTokenizer(std::istream& stream, size_t capacity, TWidening widening, TXMLTextMemory* memory);

private:
    // Waits for the rest of a text still being read; its length.
    size_t WholeText();
    // Waits until the text's first `end` bytes are read, or for all of it when that is
    // not less than the text.
    void AwaitText(size_t end);
    // Converts the text of `size` bytes at FData and begins at its first token.
    void Start(size_t size);
    // Converts the text read, as its start announces, failing with the character the code
    // page cannot hold, or the bytes that are no character, and its line.
    void ConvertToCodePage(size_t& size);
    void SkipBlanks();
    // Ends the next chunk, which starts at the position; false when no byte came.
    bool ReadBuffer();
    // Whether the widening took over where the chunked reading would fail.
    bool Widened();
    // The first of `Stops` from `from` to the chunk end (or the chunk end), noting in
    // FReturns any CR passed on the way.
    template <char... Stops>
    char* ScanPastReturns(char* from);
    // Runs `step` over the token's bytes from `from` on that `next` (a byte, the chunk's
    // end) lands on, reading on across chunks, until it accepts one as the token's last;
    // false, at the input's end, when none was.
    template <class Next, class Step>
    bool ScanUntil(char* from, Next next, Step step);
    // The same for a token that ends at a ">" which `accept` takes.
    template <class Accept>
    bool ScanToClose(char* from, Accept accept);
    // The same for a tag, whose quoted values may hold a ">".
    bool ScanTagEnd(char* from);
    // Whether the token's bytes begin with `text` (in lower case when `anyCase`).
    bool StartsWith(const char* text, bool anyCase = false) const;
    void ScanTag();
    // Reads a tag of the usual shape from FTokenStart to its end; false, having changed
    // nothing but the usual tag's fields, for any other tag.
    bool ScanUsualTag();
    // The closing quote of a usual tag's value quoted by `Quote`, or null where a byte
    // leaves the tag to the rules for any tag; notes any "&" on the way.
    template <char Quote>
    char* ValueEnd(char* from, bool& ampersand) const;
    bool ScanUsualEndTag();
    void ScanText();

    // The text's bytes and one spare byte for the terminator of the last chunk, read from
    // a stream or taken over.
    TXMLTextMemory FRead;
    // The reading of the rest of a big stream into FRead, until it is done; the bytes from
    // the text's start known to be read.
    std::unique_ptr<TXMLStreamReading> FReading;
    size_t FReadable = 0;
    TXMLTextMemory* FMemory = nullptr;
    std::string FGivenText;
    char* FData;
    char* FDataEnd;
    // The buffer's size a chunk may take, 0 for the rest of the text.
    size_t FCapacity;
    TWidening FWidening;
    char* FPosition;
    char* FChunkEnd;
    char* FTokenStart;
    char FSavedByte = 0;
    // Whether the token may hold a CR, which TokenText then removes with its LF, and
    // the first one a text's scan passed.
    bool FReturns = false;
    const char* FFirstReturn = nullptr;
    bool FExhausted = false;
    // The length of the last run of blanks read sixteen bytes at a time.
    unsigned FBlankRun = 0;
    mutable TXMLLineCounter FLines;
    const char* FSourceEncoding = "";
    TXMLToken FToken = xtEnd;
    bool FUsual = false;
    std::string_view FTagName;
    std::vector<TXMLParamEntry> FTagEntries;
    // The entries' room, kept apart: the vector's size is a division by an entry's size.
    size_t FTagEntryRoom = 0;
    size_t FTagEntryCount = 0;
    size_t FTagEntryBytes = 0;
};

// The fallback tokenizer: its one chunk is the whole rest of the stream, since no more
// data can come, so it never fails with "Line too long" (a document on one line reads).
class TXMLLargeTokenizer : public TXMLTokenizer {
public:
    explicit TXMLLargeTokenizer(std::istream& stream, TXMLTextMemory* memory = nullptr);
};
