// " Save image as...": captures the main window's client area, asks for a file
// name and hands the picture to the BMP or PCX writer, or encodes it as PNG
// through Qt and hands the bytes to the whole-file writer. Called from the
// shell's menu command; reports its own failures.
#include <cstring>
#include <strings.h>
#include <vector>

#include "platform/backend.h"
#include "platform/files.h"
#include "platform/window.h"
#include "snapshot/snapshot.h"
#include "snapshot/writer.h"

namespace {

char gSnapshotFileName[256];  // the name the save dialog filled; emptied before each dialog

// True when `name` ends in `extension` ("." and three letters), any case, and
// is longer than it.
bool hasExtension(const char* name, const char* extension)
{
    const size_t n = std::strlen(name);
    return n > 4 && strcasecmp(name + n - 4, extension) == 0;
}

// The pixels of a context's surface, top row first, as GetPixel gives them.
std::vector<COLORREF> readPixels(HDC hdc, int width, int height)
{
    std::vector<COLORREF> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            pixels[static_cast<size_t>(y) * width + x] = GetPixel(hdc, x, y);
    return pixels;
}

} // namespace

bool writePngFile(const char* fileName, const SnapshotImage* image)
{
    if (!snapshot_detail::usableImage(image) || !fileName)
        return false;
    std::string bytes;
    if (!encodePixelsAsPng(image->pixels, image->width, image->height, bytes)) {
        noteFailedWrite(std::string("cannot write ") + fileName + ": the picture could not be encoded as PNG");
        return false;
    }
    return writeFileAtomically(fileName, bytes);
}

int MakeSnapshot(HWND hWnd)
{
    // 1. Capture before the dialog, so that the dialog is never in the picture.
    HDC hdc = GetDC(hWnd);
    if (!hdc)
        return 1;
    RECT client;
    GetClientRect(hWnd, &client);
    const int W = client.right, H = client.bottom;
    HDC memory = CreateCompatibleDC(hdc);
    HBITMAP captured = CreateCompatibleBitmap(hdc, W, H);
    if (!memory || !captured) {
        MessageBoxA(hWnd, "Bitmap file is not created", "About Bitmap", MB_OK);
        DeleteObject(captured);
        DeleteDC(memory);
        ReleaseDC(hWnd, hdc);
        return 1;
    }
    HGDIOBJ previous = SelectObject(memory, captured);
    BitBlt(memory, 0, 0, W, H, hdc, 0, 0, SRCCOPY);

    // 2. The name.
    gSnapshotFileName[0] = '\0';
    BmpDescription* description = nullptr;
    if (chooseSaveFileName(hWnd, "Bitmap Files (*.bmp)\0*.bmp\0PCX Files (*.pcx)\0*.pcx\0PNG Files (*.png)\0*.png\0",
                           "Snapshot File Name", "bmp", gSnapshotFileName, sizeof gSnapshotFileName)) {
        // 3. Repair what the dialog covered, then write by the extension.
        BitBlt(hdc, 0, 0, W, H, memory, 0, 0, SRCCOPY);
        const char* name = gSnapshotFileName;
        if (hasExtension(name, ".pcx")) {
            std::vector<COLORREF> pixels = readPixels(hdc, W, H);
            SnapshotImage image{W, H, pixels.data(), GetBkColor(hdc)};
            if (!writePcxFile(hWnd, name, &image))
                MessageBoxA(hWnd, "PCX file is not created", "About Bitmap", MB_OK);
        }
        if (hasExtension(name, ".bmp")) {
            BITMAP bm{};
            const bool described = GetObjectA(captured, sizeof bm, &bm) != 0;
            description = getBmpDescription(hWnd, described ? &bm : nullptr);
            bool written = false;
            if (description) {
                std::vector<COLORREF> pixels = readPixels(memory, W, H);
                SnapshotImage image{W, H, pixels.data(), GetBkColor(hdc)};
                written = writeBmpFile(hWnd, name, description, &image) != 0;
            }
            if (!written)
                MessageBoxA(hWnd, "Bitmap file is not created", "About Bitmap", MB_OK);
        }
        if (hasExtension(name, ".png")) {
            const std::vector<COLORREF> pixels = readPixels(memory, W, H);
            const SnapshotImage image{W, H, pixels.data(), GetBkColor(hdc)};
            if (!writePngFile(name, &image))
                MessageBoxA(hWnd, "PNG file is not created", "About Bitmap", MB_OK);
        }
    }

    // 4. Release everything.
    freeBmpDescription(description);
    SelectObject(memory, previous);
    DeleteObject(captured);
    DeleteDC(memory);
    ReleaseDC(hWnd, hdc);
    return 1;
}
