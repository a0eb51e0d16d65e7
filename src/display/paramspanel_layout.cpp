// The parameter panel as plain numbers: the frame, panel and plot rectangles,
// the scales, every line and hit rectangle of the diagram, the texts, the hit
// tests of the two draggable lines and the values a point stands for. Used by
// the panel's painter and mouse handling (paramspanel.cpp) and by the tests.
//
// Sections: helpers - geometry - scales - diagram - texts - hit tests and values
#include <algorithm>
#include <cstdio>
#include <limits>

#include "display/display_private.h"

/*==========================================================================
** Helpers
**========================================================================*/

namespace {

// Coordinates and values are worked out in 64 bits and kept well inside 32
// bits, so that a far-off end point of a line can still be compared, moved by
// a margin and clipped without overflow.
constexpr int64_t kCoordinateLimit = int64_t(1) << 30;

int32_t coordinate(int64_t v)
{
    return static_cast<int32_t>(std::clamp(v, -kCoordinateLimit, kCoordinateLimit));
}

int32_t value32(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// The divisors of the scales: Mmax - 1 and b - a, one step at least (a panel
// of one pulse count or of a series no longer than its pulse has a single
// position on that axis; its other points are placed as if one step away).
int64_t stepsOf(int32_t Mmax)
{
    return std::max<int64_t>(1, int64_t(Mmax) - 1);
}

int64_t spanOf(int32_t a, int32_t b)
{
    return std::max<int64_t>(1, int64_t(b) - a);
}

std::string format(const char* pattern, int64_t v)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, static_cast<long long>(v));
    return text;
}

std::string format(const char* pattern, int64_t v1, int64_t v2)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, static_cast<long long>(v1), static_cast<long long>(v2));
    return text;
}

std::string format(const char* pattern, int64_t v1, int64_t v2, int64_t v3, int64_t v4)
{
    char text[96];
    std::snprintf(text, sizeof text, pattern, static_cast<long long>(v1), static_cast<long long>(v2),
                  static_cast<long long>(v3), static_cast<long long>(v4));
    return text;
}

// Least pulse count that still fits between a+ and b- with intervals of at
// most t: ((b- - a+) - 1 + t) / t + 1; 1 when b- is not beyond a+.
int64_t leastCount(const ParamsHeader* p, int64_t t)
{
    if (p->bMinus <= p->aPlus)
        return 1;
    return (int64_t(p->bMinus) - p->aPlus - 1 + t) / t + 1;
}

} // namespace

/*==========================================================================
** Geometry
**========================================================================*/

ParamsPanelGeometry paramsPanelGeometry(const RECT& area, const ParamsTextSizes& sz)
{
    ParamsPanelGeometry g{};
    g.W = area.right - area.left + 1;  // right and bottom of the area are inclusive
    g.H = area.bottom - area.top + 1;
    g.mx = g.W / 170;
    g.my = g.H / 131;
    g.h = sz.lineHeight;
    g.th = sz.textHeight;
    g.cw = sz.aveCharWidth;
    g.bw = sz.buttonLabelWidth + 4 * g.cw;
    g.bh = 2 * g.h - 1;
    // The frame leaves room below it for the buttons.
    g.fl = area.left + g.mx;
    g.fr = area.right - g.mx;
    g.ft = area.top + g.my;
    g.fb = area.bottom - 3 * g.my - g.bh;
    g.fw = g.fr - g.fl;
    g.fh = g.fb - g.ft;
    g.panel = RECT{g.fl + g.fw / 4, g.ft + g.fh / 8, g.fr - g.mx, g.ft + g.fh - g.my};
    // The plot: room for the value labels on the left, two label rows below.
    g.px = g.panel.left + sz.bLabelWidth + 2 * g.mx;
    g.py0 = g.panel.top + 5 * g.my;
    g.right = g.panel.right - 5 * g.mx;
    g.py = g.panel.bottom - 3 * g.th;
    g.pw = g.right - g.px + 1;
    g.ph = g.py - g.py0 + 1;
    g.textAt = POINT{g.fl + g.mx, g.ft + 3 * g.my};
    g.tminLabelAt = POINT{g.fl + g.mx, g.ft + g.fh - 3 * g.my - g.th};
    // The edit field: right of " Tmin ", one pixel higher, one pixel of room above and below the text.
    g.editAt = POINT{g.tminLabelAt.x + sz.tminLabelWidth, g.tminLabelAt.y - 1};
    g.editSize = SIZE{sz.editWidth, g.th + 2};
    const int32_t top = g.ft + g.fh + g.h / 2;
    g.cancel = RECT{g.fl, top, g.fl + g.bw, top + g.bh};
    const int32_t okLeft = g.fl + g.bw + 2 * g.cw;
    g.ok = RECT{okLeft, top, okLeft + g.bw, top + g.bh};
    return g;
}

