// Plain numbers of the statistics charts, computed before anything is drawn:
// the reference values and normalizers, the chart top and scale, the texts of
// the text block and the labels, the geometry and the curve points. No surface
// is touched; the tests read them directly.
//
// Sections: reference values - scale - texts - geometry - curves
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "display/display_private.h"
#include "display/seriesview_private.h"
#include "simulation/simulation.h"

using namespace seriesview;

namespace {

// Cell [k][j] of table t, 0 outside the grid or the record.
int64_t cell(const RestoreErrorHeader* r, int t, int k, int j)
{
    if (!r || k < 0 || j < 0 || k >= r->wNoiseLevels || j >= r->wVariousPulses || !r->lpErrors[t] ||
        !r->lpErrors[t][k])
        return 0;
    return r->lpErrors[t][k][j];
}

int32_t pulsesOf(const ChartInputs& in)
{
    return in.lpRestErrorHeader ? in.lpRestErrorHeader->wVariousPulses : 0;
}
int32_t levelsOf(const ChartInputs& in)
{
    return in.lpRestErrorHeader ? in.lpRestErrorHeader->wNoiseLevels : 0;
}
// Trials per cell; a record of no trials divides by 1 instead of 0.
int64_t repeatsOf(const ChartInputs& in)
{
    return in.lpRestErrorHeader && in.lpRestErrorHeader->repeats > 0 ? in.lpRestErrorHeader->repeats : 1;
}

} // namespace

/*==========================================================================
** Reference values
**========================================================================*/

ChartReference chartReference(const ChartInputs& in)
{
    return errorReference(in.lpRestErrorHeader, in.lpSeriesHeader, in.lpFirstEtalon, in.wRequiredQuantity,
                          in.lpRequiredList);
}

std::vector<int32_t> chartNormalizers(const ChartInputs& in, const ChartReference& ref)
{
    const ErrorNormalizers e = errorNormalizers(in.lpRestErrorHeader, in.lpSeriesHeader, ref);
    std::vector<int32_t> n = e.restoring;
    n.insert(n.end(), e.detection.begin(), e.detection.end());
    n.resize(3 * e.restoring.size(), 1);
    return n;
}

std::vector<int64_t> chartPerMille(const ChartInputs& in, const std::vector<int32_t>& norm)
{
    const RestoreErrorHeader* r = in.lpRestErrorHeader;
    const ChartKind* row = chartKindOf(in.wChartKind);
    const int32_t P = pulsesOf(in), L = levelsOf(in);
    const int64_t u = repeatsOf(in);
    std::vector<int64_t> out;
    if (!row)
        return out;
    for (int32_t k = 0; k < L; k++)
        for (int32_t j = 0; j < P; j++)
            switch (row->table) {
            case ChartTable::Restoring: out.push_back(errorPerMille(cell(r, 0, k, j), norm[j])); break;
            case ChartTable::Detection: out.push_back(errorPerMille(cell(r, 1, k, j), u * norm[P + j])); break;
            case ChartTable::Recognition: out.push_back(errorPerMille(cell(r, 3, k, j), u)); break;
            }
    return out;
}

/*==========================================================================
** Scale
**========================================================================*/

