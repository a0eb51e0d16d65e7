// Fuzz target: the BMP, PCX and PNG writers and their size rules. The input
// gives the image's width and height (any 32-bit value now and then), the
// bitmap's planes and bits per pixel, the background colour and the pixels
// (the rest of the input, repeated). Beyond "no crash" it checks the size
// rules against 64-bit arithmetic, that an image of a refused size is refused
// without a file, and that what was written reads back: the BMP's length is
// its bfSize (and its 24-bit pixels are the image's), the PCX lines decode to
// the background mask, the PNG loads with the image's pixels.
#include <QImage>

#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz_support.h"
#include "snapshot/pcx_decode.h"
#include "snapshot/snapshot.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr int64_t kMaxPixels = 1 << 16;  // images written; larger sizes try only the size rules

// A side: 15 bits, or with the top bit set any 32-bit value.
int32_t takeSide(FuzzInput& in)
{
    const uint16_t v = in.take<uint16_t>();
    return (v & 0x8000) ? in.take<int32_t>() : int32_t(v);
}

bool usableSide(int32_t side)
{
    return side >= 1 && side <= kSnapshotMaxSide;
}

Bytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The size rules for one width and depth, against 64-bit arithmetic.
void checkSizeRules(int32_t W, int32_t H, uint16_t planes, uint16_t bits, HWND hWnd, RecordingMessageBoxes& boxes)
{
    const uint16_t D = bmpRoundedDepth(planes, bits);
    FUZZ_CHECK(D == 1 || D == 4 || D == 8 || D == 16 || D == 24 || D == 32);
    FUZZ_CHECK(D >= std::min<uint32_t>(uint32_t(planes) * bits, 32));
    if (usableSide(W)) {
        const uint64_t rowBits = uint64_t(bmpRowBytes(W, D)) * 8, pcxBits = uint64_t(pcxBytesPerLine(W)) * 8;
        FUZZ_CHECK(rowBits % 32 == 0 && rowBits >= uint64_t(W) * D && rowBits < uint64_t(W) * D + 32);
        FUZZ_CHECK(pcxBits % 32 == 0 && pcxBits >= uint64_t(W) && pcxBits < uint64_t(W) + 32);
    }
    const BITMAP bm{0, W, H, 0, planes, bits, nullptr};
    const size_t before = boxes.count();
    BmpDescription* d = getBmpDescription(hWnd, &bm);
    FUZZ_CHECK((d != nullptr) == (usableSide(W) && usableSide(H) && planes != 0 && bits != 0));
    FUZZ_CHECK(boxes.count() == before + (d ? 0 : 1));
    if (d) {
        const BITMAPINFOHEADER& info = d->bmiHeader;
        FUZZ_CHECK(uint64_t(info.biSizeImage) >= uint64_t(bmpRowBytes(W, D)) * uint64_t(H));
        const BITMAPFILEHEADER file = bmpFileHeader(info);
        FUZZ_CHECK(file.bfSize == uint64_t(14) + 40 + 4 * uint64_t(info.biClrUsed) + info.biSizeImage);
    }
    freeBmpDescription(d);
}

// The PCX file's lines decoded, each B bytes; empty when malformed or when
// anything follows the last line.
Bytes decodePcx(const Bytes& file, int32_t H, uint32_t B)
{
    Bytes out;
    size_t at = kPcxHeaderSize;
    for (int32_t y = 0; y < H; y++) {
        const Bytes line = decodePcxLine(file, at, B);
        if (line.size() != B)
            return {};
        out.insert(out.end(), line.begin(), line.end());
    }
    return at == file.size() ? out : Bytes{};
}

void checkPcx(const fs::path& path, const SnapshotImage& image)
{
    const uint32_t B = pcxBytesPerLine(image.width);
    const Bytes lines = decodePcx(readFile(path), image.height, B);
    FUZZ_CHECK(lines.size() == size_t(B) * image.height);
    for (int32_t y = 0; y < image.height; y++)
        for (uint32_t x = 0; x < 8 * B; x++) {
            const bool set = (lines[size_t(y) * B + x / 8] >> (7 - x % 8)) & 1;
            const bool background =
                x >= uint32_t(image.width) ||
                ((image.pixels[size_t(y) * image.width + x] ^ image.background) & 0x00FFFFFFu) == 0;
            FUZZ_CHECK(set == background);
        }
}

