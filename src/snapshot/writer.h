// What the BMP and PCX writers share: the check of the pixel source, the
// report of a failure and the little-endian header fields. Their files go
// through the whole-file writer (platform/files.h), block by block, so that a
// failed write is reported at the step that failed and leaves no file behind.
// Private to src/snapshot/.
#pragma once

#include "platform/files.h"
#include "snapshot.h"

namespace snapshot_detail {

inline constexpr const char* kBadImageText = "Неверно задан SnapshotImage!";

// An image the writers can save: pixels present, both sides 1..kSnapshotMaxSide.
inline bool usableImage(const SnapshotImage* image)
{
    return image && image->pixels && image->width >= 1 && image->width <= kSnapshotMaxSide && image->height >= 1 &&
           image->height <= kSnapshotMaxSide;
}

// Shows a failure of a writer; returns 0, the writer's result. The writer's
// AtomicFile, when one is open, removes its temporary as it goes out of scope.
inline int failWith(HWND hWnd, const char* caption, const char* text)
{
    MessageBoxA(hWnd, text, caption, MB_OK);
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
