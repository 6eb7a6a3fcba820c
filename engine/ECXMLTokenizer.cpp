#include "ECXMLTokenizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <initializer_list>
#include <cstdio>
#include <cstring>
#include <optional>
#include <istream>
#include <utility>

#include "ByteSearch.h"
#include "CodePage.h"
#include "Exceptions.h"
#include "XMLStreamReading.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

// The bytes above 32 but those given.
constexpr std::array<bool, 256> BytesAbove32But(std::initializer_list<char> excluded)
{
    std::array<bool, 256> table{};
    for (size_t c = 33; c < table.size(); ++c)
        table[c] = true;
    for (char c : excluded)
        table[static_cast<unsigned char>(c)] = false;
    return table;
}

// The bytes of a tag name the usual tag may have: no blank, line break or terminator,
// and none that ends the name or begins a declaration or comment.
constexpr std::array<bool, 256> UsualNameBytes = BytesAbove32But({'/', '>', '?', '!', '"', '=', '&', '<'});
// The bytes that separate a tag's name and entries.
constexpr std::array<bool, 256> SeparatorBytes = [] {
    std::array<bool, 256> bytes{};
    for (const char c : {' ', '\t', '\r', '\n'})
        bytes[static_cast<unsigned char>(c)] = true;
    return bytes;
}();
// The bytes of a usual entry's name; it is short, and read byte by byte.
constexpr std::array<bool, 256> UsualEntryNameBytes = BytesAbove32But({'"', '=', '&', '>', '/'});

// Copies `text` without the pairs `first` `second`.
void RemovePairs(std::string_view text, char first, char second, std::string& out)
{
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == first && i + 1 < text.size() && text[i + 1] == second)
            ++i;
        else
            out += text[i];
    }
}

const char* FindLastLineFeed(const char* from, const char* to)
{
    for (const char* p = to; p > from;)
        if (*--p == '\n')
            return p;
    return nullptr;
}

// The rest of a stream from its position; 0 when the stream cannot tell.
size_t RemainingSize(std::istream& stream)
{
    const auto here = stream.tellg();
    if (here < 0)
        return 0;
    stream.seekg(0, std::ios::end);
    const auto end = stream.tellg();
    // A file that cannot seek to its end (/proc/self/mem) is still read: the failed seek
    // must not leave the stream refusing every read.
    stream.clear();
    stream.seekg(here);
    return end > here ? static_cast<size_t>(end - here) : 0;
}

// Room for `length` bytes and a spare byte: the memory `reuse` holds when that is large
// enough.
TXMLTextMemory TextMemory(size_t length, TXMLTextMemory* reuse)
{
    if (reuse && reuse->capacity > length)
        return std::exchange(*reuse, {});
    // Memory held and too small goes first, so that a grown file never needs both.
    if (reuse)
        *reuse = {};
    return {std::unique_ptr<char[]>(new char[length + 1]), length + 1};
}

// The rest of a stream, which says it holds `length` more bytes (0: cannot tell), with one
// spare byte after it, in the memory `reuse` holds when that is large enough; `size` is
// set to its length.
TXMLTextMemory ReadAll(std::istream& stream, size_t length, size_t& size, TXMLTextMemory* reuse)
{
    constexpr size_t Step = 64 * 1024;
    TXMLTextMemory read = TextMemory(length == 0 ? Step : length, reuse);
    size = 0;
    for (;;) {
        const size_t room = read.capacity - 1;
        stream.read(read.text.get() + size, static_cast<std::streamsize>(room - size));
        size += static_cast<size_t>(stream.gcount());
        if (size < room || stream.peek() == std::char_traits<char>::eof()) {
            // The spare byte is read as the first chunk's saved byte when the stream is empty.
            read.text[size] = 0;
            return read;
        }
        // The stream holds more than it said, or could not say: twice the room.
        TXMLTextMemory larger{std::unique_ptr<char[]>(new char[room * 2 + 1]), room * 2 + 1};
        std::memcpy(larger.text.get(), read.text.get(), size);
        read = std::move(larger);
    }
}

// Whether a byte is a blank: 1 to 32; the unsigned wrap leaves out the terminator.
bool IsSkipped(char c) { return static_cast<unsigned char>(c) - 1u < 32u; }

