#include "SafeFile.h"

#include <cerrno>
#include <cstdint>
#include <random>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "FileHandle.h"

namespace fs = std::filesystem;

namespace {

// A temporary file no process has written for this long, and whose maker's lock is gone,
// was left by a save that was killed.
constexpr time_t StaleSeconds = 10;

// Removes the temporary files of `target` that killed saves of this user left behind:
// regular files of the temporary name, unchanged for a while and locked by no process.
void RemoveStaleTemporaries(const fs::path& target)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    DIR* directory = opendir(folder.c_str());
    if (!directory)
        return;
    const std::string prefix = TemporaryPrefix(target);
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

bool SameState(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

} // namespace

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
    read = read && ReadAllOf(handle, text, reason);
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
        fs::path name = TemporaryName(FTarget, random());
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
