#include "XMLStreamReading.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "XMLTokenPipe.h"

namespace {

// Read before the constructor returns: the tokenizer's first chunks, and time for the
// thread to start.
constexpr size_t FirstPart = 64 * 1024;
// Read and made readable at a time: the tokenizer waits at most for one such part.
constexpr size_t Part = 256 * 1024;

} // namespace

bool TXMLStreamReading::Worthwhile(size_t size)
{
    // A text the tokenizer's own thread cuts is read first: with this thread besides, the
    // three slowed the loads of such texts by a tenth on a machine of two cores.
    static const bool twoCores = std::thread::hardware_concurrency() >= 2;
    return twoCores && size >= (size_t{1} << 20) && !TXMLTokenPipe::Worthwhile(size);
}

TXMLStreamReading::TXMLStreamReading(std::istream& stream, char* text, size_t size) : FStream(stream), FText(text), FSize(size)
{
    const size_t first = std::min(size, FirstPart);
    FStream.read(FText, static_cast<std::streamsize>(first));
    FRead = static_cast<size_t>(FStream.gcount());
    FReadable.store(FRead, std::memory_order_relaxed);
    if (FRead < first) {
        FText[FRead] = 0;
        FEnded = true;
        return;
    }
    try {
        FThread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the rest is read here.
        Run();
    }
}

TXMLStreamReading::~TXMLStreamReading()
{
    if (!FThread.joinable())
        return;
    {
        const std::lock_guard lock(FLock);
        FStop = true;
    }
    FThread.join();
}

void TXMLStreamReading::Run()
{
    size_t read = FRead;
    try {
        for (;;) {
            {
                const std::lock_guard lock(FLock);
                if (FStop)
                    return;
            }
            if (read == FSize) {
                // As the whole reading of a stream does: a stream at its end says so only
                // when a byte more is asked for.
                const bool more = FStream.peek() != std::char_traits<char>::eof();
                FText[read] = 0;
                const std::lock_guard lock(FLock);
                FGrew = more;
                break;
            }
            const size_t part = std::min(Part, FSize - read);
            FStream.read(FText + read, static_cast<std::streamsize>(part));
            const auto got = static_cast<size_t>(FStream.gcount());
            read += got;
            if (got < part) {
                FText[read] = 0;
                Publish(read, true);
                return;
            }
            Publish(read, false);
        }
    } catch (...) {
        const std::lock_guard lock(FLock);
        FFailure = std::current_exception();
    }
    Publish(read, true);
}

void TXMLStreamReading::Publish(size_t read, bool ended)
{
    {
        const std::lock_guard lock(FLock);
        FRead = read;
        FEnded = ended;
    }
    FReadable.store(read, std::memory_order_release);
    FChanged.notify_all();
}

size_t TXMLStreamReading::Await(size_t end)
{
    if (const size_t readable = FReadable.load(std::memory_order_acquire); readable >= end)
        return readable;
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [&] { return FRead >= end || FEnded; });
    if (FFailure)
        std::rethrow_exception(FFailure);
    return FRead;
}

size_t TXMLStreamReading::Whole()
{
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [&] { return FEnded; });
    if (FFailure)
        std::rethrow_exception(FFailure);
    if (FGrew)
        throw TXMLStreamGrew{};
    return FRead;
}
