#include "Registry.h"

#include <string_view>

#include <windows.h>

#include "Utf16.h"

struct TRegistry::TImpl {
    HKEY Root = nullptr;
    HKEY CurrentKey = nullptr;
};

namespace {

std::wstring Wide(std::string_view text)
{
    const std::u16string units = Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

std::string SystemMessage(LSTATUS status)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(status), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::u16string text(buffer, buffer + length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' '))
        text.pop_back();
    return text.empty() ? "Error " + std::to_string(status) : Utf16ToUtf8(text);
}

// The key a path starts from and the path below it: the open key unless the path
// starts with "\".
struct TKeyRef {
    HKEY Base;
    std::string Path;
    bool Relative;
};

TKeyRef Resolve(HKEY root, HKEY current, const std::string& key)
{
    const bool relative = !key.starts_with('\\');
    return {relative && current ? current : root, relative ? key : key.substr(1), relative};
}

} // namespace

TRegistry::TRegistry(TRegistryRoot root) : FImpl(std::make_unique<TImpl>())
{
    FImpl->Root = root == TRegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
}

TRegistry::~TRegistry()
{
    CloseKey();
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    const TKeyRef ref = Resolve(FImpl->Root, FImpl->CurrentKey, key);
    // The names the hive files refuse are refused here too, so that a setting written on
    // one platform can be written on the other.
    if (!IsValidRegistryPath(ref.Path)) {
        FOpenError = "\"" + key + "\" is not a valid key name";
        return false;
    }
    const std::wstring path = Wide(ref.Path);
    HKEY opened = nullptr;
    LSTATUS status = canCreate && !ref.Path.empty()
        ? RegCreateKeyExW(ref.Base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                          &opened, nullptr)
        : RegOpenKeyExW(ref.Base, path.c_str(), 0, KEY_READ | KEY_WRITE, &opened);
    // Machine-wide keys (file types above all) are readable but not writable for most
    // users; such a key still opens for reading, and a write then reports the denial.
    if (status == ERROR_ACCESS_DENIED && !canCreate)
        status = RegOpenKeyExW(ref.Base, path.c_str(), 0, KEY_READ, &opened);
    if (status != ERROR_SUCCESS) {
        FOpenError = SystemMessage(status);
        return false;
    }
    std::string fullPath = ref.Path;
    if (ref.Relative && FImpl->CurrentKey && !FCurrentPath.empty())
        fullPath = ref.Path.empty() ? FCurrentPath : FCurrentPath + '\\' + ref.Path;
    CloseKey();
    FImpl->CurrentKey = opened;
    FCurrentPath = std::move(fullPath);
    return true;
}

void TRegistry::CloseKey()
{
    if (FImpl->CurrentKey)
        RegCloseKey(FImpl->CurrentKey);
    FImpl->CurrentKey = nullptr;
    FCurrentPath.clear();
    FOpenError.clear();
}

bool TRegistry::KeyExists(const std::string& key) const
{
    const TKeyRef ref = Resolve(FImpl->Root, FImpl->CurrentKey, key);
    if (!IsValidRegistryPath(ref.Path))
        return false;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(ref.Base, Wide(ref.Path).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    const TKeyRef ref = Resolve(FImpl->Root, FImpl->CurrentKey, key);
    return !ref.Path.empty() && IsValidRegistryPath(ref.Path) && RegDeleteTreeW(ref.Base, Wide(ref.Path).c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& name)
{
    return FImpl->CurrentKey && RegDeleteValueW(FImpl->CurrentKey, Wide(name).c_str()) == ERROR_SUCCESS;
}

std::optional<TRegValue> TRegistry::ReadValue(const std::string& name) const
{
    if (!FImpl->CurrentKey)
        return std::nullopt;
    const std::wstring wideName = Wide(name);
    for (;;) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(FImpl->CurrentKey, wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        TRegValue value{static_cast<std::uint32_t>(type), std::vector<std::uint8_t>(size)};
        const LSTATUS status
            = RegQueryValueExW(FImpl->CurrentKey, wideName.c_str(), nullptr, &type, value.Data.data(), &size);
        // Another writer may have made the value longer between the two queries.
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        value.Type = static_cast<std::uint32_t>(type);
        value.Data.resize(size);
        return value;
    }
}

void TRegistry::WriteValue(const std::string& name, const TRegValue& value)
{
    if (!FImpl->CurrentKey)
        throw NoKeyError(name);
    if (!IsValidRegistryName(name))
        throw WriteError(name, "The name is not UTF-8 text without control characters");
    const std::wstring wideName = Wide(name);
    const auto store = [&] {
        return RegSetValueExW(FImpl->CurrentKey, wideName.c_str(), 0, value.Type, value.Data.data(),
                              static_cast<DWORD>(value.Data.size()));
    };
    LSTATUS status = store();
    if (status == ERROR_KEY_DELETED) {
        // Another program deleted the open key: it comes back with the value, as the
        // settings and the result of a closing dialog would otherwise be lost.
        HKEY created = nullptr;
        status = RegCreateKeyExW(FImpl->Root, Wide(FCurrentPath).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_READ | KEY_WRITE, nullptr, &created, nullptr);
        if (status == ERROR_SUCCESS) {
            RegCloseKey(FImpl->CurrentKey);
            FImpl->CurrentKey = created;
            status = store();
        }
    }
    if (status != ERROR_SUCCESS)
        throw WriteError(name, SystemMessage(status));
}

// Each value of the platform's registry is stored on its own.
void TRegistry::BeginUpdate() {}

void TRegistry::EndUpdate() {}
