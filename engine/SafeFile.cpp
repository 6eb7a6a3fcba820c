#include "SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A temporary file no process has written for this long, and whose maker's lock is gone,
// was left by a save that was killed.
constexpr time_t StaleSeconds = 10;

// The name of a temporary file beside `target`: "." + its name + "." + 12 hex digits + "~".
bool IsTemporaryName(std::string_view name, std::string_view prefix)
{
    if (name.size() != prefix.size() + 13 || name.substr(0, prefix.size()) != prefix || name.back() != '~')
        return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end() - 1,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Removes the temporary files of `target` that killed saves of this user left behind:
// regular files of the temporary name, unchanged for a while and locked by no process.
void RemoveStaleTemporaries(const fs::path& target)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    DIR* directory = opendir(folder.c_str());
    if (!directory)
        return;
    const std::string prefix = "." + target.filename().string() + ".";
    const time_t now = time(nullptr);
    while (const dirent* entry = readdir(directory)) {
        if (!IsTemporaryName(entry->d_name, prefix))
            continue;
        const int handle = openat(dirfd(directory), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (handle < 0)
            continue;
        struct stat status;
        if (fstat(handle, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == geteuid() &&
            status.st_mtime + StaleSeconds < now && flock(handle, LOCK_EX | LOCK_NB) == 0)
            unlinkat(dirfd(directory), entry->d_name, 0);
        close(handle);
    }
    closedir(directory);
}

} // namespace

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

int OpenRegularFile(const fs::path& name, std::string& reason)
{
    // Without O_NONBLOCK a FIFO nobody writes to would hold the open for ever.
    const int handle = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        reason = std::generic_category().message(errno);
        return -1;
    }
    struct stat status;
    if (fstat(handle, &status) != 0 || !S_ISREG(status.st_mode)) {
        reason = "Not a regular file";
        close(handle);
        errno = EINVAL;
        return -1;
    }
    fcntl(handle, F_SETFL, fcntl(handle, F_GETFL) & ~O_NONBLOCK);
    return handle;
}

namespace {

bool ReadAll(int handle, std::string& text, std::string& reason, std::size_t limit = SIZE_MAX)
{
    text.clear();
    char buffer[16384];
    for (;;) {
        const ssize_t count = read(handle, buffer, sizeof buffer);
        if (count > 0) {
            if (text.size() + static_cast<std::size_t>(count) > limit) {
                reason = "File too large";
                errno = EFBIG;
                return false;
            }
            text.append(buffer, static_cast<std::size_t>(count));
        } else if (count == 0) {
            return true;
        } else if (errno != EINTR) {
            reason = std::generic_category().message(errno);
            return false;
        }
    }
}

bool SameState(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

} // namespace

bool ReadRegularFile(const fs::path& name, std::string& text, std::string& reason, std::size_t limit)
{
    const int handle = OpenRegularFile(name, reason);
    if (handle < 0)
        return false;
    // A huge file is refused before a byte of it is read.
    struct stat status;
    const bool read = (fstat(handle, &status) != 0 || static_cast<std::uintmax_t>(status.st_size) <= limit ||
                       (reason = "File too large", errno = EFBIG, false)) &&
                      ReadAll(handle, text, reason, limit);
    const int error = errno;
    close(handle);
    errno = error;
    return read;
}

bool ReadSettledFile(const fs::path& name, std::string& text, std::string& reason)
{
    const int handle = OpenRegularFile(name, reason);
    if (handle < 0)
        return false;
    struct stat before, after, named;
    // File times come from the kernel's coarse clock, and writes within one of its ticks
    // leave them alone: a file written in the tick this read starts in could change
    // unseen. The read waits for the next tick (a few milliseconds), and a file whose
    // time stays ahead of the clock counts as changing.
    bool read = fstat(handle, &before) == 0;
    bool recent = true;
    for (int wait = 0; read && recent && wait < 50; ++wait) {
        struct timespec now {};
        read = clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0;
        recent = before.st_mtim.tv_sec > now.tv_sec || (before.st_mtim.tv_sec == now.tv_sec && before.st_mtim.tv_nsec >= now.tv_nsec);
        if (recent) {
            const struct timespec millisecond {0, 1000000};
            nanosleep(&millisecond, nullptr);
        }
    }
    read = read && ReadAll(handle, text, reason);
    int error = errno;
    if (read && (recent || fstat(handle, &after) != 0 || stat(name.c_str(), &named) != 0 || !SameState(before, after) ||
                 !SameState(before, named) || static_cast<std::size_t>(before.st_size) != text.size())) {
        reason = "The file changed while it was read";
        error = EAGAIN;
        read = false;
    }
    close(handle);
    errno = error;
    return read;
}

TFileReadBuffer::~TFileReadBuffer() { close(FHandle); }

std::streamsize TFileReadBuffer::ReadSome(char* text, std::size_t count)
{
    for (;;) {
        const ssize_t got = read(FHandle, text, count);
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
    const off_t position = lseek(FHandle, offset, whence);
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
        close(FHandle);
        FHandle = -1;
    }
    if (!FTemporary.empty()) {
        unlink(FTemporary.c_str());
        FTemporary.clear();
    }
}

bool TAtomicFile::Open(const fs::path& target)
{
    Discard();
    FTarget = ResolveLinks(target);
    struct stat status;
    const bool exists = lstat(FTarget.c_str(), &status) == 0;
    if (exists) {
        if (!S_ISREG(status.st_mode) || access(FTarget.c_str(), W_OK) != 0 || (status.st_mode & 0222) == 0) {
            errno = EACCES;
            return false;
        }
    } else if (errno != ENOENT) {
        return false;
    }

    RemoveStaleTemporaries(FTarget);
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%012llx~", static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        fs::path name = FTarget;
        name.replace_filename("." + FTarget.filename().string() + suffix);
        // A new target gets the mode the user's mask gives any new file; an existing one's
        // text stays unreadable to others until the temporary file has the target's mode.
        FHandle = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, exists ? 0600 : 0666);
        if (FHandle >= 0) {
            FTemporary = std::move(name);
            // Held while the file is written: a later save sees that its maker lives.
            flock(FHandle, LOCK_EX | LOCK_NB);
            break;
        }
        if (errno != EEXIST)
            return false;
    }
    if (FHandle < 0)
        return false;
    if (exists) {
        // Owner and group first: changing them may clear mode bits.
        if (fchown(FHandle, status.st_uid, status.st_gid) != 0 && fchown(FHandle, static_cast<uid_t>(-1), status.st_gid) != 0) {
            // Another owner is out of this process's reach; the file stays the user's.
        }
        if (fchmod(FHandle, status.st_mode & 01777) != 0)
            return Fail();
    }
    return true;
}

bool TAtomicFile::Write(std::string_view text)
{
    while (!text.empty()) {
        const ssize_t count = write(FHandle, text.data(), text.size());
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
    if (fsync(FHandle) != 0)
        return Fail();
    const int handle = FHandle;
    FHandle = -1;
    return close(handle) == 0 || Fail();
}

bool TAtomicFile::Commit()
{
    if (rename(FTemporary.c_str(), FTarget.c_str()) != 0)
        return Fail();
    FTemporary.clear();
    // The new name lasts through a crash only once the folder is synced; a file system
    // that cannot sync folders still has the complete file.
    const fs::path folder = FTarget.has_parent_path() ? FTarget.parent_path() : fs::path(".");
    const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}

bool ReplaceFile(const fs::path& target, std::string_view text)
{
    TAtomicFile file;
    return file.Open(target) && file.Write(text) && file.Sync() && file.Commit();
}
