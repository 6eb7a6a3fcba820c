#include "SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "FileHandle.h"

namespace fs = std::filesystem;

fs::path ResolveLinks(const fs::path& name)
{
    fs::path resolved = name;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(resolved, error))
            break;
        const fs::path link = fs::read_symlink(resolved, error);
        if (error)
            break;
        resolved = link.is_absolute() ? link : resolved.parent_path() / link;
    }
    return resolved;
}

std::string PathText(const fs::path& name)
{
#ifdef _WIN32
    const std::u8string text = name.u8string();
    return std::string(text.begin(), text.end());
#else
    return name.string();
#endif
}

fs::path PathOfText(std::string_view text)
{
#ifdef _WIN32
    return fs::path(std::u8string(text.begin(), text.end()));
#else
    return fs::path(text);
#endif
}

bool IsTemporaryName(std::string_view name, std::string_view prefix)
{
    if (name.size() != prefix.size() + 13 || name.substr(0, prefix.size()) != prefix || name.back() != '~')
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end() - 1,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string TemporaryPrefix(const fs::path& target) { return "." + PathText(target.filename()) + "."; }

fs::path TemporaryName(const fs::path& target, std::uint64_t random)
{
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%012llx~", static_cast<unsigned long long>(random & 0xFFFFFFFFFFFFull));
    return target.parent_path() / PathOfText(TemporaryPrefix(target) + suffix);
}

bool ReadAllOf(int handle, std::string& text, std::string& reason, std::size_t limit)
{
    // Read straight into the text, sized from the file's length and a byte more, so that
    // the end shows at once; a file that grows meanwhile gets more room as it goes.
    std::uint64_t size = 0;
    constexpr std::size_t Step = 16384;
    std::size_t room = FileSize(handle, size) && size > 0 && size < limit ? static_cast<std::size_t>(size) + 1 : Step;
    std::size_t used = 0;
    text.clear();
    for (;;) {
        if (used == text.size()) {
            text.resize(used + room);
            room = std::max({room, used, Step});
        }
        const std::int64_t count = FileRead(handle, text.data() + used, text.size() - used);
        if (count > 0) {
            used += static_cast<std::size_t>(count);
            if (used > limit) {
                text.clear();
                reason = "File too large";
                errno = EFBIG;
                return false;
            }
        } else if (count == 0) {
            text.resize(used);
            return true;
        } else if (errno != EINTR) {
            text.clear();
            reason = std::generic_category().message(errno);
            return false;
        }
    }
}

bool ReadRegularFile(const fs::path& name, std::string& text, std::string& reason, std::size_t limit)
{
    const int handle = OpenRegularFile(name, reason);
    if (handle < 0)
        return false;
    // A huge file is refused before a byte of it is read.
    std::uint64_t size = 0;
    const bool read = (!FileSize(handle, size) || size <= limit || (reason = "File too large", errno = EFBIG, false)) &&
                      ReadAllOf(handle, text, reason, limit);
    const int error = errno;
    FileClose(handle);
    errno = error;
    return read;
}

TFileReadBuffer::~TFileReadBuffer() { FileClose(FHandle); }

std::streamsize TFileReadBuffer::ReadSome(char* text, std::size_t count)
{
    for (;;) {
        const std::int64_t got = FileRead(FHandle, text, count);
        if (got >= 0)
            return got;
        // A failing disk or file system must not look like the end of the file, where a
        // document without its end tags would still load.
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category());
    }
}

TFileReadBuffer::int_type TFileReadBuffer::underflow()
{
    const std::streamsize count = ReadSome(FBuffer, sizeof FBuffer);
    if (count == 0)
        return traits_type::eof();
    setg(FBuffer, FBuffer, FBuffer + count);
    return traits_type::to_int_type(FBuffer[0]);
}

std::streamsize TFileReadBuffer::xsgetn(char* text, std::streamsize count)
{
    // What the buffer holds first, then straight into the caller's memory.
    std::streamsize done = std::min<std::streamsize>(count, egptr() - gptr());
    std::copy(gptr(), gptr() + done, text);
    gbump(static_cast<int>(done));
    while (done < count) {
        const std::streamsize got = ReadSome(text + done, static_cast<size_t>(count - done));
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

TFileReadBuffer::pos_type TFileReadBuffer::seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode)
{
    const int whence = dir == std::ios_base::beg ? SEEK_SET : dir == std::ios_base::end ? SEEK_END : SEEK_CUR;
    // The file's position is ahead of the reader's by what the buffer still holds.
    if (whence == SEEK_CUR)
        offset -= egptr() - gptr();
    const std::int64_t position = FileSeek(FHandle, offset, whence);
    setg(FBuffer, FBuffer, FBuffer);
    return position < 0 ? pos_type(off_type(-1)) : pos_type(position);
}

TFileReadBuffer::pos_type TFileReadBuffer::seekpos(pos_type position, std::ios_base::openmode mode)
{
    return seekoff(off_type(position), std::ios_base::beg, mode);
}

TAtomicFile::~TAtomicFile() { Discard(); }

void TAtomicFile::Discard()
{
    if (FHandle >= 0) {
        FileClose(FHandle);
        FHandle = -1;
    }
    if (!FTemporary.empty()) {
        std::error_code ignored;
        fs::remove(FTemporary, ignored);
        FTemporary.clear();
    }
}

bool TAtomicFile::Write(std::string_view text)
{
    while (!text.empty()) {
        const std::int64_t count = FileWrite(FHandle, text.data(), text.size());
        if (count > 0)
            text.remove_prefix(static_cast<size_t>(count));
        else if (count == 0 || errno != EINTR)
            return false;
    }
    return true;
}

bool TAtomicFile::Fail()
{
    const int error = errno;
    Discard();
    errno = error;
    return false;
}

bool TAtomicFile::Sync()
{
    if (FileSync(FHandle) != 0)
        return Fail();
    const int handle = FHandle;
    FHandle = -1;
    return FileClose(handle) == 0 || Fail();
}

bool ReplaceFileText(const fs::path& target, std::string_view text)
{
    TAtomicFile file;
    return file.Open(target) && file.Write(text) && file.Sync() && file.Commit();
}
