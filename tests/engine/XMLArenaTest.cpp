#include <functional>
#include <memory_resource>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ECXMLParser.h"
#include "EngineTestSupport.h"
#include "XMLArena.h"
#include "XMLItem.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SELVANE_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SELVANE_TEST_ASAN 1
#endif
#ifdef SELVANE_TEST_ASAN
#include <sanitizer/allocator_interface.h>
#include <sanitizer/asan_interface.h>
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace enginetest;

namespace {

TEST(XMLArena, GivesBackBlocksForReuseAndItsChunksWithTheLastBlock)
{
    TXMLArena arena;
    void* a = arena.allocate(40);
    void* b = arena.allocate(40);
    EXPECT_NE(a, b);
    EXPECT_EQ(arena.ChunkCount(), 1u);
    arena.deallocate(a, 40);
    // A block of the same size class takes the freed one.
    EXPECT_EQ(arena.allocate(33), a);
    EXPECT_EQ(arena.BlocksInUse(), 2u);

    arena.deallocate(a, 33);
    arena.deallocate(b, 40);
    EXPECT_EQ(arena.BlocksInUse(), 0u);
    EXPECT_EQ(arena.ChunkCount(), 0u);
}

TEST(XMLArena, ARefillKeepsTheChunksOfTheClearedTreeForTheNextAndGivesBackTheRest)
{
    TXMLArena arena;
    void* first = nullptr;
    {
        TXMLArena::TRefill refill(&arena);
        std::vector<void*> blocks;
        for (int i = 0; i < 2000; ++i)
            blocks.push_back(arena.allocate(112));
        const size_t chunks = arena.ChunkCount();
        ASSERT_GT(chunks, 2u);
        for (void* block : blocks)
            arena.deallocate(block, 112);
        EXPECT_EQ(arena.ChunkCount(), 0u);
        EXPECT_EQ(arena.SpareCount(), chunks);

        // The next tree takes the kept chunks, the first one first, before any new one.
        first = arena.allocate(112);
        EXPECT_EQ(first, blocks.front());
        EXPECT_EQ(arena.SpareCount(), chunks - 1);
        arena.deallocate(first, 112);
        EXPECT_EQ(arena.SpareCount(), chunks);
        first = arena.allocate(112);
    }
    EXPECT_EQ(arena.SpareCount(), 0u);
    EXPECT_EQ(arena.ChunkCount(), 1u);
    arena.deallocate(first, 112);

    // Outside a refill the chunks go with the last block, and the shared heap arena
    // takes a refill without keeping anything.
    TXMLArena::TRefill none(TXMLArena::Heap());
    TXMLArena other;
    other.deallocate(other.allocate(16), 16);
    EXPECT_EQ(other.ChunkCount() + other.SpareCount(), 0u);
}

TEST(XMLArena, LargeAndOverAlignedBlocksComeFromTheHeap)
{
    TXMLArena arena;
    void* large = arena.allocate(TXMLArena::MaxBlock + 1);
    void* aligned = arena.allocate(64, 64);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 64, 0u);
    EXPECT_EQ(arena.ChunkCount(), 0u);
    EXPECT_EQ(arena.BlocksInUse(), 0u);
    arena.deallocate(large, TXMLArena::MaxBlock + 1);
    arena.deallocate(aligned, 64, 64);
}

TEST(XMLArena, BlocksOfEverySizeStayApartAndAligned)
{
    TXMLArena arena;
    std::vector<std::pair<char*, size_t>> blocks;
    // More than a chunk holds, in sizes up to the largest served.
    for (size_t size = 1; size <= TXMLArena::MaxBlock; size += 37) {
        auto* block = static_cast<char*>(arena.allocate(size));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % TXMLArena::Granule, 0u);
        std::fill(block, block + size, static_cast<char>(size));
        blocks.emplace_back(block, size);
    }
    EXPECT_GT(arena.ChunkCount(), 1u);
    for (const auto& [block, size] : blocks)
        EXPECT_EQ(std::count(block, block + size, static_cast<char>(size)), static_cast<long>(size)) << size;
    for (const auto& [block, size] : blocks)
        arena.deallocate(block, size);
    EXPECT_EQ(arena.ChunkCount(), 0u);
}

TEST(XMLArena, DocumentTreeLivesInItsMemoryUntilCleared)
{
    TECXMLParser document;
    std::string text = "<r a=\"1\">";
    for (int i = 0; i < 5000; ++i)
        text += "<item name=\"a value longer than any short string\">text</item>\r\n";
    text += "</r>";
    LoadText(document, text);
    EXPECT_EQ(document.Root()->Count(), 5000);
    EXPECT_EQ(document.Root()->Items(4999)->Params().Values("name"), "a value longer than any short string");

    // Deleting items one by one leaves the rest intact.
    for (int i = 0; i < 4999; ++i)
        document.Root()->Delete(0);
    EXPECT_EQ(document.Root()->Items(0)->Params().Values("name"), "a value longer than any short string");

    document.Clear();
    EXPECT_EQ(document.Root()->Count(), 0);
    document.Root()->New()->Params().Add("x=1");
    EXPECT_EQ(document.Root()->Items(0)->Params().Strings(0), "x=1");
}

