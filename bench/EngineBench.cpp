// Loading, saving and path lookup of the engine against pugixml on the same documents.
// The documents are generated once per run into a temporary folder; before the timed
// benchmarks a one-shot pass prints how much heap a loaded document holds in each
// library and whether both read the same number of elements and attributes.
//
// Own options (the rest are Google Benchmark's):
//   --selvane_dir=PATH    folder in which the temporary folder is made (default: TMPDIR or /tmp)
//   --selvane_scale=F     scales every document's size (default 1), for quick checks

#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include "BenchDocuments.h"
#include "ECXMLParser.h"
#include "XMLItem.h"
#include "XMLItemPath.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t Seed = 20261208;
constexpr double MiB = 1024.0 * 1024.0;

struct TBenchDocument {
    std::string Key; // part of the benchmark names
    std::string Title;
    fs::path File;
    std::uint64_t Size = 0;
    std::size_t LongestLine = 0;
    // Filled by the one-shot pass.
    double SelvaneMiB = 0;
    double PugixmlMiB = 0;
};

// A fresh folder for the run's files, removed with everything in it at the end.
class TBenchFolder {
public:
    explicit TBenchFolder(const fs::path& parent)
    {
        std::string pattern = (parent / "selvane-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a folder in " + parent.string() + ": " + std::strerror(errno));
        FPath = pattern;
    }
    ~TBenchFolder()
    {
        std::error_code ignored;
        fs::remove_all(FPath, ignored);
    }
    TBenchFolder(const TBenchFolder&) = delete;
    TBenchFolder& operator=(const TBenchFolder&) = delete;

    const fs::path& Path() const { return FPath; }

private:
    fs::path FPath;
};

