// Scaffolding of the snapshot tests: a window whose message boxes are recorded,
// a private temporary folder per test, whole files read back, and little-endian
// fields read out of them. The writers need nothing of the series synthesis.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/files.h"
#include "snapshot/snapshot.h"
#include <gtest/gtest.h>

class SnapshotFiles : public ::testing::Test {
protected:
    RecordingMessageBoxes boxes;   // every message box the writers show
    PlatformWindow window;         // owner of those boxes
    HWND hWnd = &window;           // what the writers take first
    std::filesystem::path folder;  // removed with everything in it after the test

    void SetUp() override
    {
        window.lpMessages = &boxes;
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::filesystem::temp_directory_path() /
                 ("pulsebench-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
                  std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        takeFailedWrites();  // what earlier tests left
    }
    void TearDown() override
    {
        clearFileFault();
        std::filesystem::remove_all(folder);
    }

    // Texts of every box shown so far, oldest first.
    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const MessageRecord& m : boxes.messages())
            out.push_back(m.text);
        return out;
    }

    std::string pathOf(const std::string& name) const { return (folder / name).string(); }

    // Entries of the test's folder (a temporary left behind counts).
    size_t entries() const
    {
        size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            n += entry.exists();
        return n;
    }

    static std::vector<uint8_t> readAll(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
};

inline uint32_t le16(const std::vector<uint8_t>& bytes, size_t at)
{
    return bytes.at(at) | (uint32_t(bytes.at(at + 1)) << 8);
}
inline uint32_t le32(const std::vector<uint8_t>& bytes, size_t at)
{
    return le16(bytes, at) | (le16(bytes, at + 2) << 16);
}