namespace {

// The largest, over the noise levels k, of the sum of term(k, j) over the
// pulse counts j, added in the order of j; 0 when there are no levels.
template <typename Sum, typename Term>
Sum largestLevelSum(int32_t L, int32_t P, Term term)
{
    Sum most = 0;
    for (int32_t k = 0; k < L; k++) {
        Sum sum = 0;
        for (int32_t j = 0; j < P; j++)
            sum += term(k, j);
        most = std::max(most, sum);
    }
    return most;
}

// Componentwise restoring error: the largest normalised cell, at least 50.
int32_t restoringTop(const ChartInputs& in, const std::vector<int32_t>& norm)
{
    const std::vector<int64_t> perMille = chartPerMille(in, norm);
    const int64_t Q = perMille.empty() ? 0 : *std::max_element(perMille.begin(), perMille.end());
    return static_cast<int32_t>(std::clamp<int64_t>(Q, 50, INT32_MAX));
}

// Aggregate restoring error: the largest normalised level sum, per pulse count.
int32_t restoringTopAggregate(const ChartInputs& in, const std::vector<int32_t>& norm)
{
    const RestoreErrorHeader* r = in.lpRestErrorHeader;
    const int32_t P = pulsesOf(in), L = levelsOf(in);
    if (P == 0)
        return 50;
    double X = largestLevelSum<double>(L, P, [&](int32_t k, int32_t j) {
        return static_cast<double>(cell(r, 0, k, j)) / norm[j];
    });
    if (X < 0.079)
        X = 0.079;
    if (X < 0.49 * P)
        X = 0.49 * P;
    return static_cast<int32_t>(std::min(1000.0 * X / P, double(INT32_MAX)));
}

// Componentwise detection error: the largest root mean cell, at least 0.3.
int32_t detectionTop(const ChartInputs& in, const std::vector<int32_t>& norm)
{
    const RestoreErrorHeader* r = in.lpRestErrorHeader;
    const int32_t P = pulsesOf(in), L = levelsOf(in);
    const int64_t u = repeatsOf(in);
    double W = 0.0;
    for (int32_t j = 0; j < P; j++) {
        int64_t most = 0;
        for (int32_t k = 0; k < L; k++)
            most = std::max(most, cell(r, 1, k, j));
        const int64_t m = (2 * most + u) / (2 * u);  // the mean over the trials, rounded
        W = std::max(W, std::sqrt(static_cast<double>(m) / norm[P + j]));
    }
    W = std::max(W, 0.3);
    const int32_t Q = static_cast<int32_t>(std::min(1000.0 * W, double(INT32_MAX)));
    return Q <= 50 ? 50 : Q;
}

// Aggregate detection error: the largest root level sum, at least 0.24.
int32_t detectionTopAggregate(const ChartInputs& in, const std::vector<int32_t>& norm)
{
    const RestoreErrorHeader* r = in.lpRestErrorHeader;
    const int32_t P = pulsesOf(in), L = levelsOf(in);
    const int64_t u = repeatsOf(in);
    if (P == 0)
        return 240;
    const int64_t X = largestLevelSum<int64_t>(L, P, [&](int32_t k, int32_t j) { return cell(r, 1, k, j); });
    double W = std::sqrt(static_cast<double>(X) / (double(P) * norm[P] * double(u)));
    W = std::max(W, 0.24);
    return std::max(50, static_cast<int32_t>(std::min(1000.0 * W, double(INT32_MAX))));
}

} // namespace

int32_t chartTop(const ChartInputs& in, const std::vector<int32_t>& norm)
{
    const ChartKind* row = chartKindOf(in.wChartKind);
    if (!row || row->table == ChartTable::Recognition)
        return 500;  // recognition errors are fractions of the trials
    if (row->table == ChartTable::Restoring)
        return row->aggregate ? restoringTopAggregate(in, norm) : restoringTop(in, norm);
    return row->aggregate ? detectionTopAggregate(in, norm) : detectionTop(in, norm);
}

ChartScale chartScale(int32_t Q, int32_t bFixedUpperBound, double dUpperBound)
{
    int64_t Z = 10;
    while (Z <= Q)
        Z *= 10;
    if (Z >= 5 * int64_t(Q))
        Z /= 5;
    for (int i = 0; i < 2; i++)
        if (Z >= 2 * int64_t(Q))
            Z /= 2;
    if (bFixedUpperBound && dUpperBound > 0)
        Z = static_cast<int64_t>(std::min(dUpperBound * 1000.0, 1e9));
    // A chart top of 0 (Q of 0 halved away, or a fixed bound below 0.001)
    // would divide by zero: the smallest scale is 1.
    const int32_t z = static_cast<int32_t>(std::max<int64_t>(Z, 1));
    return ChartScale{Q, z, 1000 / z};
}