// Bytes the heap hands out right now: small blocks from the arenas plus mmap'ed blocks.
std::size_t HeapInUse()
{
    ::malloc_trim(0);
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

double MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct TTreeCount {
    std::uint64_t Elements = 0;
    std::uint64_t Attributes = 0;
};

TTreeCount CountItems(const TXMLItem& root)
{
    TTreeCount count;
    std::vector<const TXMLItem*> pending{&root};
    while (!pending.empty()) {
        const TXMLItem* item = pending.back();
        pending.pop_back();
        ++count.Elements;
        count.Attributes += static_cast<std::uint64_t>(item->Params().Count());
        for (int i = 0; i < item->Count(); ++i)
            pending.push_back(item->Items(i));
    }
    return count;
}

TTreeCount CountElements(const pugi::xml_document& document)
{
    TTreeCount count;
    std::vector<pugi::xml_node> pending{document};
    while (!pending.empty()) {
        const pugi::xml_node node = pending.back();
        pending.pop_back();
        if (node.type() == pugi::node_element) {
            ++count.Elements;
            for (pugi::xml_attribute attribute = node.first_attribute(); attribute; attribute = attribute.next_attribute())
                ++count.Attributes;
        }
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
            pending.push_back(child);
    }
    return count;
}

void LoadOrThrow(pugi::xml_document& document, const fs::path& file)
{
    const pugi::xml_parse_result result = document.load_file(file.c_str());
    if (!result)
        throw std::runtime_error("pugixml cannot read " + file.string() + ": " + result.description());
}

// Heap held by each library's loaded document, element counts of both, and the times of
// a cold load (right after malloc_trim, so with page faults) and of freeing the document.
void MeasureMemory(std::vector<TBenchDocument>& documents)
{
    std::fprintf(stderr,
                 "\nOne-shot pass. Heap held by a loaded document: mallinfo2 uordblks + hblkhd after "
                 "malloc_trim, with the document alive minus before loading. Cold: the first load "
                 "after malloc_trim. Free: destroying the document.\n");
    std::fprintf(stderr, "%-12s %8s %11s %11s %6s %9s %10s %10s %10s %9s %9s\n", "document", "file MiB",
                 "Selvane MiB", "pugixml MiB", "ratio", "elements", "attributes", "cold S ms", "cold P ms",
                 "free S ms", "free P ms");
    for (TBenchDocument& document : documents) {
        TTreeCount ours;
        TTreeCount theirs;
        double oursLoad = 0;
        double theirsLoad = 0;
        double oursFree = 0;
        double theirsFree = 0;
        {
            const std::size_t before = HeapInUse();
            auto load = std::chrono::steady_clock::now();
            auto parser = std::make_unique<TECXMLParser>();
            parser->LoadFromFile(document.File);
            oursLoad = MillisecondsSince(load);
            document.SelvaneMiB = static_cast<double>(HeapInUse() - before) / MiB;
            ours = CountItems(*parser->Root());
            const auto start = std::chrono::steady_clock::now();
            parser.reset();
            oursFree = MillisecondsSince(start);
        }
        {
            const std::size_t before = HeapInUse();
            auto load = std::chrono::steady_clock::now();
            auto pugi = std::make_unique<pugi::xml_document>();
            LoadOrThrow(*pugi, document.File);
            theirsLoad = MillisecondsSince(load);
            document.PugixmlMiB = static_cast<double>(HeapInUse() - before) / MiB;
            theirs = CountElements(*pugi);
            const auto start = std::chrono::steady_clock::now();
            pugi.reset();
            theirsFree = MillisecondsSince(start);
        }
        std::fprintf(stderr, "%-12s %8.1f %11.1f %11.1f %6.2f %9llu %10llu %10.1f %10.1f %9.1f %9.1f\n",
                     document.Key.c_str(), static_cast<double>(document.Size) / MiB, document.SelvaneMiB,
                     document.PugixmlMiB, document.SelvaneMiB / document.PugixmlMiB,
                     static_cast<unsigned long long>(ours.Elements), static_cast<unsigned long long>(ours.Attributes),
                     oursLoad, theirsLoad, oursFree, theirsFree);
        if (ours.Elements != theirs.Elements || ours.Attributes != theirs.Attributes)
            std::fprintf(stderr, "  !! pugixml reads %llu elements and %llu attributes\n",
                         static_cast<unsigned long long>(theirs.Elements),
                         static_cast<unsigned long long>(theirs.Attributes));
    }
    std::fprintf(stderr, "\n");
}

// --- Loading ---------------------------------------------------------------------
// Each iteration loads into a new document; freeing it is left out of the time (the
// one-shot pass reports it), so both libraries are timed for reading alone. The first,
// untimed load takes the page faults of a heap that has not held the document yet; the
// one-shot pass reports that cold load as well.

void LoadSelvane(benchmark::State& state, const TBenchDocument* document)
{
    // One untimed load first, so that the heap already holds the pages the loop reuses.
    TECXMLParser().LoadFromFile(document->File);
    for (auto _ : state) {
        auto parser = std::make_unique<TECXMLParser>();
        parser->LoadFromFile(document->File);
        state.PauseTiming();
        parser.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document->Size));
    state.counters["heap_MiB"] = document->SelvaneMiB;
}

void LoadPugixml(benchmark::State& state, const TBenchDocument* document)
{
    LoadOrThrow(*std::make_unique<pugi::xml_document>(), document->File);
    for (auto _ : state) {
        auto pugi = std::make_unique<pugi::xml_document>();
        const pugi::xml_parse_result result = pugi->load_file(document->File.c_str());
        if (!result) {
            state.SkipWithError(result.description());
            break;
        }
        state.PauseTiming();
        pugi.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * document->Size));
    state.counters["heap_MiB"] = document->PugixmlMiB;
}

