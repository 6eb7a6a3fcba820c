#include "ProgramSetup.h"

TProgramSetup::TProgramSetup(const std::string& key)
    : FRegistry(std::make_unique<TRegistry>(TRegistryRoot::CurrentUser)), FKey(key)
{
    // A key that cannot be opened shows as absent values and failing writes.
    FRegistry->OpenKey(FKey, true);
}

bool TProgramSetup::ValueExists(const std::string& name) const
{
    return FRegistry->ValueExists(name);
}

bool TProgramSetup::ReadBool(const std::string& name, bool& value) const
{
    const std::optional<std::int32_t> stored = FRegistry->ReadInteger(name);
    if (!stored)
        return false;
    value = *stored != 0;
    return true;
}

bool TProgramSetup::ReadString(const std::string& name, std::string& value) const
{
    // TRegistry::ReadString also takes expandable strings; settings are plain strings only.
    if (FRegistry->GetDataType(name) != TRegDataType::String)
        return false;
    const std::optional<std::string> stored = FRegistry->ReadString(name);
    if (!stored)
        return false;
    value = *stored;
    return true;
}

void TProgramSetup::WriteBool(const std::string& name, bool value)
{
    FRegistry->WriteInteger(name, value ? 1 : 0);
}

void TProgramSetup::WriteString(const std::string& name, const std::string& value)
{
    FRegistry->WriteString(name, value);
}