// The first byte from `p` that is not a blank. A line end alone is passed at once;
// longer runs, an indent after it, sixteen bytes at a time while as many can be read
// before `readable`. `lastRun` is the length of the last run read that way: siblings
// mostly share their indent, and a run as long as the last one gives the next place
// without waiting for the bytes to be compared.
inline char* PastBlanks(char* p, const char* readable, unsigned& lastRun)
{
    if (!IsSkipped(*p))
        return p;
    const int lineEnd = p[0] == '\r' && p[1] == '\n' ? 2 : p[0] == '\n' ? 1 : 0;
    if (lineEnd > 0 && !IsSkipped(p[lineEnd]))
        return p + lineEnd;
#ifdef __SSE2__
    const __m128i thirtyTwo = _mm_set1_epi8(32);
    while (readable - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i upToThirtyTwo = _mm_cmpeq_epi8(_mm_max_epu8(bytes, thirtyTwo), thirtyTwo);
        const __m128i blank = _mm_andnot_si128(_mm_cmpeq_epi8(bytes, _mm_setzero_si128()), upToThirtyTwo);
        const unsigned blanks = static_cast<unsigned>(_mm_movemask_epi8(blank));
        const unsigned expected = (1u << lastRun) - 1;
        if ((blanks & (2 * expected + 1)) == expected)
            return p + lastRun;
        const int run = std::countr_one(blanks);
        p += run;
        if (run < 16) {
            lastRun = static_cast<unsigned>(run);
            return p;
        }
    }
#endif
    while (IsSkipped(*p))
        ++p;
    return p;
}

// The encoding the document's bytes announce, and how many bytes of mark go before its
// text: a byte-order mark, else an XML declaration naming UTF-8; nothing for the code page.
std::optional<TTextEncoding> AnnouncedEncoding(std::string_view text, size_t& mark)
{
    mark = 0;
    if (text.starts_with("\xEF\xBB\xBF")) {
        mark = 3;
        return TTextEncoding::Utf8;
    }
    if (text.starts_with("\xFF\xFE")) {
        mark = 2;
        return TTextEncoding::Utf16LE;
    }
    if (text.starts_with("\xFE\xFF")) {
        mark = 2;
        return TTextEncoding::Utf16BE;
    }
    if (!(text.size() > 5 && text.substr(0, 2) == "<?" && SameText(text.substr(2, 3), "xml") && IsBlank(text[5])))
        return std::nullopt;
    const std::string_view declaration = text.substr(0, std::min(text.find('>'), text.size()));
    const size_t name = UpperCase(declaration).find("ENCODING");
    if (name == std::string_view::npos)
        return std::nullopt;
    size_t i = name + 8;
    while (i < declaration.size() && IsBlank(declaration[i]))
        ++i;
    if (i >= declaration.size() || declaration[i] != '=')
        return std::nullopt;
    ++i;
    while (i < declaration.size() && IsBlank(declaration[i]))
        ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return std::nullopt;
    const size_t close = declaration.find(declaration[i], i + 1);
    if (close == std::string_view::npos || !SameText(declaration.substr(i + 1, close - i - 1), "utf-8"))
        return std::nullopt;
    return TTextEncoding::Utf8;
}

} // namespace

int TXMLLineCounter::LineAt(const char* place)
{
    if (place < FCounted) {
        FCounted = FText;
        FLine = FFirstLine;
    }
    while ((FCounted = static_cast<const char*>(std::memchr(FCounted, '\n', static_cast<size_t>(place - FCounted)))) != nullptr) {
        ++FLine;
        ++FCounted;
    }
    FCounted = place;
    return FLine;
}

TXMLTokenizer::TXMLTokenizer(std::istream& stream, TWidening widening, TXMLTextMemory* memory)
    : TXMLTokenizer(stream, ChunkSize, std::move(widening), memory)
{
}

TXMLTokenizer::TXMLTokenizer(std::istream& stream, size_t capacity, TWidening widening, TXMLTextMemory* memory)
    : FMemory(memory), FCapacity(capacity), FWidening(std::move(widening))
{
    size_t size = 0;
    const size_t length = RemainingSize(stream);
    // A big stream is cut into tokens while the rest of it is still being read; the
    // whole-stream tokenizer needs all of it at once.
    if (capacity > 0 && TXMLStreamReading::Worthwhile(length)) {
        FRead = TextMemory(length, memory);
        FData = FRead.text.get();
        FReading = std::make_unique<TXMLStreamReading>(stream, FData, length);
        FReadable = FReading->Await(0);
        size = length;
    } else {
        FRead = ReadAll(stream, length, size, memory);
        FData = FRead.text.get();
    }
    Start(size);
}