/*==========================================================================
** Scales
**========================================================================*/

ParamsScale paramsScale(const ParamsPanelGeometry& g, const ParamsHeader& p)
{
    return ParamsScale{g.px, g.py, g.pw, g.ph, p.wPanelMaxPulses, p.a, p.b};
}

int32_t ParamsScale::x(int64_t k) const
{
    return coordinate(px + (k - 1) * pw / stepsOf(Mmax));
}

int32_t ParamsScale::y(int64_t v) const
{
    return coordinate(py - (v - a) * ph / spanOf(a, b));
}

int32_t ParamsScale::halfStepX(int64_t s) const
{
    const int64_t d = stepsOf(Mmax);
    return coordinate(px + (s * pw + d) / (2 * d));
}

int32_t ParamsScale::halfStepY(int64_t w) const
{
    const int64_t d = spanOf(a, b);
    return coordinate(py - (w * ph + d) / (2 * d));
}

int32_t ParamsScale::leftX() const
{
    const int64_t d = stepsOf(Mmax);
    return coordinate(px - (pw + d) / (2 * d));
}

/*==========================================================================
** Diagram
**========================================================================*/

ParamsDiagram paramsDiagram(const ParamsPanelGeometry& g, const ParamsHeader& p)
{
    const ParamsScale sc = paramsScale(g, p);
    ParamsDiagram dg{};
    const int64_t M = p.wPanelPulses, Mmin = p.wPanelMinPulses, Mmax = p.wPanelMaxPulses;
    const int64_t Tmin = p.wPanelTmin, Tmax = p.wPanelTmax;
    const int64_t a = p.a, b = p.b, aPlus = p.aPlus, bMinus = p.bMinus;

    dg.axisY = ParamsLine{{g.px, g.py}, {g.px, g.py - g.ph}};
    dg.axisX = ParamsLine{{g.px, g.py}, {g.px + g.pw + g.mx, g.py}};
    for (int64_t k = 1; k <= M; k++)
        dg.upTicks.push_back(sc.x(k));
    // Each pulse count owns half a step on either side of its tick.
    const int32_t d = static_cast<int32_t>((g.pw / stepsOf(p.wPanelMaxPulses)) / 2);
    for (int64_t k = Mmin; k <= Mmax; k++) {
        const int32_t xk = sc.x(k);
        dg.downTicks.push_back(xk);
        dg.areas.push_back(RECT{xk - d, g.py - g.th / 2, xk + d, g.py + g.th / 2});
    }

    const int32_t xM = sc.x(M), yA = sc.y(a), yB = sc.y(b);
    dg.bLevel = ParamsLine{{g.px, yB}, {xM, yB}};
    dg.mLine = ParamsLine{{xM, yA}, {xM, yB}};
    const int32_t levelLeft = g.px - g.mx / 2, levelRight = xM + g.mx, grip = g.my / 2 + 1;
    const int32_t yAPlus = sc.y(aPlus), yBMinus = sc.y(bMinus);
    dg.aPlusLevel = ParamsLine{{levelLeft, yAPlus}, {levelRight, yAPlus}};
    dg.bMinusLevel = ParamsLine{{levelLeft, yBMinus}, {levelRight, yBMinus}};
    dg.aPlusHandle = RECT{levelLeft, yAPlus - grip, levelRight, yAPlus + grip};
    dg.bMinusHandle = RECT{levelLeft, yBMinus - grip, levelRight, yBMinus + grip};

    // The slanted lines run in half steps: s = 2 (k - 1) along x, w = 2 (v - a) along y.
    // Line 1, latest start from the first pulse: a+ + (k - 1) Tmax, up to where it meets line 2.
    int64_t c = 2 * M + 1;
    if (Tmin < Tmax) {
        const int64_t s = (b - M * Tmin - aPlus) + Tmax + (Tmax - Tmin);
        c = (2 * s - 1) / (Tmax - Tmin) - 1;
    }
    c = std::max<int64_t>(c, 1);
    dg.lines[0] = ParamsLine{{sc.leftX(), sc.halfStepY(2 * (aPlus - a) - Tmax)},
                             {sc.halfStepX(c - 2), sc.halfStepY(c * Tmax + 2 * (aPlus - a) - 2 * Tmax)}};
    // Line 2, latest start from the end: b - (M - k) Tmin, from where line 1 meets it.
    const int64_t c1 = std::max<int64_t>(c - 1, 1);
    dg.lines[1] = ParamsLine{{sc.halfStepX(c1 - 2), sc.halfStepY(2 * (b - a) + (c1 - 2 * M) * Tmin)},
                             {sc.halfStepX(2 * M - 1), sc.halfStepY(2 * (b - a) + Tmin)}};
    // Line 3, earliest start from the first pulse: a + (k - 1) Tmin, up to where it meets line 4.
    int64_t c2 = 2 * M + 1;
    if (Tmin < Tmax) {
        const int64_t s = (a + M * Tmax - Tmin - bMinus) + (Tmax - Tmin);
        c2 = (2 * s - 1) / (Tmax - Tmin) - 1;
    }
    c2 = std::clamp<int64_t>(c2, 1, std::max<int64_t>(1, 2 * M + 1));
    const int64_t span = spanOf(p.a, p.b);
    dg.lines[2] = ParamsLine{{sc.leftX(), coordinate(g.py + (Tmin * g.ph + span) / (2 * span))},
                             {sc.halfStepX(c2 - 2), sc.halfStepY((c2 - 2) * Tmin)}};
    // Line 4, earliest start from the end: b- - (M - k) Tmax.
    dg.lines[3] = ParamsLine{{sc.halfStepX(c2 - 3), sc.halfStepY((c2 - 1) * Tmax + 2 * (bMinus - M * Tmax - a))},
                             {sc.halfStepX(2 * M - 1), sc.halfStepY(Tmax + 2 * (bMinus - a))}};
    dg.c = value32(c);
    dg.c1 = value32(c1);
    dg.c2 = value32(c2);
    dg.tolerance = g.my / 2 + 1;
    return dg;
}