/*==========================================================================
** Texts
**========================================================================*/

const char* chartTitle(int32_t kind)
{
    const ChartKind* row = chartKindOf(kind);
    return row ? row->title : "";
}

std::string elapsedTimeText(int64_t t)
{
    t = std::max<int64_t>(t, 0);  // a clock set back during the run prints 0:00:00
    const int64_t h = t / 3600, m = t % 3600 / 60, s = t % 60;
    char line[64];
    std::snprintf(line, sizeof line, "elapsed time %lld:%lld%lld:%lld%lld", static_cast<long long>(h),
                  static_cast<long long>(m / 10), static_cast<long long>(m % 10), static_cast<long long>(s / 10),
                  static_cast<long long>(s % 10));
    return line;
}

namespace {

// The calendar-time text of the platform without its line break.
std::string calendarText(int64_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[64] = "";
    if (localtime_r(&t, &parts))
        std::strftime(text, sizeof text, "%a %b %e %H:%M:%S %Y", &parts);
    return text;
}

std::string format(const char* f, long long a)
{
    char line[96];
    std::snprintf(line, sizeof line, f, a);
    return line;
}

} // namespace

std::vector<std::string> chartTextLines(const ChartInputs& in, const ChartReference& ref)
{
    std::vector<std::string> lines(15);
    const RestoreErrorHeader* r = in.lpRestErrorHeader;
    const SeriesHeader* s = in.lpSeriesHeader;
    const int32_t P = pulsesOf(in), L = levelsOf(in);
    char line[512];
    std::snprintf(line, sizeof line, " statistical simulation for %s in series with %s ", r ? r->lpTaskName : "",
                  r ? r->lpSeriesTypeName : "");
    lines[0] = line;
    lines[1] = format(" series length %d, ", s ? s->dwSeriesSize : 0);

    std::string involves = " involves";
    for (int32_t j = 0; j < P; j++) {
        if (P >= 4 && j == 2) {
            involves += format("..., %d ", r->wPulseValues[P - 1]);
            break;
        }
        involves += format(" %d,", r->wPulseValues[j]);
    }
    // The range is written over the character before it: the comma after the
    // last count listed, or the blank after "..., %d ".
    if (P > 0)
        involves.pop_back();
    std::snprintf(line, sizeof line, " pulses from [%d-%d],", s ? s->wMinPulses : 0, s ? s->wMaxPulses : 0);
    lines[2] = involves + line;

    const int32_t A = seriesScale(in.wAmplitude, s ? s->wSeriesNoiseLevel : 0).a;
    lines[3] = format(" with length %d", s ? s->wImpulseSize : 0) + format(", amplitude %d", A);
    std::snprintf(line, sizeof line, " Tmin=%d, Tmax=%d,", s ? s->wTmin : 0, s ? s->wTmax : 0);
    lines[4] = line;
    lines[5] = format(" number of %d noise levels", L);
    const int32_t firstLevel = L > 0 ? r->lpNoiseLevels[0] : 0;
    const int32_t lastLevel = L > 0 ? r->lpNoiseLevels[L - 1] : 0;
    const int32_t levelStep = L > 1 ? r->lpNoiseLevels[1] - r->lpNoiseLevels[0] : 0;  // one level: no step
    std::snprintf(line, sizeof line, " from %d to %d with step %d", firstLevel, lastLevel, levelStep);
    lines[6] = line;
    lines[7] = chartTitle(in.wChartKind);
    lines[8] = format(" for volume of % d repeats", r ? r->repeats : 0);
    std::snprintf(line, sizeof line, "etEnergy=%d, Rmin=%d, Rmax=%d", ref.etEnergy, ref.Rmin, ref.Rmax);
    lines[10] = line;  // after one empty line
    lines[12] = calendarText(in.options.simStartTime);  // two lines below it
    lines[13] = calendarText(in.options.simEndTime);
    lines[14] = elapsedTimeText(in.options.simEndTime - in.options.simStartTime);
    return lines;
}

