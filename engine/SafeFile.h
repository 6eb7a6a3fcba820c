#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <streambuf>
#include <string>
#include <string_view>

// File handling shared by the document engine and the settings store: only regular files
// are read or replaced, and a replacement is written beside its target and renamed over
// it, so that a failure at any point leaves the old file as it was.

// The file a chain of symbolic links ends at (at most 40 of them); a dangling link gives
// the name its last link points to, so that writing creates it and keeps the link.
std::filesystem::path ResolveLinks(const std::filesystem::path& name);

// A file name as UTF-8 text, and the file name that UTF-8 text stands for, on every
// platform (Windows would take narrow text in its own code page).
std::string PathText(const std::filesystem::path& name);
std::filesystem::path PathOfText(std::string_view text);

// Opens a regular file for reading, never waiting on a FIFO or a device: -1 with
// `reason` ("Not a regular file", errno EINVAL, or the system's reason) for anything else.
// The handle is the C runtime's, in binary mode; on Windows other programs may still
// write, rename or delete the file while it is open.
int OpenRegularFile(const std::filesystem::path& name, std::string& reason);

// Reads the whole of a regular file into `text`: false with `reason` and errno set when it
// cannot be opened (ENOENT: it does not exist) or read, or when it holds more than
// `limit` bytes ("File too large", EFBIG).
bool ReadRegularFile(const std::filesystem::path& name, std::string& text, std::string& reason,
                     std::size_t limit = SIZE_MAX);
// The same for a file another program may be rewriting: also false, with "The file
// changed while it was read" and EAGAIN, when the file's size, times or identity changed
// during the read, when the name came to stand for another file, or when the bytes read
// are not as many as the file's size. A file written in the current tick of the clock its
// times come from, whose next change could leave them as they are, is read once the
// clock has moved on, a few milliseconds later.
bool ReadSettledFile(const std::filesystem::path& name, std::string& text, std::string& reason);

// A seekable input stream buffer over a file handle it owns. A failed read throws
// std::system_error with the system's error; a stream over the buffer passes it on when
// its exceptions include badbit.
class TFileReadBuffer : public std::streambuf {
public:
    explicit TFileReadBuffer(int handle) : FHandle(handle) {}
    ~TFileReadBuffer() override;
    TFileReadBuffer(const TFileReadBuffer&) = delete;
    TFileReadBuffer& operator=(const TFileReadBuffer&) = delete;

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char* text, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override;

private:
    std::streamsize ReadSome(char* text, std::size_t count);

    int FHandle;
    char FBuffer[65536];
};

// The replacement of one file. Open refuses a target that exists and is not a regular
// file, or that its user may not write (a file without any write permission counts as
// read-only even for the superuser), with EACCES; it then creates a temporary file of an
// unpredictable name beside the target, exclusively and without following links, private
// until it holds the target's mode (without the setuid and setgid bits) and, where the
// process may give them, its owner and group. Every failing call leaves errno set.
// On Windows a target marked read-only is refused; the temporary file is held by its
// handle alone until it is renamed, takes the target's hidden, system and archive marks
// and the folder's permissions, and the rename is tried again for a second while another
// program holds the target open.
class TAtomicFile {
public:
    TAtomicFile() = default;
    // Removes the temporary file unless it was committed.
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    // `target` may be a link: the file it names is replaced and the link kept.
    bool Open(const std::filesystem::path& target);
    bool Write(std::string_view text);
    // Makes the text durable and closes the temporary file.
    bool Sync();
    // Renames the synced temporary file over the target.
    bool Commit();
    const std::filesystem::path& Target() const { return FTarget; }

private:
    bool Fail();
    void Discard();

    std::filesystem::path FTarget;
    std::filesystem::path FTemporary;
    int FHandle = -1;
#ifdef _WIN32
    // The target's attributes the replacement takes over.
    std::uint32_t FAttributes = 0;
#endif
};

// Replaces `target` with `text` through a TAtomicFile; false with errno set on failure,
// the target then as it was.
bool ReplaceFileText(const std::filesystem::path& target, std::string_view text);
