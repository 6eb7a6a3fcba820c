#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "Portable.h"

// A fresh folder below the system's temporary folder, removed with the object; the
// settings hive of the process points into it while it lives.
class TTempFolder {
public:
    TTempFolder()
    {
        FPath = MakeTempFolder("selvane-test");
        SetEnvironment("SELVANE_HIVE_DIR", (FPath / "hive").string());
    }
    ~TTempFolder()
    {
        UnsetEnvironment("SELVANE_HIVE_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }

    // Writes `bytes` to a file in the folder and returns its path.
    std::filesystem::path Write(const std::string& name, std::string_view bytes) const
    {
        const std::filesystem::path file = FPath / name;
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

    static std::string Read(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path FPath;
};
