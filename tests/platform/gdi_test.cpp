// The drawing semantics the painters rely on, on memory contexts and on a
// headless window: end points, exclusive right and bottom, clipping to the
// update region, erased and kept parts, text metrics and the Symbol face.
#include <QImage>
#include <gtest/gtest.h>

#include <cstring>

#include "support/headless.h"
#include "platform/backend.h"

namespace {

void ensurePlatform()
{
    startHeadlessPlatform();
}

// A memory context on a white W x H bitmap.
struct Canvas {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    Canvas(int w, int h)
    {
        ensurePlatform();
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, w, h);
        previous = SelectObject(dc, bitmap);
    }
    ~Canvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
};

const COLORREF kWhite = RGB(255, 255, 255);

} // namespace

TEST(Drawing, LineToLeavesItsEndPointUndrawn)
{
    Canvas c(20, 20);
    MoveToEx(c.dc, 2, 5, nullptr);
    LineTo(c.dc, 10, 5);
    EXPECT_EQ(GetPixel(c.dc, 2, 5), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 9, 5), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 10, 5), kWhite);
}

TEST(Drawing, RectangleOutlinesWithPenFillsWithBrushRightBottomExclusive)
{
    Canvas c(20, 20);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    SelectObject(c.dc, pen);
    SelectObject(c.dc, brush);
    Rectangle(c.dc, 2, 2, 8, 6);
    EXPECT_EQ(GetPixel(c.dc, 2, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 7, 5), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(c.dc, 8, 5), kWhite);
    EXPECT_EQ(GetPixel(c.dc, 7, 6), kWhite);
    EXPECT_EQ(GetPixel(c.dc, 4, 3), RGB(0, 255, 0));
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    SelectObject(c.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(pen);
    DeleteObject(brush);
}

TEST(Drawing, EllipseStaysInsideItsBoxAndFillsTheMiddle)
{
    Canvas c(30, 30);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    SelectObject(c.dc, brush);
    Ellipse(c.dc, 5, 5, 17, 17);
    EXPECT_EQ(GetPixel(c.dc, 10, 10), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(c.dc, 5, 5), kWhite);    // corner of the box
    EXPECT_EQ(GetPixel(c.dc, 17, 11), kWhite);  // right edge exclusive
    int black = 0;
    for (int x = 5; x < 17; x++)
        black += GetPixel(c.dc, x, 11) == RGB(0, 0, 0);
    EXPECT_EQ(black, 2);  // the outline crosses the middle row twice
    SelectObject(c.dc, GetStockObject(WHITE_BRUSH));
    DeleteObject(brush);
}

TEST(Drawing, OpaqueTextFillsItsCellTransparentTextDoesNot)
{
    Canvas c(120, 40);
    SelectObject(c.dc, GetStockObject(ANSI_VAR_FONT));
    SetBkColor(c.dc, RGB(255, 255, 0));
    TextOutA(c.dc, 0, 0, "  ", 2);
    EXPECT_EQ(GetPixel(c.dc, 1, 1), RGB(255, 255, 0));
    SetBkMode(c.dc, TRANSPARENT);
    TextOutA(c.dc, 0, 20, "  ", 2);
    EXPECT_EQ(GetPixel(c.dc, 1, 21), kWhite);
    TEXTMETRICA tm;
    ASSERT_TRUE(GetTextMetricsA(c.dc, &tm));
    EXPECT_GT(tm.tmHeight, 8);
    EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
    SIZE size;
    GetTextExtentPoint32A(c.dc, "xx", 2, &size);
    EXPECT_EQ(size.cx, 2 * tm.tmAveCharWidth);
}

TEST(Drawing, SymbolFaceShowsLatinLettersAsGreek)
{
    Canvas greek(60, 30), symbol(60, 30);
    LOGFONTA lf{};
    lf.lfHeight = -14;
    std::strcpy(lf.lfFaceName, "Symbol");
    HFONT sym = CreateFontIndirectA(&lf);
    std::strcpy(lf.lfFaceName, "DejaVu Sans");
    HFONT plain = CreateFontIndirectA(&lf);
    SelectObject(symbol.dc, sym);
    SelectObject(greek.dc, plain);
    TextOutA(symbol.dc, 2, 2, "esh", 3);
    const char* epsilonSigmaEta = "εση";
    TextOutA(greek.dc, 2, 2, epsilonSigmaEta, static_cast<int>(std::strlen(epsilonSigmaEta)));
    int differences = 0, ink = 0;
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 60; x++) {
            differences += GetPixel(symbol.dc, x, y) != GetPixel(greek.dc, x, y);
            ink += GetPixel(symbol.dc, x, y) != kWhite;
        }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(ink, 10);
    SelectObject(symbol.dc, GetStockObject(SYSTEM_FONT));
    SelectObject(greek.dc, GetStockObject(SYSTEM_FONT));
    DeleteObject(sym);
    DeleteObject(plain);
}

