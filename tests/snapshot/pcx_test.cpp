// PCX export: the header bytes, packing of a line, the run-length codes and
// their edge cases, round trips through an independent decoder, and the
// failures (bad image, missing folder, full disk).
#include <algorithm>
#include <cstring>
#include <random>

#include "files.h"
#include "pcx_decode.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes encode(const Bytes& packed)
{
    Bytes codes(2 * packed.size() + 1, 0xEE);
    codes.resize(pcxEncodeLine(packed.data(), packed.size(), codes.data()));
    return codes;
}

TEST(PcxLineEncoding, EdgeCasesOfRunsAndCountLookalikes)
{
    const std::pair<Bytes, Bytes> cases[] = {
        {Bytes(8, 0xFF), {0xC8, 0xFF}},
        {Bytes(63, 0x55), {0xFF, 0x55}},
        {Bytes(64, 0x00), {0xFF, 0x00, 0x00}},
        {Bytes(65, 0x00), {0xFF, 0x00, 0xC2, 0x00}},
        {Bytes(126, 0xC0), {0xFF, 0xC0, 0xFF, 0xC0}},
        {Bytes(127, 0xC0), {0xFF, 0xC0, 0xFF, 0xC0, 0xC1, 0xC0}},
        {{0xC5}, {0xC1, 0xC5}},
        {{0x12}, {0x12}},
        {{0xBF}, {0xBF}},
        {{0x12, 0x34, 0x34, 0xC0}, {0x12, 0xC2, 0x34, 0xC1, 0xC0}},
        {{}, {}},
    };
    for (const auto& [packed, codes] : cases)
        EXPECT_EQ(encode(packed), codes) << packed.size() << " bytes";
}

TEST(PcxLineEncoding, RandomLinesDecodeBackWithinTwiceTheLength)
{
    std::mt19937 random(2024);
    for (int trial = 0; trial < 500; trial++) {
        Bytes packed(4 * (1 + random() % 40));
        for (size_t i = 0; i < packed.size();) {  // runs of random length, often count lookalikes
            uint8_t v = static_cast<uint8_t>(random() % 3 == 0 ? 0xC0 | random() : random() % 4);
            for (size_t n = 1 + random() % 140; n > 0 && i < packed.size(); n--)
                packed[i++] = v;
        }
        Bytes codes = encode(packed);
        ASSERT_LE(codes.size(), 2 * packed.size());
        size_t at = 0;
        ASSERT_EQ(decodePcxLine(codes, at, packed.size()), packed) << "trial " << trial;
        ASSERT_EQ(at, codes.size());
    }
}

TEST(PcxPacking, BackgroundPixelsAndPaddingAreSetFirstPixelInTheTopBit)
{
    const COLORREF white = RGB(255, 255, 255), other = RGB(255, 255, 254);
    std::vector<COLORREF> row(33, white);
    Bytes packed(pcxBytesPerLine(33), 0);
    ASSERT_EQ(packed.size(), 8u);
    pcxPackLine(row.data(), 33, white, packed.data(), 8);
    EXPECT_EQ(packed, Bytes(8, 0xFF));
    EXPECT_EQ(encode(packed), (Bytes{0xC8, 0xFF}));

    row[0] = other;          // near-white is not the background
    row[9] = RGB(0, 0, 0);
    row[32] = other;
    row[5] = white | 0xFF000000u;  // the high byte of a COLORREF is not colour
    pcxPackLine(row.data(), 33, white, packed.data(), 8);
    EXPECT_EQ(packed, (Bytes{0x7F, 0xBF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF}));
}

TEST(PcxHeader, BytesOfTheHeader)
{
    uint8_t header[kPcxHeaderSize];
    std::memset(header, 0xAA, sizeof header);
    pcxHeader(33, 2, RGB(0x10, 0x20, 0x30), header);
    Bytes expected(kPcxHeaderSize, 0);
    const Bytes start = {10, 5, 1, 1, 0, 0, 0, 0, 32, 0, 1, 0, 0x80, 0x02, 0xE0, 0x01,  // ... resolution 640 x 480
                         0, 0, 0, 0x10, 0x20, 0x30};                                    // black, background
    std::copy(start.begin(), start.end(), expected.begin());
    expected[65] = 1;  // planes
    expected[66] = 8;  // bytes per line
    expected[68] = 1;  // palette info
    EXPECT_EQ(Bytes(header, header + kPcxHeaderSize), expected);
}

class Pcx : public SnapshotFiles {};