std::string alphabetPanelTitle(uint16_t count, int32_t panelWidth)
{
    if (panelWidth < 100)
        return format(" Alph: %d ", count);
    if (count == 1)
        return " Alphabet, 1 item ";
    return format(" Alphabet, %d items ", count);
}

std::vector<std::string> chartValueLabels(int32_t Z)
{
    std::vector<std::string> labels;
    for (int i = 0; i <= 5; i++) {
        char text[32];
        std::snprintf(text, sizeof text, Z < 50 ? "%.3f" : "%.2f", i * (Z / 5) / 1000.0);
        labels.push_back(text);
    }
    return labels;
}

int32_t formulaFontHeight(int32_t areaHeight, int32_t lineHeight)
{
    return std::max((areaHeight + 12) / 25, lineHeight + 2);
}

int32_t labelFontHeight(int32_t areaHeight, int32_t lineHeight)
{
    return std::max((areaHeight + 11) / 22, lineHeight + 2);
}

/*==========================================================================
** Geometry
**========================================================================*/

ChartGeometry chartGeometry(const ChartInputs& in)
{
    const uint16_t* rec = GraphLayout[1];
    ChartGeometry g{};
    const RECT& a = in.options.SeriesAreaRect;
    g.area = a;
    g.W = a.right - a.left + 1;  // right and bottom are inclusive
    g.H = a.bottom - a.top + 1;
    g.h = in.options.wLineHeight;
    g.marginX = rec[0] * g.W / 1000;
    g.marginY = (rec[1] * g.H + 500) / 1000;  // rounded
    g.lineStep = g.h + 1;  // the font's line height and one pixel between lines
    // The first line straddles the area's top edge like a group caption.
    g.textX = a.left + 10;
    g.textTop = a.top - g.h / 2;
    const int32_t textBottom = g.textTop + 15 * g.lineStep;
    g.formulaFontSize = formulaFontHeight(g.H, g.h);
    g.labelFontSize = labelFontHeight(g.H, g.h);

    // The level labels take two label lines under the box.
    const int32_t boxFloor = a.bottom - g.marginY - 2 * g.labelFontSize;

    // Alphabet panel: two columns of cells at the right, from the top margin down.
    const int32_t cellWidth = rec[6] * g.W / 1000;
    const uint16_t b = in.lpRequiredList ? in.wRequiredQuantity : 0;
    g.panelRows = (b + 1) / 2;
    const int32_t panelWidth = 2 * cellWidth + 3 * g.marginX;
    const int32_t panelLeft = a.right - g.marginX - panelWidth;
    const int32_t panelTop = a.top + g.marginY + g.h / 2;
    // A cell is a caption line and a quarter above a curve field of curveHeight pixels.
    const int32_t pitchRoom = g.panelRows > 0 ? (boxFloor - panelTop - 2 * g.marginY) / g.panelRows : 0;
    const int32_t pitch = std::max(0, std::min(pitchRoom, cellWidth + g.h + g.h / 4 + g.marginY));
    const int32_t curveHeight = std::max(0, pitch - (g.h + g.h / 4) - g.marginY);
    // Rectangle() takes right and bottom exclusive: the +1 puts the frame's
    // last column at panelLeft + panelWidth and its last row a margin below the last pitch.
    g.panel = RECT{panelLeft, panelTop, panelLeft + panelWidth + 1, panelTop + g.panelRows * pitch + 2 * g.marginY + 1};
    for (int32_t i = 0; i < b; i++) {
        const int32_t row = g.panelRows > 0 ? i % g.panelRows : 0, col = g.panelRows > 0 ? i / g.panelRows : 0;
        const int32_t x = panelLeft + g.marginX + col * (cellWidth + g.marginX), y = panelTop + g.marginY + row * pitch;
        g.panelCells.push_back(RECT{x, y, x + cellWidth, y + curveHeight});
    }

    // Tuple legend below the text block: one row per stored subset for
    // tuples recognition, else the one pattern.
    const RestoreErrorHeader* r = in.lpRestErrorHeader;
    const SeriesHeader* s = in.lpSeriesHeader;
    int32_t below = textBottom;
    g.tupleLegend = r && s && isTupleSeries(r->wSeriesType);
    if (g.tupleLegend) {
        std::vector<std::vector<int32_t>> rows;
        if (isTupleRecognition(r->wTaskType)) {
            for (int32_t t = 0; t < storedSubsetCount(s); t++)
                rows.emplace_back(s->selectedSubsetList[t], s->selectedSubsetList[t] + storedSubsetSize(s, t));
        } else if (s->selectedSubset) {
            const int32_t n = std::min(s->wSubsetLength, s->wPulsesCapacity);
            rows.emplace_back(s->selectedSubset, s->selectedSubset + n);
        }
        size_t longest = 0;
        for (const auto& row : rows)
            longest = std::max(longest, row.size());
        const int32_t tupleCellWidth = cellWidth, tupleCellHeight = std::max(g.h, cellWidth / 2);
        const int32_t tuplePitch = tupleCellHeight + g.h + g.h / 4 + g.marginY;
        const int32_t tupleLeft = a.left + g.marginX, tupleTop = textBottom + g.marginY;
        const int32_t tupleWidth = static_cast<int32_t>(longest) * (tupleCellWidth + g.marginX) + g.marginX;
        // Rectangle() arguments as for the panel: +1 for the exclusive right and bottom.
        const int32_t tupleHeight = static_cast<int32_t>(rows.size()) * tuplePitch + 2 * g.marginY;
        g.tupleBox = RECT{tupleLeft, tupleTop, tupleLeft + tupleWidth + 1, tupleTop + tupleHeight + 1};
        for (size_t t = 0; t < rows.size(); t++) {
            const int32_t y = tupleTop + g.marginY + static_cast<int32_t>(t) * tuplePitch;
            // Inclusive: the next row starts a pitch down.
            g.tupleRows.push_back(RECT{tupleLeft, y, tupleLeft + tupleWidth, y + tuplePitch - 1});
            for (size_t i = 0; i < rows[t].size(); i++) {
                const int32_t x = tupleLeft + g.marginX + static_cast<int32_t>(i) * (tupleCellWidth + g.marginX);
                const RECT cell{x, y, x + tupleCellWidth, y + tupleCellHeight};
                g.tupleCells.push_back(EtalonCellItem{cell, rows[t][i], 0});
            }
        }
        below = g.tupleBox.bottom;
    }

    const bool formula = in.wChartKind >= 0 && in.wChartKind <= 3;
    g.formulaTop = below + g.marginY;
    g.fontLineTop = g.formulaTop + (formula ? g.formulaFontSize : 0);
    // Half a label above the box for the top value label.
    g.box.top = g.fontLineTop + g.labelFontSize + g.labelFontSize / 2 + g.marginY;
    const int32_t room = std::max(0, boxFloor - g.box.top);
    g.rowHeight = room / 10;
    // top and bottom are the frame's lines themselves: 10 rows of rowHeight
    // pixels lie between them, the bottom line being height 0.
    g.box.bottom = g.box.top + 10 * g.rowHeight;
    g.box.left = a.left + g.marginX + 3 * g.labelFontSize;  // room for "0.500" left of the box
    // Room at the right for the labels at the curves' ends, before the panel.
    const int32_t free = std::max(0, panelLeft - g.marginX - 2 * g.labelFontSize - g.box.left);
    const int32_t L = levelsOf(in);
    int32_t step = L > 1 ? free / (L - 1) : free;  // one level: one step, a box of one column
    step = std::min(step, 2 * (10 * g.rowHeight) / 3);
    g.levelStep = std::max(0, step - step % 2);  // even
    // Level k at left + k * step: the last level lies on the right line itself.
    g.box.right = g.box.left + std::max(1, L - 1) * g.levelStep;
    return g;
}

