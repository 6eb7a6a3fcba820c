#include "BenchDocuments.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace {

constexpr std::string_view Declaration = "<?xml version=\"1.0\" encoding=\"ISO8859-1\" ?>\r\n";

// Buffered writing to a C file; fails with std::runtime_error.
class TDocumentSink {
public:
    explicit TDocumentSink(const std::filesystem::path& file) : FName(file.string())
    {
        FFile = std::fopen(FName.c_str(), "wb");
        if (!FFile)
            throw std::runtime_error("cannot create " + FName + ": " + std::strerror(errno));
        FBuffer.reserve(BlockSize + 4096);
    }
    ~TDocumentSink()
    {
        if (FFile)
            std::fclose(FFile);
    }
    TDocumentSink(const TDocumentSink&) = delete;
    TDocumentSink& operator=(const TDocumentSink&) = delete;

    void Put(std::string_view text)
    {
        FBuffer.append(text);
        if (FBuffer.size() >= BlockSize)
            Flush();
    }
    void PutBlanks(size_t count) { FBuffer.append(count, ' '); }
    void PutNumber(std::uint64_t number)
    {
        char digits[24];
        const int length = std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(number));
        Put(std::string_view(digits, static_cast<size_t>(length)));
    }
    std::uint64_t Written() const { return FWritten + FBuffer.size(); }

    void Close()
    {
        Flush();
        const bool failed = std::fclose(FFile) != 0;
        FFile = nullptr;
        if (failed)
            throw std::runtime_error("cannot write " + FName);
    }

private:
    static constexpr size_t BlockSize = 1 << 20;

    void Flush()
    {
        if (std::fwrite(FBuffer.data(), 1, FBuffer.size(), FFile) != FBuffer.size())
            throw std::runtime_error("cannot write " + FName);
        FWritten += FBuffer.size();
        FBuffer.clear();
    }

    std::string FName;
    std::FILE* FFile = nullptr;
    std::string FBuffer;
    std::uint64_t FWritten = 0;
};

// splitmix64: the same sequence on every platform and library, unlike the standard
// distributions.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : FState(seed) {}

    std::uint64_t Next()
    {
        std::uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // From `low` to `high`, both included.
    int Between(int low, int high) { return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1)); }
    bool Percent(int chance) { return static_cast<int>(Next() % 100) < chance; }
    template <typename T, size_t N>
    const T& Pick(const std::array<T, N>& list) { return list[Next() % N]; }

private:
    std::uint64_t FState;
};

constexpr std::array<std::string_view, 16> ElementNames = {
    "section", "group", "record", "field", "entry", "param", "option", "item",
    "node", "setting", "property", "value", "channel", "device", "signal", "limit",
};

constexpr std::array<std::string_view, 12> MixedAttributeNames = {
    "id", "name", "type", "unit", "min", "max", "ref", "mode", "scale", "label", "color", "source",
};

constexpr std::array<std::string_view, 40> ManyAttributeNames = {
    "id", "name", "type", "unit", "min", "max", "scale", "offset", "label", "color",
    "source", "target", "mode", "state", "priority", "owner", "created", "modified", "version", "format",
    "precision", "width", "height", "x", "y", "z", "alarmHigh", "alarmLow", "warnHigh", "warnLow",
    "deadband", "filter", "address", "register", "bit", "access", "group", "comment", "tag", "enabled",
};

constexpr std::array<std::string_view, 20> Words = {
    "pump", "valve", "sensor", "flow", "pressure", "level", "tank", "motor", "speed", "alarm",
    "limit", "north", "south", "line", "stage", "input", "output", "reset", "manual", "auto",
};

constexpr std::array<std::string_view, 4> Entities = {"&lt;", "&gt;", "&amp;", "&quot;"};

// An attribute value as it stands between its quotes: a number, a word or a word with
// a number, now and then with an entity.
void PutAttributeValue(TDocumentSink& sink, TRandom& random, std::string_view name)
{
    if (name == "id" || name == "min" || name == "max" || name == "x" || name == "y") {
        sink.PutNumber(random.Next() % 100000);
        return;
    }
    sink.Put(random.Pick(Words));
    if (random.Percent(40)) {
        sink.Put("_");
        sink.PutNumber(random.Next() % 1000);
    }
    if (random.Percent(8)) {
        sink.Put(random.Percent(50) ? " &amp; " : " &quot;");
        sink.Put(random.Pick(Words));
        if (random.Percent(50))
            sink.Put("&quot;");
    }
}

// Two to twelve words, with an entity among them now and then.
void PutText(TDocumentSink& sink, TRandom& random)
{
    const int words = random.Between(2, 12);
    for (int i = 0; i < words; ++i) {
        if (i > 0)
            sink.Put(" ");
        if (random.Percent(6)) {
            sink.Put(random.Pick(Entities));
            sink.Put(" ");
        }
        if (random.Percent(25))
            sink.PutNumber(random.Next() % 10000);
        else
            sink.Put(random.Pick(Words));
    }
}

