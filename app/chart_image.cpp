// Rendering a statistics chart without a window: a memory context on a
// bitmap of the series area's size, the window's stock font, the painter of
// the charts, and the pixels saved as PNG.
#include "app/chart_image.h"

#include <QImage>
#include <QString>

#include "platform/backend.h"

namespace {

bool savePng(HDC hdc, int width, int height, const std::string& path)
{
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return false;  // no memory for the picture
    for (int y = 0; y < height; y++) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; x++) {
            const COLORREF c = GetPixel(hdc, x, y);
            row[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
        }
    }
    return image.save(QString::fromStdString(path), "PNG");
}

} // namespace

bool writeChartImage(ChartInputs in, const std::string& path)
{
    const bool started = platformStarted();
    if (!started) {
        static int argc = 1;
        static char name[] = "pulsebench";
        static char* argv[] = {name, nullptr};
        startPlatform(Backend::Headless, argc, argv);
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, kChartImageWidth, kChartImageHeight);
    bool written = false;
    if (dc && bitmap) {
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        SelectObject(dc, GetStockObject(ANSI_VAR_FONT));  // the window's font
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        // The area as the window lays it out: 10 pixels in, right and bottom inclusive.
        in.options.SeriesAreaRect = RECT{10, 10, kChartImageWidth - 11, kChartImageHeight - 11};
        in.options.wLineHeight = tm.tmHeight + tm.tmExternalLeading - 1;
        paintStatisticsChart(nullptr, dc, in, nullptr);
        written = savePng(dc, kChartImageWidth, kChartImageHeight, path);
        SelectObject(dc, oldBitmap);
    }
    DeleteObject(bitmap);
    DeleteDC(dc);
    if (!started)
        stopPlatform();
    return written;
}
