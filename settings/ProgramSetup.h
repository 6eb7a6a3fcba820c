#pragma once

#include <memory>
#include <string>

#include "Registry.h"

// Named boolean and text values in one key of the current user's hive. Reads leave the
// caller's variable as it was unless the value exists with the expected type, so a
// default set before the read survives. Writes are stored at once; nothing is cached,
// so several stores on the same key see each other's writes on their next read.
class TProgramSetup {
public:
    // Opens `key` (e.g. "Software\\Velmarco\\XML"), creating it and its parents when
    // missing. When that fails, reads find nothing and writes throw ERegistryException.
    explicit TProgramSetup(const std::string& key);

    // Why the key could not be opened (a damaged hive file names its line); empty when
    // it is open.
    const std::string& Error() const { return FRegistry->OpenError(); }

    // True when a value of that name exists, of any type.
    bool ValueExists(const std::string& name) const;
    // Stored as an integer: sets `value` to (stored != 0) and returns true; otherwise
    // returns false and leaves `value` alone.
    bool ReadBool(const std::string& name, bool& value) const;
    // Stored as a plain string (not an expandable one): sets `value` to its text and
    // returns true; otherwise returns false and leaves `value` alone.
    bool ReadString(const std::string& name, std::string& value) const;
    // Stores 1 or 0 as a 32-bit integer, replacing any value of that name.
    void WriteBool(const std::string& name, bool value);
    // Stores a plain string, replacing any value of that name.
    void WriteString(const std::string& name, const std::string& value);

    // The writes between these two are stored together (TRegistry::BeginUpdate).
    void BeginUpdate() { FRegistry->BeginUpdate(); }
    void EndUpdate() { FRegistry->EndUpdate(); }

private:
    std::unique_ptr<TRegistry> FRegistry;
    std::string FKey;
};
