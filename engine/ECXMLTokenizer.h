#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

enum TXMLToken {
    xtEnd = 0,
    xtComment = 6,
    xtDeclaration = 8,
    xtText = 9,
    xtStartTag = 10,
    xtEndTag = 11,
    xtEmptyTag = 12,
};

// Cuts XML text into tags, text runs, comments and declarations without checking them.
// Reads the stream through a 4096-byte buffer, one chunk per refill; a chunk ends after
// its last line feed, so 4096 bytes without one fail with "Line too long on line %d".
// Chunk boundaries never show in the tokens; a token of many lines that outgrows the
// buffer gets a larger one.
class TXMLTokenizer {
public:
    static constexpr size_t ChunkSize = 4096;

    // Reads the first token at once; the stream is read from its position, not owned.
    explicit TXMLTokenizer(std::istream& stream);
    virtual ~TXMLTokenizer();
    TXMLTokenizer(const TXMLTokenizer&) = delete;
    TXMLTokenizer& operator=(const TXMLTokenizer&) = delete;

    TXMLToken NextToken();
    TXMLToken Token() const { return FToken; }
    // The token's text with every CR LF pair, then every LF CR pair, removed.
    std::string TokenString() const;
    // The same text, borrowed from `scratch` or the buffer; valid until the next token.
    std::string_view TokenText(std::string& scratch) const;
    // Line of the scan, counting only line feeds between tokens.
    int SourceLine() const { return FSourceLine; }

protected:
    TXMLTokenizer(std::istream& stream, size_t capacity, bool growing);

private:
    void Start();
    void SkipBlanks();
    // Reads more input, keeping the bytes from `keep` on; false when none came.
    bool ReadBuffer(const char* keep);
    // Doubles the buffer, keeping its bytes and the positions in it.
    void Grow();
    // The first of `Stops` from `from` to the chunk end (or the chunk end), noting in
    // FReturns any CR passed on the way.
    template <char... Stops>
    char* ScanPastReturns(char* from);
    void ScanTag();
    void ScanText();

    std::istream& FStream;
    std::unique_ptr<char[]> FBuffer;
    size_t FCapacity;
    bool FGrowing;
    char* FDataEnd;
    char* FPosition;
    char* FChunkEnd;
    char* FTokenStart;
    char FSavedByte = 0;
    // Whether the token may hold a CR, which TokenText then removes with its LF.
    bool FReturns = false;
    bool FExhausted = false;
    int FSourceLine = 1;
    TXMLToken FToken = xtEnd;
};

// The fallback tokenizer: its buffer holds the whole rest of the stream, so only a
// stream without any inner line feed fails with "Line too long".
class TXMLLargeTokenizer : public TXMLTokenizer {
public:
    explicit TXMLLargeTokenizer(std::istream& stream);
};