TXMLTokenizer::TXMLTokenizer(std::string text, TWidening widening)
    : FGivenText(std::move(text)), FCapacity(ChunkSize), FWidening(std::move(widening))
{
    // The string's terminator is the spare byte.
    FData = FGivenText.data();
    Start(FGivenText.size());
}

void TXMLTokenizer::Start(size_t size)
{
    ConvertToCodePage(size);
    FDataEnd = FData + size;
    FPosition = FChunkEnd = FTokenStart = FData;
    FLines = TXMLLineCounter(FData);
    FSavedByte = *FChunkEnd;
    *FChunkEnd = 0;
    NextToken();
}

TXMLTokenizer::~TXMLTokenizer()
{
    FReading.reset();
    if (FMemory && FRead.capacity > FMemory->capacity)
        *FMemory = std::move(FRead);
}

void TXMLTokenizer::ConvertToCodePage(size_t& size)
{
    // The start of a text still being read tells its encoding once it holds the end of
    // the first tag; a converted text is converted whole.
    if (FReading && std::string_view(FData, FReadable).find('>') == std::string_view::npos)
        size = WholeText();
    size_t mark;
    const std::optional<TTextEncoding> encoding = AnnouncedEncoding(std::string_view(FData, FReading ? FReadable : size), mark);
    if (!encoding)
        return;
    if (FReading)
        size = WholeText();
    FSourceEncoding = *encoding == TTextEncoding::Utf8 ? "UTF-8" : "UTF-16";
    size -= mark;
    std::memmove(FData, FData + mark, size);
    TConversionFailure failure;
    if (!ConvertToCp1252(FData, size, *encoding, failure)) {
        const std::string_view before(FData, failure.Converted);
        const int line = 1 + static_cast<int>(std::count(before.begin(), before.end(), '\n'));
        if (failure.Invalid)
            throw EParserError(std::string("Bytes that are not ") + FSourceEncoding + " text", line);
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(failure.Character));
        throw EParserError(std::string("The character ") + code + " (" + Utf8Of(failure.Character) +
                               ") has no place in the code page Windows-1252",
                           line);
    }
    FData[size] = 0;
}

TXMLLargeTokenizer::TXMLLargeTokenizer(std::istream& stream, TXMLTextMemory* memory) : TXMLTokenizer(stream, 0, {}, memory) {}

bool TXMLTokenizer::Widened()
{
    if (!FWidening)
        return false;
    const TWidening widening = std::move(FWidening);
    FWidening = nullptr;
    if (!widening())
        return false;
    FCapacity = 0;
    return true;
}

size_t TXMLTokenizer::WholeText()
{
    const size_t whole = FReading->Whole();
    FReading.reset();
    FReadable = whole;
    // A stream that ended early ends the text there.
    FDataEnd = FData + whole;
    return whole;
}

void TXMLTokenizer::AwaitText(size_t end)
{
    if (end < TextSize()) {
        if (end > FReadable)
            FReadable = FReading->Await(end);
        if (FReadable >= end)
            return;
    }
    WholeText();
}

bool TXMLTokenizer::ReadBuffer()
{
    *FChunkEnd = FSavedByte;
    // The chunk, the bytes a search of blanks reads at its end and the bytes a full chunk
    // is cut back from.
    if (FReading)
        AwaitText(FCapacity == 0 ? TextSize() : static_cast<size_t>(FPosition - FData) + FCapacity + 16);
    // The chunk starts at the position, as in a buffer refilled from the stream with the
    // bytes not yet consumed; the token read so far stays where it lies in the text.
    const size_t available = static_cast<size_t>(FDataEnd - FPosition);
    if (FCapacity == 0 || available < FCapacity) {
        // The rest of the stream fits.
        FChunkEnd = FDataEnd;
    } else if (const char* lineFeed = FindLastLineFeed(FPosition + 1, FPosition + FCapacity - 1)) {
        // A full buffer ends after the last line feed among its inner bytes.
        FChunkEnd = const_cast<char*>(lineFeed) + 1;
    } else if (Widened()) {
        if (FReading)
            WholeText();
        FChunkEnd = FDataEnd;
    } else {
        throw EParserError("Line too long", SourceLine());
    }
    FSavedByte = *FChunkEnd;
    *FChunkEnd = 0;
    return FChunkEnd > FPosition;
}

