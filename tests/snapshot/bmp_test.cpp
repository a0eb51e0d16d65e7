// BMP export: the rounded depth, the description's sizes, the header bytes,
// round trips of every format through an independent reader, and the failures
// (bad bitmap, bad image, missing folder, full disk at every step).
#include "files.h"

namespace {

BITMAP bitmapOf(int32_t width, int32_t height, uint16_t planes, uint16_t bits)
{
    BITMAP bm = {};
    bm.bmWidth = width;
    bm.bmHeight = height;
    bm.bmPlanes = planes;
    bm.bmBitsPixel = bits;
    return bm;
}

// The pixels of a BMP file as COLORREFs, top row first, read the way any
// viewer reads them: header fields, colour table, padded rows bottom-up.
struct DecodedBmp {
    int32_t width = 0, height = 0;
    std::vector<COLORREF> pixels;
    std::string fault;  // "" when the file is well formed
};

DecodedBmp decodeBmp(const std::vector<uint8_t>& f)
{
    DecodedBmp out;
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M')
        return out.fault = "no BM header", out;
    if (le32(f, 2) != f.size())
        return out.fault = "bfSize is not the file size", out;
    const uint32_t offBits = le32(f, 10), clrUsed = le32(f, 46), bits = le16(f, 28);
    if (le32(f, 14) != 40 || offBits != 54 + 4 * clrUsed || le16(f, 26) != 1 || le32(f, 30) != 0)
        return out.fault = "unexpected info header", out;
    out.width = static_cast<int32_t>(le32(f, 18));
    out.height = static_cast<int32_t>(le32(f, 22));
    const size_t stride = (size_t(out.width) * bits + 31) / 32 * 4;
    if (f.size() < offBits + stride * out.height || le32(f, 34) + offBits != f.size())
        return out.fault = "pixel rows shorter than the padded rows", out;
    auto colourAt = [&](uint32_t index) {
        size_t at = 54 + 4 * size_t(index);
        return RGB(f.at(at + 2), f.at(at + 1), f.at(at));
    };
    out.pixels.resize(size_t(out.width) * out.height);
    for (int32_t y = 0; y < out.height; y++) {
        const uint8_t* row = &f[offBits + stride * (out.height - 1 - y)];
        for (int32_t x = 0; x < out.width; x++) {
            COLORREF c = 0;
            if (bits == 32)
                c = RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
            else if (bits == 24)
                c = RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
            else if (bits == 16) {
                unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
                c = RGB(((v >> 10) & 31) << 3, ((v >> 5) & 31) << 3, (v & 31) << 3);
            } else if (bits == 8)
                c = colourAt(row[x]);
            else if (bits == 4)
                c = colourAt((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
            else if (bits == 1)
                c = colourAt((row[x / 8] >> (7 - x % 8)) & 1);
            out.pixels[size_t(y) * out.width + x] = c;
        }
        for (size_t pad = (size_t(out.width) * bits + 7) / 8; pad < stride; pad++)
            if (row[pad] != 0)
                return out.fault = "padding not zero", out;
    }
    return out;
}

// A W x H pattern drawn from `colours`, different in every row and column.
std::vector<COLORREF> pattern(int32_t W, int32_t H, const std::vector<COLORREF>& colours)
{
    std::vector<COLORREF> pixels(size_t(W) * H);
    for (int32_t y = 0; y < H; y++)
        for (int32_t x = 0; x < W; x++)
            pixels[size_t(y) * W + x] = colours[(x * 7 + y * 3 + x * y) % colours.size()];
    return pixels;
}

class Bmp : public SnapshotFiles {
protected:
    // Describes a W x H bitmap of `bits`, writes `pixels` and reads the file back.
    DecodedBmp roundTrip(int32_t W, int32_t H, uint16_t bits, const std::vector<COLORREF>& pixels)
    {
        BITMAP bm = bitmapOf(W, H, 1, bits);
        BmpDescription* description = getBmpDescription(hWnd, &bm);
        EXPECT_NE(description, nullptr);
        if (!description)
            return {};
        SnapshotImage image{W, H, pixels.data(), RGB(255, 255, 255)};
        std::string path = pathOf("trip.bmp");
        EXPECT_EQ(writeBmpFile(hWnd, path.c_str(), description, &image), 1);
        freeBmpDescription(description);
        return decodeBmp(readAll(path));
    }
};

TEST(BmpDepth, RoundsPlanesTimesBitsUpToAStoredDepth)
{
    const int cases[][3] = {{1, 1, 1},  {1, 2, 4},   {1, 4, 4},   {2, 2, 4},   {1, 5, 8},   {1, 8, 8},
                            {2, 4, 8},  {1, 15, 16}, {1, 16, 16}, {1, 17, 24}, {1, 24, 24}, {1, 25, 32},
                            {1, 32, 32}, {3, 16, 32}};
    for (const auto& c : cases)
        EXPECT_EQ(bmpRoundedDepth(c[0], c[1]), c[2]) << c[0] << " x " << c[1];
}

TEST_F(Bmp, DescriptionOfA32BitWindowGivesTheFileSizes)
{
    BITMAP bm = bitmapOf(1000, 700, 1, 32);
    BmpDescription* d = getBmpDescription(hWnd, &bm);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->bmiHeader.biSize, 40u);
    EXPECT_EQ(d->bmiHeader.biWidth, 1000);
    EXPECT_EQ(d->bmiHeader.biHeight, 700);
    EXPECT_EQ(d->bmiHeader.biPlanes, 1);
    EXPECT_EQ(d->bmiHeader.biBitCount, 32);
    EXPECT_EQ(d->bmiHeader.biCompression, 0u);
    EXPECT_EQ(d->bmiHeader.biClrUsed, 0u);
    EXPECT_EQ(d->bmiHeader.biSizeImage, 2800000u);
    EXPECT_TRUE(d->bmiColors.empty());
    // Fields of packed headers are copied out before comparing (no unaligned references).
    const BITMAPFILEHEADER f = bmpFileHeader(d->bmiHeader);
    const uint32_t type = f.bfType, size = f.bfSize, offBits = f.bfOffBits;
    EXPECT_EQ(type, 0x4D42u);
    EXPECT_EQ(size, 2800054u);
    EXPECT_EQ(offBits, 54u);
    freeBmpDescription(d);
}

TEST_F(Bmp, DescriptionOfIndexedDepthsHasAColourTable)
{
    BITMAP bm = bitmapOf(33, 2, 1, 8);
    BmpDescription* d = getBmpDescription(hWnd, &bm);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->bmiHeader.biClrUsed, 256u);
    EXPECT_EQ(d->bmiColors.size(), 256u);
    EXPECT_EQ(d->bmiHeader.biSizeImage, 5u * 2u * 8u);  // ((33 + 7) / 8) x H x D
    const uint32_t offBits = bmpFileHeader(d->bmiHeader).bfOffBits, size = bmpFileHeader(d->bmiHeader).bfSize;
    EXPECT_EQ(offBits, 54u + 1024u);
    EXPECT_EQ(size, 54u + 1024u + 80u);
    freeBmpDescription(d);
}

// One bit per pixel: eight pixels to a byte would give 5 bytes per 33-pixel
// row, but stored rows are padded to 8; the file must hold whole rows.
TEST_F(Bmp, OneBitDescriptionHoldsThePaddedRows)
{
    BITMAP bm = bitmapOf(33, 3, 1, 1);
    BmpDescription* d = getBmpDescription(hWnd, &bm);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->bmiHeader.biClrUsed, 2u);
    EXPECT_EQ(d->bmiHeader.biSizeImage, 8u * 3u);
    freeBmpDescription(d);
}

