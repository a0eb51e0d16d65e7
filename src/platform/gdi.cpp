// Drawing on a 32-bit raster with the semantics the painters expect: pixel
// exact lines, rectangles and ellipses drawn here, text rendered by Qt without
// antialiasing onto the same raster, everything clipped to the paint region.
//
// Sections: objects - contexts - pixels and shapes - text - bitmaps
#include <QBuffer>
#include <QByteArray>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/private.h"

/*==========================================================================
** Objects
**========================================================================*/

namespace {

// The stock font: a proportional face that Debian installs with fontconfig's
// defaults, at a fixed pixel size so that metrics and layout are the same on
// every machine; no antialiasing so that two runs give the same pixels.
QFont baseFont(const char* face, int pixelHeight, int weight)
{
    QFont font(QString::fromUtf8(face));
    font.setFamilies({QString::fromUtf8(face), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(pixelHeight);
    font.setWeight(weight >= FW_BOLD ? QFont::Bold : QFont::Normal);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoSubpixelAntialias));
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setKerning(false);
    return font;
}

GdiObject* stockObjects[18] = {};

GdiObject* makeStock(GdiObject::Kind kind, COLORREF color)
{
    GdiObject* o = new GdiObject(kind);
    o->stock = true;
    o->color = color;
    return o;
}

void initStock()
{
    if (stockObjects[WHITE_BRUSH])
        return;
    stockObjects[WHITE_BRUSH] = makeStock(GdiObject::Brush, RGB(255, 255, 255));
    stockObjects[LTGRAY_BRUSH] = makeStock(GdiObject::Brush, RGB(192, 192, 192));
    stockObjects[GRAY_BRUSH] = makeStock(GdiObject::Brush, RGB(128, 128, 128));
    stockObjects[DKGRAY_BRUSH] = makeStock(GdiObject::Brush, RGB(64, 64, 64));
    stockObjects[BLACK_BRUSH] = makeStock(GdiObject::Brush, RGB(0, 0, 0));
    stockObjects[NULL_BRUSH] = makeStock(GdiObject::Brush, 0);
    stockObjects[NULL_BRUSH]->hollow = true;
    stockObjects[WHITE_PEN] = makeStock(GdiObject::Pen, RGB(255, 255, 255));
    stockObjects[BLACK_PEN] = makeStock(GdiObject::Pen, RGB(0, 0, 0));
    stockObjects[NULL_PEN] = makeStock(GdiObject::Pen, 0);
    stockObjects[NULL_PEN]->style = PS_NULL;
    for (int which : {ANSI_FIXED_FONT, ANSI_VAR_FONT, SYSTEM_FONT, DEFAULT_GUI_FONT}) {
        GdiObject* f = makeStock(GdiObject::Font, 0);
        f->font = baseFont(which == ANSI_FIXED_FONT ? "DejaVu Sans Mono" : "DejaVu Sans", 12,
                           which == SYSTEM_FONT ? FW_BOLD : FW_NORMAL);
        stockObjects[which] = f;
    }
}

} // namespace

HPEN CreatePen(int style, int width, COLORREF color)
{
    (void)width;  // every pen of the program is one pixel wide
    GdiObject* o = new GdiObject(GdiObject::Pen);
    o->style = style;
    o->color = color;
    return o;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
    GdiObject* o = new GdiObject(GdiObject::Brush);
    o->color = color;
    return o;
}

HFONT CreateFontIndirectA(const LOGFONTA* lf)
{
    if (!lf)
        return nullptr;
    std::string face(lf->lfFaceName, strnlen(lf->lfFaceName, sizeof lf->lfFaceName));
    GdiObject* o = new GdiObject(GdiObject::Font);
    o->symbol = (face == "Symbol");
    const char* family = (o->symbol || face.empty()) ? "DejaVu Sans" : face.c_str();
    int h = lf->lfHeight == 0 ? 12 : std::abs(lf->lfHeight);
    o->font = baseFont(family, h, lf->lfWeight);
    if (lf->lfHeight > 0) {
        // A positive height is the cell height (ascent + descent): shrink the
        // pixel size until the cell fits.
        while (h > 1 && QFontMetrics(o->font).height() > lf->lfHeight)
            o->font.setPixelSize(--h);
    }
    o->font.setItalic(lf->lfItalic != 0);
    o->font.setUnderline(lf->lfUnderline != 0);
    o->font.setStrikeOut(lf->lfStrikeOut != 0);
    return o;
}

HGDIOBJ GetStockObject(int which)
{
    initStock();
    if (which < 0 || which >= 18)
        return nullptr;
    return stockObjects[which];
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (!object)
        return 0;
    if (!object->stock)
        delete object;
    return 1;
}

