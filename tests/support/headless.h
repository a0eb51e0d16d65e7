// Test scaffolding for drawing without a window: the headless window system
// (started once, when not already running) and a memory context on a bitmap
// with the window's stock font selected, as the painters draw on.
#pragma once

#include "platform/backend.h"
#include "platform/gdi.h"

inline void startHeadlessPlatform()
{
    if (platformStarted())
        return;
    static int argc = 1;
    static char name[] = "pulsebench-test";
    static char* argv[] = {name, nullptr};
    startPlatform(Backend::Headless, argc, argv);
}

// A memory context on a W x H bitmap (pixels black until painted) with
// ANSI_VAR_FONT selected; everything released at its end.
struct MemoryCanvas {
    HDC dc = nullptr;            // the context the painters draw on
    HBITMAP bitmap = nullptr;    // its surface
    HGDIOBJ previous = nullptr;  // the bitmap the context held before

    MemoryCanvas(int width, int height)
    {
        startHeadlessPlatform();
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, width, height);
        previous = SelectObject(dc, bitmap);
        SelectObject(dc, GetStockObject(ANSI_VAR_FONT));
    }
    ~MemoryCanvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
};
