// PCX export: a one-bit, run-length encoded picture of the window in which
// every pixel of the background colour is set. Called once per " Save image
// as..." with a .pcx name; reads every pixel once and writes line by line.
#include <cstring>

#include "platform/allocation.h"
#include "writer.h"

using namespace snapshot_detail;

namespace {

constexpr const char* kCaption = "About PCX";

} // namespace

/*---- Header and lines ----*/

uint32_t pcxBytesPerLine(int32_t width)
{
    return ((static_cast<uint32_t>(width) + 31) >> 5) << 2;
}

void pcxHeader(int32_t width, int32_t height, COLORREF background, uint8_t header[kPcxHeaderSize])
{
    std::memset(header, 0, kPcxHeaderSize);
    header[0] = 10;  // manufacturer
    header[1] = 5;   // version
    header[2] = 1;   // run-length encoding
    header[3] = 1;   // bits per pixel
    putLE16(header + 4, 0);                                   // xmin
    putLE16(header + 6, 0);                                   // ymin
    putLE16(header + 8, static_cast<uint32_t>(width - 1));    // xmax
    putLE16(header + 10, static_cast<uint32_t>(height - 1));  // ymax
    putLE16(header + 12, 640);                                // horizontal resolution
    putLE16(header + 14, 480);                                // vertical resolution
    // Palette entry 0 (bytes 16-18) stays black; entry 1 is the background.
    header[19] = static_cast<uint8_t>(GetRValue(background));
    header[20] = static_cast<uint8_t>(GetGValue(background));
    header[21] = static_cast<uint8_t>(GetBValue(background));
    header[65] = 1;                                           // planes
    putLE16(header + 66, pcxBytesPerLine(width));             // bytes per line
    putLE16(header + 68, 1);                                  // palette info
}

void pcxPackLine(const COLORREF* row, int32_t width, COLORREF background, uint8_t* packed, uint32_t B)
{
    std::memset(packed, 0xFF, B);  // padding bits behind the row are 1
    const COLORREF set = background & 0x00FFFFFFu;
    for (int32_t x = 0; x < width; x++)
        if ((row[x] & 0x00FFFFFFu) != set)
            packed[x >> 3] &= static_cast<uint8_t>(~(0x80u >> (x & 7)));
}

size_t pcxEncodeLine(const uint8_t* packed, size_t count, uint8_t* codes)
{
    size_t n = 0;
    uint8_t c = 0;  // byte of the current run
    int k = 0;      // length of the current run, 0..kPcxMaxRun - 1 between bytes
    // A run of one byte needs a count only when the byte itself looks like one.
    auto emitRun = [&]() {
        if (k > 1 || (c & 0xC0) == 0xC0)
            codes[n++] = static_cast<uint8_t>(0xC0 | k);
        codes[n++] = c;
    };
    for (size_t i = 0; i < count; i++) {
        const uint8_t b = packed[i];
        if (k == 0) {
            c = b;
            k = 1;
            continue;
        }
        if (b == c)
            k++;
        if (k == kPcxMaxRun) {
            codes[n++] = 0xC0 | kPcxMaxRun;
            codes[n++] = c;
            k = 0;
        }
        if (b != c) {
            emitRun();
            c = b;
            k = 1;
        }
    }
    if (k > 0)
        emitRun();
    return n;
}

/*---- Writer ----*/

int writePcxFile(HWND hWnd, const char* fileName, const SnapshotImage* image)
{
    if (!usableImage(image))
        return failWith(hWnd, kCaption, kBadImageText);
    const int32_t W = image->width, H = image->height;
    const uint32_t B = pcxBytesPerLine(W);

    std::vector<uint8_t> line, codes;
    if (!assignFresh<uint8_t>(AllocSite::PcxLine, line, B)) {
        return failWith(hWnd, kCaption, "Нет памяти для буфера строки!");
    }
    if (!assignFresh<uint8_t>(AllocSite::PcxCodes, codes, 2 * size_t(B))) {
        return failWith(hWnd, kCaption, "Нет памяти для кодов строки!");
    }

    AtomicFile file;
    if (!fileName || !file.open(fileName))
        return failWith(hWnd, kCaption, "CreateFile ERROR!");

    uint8_t header[kPcxHeaderSize];
    pcxHeader(W, H, image->background, header);
    if (!file.write(header, sizeof header))
        return failWith(hWnd, kCaption, "ERROR while writing PCXHEADER!");

    for (int32_t y = 0; y < H; y++) {
        pcxPackLine(image->pixels + static_cast<size_t>(y) * W, W, image->background, line.data(), B);
        const size_t n = pcxEncodeLine(line.data(), B, codes.data());
        if (!file.write(codes.data(), n))
            return failWith(hWnd, kCaption, "ERROR while writing PCX codes!");
    }

    // fsync, close and the rename onto the name: the file is whole or absent.
    if (!file.commit())
        return failWith(hWnd, kCaption, "CloseHandle ERROR!");
    return 1;
}