// Bytes the heap hands out at the moment, -1 where the platform does not tell.
long long HeapInUse()
{
#ifdef SELVANE_TEST_ASAN
    return static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#elif defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd);
#else
    return -1;
#endif
}

// A cleared tree goes whole when no item owns memory of its own, and item by item
// otherwise; either way the heap holds afterwards what it held before the load.
TEST(XMLArena, ClearingADocumentGivesBackTheMemoryOfEveryItem)
{
    struct Record : TXMLLayoutRecord {
        explicit Record(int& destroyed) : destroyed(destroyed) {}
        ~Record() override { ++destroyed; }
        int& destroyed;
    };
    auto many = [](const std::string& element) {
        std::string text = "<r>\r\n";
        for (int i = 0; i < 1000; ++i)
            text += element + "\r\n";
        return text + "</r>";
    };
    std::string longLines = std::string(1000, 'v');
    for (int i = 0; i < 5; ++i)
        longLines += "\r\n" + std::string(1000, 'v');
    std::string wide = "<w";
    for (int i = 0; i < 300; ++i)
        wide += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
    wide += "/>\r\n";
    struct Case {
        const char* name;
        std::string text;
        std::function<void(TXMLItem&, int&)> change;
        int records;
    };
    const std::vector<Case> cases = {
        {"plain items, a long children list and a long parameter list", many("<i a=\"1\"/>").insert(5, wide), {}, 0},
        {"long names", many("<an_element_with_a_long_name/>"), {}, 0},
        {"long values", many("<i>a value longer than a short string</i>"), {}, 0},
        {"values that grow at a child", many("<i>short<b/>and then a long tail of text</i>"), {}, 0},
        {"values too long for the memory's small blocks", many("<i>" + longLines + "</i>"), {}, 0},
        {"a long name of the document element", "<a_document_element_with_a_long_name><i/><i/></a_document_element_with_a_long_name>",
         {}, 0},
        {"a long value set afterwards", many("<i/>"),
         [](TXMLItem& root, int&) {
             for (int i = 0; i < 1000; i += 10)
                 root.Items(i)->SetValue("a value longer than a short string");
         },
         0},
        {"a long name set afterwards", many("<i/>"),
         [](TXMLItem& root, int&) {
             for (int i = 0; i < 1000; i += 10)
                 root.Items(i)->SetName("a name longer than a short string");
         },
         0},
        {"layout records", many("<i/>"),
         [](TXMLItem& root, int& destroyed) {
             for (int i = 0; i < 1000; i += 100)
                 root.Items(i)->SetLayoutRecord(std::make_unique<Record>(destroyed));
         },
         10},
    };
    {
        // Whatever a first load keeps for the life of the process is not counted, the
        // heap of the thread that reads a big text among it.
        TECXMLParser first;
        LoadText(first, cases.front().text);
        LoadText(first, many("<i>" + longLines + "</i>"));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int destroyed = 0;
        TECXMLParser document;
        const long long before = HeapInUse();
        LoadText(document, c.text);
        ASSERT_GT(document.Root()->Count(), 0);
        if (c.change)
            c.change(*document.Root(), destroyed);
        document.Clear();
        EXPECT_EQ(destroyed, c.records);
        EXPECT_EQ(document.Root()->Params().Memory()->ChunkCount(), 0u);
        if (before >= 0) {
            EXPECT_LE(HeapInUse() - before, 1024);
        }
        // The memory serves the next tree.
        LoadText(document, "<r><i a=\"1\">x</i></r>");
        EXPECT_EQ(document.Root()->Items(0)->Params().Values("a"), "1");
    }
}

