// Folders of tests that write files: a fresh one per test, and what a folder
// holds, for tests that check that a writer changed exactly what it should:
// every entry's name with its whole contents.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

using Folder = std::map<std::string, std::string>;  // entry name -> contents ("<folder>" for a folder)

inline Folder folderContents(const std::filesystem::path& folder)
{
    Folder out;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        out[entry.path().filename().string()] =
            entry.is_directory() ? "<folder>"
                                 : std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return out;
}

// An empty folder in the temporary directory for the running test:
// PREFIX-TESTNAME-PID, whatever was there before removed.
inline std::filesystem::path freshTestFolder(const std::string& prefix)
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         (prefix + "-" + info->name() + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}
