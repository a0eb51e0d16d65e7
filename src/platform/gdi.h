// Drawing: the device contexts, pens, brushes, fonts and bitmaps the painters
// use, with the semantics they expect (end point of a line not drawn, right and
// bottom of a rectangle exclusive, opaque or transparent text). A device
// context draws on a 32-bit raster: a window's client area or a memory bitmap
// (CreateCompatibleDC + CreateCompatibleBitmap, usable without any window).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/*---- Plain types ----*/

typedef uint32_t COLORREF;  // 0x00BBGGRR
typedef int32_t BOOL;       // nonzero: true
typedef uint32_t DWORD;
typedef uint32_t UINT;

constexpr COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) { return c & 0xFF; }
constexpr int GetGValue(COLORREF c) { return (c >> 8) & 0xFF; }
constexpr int GetBValue(COLORREF c) { return (c >> 16) & 0xFF; }
inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

struct RECT {
    int32_t left;    // client pixels
    int32_t top;     // client pixels
    int32_t right;   // exclusive where the window system takes a RECT; the painters say where they differ
    int32_t bottom;  // as right
};
struct POINT {
    int32_t x;  // client pixels
    int32_t y;  // client pixels
};
struct SIZE {
    int32_t cx;  // width, pixels
    int32_t cy;  // height, pixels
};

struct TEXTMETRICA {
    int32_t tmHeight;            // ascent + descent, pixels
    int32_t tmAscent;            // above the base line, pixels
    int32_t tmDescent;           // below the base line, pixels
    int32_t tmInternalLeading;   // accent room inside tmHeight, pixels
    int32_t tmExternalLeading;   // extra room between lines, pixels
    int32_t tmAveCharWidth;      // width of 'x' (average character), pixels
    int32_t tmMaxCharWidth;      // widest character, pixels
    int32_t tmWeight;            // 400 normal, 700 bold
};

struct LOGFONTA {
    int32_t lfHeight;          // cell height in pixels (negative: character height)
    int32_t lfWidth;           // 0: default aspect
    int32_t lfEscapement;      // tenths of a degree; only 0 is drawn
    int32_t lfOrientation;     // tenths of a degree; ignored
    int32_t lfWeight;          // 0 default, 400 normal, 700 bold
    uint8_t lfItalic;          // 1: italic
    uint8_t lfUnderline;       // 1: underlined
    uint8_t lfStrikeOut;       // 1: struck out
    uint8_t lfCharSet;         // ignored
    uint8_t lfOutPrecision;    // ignored
    uint8_t lfClipPrecision;   // ignored
    uint8_t lfQuality;         // ignored
    uint8_t lfPitchAndFamily;  // ignored
    char lfFaceName[32];       // face name; "Symbol" maps Latin letters to Greek
};

struct BITMAP {
    int32_t bmType;        // 0
    int32_t bmWidth;       // pixels
    int32_t bmHeight;      // pixels
    int32_t bmWidthBytes;  // bytes per row
    uint16_t bmPlanes;     // 1
    uint16_t bmBitsPixel;  // 32 for every bitmap of this platform
    void* bmBits;          // null
};

#pragma pack(push, 1)
struct BITMAPFILEHEADER {
    uint16_t bfType;       // "BM"
    uint32_t bfSize;       // whole file, bytes
    uint16_t bfReserved1;  // 0
    uint16_t bfReserved2;  // 0
    uint32_t bfOffBits;    // offset of the pixel rows, bytes
};
struct BITMAPINFOHEADER {
    uint32_t biSize;          // 40
    int32_t biWidth;          // pixels
    int32_t biHeight;         // pixels; positive: rows bottom-up
    uint16_t biPlanes;        // 1
    uint16_t biBitCount;      // bits per pixel
    uint32_t biCompression;   // 0: uncompressed (BI_RGB)
    uint32_t biSizeImage;     // bytes of pixel rows
    int32_t biXPelsPerMeter;  // 0
    int32_t biYPelsPerMeter;  // 0
    uint32_t biClrUsed;       // colour table entries
    uint32_t biClrImportant;  // 0
};
struct RGBQUAD {
    uint8_t rgbBlue;      // 0..255
    uint8_t rgbGreen;     // 0..255
    uint8_t rgbRed;       // 0..255
    uint8_t rgbReserved;  // 0
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;  // the description
    RGBQUAD bmiColors[1];        // colour table, biClrUsed entries (allocated behind)
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14 && sizeof(BITMAPINFOHEADER) == 40, "packed headers");

/*---- Handles ----*/

struct GdiObject;      // a pen, brush, font or bitmap (platform-private)
struct DeviceContext;  // a drawing context (platform-private)
typedef GdiObject* HGDIOBJ;
typedef GdiObject* HPEN;
typedef GdiObject* HBRUSH;
typedef GdiObject* HFONT;
typedef GdiObject* HBITMAP;
typedef DeviceContext* HDC;

/*---- Constants ----*/

enum : int {
    PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_NULL = 5,                        // pen styles
    WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3,       // stock objects
    BLACK_BRUSH = 4, NULL_BRUSH = 5, HOLLOW_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7,
    NULL_PEN = 8, ANSI_FIXED_FONT = 11, ANSI_VAR_FONT = 12, SYSTEM_FONT = 13, DEFAULT_GUI_FONT = 17,
    TRANSPARENT = 1, OPAQUE = 2,                                               // background modes
    FW_NORMAL = 400, FW_BOLD = 700,
};
inline constexpr DWORD SRCCOPY = 0x00CC0020u;  // BitBlt: plain copy
inline constexpr UINT DIB_RGB_COLORS = 0;       // GetDIBits: colour table as RGB values
inline constexpr uint32_t BI_RGB = 0;           // uncompressed

/*---- Objects ----*/

HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
HFONT CreateFontIndirectA(const LOGFONTA* font);
HGDIOBJ GetStockObject(int which);              // never deleted by DeleteObject
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);  // returns the object of that kind selected before
BOOL DeleteObject(HGDIOBJ object);              // stock objects are ignored
int GetObjectA(HGDIOBJ object, int size, void* out); // a BITMAP for a bitmap; bytes written or 0

/*---- Contexts ----*/

HDC CreateCompatibleDC(HDC hdc);  // a memory context; holds a 1 x 1 bitmap until one is selected
BOOL DeleteDC(HDC hdc);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);  // 32 bits per pixel, white
int SetBkMode(HDC hdc, int mode);           // returns the previous mode
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);               // white unless set
COLORREF SetTextColor(HDC hdc, COLORREF color);

/*---- Drawing (every call is clipped to the context's clip rectangle) ----*/

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous);
BOOL LineTo(HDC hdc, int x, int y);                             // the end point is not drawn
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom); // outline with the pen, inside with the brush; right, bottom exclusive
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);   // inscribed in the same box
BOOL FillRect(HDC hdc, const RECT* rect, HBRUSH brush);           // right, bottom exclusive; no outline
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);   // CLR_INVALID outside the surface
BOOL TextOutA(HDC hdc, int x, int y, const char* text, int length); // UTF-8 bytes; top-left at (x, y)
BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics);
BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int length, SIZE* size);
BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
// Rows bottom-up from scan line `start`, `lines` of them, in the format of the
// info header (32 bits per pixel here); fills the header's colour table when it
// has one. Returns the lines copied, 0 on failure.
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
