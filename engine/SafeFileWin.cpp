#include "SafeFile.h"

#include <cerrno>
#include <cstdint>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "FileHandle.h"

namespace fs = std::filesystem;

namespace {

// A temporary file no process has written for this long, and that no handle holds, was
// left by a save that was killed.
constexpr std::uint64_t StaleSeconds = 10;
// Another program holding the target open (an editor, a scanner, a reader that does not
// share deletion) makes the rename fail for a moment: this many tries, 50 ms apart.
constexpr int CommitAttempts = 20;

// The errno of a Windows error, so that callers report what they report elsewhere.
int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

bool SetErrno(DWORD error = GetLastError())
{
    errno = ErrnoOf(error);
    return false;
}

// A C runtime handle in binary mode over `file`, which it takes over.
int CrtHandle(HANDLE file, int flags)
{
    const int handle = _open_osfhandle(reinterpret_cast<intptr_t>(file), flags | _O_BINARY | _O_NOINHERIT);
    if (handle < 0) {
        CloseHandle(file);
        errno = EMFILE;
    }
    return handle;
}

HANDLE OsHandle(int handle) { return reinterpret_cast<HANDLE>(_get_osfhandle(handle)); }

// A file on a disk, not a folder, a pipe or a device.
bool IsRegular(HANDLE file, BY_HANDLE_FILE_INFORMATION& info)
{
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens `name` for `access`, sharing every kind of access with other handles, so that
// other programs may go on writing, renaming or deleting the file while it is read. A
// save over it waits until the read is done. Folders open too, so that they can be told
// apart.
HANDLE OpenShared(const fs::path& name, DWORD access)
{
    return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool SameState(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh && a.nFileSizeLow == b.nFileSizeLow &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

std::uint64_t Ticks(const FILETIME& time) { return (std::uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

// Removes the temporary files of `target` that killed saves left behind: files of the
// temporary name, unchanged for a while, that no handle holds (a save holds its own
// alone until it is renamed).
void RemoveStaleTemporaries(const fs::path& target)
{
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string prefix = TemporaryPrefix(target);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        if (!IsTemporaryName(PathText(entry->path().filename()), prefix))
            continue;
        const HANDLE file = CreateFileW(entry->path().c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        BY_HANDLE_FILE_INFORMATION info;
        if (IsRegular(file, info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            Ticks(info.ftLastWriteTime) + StaleSeconds * 10000000 < Ticks(now)) {
            FILE_DISPOSITION_INFO dispose{TRUE};
            SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose);
        }
        CloseHandle(file);
    }
}

} // namespace

int OpenRegularFile(const fs::path& name, std::string& reason)
{
    const HANDLE file = OpenShared(name, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE) {
        SetErrno();
        reason = std::generic_category().message(errno);
        return -1;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!IsRegular(file, info)) {
        CloseHandle(file);
        reason = "Not a regular file";
        errno = EINVAL;
        return -1;
    }
    const int handle = CrtHandle(file, _O_RDONLY);
    if (handle < 0)
        reason = std::generic_category().message(errno);
    return handle;
}

bool ReadSettledFile(const fs::path& name, std::string& text, std::string& reason)
{
    const int handle = OpenRegularFile(name, reason);
    if (handle < 0)
        return false;
    BY_HANDLE_FILE_INFORMATION before, after, named;
    bool read = GetFileInformationByHandle(OsHandle(handle), &before) && ReadAllOf(handle, text, reason);
    int error = errno;
    if (read) {
        // The name may stand for another file by now.
        const HANDLE current = OpenShared(name, FILE_READ_ATTRIBUTES);
        const bool settled = current != INVALID_HANDLE_VALUE && GetFileInformationByHandle(current, &named) &&
                             GetFileInformationByHandle(OsHandle(handle), &after) && SameState(before, after) &&
                             SameState(before, named) &&
                             ((std::uint64_t(before.nFileSizeHigh) << 32) | before.nFileSizeLow) == text.size();
        if (current != INVALID_HANDLE_VALUE)
            CloseHandle(current);
        if (!settled) {
            reason = "The file changed while it was read";
            error = EAGAIN;
            read = false;
        }
    }
    FileClose(handle);
    errno = error;
    return read;
}

bool TAtomicFile::Open(const fs::path& target)
{
    Discard();
    FTarget = ResolveLinks(target);
    FAttributes = 0;
    const HANDLE existing = OpenShared(FTarget, FILE_READ_ATTRIBUTES);
    if (existing != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info;
        const bool regular = IsRegular(existing, info);
        CloseHandle(existing);
        // A folder, a device or a file marked read-only is refused, never replaced.
        if (!regular || (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
            errno = EACCES;
            return false;
        }
        // The replacement keeps the target's marks (hidden, system, archive, not indexed).
        FAttributes = info.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                               FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    } else if (const DWORD error = GetLastError(); error != ERROR_FILE_NOT_FOUND) {
        return SetErrno(error);
    }

    RemoveStaleTemporaries(FTarget);
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && FHandle < 0; ++attempt) {
        fs::path name = TemporaryName(FTarget, random());
        // Held alone while it is written: no other program reads a half text, and a
        // later save sees that its maker lives.
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (const DWORD error = GetLastError(); error != ERROR_FILE_EXISTS)
                return SetErrno(error);
            continue;
        }
        FTemporary = std::move(name);
        FHandle = CrtHandle(file, _O_WRONLY);
        if (FHandle < 0)
            return Fail();
    }
    return FHandle >= 0 || SetErrno(ERROR_FILE_EXISTS);
}

bool TAtomicFile::Commit()
{
    if (FAttributes != 0)
        SetFileAttributesW(FTemporary.c_str(), FAttributes);
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(FTemporary.c_str(), FTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            break;
        const DWORD error = GetLastError();
        if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
            attempt == CommitAttempts) {
            SetErrno(error);
            return Fail();
        }
        Sleep(50);
    }
    FTemporary.clear();
    return true;
}