void checkBmp(const fs::path& path, const SnapshotImage& image, const BmpDescription& d)
{
    const Bytes file = readFile(path);
    const BITMAPFILEHEADER header = bmpFileHeader(d.bmiHeader);
    FUZZ_CHECK(file.size() == header.bfSize);
    if (d.bmiHeader.biBitCount != 24)
        return;
    const uint32_t rowBytes = bmpRowBytes(image.width, 24);
    for (int32_t y = 0; y < image.height; y++)
        for (int32_t x = 0; x < image.width; x++) {
            const uint8_t* at = &file[header.bfOffBits + size_t(image.height - 1 - y) * rowBytes + 3 * size_t(x)];
            const COLORREF c = image.pixels[size_t(y) * image.width + x];
            FUZZ_CHECK(at[0] == GetBValue(c) && at[1] == GetGValue(c) && at[2] == GetRValue(c));
        }
}

void checkPng(const fs::path& path, const SnapshotImage& image)
{
    const QImage loaded(QString::fromStdString(path.string()));
    FUZZ_CHECK(loaded.width() == image.width && loaded.height() == image.height);
    for (int32_t y = 0; y < image.height; y++)
        for (int32_t x = 0; x < image.width; x++) {
            const COLORREF c = image.pixels[size_t(y) * image.width + x];
            FUZZ_CHECK(loaded.pixel(x, y) == qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
        }
}

// All three writers on one image; `usable`: its size is one they take.
void writeAll(const SnapshotImage& image, bool usable, uint16_t planes, uint16_t bits, bool mismatch, HWND hWnd,
              const fs::path& folder)
{
    const fs::path pcx = folder / "image.pcx", bmp = folder / "image.bmp", png = folder / "image.png";
    FUZZ_CHECK(writePcxFile(hWnd, pcx.c_str(), &image) == (usable ? 1 : 0));
    FUZZ_CHECK(writePngFile(png.c_str(), &image) == usable);
    if (usable) {
        checkPcx(pcx, image);
        checkPng(png, image);
    }
    const BITMAP bm{0, image.width, image.height, 0, planes, bits, nullptr};
    BmpDescription* d = usable ? getBmpDescription(hWnd, &bm) : nullptr;
    if (d && mismatch)
        d->bmiHeader.biHeight += 1;  // a description of another bitmap: refused
    const bool formatKnown = d && !mismatch && planes == 1 &&
                             (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
    FUZZ_CHECK(writeBmpFile(hWnd, bmp.c_str(), d, &image) == (formatKnown ? 1 : 0));
    if (formatKnown)
        checkBmp(bmp, image, *d);
    freeBmpDescription(d);
    std::error_code ignored;
    if (!usable)
        FUZZ_CHECK(!fs::exists(pcx, ignored) && !fs::exists(png, ignored));
    if (!formatKnown)
        FUZZ_CHECK(!fs::exists(bmp, ignored));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int32_t W = takeSide(in), H = takeSide(in);
    const uint16_t planes = in.take<uint16_t>(), bits = in.take<uint16_t>();
    const uint8_t flags = in.take<uint8_t>();
    const COLORREF background = in.take<uint32_t>();

    RecordingMessageBoxes boxes;
    PlatformWindow window;
    window.lpMessages = &boxes;
    checkSizeRules(W, H, planes, bits, &window, boxes);

    const bool usable = usableSide(W) && usableSide(H);
    if (usable && int64_t(W) * H > kMaxPixels)
        return 0;
    std::vector<COLORREF> pixels(usable ? size_t(W) * H : 1);
    for (size_t i = 0; i < pixels.size() && in.size() > 0; i++) {
        const size_t at = (4 * i) % in.size();  // the rest of the input, repeated
        uint8_t rgb[4] = {};
        for (int k = 0; k < 4; k++)
            rgb[k] = in.data()[(at + k) % in.size()];
        // Half of them the background, so that runs and mask bits of both kinds occur.
        pixels[i] = (rgb[3] & 1) ? background : RGB(rgb[0], rgb[1], rgb[2]) | (COLORREF(rgb[3]) << 24);
    }
    const SnapshotImage image{W, H, pixels.data(), background};
    const fs::path folder = freshScratchFolder("image-writers");
    writeAll(image, usable, planes, bits, flags & 1, &window, folder);
    removeScratchFolder(folder);
    return 0;
}
