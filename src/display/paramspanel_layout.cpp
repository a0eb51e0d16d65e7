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

ParamsPanelGeometry paramsPanelGeometry(const RECT& area, const ParamsTextSizes& sizes)
{
    ParamsPanelGeometry g{};
    g.W = area.right - area.left + 1;  // right and bottom of the area are inclusive
    g.H = area.bottom - area.top + 1;
    g.marginX = g.W / 170;
    g.marginY = g.H / 131;
    g.lineHeight = sizes.lineHeight;
    g.textHeight = sizes.textHeight;
    g.aveCharWidth = sizes.aveCharWidth;
    g.buttonWidth = sizes.buttonLabelWidth + 4 * g.aveCharWidth;
    g.buttonHeight = 2 * g.lineHeight - 1;
    // The frame leaves room below it for the buttons.
    g.frameLeft = area.left + g.marginX;
    g.frameRight = area.right - g.marginX;
    g.frameTop = area.top + g.marginY;
    g.frameBottom = area.bottom - 3 * g.marginY - g.buttonHeight;
    g.frameWidth = g.frameRight - g.frameLeft;
    g.frameHeight = g.frameBottom - g.frameTop;
    g.panel = RECT{g.frameLeft + g.frameWidth / 4, g.frameTop + g.frameHeight / 8, g.frameRight - g.marginX,
                   g.frameTop + g.frameHeight - g.marginY};
    // The plot: room for the value labels on the left, two label rows below.
    g.plotLeft = g.panel.left + sizes.bLabelWidth + 2 * g.marginX;
    g.plotTop = g.panel.top + 5 * g.marginY;
    g.plotRight = g.panel.right - 5 * g.marginX;
    g.plotBottom = g.panel.bottom - 3 * g.textHeight;
    g.plotWidth = g.plotRight - g.plotLeft + 1;
    g.plotHeight = g.plotBottom - g.plotTop + 1;
    g.textAt = POINT{g.frameLeft + g.marginX, g.frameTop + 3 * g.marginY};
    g.tminLabelAt = POINT{g.frameLeft + g.marginX, g.frameTop + g.frameHeight - 3 * g.marginY - g.textHeight};
    // The edit field: right of " Tmin ", one pixel higher, one pixel of room above and below the text.
    g.editAt = POINT{g.tminLabelAt.x + sizes.tminLabelWidth, g.tminLabelAt.y - 1};
    g.editSize = SIZE{sizes.editWidth, g.textHeight + 2};
    const int32_t top = g.frameTop + g.frameHeight + g.lineHeight / 2;
    g.cancel = RECT{g.frameLeft, top, g.frameLeft + g.buttonWidth, top + g.buttonHeight};
    const int32_t okLeft = g.frameLeft + g.buttonWidth + 2 * g.aveCharWidth;
    g.ok = RECT{okLeft, top, okLeft + g.buttonWidth, top + g.buttonHeight};
    return g;
}

/*==========================================================================
** Scales
**========================================================================*/

ParamsScale paramsScale(const ParamsPanelGeometry& g, const ParamsHeader& p)
{
    return ParamsScale{g.plotLeft, g.plotBottom, g.plotWidth, g.plotHeight, p.wPanelMaxPulses, p.a, p.b};
}

int32_t ParamsScale::x(int64_t k) const
{
    return coordinate(plotLeft + (k - 1) * plotWidth / stepsOf(Mmax));
}

int32_t ParamsScale::y(int64_t v) const
{
    return coordinate(plotBottom - (v - a) * plotHeight / spanOf(a, b));
}

int32_t ParamsScale::halfStepX(int64_t s) const
{
    const int64_t d = stepsOf(Mmax);
    return coordinate(plotLeft + (s * plotWidth + d) / (2 * d));
}

int32_t ParamsScale::halfStepY(int64_t w) const
{
    const int64_t d = spanOf(a, b);
    return coordinate(plotBottom - (w * plotHeight + d) / (2 * d));
}

int32_t ParamsScale::leftX() const
{
    const int64_t d = stepsOf(Mmax);
    return coordinate(plotLeft - (plotWidth + d) / (2 * d));
}

/*==========================================================================
** Diagram
**========================================================================*/

