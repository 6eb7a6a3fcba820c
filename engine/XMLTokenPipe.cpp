#include "XMLTokenPipe.h"

#include <algorithm>
#include <bit>

namespace {

// Slots are shown to the other side this many at a time: often enough that neither waits
// long, seldom enough that the two cores do not pass the counters to and fro all the time.
constexpr uint64_t Batch = 256;
// Rounds of polling before a side goes to sleep: the other one mostly answers sooner than
// a sleep and a wake-up take.
constexpr int SpinRounds = 2000;

void Pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

bool TXMLTokenPipe::Worthwhile(size_t textSize)
{
    // A text that fits the reading core's cache is fetched from there by the other core
    // line by line, slower than the reading core cuts it itself: the thread pays from
    // about 8 MiB on, as the benchmark documents show.
    static const bool twoCores = std::thread::hardware_concurrency() >= 2;
    return twoCores && textSize >= (size_t{8} << 20) && textSize < (size_t{1} << 31);
}

TXMLTokenPipe::TXMLTokenPipe(TXMLTokenizer& tokenizer, size_t slots, size_t entries)
    : FTokenizer(tokenizer),
      FSlots(std::bit_ceil(std::max<size_t>(slots, 2))),
      FEntries(std::bit_ceil(std::max<size_t>(entries, 4))),
      FSlotMask(FSlots.size() - 1),
      FEntryMask(FEntries.size() - 1)
{
    // The current token is the reader's first, placed before the thread starts.
    FLines = TXMLLineCounter(FTokenizer.RawTokenText().data(), FTokenizer.SourceLine());
    Put(TKind::Token);
    TakeEntries();
    FWidening = FTokenizer.ExchangeWidening([this] { return AskWidening(); });
    try {
        FThread = std::thread([this] { Produce(); });
    } catch (...) {
        FTokenizer.ExchangeWidening(std::move(FWidening));
        throw;
    }
}

TXMLTokenPipe::~TXMLTokenPipe()
{
    FStop.store(true);
    FAnswer.store(Stop);
    Wake();
    FThread.join();
}

// --- The tokenizer's thread ------------------------------------------------------

void TXMLTokenPipe::Produce()
{
    try {
        try {
            while (FTokenizer.Token() != xtEnd) {
                FTokenizer.NextToken();
                Put(TKind::Token);
            }
        } catch (const TStopped&) {
            throw;
        } catch (...) {
            FFailure = std::current_exception();
            Put(TKind::Failure);
        }
        Publish(true);
    } catch (const TStopped&) {
        // The reader is gone.
    }
}

void TXMLTokenPipe::Put(TKind kind)
{
    // A tag of a quarter of the ring's entries or fewer always finds room behind the one
    // the reader holds, wherever the two lie in the ring.
    const bool usual = kind == TKind::Token && FTokenizer.UsualTag() && FTokenizer.TagEntryCount() <= FEntries.size() / 4;
    const size_t entries = usual ? FTokenizer.TagEntryCount() : 0;
    const uint64_t entryFirst = EntriesPlace(FEntriesPlaced, entries);
    AwaitRoom(entryFirst, entries);

    // The slots ahead were last read by the other core: taken for writing early, they
    // are here when this thread comes to them.
    __builtin_prefetch(&FSlots[(FPlaced + 64) & FSlotMask], 1);
    __builtin_prefetch(&FEntries[(FEntriesPlaced + 64) & FEntryMask], 1);
    TSlot& slot = FSlots[FPlaced & FSlotMask];
    slot.kind = kind;
    slot.token = xtEnd;
    slot.usual = usual;
    slot.entryFirst = static_cast<uint32_t>(entryFirst & FEntryMask);
    slot.entryCount = static_cast<uint32_t>(entries);
    if (kind == TKind::Token) {
        const std::string_view raw = FTokenizer.RawTokenText();
        slot.start = raw.data();
        slot.length = static_cast<uint32_t>(raw.size());
        slot.returns = FTokenizer.TokenReturns();
        slot.token = FTokenizer.Token();
        if (usual) {
            slot.nameLength = static_cast<uint32_t>(FTokenizer.TagName().size());
            const TXMLParamEntry* from = FTokenizer.TagEntries();
            TEntryPlace* to = &FEntries[slot.entryFirst];
            for (size_t i = 0; i < entries; ++i) {
                to[i].name = static_cast<uint32_t>(from[i].name.data() - raw.data());
                to[i].nameLength = static_cast<uint32_t>(from[i].name.size());
                to[i].value = static_cast<uint32_t>(from[i].value.data() - raw.data());
                to[i].valueLength = static_cast<uint32_t>(from[i].value.size()) | (from[i].ampersand ? Ampersand : 0);
            }
        }
    }
    FEntriesPlaced = entryFirst + entries;
    ++FPlaced;
    if (FPlaced - FPublished >= Batch)
        Publish(false);
}

void TXMLTokenPipe::AwaitRoom(uint64_t entryFirst, size_t entries)
{
    auto roomy = [&](uint64_t slots) {
        return FPlaced + slots - FReleasedSeen <= FSlots.size() && entryFirst + entries - FEntriesReleasedSeen <= FEntries.size();
    };
    if (roomy(1))
        return;
    FEntriesReleasedSeen = FEntriesReleased.load();
    FReleasedSeen = FReleased.load();
    if (roomy(1))
        return;
    // The reader is behind: it gets everything placed, and this thread goes on once a
    // batch has room (or the reader is at the last slot, the one it cannot release).
    Publish(true);
    const uint64_t wanted = std::min<uint64_t>(Batch, FPlaced - FReleasedSeen);
    // When the entries are short rather than the slots, any release may bring room.
    FProducerWants.store(FPlaced + wanted > FSlots.size() ? FPlaced + wanted - FSlots.size() : 0);
    Await(FProducerSleeping, [&] {
        FEntriesReleasedSeen = FEntriesReleased.load();
        FReleasedSeen = FReleased.load();
        return roomy(wanted) || FStop.load();
    });
    if (FStop.load())
        throw TStopped{};
}

void TXMLTokenPipe::Publish(bool force)
{
    FPublished = FPlaced;
    FProduced.store(FPlaced);
    if (FStop.load())
        throw TStopped{};
    if (FReaderSleeping.load() && (force || FPlaced >= FReaderWants.load()))
        Wake();
}

bool TXMLTokenPipe::AskWidening()
{
    FAnswer.store(Pending);
    Put(TKind::Widening);
    Publish(true);
    Await(FProducerSleeping, [this] { return FAnswer.load() != Pending; });
    const int answer = FAnswer.load();
    if (answer == Stop)
        throw TStopped{};
    return answer == Widen;
}

// --- The reading thread ----------------------------------------------------------

TXMLToken TXMLTokenPipe::NextToken()
{
    for (;;) {
        const TSlot& left = Current();
        // Nothing comes after the end or a failure.
        if (left.kind == TKind::Failure)
            std::rethrow_exception(FFailure);
        if (left.kind == TKind::Token && left.token == xtEnd)
            return xtEnd;
        FEntriesDone = EntriesPlace(FEntriesDone, left.entryCount) + left.entryCount;
        ++FIndex;
        if (FIndex - FReleasedShown >= Batch)
            Release();
        if (FIndex == FAvailable)
            AwaitSlot();

        const TSlot& slot = Current();
        // The slots ahead lie in the other core's cache: asked for early, they are here
        // when the reader comes to them.
        if (FIndex + 64 < FAvailable)
            __builtin_prefetch(&FSlots[(FIndex + 64) & FSlotMask]);
        if (FIndex + 16 < FAvailable) {
            const TSlot& ahead = FSlots[(FIndex + 16) & FSlotMask];
            __builtin_prefetch(ahead.start);
            __builtin_prefetch(&FEntries[ahead.entryFirst & FEntryMask]);
        }
        switch (slot.kind) {
        case TKind::Token:
            if (slot.entryCount > 0)
                TakeEntries();
            else
                FTagEntryBytes = 0;
            return slot.token;
        case TKind::Failure:
            std::rethrow_exception(FFailure);
        case TKind::Widening:
            break;
        }
        // The tokenizer's thread waits for the answer; when the widening throws, it stops.
        bool widen;
        try {
            widen = FWidening && FWidening();
        } catch (...) {
            FAnswer.store(Stop);
            Wake();
            throw;
        }
        FAnswer.store(widen ? Widen : Refuse);
        Wake();
    }
}

void TXMLTokenPipe::AwaitSlot()
{
    FAvailable = FProduced.load();
    if (FIndex < FAvailable)
        return;
    // The tokenizer's thread may wait for room: it gets all the reader is done with.
    Release();
    FReaderWants.store(FIndex + Batch);
    Await(FReaderSleeping, [this] {
        FAvailable = FProduced.load();
        return FIndex < FAvailable;
    });
}

void TXMLTokenPipe::TakeEntries()
{
    const TSlot& slot = Current();
    if (FTagEntries.size() < slot.entryCount)
        FTagEntries.resize(slot.entryCount);
    FTagEntryBytes = 0;
    const TEntryPlace* place = &FEntries[slot.entryFirst];
    for (size_t i = 0; i < slot.entryCount; ++i) {
        const uint32_t valueLength = place[i].valueLength & ~Ampersand;
        FTagEntries[i] = {{slot.start + place[i].name, place[i].nameLength}, {slot.start + place[i].value, valueLength},
                          (place[i].valueLength & Ampersand) != 0};
        FTagEntryBytes += place[i].nameLength + 1 + valueLength;
    }
}

void TXMLTokenPipe::Release()
{
    FReleasedShown = FIndex;
    FEntriesReleased.store(FEntriesDone);
    FReleased.store(FIndex);
    if (FProducerSleeping.load() && FIndex >= FProducerWants.load())
        Wake();
}

// --- Both --------------------------------------------------------------------------

template <class Ready>
void TXMLTokenPipe::Await(std::atomic<bool>& sleeping, Ready ready)
{
    for (int round = 0; round < SpinRounds; ++round) {
        if (ready())
            return;
        Pause();
    }
    // The sleeping flag is set before the last look, and the other side stores its count
    // before it looks at the flag: one of the two sees the other (all sequentially
    // consistent), so no wake-up is missed.
    std::unique_lock<std::mutex> lock(FMutex);
    sleeping.store(true);
    FWake.wait(lock, ready);
    sleeping.store(false);
}

void TXMLTokenPipe::Wake()
{
    std::lock_guard<std::mutex> lock(FMutex);
    FWake.notify_all();
}
