// The parameter panel of view 10: its record (getParamsHeader,
// freeParamsHeader), its painting in full or over the last picture, and the
// presses, moves and releases that drag its levels and lines, pick a pulse
// count and apply a typed Tmin. Called by the paint dispatcher and the mouse
// entry points; the numbers come from paramspanel_layout.cpp.
//
// Sections: record - painting helpers - painting - mouse - release
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "display/display_private.h"
#include "display/textout.h"
#include "platform/allocation.h"
#include "platform/platform.h"
#include "resources/resources.h"
#include "shell/state.h"
#include "synthesis/synthesis.h"

namespace {

constexpr COLORREF kPanelBackground = RGB(235, 240, 225);  // as the subset panel
constexpr COLORREF kErasePen = RGB(250, 250, 250);         // draws over what moved
constexpr int kTminTextLimit = 100;                       // characters read from the edit field

ParamsValues valuesOf(const ParamsHeader& p)
{
    return ParamsValues{p.wPanelPulses, p.aPlus, p.bMinus, p.wPanelTmin, p.wPanelTmax, p.wPanelMaxPulses,
                        p.wPanelMinPulses};
}

// Gives the cursor back and lets the mouse go when the panel was hovered.
void endHovers(ParamsHeader* p)
{
    if (!(p->bAPlusHover || p->bBMinusHover || p->bTminHover || p->bTmaxHover))
        return;
    p->bAPlusHover = p->bBMinusHover = p->bTminHover = p->bTmaxHover = 0;
    SetCursor(p->hPreviousCursor);
    ReleaseCapture();
}

} // namespace

/*==========================================================================
** Record
**========================================================================*/

ParamsHeader* getParamsHeader(HWND hWnd, const SeriesHeader* lpSeriesHeader, ParamsHeader* lpParamsHeader)
{
    if (!lpSeriesHeader)
        return lpParamsHeader;
    const int32_t L = lpSeriesHeader->dwSeriesSize, n = lpSeriesHeader->wImpulseSize;
    const int32_t Tmax = lpSeriesHeader->wTmax, Tmin = lpSeriesHeader->wTmin;
    if (Tmin < 1 || Tmax < Tmin) {
        // A series always has 1 <= Tmin <= Tmax; a broken one is not shown.
        MessageBoxA(hWnd, Tmin < 1 ? "Неверно задан wTmin!" : "Неверно задан wTmax!", " getParamsHeader ", MB_OK);
        return lpParamsHeader;
    }
    const int32_t Mmin = (L + n - 1) / Tmax, Mmax = (L + Tmin - n) / Tmin;
    const int32_t count = std::max(0, Mmax - Mmin + 1);

    ParamsHeader* p = reuseOrMake(hWnd, lpParamsHeader, AllocSite::ParamsHeader, "Нет памяти для newParamsHeader!",
                                  " getParamsHeader ");
    if (!p)
        return nullptr;
    if (p->wAreasCapacity < count) {
        if (!assignFreshOrSay<RECT>(hWnd, AllocSite::ParamsAreas, p->areaStore, count,
                                    "Нет памяти для newParamsHeader->pulsesSelectedAreas!", " getParamsHeader ")) {
            // The caller stores the result: a record it no longer points to is released here.
            freeParamsHeader(hWnd, p);
            return nullptr;
        }
        p->pulsesSelectedAreas = p->areaStore.data();
        p->wAreasCapacity = count;
        p->dwAllocatedLength = L;
    }
    p->wAreasQuantity = count;
    p->wPanelMaxPulses = Mmax;
    p->wPanelMinPulses = Mmin;
    p->wPanelPulses = lpSeriesHeader->wImpulseQuantity;
    p->wPanelPulseLength = n;
    p->dwPanelLength = L;
    p->wPanelTmax = Tmax;
    p->wPanelTmin = Tmin;
    p->a = 0;
    p->aPlus = Tmax - n;
    p->bMinus = L - Tmax;
    p->b = L - n;
    char text[16];
    std::snprintf(text, sizeof text, "%d", Tmin);
    SetWindowTextA(GetDlgItem(hWnd, kTminEditId), text);
    p->initial = p->previous = valuesOf(*p);
    for (int32_t i = 0; i < p->wAreasCapacity; i++)
        p->pulsesSelectedAreas[i] = RECT{0, 0, 0, 0};
    // A fresh entry: nothing dragged, a full paint next.
    endHovers(p);
    p->bAPlusDrag = p->bBMinusDrag = p->bTminDrag = p->bTmaxDrag = 0;
    p->bChanged = 0;
    p->bPainted = 0;
    return p;
}