// Inline: it runs before every token, mostly over a line feed and an indent.
inline void TXMLTokenizer::SkipBlanks()
{
    for (;;) {
        char* const p = PastBlanks(FPosition, FDataEnd + 1, FBlankRun);
        FPosition = p;
        if (*p != 0)
            return;
        // The terminator at the chunk end asks for more input; a NUL byte in the input
        // ends it. A line too long for the next chunk is the line the blanks end on.
        FTokenStart = FPosition;
        if (FPosition == FChunkEnd && ReadBuffer())
            continue;
        FExhausted = true;
        return;
    }
}

TXMLToken TXMLTokenizer::NextToken()
{
    FUsual = false;
    if (!FExhausted)
        SkipBlanks();
    if (FExhausted) {
        FTokenStart = FPosition;
        return FToken = xtEnd;
    }
    FTokenStart = FPosition;
    if (*FPosition != '<')
        ScanText();
    else if (UsualNameBytes[static_cast<unsigned char>(FPosition[1])] && ScanUsualTag())
        FUsual = true;
    else if (!(FPosition[1] == '/' && ScanUsualEndTag()))
        ScanTag();
    return FToken;
}

// An end tag of a plain name, read without a search for its end.
inline bool TXMLTokenizer::ScanUsualEndTag()
{
    char* const name = FPosition + 2;
    char* p = name;
    while (UsualNameBytes[static_cast<unsigned char>(*p)])
        ++p;
    if (*p != '>' || p == name)
        return false;
    FPosition = p + 1;
    FReturns = false;
    FToken = xtEndTag;
    return true;
}

template <char... Stops>
char* TXMLTokenizer::ScanPastReturns(char* from)
{
    char* p = const_cast<char*>(NextOf<Stops..., '\r'>(from, FChunkEnd));
    while (p < FChunkEnd && *p == '\r') {
        if (!FReturns) {
            FReturns = true;
            FFirstReturn = p;
        }
        p = const_cast<char*>(NextOf<Stops..., '\r'>(p + 1, FChunkEnd));
    }
    return p;
}

template <class Next, class Step>
bool TXMLTokenizer::ScanUntil(char* from, Next next, Step step)
{
    char* p = from;
    for (;;) {
        for (p = next(p, FChunkEnd); p < FChunkEnd; p = next(p + 1, FChunkEnd))
            if (step(p)) {
                FPosition = p + 1;
                return true;
            }
        FPosition = FChunkEnd;
        if (!ReadBuffer())
            return false;
        p = FPosition;
    }
}

template <class Accept>
bool TXMLTokenizer::ScanToClose(char* from, Accept accept)
{
    return ScanUntil(from, [](char* p, const char* end) { return const_cast<char*>(NextOf<'>'>(p, end)); }, accept);
}

bool TXMLTokenizer::ScanTagEnd(char* from)
{
    char* p = from;
    char quote = 0;
    for (;;) {
        while (true) {
            p = const_cast<char*>(quote == '"' ? NextOf<'"'>(p, FChunkEnd)
                                  : quote       ? NextOf<'\''>(p, FChunkEnd)
                                                : NextOf<'>', '"', '\''>(p, FChunkEnd));
            if (p >= FChunkEnd)
                break;
            if (quote) {
                quote = 0;
            } else if (*p == '>') {
                FPosition = p + 1;
                return true;
            } else {
                // A quote opens a value only right after its "=", blanks between allowed.
                const char* before = p;
                while (before > FTokenStart && IsBlank(before[-1]))
                    --before;
                if (before > FTokenStart && before[-1] == '=')
                    quote = *p;
            }
            ++p;
        }
        FPosition = FChunkEnd;
        if (!ReadBuffer())
            return false;
        p = FPosition;
    }
}

