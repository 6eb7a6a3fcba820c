#include "Registry.h"

#include <algorithm>

#include "Utf16.h"

// The typed operations, shared by both backends; each backend provides the key
// handling and ReadValue/WriteValue.

bool IsValidRegistryName(std::string_view name)
{
    return IsValidUtf8(name) && std::none_of(name.begin(), name.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
           });
}

bool IsValidRegistryPath(std::string_view path)
{
    if (path.empty())
        return true;
    for (;;) {
        const std::size_t sep = path.find('\\');
        const std::string_view name = path.substr(0, sep);
        if (name.empty() || !IsValidRegistryName(name))
            return false;
        if (sep == std::string_view::npos)
            return true;
        path.remove_prefix(sep + 1);
    }
}

bool TRegistry::ValueExists(const std::string& name) const
{
    return ReadValue(name).has_value();
}

TRegDataType TRegistry::GetDataType(const std::string& name) const
{
    const std::optional<TRegValue> value = ReadValue(name);
    if (!value)
        return TRegDataType::Unknown;
    switch (value->Type) {
    case rtString:
        return TRegDataType::String;
    case rtExpandString:
        return TRegDataType::ExpandString;
    case rtInteger:
        return TRegDataType::Integer;
    case rtBinary:
        return TRegDataType::Binary;
    default:
        return TRegDataType::Unknown;
    }
}

std::optional<std::int32_t> TRegistry::ReadInteger(const std::string& name) const
{
    const std::optional<TRegValue> value = ReadValue(name);
    if (!value || value->Type != rtInteger || value->Data.size() != 4)
        return std::nullopt;
    const std::vector<std::uint8_t>& d = value->Data;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(d[0]) | (static_cast<std::uint32_t>(d[1]) << 8)
                                     | (static_cast<std::uint32_t>(d[2]) << 16)
                                     | (static_cast<std::uint32_t>(d[3]) << 24));
}

std::optional<std::string> TRegistry::ReadString(const std::string& name) const
{
    const std::optional<TRegValue> value = ReadValue(name);
    if (!value || (value->Type != rtString && value->Type != rtExpandString))
        return std::nullopt;
    return RegBytesToString(value->Data);
}

std::optional<std::vector<std::uint8_t>> TRegistry::ReadBinaryData(const std::string& name) const
{
    std::optional<TRegValue> value = ReadValue(name);
    if (!value || value->Type != rtBinary)
        return std::nullopt;
    return std::move(value->Data);
}

void TRegistry::WriteInteger(const std::string& name, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    WriteValue(name, {rtInteger,
                      {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                       static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)}});
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    WriteValue(name, {rtString, StringToRegBytes(value)});
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value)
{
    WriteValue(name, {rtExpandString, StringToRegBytes(value)});
}

void TRegistry::WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& value)
{
    WriteValue(name, {rtBinary, value});
}

ERegistryException TRegistry::WriteError(const std::string& name, const std::string& reason)
{
    return ERegistryException("Failed to set data for '" + name + "'. " + reason);
}

ERegistryException TRegistry::NoKeyError(const std::string& name) const
{
    return WriteError(name, FOpenError.empty() ? "No key is open" : FOpenError);
}
