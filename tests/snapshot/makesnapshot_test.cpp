// " Save image as..." end to end on a headless window: the capture, the save
// dialog's answers, the dispatch by extension (BMP, PCX, PNG, any case), the
// files read back by an independent reader, and the failure messages.
#include <QImage>

#include <fstream>
#include <iterator>

#include "support/mainwindow.h"

namespace {

std::vector<uint8_t> readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; i--)
        v = (v << 8) | b.at(at + i);
    return v;
}

// Decodes a one-bit run-length PCX file into rows of 0/1 pixels.
std::vector<std::vector<int>> decodePcx(const std::vector<uint8_t>& file)
{
    const int W = static_cast<int>(le(file, 8, 2)) + 1, H = static_cast<int>(le(file, 10, 2)) + 1;
    const size_t B = le(file, 66, 2);
    std::vector<std::vector<int>> rows;
    size_t at = 128;
    for (int y = 0; y < H; y++) {
        std::vector<uint8_t> line;
        while (line.size() < B) {
            uint8_t code = file.at(at++);
            int count = 1;
            if ((code & 0xC0) == 0xC0) {
                count = code & 0x3F;
                code = file.at(at++);
            }
            line.insert(line.end(), static_cast<size_t>(count), code);
        }
        std::vector<int> row;
        for (int x = 0; x < W; x++)
            row.push_back((line[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1);
        rows.push_back(row);
    }
    EXPECT_EQ(at, file.size());
    return rows;
}

} // namespace

class Snapshot : public MainWindowTest {
protected:
    QImage shown;  // the window as painted before the snapshot

    void save(const std::string& answer)
    {
        runPendingPaints(hWnd);
        shown = windowRaster(hWnd);
        session.queue(ScriptedAnswer{true, {{"file", answer}}});
        SendMessageA(hWnd, WM_COMMAND, IDM_SAVE_IMAGE, 0);
    }
};

TEST_F(Snapshot, BmpOfA1000By700WindowHasTheThirtyTwoBitSizesAndTheSamePixels)
{
    resizeClient(hWnd, 1000, 700);
    const auto file = folder() / "w.bmp";
    save(file.string());
    const std::vector<uint8_t> bytes = readAll(file);
    ASSERT_EQ(bytes.size(), 2800054u);
    EXPECT_EQ(le(bytes, 2, 4), 2800054u);     // bfSize
    EXPECT_EQ(le(bytes, 28, 2), 32u);         // biBitCount
    EXPECT_EQ(le(bytes, 46, 4), 0u);          // biClrUsed
    EXPECT_EQ(le(bytes, 34, 4), 2800000u);    // biSizeImage
    QImage back(QString::fromStdString(file.string()));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), shown);
    EXPECT_TRUE(session.messages().empty());
}

TEST_F(Snapshot, PcxSetsExactlyTheBackgroundPixels)
{
    menu(IDM_PROCESS_NEXT);
    const auto file = folder() / "w.PCX";  // capitals count as pcx
    save(file.string());
    const std::vector<std::vector<int>> rows = decodePcx(readAll(file));
    ASSERT_EQ(rows.size(), static_cast<size_t>(shown.height()));
    long differences = 0;
    for (int y = 0; y < shown.height(); y++)
        for (int x = 0; x < shown.width(); x++)
            differences += rows[y][x] != ((shown.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF ? 1 : 0);
    EXPECT_EQ(differences, 0);
}

TEST_F(Snapshot, PngIsReadBackAsTheWindowShowsIt)
{
    const auto file = folder() / "w.png";
    save(file.string());
    QImage back(QString::fromStdString(file.string()));
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), shown);
}

TEST_F(Snapshot, NameWithoutExtensionGetsBmp)
{
    const auto file = folder() / "plain";
    save(file.string());
    EXPECT_TRUE(std::filesystem::exists(folder() / "plain.bmp"));
}

TEST_F(Snapshot, OtherExtensionOrCancelWritesAndShowsNothing)
{
    save((folder() / "w.jpg").string());
    EXPECT_FALSE(std::filesystem::exists(folder() / "w.jpg"));
    session.queue(ScriptedAnswer{false, {}});
    SendMessageA(hWnd, WM_COMMAND, IDM_SAVE_IMAGE, 0);
    EXPECT_TRUE(session.messages().empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder()));
}

TEST_F(Snapshot, ExistingFileIsReplacedOnlyWhenTheUserAgrees)
{
    const auto file = folder() / "w.bmp";
    std::ofstream(file) << "keep";
    runPendingPaints(hWnd);
    session.queue(ScriptedAnswer{true, {{"file", file.string()}}});
    session.queue(ScriptedAnswer{false, {}});  // "No" to the overwrite question
    SendMessageA(hWnd, WM_COMMAND, IDM_SAVE_IMAGE, 0);
    ASSERT_EQ(session.messages().size(), 1u);
    EXPECT_EQ(session.messages()[0].caption, "Snapshot File Name");
    EXPECT_EQ(session.messages()[0].flags, MB_YESNO | MB_ICONWARNING);
    EXPECT_EQ(readAll(file).size(), 4u);
    save(file.string());  // unanswered question: Yes
    EXPECT_GT(readAll(file).size(), 1000u);
}

TEST_F(Snapshot, UnwritableNameIsReportedAsBitmapNotCreated)
{
    save((folder() / "missing-folder" / "w.bmp").string());
    ASSERT_FALSE(session.messages().empty());
    EXPECT_EQ(session.messages().back().text, "Bitmap file is not created");
    EXPECT_EQ(session.messages().back().caption, "About Bitmap");
    save((folder() / "missing-folder" / "w.png").string());
    EXPECT_EQ(session.messages().back().text, "PNG file is not created");
}