TEST_F(Bmp, HeaderBytesOfATinyImage)
{
    const std::vector<COLORREF> pixels = {RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), RGB(10, 11, 12)};
    BITMAP bm = bitmapOf(2, 2, 1, 32);
    BmpDescription* d = getBmpDescription(hWnd, &bm);
    ASSERT_NE(d, nullptr);
    SnapshotImage image{2, 2, pixels.data(), RGB(255, 255, 255)};
    const std::string path = pathOf("tiny.bmp");
    ASSERT_EQ(writeBmpFile(hWnd, path.c_str(), d, &image), 1);
    freeBmpDescription(d);
    std::vector<uint8_t> expected = {
        'B', 'M', 118, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                 // file header
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0,    // size, width, height, planes, bits, BI_RGB
        64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,     // image size, resolution, colours
        9, 8, 7, 0, 12, 11, 10, 0,                                       // bottom row first, blue green red 0
        3, 2, 1, 0, 6, 5, 4, 0};
    expected.resize(118, 0);  // the rest of biSizeImage is zero
    EXPECT_EQ(readAll(path), expected);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(Bmp, RoundTripOfDirectColourFormats)
{
    // Multiples of 8 survive the five bits per channel of the 16-bit format.
    const std::vector<COLORREF> colours = {RGB(0, 0, 0),     RGB(248, 248, 248), RGB(8, 16, 24),
                                           RGB(200, 64, 32), RGB(0, 128, 248),   RGB(96, 0, 160)};
    for (uint16_t bits : {32, 24, 16})
        for (int32_t W : {1, 2, 3, 13}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(W));
            std::vector<COLORREF> pixels = pattern(W, 5, colours);
            DecodedBmp back = roundTrip(W, 5, bits, pixels);
            EXPECT_EQ(back.fault, "");
            EXPECT_EQ(back.width, W);
            EXPECT_EQ(back.height, 5);
            EXPECT_EQ(back.pixels, pixels);
        }
}

