#pragma once

#include <array>
#include <cstddef>
#include <memory_resource>

// The memory of one document's items, parameter lists and children lists. Blocks up to
// MaxBlock bytes are cut from 64 KiB chunks and go back to a free list of their size
// when released, so building and destroying a tree costs no heap call per block;
// larger or over-aligned blocks come from the heap. When the last block comes back,
// the chunks go back to the heap too. Not thread-safe, like the document it serves.
class TXMLArena : public std::pmr::memory_resource {
public:
    static constexpr size_t Granule = 16;
    static constexpr size_t MaxBlock = 4096;
    static constexpr size_t ChunkSize = 64 * 1024;

    TXMLArena() = default;
    ~TXMLArena() override;
    TXMLArena(const TXMLArena&) = delete;
    TXMLArena& operator=(const TXMLArena&) = delete;

    // Chunks currently held.
    size_t ChunkCount() const { return FChunkCount; }
    // Blocks handed out from the chunks and not yet given back.
    size_t BlocksInUse() const { return FBlocksInUse; }

private:
    struct TFreeBlock {
        TFreeBlock* next;
    };
    struct TChunk {
        TChunk* next;
    };

    void* do_allocate(size_t bytes, size_t alignment) override;
    void do_deallocate(void* block, size_t bytes, size_t alignment) override;
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }

    void* Cut(size_t size);
    void AddChunk();
    void ReleaseChunks();

    std::array<TFreeBlock*, MaxBlock / Granule> FFree{};
    TChunk* FChunks = nullptr;
    char* FNext = nullptr;
    char* FEnd = nullptr;
    size_t FChunkCount = 0;
    size_t FBlocksInUse = 0;
};
