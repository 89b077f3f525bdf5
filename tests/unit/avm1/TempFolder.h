#pragma once
// A folder of its own under the system's temporary directory for one test, removed after it.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

struct TempFolder {
    explicit TempFolder(const std::string& prefix)
        : root(std::filesystem::temp_directory_path() /
               (prefix + std::to_string(::getpid()) + "-" + std::to_string(++made()))) {
        std::filesystem::remove_all(root);
    }
    ~TempFolder() { std::filesystem::remove_all(root); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path root;

private:
    // The process id keeps tests that ctest runs side by side apart (gtest's random seed comes
    // from the clock and repeats between them); the count keeps one process's folders apart.
    static int& made() {
        static int count = 0;
        return count;
    }
};