TEST_F(Bmp, RoundTripOfIndexedFormatsKeepsTableColours)
{
    const std::vector<COLORREF> vga = {RGB(0, 0, 0),     RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(192, 192, 192),
                                       RGB(255, 255, 0), RGB(0, 255, 255), RGB(255, 255, 255), RGB(0, 0, 128)};
    const std::vector<COLORREF> cube = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(36, 72, 85), RGB(255, 0, 170),
                                        RGB(109, 145, 255)};
    const std::pair<uint16_t, std::vector<COLORREF>> cases[] = {
        {1, {RGB(0, 0, 0), RGB(255, 255, 255)}}, {4, vga}, {8, cube}};
    for (const auto& [bits, colours] : cases)
        for (int32_t W : {1, 7, 9, 33}) {
            SCOPED_TRACE(std::to_string(bits) + " bits, width " + std::to_string(W));
            std::vector<COLORREF> pixels = pattern(W, 4, colours);
            DecodedBmp back = roundTrip(W, 4, bits, pixels);
            EXPECT_EQ(back.fault, "");
            EXPECT_EQ(back.pixels, pixels);
        }
}

TEST_F(Bmp, IndexedFormatTakesTheNearestTableColour)
{
    const std::vector<COLORREF> pixels = {RGB(20, 20, 20), RGB(240, 230, 250), RGB(130, 120, 10), RGB(10, 10, 140)};
    EXPECT_EQ(roundTrip(4, 1, 1, pixels).pixels,
              (std::vector<COLORREF>{RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(0, 0, 0)}));
    EXPECT_EQ(roundTrip(4, 1, 4, pixels).pixels,
              (std::vector<COLORREF>{RGB(0, 0, 0), RGB(255, 255, 255), RGB(128, 128, 0), RGB(0, 0, 128)}));
}

TEST_F(Bmp, DescriptionRefusesABitmapGetObjectCouldNotDescribe)
{
    BITMAP empty = bitmapOf(0, 700, 1, 32), flat = bitmapOf(10, 10, 1, 0), huge = bitmapOf(40000, 10, 1, 32);
    EXPECT_EQ(getBmpDescription(hWnd, nullptr), nullptr);
    EXPECT_EQ(getBmpDescription(hWnd, &empty), nullptr);
    EXPECT_EQ(getBmpDescription(hWnd, &flat), nullptr);
    EXPECT_EQ(getBmpDescription(hWnd, &huge), nullptr);
    ASSERT_EQ(boxes.count(), 4u);
    for (const MessageRecord& m : boxes.messages()) {
        EXPECT_EQ(m.text, "Проблемы при выполнении GetObject");
        EXPECT_EQ(m.caption, "About Bitmap");
        EXPECT_EQ(m.flags, MB_OK);
    }
}

