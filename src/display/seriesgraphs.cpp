// The graph routines of the series view: axes, the noisy series, the true
// pulses with their kept parts and hatching, the restored pulses, the labels
// under a graph, and the dotted or coloured highlights of detected pulses and
// tuples. Each takes the graph's frame (rectangle, length, half-range).
//
// Sections: helpers - curves - labels - highlights - hatching
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "display/display_private.h"
#include "display/seriesview_private.h"

using namespace seriesview;

/*==========================================================================
** Helpers
**========================================================================*/

namespace {

const COLORREF kBlack = RGB(0, 0, 0);

// Whether a pulse of n samples at p shows: on a page, some of it lies there.
bool shown(const GraphFrame& f, int32_t p, int32_t n)
{
    return !f.page || (p + n - 1 >= f.first && p <= f.first + f.L - 1);
}

// Whether all of it lies on the page (where brackets and labels go).
bool whollyShown(const GraphFrame& f, int32_t p, int32_t n)
{
    return !f.page || (p >= f.first && p + n - 1 <= f.first + f.L - 1);
}

bool drawable(const GraphFrame& f, const SeriesHeader* s)
{
    // Fewer than two samples give no x step; a graph of no size shows nothing.
    return s && f.L >= 2 && f.first >= 0 && samplesOf(s) - f.first >= f.L && f.r.right > f.r.left && f.r.bottom > f.r.top && f.S > 0;
}

// One pulse as a curve from the midline through samples first..last of its
// etalon at series position p and back to the midline. LineTo leaves out its
// end point, so the curve's last return to the midline is not drawn.
void pulseCurve(HDC hdc, const GraphFrame& f, int32_t p, const PulseHeader* e, int32_t first, int32_t last)
{
    first = std::max(first, 0);
    last = std::min<int32_t>(last, e->wLength - 1);
    if (f.page) {  // only the samples on the page
        first = std::max(first, f.first - p);
        last = std::min(last, f.first + f.L - 1 - p);
    }
    if (first > last)
        return;
    const int32_t mid = f.mid();
    MoveToEx(hdc, f.X(p + first), mid, nullptr);
    for (int32_t j = first; j <= last; j++)
        LineTo(hdc, f.X(p + j), f.Y(e->lpData[j]));
    LineTo(hdc, f.X(p + last), mid);
}

// The curves of `count` pulses: pulse i is etalon numbers[i] at series
// position positions[i], from sample firsts[i] to lasts[i] of the etalon, or
// whole when no parts are given. A number naming no etalon draws nothing.
void pulseCurves(HDC hdc, const GraphFrame& f, const SeriesHeader* s, int32_t count, const int16_t* numbers,
                 const int16_t* positions, const int16_t* firsts, const int16_t* lasts)
{
    for (int32_t i = 0; i < count; i++)
        if (const PulseHeader* e = etalonOf(s, numbers[i]); e && shown(f, positions[i], e->wLength))
            pulseCurve(hdc, f, positions[i], e, firsts ? firsts[i] : 0, lasts ? lasts[i] : e->wLength - 1);
}

// Dotted verticals at columns xa and xb (relative to left), every second pixel
// up and down from the midline while k < reach; returns the first even k at
// or beyond it, where the horizontal dots go.
int32_t dottedVerticals(HDC hdc, const GraphFrame& f, int32_t xa, int32_t xb, int32_t reach)
{
    const int32_t mid = f.mid(), left = f.r.left;
    int32_t k = 0;
    for (; k < reach; k += 2) {
        SetPixel(hdc, left + xa, mid - k, kBlack);
        SetPixel(hdc, left + xa, mid + k, kBlack);
        SetPixel(hdc, left + xb, mid - k, kBlack);
        SetPixel(hdc, left + xb, mid + k, kBlack);
    }
    return k;
}

void dottedHorizontals(HDC hdc, const GraphFrame& f, int32_t xa, int32_t xb, int32_t k)
{
    const int32_t mid = f.mid(), left = f.r.left;
    for (int32_t x = xa; x <= xb; x += 2) {
        SetPixel(hdc, left + x, mid - k, kBlack);
        SetPixel(hdc, left + x, mid + k, kBlack);
    }
}

// Columns (relative to left) of detected tuple t, widened by up to two pixels
// each side within the graph; false when its pulses cannot be read.
bool tupleColumns(const GraphFrame& f, const SeriesHeader* s, int32_t t, int32_t& xa, int32_t& xb)
{
    const int32_t D = detectedPulsesOf(s);
    const int32_t first = s->lpTupleFirst[t], last = s->lpTupleLast[t];  // 1-based
    if (first < 1 || last < first || last > D)
        return false;
    const int32_t W = f.r.right - f.r.left;
    xa = f.dx(s->lpDetectedPositions[first - 1]);
    xb = f.dx(s->lpDetectedPositions[last - 1] + s->wImpulseSize - 1);
    for (int i = 0; i < 2 && xb < W - 1; i++)
        xb++;
    for (int i = 0; i < 2 && xa > 0; i++)
        xa--;
    return true;
}

} // namespace