// Whatever lies in a document's memory outside its tree keeps the tree from going whole.
TEST(XMLArena, BlocksOutsideTheTreeOutliveItsClear)
{
    struct Case {
        const char* name;
        std::function<std::function<void()>(TXMLItem&)> keep;
    };
    const std::vector<Case> cases = {
        {"a parameter list made in the memory",
         [](TXMLItem& root) {
             auto list = std::make_shared<TXMLParams>(root.Params().Memory());
             list->Add("kept=1");
             return [list] { EXPECT_EQ(list->Values("kept"), "1"); };
         }},
        {"a parameter list moved out of an item",
         [](TXMLItem& root) {
             auto list = std::make_shared<TXMLParams>(std::move(root.Items(0)->Params()));
             return [list] { EXPECT_EQ(list->Values("a"), "1"); };
         }},
        {"another root in the same memory",
         [](TXMLItem& root) {
             auto other = std::make_shared<TXMLItem>(nullptr, root.Params().Memory());
             other->New()->Params().Add("kept=1");
             return [other] { EXPECT_EQ(other->Items(0)->Params().Values("kept"), "1"); };
         }},
        {"a block taken through the standard interface",
         [](TXMLItem& root) {
             auto numbers = std::make_shared<std::pmr::vector<int>>(100, 7, root.Params().Memory());
             return [numbers] { EXPECT_EQ(numbers->back(), 7); };
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TECXMLParser document;
        LoadText(document, "<r><i a=\"1\"/><i a=\"2\"/></r>");
        std::function<void()> check = c.keep(*document.Root());
        document.Clear();
        EXPECT_GT(document.Root()->Params().Memory()->BlocksInUse(), 0u);
        check();
        // The kept block goes before the document and its memory.
        check = nullptr;
    }
}

TEST(XMLArena, ItemsOfAStandaloneRootUseTheHeap)
{
    auto root = std::make_unique<TXMLItem>();
    root->New()->New()->Params().SetValue("name", "value");
    EXPECT_EQ(root->Items(0)->Items(0)->Params().Values("name"), "value");
    root.reset();
}

TEST(XMLParams, EditsTakeTextFromTheListItself)
{
    TXMLItem item;
    TXMLParams& params = item.Params();
    params.Add("first=a value longer than fifteen characters");
    params.Add("s=1");
    // Entries given as views into the list, while the list grows or changes.
    for (int i = 0; i < 20; ++i)
        params.Add(params.Strings(0));
    params.Insert(0, params.Strings(1));
    params.SetValue(params.Names(1), params.ValueFromIndex(1));
    params.SetValue(params.Names(0), params.ValueFromIndex(1));
    params.SetStrings(3, params.Strings(3).substr(0, 5));
    EXPECT_EQ(params.Count(), 23);
    EXPECT_EQ(params.Strings(0), "s=a value longer than fifteen characters");
    EXPECT_EQ(params.Strings(1), "first=a value longer than fifteen characters");
    EXPECT_EQ(params.Strings(2), "s=1");
    EXPECT_EQ(params.Strings(3), "first");
    EXPECT_EQ(params.Strings(22), "first=a value longer than fifteen characters");
}

// Random edits of a list in a document's memory against a plain vector of strings, with
// copies and moves between memories on the way.
TEST(XMLParams, RandomEditsMatchAPlainList)
{
    TECXMLParser document;
    TXMLParams* params = &document.Root()->Params();
    std::vector<std::string> model;
    std::mt19937 random(7);
    auto text = [&](size_t length) {
        std::string value;
        for (size_t i = 0; i < length; ++i)
            value += static_cast<char>('a' + random() % 26);
        return value;
    };
    for (int step = 0; step < 20000; ++step) {
        const int count = static_cast<int>(model.size());
        const int index = count ? static_cast<int>(random() % static_cast<unsigned>(count)) : 0;
        switch (random() % 8) {
        case 0:
        case 1: {
            const std::string entry = text(random() % 3 == 0 ? random() % 300 : random() % 12) + "=" + text(random() % 20);
            params->Add(entry);
            model.push_back(entry);
            break;
        }
        case 2:
            if (count) {
                const std::string entry = text(random() % 40);
                params->SetStrings(index, entry);
                model[index] = entry;
            }
            break;
        case 3:
            if (count) {
                params->Delete(index);
                model.erase(model.begin() + index);
            }
            break;
        case 4: {
            const int at = static_cast<int>(random() % static_cast<unsigned>(count + 1));
            const std::string entry = text(5);
            params->Insert(at, entry);
            model.insert(model.begin() + at, entry);
            break;
        }
        case 5:
            if (count) {
                const int to = static_cast<int>(random() % static_cast<unsigned>(count));
                params->Move(index, to);
                const std::string moved = model[index];
                model.erase(model.begin() + index);
                model.insert(model.begin() + to, moved);
            }
            break;
        case 6:
            if (count) {
                // Text of the list itself, appended to it.
                params->Add(params->Strings(index));
                model.push_back(model[index]);
            }
            break;
        default:
            if (step % 1000 == 7) {
                TXMLParams copy(*params);
                TXMLParams moved(std::move(copy));
                *params = moved;
            }
            break;
        }
        ASSERT_EQ(params->Count(), static_cast<int>(model.size()));
    }
    for (size_t i = 0; i < model.size(); ++i)
        EXPECT_EQ(params->Strings(static_cast<int>(i)), model[i]) << i;
    params->Clear();
    EXPECT_EQ(params->Count(), 0);
}

#ifdef SELVANE_TEST_ASAN
TEST(XMLArena, DestroyedItemsArePoisonedForAddressSanitizer)
{
    TECXMLParser document;
    TXMLItem* kept = document.Root()->New();
    TXMLItem* deleted = document.Root()->New();
    EXPECT_FALSE(__asan_address_is_poisoned(deleted));
    document.Root()->Delete(1);
    EXPECT_TRUE(__asan_address_is_poisoned(deleted));
    // Its memory serves the next item, usable again.
    TXMLItem* reused = document.Root()->New();
    EXPECT_EQ(reused, deleted);
    EXPECT_FALSE(__asan_address_is_poisoned(reused));
    EXPECT_FALSE(__asan_address_is_poisoned(kept));
}
#endif

} // namespace