/*==========================================================================
** Painting helpers
**========================================================================*/

namespace {

bool sameLine(const ParamsLine& u, const ParamsLine& v)
{
    return u.from.x == v.from.x && u.from.y == v.from.y && u.to.x == v.to.x && u.to.y == v.to.y;
}

bool sameRect(const RECT& u, const RECT& v)
{
    return u.left == v.left && u.top == v.top && u.right == v.right && u.bottom == v.bottom;
}

// A segment with the current pen. An end point far outside `box` is first
// moved along the segment onto the box's edge, so that a line the values throw
// far away costs no more than one across the window; within the box the
// pixels are those of the whole segment up to rounding.
void drawSegment(HDC hdc, const ParamsLine& line, const RECT& box)
{
    auto inside = [&](const POINT& q) {
        return q.x >= box.left && q.x <= box.right && q.y >= box.top && q.y <= box.bottom;
    };
    if (inside(line.from) && inside(line.to)) {
        MoveToEx(hdc, line.from.x, line.from.y, nullptr);
        LineTo(hdc, line.to.x, line.to.y);
        return;
    }
    const double x0 = line.from.x, y0 = line.from.y, dx = double(line.to.x) - x0, dy = double(line.to.y) - y0;
    double t0 = 0, t1 = 1;
    const double stepOut[4] = {-dx, dx, -dy, dy};
    const double roomToEdge[4] = {x0 - box.left, box.right - x0, y0 - box.top, box.bottom - y0};
    for (int i = 0; i < 4; i++) {
        if (stepOut[i] == 0) {
            if (roomToEdge[i] < 0)
                return;  // parallel to this edge and outside it
            continue;
        }
        const double r = roomToEdge[i] / stepOut[i];
        if (stepOut[i] < 0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
    }
    if (t0 > t1)
        return;
    auto at = [](double origin, double t, double step) { return static_cast<int>(std::lround(origin + t * step)); };
    MoveToEx(hdc, at(x0, t0, dx), at(y0, t0, dy), nullptr);
    LineTo(hdc, at(x0, t1, dx), at(y0, t1, dy));
}

// Every second pixel from the line's start, up to (not including) its end.
void drawDotted(HDC hdc, const ParamsLine& line, const RECT& box)
{
    const int32_t from = std::max(line.from.x, box.left), to = std::min(line.to.x, box.right + 1);
    for (int32_t x = line.from.x + ((from - line.from.x + 1) & ~1); x < to; x += 2)
        SetPixel(hdc, x, line.from.y, RGB(0, 0, 0));
}

// Text whose right edge is at x; returns the rectangle it took (inclusive).
RECT textRightAligned(HDC hdc, int32_t x, int32_t y, int32_t textHeight, const std::string& s)
{
    const int32_t w = textWidth(hdc, s);
    text(hdc, x - w, y, s);
    return RECT{x - w, y, x - 1, y + textHeight - 1};
}

// Fills an inclusive rectangle.
void fill(HDC hdc, const RECT& r, COLORREF color)
{
    if (r.right < r.left || r.bottom < r.top)
        return;
    HBRUSH brush = CreateSolidBrush(color);
    const RECT exclusive{r.left, r.top, r.right + 1, r.bottom + 1};
    FillRect(hdc, &exclusive, brush);
    DeleteObject(brush);
}

ParamsTextSizes measure(HDC hdc, const ParamsHeader& p)
{
    const DisplayState& d = gDisplay;
    ParamsTextSizes sizes{};
    sizes.lineHeight = d.wLineHeight;
    sizes.textHeight = d.TextMetrics.tmHeight;
    sizes.aveCharWidth = d.wAveCharWidth;
    char b[16];
    std::snprintf(b, sizeof b, "%d", p.b);
    sizes.bLabelWidth = textWidth(hdc, b);
    sizes.buttonLabelWidth = std::max(textWidth(hdc, " Cancel "), textWidth(hdc, " OK "));
    sizes.tminLabelWidth = textWidth(hdc, " Tmin ");
    sizes.editWidth = textWidth(hdc, " 9999");
    return sizes;
}

// The erase pass of an incremental paint: what moved since the last paint is
// drawn again with the erase pen, and the texts' places are cleared, before
// everything is drawn on top. The frame and the panel keep their outlines.
void eraseMoved(HDC hdc, const ParamsPanelGeometry& g, const ParamsDiagram& diagram, const ParamsHeader& p,
                const RECT& box)
{
    HPEN pen = CreatePen(PS_SOLID, 1, kErasePen);
    HGDIOBJ oldPen = SelectObject(hdc, pen);
    if (!sameLine(p.MLine, diagram.mLine) || !sameLine(p.BLevelLine, diagram.bLevel)) {
        drawSegment(hdc, p.MLine, box);
        drawSegment(hdc, p.BLevelLine, box);
    }
    if (!sameLine(p.APlusLevelLine, diagram.aPlusLevel))
        drawSegment(hdc, p.APlusLevelLine, box);
    if (!sameLine(p.BMinusLevelLine, diagram.bMinusLevel))
        drawSegment(hdc, p.BMinusLevelLine, box);
    // Upward ticks beyond the new M (the scale is the same: same area, same Mmax).
    const ParamsScale scale = paramsScale(g, p);
    for (int32_t k = std::max(1, p.wPanelPulses + 1); k <= p.previous.M; k++) {
        MoveToEx(hdc, scale.x(k), g.plotBottom - 1, nullptr);
        LineTo(hdc, scale.x(k), g.plotBottom - 3);
    }
    for (int i = 0; i < 4; i++)
        if (!sameLine(p.DrawnLines[i], diagram.lines[i]))
            drawSegment(hdc, p.DrawnLines[i], box);
    SelectObject(hdc, oldPen);
    DeleteObject(pen);

    // The labels: the value column left of the plot, the index rows below the
    // axis (inside the panel's outline), and the text block left of the panel.
    const RECT& panel = g.panel;
    fill(hdc, RECT{panel.left + 1, panel.top + 1, g.plotLeft - g.marginX - 1, panel.bottom - 1}, RGB(255, 255, 255));
    fill(hdc, RECT{panel.left + 1, g.plotBottom + 3, panel.right - 1, panel.bottom - 1}, RGB(255, 255, 255));
    const int32_t textBottom = std::min(g.textAt.y + 15 * g.lineHeight, g.frameBottom - 1);
    fill(hdc, RECT{g.frameLeft + 1, g.textAt.y, std::min(panel.left, g.frameRight) - 1, textBottom},
         RGB(255, 255, 255));

    SelectObject(hdc, GetStockObject(BLACK_PEN));
    SelectObject(hdc, GetStockObject(NULL_BRUSH));
    Rectangle(hdc, g.frameLeft, g.frameTop, g.frameRight + 1, g.frameTop + g.frameHeight + 1);
    Rectangle(hdc, panel.left, panel.top, panel.right + 1, panel.bottom + 1);
}

// Keeps what the mouse handling hit-tests and the next erase pass erases.
void recordPanelShapes(ParamsHeader* p, const ParamsPanelGeometry& g, const ParamsDiagram& diagram)
{
    p->PanelRect = g.panel;
    p->PlotRect = RECT{g.plotLeft, g.plotTop, g.plotRight, g.plotBottom};
    for (size_t i = 0; i < diagram.areas.size() && i < size_t(p->wAreasCapacity); i++)
        p->pulsesSelectedAreas[i] = diagram.areas[i];
    p->APlusHandleRect = diagram.aPlusHandle;
    p->BMinusHandleRect = diagram.bMinusHandle;
    p->TmaxLine = diagram.lines[0];
    p->TminLine = diagram.lines[1];
    p->wTmaxLineTolerance = p->wTminLineTolerance = diagram.tolerance;
    for (int i = 0; i < 4; i++)
        p->DrawnLines[i] = diagram.lines[i];
    p->BLevelLine = diagram.bLevel;
    p->MLine = diagram.mLine;
    p->APlusLevelLine = diagram.aPlusLevel;
    p->BMinusLevelLine = diagram.bMinusLevel;
    p->ParamsCancelRect = g.cancel;
    p->ParamsOKRect = g.ok;
}

// Axes, ticks (two pixels off the axis each way), b level, M line, dotted levels.
void drawAxesAndLevels(HDC hdc, const ParamsPanelGeometry& g, const ParamsDiagram& diagram, const RECT& box)
{
    drawSegment(hdc, diagram.axisY, box);
    drawSegment(hdc, diagram.axisX, box);
    for (int32_t x : diagram.upTicks) {
        MoveToEx(hdc, x, g.plotBottom - 1, nullptr);
        LineTo(hdc, x, g.plotBottom - 3);
    }
    for (int32_t x : diagram.downTicks) {
        MoveToEx(hdc, x, g.plotBottom + 1, nullptr);
        LineTo(hdc, x, g.plotBottom + 3);
    }
    drawSegment(hdc, diagram.bLevel, box);
    drawSegment(hdc, diagram.mLine, box);
    drawDotted(hdc, diagram.aPlusLevel, box);
    drawDotted(hdc, diagram.bMinusLevel, box);
}

// Index labels (1..M, and Mmin..Mmax one line lower) and the value labels left
// of the plot, centred on their levels; keeps where a+ and b- went.
void drawPanelLabels(HDC hdc, const ParamsPanelGeometry& g, const ParamsDiagram& diagram, ParamsHeader* p)
{
    const ParamsScale scale = paramsScale(g, *p);
    char label[32];
    const int32_t row = g.plotBottom + g.textHeight / 2;
    for (int32_t k = 1; k <= p->wPanelPulses; k++) {
        std::snprintf(label, sizeof label, "%d", k);
        textRightAligned(hdc, scale.x(k) + g.aveCharWidth / 2, row, g.textHeight, label);
    }
    for (int32_t k = p->wPanelMinPulses; k <= p->wPanelMaxPulses; k++) {
        std::snprintf(label, sizeof label, "%d", k);
        textRightAligned(hdc, scale.x(k) + g.aveCharWidth / 2, row + g.lineHeight, g.textHeight, label);
    }
    const int32_t labelRight = g.plotLeft - g.marginX;
    std::snprintf(label, sizeof label, "%d", p->a);
    textRightAligned(hdc, labelRight, g.plotBottom - g.textHeight / 2, g.textHeight, label);
    std::snprintf(label, sizeof label, "%d", p->aPlus);
    p->APlusLabelRect =
        textRightAligned(hdc, labelRight, diagram.aPlusLevel.from.y - g.textHeight / 2, g.textHeight, label);
    std::snprintf(label, sizeof label, "%d", p->bMinus);
    p->BMinusLabelRect =
        textRightAligned(hdc, labelRight, diagram.bMinusLevel.from.y - g.textHeight / 2, g.textHeight, label);
    std::snprintf(label, sizeof label, "%d", p->b);
    textRightAligned(hdc, labelRight, diagram.bLevel.from.y - g.textHeight / 2, g.textHeight, label);
}

// Geometry texts, then after a blank line the value block, its labels
// right-aligned to the width of the widest one.
void drawPanelTexts(HDC hdc, const ParamsPanelGeometry& g, const ParamsHeader& p)
{
    int32_t y = g.textAt.y;
    for (const std::string& line : paramsGeometryTexts(p)) {
        text(hdc, g.textAt.x, y, line);
        y += g.lineHeight;
    }
    y += g.lineHeight;
    const int32_t valueX = g.textAt.x + textWidth(hdc, " pulses = ");
    for (const auto& [name, value] : paramsValueTexts(p)) {
        if (!name.empty()) {
            textRightAligned(hdc, valueX, y, g.textHeight, name);
            text(hdc, valueX, y, value);
        }
        y += g.lineHeight;
    }
}

// The Cancel and OK buttons on the panel's background.
void drawPanelButtons(HWND hWnd, HDC hdc, const ParamsPanelGeometry& g)
{
    HBRUSH background = CreateSolidBrush(kPanelBackground);
    HGDIOBJ oldBrush = SelectObject(hdc, background);
    const int previousMode = SetBkMode(hdc, TRANSPARENT);
    drawTextButton(hWnd, hdc, g.cancel, " Cancel ");
    drawTextButton(hWnd, hdc, g.ok, " OK ");
    SetBkMode(hdc, previousMode);
    SelectObject(hdc, oldBrush);
    DeleteObject(background);
}

} // namespace

/*==========================================================================
** Painting
**========================================================================*/

int drawParamsPanel(HWND hWnd, HDC hdc, ParamsHeader* lpParamsHeader, SeriesHeader*)
{
    ParamsHeader* p = lpParamsHeader;
    if (!p)
        return 0;
    const RECT area = gDisplay.SeriesAreaRect;
    const ParamsPanelGeometry g = paramsPanelGeometry(area, measure(hdc, *p));
    const ParamsDiagram diagram = paramsDiagram(g, *p);
    // Lines are drawn within the area and a margin around it.
    const RECT box{area.left - 64, area.top - 64, area.right + 64, area.bottom + 64};
    HGDIOBJ oldPen = SelectObject(hdc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(hdc, GetStockObject(WHITE_BRUSH));
    const int oldMode = SetBkMode(hdc, OPAQUE);
    const COLORREF oldBk = SetBkColor(hdc, RGB(255, 255, 255));

    // Over the last picture only when it is there to be drawn over.
    const bool incremental = p->bChanged && p->bPainted && sameRect(p->LastAreaRect, area);
    if (incremental) {
        eraseMoved(hdc, g, diagram, *p, box);
        SelectObject(hdc, GetStockObject(BLACK_PEN));
        SelectObject(hdc, GetStockObject(WHITE_BRUSH));
    } else {
        fill(hdc, area, kPanelBackground);
        Rectangle(hdc, g.frameLeft, g.frameTop, g.frameRight + 1, g.frameTop + g.frameHeight + 1);
        Rectangle(hdc, g.panel.left, g.panel.top, g.panel.right + 1, g.panel.bottom + 1);
    }
    recordPanelShapes(p, g, diagram);
    drawAxesAndLevels(hdc, g, diagram, box);
    drawPanelLabels(hdc, g, diagram, p);
    for (const ParamsLine& line : diagram.lines)  // the slanted lines
        drawSegment(hdc, line, box);
    drawPanelTexts(hdc, g, *p);
    // " Tmin " and the edit field right of it.
    text(hdc, g.tminLabelAt.x, g.tminLabelAt.y, " Tmin ");
    if (gState.hTminEdit)
        MoveWindow(gState.hTminEdit, g.editAt.x, g.editAt.y, g.editSize.cx, g.editSize.cy, 1);
    drawPanelButtons(hWnd, hdc, g);

    // What this paint showed.
    p->previous = valuesOf(*p);
    p->bChanged = 0;
    p->bPainted = 1;
    p->LastAreaRect = area;
    SelectObject(hdc, oldBrush);
    SelectObject(hdc, oldPen);
    SetBkColor(hdc, oldBk);
    SetBkMode(hdc, oldMode);
    return 1;
}

void leaveParamsPanel(HWND)
{
    if (gState.hTminEdit)
        MoveWindow(gState.hTminEdit, 0, 0, 0, 0, 1);
    if (gState.lpParamsHeader)
        endHovers(gState.lpParamsHeader);
}

/*==========================================================================
** Mouse
**========================================================================*/

namespace {

bool hit(const RECT& r, int x, int y)
{
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

void send(HWND hWnd, UINT command)
{
    SendMessageA(hWnd, WM_COMMAND, command, 0);
}

void redraw(HWND hWnd, ParamsHeader* p)
{
    p->bChanged = 1;
    send(hWnd, CM_REDRAW_AREA_NOERASE);
}

// Leaving the panel: the next series and its results, or first the subset
// view for a tuple series that has no subset yet.
void leavePanel(HWND hWnd)
{
    ProgramState& s = gState;
    if (isTupleSeries(s.wSeriesType) && s.wSelectedSubsetLength == 0) {
        s.wViewMode = kViewSubset;
        return send(hWnd, IDM_SELECT_SET);
    }
    send(hWnd, CM_NEXT_SERIES);
}

// The typed Tmin: a decimal number, blanks around it allowed, within
// [pulse length, Tmax] (a Tmin of 0 would divide the pulse-count bounds by
// zero; one below the pulse length overlaps pulses; one above Tmax leaves no
// interval). Anything else is refused with a message; `value` is then untouched.
bool readTypedTmin(HWND hWnd, const char* typed, uint16_t& value)
{
    const ProgramState& s = gState;
    const int64_t low = std::max<int64_t>(1, s.wImpulseSize), high = s.wTmax;
    const char* c = typed;
    while (*c == ' ' || *c == '\t')
        c++;
    const char* number = c;
    int64_t v = 0;
    int digits = 0;
    for (; std::isdigit(static_cast<unsigned char>(*c)); c++, digits++)
        v = std::min<int64_t>(v * 10 + (*c - '0'), 1000000);
    while (*c == ' ' || *c == '\t')
        c++;
    std::string text;
    if (digits == 0 || *c != '\0')
        text = "\"Tmin\" must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
               ", not \"" + typed + "\".";
    else if (v < low || v > high)
        text = "\"Tmin\" must be from " + std::to_string(low) + " (the pulse length) to " + std::to_string(high) +
               " (Tmax), not " + std::string(number, digits) + ".";
    if (!text.empty()) {
        MessageBoxA(hWnd, text.c_str(), " Bad value ", MB_OK | MB_ICONWARNING);
        return false;
    }
    value = static_cast<uint16_t>(v);
    return true;
}

} // namespace

int pressParamsPanel(HWND hWnd, int x, int y)
{
    ProgramState& s = gState;
    ParamsHeader* p = s.lpParamsHeader;
    if (!p)
        return 0;
    if (hit(p->ParamsCancelRect, x, y)) {
        leaveParamsPanel(hWnd);
        s.wViewMode = kViewResults;
        s.bSeriesLengthChanged = s.bNoiseLevelChanged = s.bLostDataLevelChanged = 0;
        leavePanel(hWnd);
        return 1;
    }
    if (hit(p->ParamsOKRect, x, y)) {
        char typed[kTminTextLimit + 1] = "";
        GetWindowTextA(s.hTminEdit, typed, sizeof typed);
        if (!readTypedTmin(hWnd, typed, s.wTmin))
            return 1;  // the panel stays, with the text as typed
        if (s.hTminEdit)
            MoveWindow(s.hTminEdit, 0, 1000, 0, 0, 1);
        s.bButtonsChanged = 1;
        s.wViewMode = kViewResults;
        s.bLostDataLevelChanged = 0;
        leavePanel(hWnd);
        return 1;
    }
    for (int32_t i = 0; i < p->wAreasQuantity && i < p->wAreasCapacity; i++)
        if (hit(p->pulsesSelectedAreas[i], x, y)) {
            p->wPanelPulses = p->wPanelMinPulses + i;
            redraw(hWnd, p);
            return 1;
        }
    if (hit(p->APlusHandleRect, x, y)) {
        p->bAPlusDrag = 1;
        return 1;
    }
    if (hit(p->BMinusHandleRect, x, y)) {
        p->bBMinusDrag = 1;
        return 1;
    }
    if (hitTminLine(x, y, p)) {
        p->bTminDrag = 1;
        return 1;
    }
    if (hitTmaxLine(x, y, p)) {
        p->bTmaxDrag = 1;
        return 1;
    }
    return 0;
}

namespace {

// Hover tracking of the four draggable elements. Entering the first one
// captures the mouse and shows its sizing cursor, remembering the cursor
// before; moving between elements switches the cursor; leaving the last one
// gives the remembered cursor back and lets the mouse go. (Elements overlap
// near the plot's corners, so one remembered cursor and one capture serve all.)
void trackHovers(HWND hWnd, ParamsHeader* p, const bool inside[4])
{
    int32_t* hovers[4] = {&p->bAPlusHover, &p->bBMinusHover, &p->bTminHover, &p->bTmaxHover};
    static const intptr_t cursors[4] = {IDC_SIZENS, IDC_SIZENS, IDC_SIZENWSE, IDC_SIZENWSE};
    bool before = false, changed = false;
    int first = -1;
    for (int i = 0; i < 4; i++) {
        before = before || *hovers[i];
        changed = changed || (*hovers[i] != 0) != inside[i];
        *hovers[i] = inside[i] ? 1 : 0;
        if (inside[i] && first < 0)
            first = i;
    }
    if (!changed)
        return;
    if (first < 0) {
        SetCursor(p->hPreviousCursor);
        ReleaseCapture();
        return;
    }
    HCURSOR shown = SetCursor(LoadCursorA(nullptr, cursors[first]));
    if (!before) {
        p->hPreviousCursor = shown;
        SetCapture(hWnd);
    }
}

// One step of a Tmin or Tmax line drag: the value at the mouse is taken while
// it is admissible; the drag ends on release or at an inadmissible value.
template <typename Valid>
void followLine(int32_t v, Valid valid, bool release, const ParamsHeader* p, int32_t& value, int32_t& dragging)
{
    const bool admissible = valid(v, p);
    if (admissible)
        value = v;
    if (release || !admissible)
        dragging = 0;
}

// Takes the dragged value from the point; false when nothing is dragged.
// An inadmissible Tmin or Tmax stops its drag and keeps the old value.
bool dragTo(ParamsHeader* p, int x, int y, bool release)
{
    if (p->bAPlusDrag) {
        p->aPlus = levelFromPoint(y, p);
        if (release)
            p->bAPlusDrag = 0;
    } else if (p->bBMinusDrag) {
        p->bMinus = levelFromPoint(y, p);
        if (release)
            p->bBMinusDrag = 0;
    } else if (p->bTminDrag) {
        followLine(tminFromPoint(x, y, p), validTmin, release, p, p->wPanelTmin, p->bTminDrag);
    } else if (p->bTmaxDrag) {
        followLine(tmaxFromPoint(x, y, p), validTmax, release, p, p->wPanelTmax, p->bTmaxDrag);
    } else {
        return false;
    }
    return true;
}

} // namespace

void moveParamsPanel(HWND hWnd, int x, int y)
{
    ParamsHeader* p = gState.lpParamsHeader;
    if (gState.wViewMode != kViewParams || !p)
        return;
    if (dragTo(p, x, y, false))
        return redraw(hWnd, p);
    const bool inside[4] = {hit(p->APlusHandleRect, x, y), hit(p->BMinusHandleRect, x, y),
                            hitTminLine(x, y, p) != 0, hitTmaxLine(x, y, p) != 0};
    trackHovers(hWnd, p, inside);
}

void releaseParamsPanel(HWND hWnd, int x, int y)
{
    ParamsHeader* p = gState.lpParamsHeader;
    if (gState.wViewMode != kViewParams || !p)
        return;
    if (dragTo(p, x, y, true))
        redraw(hWnd, p);
}

/*==========================================================================
** Release
**========================================================================*/

void freeParamsHeader(HWND, ParamsHeader* lpParamsHeader)
{
    if (!lpParamsHeader)
        return;
    std::unique_ptr<ParamsHeader> released(lpParamsHeader);  // with its areas
}