/*==========================================================================
** Curves
**========================================================================*/

void drawGraphAxes(HDC hdc, const GraphFrame& f)
{
    MoveToEx(hdc, f.r.left, f.r.top, nullptr);
    LineTo(hdc, f.r.left, f.r.bottom);  // the bottom pixel is left to the frame
    MoveToEx(hdc, f.r.left, f.mid(), nullptr);
    LineTo(hdc, f.r.right, f.mid());
}

void drawNoisySeries(HDC hdc, const GraphFrame& f, const SeriesHeader* s)
{
    if (!drawable(f, s))
        return;
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(hdc, pen);
    MoveToEx(hdc, f.r.left, f.mid(), nullptr);
    for (int32_t i = f.first; i < f.first + f.L; i++)
        LineTo(hdc, f.X(i), f.Y(s->lpNoisyData[i]));
    SelectObject(hdc, old);
    DeleteObject(pen);
}

void drawTruePulses(HDC hdc, const GraphFrame& f, const SeriesHeader* s)
{
    if (drawable(f, s))
        pulseCurves(hdc, f, s, truePulsesOf(s), s->lpEtalonNumbers, s->lpPositions, nullptr, nullptr);
}

void drawKeptParts(HDC hdc, const GraphFrame& f, const SeriesHeader* s)
{
    if (drawable(f, s))
        pulseCurves(hdc, f, s, truePulsesOf(s), s->lpEtalonNumbers, s->lpPositions, s->lpCutBegin, s->lpCutEnd);
}

void drawDetectedPulses(HDC hdc, const GraphFrame& f, const SeriesHeader* s)
{
    if (drawable(f, s))
        pulseCurves(hdc, f, s, detectedPulsesOf(s), s->lpDetectedNumbers, s->lpDetectedPositions, nullptr, nullptr);
}

/*==========================================================================
** Labels
**========================================================================*/

void drawPulseLabels(HDC hdc, const GraphFrame& f, int kind, const LabelStyle& style, const SeriesHeader* s)
{
    if (!drawable(f, s))
        return;
    const bool truth = (kind == 0);
    const int32_t count = truth ? truePulsesOf(s) : detectedPulsesOf(s);
    const int16_t* positions = truth ? s->lpPositions : s->lpDetectedPositions;
    const int16_t* numbers = truth ? s->lpEtalonNumbers : s->lpDetectedNumbers;
    const int16_t* firsts = truth ? s->lpCutBegin : s->lpDetectedCutBegin;
    const int16_t* lasts = truth ? s->lpCutEnd : s->lpDetectedCutEnd;
    for (int32_t i = 0; i < count; i++) {
        if (!whollyShown(f, positions[i], s->wImpulseSize))
            continue;
        char label[64];
        int n = std::snprintf(label, sizeof label, "%d", positions[i]);
        if (style.letters)
            n += std::snprintf(label + n, sizeof label - n, "%c", letterOf(numbers[i]));
        if (style.ranges)
            n += std::snprintf(label + n, sizeof label - n, "[%d..%d] ", firsts[i], lasts[i]);
        // Five pixels left of the pulse's start, its top on the graph's last row.
        TextOutA(hdc, f.X(positions[i]) - 5, f.r.bottom - 1, label, static_cast<int>(std::strlen(label)));
    }
}

/*==========================================================================
** Highlights
**========================================================================*/