/*==========================================================================
** Curves
**========================================================================*/

namespace {

// A height above the bottom, kept within what 32-bit pixels can take.
int32_t clampHeight(double h)
{
    return static_cast<int32_t>(std::clamp(h, -1e6, 1e6));
}

ChartCurve startCurve(const ChartGeometry& g, int strokes, std::string label)
{
    ChartCurve c{{}, std::move(label), strokes};
    c.points.push_back(POINT{g.box.left, g.box.bottom});  // every curve starts at the bottom-left corner
    return c;
}

void add(ChartCurve& c, const ChartGeometry& g, int32_t k, int32_t height)
{
    c.points.push_back(POINT{g.box.left + k * g.levelStep, g.box.bottom - height});
}

// The upper and the lower analytic bound of the recognition error over the
// noise levels (chart kinds 12 and 13), appended to `curves`.
void appendBoundCurves(const ChartInputs& in, const ChartGeometry& g, const ChartReference& ref,
                       std::vector<ChartCurve>& curves)
{
    const RestoreErrorHeader* r = in.lpRestErrorHeader;
    const int32_t L = levelsOf(in);
    const int64_t H = 10 * g.rowHeight;
    ChartCurve upper{{}, "", 1}, lower{{}, "", 1};
    // From level index 1 on: the first level is usually 0, where s^2 divides by zero.
    for (int32_t k = 1; k < L; k++) {
        const double sigma = r->lpNoiseLevels[k];
        if (sigma <= 0)
            continue;  // no noise: no bound
        const RecognitionBounds b = recognitionBounds(r, in.lpSeriesHeader, ref, sigma);
        const double upperValue = b.upper, lowerValue = b.lower;
        const int32_t x = g.box.left + k * g.levelStep;
        upper.points.push_back(POINT{x, g.box.bottom - clampHeight(std::trunc(double(H) * upperValue) * 2)});
        lower.points.push_back(POINT{x, g.box.bottom - clampHeight(std::trunc(double(H) * lowerValue) * 2)});
    }
    curves.push_back(std::move(upper));
    curves.push_back(std::move(lower));
}

// What the curve builders of one chart read.
struct CurveInputs {
    const RestoreErrorHeader* r;       // the run's tables
    int32_t P, L;                      // pulse counts and noise levels
    int64_t u, F, H;                   // repeats, scale factor, chart height in pixels
    int strokes;                       // stroke width of the curves, pixels
    const std::vector<int32_t>& norm;  // the normalizers of chartNormalizers
};

// Restoring error: one curve per pulse count, or the mean over them.
void restoringCurves(const CurveInputs& in, const ChartGeometry& g, bool aggregate, std::vector<ChartCurve>& curves)
{
    const RestoreErrorHeader* r = in.r;
    if (!aggregate) {
        for (int32_t j = 0; j < in.P; j++) {
            ChartCurve c = startCurve(g, in.strokes, format("%d", r->wPulseValues[j]));
            for (int32_t k = 0; k < in.L; k++) {
                const uint64_t v = static_cast<uint64_t>(std::max<int64_t>(cell(r, 0, k, j), 0));
                add(c, g, k, clampHeight(double(uint64_t(in.F) * v * uint64_t(in.H) / uint64_t(in.norm[j]))));
            }
            curves.push_back(std::move(c));
        }
        return;
    }
    ChartCurve c = startCurve(g, in.strokes, "");  // the aggregate restoring curve has no label
    for (int32_t k = 0; k < in.L; k++) {
        double mean = 0.0;
        for (int32_t j = 0; j < in.P; j++)
            mean += static_cast<double>(cell(r, 0, k, j)) / in.norm[j];
        add(c, g, k, clampHeight(std::trunc(double(in.F) * (mean / in.P) * double(in.H))));
    }
    curves.push_back(std::move(c));
}

// Detection error: one curve per pulse count, or one over their sum.
void detectionCurves(const CurveInputs& in, const ChartGeometry& g, bool aggregate, std::vector<ChartCurve>& curves)
{
    const RestoreErrorHeader* r = in.r;
    const int32_t P = in.P;
    if (!aggregate) {
        for (int32_t j = 0; j < P; j++) {
            ChartCurve c = startCurve(g, in.strokes, format("%d", r->wPulseValues[j]));
            for (int32_t k = 0; k < in.L; k++) {
                const double v =
                    std::sqrt(std::max(0.0, double(cell(r, 1, k, j)) / double(in.u) / in.norm[P + j]));
                add(c, g, k, clampHeight(std::trunc(double(in.F) * v * double(in.H))));
            }
            curves.push_back(std::move(c));
        }
        return;
    }
    ChartCurve c = startCurve(g, in.strokes, format("%d", P));
    for (int32_t k = 0; k < in.L; k++) {
        int64_t sum = 0;
        for (int32_t j = 0; j < P; j++)
            sum += cell(r, 1, k, j);
        const double v = std::sqrt(std::max(0.0, double(sum) / (double(P) * in.norm[P] * double(in.u))));
        add(c, g, k, clampHeight(std::trunc(double(in.F) * v * double(in.H))));
    }
    curves.push_back(std::move(c));
}

// Recognition error: one curve per pulse count, or the mean over them.
void recognitionCurves(const CurveInputs& in, const ChartGeometry& g, bool aggregate, std::vector<ChartCurve>& curves)
{
    const RestoreErrorHeader* r = in.r;
    const int64_t F = in.F, H = in.H, u = in.u;
    if (!aggregate) {
        for (int32_t j = 0; j < in.P; j++) {
            ChartCurve c = startCurve(g, in.strokes, format("%d", r->wPulseValues[j]));
            for (int32_t k = 0; k < in.L; k++)
                add(c, g, k, clampHeight(double(cell(r, 3, k, j) * F * H / u)));
            curves.push_back(std::move(c));
        }
        return;
    }
    ChartCurve c = startCurve(g, in.strokes, "S");
    for (int32_t k = 0; k < in.L; k++) {
        int64_t sum = 0;
        for (int32_t j = 0; j < in.P; j++)
            sum += cell(r, 3, k, j);
        add(c, g, k, clampHeight(double(sum * F * H / (u * in.P))));
    }
    curves.push_back(std::move(c));
}

} // namespace

std::vector<ChartCurve> chartCurves(const ChartInputs& in, const ChartGeometry& g, const ChartReference& ref,
                                    const std::vector<int32_t>& norm, const ChartScale& sc)
{
    std::vector<ChartCurve> curves;
    const ChartKind* row = chartKindOf(in.wChartKind);
    const CurveInputs c{in.lpRestErrorHeader, pulsesOf(in), levelsOf(in), repeatsOf(in), sc.F, 10 * g.rowHeight,
                        row ? row->strokes : 0, norm};
    if (c.P == 0 || c.L == 0 || !row)
        return curves;
    switch (row->table) {
    case ChartTable::Restoring: restoringCurves(c, g, row->aggregate, curves); break;
    case ChartTable::Detection: detectionCurves(c, g, row->aggregate, curves); break;
    case ChartTable::Recognition: recognitionCurves(c, g, row->aggregate, curves); break;
    }
    if (row->bounds)
        appendBoundCurves(in, g, ref, curves);
    return curves;
}