class TMixedWriter {
public:
    TMixedWriter(TDocumentSink& sink, std::uint64_t seed, bool lineBreaks)
        : FSink(sink), FRandom(seed), FLineBreaks(lineBreaks)
    {
    }

    // `level` 1 is the document element; `below` counts the levels still to come.
    void Element(int level, int below)
    {
        if (FRandom.Percent(1)) {
            Indent(level);
            FSink.Put("<!-- block ");
            FSink.PutNumber(++FComments);
            FSink.Put(" -->");
            LineEnd();
        }
        const std::string_view name = FRandom.Pick(ElementNames);
        Indent(level);
        FSink.Put("<");
        FSink.Put(name);
        const int attributes = FRandom.Between(1, 4);
        const int first = FRandom.Between(0, static_cast<int>(MixedAttributeNames.size()) - 1);
        for (int i = 0; i < attributes; ++i) {
            const std::string_view attribute = MixedAttributeNames[(first + i) % MixedAttributeNames.size()];
            FSink.Put(" ");
            FSink.Put(attribute);
            FSink.Put("=\"");
            PutAttributeValue(FSink, FRandom, attribute);
            FSink.Put("\"");
        }
        const bool leaf = below == 0;
        const bool hasText = leaf ? FRandom.Percent(50) : FRandom.Percent(10);
        if (leaf && !hasText) {
            FSink.Put("/>");
            LineEnd();
            return;
        }
        FSink.Put(">");
        LineEnd();
        if (hasText) {
            Indent(level + 1);
            PutText(FSink, FRandom);
            LineEnd();
        }
        if (!leaf) {
            const int children = FRandom.Between(1, 5);
            for (int i = 0; i < children; ++i)
                Element(level + 1, below - 1);
        }
        EndTag(level, name);
    }

    void Indent(int level) { FSink.PutBlanks(FLineBreaks ? static_cast<size_t>(2 * level) : 2); }
    void LineEnd()
    {
        if (FLineBreaks)
            FSink.Put("\r\n");
    }
    void EndTag(int level, std::string_view name)
    {
        Indent(level);
        FSink.Put("</");
        FSink.Put(name);
        FSink.Put(">");
        LineEnd();
    }
    TRandom& Random() { return FRandom; }

private:
    TDocumentSink& FSink;
    TRandom FRandom;
    bool FLineBreaks;
    std::uint64_t FComments = 0;
};

} // namespace

std::uint64_t WriteMixedDocument(const std::filesystem::path& file, const TMixedOptions& options)
{
    TDocumentSink sink(file);
    TMixedWriter writer(sink, options.Seed, options.LineBreaks);
    sink.Put(Declaration);
    writer.Indent(1);
    sink.Put("<plant version=\"3\" generator=\"selvane-bench\">");
    writer.LineEnd();
    std::uint64_t blocks = 0;
    for (;;) {
        if (options.Blocks > 0 ? blocks == options.Blocks : blocks > 0 && sink.Written() >= options.TargetBytes)
            break;
        // One to four levels below the block's top element.
        writer.Element(2, writer.Random().Between(1, 4));
        ++blocks;
    }
    if (options.LongLineAtEnd > 0) {
        writer.Indent(2);
        sink.Put("<note>");
        writer.LineEnd();
        writer.Indent(3);
        TRandom words(options.Seed + 1);
        size_t length = 0;
        while (length < options.LongLineAtEnd) {
            const std::string_view word = words.Pick(Words);
            sink.Put(word);
            sink.Put(" ");
            length += word.size() + 1;
        }
        sink.Put("end");
        writer.LineEnd();
        writer.EndTag(2, "note");
    }
    writer.EndTag(1, "plant");
    sink.Close();
    return blocks;
}

void WriteFlatDocument(const std::filesystem::path& file, int items)
{
    TDocumentSink sink(file);
    sink.Put(Declaration);
    sink.Put("  <flat count=\"");
    sink.PutNumber(static_cast<std::uint64_t>(items));
    sink.Put("\">\r\n");
    for (int i = 0; i < items; ++i) {
        sink.Put("    <row");
        sink.PutNumber(static_cast<std::uint64_t>(i));
        sink.Put(" id=\"");
        sink.PutNumber(static_cast<std::uint64_t>(i));
        sink.Put("\" v=\"");
        sink.PutNumber((static_cast<std::uint64_t>(i) * 2654435761u) % 1000000);
        sink.Put("\"/>\r\n");
    }
    sink.Put("  </flat>\r\n");
    sink.Close();
}