namespace {

int gPaints = 0;      // paints received
bool gFillRed = true;  // whether a paint fills with red
LRESULT markingProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PAINT)
        return DefWindowProcA(hWnd, message, wParam, lParam);
    gPaints++;
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hWnd, &ps);
    RECT all{0, 0, 100, 100};
    if (gFillRed) {
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(hdc, &all, red);  // clipped to what was invalidated
        DeleteObject(red);
    }
    EndPaint(hWnd, &ps);
    return 0;
}

} // namespace

TEST(WindowPainting, ErasedPartTurnsWhiteKeptPartKeepsItsPictureAndPaintIsClipped)
{
    ensurePlatform();
    WNDCLASSA wc{};
    wc.lpfnWndProc = markingProc;
    wc.lpszClassName = "marking";
    ASSERT_TRUE(RegisterClassA(&wc));
    HWND hWnd = CreateWindowExA(0, "marking", "t", 0, 0, 0, 0, 0, nullptr, 0, nullptr, nullptr);
    ASSERT_NE(hWnd, nullptr);
    resizeClient(hWnd, 100, 100);
    gPaints = 0;
    EXPECT_EQ(runPendingPaints(hWnd), 1);
    EXPECT_EQ(runPendingPaints(hWnd), 0);  // nothing left to paint
    HDC hdc = GetDC(hWnd);
    SetPixel(hdc, 5, 5, RGB(0, 0, 255));
    SetPixel(hdc, 50, 50, RGB(0, 0, 255));
    SetPixel(hdc, 90, 90, RGB(0, 0, 255));
    ReleaseDC(hWnd, hdc);
    RECT kept{0, 0, 10, 10}, erased{40, 40, 60, 60};
    InvalidateRect(hWnd, &kept, 0);
    InvalidateRect(hWnd, &erased, 1);
    // A paint that draws nothing: the erased part is white, the kept part blue.
    gFillRed = false;
    runPendingPaints(hWnd);
    QImage image = windowRaster(hWnd);
    EXPECT_EQ(image.pixel(5, 5) & 0xFFFFFF, 0x0000FFu);    // invalidated without erasing: kept
    EXPECT_EQ(image.pixel(50, 50) & 0xFFFFFF, 0xFFFFFFu);  // erased to the background
    EXPECT_EQ(image.pixel(90, 90) & 0xFFFFFF, 0x0000FFu);  // outside the region: untouched
    EXPECT_EQ(image.pixel(20, 20) & 0xFFFFFF, 0xFF0000u);  // from the first, whole paint
    // A paint that fills everything reaches only the invalid region.
    gFillRed = true;
    InvalidateRect(hWnd, &kept, 0);
    runPendingPaints(hWnd);
    image = windowRaster(hWnd);
    EXPECT_EQ(image.pixel(5, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(image.pixel(50, 50) & 0xFFFFFF, 0xFFFFFFu);
    DestroyWindow(hWnd);
    stopPlatform();
}

namespace {

struct DialogResult {
    std::string text;  // what the procedure read from edit 1001
    int checked = -1;  // what it read from check box 1002
    bool initialised = false;
};

intptr_t sampleDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    static DialogResult* out = nullptr;
    if (message == WM_INITDIALOG) {
        out = reinterpret_cast<DialogResult*>(lParam);
        out->initialised = true;
        SetWindowTextA(GetDlgItem(dialog, 1001), "40");
        return 1;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        char buffer[32];
        GetWindowTextA(GetDlgItem(dialog, 1001), buffer, sizeof buffer);
        out->text = buffer;
        out->checked = static_cast<int>(SendMessageA(GetDlgItem(dialog, 1002), BM_GETCHECK, 0, 0));
        EndDialog(dialog, LOWORD(wParam));
        return 1;
    }
    return 0;
}

} // namespace

TEST(ScriptedDialogs, FieldsByLabelOrIdReachTheProcedureAndOkOrCancelEndsIt)
{
    ensurePlatform();
    registerDialogTemplate(DialogTemplateDesc{
        9001, "Sample", {{1001, "edit", "Min Length of Interval"}, {1002, "check", "bounds incl."}}});
    ScriptedSession session;
    setDialogService(&session);
    session.queue(ScriptedAnswer{true, {{"Min Length of Interval", "55"}, {"1002", "1"}}});
    session.queue(ScriptedAnswer{false, {}});
    DialogResult first, second, third;
    EXPECT_EQ(DialogBoxParamA(nullptr, 9001, nullptr, sampleDialog, reinterpret_cast<LPARAM>(&first)), IDOK);
    EXPECT_TRUE(first.initialised);
    EXPECT_EQ(first.text, "55");
    EXPECT_EQ(first.checked, BST_CHECKED);
    EXPECT_EQ(DialogBoxParamA(nullptr, 9001, nullptr, sampleDialog, reinterpret_cast<LPARAM>(&second)), IDCANCEL);
    EXPECT_EQ(second.text, "40");  // the value the dialog set itself
    EXPECT_EQ(second.checked, BST_UNCHECKED);
    // Nothing queued: the dialog is cancelled.
    EXPECT_EQ(DialogBoxParamA(nullptr, 9001, nullptr, sampleDialog, reinterpret_cast<LPARAM>(&third)), IDCANCEL);
    EXPECT_EQ(session.log.size(), 3u);
    setDialogService(nullptr);
    stopPlatform();
}

TEST(ScriptedDialogs, ReplyNamingNoControlCancelsTheDialogAndSaysWhichFieldsItHas)
{
    ensurePlatform();
    registerDialogTemplate(DialogTemplateDesc{
        9002, "Sample", {{1001, "edit", "Min Length of Interval"}, {1002, "check", "bounds incl."}}});
    ScriptedSession session;
    setDialogService(&session);
    // A misspelt label, an id the dialog lacks, ids beyond an int, a negative
    // id, a bare word: each cancels the dialog, and the good field before it
    // is not kept.
    for (const std::string name : {"Min Length of Intervall", "1003", "2147483647", "2147483648", "99999999999",
                                   "-1001", ""}) {
        session.replyError.clear();
        session.queue(ScriptedAnswer{true, {{"1001", "55"}, {name, "5"}}, 7});
        DialogResult result;
        EXPECT_EQ(DialogBoxParamA(nullptr, 9002, nullptr, sampleDialog, reinterpret_cast<LPARAM>(&result)), IDCANCEL)
            << name;
        EXPECT_EQ(result.text, "40") << name;
        const std::string& why = session.replyError;
        const std::string lacks = name.empty() ? "takes no bare word \"5\"" : "has no field \"" + name + "\"";
        EXPECT_EQ(why, "the dialog \"Sample\" opened by this line " + lacks +
                           " (answer at line 7); its fields: \"Min Length of Interval\" (1001), \"bounds incl.\" (1002)");
    }
    // Fields by label and by id still fit; nothing is reported.
    session.replyError.clear();
    session.queue(ScriptedAnswer{true, {{"Min Length of Interval", "55"}, {"0001002", "1"}}});
    DialogResult result;
    EXPECT_EQ(DialogBoxParamA(nullptr, 9002, nullptr, sampleDialog, reinterpret_cast<LPARAM>(&result)), IDOK);
    EXPECT_EQ(result.text, "55");
    EXPECT_EQ(result.checked, BST_CHECKED);
    EXPECT_EQ(session.replyError, "");
    setDialogService(nullptr);
    stopPlatform();
}
