// An independent decoder of PCX run-length lines, for the round trips of the
// PCX writer in its tests and its fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes run-length codes from `at` until `count` bytes came out; `at` moves
// past the line. Empty on a malformed line (codes run out, a zero count, a
// run across the end of the line).
inline std::vector<uint8_t> decodePcxLine(const std::vector<uint8_t>& codes, size_t& at, size_t count)
{
    std::vector<uint8_t> out;
    while (out.size() < count) {
        if (at >= codes.size())
            return {};
        uint8_t v = codes[at++];
        size_t n = 1;
        if ((v & 0xC0) == 0xC0) {
            n = v & 0x3F;
            if (at >= codes.size() || n == 0)
                return {};
            v = codes[at++];
        }
        if (out.size() + n > count)
            return {};  // a run must not cross the end of a line
        out.insert(out.end(), n, v);
    }
    return out;
}
