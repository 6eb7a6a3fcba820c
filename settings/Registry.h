#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The hive a registry accessor works in.
enum class TRegistryRoot {
    CurrentUser, // HKEY_CURRENT_USER: the user's settings
    ClassesRoot, // HKEY_CLASSES_ROOT: file types
};

// The kind of a stored value as the typed reads see it; Unknown when the value is absent
// or stored with a type outside these four.
enum class TRegDataType { Unknown, String, ExpandString, Integer, Binary };

// Type codes of stored values, numbered as the platform numbers them; a value keeps any
// other code it was stored with.
enum TRegTypeCode : std::uint32_t { rtString = 1, rtExpandString = 2, rtBinary = 3, rtInteger = 4 };

// A stored value: its type code and its bytes as the platform keeps them (strings as
// zero-terminated UTF-16LE, integers as 4 little-endian bytes).
struct TRegValue {
    std::uint32_t Type = 0;
    std::vector<std::uint8_t> Data;

    bool operator==(const TRegValue&) const = default;
};

// A failed registry write: "Failed to set data for '<name>'" followed by the reason.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when `name` may name a key or a value: well-formed UTF-8 without control
// characters. Both backends refuse other names.
bool IsValidRegistryName(std::string_view name);
// True for "" and for valid key names joined by single "\".
bool IsValidRegistryPath(std::string_view path);

// Access to one registry root, one open key at a time. Key paths use "\" between
// names; a path starting with "\" is taken from the root, any other path from the open
// key (from the root when none is open). Key and value names match without regard to
// ASCII letter case and keep the case they were first written with; the value name ""
// is the key's default value. Text is UTF-8. Nothing is cached: every read sees the
// latest writes of any accessor or process, and every write is stored at once.
class TRegistry {
public:
    // An accessor on `root` with no key open.
    explicit TRegistry(TRegistryRoot root = TRegistryRoot::CurrentUser);
    // Closes the open key.
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // Opens a key, creating it and its missing parents when `canCreate`; false when it
    // does not exist (and may not be created) or cannot be created; the key open before
    // then stays open.
    bool OpenKey(const std::string& key, bool canCreate);
    // Closes the open key, if any; reads then find nothing and writes fail.
    void CloseKey();
    // The path of the open key from the root, as it was given; empty when none is open.
    const std::string& CurrentPath() const { return FCurrentPath; }
    // Why the last OpenKey failed; empty when it succeeded or after CloseKey.
    const std::string& OpenError() const { return FOpenError; }
    // True when the key exists; the key open stays as it was.
    bool KeyExists(const std::string& key) const;
    // Deletes a key with all its subkeys and values; false when it did not exist or
    // could not be deleted. The root itself cannot be deleted.
    bool DeleteKey(const std::string& key);

    // True when the open key holds a value of that name, of any type.
    bool ValueExists(const std::string& name) const;
    // The type of the named value in the open key.
    TRegDataType GetDataType(const std::string& name) const;
    // The value when it is stored as a 32-bit integer, else nothing.
    std::optional<std::int32_t> ReadInteger(const std::string& name) const;
    // The text when the value is a plain or expandable string (not expanded), else nothing.
    std::optional<std::string> ReadString(const std::string& name) const;
    // The bytes when the value is stored as binary data, else nothing.
    std::optional<std::vector<std::uint8_t>> ReadBinaryData(const std::string& name) const;

    // The writes replace any value of that name, whatever its type, and throw
    // ERegistryException when no key is open or the value cannot be stored.
    // Stores a 32-bit integer (DWORD).
    void WriteInteger(const std::string& name, std::int32_t value);
    // Stores a plain string; malformed UTF-8 is stored with U+FFFD in its place.
    void WriteString(const std::string& name, const std::string& value);
    // Stores an expandable string (environment references left for the reader to expand).
    void WriteExpandString(const std::string& name, const std::string& value);
    // Stores binary data.
    void WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& value);
    // Deletes the named value of the open key; false when it did not exist or could not
    // be deleted.
    bool DeleteValue(const std::string& name);

    // Between BeginUpdate and the matching EndUpdate (they nest) the value writes of this
    // accessor are kept back and then stored together, so that another process sees
    // either none of them or all: EndUpdate throws ERegistryException, naming the first
    // value, when they cannot be stored, and then none is. A write with no key open or
    // an invalid name still fails at once. Where the platform's registry stores each
    // value on its own, the writes are stored at once.
    void BeginUpdate();
    void EndUpdate();

private:
    struct TImpl;

    std::optional<TRegValue> ReadValue(const std::string& name) const;
    void WriteValue(const std::string& name, const TRegValue& value);
    // The exception for a failed write of `name`.
    static ERegistryException WriteError(const std::string& name, const std::string& reason);
    // The exception for a write of `name` while no key is open.
    ERegistryException NoKeyError(const std::string& name) const;

    std::unique_ptr<TImpl> FImpl;
    std::string FCurrentPath;
    // Why the last OpenKey failed; the reason a write without an open key reports.
    std::string FOpenError;
};
