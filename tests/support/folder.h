// What a folder holds, for tests that check that a writer changed exactly
// what it should: every entry's name with its whole contents.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

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