bool TXMLTokenizer::StartsWith(const char* text, bool anyCase) const
{
    // The bytes after the chunk end are in memory; the one at the chunk end stands aside.
    const char* p = FTokenStart;
    for (; *text; ++text, ++p) {
        if (p >= FDataEnd)
            return false;
        const auto c = static_cast<unsigned char>(p == FChunkEnd ? FSavedByte : *p);
        if ((anyCase ? Cp1252Lower(c) : c) != static_cast<unsigned char>(*text))
            return false;
    }
    return true;
}

void TXMLTokenizer::ScanTag()
{
    FReturns = false;
    const char* const start = FTokenStart;
    bool ended;
    TXMLToken kind;
    if (StartsWith("<!--")) {
        // A comment ends at the first "-->", whatever it holds.
        kind = xtComment;
        ended = ScanToClose(FPosition + 1, [start](const char* p) { return p - 2 >= start + 4 && p[-1] == '-' && p[-2] == '-'; });
    } else if (StartsWith("<![CDATA[")) {
        kind = xtCData;
        ended = ScanToClose(FPosition + 1, [start](const char* p) { return p - 2 >= start + 9 && p[-1] == ']' && p[-2] == ']'; });
    } else if (StartsWith("<!")) {
        // A document type or another declaration: quoted literals and an internal subset
        // in brackets, with its declarations and comments, are passed whole.
        kind = xtComment;
        char quote = 0;
        bool subset = false;
        const char* comment = nullptr;
        ended = ScanUntil(FPosition + 1, [](char* p, const char*) { return p; }, [&](const char* p) {
            const char c = *p;
            if (comment) {
                if (c == '>' && p - 2 >= comment + 4 && p[-1] == '-' && p[-2] == '-')
                    comment = nullptr;
            } else if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (subset) {
                if (c == ']')
                    subset = false;
                else if (c == '-' && p - 3 >= start && p[-1] == '-' && p[-2] == '!' && p[-3] == '<')
                    comment = p - 3;
            } else if (c == '[') {
                subset = true;
            } else {
                return c == '>';
            }
            return false;
        });
    } else if (StartsWith("<?") && !StartsWith("<?xml", true)) {
        // A processing instruction other than the XML and style-sheet declarations ends
        // at its "?>" and is passed over.
        kind = xtComment;
        ended = ScanToClose(FPosition + 2, [start](const char* p) { return p - 1 >= start + 2 && p[-1] == '?'; });
    } else {
        // A ">" inside a quoted value does not end the tag.
        kind = xtStartTag;
        ended = ScanTagEnd(FPosition + 1);
    }
    if (!ended) {
        // No end before the end of the input: the rest becomes one text run. It is no
        // tag, so a NUL byte in it ends the input, as anywhere outside a tag.
        if (const void* nul = std::memchr(FTokenStart, '\0', static_cast<size_t>(FPosition - FTokenStart)))
            FPosition = static_cast<char*>(const_cast<void*>(nul));
        while (FPosition > FTokenStart && IsBlank(FPosition[-1]))
            --FPosition;
        FReturns = FindByte<'\r'>(std::string_view(FTokenStart, static_cast<size_t>(FPosition - FTokenStart))) != std::string_view::npos;
        FToken = xtText;
        return;
    }
    if (kind != xtStartTag) {
        FToken = kind;
        return;
    }

    const char* tag = FTokenStart;
    const size_t length = static_cast<size_t>(FPosition - FTokenStart);
    auto lower = [tag](size_t i) { return Cp1252Lower(static_cast<unsigned char>(tag[i])); };
    if (length >= 5 && tag[1] == '?' && lower(2) == 'x' && lower(3) == 'm' && lower(4) == 'l')
        FToken = xtDeclaration;
    // Exactly "</>" ends an unnamed item, as the writer puts it.
    else if (tag[length - 2] == '/' && length > 3)
        FToken = xtEmptyTag;
    else if (tag[1] == '/')
        FToken = xtEndTag;
    else
        FToken = xtStartTag;
}

template <char Quote>
char* TXMLTokenizer::ValueEnd(char* from, bool& ampersand) const
{
    // Control bytes up to CR stop the value with its line breaks: a value holding a tab
    // is rare enough to be left to the byte-wise scan too.
    char* p = const_cast<char*>(NextBelowOr<14, Quote, '&', '>'>(from, FChunkEnd));
    while (*p == '&') {
        ampersand = true;
        p = const_cast<char*>(NextBelowOr<14, Quote, '&', '>'>(p + 1, FChunkEnd));
    }
    return *p == Quote ? p : nullptr;
}

