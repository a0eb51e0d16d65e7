// BMP export: the info header built from the captured bitmap's description,
// the conversion of the 32-bit window raster into the described pixel format
// (rows bottom-up, padded to 4 bytes) and the file itself. Called once per
// " Save image as..." with a .bmp name.
#include <algorithm>

#include "platform/allocation.h"
#include "writer.h"

using namespace snapshot_detail;

namespace {

constexpr const char* kCaption = "About Bitmap";
constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;

/*---- Colour tables of the indexed formats ----*/

// The sixteen colours of the 4-bit format, red, green, blue.
constexpr uint8_t kSixteenColours[16][3] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

RGBQUAD quad(int r, int g, int b)
{
    return RGBQUAD{static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
}

// The colour table of a 1-, 4- or 8-bit format: black and white; the sixteen
// colours; 3 bits of red, 3 of green and 2 of blue.
std::vector<RGBQUAD> colourTable(uint16_t bits)
{
    std::vector<RGBQUAD> table;
    if (bits == 1) {
        table = {quad(0, 0, 0), quad(255, 255, 255)};
    } else if (bits == 4) {
        for (const uint8_t* c : kSixteenColours)
            table.push_back(quad(c[0], c[1], c[2]));
    } else if (bits == 8) {
        for (int i = 0; i < 256; i++)
            table.push_back(quad(((i >> 5) & 7) * 255 / 7, ((i >> 2) & 7) * 255 / 7, (i & 3) * 255 / 3));
    }
    return table;
}

// Index of the table colour nearest to c (squared distance, first of equals).
uint8_t nearestColour(const std::vector<RGBQUAD>& table, COLORREF c)
{
    int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < table.size(); i++) {
        long dr = r - table[i].rgbRed, dg = g - table[i].rgbGreen, db = b - table[i].rgbBlue;
        long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return static_cast<uint8_t>(best);
}

bool supportedFormat(const BITMAPINFOHEADER& info)
{
    const uint16_t bits = info.biBitCount;
    const bool direct = bits == 16 || bits == 24 || bits == 32;
    const bool indexed = bits == 1 || bits == 4 || bits == 8;
    return info.biPlanes == 1 && info.biCompression == BI_RGB &&
           ((direct && info.biClrUsed == 0) || (indexed && info.biClrUsed == (1u << bits)));
}

// The image's rows in the described format, bottom row first, each `rowBytes`
// long, into `rows` (zeroed, at least rowBytes x H).
void convertRows(const SnapshotImage& image, uint16_t bits, const std::vector<RGBQUAD>& table, uint32_t rowBytes,
                 uint8_t* rows)
{
    COLORREF cachedColour = 0;
    uint8_t cachedIndex = table.empty() ? 0 : nearestColour(table, 0);
    for (int32_t i = 0; i < image.height; i++) {
        const COLORREF* source = image.pixels + static_cast<size_t>(image.height - 1 - i) * image.width;
        uint8_t* row = rows + static_cast<size_t>(i) * rowBytes;
        for (int32_t x = 0; x < image.width; x++) {
            const COLORREF c = source[x] & 0x00FFFFFFu;
            const uint8_t r = static_cast<uint8_t>(GetRValue(c)), g = static_cast<uint8_t>(GetGValue(c)),
                          b = static_cast<uint8_t>(GetBValue(c));
            switch (bits) {
            case 32:
                row[4 * x] = b, row[4 * x + 1] = g, row[4 * x + 2] = r;  // the fourth byte stays 0
                break;
            case 24:
                row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
                break;
            case 16:  // 5 bits each of red, green, blue; the top bit 0
                putLE16(row + 2 * x, ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
                break;
            default: {
                if (c != cachedColour) {
                    cachedColour = c;
                    cachedIndex = nearestColour(table, c);
                }
                if (bits == 8)
                    row[x] = cachedIndex;
                else if (bits == 4)
                    row[x / 2] |= static_cast<uint8_t>(cachedIndex << (x % 2 ? 0 : 4));
                else
                    row[x / 8] |= static_cast<uint8_t>(cachedIndex << (7 - x % 8));
            }
            }
        }
    }
}

} // namespace

/*---- Sizes ----*/

uint16_t bmpRoundedDepth(uint16_t planes, uint16_t bitsPerPixel)
{
    const uint32_t bits = uint32_t(planes) * bitsPerPixel;
    if (bits == 1)
        return 1;
    if (bits <= 4)
        return 4;
    if (bits <= 8)
        return 8;
    if (bits <= 16)
        return 16;
    if (bits <= 24)
        return 24;
    return 32;
}

uint32_t bmpRowBytes(int32_t width, uint16_t bitCount)
{
    return static_cast<uint32_t>((uint64_t(width) * bitCount + 31) / 32 * 4);
}

BITMAPFILEHEADER bmpFileHeader(const BITMAPINFOHEADER& info)
{
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = kFileHeaderSize + kInfoHeaderSize + 4 * info.biClrUsed;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    return file;
}

/*---- Description ----*/

BmpDescription* getBmpDescription(HWND hWnd, const BITMAP* bitmap)
{
    if (!bitmap || bitmap->bmWidth < 1 || bitmap->bmWidth > kSnapshotMaxSide || bitmap->bmHeight < 1 ||
        bitmap->bmHeight > kSnapshotMaxSide || bitmap->bmPlanes == 0 || bitmap->bmBitsPixel == 0) {
        MessageBoxA(hWnd, "Проблемы при выполнении GetObject", kCaption, MB_OK);
        return nullptr;
    }
    const uint16_t D = bmpRoundedDepth(bitmap->bmPlanes, bitmap->bmBitsPixel);
    const uint32_t colours = D < 16 ? 1u << D : 0u;

    std::unique_ptr<BmpDescription> made;
    if (!tryAllocate(AllocSite::BmpDescription, [&] {
            made = std::make_unique<BmpDescription>();
            made->bmiColors.resize(colours);
        })) {
        MessageBoxA(hWnd, "Нет памяти для BITMAPINFO", kCaption, MB_OK);
        return nullptr;
    }
    BmpDescription* description = made.release();  // freeBmpDescription releases it

    BITMAPINFOHEADER& info = description->bmiHeader;
    info.biSize = kInfoHeaderSize;
    info.biWidth = bitmap->bmWidth;
    info.biHeight = bitmap->bmHeight;
    info.biPlanes = bitmap->bmPlanes;
    info.biBitCount = bitmap->bmBitsPixel;
    info.biCompression = BI_RGB;
    // Eight pixels' worth of D bytes per started group of eight; for one bit
    // per pixel that is less than the padded rows, which are what the file holds.
    const uint32_t groups = static_cast<uint32_t>((bitmap->bmWidth + 7) / 8);
    info.biSizeImage = std::max(groups * static_cast<uint32_t>(bitmap->bmHeight) * D,
                                bmpRowBytes(bitmap->bmWidth, D) * static_cast<uint32_t>(bitmap->bmHeight));
    info.biClrUsed = colours;
    return description;
}

/*---- Writer ----*/

int writeBmpFile(HWND hWnd, const char* fileName, BmpDescription* description, const SnapshotImage* image)
{
    if (!usableImage(image))
        return failWith(hWnd, kCaption, kBadImageText);
    // The rows can be delivered only in a format this writer knows, for the
    // image the description was made from.
    if (!description || !supportedFormat(description->bmiHeader) || description->bmiHeader.biWidth != image->width ||
        description->bmiHeader.biHeight != image->height)
        return failWith(hWnd, kCaption, "GetDIBits ERROR!");

    BITMAPINFOHEADER& info = description->bmiHeader;
    const uint32_t rowBytes = bmpRowBytes(info.biWidth, info.biBitCount);
    std::vector<uint8_t> rows;
    if (!tryAllocate(AllocSite::BmpRows, [&] {
            rows.resize(std::max<size_t>(info.biSizeImage, size_t(rowBytes) * image->height));
            description->bmiColors = colourTable(info.biBitCount);
        })) {
        return failWith(hWnd, kCaption, "GlobalAlloc ERROR!");
    }
    convertRows(*image, info.biBitCount, description->bmiColors, rowBytes, rows.data());

    AtomicFile file;
    if (!fileName || !file.open(fileName))
        return failWith(hWnd, kCaption, "CreateFile ERROR!");

    const BITMAPFILEHEADER fileHeader = bmpFileHeader(info);
    uint8_t head[kFileHeaderSize];
    putLE16(head, fileHeader.bfType);
    putLE32(head + 2, fileHeader.bfSize);
    putLE16(head + 6, fileHeader.bfReserved1);
    putLE16(head + 8, fileHeader.bfReserved2);
    putLE32(head + 10, fileHeader.bfOffBits);
    if (!file.write(head, sizeof head))
        return failWith(hWnd, kCaption, "ERROR while writing BITMAPFILEHEADER!");

    std::vector<uint8_t> infoBytes(kInfoHeaderSize + 4 * description->bmiColors.size(), 0);
    putLE32(&infoBytes[0], info.biSize);
    putLE32(&infoBytes[4], static_cast<uint32_t>(info.biWidth));
    putLE32(&infoBytes[8], static_cast<uint32_t>(info.biHeight));
    putLE16(&infoBytes[12], info.biPlanes);
    putLE16(&infoBytes[14], info.biBitCount);
    putLE32(&infoBytes[16], info.biCompression);
    putLE32(&infoBytes[20], info.biSizeImage);
    putLE32(&infoBytes[24], static_cast<uint32_t>(info.biXPelsPerMeter));
    putLE32(&infoBytes[28], static_cast<uint32_t>(info.biYPelsPerMeter));
    putLE32(&infoBytes[32], info.biClrUsed);
    putLE32(&infoBytes[36], info.biClrImportant);
    for (size_t i = 0; i < description->bmiColors.size(); i++) {
        const RGBQUAD& q = description->bmiColors[i];
        uint8_t* at = &infoBytes[kInfoHeaderSize + 4 * i];
        at[0] = q.rgbBlue, at[1] = q.rgbGreen, at[2] = q.rgbRed, at[3] = q.rgbReserved;
    }
    if (!file.write(infoBytes.data(), infoBytes.size()))
        return failWith(hWnd, kCaption, "ERROR while writing BITMAPINFOHEADER!");

    if (!file.write(rows.data(), info.biSizeImage))
        return failWith(hWnd, kCaption, "ERROR while writing bitmap bits!");

    // fsync, close and the rename onto the name: the file is whole or absent.
    if (!file.commit())
        return failWith(hWnd, kCaption, "CloseHandle ERROR!");
    return 1;
}

/*---- Release ----*/

void freeBmpDescription(BmpDescription* description)
{
    std::unique_ptr<BmpDescription> released(description);
}