ParamsDiagram paramsDiagram(const ParamsPanelGeometry& g, const ParamsHeader& p)
{
    const ParamsScale scale = paramsScale(g, p);
    ParamsDiagram diagram{};
    const int64_t M = p.wPanelPulses, Mmin = p.wPanelMinPulses, Mmax = p.wPanelMaxPulses;
    const int64_t Tmin = p.wPanelTmin, Tmax = p.wPanelTmax;
    const int64_t a = p.a, b = p.b, aPlus = p.aPlus, bMinus = p.bMinus;

    diagram.axisY = ParamsLine{{g.plotLeft, g.plotBottom}, {g.plotLeft, g.plotBottom - g.plotHeight}};
    diagram.axisX = ParamsLine{{g.plotLeft, g.plotBottom}, {g.plotLeft + g.plotWidth + g.marginX, g.plotBottom}};
    for (int64_t k = 1; k <= M; k++)
        diagram.upTicks.push_back(scale.x(k));
    // Each pulse count owns half a step on either side of its tick.
    const int32_t halfStep = static_cast<int32_t>((g.plotWidth / stepsOf(p.wPanelMaxPulses)) / 2);
    for (int64_t k = Mmin; k <= Mmax; k++) {
        const int32_t tickX = scale.x(k);
        diagram.downTicks.push_back(tickX);
        diagram.areas.push_back(
            RECT{tickX - halfStep, g.plotBottom - g.textHeight / 2, tickX + halfStep, g.plotBottom + g.textHeight / 2});
    }

    const int32_t xM = scale.x(M), yA = scale.y(a), yB = scale.y(b);
    diagram.bLevel = ParamsLine{{g.plotLeft, yB}, {xM, yB}};
    diagram.mLine = ParamsLine{{xM, yA}, {xM, yB}};
    const int32_t levelLeft = g.plotLeft - g.marginX / 2, levelRight = xM + g.marginX, grip = g.marginY / 2 + 1;
    const int32_t yAPlus = scale.y(aPlus), yBMinus = scale.y(bMinus);
    diagram.aPlusLevel = ParamsLine{{levelLeft, yAPlus}, {levelRight, yAPlus}};
    diagram.bMinusLevel = ParamsLine{{levelLeft, yBMinus}, {levelRight, yBMinus}};
    diagram.aPlusHandle = RECT{levelLeft, yAPlus - grip, levelRight, yAPlus + grip};
    diagram.bMinusHandle = RECT{levelLeft, yBMinus - grip, levelRight, yBMinus + grip};

    // The slanted lines run in half steps: s = 2 (k - 1) along x, w = 2 (v - a) along y.
    // Line 1, latest start from the first pulse: a+ + (k - 1) Tmax, up to where it meets line 2.
    int64_t c = 2 * M + 1;
    if (Tmin < Tmax) {
        const int64_t s = (b - M * Tmin - aPlus) + Tmax + (Tmax - Tmin);
        c = (2 * s - 1) / (Tmax - Tmin) - 1;
    }
    c = std::max<int64_t>(c, 1);
    diagram.lines[0] = ParamsLine{{scale.leftX(), scale.halfStepY(2 * (aPlus - a) - Tmax)},
                                  {scale.halfStepX(c - 2), scale.halfStepY(c * Tmax + 2 * (aPlus - a) - 2 * Tmax)}};
    // Line 2, latest start from the end: b - (M - k) Tmin, from where line 1 meets it.
    const int64_t c1 = std::max<int64_t>(c - 1, 1);
    diagram.lines[1] = ParamsLine{{scale.halfStepX(c1 - 2), scale.halfStepY(2 * (b - a) + (c1 - 2 * M) * Tmin)},
                                  {scale.halfStepX(2 * M - 1), scale.halfStepY(2 * (b - a) + Tmin)}};
    // Line 3, earliest start from the first pulse: a + (k - 1) Tmin, up to where it meets line 4.
    int64_t c2 = 2 * M + 1;
    if (Tmin < Tmax) {
        const int64_t s = (a + M * Tmax - Tmin - bMinus) + (Tmax - Tmin);
        c2 = (2 * s - 1) / (Tmax - Tmin) - 1;
    }
    c2 = std::clamp<int64_t>(c2, 1, std::max<int64_t>(1, 2 * M + 1));
    const int64_t span = spanOf(p.a, p.b);
    diagram.lines[2] = ParamsLine{{scale.leftX(), coordinate(g.plotBottom + (Tmin * g.plotHeight + span) / (2 * span))},
                                  {scale.halfStepX(c2 - 2), scale.halfStepY((c2 - 2) * Tmin)}};
    // Line 4, earliest start from the end: b- - (M - k) Tmax.
    diagram.lines[3] =
        ParamsLine{{scale.halfStepX(c2 - 3), scale.halfStepY((c2 - 1) * Tmax + 2 * (bMinus - M * Tmax - a))},
                   {scale.halfStepX(2 * M - 1), scale.halfStepY(Tmax + 2 * (bMinus - a))}};
    diagram.c = value32(c);
    diagram.c1 = value32(c1);
    diagram.c2 = value32(c2);
    diagram.tolerance = g.marginY / 2 + 1;
    return diagram;
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
    const int64_t lineDy = (span + (span - d) * (y1 - y2) * 2) / (2 * span);
    return (lineDy - tolerance <= dy && dy <= lineDy + tolerance) ? 1 : 0;
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
    const int64_t plotLeft = p->PlotRect.left, plotTop = p->PlotRect.top;
    const int64_t H = int64_t(p->PlotRect.bottom) - plotTop + 1, W = int64_t(p->PlotRect.right) - plotLeft + 1;
    const int64_t q = (x - plotLeft) * (int64_t(p->wPanelMaxPulses) - 1) * H;
    if (q < 1)
        return 0;
    const int64_t rise = (int64_t(p->b) - p->a) * (H - (y - plotTop)) - (int64_t(p->aPlus) - p->a) * H;
    return value32((q + rise * W * 2) / (2 * q));
}

int32_t tminFromPoint(int x, int y, const ParamsHeader* p)
{
    if (!p || !p->bTminHover)
        return 0;
    const int64_t plotLeft = p->PlotRect.left, plotTop = p->PlotRect.top;
    const int64_t H = int64_t(p->PlotRect.bottom) - plotTop + 1, W = int64_t(p->PlotRect.right) - plotLeft + 1;
    const int64_t q = ((int64_t(p->wPanelPulses) - 1) * W - (x - plotLeft) * (int64_t(p->wPanelMaxPulses) - 1)) * H;
    if (q < 1)
        return 0;
    return value32((q + (int64_t(p->b) - p->a) * (y - plotTop) * W * 2) / (2 * q));
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
