// Preloaded into a program under test, makes its reads of one file fail as a failing disk
// or network file system does: every read of the file named by SELVANE_FAILING_FILE that
// reaches the byte offset SELVANE_FAILING_AT (default 0) fails with EIO.

#include <cerrno>
#include <cstdlib>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" ssize_t read(int handle, void* buffer, size_t count)
{
    using TRead = ssize_t (*)(int, void*, size_t);
    static const auto real = reinterpret_cast<TRead>(dlsym(RTLD_NEXT, "read"));
    const char* name = std::getenv("SELVANE_FAILING_FILE");
    struct stat failing, opened;
    if (name && stat(name, &failing) == 0 && fstat(handle, &opened) == 0 && opened.st_dev == failing.st_dev &&
        opened.st_ino == failing.st_ino) {
        const char* at = std::getenv("SELVANE_FAILING_AT");
        const off_t limit = at ? std::strtoll(at, nullptr, 10) : 0;
        const off_t position = lseek(handle, 0, SEEK_CUR);
        if (position >= limit) {
            errno = EIO;
            return -1;
        }
        if (position + static_cast<off_t>(count) > limit)
            count = static_cast<size_t>(limit - position);
    }
    return real(handle, buffer, count);
}
