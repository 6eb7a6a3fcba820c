#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory_resource>

// Under AddressSanitizer a block is poisoned while it is not handed out, so that a use
// of a destroyed item is reported as it would be with the heap.
#if defined(__SANITIZE_ADDRESS__)
#define SELVANE_ARENA_POISONING 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SELVANE_ARENA_POISONING 1
#endif
#endif

// The memory of one document's items, parameter lists and children lists. Blocks up to
// MaxBlock bytes are cut from 64 KiB chunks and go back to a free list of their size
// when released, so building and destroying a tree costs no heap call per block;
// larger blocks come from the heap, linked so that they can go with the chunks, and
// over-aligned ones from the heap as they are. When the last block comes back, the
// chunks go back to the heap too, except during a TRefill. Not thread-safe, like the
// document it serves.
//
// The arena also knows whether a whole tree can be dropped with its chunks instead of
// item by item: it counts the root items using it, the items that own memory of their
// own (a long name, a layout record), and notes blocks that may lie outside
// any tree (parameter lists made apart from an item, blocks taken through the standard
// memory resource interface).
//
// Items and lists hold the arena by its own type, so that taking and giving back a
// block is an inline step rather than a virtual call; those outside a document use
// Heap, which passes every block on to the heap.
class TXMLArena final : public std::pmr::memory_resource {
public:
    static constexpr size_t Granule = 16;
    static constexpr size_t MaxBlock = 4096;
    static constexpr size_t ChunkSize = 64 * 1024;
    static constexpr size_t PrefetchDistance = 4096;

    TXMLArena() = default;
    ~TXMLArena() override;
    TXMLArena(const TXMLArena&) = delete;
    TXMLArena& operator=(const TXMLArena&) = delete;

    // The arena of items and lists that belong to no document; shared, and thread-safe
    // since it keeps nothing.
    static TXMLArena* Heap();

    // The same as allocate and deallocate, without the virtual call.
    void* Allocate(size_t bytes, size_t alignment = alignof(std::max_align_t))
    {
        if (!Served(bytes, alignment))
            return AllocateOutside(bytes, alignment);
        const size_t sizeClass = ClassOf(bytes);
        if constexpr (!Poisoning) {
            if (TFreeBlock* block = FFree[sizeClass]) {
                FFree[sizeClass] = block->next;
                ++FBlocksInUse;
                return block;
            }
            const size_t size = (sizeClass + 1) * Granule;
            if (static_cast<size_t>(FEnd - FNext) >= size) {
                void* block = FNext;
                PrefetchAhead();
                FNext += size;
                ++FBlocksInUse;
                return block;
            }
        }
        return Take(sizeClass);
    }
    void Deallocate(void* block, size_t bytes, size_t alignment = alignof(std::max_align_t))
    {
        if (!Served(bytes, alignment)) {
            DeallocateOutside(block, bytes, alignment);
            return;
        }
        const size_t sizeClass = ClassOf(bytes);
        if (Poisoning || FBlocksInUse == 1) {
            GiveBack(block, sizeClass);
            return;
        }
        --FBlocksInUse;
        auto* free = static_cast<TFreeBlock*>(block);
        free->next = FFree[sizeClass];
        FFree[sizeClass] = free;
    }

    // While a tree is cleared and read again: the chunks of the cleared tree are kept for
    // the new one, whose pages are then mapped already instead of being given back to the
    // system and faulted in again, one by one; those the new tree did not take go back to
    // the heap when the refill ends.
    class TRefill {
    public:
        // The shared heap arena keeps nothing, so it has nothing to refill.
        explicit TRefill(TXMLArena* memory) : FMemory(memory->FHeapOnly ? nullptr : memory)
        {
            if (FMemory)
                FMemory->FKeepChunks = true;
        }
        ~TRefill()
        {
            if (!FMemory)
                return;
            FMemory->FKeepChunks = false;
            FMemory->ReleaseSpare();
        }
        TRefill(const TRefill&) = delete;
        TRefill& operator=(const TRefill&) = delete;

    private:
        TXMLArena* FMemory;
    };

