#pragma once
// A folder of its own under the system's temporary directory for one test, removed after it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

struct TempFolder {
    explicit TempFolder(const std::string& prefix)
        : root(std::filesystem::temp_directory_path() /
               (prefix + std::to_string(::testing::UnitTest::GetInstance()->random_seed()))) {
        std::filesystem::remove_all(root);
    }
    ~TempFolder() { std::filesystem::remove_all(root); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path root;
};
