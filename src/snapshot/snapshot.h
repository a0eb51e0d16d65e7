// Snapshot export: the BMP and PCX writers that save a window image held in
// memory. Public face of src/snapshot/ for the window layer's MakeSnapshot; the
// writers know nothing of windows beyond the owner of their message boxes.
// Reports through MessageBoxA; never uses Qt and calls no drawing function
// (the PNG writer, which needs Qt, is declared here but lives with the command).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi.h"
#include "platform/platform.h"

/*==========================================================================
** Constants and the pixel source
**========================================================================*/

inline constexpr int kSnapshotMaxSide = 32767;  // greatest width and height of an image, pixels
inline constexpr int kPcxHeaderSize = 128;      // bytes of the PCX file header
inline constexpr int kPcxMaxRun = 63;           // longest run one PCX code describes

// The window image a writer saves: the client area, top row first.
struct SnapshotImage {
    int32_t width = 0;                 // W, pixels, 1..kSnapshotMaxSide
    int32_t height = 0;                // H, pixels, 1..kSnapshotMaxSide
    const COLORREF* pixels = nullptr;  // [W * H] row by row from the top, each 0x00BBGGRR as GetPixel gives it; the high byte is ignored
    COLORREF background = 0;           // the window context's background colour (GetBkColor); 0x00BBGGRR
};

/*==========================================================================
** BMP
**========================================================================*/

// The info header of a BMP file and its colour table: what the window layer
// builds from the captured bitmap and the writer fills and writes.
struct BmpDescription {
    BITMAPINFOHEADER bmiHeader = {};  // the info header as written (biSize 40, bottom-up rows)
    std::vector<RGBQUAD> bmiColors;   // [biClrUsed] colour table; zero until writeBmpFile fills it
};

// Planes x bits per pixel rounded up to 1, 4, 8, 16, 24 or 32 (above 24: 32).
uint16_t bmpRoundedDepth(uint16_t planes, uint16_t bitsPerPixel);

// Bytes of one stored pixel row: width x bits rounded up to a multiple of 4.
uint32_t bmpRowBytes(int32_t width, uint16_t bitCount);

// The 14-byte file header for an info header: bfSize and bfOffBits from
// biClrUsed and biSizeImage.
BITMAPFILEHEADER bmpFileHeader(const BITMAPINFOHEADER& info);

// A new description of the bitmap that GetObjectA described (width, height,
// planes, bits per pixel); null or an empty bitmap stands for a failed
// GetObjectA. Returns nothing after a message (caption "About Bitmap").
BmpDescription* getBmpDescription(HWND hWnd, const BITMAP* bitmap);

// Writes the image as a BMP file of the description's format (planes 1 and
// 1, 4, 8, 16, 24 or 32 bits; below 16 bits each pixel takes the nearest
// colour of a fixed table, which the description receives). The width and
// height of the description must be the image's. Returns 1, or 0 after a
// message (caption "About Bitmap"); then nothing was written under the name
// and a file that had it is unchanged.
int writeBmpFile(HWND hWnd, const char* fileName, BmpDescription* description, const SnapshotImage* image);

// Releases a description (nothing for null).
void freeBmpDescription(BmpDescription* description);

/*==========================================================================
** PCX
**========================================================================*/

// B, the bytes of one packed line: ((W + 31) >> 5) << 2, a multiple of 4.
uint32_t pcxBytesPerLine(int32_t width);

// The 128-byte header of a one-bit, run-length PCX file of W x H pixels whose
// palette entry 1 is the background colour.
void pcxHeader(int32_t width, int32_t height, COLORREF background, uint8_t header[kPcxHeaderSize]);

// Packs one image row into B bytes, first pixel in the top bit: 1 for a pixel
// of exactly the background colour and for the padding behind the row, else 0.
void pcxPackLine(const COLORREF* row, int32_t width, COLORREF background, uint8_t* packed, uint32_t B);

// Run-length codes of `count` packed bytes into `codes` (room for 2 x count);
// returns the number of code bytes.
size_t pcxEncodeLine(const uint8_t* packed, size_t count, uint8_t* codes);

// Writes the image as a one-bit PCX file (background pixels set). Returns 1, or
// 0 after a message (caption "About PCX"); then nothing was written under the
// name and a file that had it is unchanged.
int writePcxFile(HWND hWnd, const char* fileName, const SnapshotImage* image);

/*==========================================================================
** PNG
**========================================================================*/

// Writes the image as a PNG file through Qt (so implemented beside the
// command, in makesnapshot.cpp). False when the image is not usable or the
// file could not be written; shows no message.
bool writePngFile(const char* fileName, const SnapshotImage* image);

/*==========================================================================
** The command
**========================================================================*/

// " Save image as...": captures the client area, asks for a name ("Snapshot
// File Name"; BMP, PCX and PNG filters) and writes the file the extension
// names. Returns 1 when finished, whatever the outcome; failures were shown.
// Implemented in makesnapshot.cpp on top of the window layer.
int MakeSnapshot(HWND hWnd);
