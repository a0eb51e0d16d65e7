// What the fuzz targets share: the entry point every target defines, a check
// that stops the run with its condition (the fuzzer then keeps the input), a
// reader that takes fields from the front of an input, and a scratch folder
// per process for the files a target writes.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// A property of the code under test that an input broke: aborts in every build.
#define FUZZ_CHECK(condition)                                                                         \
    do {                                                                                              \
        if (!(condition)) {                                                                           \
            std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                             \
        }                                                                                             \
    } while (0)

// Fields taken from the front of an input; past its end every field reads 0.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : at(data), left(size) {}

    template <typename T>
    T take()
    {
        T value{};
        const size_t n = left < sizeof value ? left : sizeof value;
        if (n == 0)
            return value;
        std::memcpy(&value, at, n);
        at += n;
        left -= n;
        return value;
    }
    // Everything not taken yet.
    std::string rest() const { return left ? std::string(reinterpret_cast<const char*>(at), left) : std::string(); }
    const uint8_t* data() const { return at; }
    size_t size() const { return left; }

private:
    const uint8_t* at;  // the next byte not taken
    size_t left;        // bytes from `at` to the end
};

// An empty folder of this process for the target's files, made on first use
// and emptied on each call: a crash input finds no files of an earlier one.
inline std::filesystem::path freshScratchFolder(const char* target)
{
    static const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("pulsebench-fuzz-" + std::string(target) + "-" + std::to_string(::getpid()));
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

// Removes the scratch folder and what the input wrote into it.
inline void removeScratchFolder(const std::filesystem::path& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