void highlightDetectedPulses(HDC hdc, const GraphFrame& f, const SeriesHeader* s)
{
    if (!drawable(f, s))
        return;
    const int32_t D = detectedPulsesOf(s), n = s->wImpulseSize, reach = (f.r.bottom - f.r.top) / 3;
    for (int32_t i = 0; i < D; i++) {
        const int32_t p = s->lpDetectedPositions[i];
        if (!whollyShown(f, p, n))
            continue;
        // The pulse's first and last sample: both columns are inside the bracket.
        const int32_t xa = f.dx(p), xb = f.dx(p + n - 1);
        const int32_t k = dottedVerticals(hdc, f, xa, xb, reach);
        dottedHorizontals(hdc, f, xa, xb, k);
        // The kept range, verticals only.
        dottedVerticals(hdc, f, f.dx(p + s->lpDetectedCutBegin[i]), f.dx(p + s->lpDetectedCutEnd[i]), reach);
    }
}

void frameDetectedTuples(HDC hdc, const GraphFrame& f, const SeriesHeader* s)
{
    if (!drawable(f, s))
        return;
    const int32_t T = detectedTuplesOf(s), reach = 3 * (f.r.bottom - f.r.top) / 8;
    for (int32_t t = 0; t < T; t++) {
        int32_t xa, xb;
        if (!tupleColumns(f, s, t, xa, xb))
            continue;
        const int32_t k = dottedVerticals(hdc, f, xa, xb, reach);
        dottedHorizontals(hdc, f, xa, xb, k);
    }
}

void fillDetectedTuples(HDC hdc, const GraphFrame& f, const SeriesHeader* s)
{
    if (!drawable(f, s))
        return;
    const int32_t T = detectedTuplesOf(s), reach = 3 * (f.r.bottom - f.r.top) / 8, mid = f.mid();
    const COLORREF colour = RGB(192, 191, 178);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ oldPen = SelectObject(hdc, pen), oldBrush = SelectObject(hdc, brush);
    for (int32_t t = 0; t < T; t++) {
        int32_t xa, xb;
        if (tupleColumns(f, s, t, xa, xb))
            Rectangle(hdc, f.r.left + xa, mid - reach, f.r.left + xb, mid + reach);  // right, bottom exclusive
    }
    SelectObject(hdc, oldBrush);
    SelectObject(hdc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

/*==========================================================================
** Hatching
**========================================================================*/

void shadeOriginalPulses(HDC hdc, const GraphFrame& f, const SeriesHeader* s)
{
    if (!drawable(f, s))
        return;
    const int32_t Hg = f.r.bottom - f.r.top, S = f.S, half = Hg / 2;
    const int32_t K = truePulsesOf(s);
    int32_t phase = 0;  // alternates column by column over the whole call, so hatches interleave
    auto yOf = [&](int32_t v) { return Hg - static_cast<int32_t>((int64_t(v) + S) * Hg / (2 * int64_t(S))); };
    for (int32_t i = 0; i < K; i++) {
        const PulseHeader* e = etalonOf(s, s->lpEtalonNumbers[i]);
        if (!e)
            continue;
        const int32_t p = s->lpPositions[i], m = e->wLength;
        const int32_t first = std::max<int32_t>(s->lpCutBegin[i], 0);
        const int32_t last = std::min<int32_t>(s->lpCutEnd[i], m - 1);
        // The kept part's last sample starts no span: the hatching ends at its column.
        for (int32_t j = first; j < last; j++) {
            const int32_t ka = f.dx(p + j), kb = f.dx(p + j + 1);
            const int32_t next = (j + 1 < m) ? e->lpData[j + 1] : 0;  // beyond the etalon: the midline
            const int32_t c = yOf(e->lpData[j]);
            const int32_t dn = yOf(next) - c;
            int32_t v = c;
            // Columns ka .. kb - 1: the column kb belongs to the next span.
            for (int32_t k = ka; k < kb; k++) {
                if (half < v) {
                    for (int32_t y = phase + half; y < v; y += 2)
                        SetPixel(hdc, f.r.left + k, f.r.top + y, kBlack);
                } else {
                    for (int32_t y = half - phase; y > v; y -= 2)
                        SetPixel(hdc, f.r.left + k, f.r.top + y, kBlack);
                }
                v = (dn + v * (kb - ka)) / (kb - ka);
                phase = 1 - phase;
            }
        }
    }
}