/*==========================================================================
** Texts
**========================================================================*/

std::vector<std::string> paramsGeometryTexts(const ParamsHeader& p)
{
    const ParamsLine& t = p.TminLine;
    const RECT& r = p.PlotRect;
    return {format(" (%lld,%lld) - (%lld,%lld) ", t.from.x, t.from.y, t.to.x, t.to.y),
            format(" h = %lld", p.wTminLineTolerance),
            format(" (%lld,%lld) - (%lld,%lld) ", r.left, r.top, r.right, r.bottom),
            format(" w %lld, h %lld", int64_t(r.right) - r.left + 1, int64_t(r.bottom) - r.top + 1)};
}

std::vector<std::pair<std::string, std::string>> paramsValueTexts(const ParamsHeader& p)
{
    const int64_t Tmax = p.wPanelTmax, Tmin = p.wPanelTmin;
    const int64_t countFromTmax = Tmax > 0 ? (int64_t(p.bMinus) - p.aPlus - 1 + Tmax) / Tmax + 1 : p.wPanelMinPulses;
    const int64_t countFromTmin = Tmin > 0 ? (int64_t(p.b) - p.a) / Tmin + 1 : p.wPanelMaxPulses;
    return {{" a   = ", format("%lld     ", p.a)},
            {" a+ = ", format("%lld     ", p.aPlus)},
            {" b-  = ", format("%lld     ", p.bMinus)},
            {" b   = ", format("%lld     ", p.b)},
            {"", ""},
            {" Tmin = ", format("%lld [%lld]    ", Tmin, p.previous.Tmin)},
            {" Tmax = ", format("%lld     ", Tmax)},
            {" pulses = ", format("%lld     ", p.wPanelPulses)},
            {" Mmin = ", format("%lld [%lld]     ", p.wPanelMinPulses, countFromTmax)},
            {" Mmax = ", format("%lld [%lld]     ", p.wPanelMaxPulses, countFromTmin)}};
}

