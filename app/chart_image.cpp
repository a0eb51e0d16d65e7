// Rendering a statistics chart without a window: a memory context on a
// bitmap of the series area's size, the window's stock font, the painter of
// the charts, and the pixels encoded as PNG.
#include "app/chart_image.h"

#include "platform/backend.h"

bool renderChartPng(ChartInputs in, std::string& png)
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
    bool encoded = false;
    if (dc && bitmap) {
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        SelectObject(dc, GetStockObject(ANSI_VAR_FONT));  // the window's font
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        // The area as the window lays it out: 10 pixels in, right and bottom inclusive.
        in.options.SeriesAreaRect = RECT{10, 10, kChartImageWidth - 11, kChartImageHeight - 11};
        in.options.wLineHeight = tm.tmHeight + tm.tmExternalLeading - 1;
        paintStatisticsChart(nullptr, dc, in, nullptr);
        encoded = encodePng(dc, kChartImageWidth, kChartImageHeight, png);
        SelectObject(dc, oldBitmap);
    }
    DeleteObject(bitmap);
    DeleteDC(dc);
    if (!started)
        stopPlatform();
    return encoded;
}
