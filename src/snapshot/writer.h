// What the BMP and PCX writers share: the check of the pixel source and the
// file output, where every block is flushed so that a failed write is reported
// at the step that failed. Private to src/snapshot/.
#pragma once

#include <cstdio>

#include "snapshot.h"

namespace snapshot_detail {

inline constexpr const char* kBadImageText = "Неверно задан SnapshotImage!";

// An image the writers can save: pixels present, both sides 1..kSnapshotMaxSide.
inline bool usableImage(const SnapshotImage* image)
{
    return image && image->pixels && image->width >= 1 && image->width <= kSnapshotMaxSide && image->height >= 1 &&
           image->height <= kSnapshotMaxSide;
}

// Writes `size` bytes and pushes them to the file; false when either failed.
inline bool writeBlock(std::FILE* file, const void* data, size_t size)
{
    return std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
}

// Shows a failure of a writer and closes its file, if one is open; returns 0,
// the writer's result.
inline int failWith(HWND hWnd, const char* caption, const char* text, std::FILE* file)
{
    MessageBoxA(hWnd, text, caption, MB_OK);
    if (file)
        std::fclose(file);
    return 0;
}

// Little-endian fields of the file headers.
inline void putLE16(uint8_t* at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}
inline void putLE32(uint8_t* at, uint32_t value)
{
    putLE16(at, value & 0xFFFF);
    putLE16(at + 2, value >> 16);
}

} // namespace snapshot_detail
