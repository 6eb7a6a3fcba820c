#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ECXMLTokenizer.h"

// Runs a tokenizer on a thread of its own, up to a ring of tokens ahead of the reader, so
// that a big document is cut into tokens while its tree is built on the reading thread.
// The reader sees the tokenizer's tokens, lines and errors in their order, through the
// same reading operations. A widening the tokenizer asks for is decided on the reading
// thread, once every token before it has been read, as if the tokenizer ran there.
//
// Every byte handed on crosses from one core's cache to the other's, which costs more than
// cutting most tokens: the ring keeps tokens and entries small, as places in the text.
class TXMLTokenPipe {
public:
    // Whether a text of that many bytes is read sooner this way: a large one, on a machine
    // with a second core, and under 2 GiB, whose places fit the ring's 31 bits.
    static bool Worthwhile(size_t textSize);

    // Takes the reading over from the tokenizer's current token on; the tokenizer must
    // outlive the pipe and is not used otherwise meanwhile, and its text must be under
    // 2 GiB. At most `slots` tokens with `entries` tag entries are held ahead; a tag of
    // more than a quarter as many entries is handed on as a tag of no usual shape. Fails
    // with std::system_error, having done nothing, when no thread can be started.
    explicit TXMLTokenPipe(TXMLTokenizer& tokenizer, size_t slots = 8192, size_t entries = 32768);
    // Stops the tokenizer's thread, wherever it is, and waits for it.
    ~TXMLTokenPipe();
    TXMLTokenPipe(const TXMLTokenPipe&) = delete;
    TXMLTokenPipe& operator=(const TXMLTokenPipe&) = delete;

    // The next token, after the reader has decided any widening before it; throws what the
    // tokenizer threw there. At the end it stays at xtEnd.
    TXMLToken NextToken();
    TXMLToken Token() const { return Current().token; }
    std::string_view TokenText(std::string& scratch) const
    {
        const TSlot& slot = Current();
        const std::string_view raw(slot.start, slot.length);
        return slot.returns ? TXMLTokenizer::WithoutLineEndPairs(raw, scratch) : raw;
    }
    bool UsualTag() const { return Current().usual; }
    std::string_view TagName() const { return {Current().start + 1, Current().nameLength}; }
    const TXMLParamEntry* TagEntries() const { return FTagEntries.data(); }
    size_t TagEntryCount() const { return Current().entryCount; }
    size_t TagEntryBytes() const { return FTagEntryBytes; }
    // Counted on the reading thread, in the bytes before the token, which the tokenizer's
    // thread no longer touches.
    int SourceLine() const { return FLines.LineAt(Current().start); }

private:
    enum class TKind : uint8_t { Token, Widening, Failure };
    // A token as the tokenizer gave it, in half a cache line.
    struct TSlot {
        const char* start;
        uint32_t length;
        uint32_t nameLength;
        // The place of the tag's first entry in their ring, and their count.
        uint32_t entryFirst;
        uint32_t entryCount;
        TXMLToken token : 8;
        TKind kind;
        bool usual;
        bool returns;
    };
    // An entry of a usual tag: its name and its value as places in the tag's text, the
    // value's length with the entry's "&" in its top bit.
    struct TEntryPlace {
        uint32_t name;
        uint32_t nameLength;
        uint32_t value;
        uint32_t valueLength;
    };
    static constexpr uint32_t Ampersand = 0x80000000u;
    // The answer to a widening, from the reader to the tokenizer's thread.
    enum TAnswer : int { Pending, Widen, Refuse, Stop };
    // Thrown on the tokenizer's thread to leave it when the reader is gone.
    struct TStopped {};

    const TSlot& Current() const { return FSlots[FIndex & FSlotMask]; }
    // Where `entries` entries go that would follow `position` (both counted from the first
    // entry ever placed): there, or at the ring's start when they would run past its end.
    uint64_t EntriesPlace(uint64_t position, size_t entries) const
    {
        return entries > 0 && (position & FEntryMask) + entries > FEntries.size() ? (position | FEntryMask) + 1 : position;
    }

    // The tokenizer's thread: every token up to the end or a failure.
    void Produce();
    // Places the tokenizer's current token, or a widening or failure mark, in the ring.
    void Put(TKind kind);
    // Waits until the ring has room for a slot and `entries` entries from `entryFirst`.
    void AwaitRoom(uint64_t entryFirst, size_t entries);
    // Shows the slots placed to the reader; `force` wakes it whatever it waits for.
    void Publish(bool force);
    // The tokenizer's thread: asks the reader whether to widen, and waits for the answer.
    bool AskWidening();

    // Waits until the ring holds the slot FIndex.
    void AwaitSlot();
    // Makes the current tag's entries of their places.
    void TakeEntries();
    // Shows the slots the reader is done with to the tokenizer's thread.
    void Release();
    // Spins a little, then sleeps until `ready` holds, noting the sleep in `sleeping`.
    template <class Ready>
    void Await(std::atomic<bool>& sleeping, Ready ready);
    void Wake();

    TXMLTokenizer& FTokenizer;
    TXMLTokenizer::TWidening FWidening;
    std::vector<TSlot> FSlots;
    std::vector<TEntryPlace> FEntries;
    const uint64_t FSlotMask;
    const uint64_t FEntryMask;

    // Each thread's own counts, and the counts each shows the other, lie on cache lines
    // of their own: a line written by one thread and read by the other is moved between
    // the cores every time.
    // The tokenizer's thread: slots and entries placed, and the reader's releases as
    // last seen.
    alignas(64) uint64_t FPlaced = 0;
    uint64_t FPublished = 0;
    uint64_t FEntriesPlaced = 0;
    uint64_t FReleasedSeen = 0;
    uint64_t FEntriesReleasedSeen = 0;
    std::exception_ptr FFailure;

    // The reader: the slot it reads, the slots it can read, the entries it is done with
    // and the releases it showed; the current tag's entries.
    alignas(64) uint64_t FIndex = 0;
    uint64_t FAvailable = 1;
    uint64_t FEntriesDone = 0;
    uint64_t FReleasedShown = 0;
    std::vector<TXMLParamEntry> FTagEntries;
    size_t FTagEntryBytes = 0;
    mutable TXMLLineCounter FLines;

    // Shown by the tokenizer's thread, and what it waits for while it sleeps.
    alignas(64) std::atomic<uint64_t> FProduced{1};
    std::atomic<uint64_t> FProducerWants{0};
    std::atomic<bool> FProducerSleeping{false};
    // Shown by the reader.
    alignas(64) std::atomic<uint64_t> FReleased{0};
    std::atomic<uint64_t> FEntriesReleased{0};
    std::atomic<uint64_t> FReaderWants{0};
    std::atomic<bool> FReaderSleeping{false};
    std::atomic<int> FAnswer{Pending};
    alignas(64) std::atomic<bool> FStop{false};
    std::mutex FMutex;
    std::condition_variable FWake;
    std::thread FThread;
};