// Both libraries in turn in every iteration, so that a slower minute of a shared machine
// weighs on both alike, where the two benchmarks above may meet different minutes. The
// time shown is Selvane's load; `pugixml_ms` is pugixml's and `ratio` the one over the
// other, summed over the iterations.
void LoadSideBySide(benchmark::State& state, const TBenchDocument* document)
{
    TECXMLParser().LoadFromFile(document->File);
    LoadOrThrow(*std::make_unique<pugi::xml_document>(), document->File);
    double ours = 0;
    double theirs = 0;
    for (auto _ : state) {
        auto parser = std::make_unique<TECXMLParser>();
        auto start = std::chrono::steady_clock::now();
        parser->LoadFromFile(document->File);
        const double oursLoad = MillisecondsSince(start);
        parser.reset();
        auto pugi = std::make_unique<pugi::xml_document>();
        start = std::chrono::steady_clock::now();
        LoadOrThrow(*pugi, document->File);
        theirs += MillisecondsSince(start);
        pugi.reset();
        ours += oursLoad;
        state.SetIterationTime(oursLoad / 1e3);
    }
    state.counters["pugixml_ms"] = theirs / static_cast<double>(state.iterations());
    state.counters["ratio"] = ours / theirs;
}

// --- Saving ----------------------------------------------------------------------
// The document is loaded once; each iteration writes the whole file again. Bytes per
// second count each library's own output.

std::int64_t FileSize(const fs::path& file)
{
    std::error_code error;
    const auto size = fs::file_size(file, error);
    return error ? 0 : static_cast<std::int64_t>(size);
}

// SaveToFile as the program saves: a temporary file, flushed to the disk (fsync), then
// renamed over the target.
void SaveSelvane(benchmark::State& state, const TBenchDocument* document, fs::path target, bool lineEnds)
{
    TECXMLParser parser;
    parser.LoadFromFile(document->File);
    parser.SetCrLfInAsString(lineEnds);
    for (auto _ : state)
        parser.SaveToFile(target);
    state.SetBytesProcessed(state.iterations() * FileSize(target));
    fs::remove(target);
}

// The same text through SaveToStream into a plain file stream: no fsync, no rename, as
// pugixml's save_file writes.
void SaveSelvaneStream(benchmark::State& state, const TBenchDocument* document, fs::path target, bool lineEnds)
{
    TECXMLParser parser;
    parser.LoadFromFile(document->File);
    parser.SetCrLfInAsString(lineEnds);
    for (auto _ : state) {
        std::ofstream stream(target, std::ios::binary | std::ios::trunc);
        parser.SaveToStream(stream, false);
    }
    state.SetBytesProcessed(state.iterations() * FileSize(target));
    fs::remove(target);
}

