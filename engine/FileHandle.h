#pragma once

// The C runtime's file handles on every platform: Windows names its calls apart and
// needs binary mode, in which no byte is changed on the way.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <climits>
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

// The temporary files a replacement writes beside its target: "." + the target's name +
// "." + 12 hex digits + "~". A name starts with TemporaryPrefix.
bool IsTemporaryName(std::string_view name, std::string_view prefix);
std::string TemporaryPrefix(const std::filesystem::path& target);
std::filesystem::path TemporaryName(const std::filesystem::path& target, std::uint64_t random);

// Reads the rest of the file into `text`, as ReadRegularFile does.
bool ReadAllOf(int handle, std::string& text, std::string& reason, std::size_t limit = SIZE_MAX);

inline std::int64_t FileRead(int handle, void* buffer, std::size_t count)
{
#ifdef _WIN32
    return _read(handle, buffer, static_cast<unsigned>(count < INT_MAX ? count : INT_MAX));
#else
    return read(handle, buffer, count);
#endif
}

inline std::int64_t FileSeek(int handle, std::int64_t offset, int whence)
{
#ifdef _WIN32
    return _lseeki64(handle, offset, whence);
#else
    return lseek(handle, offset, whence);
#endif
}

inline std::int64_t FileWrite(int handle, const void* buffer, std::size_t count)
{
#ifdef _WIN32
    return _write(handle, buffer, static_cast<unsigned>(count < INT_MAX ? count : INT_MAX));
#else
    return write(handle, buffer, count);
#endif
}

// Makes what was written durable.
inline int FileSync(int handle)
{
#ifdef _WIN32
    return _commit(handle);
#else
    return fsync(handle);
#endif
}

inline int FileClose(int handle)
{
#ifdef _WIN32
    return _close(handle);
#else
    return close(handle);
#endif
}

// The size of the open file; false with errno set when it cannot be told.
inline bool FileSize(int handle, std::uint64_t& size)
{
#ifdef _WIN32
    struct _stat64 status;
    if (_fstat64(handle, &status) != 0)
        return false;
#else
    struct stat status;
    if (fstat(handle, &status) != 0)
        return false;
#endif
    size = static_cast<std::uint64_t>(status.st_size);
    return true;
}
