#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Portable.h"

// Gives each test a hive folder of its own through SELVANE_HIVE_DIR and removes it
// afterwards, restoring the environment variables the tests change.
class HiveFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"SELVANE_HIVE_DIR", "XDG_CONFIG_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            FSavedEnvironment.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        FFolder = MakeTempFolder("selvane-settings");
        SetEnvironment("SELVANE_HIVE_DIR", FFolder.string());
    }

    void TearDown() override
    {
        for (const auto& [name, value] : FSavedEnvironment) {
            if (value)
                SetEnvironment(name.c_str(), *value);
            else
                UnsetEnvironment(name.c_str());
        }
        std::filesystem::remove_all(FFolder);
    }

    std::filesystem::path HivePath(const char* root = "HKEY_CURRENT_USER") const
    {
        return FFolder / (std::string(root) + ".reg");
    }

    static std::string ReadFile(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static void WriteFile(const std::filesystem::path& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }

    std::filesystem::path FFolder;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> FSavedEnvironment;
};