void SavePugixml(benchmark::State& state, const TBenchDocument* document, fs::path target, bool indent)
{
    pugi::xml_document pugi;
    LoadOrThrow(pugi, document->File);
    const unsigned flags = indent ? pugi::format_default : pugi::format_raw;
    for (auto _ : state) {
        if (!pugi.save_file(target.c_str(), PUGIXML_TEXT("\t"), flags)) {
            state.SkipWithError("save_file failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * FileSize(target));
    fs::remove(target);
}

// --- Path lookup -----------------------------------------------------------------

void FindSelvane(benchmark::State& state, const TBenchDocument* document, std::string path)
{
    TECXMLParser parser;
    parser.LoadFromFile(document->File);
    TXMLItem* found = nullptr;
    for (auto _ : state) {
        found = FindItemByPath(&parser, path);
        benchmark::DoNotOptimize(found);
    }
    if (!found)
        state.SkipWithError("path not found");
}

// What a pugixml user writes for a dotted path: child() by name, segment by segment.
// Unlike FindItemByPath it does not go back to try a later sibling of the same name,
// which makes no difference in these documents (every name on the way is unique among
// its siblings). first_element_by_path(path, '.') would go back, but it recurses once
// per segment, which a 100,000-segment path does not survive on a default stack.
void FindPugixml(benchmark::State& state, const TBenchDocument* document, std::string path)
{
    pugi::xml_document pugi;
    LoadOrThrow(pugi, document->File);
    std::string names;
    pugi::xml_node node;
    for (auto _ : state) {
        names.assign(path);
        node = pugi;
        char* segment = names.data();
        for (char* end = segment;; ++end) {
            if (*end != '.' && *end != 0)
                continue;
            const bool last = *end == 0;
            *end = 0;
            node = node.child(segment);
            if (last || !node)
                break;
            segment = end + 1;
        }
        benchmark::DoNotOptimize(node);
    }
    if (!node)
        state.SkipWithError("path not found");
}

// What a pugixml user writes when siblings share names: first_element_by_path, which
// goes back to a later sibling as FindItemByPath does.
void FindPugixmlByPath(benchmark::State& state, const TBenchDocument* document, std::string path)
{
    pugi::xml_document pugi;
    LoadOrThrow(pugi, document->File);
    pugi::xml_node node;
    for (auto _ : state) {
        node = pugi.first_element_by_path(path.c_str(), '.');
        benchmark::DoNotOptimize(node);
    }
    if (!node)
        state.SkipWithError("path not found");
}

// --- Setup -----------------------------------------------------------------------

struct TOptions {
    fs::path Folder;
    double Scale = 1.0;
};

// Takes this program's own options out of argv; Google Benchmark has taken its own.
TOptions TakeOptions(int& argc, char** argv)
{
    TOptions options;
    const char* tmp = std::getenv("TMPDIR");
    options.Folder = tmp && *tmp ? fs::path(tmp) : fs::path("/tmp");
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--selvane_dir="))
            options.Folder = std::string(arg.substr(14));
        else if (arg.starts_with("--selvane_scale="))
            options.Scale = std::stod(std::string(arg.substr(16)));
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return options;
}

TBenchDocument Describe(std::string key, std::string title, fs::path file)
{
    TBenchDocument document{std::move(key), std::move(title), std::move(file)};
    document.Size = fs::file_size(document.File);
    document.LongestLine = LongestLine(document.File);
    return document;
}

std::vector<TBenchDocument> GenerateDocuments(const fs::path& folder, double scale, int& flatItems, int& deepLevels)
{
    const auto start = std::chrono::steady_clock::now();
    const auto scaled = [scale](double n) { return n * scale < 1 ? 1.0 : n * scale; };
    flatItems = static_cast<int>(scaled(1000000));
    deepLevels = static_cast<int>(scaled(100000));

    std::vector<TBenchDocument> documents;
    TMixedOptions mixed;
    mixed.TargetBytes = static_cast<std::uint64_t>(scaled(30.0 * 1000 * 1000));
    mixed.Seed = Seed;
    const std::uint64_t blocks = WriteMixedDocument(folder / "mixed.xml", mixed);
    documents.push_back(Describe("mixed", "mixed, 3-6 levels", folder / "mixed.xml"));

    WriteFlatDocument(folder / "flat.xml", flatItems);
    documents.push_back(Describe("flat", "flat, one root", folder / "flat.xml"));

    WriteAttributeDocument(folder / "attributes.xml", static_cast<int>(scaled(40000)), Seed + 2);
    documents.push_back(Describe("attributes", "20-40 attributes per element", folder / "attributes.xml"));

    WriteMarkupDocument(folder / "markup.xml", static_cast<int>(scaled(100000)), Seed + 3);
    documents.push_back(Describe("markup", "DOCTYPE, comments, CDATA, multi-line tags", folder / "markup.xml"));

    WriteGroupsDocument(folder / "groups.xml", static_cast<int>(scaled(20000)), 10);
    documents.push_back(Describe("groups", "20,000 parents of 10 children, names repeated", folder / "groups.xml"));

    WriteDeepDocument(folder / "deep.xml", deepLevels);
    documents.push_back(Describe("deep", "deep, one element per line", folder / "deep.xml"));

    // The two cases with lines of 4096 bytes or more, read by the whole-file fallback.
    TMixedOptions longEnd = mixed;
    longEnd.Blocks = blocks;
    longEnd.LongLineAtEnd = 8192;
    WriteMixedDocument(folder / "mixed-longline-end.xml", longEnd);
    documents.push_back(Describe("long-at-end", "mixed + one 8 KiB line before its end tag (fallback)",
                                 folder / "mixed-longline-end.xml"));

    TMixedOptions oneLine = mixed;
    oneLine.Blocks = blocks;
    oneLine.LineBreaks = false;
    WriteMixedDocument(folder / "mixed-oneline.xml", oneLine);
    documents.push_back(Describe("one-line", "mixed tree on one line (fallback)", folder / "mixed-oneline.xml"));

    std::fprintf(stderr, "Documents in %s (generated in %.1f s):\n", folder.c_str(), MillisecondsSince(start) / 1000);
    std::fprintf(stderr, "%-14s %12s %14s  %s\n", "document", "bytes", "longest line", "content");
    for (const TBenchDocument& document : documents)
        std::fprintf(stderr, "%-14s %12llu %14zu  %s\n", document.Key.c_str(),
                     static_cast<unsigned long long>(document.Size), document.LongestLine, document.Title.c_str());
    return documents;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const TOptions options = TakeOptions(argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    try {
        TBenchFolder folder(options.Folder);
        int flatItems = 0;
        int deepLevels = 0;
        std::vector<TBenchDocument> documents = GenerateDocuments(folder.Path(), options.Scale, flatItems, deepLevels);
        MeasureMemory(documents);
        // From here on a freed document's memory stays in the heap for the next load, as
        // the benchmarks' untimed first load intends; otherwise glibc gives it back to the
        // system and every load of either library pays a page fault per 4 KiB again,
        // which on a virtual machine costs more than the parsing.
        if (!::mallopt(M_TRIM_THRESHOLD, 1 << 30) || !::mallopt(M_MMAP_THRESHOLD, 32 << 20))
            throw std::runtime_error("mallopt refused the heap settings");
        const auto find = [&](std::string_view key) {
            for (const TBenchDocument& document : documents)
                if (document.Key == key)
                    return &document;
            throw std::logic_error("no document " + std::string(key));
        };

        for (const TBenchDocument& document : documents) {
            benchmark::RegisterBenchmark(("Load/" + document.Key + "/Selvane").c_str(), LoadSelvane, &document)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("Load/" + document.Key + "/pugixml").c_str(), LoadPugixml, &document)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        for (const TBenchDocument& document : documents)
            benchmark::RegisterBenchmark(("LoadSideBySide/" + document.Key).c_str(), LoadSideBySide, &document)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime();

        const fs::path saved = folder.Path() / "saved.xml";
        for (const std::string_view key : {"mixed", "flat", "attributes"}) {
            const TBenchDocument* document = find(key);
            const std::string name = "Save/" + document->Key;
            benchmark::RegisterBenchmark((name + "/Selvane").c_str(), SaveSelvane, document, saved, true)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark((name + "/Selvane_stream").c_str(), SaveSelvaneStream, document, saved, true)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark((name + "/pugixml").c_str(), SavePugixml, document, saved, true)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        // Indented, a 100,000-level document would take gigabytes in either library.
        const TBenchDocument* deep = find("deep");
        benchmark::RegisterBenchmark("Save/deep_raw/Selvane", SaveSelvane, deep, saved, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("Save/deep_raw/Selvane_stream", SaveSelvaneStream, deep, saved, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("Save/deep_raw/pugixml", SavePugixml, deep, saved, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();

        const std::string flatLast = "flat.row" + std::to_string(flatItems - 1);
        benchmark::RegisterBenchmark("Find/flat_last/Selvane", FindSelvane, find("flat"), flatLast)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Find/flat_last/pugixml", FindPugixml, find("flat"), flatLast)
            ->Unit(benchmark::kMicrosecond);
        const std::string deepest = DeepDocumentPath(deepLevels);
        benchmark::RegisterBenchmark("Find/deep_deepest/Selvane", FindSelvane, deep, deepest)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Find/deep_deepest/pugixml", FindPugixml, deep, deepest)
            ->Unit(benchmark::kMicrosecond);

        // Every group is named alike: the lookup must not visit them all.
        benchmark::RegisterBenchmark("Find/groups_repeated/Selvane", FindSelvane, find("groups"), "root.group.item")
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("Find/groups_repeated/pugixml", FindPugixmlByPath, find("groups"), "root.group.item")
            ->Unit(benchmark::kMicrosecond);

        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "selvane_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