int GetObjectA(HGDIOBJ object, int size, void* out)
{
    if (!object || object->kind != GdiObject::Bitmap || !out || size < static_cast<int>(sizeof(BITMAP)))
        return 0;
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = object->image.width();
    bm.bmHeight = object->image.height();
    bm.bmWidthBytes = object->image.width() * 4;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = 32;
    bm.bmBits = nullptr;
    std::memcpy(out, &bm, sizeof bm);
    return sizeof bm;
}

/*==========================================================================
** Contexts
**========================================================================*/

DeviceContext* newDeviceContext(QImage* surface, HWND window)
{
    initStock();
    DeviceContext* dc = new DeviceContext;
    dc->surface = surface;
    dc->window = window;
    dc->pen = stockObjects[BLACK_PEN];
    dc->brush = stockObjects[WHITE_BRUSH];
    dc->font = stockObjects[SYSTEM_FONT];
    return dc;
}

HDC CreateCompatibleDC(HDC)
{
    GdiObject* bitmap = new GdiObject(GdiObject::Bitmap);
    bitmap->image = QImage(1, 1, QImage::Format_RGB32);
    bitmap->image.fill(Qt::white);
    DeviceContext* dc = newDeviceContext(&bitmap->image, nullptr);
    dc->bitmap = bitmap;
    dc->ownBitmap = bitmap;
    return dc;
}

BOOL DeleteDC(HDC hdc)
{
    if (!hdc)
        return 0;
    delete hdc->ownBitmap;
    delete hdc;
    return 1;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    GdiObject* bitmap = new GdiObject(GdiObject::Bitmap);
    bitmap->image = QImage(width, height, QImage::Format_RGB32);
    if (bitmap->image.isNull()) {
        delete bitmap;
        return nullptr;
    }
    bitmap->image.fill(Qt::white);
    return bitmap;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object)
{
    if (!hdc || !object)
        return nullptr;
    GdiObject* previous = nullptr;
    switch (object->kind) {
    case GdiObject::Pen: previous = hdc->pen; hdc->pen = object; break;
    case GdiObject::Brush: previous = hdc->brush; hdc->brush = object; break;
    case GdiObject::Font: previous = hdc->font; hdc->font = object; break;
    case GdiObject::Bitmap:
        if (hdc->window)
            return nullptr;  // only memory contexts hold bitmaps
        previous = hdc->bitmap;
        hdc->bitmap = object;
        hdc->surface = &object->image;
        break;
    }
    return previous;
}

int SetBkMode(HDC hdc, int mode)
{
    int old = hdc->bkMode;
    hdc->bkMode = mode;
    return old;
}

COLORREF SetBkColor(HDC hdc, COLORREF color)
{
    COLORREF old = hdc->bkColor;
    hdc->bkColor = color;
    return old;
}

COLORREF GetBkColor(HDC hdc)
{
    return hdc ? hdc->bkColor : CLR_INVALID;
}

COLORREF SetTextColor(HDC hdc, COLORREF color)
{
    COLORREF old = hdc->textColor;
    hdc->textColor = color;
    return old;
}

/*==========================================================================
** Pixels and shapes
**========================================================================*/

