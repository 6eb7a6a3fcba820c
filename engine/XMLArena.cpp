#include "XMLArena.h"

#include <new>

#ifdef SELVANE_ARENA_POISONING
#include <sanitizer/asan_interface.h>
#endif

namespace {

#ifdef SELVANE_ARENA_POISONING
void Poison(void* block, size_t size) { ASAN_POISON_MEMORY_REGION(block, size); }
void Unpoison(void* block, size_t size) { ASAN_UNPOISON_MEMORY_REGION(block, size); }
#else
void Poison(void*, size_t) {}
void Unpoison(void*, size_t) {}
#endif

constexpr size_t Header = alignof(std::max_align_t);

} // namespace

TXMLArena::~TXMLArena()
{
    FKeepChunks = false;
    ReleaseChunks();
    ReleaseSpare();
}

TXMLArena* TXMLArena::Heap()
{
    // Never destroyed: lists in static storage may give their blocks back after exit.
    static TXMLArena* const heap = new TXMLArena(THeapOnly{});
    return heap;
}

void* TXMLArena::Take(size_t sizeClass)
{
    void* block;
    if (TFreeBlock* free = FFree[sizeClass]) {
        Unpoison(free, (sizeClass + 1) * Granule);
        FFree[sizeClass] = free->next;
        block = free;
    } else {
        block = Cut((sizeClass + 1) * Granule);
    }
    ++FBlocksInUse;
    return block;
}

void TXMLArena::GiveBack(void* block, size_t sizeClass)
{
    // The whole tree is gone (a Clear, a reload): the chunks go back to the heap, or wait
    // for the tree being read, rather than staying behind as free lists of a document that
    // may never grow again.
    if (--FBlocksInUse == 0) {
        ReleaseChunks();
        return;
    }
    auto* free = static_cast<TFreeBlock*>(block);
    free->next = FFree[sizeClass];
    FFree[sizeClass] = free;
    Poison(free, (sizeClass + 1) * Granule);
}

void* TXMLArena::Cut(size_t size)
{
    if (static_cast<size_t>(FEnd - FNext) < size) {
        // The chunk's tail, too short for this block, serves smaller ones later.
        if (const size_t rest = static_cast<size_t>(FEnd - FNext); rest >= Granule) {
            const size_t sizeClass = rest / Granule - 1;
            auto* free = reinterpret_cast<TFreeBlock*>(FNext);
            Unpoison(free, rest);
            free->next = FFree[sizeClass];
            FFree[sizeClass] = free;
            Poison(free, rest);
        }
        AddChunk();
    }
    void* block = FNext;
    FNext += size;
    Unpoison(block, size);
    return block;
}

void TXMLArena::AddChunk()
{
    char* memory;
    if (FSpare) {
        memory = reinterpret_cast<char*>(FSpare);
        FSpare = FSpare->next;
        --FSpareCount;
    } else {
        memory = static_cast<char*>(::operator new(ChunkSize));
    }
    auto* chunk = reinterpret_cast<TChunk*>(memory);
    chunk->next = FChunks;
    FChunks = chunk;
    ++FChunkCount;
    FNext = memory + Header;
    FEnd = memory + ChunkSize;
    Poison(FNext, ChunkSize - Header);
}

void TXMLArena::ReleaseChunks()
{
    while (FChunks) {
        TChunk* next = FChunks->next;
        if (FKeepChunks) {
            // Only the link at its start stays readable; AddChunk marks the rest anew.
            Poison(FChunks + 1, ChunkSize - sizeof(TChunk));
            FChunks->next = FSpare;
            FSpare = FChunks;
            ++FSpareCount;
        } else {
            Unpoison(FChunks, ChunkSize);
            ::operator delete(FChunks);
        }
        FChunks = next;
    }
    FChunkCount = 0;
    FNext = FEnd = nullptr;
    FFree.fill(nullptr);
}

void TXMLArena::ReleaseSpare()
{
    while (FSpare) {
        TChunk* next = FSpare->next;
        Unpoison(FSpare, ChunkSize);
        ::operator delete(FSpare);
        FSpare = next;
    }
    FSpareCount = 0;
}

void* TXMLArena::AllocateOutside(size_t bytes, size_t alignment)
{
    if (FHeapOnly)
        return std::pmr::new_delete_resource()->allocate(bytes, alignment);
    if (alignment > Granule) {
        void* block = std::pmr::new_delete_resource()->allocate(bytes, alignment);
        ++FOverAligned;
        return block;
    }
    auto* large = static_cast<TLargeBlock*>(::operator new(sizeof(TLargeBlock) + bytes));
    large->prev = nullptr;
    large->next = FLarge;
    if (FLarge)
        FLarge->prev = large;
    FLarge = large;
    return large + 1;
}

void TXMLArena::DeallocateOutside(void* block, size_t bytes, size_t alignment)
{
    if (FHeapOnly || alignment > Granule) {
        std::pmr::new_delete_resource()->deallocate(block, bytes, alignment);
        if (!FHeapOnly)
            --FOverAligned;
        return;
    }
    TLargeBlock* const large = static_cast<TLargeBlock*>(block) - 1;
    if (large->prev)
        large->prev->next = large->next;
    else
        FLarge = large->next;
    if (large->next)
        large->next->prev = large->prev;
    ::operator delete(large);
}

void TXMLArena::DropAll()
{
    while (FLarge) {
        TLargeBlock* const next = FLarge->next;
        ::operator delete(FLarge);
        FLarge = next;
    }
    FBlocksInUse = 0;
    ReleaseChunks();
}
