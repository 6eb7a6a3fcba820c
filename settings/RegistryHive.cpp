#include "Registry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "HiveFile.h"
#include "SafeFile.h"

// Without a platform registry each root lives in a hive file of its own, e.g.
// HKEY_CURRENT_USER.reg, shared by every accessor and process of the user.

struct TRegistry::TImpl {
    std::string RootName;
    std::string FileName;
    bool KeyOpen = false;
    // Writes kept back until the outermost EndUpdate: key path, value name, value.
    int UpdateDepth = 0;
    std::vector<std::tuple<std::string, std::string, TRegValue>> Pending;
};

namespace {

namespace fs = std::filesystem;

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// $SELVANE_HIVE_DIR, else $XDG_CONFIG_HOME/selvane, else ~/.config/selvane.
fs::path HiveFolder()
{
    if (std::string folder = Environment("SELVANE_HIVE_DIR"); !folder.empty())
        return folder;
    if (const fs::path config = Environment("XDG_CONFIG_HOME"); config.is_absolute())
        return config / "selvane";
    std::string home = Environment("HOME");
    if (home.empty()) {
        if (const passwd* user = getpwuid(getuid()))
            home = user->pw_dir;
    }
    return fs::path(home) / ".config" / "selvane";
}

ERegistryException FileError(const char* what, const std::string& fileName, int error)
{
    return ERegistryException(std::string(what) + " \"" + fileName + "\": " + std::strerror(error));
}

class TFileHandle {
public:
    explicit TFileHandle(int fd) : Fd(fd) {}
    ~TFileHandle()
    {
        if (Fd >= 0)
            close(Fd);
    }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    const int Fd;
};

// The hive file's text; a missing file is an empty hive.
std::string ReadHiveText(const std::string& fileName)
{
    std::string text;
    std::string reason;
    if (!ReadRegularFile(fileName, text, reason)) {
        if (errno == ENOENT)
            return {};
        throw ERegistryException("Cannot read registry file \"" + fileName + "\": " + reason);
    }
    return text;
}

THiveFile LoadHive(const std::string& rootName, const std::string& fileName)
{
    return THiveFile::Parse(ReadHiveText(fileName), rootName, fileName);
}

// The hive as lookups see it: one that cannot be read holds nothing. The file is parsed
// again only when it is another file than the one parsed last: every write replaces it
// with a new file, so its identity, size and times tell whether anyone wrote since.
std::shared_ptr<const THiveFile> LookupHive(const std::string& rootName, const std::string& fileName)
{
    struct TParsed {
        struct stat Status;
        std::shared_ptr<const THiveFile> Hive;
    };
    static std::mutex guard;
    static std::map<std::string, TParsed> parsed;
    struct stat status;
    const bool exists = stat(fileName.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    const std::lock_guard<std::mutex> lock(guard);
    if (exists) {
        const auto known = parsed.find(fileName);
        if (known != parsed.end()) {
            const struct stat& was = known->second.Status;
            if (was.st_dev == status.st_dev && was.st_ino == status.st_ino && was.st_size == status.st_size &&
                was.st_mtim.tv_sec == status.st_mtim.tv_sec && was.st_mtim.tv_nsec == status.st_mtim.tv_nsec &&
                was.st_ctim.tv_sec == status.st_ctim.tv_sec && was.st_ctim.tv_nsec == status.st_ctim.tv_nsec)
                return known->second.Hive;
        }
    }
    parsed.erase(fileName);
    try {
        auto hive = std::make_shared<const THiveFile>(LoadHive(rootName, fileName));
        // Only a file that stood still while it was read is kept for the next lookup.
        struct stat after;
        if (exists && stat(fileName.c_str(), &after) == 0 && after.st_ino == status.st_ino &&
            after.st_mtim.tv_nsec == status.st_mtim.tv_nsec && after.st_mtim.tv_sec == status.st_mtim.tv_sec &&
            after.st_size == status.st_size)
            parsed[fileName] = {status, hive};
        return hive;
    } catch (const ERegistryException&) {
        return std::make_shared<const THiveFile>(rootName);
    }
}

// Changes the hive file: under an exclusive lock it is read afresh, changed by `change`
// and, when that reports a change, replaced by a complete and synced new copy. Writers
// thus never lose each other's values and readers, who take no lock, see either the
// old file or the new one. A file that cannot be read is left as it is.
void UpdateHive(const std::string& rootName, const std::string& fileName, const std::function<bool(THiveFile&)>& change)
{
    // A linked hive stays linked: the file it names is the one changed, and locked.
    const fs::path target = ResolveLinks(fileName);
    const fs::path folder = target.parent_path();
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw ERegistryException("Cannot create folder \"" + folder.string() + "\": " + error.message());

    // The lock lives in a file of its own, since the hive itself is replaced on each write.
    const std::string lockName = target.string() + ".lock";
    const TFileHandle lock(open(lockName.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (lock.Fd < 0)
        throw FileError("Cannot create lock file", lockName, errno);
    while (flock(lock.Fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            throw FileError("Cannot lock registry file", lockName, errno);
    }

    THiveFile hive = LoadHive(rootName, fileName);
    if (!change(hive))
        return;

    if (!ReplaceFileText(target, hive.Text()))
        throw FileError("Cannot write registry file", fileName, errno);
}

// The path from the root that `key` names: from the open key unless it starts with "\".
std::optional<std::string> FullPath(const std::string& key, bool keyOpen, const std::string& currentPath)
{
    const bool relative = !key.starts_with('\\');
    std::string path = relative ? key : key.substr(1);
    if (relative && keyOpen && !currentPath.empty())
        path = path.empty() ? currentPath : currentPath + '\\' + path;
    if (!IsValidRegistryPath(path))
        return std::nullopt;
    return path;
}

} // namespace

TRegistry::TRegistry(TRegistryRoot root) : FImpl(std::make_unique<TImpl>())
{
    FImpl->RootName = root == TRegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_CLASSES_ROOT";
    FImpl->FileName = (HiveFolder() / (FImpl->RootName + ".reg")).string();
}

TRegistry::~TRegistry() = default;

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    const std::optional<std::string> path = FullPath(key, FImpl->KeyOpen, FCurrentPath);
    if (!path) {
        FOpenError = "\"" + key + "\" is not a valid key name";
        return false;
    }
    if (!LookupHive(FImpl->RootName, FImpl->FileName)->KeyExists(*path)) {
        if (!canCreate) {
            FOpenError = "Key \"" + *path + "\" does not exist";
            return false;
        }
        try {
            UpdateHive(FImpl->RootName, FImpl->FileName, [&](THiveFile& hive) { return hive.CreateKey(*path); });
        } catch (const ERegistryException& e) {
            FOpenError = e.what();
            return false;
        }
    }
    FImpl->KeyOpen = true;
    FCurrentPath = *path;
    FOpenError.clear();
    return true;
}

void TRegistry::CloseKey()
{
    FImpl->KeyOpen = false;
    FCurrentPath.clear();
    FOpenError.clear();
}

bool TRegistry::KeyExists(const std::string& key) const
{
    const std::optional<std::string> path = FullPath(key, FImpl->KeyOpen, FCurrentPath);
    return path && LookupHive(FImpl->RootName, FImpl->FileName)->KeyExists(*path);
}

bool TRegistry::DeleteKey(const std::string& key)
{
    const std::optional<std::string> path = FullPath(key, FImpl->KeyOpen, FCurrentPath);
    bool deleted = false;
    try {
        if (path)
            UpdateHive(FImpl->RootName, FImpl->FileName, [&](THiveFile& hive) {
                deleted = hive.DeleteKey(*path);
                return deleted;
            });
    } catch (const ERegistryException&) {
        return false;
    }
    return deleted;
}

bool TRegistry::DeleteValue(const std::string& name)
{
    bool deleted = false;
    try {
        if (FImpl->KeyOpen)
            UpdateHive(FImpl->RootName, FImpl->FileName, [&](THiveFile& hive) {
                deleted = hive.DeleteValue(FCurrentPath, name);
                return deleted;
            });
    } catch (const ERegistryException&) {
        return false;
    }
    return deleted;
}

std::optional<TRegValue> TRegistry::ReadValue(const std::string& name) const
{
    if (!FImpl->KeyOpen)
        return std::nullopt;
    const std::shared_ptr<const THiveFile> hive = LookupHive(FImpl->RootName, FImpl->FileName);
    const TRegValue* value = hive->FindValue(FCurrentPath, name);
    return value ? std::optional<TRegValue>(*value) : std::nullopt;
}

void TRegistry::WriteValue(const std::string& name, const TRegValue& value)
{
    if (!FImpl->KeyOpen)
        throw NoKeyError(name);
    if (!IsValidRegistryName(name))
        throw WriteError(name, "The name is not UTF-8 text without control characters");
    if (FImpl->UpdateDepth > 0) {
        FImpl->Pending.emplace_back(FCurrentPath, name, value);
        return;
    }
    try {
        // A key deleted meanwhile by another accessor comes back with the value.
        UpdateHive(FImpl->RootName, FImpl->FileName,
                   [&](THiveFile& hive) { return hive.SetValue(FCurrentPath, name, value); });
    } catch (const ERegistryException& e) {
        throw WriteError(name, e.what());
    }
}

void TRegistry::BeginUpdate() { ++FImpl->UpdateDepth; }

void TRegistry::EndUpdate()
{
    if (FImpl->UpdateDepth == 0 || --FImpl->UpdateDepth > 0 || FImpl->Pending.empty())
        return;
    const auto pending = std::move(FImpl->Pending);
    FImpl->Pending.clear();
    try {
        UpdateHive(FImpl->RootName, FImpl->FileName, [&](THiveFile& hive) {
            bool changed = false;
            for (const auto& [path, name, value] : pending)
                changed = hive.SetValue(path, name, value) || changed;
            return changed;
        });
    } catch (const ERegistryException& e) {
        throw WriteError(std::get<1>(pending.front()), e.what());
    }
}