namespace {

inline uint32_t toPixel(COLORREF c)
{
    return 0xFF000000u | (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | uint32_t(GetBValue(c));
}

inline COLORREF fromPixel(uint32_t p)
{
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

inline bool visible(HDC dc, int x, int y)
{
    if (x < 0 || y < 0 || x >= dc->surface->width() || y >= dc->surface->height())
        return false;
    return !dc->clipped || dc->clip.contains(QPoint(x, y));
}

inline void plot(HDC dc, int x, int y, uint32_t pixel)
{
    if (visible(dc, x, y))
        reinterpret_cast<uint32_t*>(dc->surface->scanLine(y))[x] = pixel;
}

bool penDraws(HDC dc)
{
    return dc->pen && dc->pen->style != PS_NULL;
}

} // namespace

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    if (!hdc || !visible(hdc, x, y))
        return CLR_INVALID;
    plot(hdc, x, y, toPixel(color));
    return color;
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    if (!hdc || x < 0 || y < 0 || x >= hdc->surface->width() || y >= hdc->surface->height())
        return CLR_INVALID;
    return fromPixel(reinterpret_cast<const uint32_t*>(hdc->surface->constScanLine(y))[x]);
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous)
{
    if (!hdc)
        return 0;
    if (previous)
        *previous = hdc->position;
    hdc->position = POINT{x, y};
    return 1;
}

BOOL LineTo(HDC hdc, int x, int y)
{
    if (!hdc)
        return 0;
    int x0 = hdc->position.x, y0 = hdc->position.y;
    hdc->position = POINT{x, y};
    if (!penDraws(hdc))
        return 1;
    const uint32_t pixel = toPixel(hdc->pen->color);
    // Bresenham from the current position; the end point itself is not drawn,
    // so a polyline does not draw its joints twice.
    int dx = std::abs(x - x0), sx = x0 < x ? 1 : -1;
    int dy = -std::abs(y - y0), sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    while (!(x0 == x && y0 == y)) {
        plot(hdc, x0, y0, pixel);
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    return 1;
}

namespace {

// Orders a rectangle's corners: left <= right, top <= bottom.
void orderCorners(int& left, int& top, int& right, int& bottom)
{
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
}

} // namespace

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    if (!hdc)
        return 0;
    orderCorners(left, top, right, bottom);
    // Right and bottom exclusive: the outline runs on left..right-1, top..bottom-1.
    if (hdc->brush && !hdc->brush->hollow) {
        const uint32_t fill = toPixel(hdc->brush->color);
        for (int y = top + 1; y < bottom - 1; y++)
            for (int x = left + 1; x < right - 1; x++)
                plot(hdc, x, y, fill);
    }
    if (penDraws(hdc)) {
        const uint32_t pen = toPixel(hdc->pen->color);
        for (int x = left; x < right; x++) {
            plot(hdc, x, top, pen);
            plot(hdc, x, bottom - 1, pen);
        }
        for (int y = top; y < bottom; y++) {
            plot(hdc, left, y, pen);
            plot(hdc, right - 1, y, pen);
        }
    }
    return 1;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    if (!hdc)
        return 0;
    orderCorners(left, top, right, bottom);
    const int w = right - left, h = bottom - top;  // right and bottom exclusive
    if (w <= 0 || h <= 0)
        return 1;
    // A pixel belongs to the ellipse when its centre lies inside the ellipse
    // inscribed in the box of pixel centres; the outline is every inside pixel
    // with a 4-neighbour outside. Exact integer-free rule, same on every machine.
    const double cx = left + (w - 1) / 2.0, cy = top + (h - 1) / 2.0;
    const double a = std::max(w / 2.0, 0.5), b = std::max(h / 2.0, 0.5);
    auto inside = [&](int x, int y) {
        if (x < left || x >= right || y < top || y >= bottom)
            return false;
        double u = (x - cx) / a, v = (y - cy) / b;
        return u * u + v * v <= 1.0 + 1e-9;
    };
    const bool fills = hdc->brush && !hdc->brush->hollow;
    const uint32_t fill = fills ? toPixel(hdc->brush->color) : 0;
    const uint32_t pen = penDraws(hdc) ? toPixel(hdc->pen->color) : 0;
    for (int y = top; y < bottom; y++)
        for (int x = left; x < right; x++) {
            if (!inside(x, y))
                continue;
            bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            if (edge && penDraws(hdc))
                plot(hdc, x, y, pen);
            else if (fills)
                plot(hdc, x, y, fill);
        }
    return 1;
}

BOOL FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    if (!hdc || !rect || !brush || brush->hollow)
        return 0;
    const uint32_t fill = toPixel(brush->color);
    for (int y = rect->top; y < rect->bottom; y++)
        for (int x = rect->left; x < rect->right; x++)
            plot(hdc, x, y, fill);
    return 1;
}

/*==========================================================================
** Text
**========================================================================*/

namespace {

// The Greek letters the "Symbol" face shows for Latin letters A..Z and a..z.
const char16_t kSymbolUpper[] = u"ΑΒΧΔΕΦΓΗΙϑΚΛΜΝΟΠΘΡΣΤΥςΩΞΨΖ";
const char16_t kSymbolLower[] = u"αβχδεφγηιϕκλμνοπθρστυϖωξψζ";

QString decodeText(const GdiObject* font, const char* text, int length)
{
    QString s = QString::fromUtf8(text, length);
    if (font && font->symbol)
        for (QChar& c : s) {
            char16_t u = c.unicode();
            if (u >= 'A' && u <= 'Z')
                c = QChar(kSymbolUpper[u - 'A']);
            else if (u >= 'a' && u <= 'z')
                c = QChar(kSymbolLower[u - 'a']);
        }
    return s;
}

} // namespace

void fontMetrics(const GdiObject* font, TEXTMETRICA* tm)
{
    QFontMetrics fm(font->font);
    *tm = TEXTMETRICA{};
    tm->tmAscent = fm.ascent();
    tm->tmDescent = fm.descent();
    tm->tmHeight = fm.ascent() + fm.descent();
    tm->tmInternalLeading = 0;
    tm->tmExternalLeading = std::max(0, fm.leading());
    tm->tmAveCharWidth = fm.horizontalAdvance(QLatin1Char('x'));
    tm->tmMaxCharWidth = fm.maxWidth();
    tm->tmWeight = font->font.bold() ? FW_BOLD : FW_NORMAL;
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* metrics)
{
    if (!hdc || !metrics || !hdc->font)
        return 0;
    fontMetrics(hdc->font, metrics);
    return 1;
}

BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int length, SIZE* size)
{
    if (!hdc || !size || !hdc->font || length < 0)
        return 0;
    QFontMetrics fm(hdc->font->font);
    const std::string_view shown = shownText(std::string_view(text, static_cast<size_t>(length)));
    size->cx = fm.horizontalAdvance(decodeText(hdc->font, shown.data(), static_cast<int>(shown.size())));
    size->cy = fm.ascent() + fm.descent();
    return 1;
}

BOOL TextOutA(HDC hdc, int x, int y, const char* text, int length)
{
    if (!hdc || !text || length < 0 || !hdc->font)
        return 0;
    const std::string_view shown = shownText(std::string_view(text, static_cast<size_t>(length)));
    const QString s = decodeText(hdc->font, shown.data(), static_cast<int>(shown.size()));
    QFontMetrics fm(hdc->font->font);
    QPainter painter(hdc->surface);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    if (hdc->clipped)
        painter.setClipRegion(hdc->clip);
    painter.setFont(hdc->font->font);
    const int width = fm.horizontalAdvance(s), height = fm.ascent() + fm.descent();
    if (hdc->bkMode == OPAQUE)
        painter.fillRect(QRect(x, y, width, height), QColor(GetRValue(hdc->bkColor), GetGValue(hdc->bkColor),
                                                           GetBValue(hdc->bkColor)));
    painter.setPen(QColor(GetRValue(hdc->textColor), GetGValue(hdc->textColor), GetBValue(hdc->textColor)));
    painter.drawText(QPoint(x, y + fm.ascent()), s);  // (x, y) is the top-left of the text cell
    return 1;
}

/*==========================================================================
** Bitmaps
**========================================================================*/

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD)
{
    if (!destination || !source)
        return 0;
    const QImage& from = *source->surface;
    for (int j = 0; j < height; j++) {
        int fy = sy + j;
        if (fy < 0 || fy >= from.height())
            continue;
        const uint32_t* row = reinterpret_cast<const uint32_t*>(from.constScanLine(fy));
        for (int i = 0; i < width; i++) {
            int fx = sx + i;
            if (fx < 0 || fx >= from.width())
                continue;
            plot(destination, x + i, y + j, row[fx] | 0xFF000000u);
        }
    }
    return 1;
}

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT)
{
    if (!bitmap || bitmap->kind != GdiObject::Bitmap || !info)
        return 0;
    const QImage& image = bitmap->image;
    BITMAPINFOHEADER& bh = info->bmiHeader;
    if (bh.biBitCount == 0) {  // asked only for the description
        bh.biWidth = image.width();
        bh.biHeight = image.height();
        bh.biPlanes = 1;
        bh.biBitCount = 32;
        bh.biSizeImage = static_cast<uint32_t>(image.width()) * 4u * static_cast<uint32_t>(image.height());
        return image.height();
    }
    if (bh.biBitCount != 32 || bh.biWidth != image.width() || !bits)
        return 0;  // this platform's bitmaps are all 32 bits per pixel
    const int h = image.height();
    UINT copied = 0;
    uint8_t* out = static_cast<uint8_t*>(bits);
    for (UINT line = start; line < start + lines && static_cast<int>(line) < h; line++, copied++) {
        // Rows bottom-up: scan line 0 is the bottom row of the image.
        const uint32_t* row = reinterpret_cast<const uint32_t*>(image.constScanLine(h - 1 - static_cast<int>(line)));
        uint8_t* dst = out + static_cast<size_t>(line - start) * static_cast<size_t>(image.width()) * 4;
        for (int x = 0; x < image.width(); x++) {
            dst[4 * x + 0] = row[x] & 0xFF;          // blue
            dst[4 * x + 1] = (row[x] >> 8) & 0xFF;   // green
            dst[4 * x + 2] = (row[x] >> 16) & 0xFF;  // red
            dst[4 * x + 3] = 0;                      // reserved
        }
    }
    return static_cast<int>(copied);
}

bool encodePixelsAsPng(const COLORREF* pixels, int width, int height, std::string& bytes)
{
    if (!pixels || width < 1 || height < 1)
        return false;
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return false;  // no memory for it
    for (int y = 0; y < height; y++) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; x++) {
            const COLORREF c = pixels[static_cast<size_t>(y) * width + x];
            row[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
        }
    }
    QByteArray encoded;
    QBuffer buffer(&encoded);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return false;
    bytes.assign(encoded.constData(), static_cast<size_t>(encoded.size()));
    return true;
}

bool encodePng(HDC hdc, int width, int height, std::string& bytes)
{
    if (!hdc || width < 1 || height < 1)
        return false;
    std::vector<COLORREF> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            pixels[static_cast<size_t>(y) * width + x] = GetPixel(hdc, x, y);
    return encodePixelsAsPng(pixels.data(), width, height, bytes);
}
