#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <istream>
#include <mutex>
#include <thread>

// Thrown when a stream read in the background held more bytes than it said when the
// reading began (a file growing meanwhile): the text read is not the stream's, and the
// caller reads the stream again.
struct TXMLStreamGrew {};

// Reads the rest of a stream into memory on a thread of its own, the first part before
// the constructor returns, so that the text is cut into tokens while it is still being
// read: copying a file from the system's cache costs a tenth of reading a small document.
class TXMLStreamReading {
public:
    // Whether a stream of that many bytes is read sooner this way: one of 1 MiB or more
    // on a machine with a second core, too small for the tokenizer's own thread.
    static bool Worthwhile(size_t size);

    // Reads the stream, which says it holds `size` more bytes, into `text`, which has room
    // for them and a spare byte; the spare byte after the bytes read is set to 0. The stream
    // and the text must outlive the reading, and neither is used otherwise until Whole.
    TXMLStreamReading(std::istream& stream, char* text, size_t size);
    // Stops the reading, wherever it is, and waits for it.
    ~TXMLStreamReading();
    TXMLStreamReading(const TXMLStreamReading&) = delete;
    TXMLStreamReading& operator=(const TXMLStreamReading&) = delete;

    // Waits until the first `end` bytes are read, or the stream ended before them; the
    // bytes read then, at least `end` unless the stream ended. Fails as the stream did.
    size_t Await(size_t end);
    // Waits for the whole stream; its length. Fails as the stream did, or with
    // TXMLStreamGrew.
    size_t Whole();

private:
    void Run();
    // Makes `read` bytes readable, and with `ended` the stream's end.
    void Publish(size_t read, bool ended);

    std::istream& FStream;
    char* const FText;
    const size_t FSize;
    std::mutex FLock;
    std::condition_variable FChanged;
    // Guarded by FLock.
    size_t FRead = 0;
    bool FEnded = false;
    bool FGrew = false;
    bool FStop = false;
    std::exception_ptr FFailure;
    // FRead, for a wait that need not lock.
    std::atomic<size_t> FReadable{0};
    std::thread FThread;
};