void WriteGroupsDocument(const std::filesystem::path& file, int groups, int items)
{
    TDocumentSink sink(file);
    sink.Put(Declaration);
    sink.Put("  <root>\r\n");
    std::uint64_t id = 0;
    for (int g = 0; g < groups; ++g) {
        sink.Put("    <group>\r\n");
        for (int i = 0; i < items; ++i) {
            sink.Put("      <item id=\"");
            sink.PutNumber(id++);
            sink.Put("\"/>\r\n");
        }
        sink.Put("    </group>\r\n");
    }
    sink.Put("  </root>\r\n");
    sink.Close();
}

void WriteAttributeDocument(const std::filesystem::path& file, int entries, std::uint64_t seed)
{
    TDocumentSink sink(file);
    TRandom random(seed);
    sink.Put(Declaration);
    sink.Put("  <table>\r\n");
    for (int i = 0; i < entries; ++i) {
        if (i % 100 == 0) {
            if (i > 0)
                sink.Put("    </group>\r\n");
            sink.Put("    <group n=\"");
            sink.PutNumber(static_cast<std::uint64_t>(i / 100));
            sink.Put("\">\r\n");
        }
        sink.Put("      <entry");
        const int attributes = random.Between(20, 40);
        const int first = random.Between(0, static_cast<int>(ManyAttributeNames.size()) - 1);
        for (int k = 0; k < attributes; ++k) {
            const std::string_view name = ManyAttributeNames[(first + k) % ManyAttributeNames.size()];
            sink.Put(" ");
            sink.Put(name);
            sink.Put("=\"");
            PutAttributeValue(sink, random, name);
            sink.Put("\"");
        }
        sink.Put("/>\r\n");
    }
    if (entries > 0)
        sink.Put("    </group>\r\n");
    sink.Put("  </table>\r\n");
    sink.Close();
}

void WriteMarkupDocument(const std::filesystem::path& file, int entries, std::uint64_t seed)
{
    TDocumentSink sink(file);
    TRandom random(seed);
    sink.Put("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
             "<!DOCTYPE catalog [\n"
             "  <!ELEMENT catalog (entry*)>\n"
             "  <!ATTLIST entry id CDATA #REQUIRED kind (a|b) \"a\">\n"
             "  <!-- declarations may hold > and < -->\n"
             "]>\n"
             "<!-- A catalogue written by another program: comments with <tags> in them,\n"
             "     multi-line start tags, single quotes, character references. -->\n"
             "<catalog>\n");
    for (int i = 0; i < entries; ++i) {
        sink.Put("\t<entry\n\t\tid='e");
        sink.PutNumber(static_cast<std::uint64_t>(i));
        sink.Put("'\n\t\tname = \"item &#233; ");
        sink.PutNumber(static_cast<std::uint64_t>(random.Between(0, 1000000)));
        sink.Put("\"\n\t\tnote=\"a &gt; b &apos;q&apos;\">\n");
        if (i % 4 == 0)
            sink.Put("\t\t<!-- entry <");
        if (i % 4 == 0) {
            sink.PutNumber(static_cast<std::uint64_t>(i));
            sink.Put("> -->\n");
        }
        sink.Put("\t\t<code><![CDATA[if (a < b && c > d) return \"<x/>\";]]></code>\n"
                 "\t\t<size w=\"");
        sink.PutNumber(static_cast<std::uint64_t>(random.Between(1, 500)));
        sink.Put("\" h='");
        sink.PutNumber(static_cast<std::uint64_t>(random.Between(1, 500)));
        sink.Put("' />\n\t</entry>\n");
    }
    sink.Put("</catalog>\n");
    sink.Close();
}

void WriteDeepDocument(const std::filesystem::path& file, int levels)
{
    TDocumentSink sink(file);
    sink.Put(Declaration);
    for (int i = 1; i <= levels; ++i) {
        sink.Put("<d i=\"");
        sink.PutNumber(static_cast<std::uint64_t>(i));
        sink.Put(i == levels ? "\">deepest</d>\r\n" : "\">\r\n");
    }
    for (int i = 1; i < levels; ++i)
        sink.Put("</d>\r\n");
    sink.Close();
}

std::string DeepDocumentPath(int levels)
{
    std::string path;
    path.reserve(static_cast<size_t>(levels) * 2);
    for (int i = 0; i < levels; ++i)
        path.append(i == 0 ? "d" : ".d");
    return path;
}

std::size_t LongestLine(const std::filesystem::path& file)
{
    std::FILE* in = std::fopen(file.string().c_str(), "rb");
    if (!in)
        throw std::runtime_error("cannot open " + file.string());
    std::string block(1 << 20, '\0');
    size_t longest = 0;
    size_t current = 0;
    bool carriageReturn = false;
    for (size_t got; (got = std::fread(block.data(), 1, block.size(), in)) > 0;) {
        for (size_t i = 0; i < got; ++i) {
            const char c = block[i];
            if (c == '\n') {
                longest = std::max(longest, current - (carriageReturn ? 1 : 0));
                current = 0;
            } else {
                ++current;
            }
            carriageReturn = c == '\r';
        }
    }
    std::fclose(in);
    return std::max(longest, current);
}