    // Chunks currently handing out blocks.
    size_t ChunkCount() const { return FChunkCount; }
    // Chunks kept during a refill and not taken again yet.
    size_t SpareCount() const { return FSpareCount; }
    // Blocks handed out from the chunks and not yet given back.
    size_t BlocksInUse() const { return FBlocksInUse; }

private:
    friend class TXMLItem;
    friend class TXMLParams;

    struct TFreeBlock {
        TFreeBlock* next;
    };
    // The link in front of a block too large for the chunks.
    struct alignas(Granule) TLargeBlock {
        TLargeBlock* prev;
        TLargeBlock* next;
    };
    struct TChunk {
        TChunk* next;
    };
    struct THeapOnly {};
#ifdef SELVANE_ARENA_POISONING
    static constexpr bool Poisoning = true;
#else
    static constexpr bool Poisoning = false;
#endif

    explicit TXMLArena(THeapOnly) : FHeapOnly(true) {}

    // A block taken through the standard interface may belong to anything.
    void* do_allocate(size_t bytes, size_t alignment) override
    {
        NoteLoose();
        return Allocate(bytes, alignment);
    }
    void do_deallocate(void* block, size_t bytes, size_t alignment) override { Deallocate(block, bytes, alignment); }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    bool Served(size_t bytes, size_t alignment) const
    {
        return !FHeapOnly && bytes > 0 && bytes <= MaxBlock && alignment <= Granule;
    }
    static size_t ClassOf(size_t bytes) { return (bytes + Granule - 1) / Granule - 1; }
    // Asks for the memory a page ahead of the next block, to be written: a tree read from
    // a big document fills its chunks faster than the processor fetches their lines on its
    // own, and such a load spent a quarter of its time waiting for them. Computed as a
    // number, since the place may lie past the chunk; a prefetch of memory that is not
    // there does nothing.
    void PrefetchAhead() const
    {
        __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(FNext) + PrefetchDistance), 1);
    }
    // A block of a size class when the chunk has no room for it, or under
    // AddressSanitizer.
    void* Take(size_t sizeClass);
    // Gives back a block under AddressSanitizer, or the last one, with the chunks.
    void GiveBack(void* block, size_t sizeClass);
    void* Cut(size_t size);
    void AddChunk();
    void* AllocateOutside(size_t bytes, size_t alignment);
    void DeallocateOutside(void* block, size_t bytes, size_t alignment);

    // The bookkeeping for dropping a tree whole, kept by the items; the shared heap arena
    // keeps none, as it serves every thread and never drops anything.
    void CountRoot(int change)
    {
        if (!FHeapOnly)
            FRoots += change;
    }
    void CountOwner(int change)
    {
        if (!FHeapOnly)
            FOwners += change;
    }
    void NoteLoose()
    {
        if (!FHeapOnly)
            FLoose = true;
    }
    // Whether every block belongs to the tree of the one root item using this arena and
    // no item owns memory of its own, but perhaps the root (`rootOwns`).
    bool Droppable(bool rootOwns) const
    {
        return !FHeapOnly && !FLoose && FRoots == 1 && FOwners == (rootOwns ? 1 : 0) && FOverAligned == 0;
    }
    // Frees every block at once: the large ones go back to the heap, the chunks as after
    // the last block.
    void DropAll();
    // Drops every block; the chunks go back to the heap, or to the spares in a refill.
    void ReleaseChunks();
    void ReleaseSpare();

    std::array<TFreeBlock*, MaxBlock / Granule> FFree{};
    TChunk* FChunks = nullptr;
    TChunk* FSpare = nullptr;
    char* FNext = nullptr;
    char* FEnd = nullptr;
    size_t FChunkCount = 0;
    size_t FSpareCount = 0;
    size_t FBlocksInUse = 0;
    TLargeBlock* FLarge = nullptr;
    size_t FOverAligned = 0;
    long FRoots = 0;
    long FOwners = 0;
    // Sticky: a block that may lie outside the tree can be handed out at any time.
    bool FLoose = false;
    bool FKeepChunks = false;
    const bool FHeapOnly = false;
};