// Each search stops at the chunk's terminator too, and the tag is then left to the
// byte-wise scan, which reads on into the next chunk. The name's first byte is known to
// be usual. Forced inline into NextToken, its one caller: most tokens are such tags, and
// the call cost more than a tenth of cutting one.
[[gnu::always_inline]] inline bool TXMLTokenizer::ScanUsualTag()
{
    char* p = FTokenStart + 2;
    while (UsualNameBytes[static_cast<unsigned char>(*p)])
        ++p;
    FTagName = std::string_view(FTokenStart + 1, static_cast<size_t>(p - FTokenStart - 1));
    FTagEntryCount = 0;
    FTagEntryBytes = 0;
    while (SeparatorBytes[static_cast<unsigned char>(*p)]) {
        if (*p == ' ' && UsualEntryNameBytes[static_cast<unsigned char>(p[1])]) {
            ++p;
        } else {
            // Blanks, tabs and line breaks between the entries and before the tag's end,
            // as other programs lay tags out.
            while (SeparatorBytes[static_cast<unsigned char>(*p)])
                ++p;
            if (*p == '>' || (p[0] == '/' && p[1] == '>'))
                break;
        }
        char* const name = p;
        while (UsualEntryNameBytes[static_cast<unsigned char>(*p)])
            ++p;
        char* const nameEnd = p;
        // Blanks and tabs around the "=" belong to neither the name nor the value.
        if (*p != '=') {
            while (*p == ' ' || *p == '\t')
                ++p;
            if (*p != '=')
                return false;
        }
        ++p;
        if (*p != '"' && *p != '\'') {
            while (*p == ' ' || *p == '\t')
                ++p;
        }
        char* const value = p + 1;
        bool ampersand = false;
        if (*p == '"')
            p = ValueEnd<'"'>(value, ampersand);
        else if (*p == '\'')
            p = ValueEnd<'\''>(value, ampersand);
        else
            return false;
        if (!p)
            return false;
        if (FTagEntryCount == FTagEntryRoom) {
            FTagEntries.resize(2 * FTagEntryCount + 8);
            FTagEntryRoom = FTagEntries.size();
        }
        // Field by field where it stays: an entry built aside and copied whole would be
        // read back before its parts are stored, which stalls the processor.
        TXMLParamEntry& entry = FTagEntries[FTagEntryCount++];
        entry.name = std::string_view(name, static_cast<size_t>(nameEnd - name));
        entry.value = std::string_view(value, static_cast<size_t>(p - value));
        entry.ampersand = ampersand;
        FTagEntryBytes += entry.name.size() + 1 + entry.value.size();
        ++p;
    }
    if (*p == '>') {
        FToken = xtStartTag;
    } else if (p[0] == '/' && p[1] == '>') {
        FToken = xtEmptyTag;
        ++p;
    } else {
        return false;
    }
    FPosition = p + 1;
    // A tag keeps its line breaks.
    FReturns = false;
    return true;
}

void TXMLTokenizer::ScanText()
{
    char* scan = FPosition;
    char* end;
    FReturns = false;
    for (;;) {
        end = ScanPastReturns<'<', '\0'>(scan);
        if (end < FChunkEnd)
            break;
        FPosition = FChunkEnd;
        if (!ReadBuffer()) {
            end = FPosition;
            break;
        }
        scan = FPosition;
    }
    // Trailing blanks stay for the next SkipBlanks, which counts their line feeds.
    while (end > FTokenStart && IsBlank(end[-1]))
        --end;
    // Most texts end their line: a CR among the trailing blanks leaves nothing to remove.
    FReturns = FReturns && FFirstReturn < end;
    FPosition = end;
    FToken = xtText;
}

std::string_view TXMLTokenizer::WithoutLineEndPairs(std::string_view raw, std::string& scratch)
{
    if (FindByte<'\r'>(raw) == std::string_view::npos)
        return raw;
    std::string once;
    RemovePairs(raw, '\r', '\n', once);
    RemovePairs(once, '\n', '\r', scratch);
    return scratch;
}

std::string TXMLTokenizer::TokenString() const
{
    std::string scratch;
    return std::string(TokenText(scratch));
}