/*==========================================================================
** Hit tests and values from a point
**========================================================================*/

int hitParamsLine(const ParamsLine& line, int32_t tolerance, int x, int y)
{
    const int64_t d = int64_t(x) - line.from.x, span = int64_t(line.to.x) - line.from.x;
    if (d < 0 || d > span)
        return 0;
    const int64_t y1 = line.from.y, y2 = line.to.y, dy = int64_t(y) - y2;
    if (span == 0)  // a vertical line: anywhere along it, with the tolerance beyond its ends
        return dy >= std::min<int64_t>(0, y1 - y2) - tolerance && dy <= std::max<int64_t>(0, y1 - y2) + tolerance;
    // Height of the line above its end point at x, rounded.
    const int64_t yl = (span + (span - d) * (y1 - y2) * 2) / (2 * span);
    return (yl - tolerance <= dy && dy <= yl + tolerance) ? 1 : 0;
}

int hitTmaxLine(int x, int y, const ParamsHeader* p)
{
    return p ? hitParamsLine(p->TmaxLine, p->wTmaxLineTolerance, x, y) : 0;
}

int hitTminLine(int x, int y, const ParamsHeader* p)
{
    return p ? hitParamsLine(p->TminLine, p->wTminLineTolerance, x, y) : 0;
}

int32_t tmaxFromPoint(int x, int y, const ParamsHeader* p)
{
    if (!p || !p->bTmaxHover)
        return 0;
    const int64_t px = p->PlotRect.left, py0 = p->PlotRect.top;
    const int64_t H = int64_t(p->PlotRect.bottom) - py0 + 1, W = int64_t(p->PlotRect.right) - px + 1;
    const int64_t q = (x - px) * (int64_t(p->wPanelMaxPulses) - 1) * H;
    if (q < 1)
        return 0;
    const int64_t rise = (int64_t(p->b) - p->a) * (H - (y - py0)) - (int64_t(p->aPlus) - p->a) * H;
    return value32((q + rise * W * 2) / (2 * q));
}

int32_t tminFromPoint(int x, int y, const ParamsHeader* p)
{
    if (!p || !p->bTminHover)
        return 0;
    const int64_t px = p->PlotRect.left, py0 = p->PlotRect.top;
    const int64_t H = int64_t(p->PlotRect.bottom) - py0 + 1, W = int64_t(p->PlotRect.right) - px + 1;
    const int64_t q = ((int64_t(p->wPanelPulses) - 1) * W - (x - px) * (int64_t(p->wPanelMaxPulses) - 1)) * H;
    if (q < 1)
        return 0;
    return value32((q + (int64_t(p->b) - p->a) * (y - py0) * W * 2) / (2 * q));
}

int validTmin(int32_t v, const ParamsHeader* p)
{
    if (!p || v < 1 || v < p->wPanelPulseLength || v > p->wPanelTmax)
        return 0;
    const int64_t M = p->wPanelPulses;
    return ((int64_t(p->b) - p->a) / v + 1 >= M && M >= leastCount(p, p->wPanelTmax)) ? 1 : 0;
}

int validTmax(int32_t v, const ParamsHeader* p)
{
    if (!p || p->wPanelTmin < 1 || v <= p->wPanelTmin || v > p->bMinus)
        return 0;
    const int64_t M = p->wPanelPulses;
    return ((int64_t(p->b) - p->a) / p->wPanelTmin + 1 >= M && M >= leastCount(p, v)) ? 1 : 0;
}

int32_t levelFromPoint(int y, const ParamsHeader* p)
{
    if (!p)
        return 0;
    const int64_t H = int64_t(p->PlotRect.bottom) - p->PlotRect.top + 1;
    if (H < 1)
        return p->a;
    const int64_t v = p->a + ((int64_t(p->PlotRect.bottom) - y) * (int64_t(p->b) - p->a)) / H;
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::min(p->a, p->b), std::max(p->a, p->b)));
}