TEST_F(Pcx, RoundTripSetsExactlyTheBackgroundPixels)
{
    const COLORREF background = RGB(192, 192, 192);
    const std::vector<COLORREF> colours = {background, RGB(0, 0, 0), background, RGB(192, 192, 193), background,
                                           RGB(255, 0, 0)};
    for (auto [W, H] : {std::pair{37, 6}, std::pair{64, 3}, std::pair{1, 1}, std::pair{700, 2}}) {
        SCOPED_TRACE(std::to_string(W) + " x " + std::to_string(H));
        std::vector<COLORREF> pixels(size_t(W) * H);
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++)  // long background runs with scattered other pixels
                pixels[size_t(y) * W + x] = x > W / 2 ? background : colours[(x * x + 3 * y) % colours.size()];
        SnapshotImage image{W, H, pixels.data(), background};
        const std::string path = pathOf("trip.pcx");
        ASSERT_EQ(writePcxFile(hWnd, path.c_str(), &image), 1);
        const Bytes file = readAll(path);
        ASSERT_GE(file.size(), size_t(kPcxHeaderSize));
        ASSERT_EQ(le16(file, 8) + 1, unsigned(W));
        ASSERT_EQ(le16(file, 10) + 1, unsigned(H));
        const size_t B = le16(file, 66);
        ASSERT_EQ(B % 4, 0u);
        ASSERT_GE(B * 8, size_t(W));
        EXPECT_EQ(Bytes(file.begin() + 19, file.begin() + 22), (Bytes{192, 192, 192}));
        size_t at = kPcxHeaderSize;
        for (int y = 0; y < H; y++) {
            Bytes line = decodePcxLine(file, at, B);
            ASSERT_EQ(line.size(), B) << "line " << y;
            for (size_t x = 0; x < 8 * B; x++) {
                bool bit = (line[x / 8] >> (7 - x % 8)) & 1;
                bool expected = x >= size_t(W) || pixels[size_t(y) * W + x] == background;
                ASSERT_EQ(bit, expected) << "pixel " << x << ", line " << y;
            }
        }
        EXPECT_EQ(at, file.size());  // nothing after the last line
    }
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(Pcx, RefusesAnImageWithoutPixelsOrSize)
{
    const std::vector<COLORREF> pixels(4, 0);
    SnapshotImage none{2, 2, nullptr, 0}, empty{0, 2, pixels.data(), 0}, huge{40000, 1, pixels.data(), 0};
    const std::string path = pathOf("refused.pcx");
    EXPECT_EQ(writePcxFile(hWnd, path.c_str(), nullptr), 0);
    EXPECT_EQ(writePcxFile(hWnd, path.c_str(), &none), 0);
    EXPECT_EQ(writePcxFile(hWnd, path.c_str(), &empty), 0);
    EXPECT_EQ(writePcxFile(hWnd, path.c_str(), &huge), 0);
    ASSERT_EQ(boxes.count(), 4u);
    for (const MessageRecord& m : boxes.messages()) {
        EXPECT_EQ(m.text, "Неверно задан SnapshotImage!");
        EXPECT_EQ(m.caption, "About PCX");
        EXPECT_EQ(m.flags, MB_OK);
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(Pcx, WriteIntoMissingFolderReportsCreateFile)
{
    const std::vector<COLORREF> pixels(4, 0);
    SnapshotImage image{2, 2, pixels.data(), 0};
    EXPECT_EQ(writePcxFile(hWnd, pathOf("no-such-folder/x.pcx").c_str(), &image), 0);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.messages()[0].text, "CreateFile ERROR!");
    EXPECT_EQ(boxes.messages()[0].caption, "About PCX");
    EXPECT_EQ(boxes.messages()[0].flags, MB_OK);
}

TEST_F(Pcx, WriteOnAFullDiskReportsTheStepAndKeepsTheOldFile)
{
    const std::vector<COLORREF> pixels(4, 0);
    SnapshotImage image{2, 2, pixels.data(), 0};
    const std::string path = pathOf("kept.pcx");
    std::ofstream(path) << "old";
    for (const auto& [step, occurrence] :
         {std::pair{FileStep::Write, 1}, std::pair{FileStep::Write, 3}, std::pair{FileStep::Rename, 1}}) {
        injectFileFault(step, occurrence, ENOSPC);
        EXPECT_EQ(writePcxFile(hWnd, path.c_str(), &image), 0);
        clearFileFault();
        EXPECT_EQ(readAll(path), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(entries(), 1u) << "no temporary left";
    }
    EXPECT_EQ(texts(), (std::vector<std::string>{"ERROR while writing PCXHEADER!", "ERROR while writing PCX codes!",
                                                 "CloseHandle ERROR!"}));
}

} // namespace