TEST_F(Bmp, WriterRefusesImagesAndFormatsItCannotDeliver)
{
    const std::vector<COLORREF> pixels(6, RGB(1, 2, 3));
    BITMAP bm = bitmapOf(3, 2, 1, 32), odd = bitmapOf(3, 2, 1, 15), planes = bitmapOf(3, 2, 2, 4);
    BmpDescription* d = getBmpDescription(hWnd, &bm);
    BmpDescription* d15 = getBmpDescription(hWnd, &odd);
    BmpDescription* d2 = getBmpDescription(hWnd, &planes);
    ASSERT_TRUE(d && d15 && d2);
    const std::string path = pathOf("refused.bmp");
    SnapshotImage good{3, 2, pixels.data(), 0}, noPixels{3, 2, nullptr, 0}, otherSize{2, 3, pixels.data(), 0};
    EXPECT_EQ(writeBmpFile(hWnd, path.c_str(), d, &noPixels), 0);
    EXPECT_EQ(writeBmpFile(hWnd, path.c_str(), d, nullptr), 0);
    EXPECT_EQ(writeBmpFile(hWnd, path.c_str(), d, &otherSize), 0);
    EXPECT_EQ(writeBmpFile(hWnd, path.c_str(), nullptr, &good), 0);
    EXPECT_EQ(writeBmpFile(hWnd, path.c_str(), d15, &good), 0);
    EXPECT_EQ(writeBmpFile(hWnd, path.c_str(), d2, &good), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"Неверно задан SnapshotImage!", "Неверно задан SnapshotImage!",
                                                 "GetDIBits ERROR!", "GetDIBits ERROR!", "GetDIBits ERROR!",
                                                 "GetDIBits ERROR!"}));
    EXPECT_FALSE(std::filesystem::exists(path));
    freeBmpDescription(d);
    freeBmpDescription(d15);
    freeBmpDescription(d2);
}

TEST_F(Bmp, WriteIntoMissingFolderReportsCreateFile)
{
    const std::vector<COLORREF> pixels(4, 0);
    BITMAP bm = bitmapOf(2, 2, 1, 32);
    BmpDescription* d = getBmpDescription(hWnd, &bm);
    SnapshotImage image{2, 2, pixels.data(), 0};
    EXPECT_EQ(writeBmpFile(hWnd, pathOf("no-such-folder/x.bmp").c_str(), d, &image), 0);
    EXPECT_EQ(writeBmpFile(hWnd, nullptr, d, &image), 0);
    EXPECT_EQ(texts(), (std::vector<std::string>{"CreateFile ERROR!", "CreateFile ERROR!"}));
    EXPECT_EQ(boxes.messages()[0].caption, "About Bitmap");
    EXPECT_FALSE(std::filesystem::exists(folder / "no-such-folder"));
    freeBmpDescription(d);
}

// A disk that fills up at any block, or fails the fsync, the close or the
// rename: the message names the step, and the file that had the name stays.
TEST_F(Bmp, WriteOnAFullDiskReportsTheStepAndKeepsTheOldFile)
{
    const std::vector<COLORREF> pixels(4, 0);
    BITMAP bm = bitmapOf(2, 2, 1, 32);
    BmpDescription* d = getBmpDescription(hWnd, &bm);
    SnapshotImage image{2, 2, pixels.data(), 0};
    const std::pair<FileStep, int> faults[] = {{FileStep::Write, 1}, {FileStep::Write, 2}, {FileStep::Write, 3},
                                               {FileStep::Sync, 1},  {FileStep::Close, 1}, {FileStep::Rename, 1},
                                               {FileStep::Open, 1}};
    const std::string path = pathOf("kept.bmp");
    std::ofstream(path) << "old picture";
    for (const auto& [step, occurrence] : faults) {
        injectFileFault(step, occurrence, ENOSPC);
        EXPECT_EQ(writeBmpFile(hWnd, path.c_str(), d, &image), 0);
        clearFileFault();
        EXPECT_EQ(readAll(path), std::vector<uint8_t>({'o', 'l', 'd', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}));
        EXPECT_EQ(entries(), 1u) << "no temporary left";
    }
    EXPECT_EQ(texts(), (std::vector<std::string>{"ERROR while writing BITMAPFILEHEADER!",
                                                 "ERROR while writing BITMAPINFOHEADER!",
                                                 "ERROR while writing bitmap bits!", "CloseHandle ERROR!",
                                                 "CloseHandle ERROR!", "CloseHandle ERROR!", "CreateFile ERROR!"}));
    EXPECT_EQ(boxes.messages()[0].caption, "About Bitmap");
    EXPECT_EQ(takeFailedWrites().size(), 7u);
    freeBmpDescription(d);
}

} // namespace
