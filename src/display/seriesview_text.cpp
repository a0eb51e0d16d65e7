// Texts of the series view: the header lines that describe the series, the
// result lines under the graphs with the chain table and the truth line, and
// the two figures printed there, restoreError and trueMeasure. Plain strings
// at their positions; seriesview.cpp writes them.
//
// Sections: line building - header lines - figures - result lines
#include <cassert>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "display/display_private.h"
#include "display/seriesview_private.h"

using namespace seriesview;

/*==========================================================================
** Line building
**========================================================================*/

namespace {

// Appends a formatted piece; a line never grows past the line buffer, so a
// very long list is cut rather than written beyond it.
void appendf(std::string& line, const char* format, ...)
{
    char piece[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    const size_t room = kLineBufferSize - 1;
    if (line.size() < room)
        line.append(piece, std::min(std::strlen(piece), room - line.size()));
}

// One pulse as the lists print it: position, letter, kept range.
struct PulseText {
    const char* position;  // format of the position
    const char* range;     // format of the kept range
};

void appendPulse(std::string& line, const PulseText& f, int32_t position, int32_t number, int32_t first,
                 int32_t last, bool letters, bool ranges)
{
    appendf(line, f.position, position);
    if (letters)
        appendf(line, "%c", letterOf(number));
    if (ranges)
        appendf(line, f.range, first, last);
}

} // namespace

/*==========================================================================
** Header lines
**========================================================================*/

bool etalonLettersShown(const ChainsHeader* c, const SeriesHeader* s)
{
    if (described(c))
        return c->wProcessingType != kTaskDetection;
    // Without a description: letters once something was recognised.
    return s && s->lpDetectedNumbers && s->wPulsesCapacity > 0 && s->lpDetectedNumbers[0] != 0;
}

std::vector<TextItem> seriesHeaderLines(const SeriesViewGeometry& g, const ChainsHeader* c, const SeriesHeader* s,
                                        bool truth)
{
    assert(s);  // the view paints no text without a series
    const int32_t h = g.h;
    int32_t y = g.area.top - h / 2;  // the first line straddles the area's top edge
    std::vector<TextItem> lines;
    if (described(c)) {
        std::string line;
        appendf(line, " %s for series with %s ", c->lpTaskName ? c->lpTaskName : "",
                c->lpSeriesTypeName ? c->lpSeriesTypeName : "");
        lines.push_back(TextItem{g.x0, y, line});
        y += h + 1;
    }
    const bool letters = etalonLettersShown(c, s);
    const bool ranges = isCutoffSeries(seriesCodeOf(c));
    const SeriesEnergies e = seriesEnergies(s);
    const SeriesScale scale = seriesScale(s->wSeriesAmplitude, s->wSeriesNoiseLevel);

    std::string line;
    appendf(line, " series length %d, ", s->dwSeriesSize);
    appendf(line, "Tmin=%d, Tmax=%d, ", s->wTmin, s->wTmax);
    appendf(line, " amplitude %d, noise level %d, allN/S %.3g,  N/S %.3g", scale.a, s->wSeriesNoiseLevel, e.allNS,
            e.NS);
    lines.push_back(TextItem{g.x0, y, line});
    y += h;

    line.clear();
    if (truth)
        appendf(line, " pulses number %d [%d-%d], length %d", s->wImpulseQuantity, s->wMinPulses, s->wMaxPulses,
                s->wImpulseSize);
    else  // a recording: how many pulses it holds is what the detectors find out
        appendf(line, " pulses admissible [%d-%d], length %d", s->wMinPulses, s->wMaxPulses, s->wImpulseSize);
    if (described(c) && ranges)
        appendf(line, ", saved energy level for making/processing %d/%d", c->wMakingSavedEnergy,
                c->wProcessingSavedEnergy);
    lines.push_back(TextItem{g.x0, y, line});
    y += h;

    if (!truth)
        return lines;  // a recording: no true pulses to list
    line = " pulses:";
    const int32_t K = truePulsesOf(s);
    for (int32_t i = 0; i < K; i++) {
        if (i == 19) {  // nineteen pulses are listed, then the ellipsis
            appendf(line, "...");
            break;
        }
        appendPulse(line, PulseText{" %d", "[%d..%d] "}, s->lpPositions[i], s->lpEtalonNumbers[i], s->lpCutBegin[i],
                    s->lpCutEnd[i], letters, ranges);
    }
    lines.push_back(TextItem{g.x0, y, line});
    return lines;
}

/*==========================================================================
** Figures
**========================================================================*/

namespace {

int32_t saturated(int64_t v)
{
    return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX));
}

} // namespace

int32_t restoreError(const ChainsHeader* c, const SeriesHeader* s)
{
    const int32_t L = samplesOf(s);
    if (L == 0)
        return 0;
    const int32_t n = s->wImpulseSize;
    // The pulses of chain 0 that may be read; none without a chain.
    int32_t pulses = 0;
    if (chainsOf(c) > 0)
        pulses = std::min<int32_t>(c->wSeekingPulsesQuantity, c->wMaxPulses);
    int32_t i = 0;
    int32_t start = pulses > 0 ? c->positionsList[0][0] : 0;
    int64_t sum = 0;
    for (int32_t k = 0; k < L; k++) {
        int32_t restored = 0;
        if (i < pulses && k >= start && k < start + n) {
            const int32_t j = k - start;  // counted from 0 in the window
            const PulseHeader* e = etalonOf(s, c->pulsesList[0][i]);
            if (e && j < e->wLength && c->firstSamplesList[0][i] <= j && j <= c->lastSamplesList[0][i])
                restored = e->lpData[j];
            if (k == start + n - 1 && ++i < pulses)  // the window's last sample: on to the next pulse
                start = c->positionsList[0][i];
        }
        const int64_t d = s->lpPureData[k] - restored;
        sum += d * d;
    }
    return saturated(sum);
}

int32_t trueMeasure(const SeriesHeader* s)
{
    const int32_t L = samplesOf(s);
    const int32_t K = truePulsesOf(s);
    int64_t sum = 0;
    for (int32_t i = 0; i < K && L > 0; i++) {
        const PulseHeader* e = etalonOf(s, s->lpEtalonNumbers[i]);
        if (!e)
            continue;
        const int32_t p = s->lpPositions[i];
        const int32_t f = std::max<int32_t>(s->lpCutBegin[i], 0);
        const int32_t g = std::min<int32_t>(s->lpCutEnd[i], e->wLength - 1);
        for (int32_t j = f; j <= g; j++)
            if (p + j >= 0 && p + j < L)
                sum += (int64_t(e->lpData[j]) - 2 * int64_t(s->lpNoisyData[p + j])) * e->lpData[j];
    }
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

/*==========================================================================
** Result lines
**========================================================================*/

namespace {

// The pulses of a chain (or of the truth) as the table prints them right of
// the figures: twenty at most, then " ... ".
template <typename Pulse>
std::string tablePulses(int32_t count, Pulse pulse, bool names, bool ranges)
{
    std::string line;
    for (int32_t j = 0; j < count; j++) {
        if (j == 19) {
            appendf(line, " ... ");
            break;
        }
        int32_t position, number, first, last;
        pulse(j, position, number, first, last);
        appendPulse(line, PulseText{"  %d", " [%d..%d] "}, position, number, first, last, names, ranges);
    }
    return line;
}

// "Detected K (M) pulses: ...": the detected pulses, or the detected tuples
// when tuples were looked for in a tuple series.
std::string detectedLine(const SeriesHeader* s, bool tuples, bool letters, bool ranges)
{
    const int32_t D = detectedPulsesOf(s);
    std::string line;
    appendf(line, "Detected %d", s->wDetectedQuantity);
    if (s->wDetectedQuantity != s->wImpulseQuantity)
        appendf(line, " (%d)", s->wImpulseQuantity);
    appendf(line, s->wDetectedQuantity == 1 ? " pulse" : " pulses");
    appendf(line, ": ");
    if (!tuples) {
        for (int32_t i = 0; i < D; i++) {
            if (i == 9) {  // nine pulses are listed, then the ellipsis
                appendf(line, " ... ");
                break;
            }
            appendPulse(line, PulseText{" %d", "[%d..%d]"}, s->lpDetectedPositions[i], s->lpDetectedNumbers[i],
                        s->lpDetectedCutBegin[i], s->lpDetectedCutEnd[i], letters, ranges);
        }
        return line;
    }
    const int32_t T = detectedTuplesOf(s);
    for (int32_t t = 0; t < T; t++) {
        const int32_t first = s->lpTupleFirst[t], last = s->lpTupleLast[t];
        if (first > 19) {
            appendf(line, " ... ");
            break;
        }
        appendf(line, " {");
        // 1-based indexes of detected pulses; those beyond the detected ones are left out.
        for (int32_t i = std::max(first, 1); i <= last && i <= D; i++) {
            appendPulse(line, PulseText{"%d", "[%d..%d]"}, s->lpDetectedPositions[i - 1], s->lpDetectedNumbers[i - 1],
                        s->lpDetectedCutBegin[i - 1], s->lpDetectedCutEnd[i - 1], letters, ranges);
            appendf(line, " ");
        }
        if (!line.empty() && line.back() == ' ')
            line.pop_back();  // the trailing blank gives way to the brace
        appendf(line, "} ");
    }
    return line;
}

// How the rows of the chain table are written.
struct ChainTableStyle {
    int32_t x = 0;             // left of the number and measure column, pixels
    bool chainLetter = false;  // an etalon letter after the row number
    bool names = false;        // etalon names beside the positions
    bool ranges = false;       // kept sample ranges beside the positions
    int32_t column = kChainPulsesColumn;  // the pulses' offset from x, pixels
};

// "k. [letter] measure", the head of a row of the chain table.
std::string chainRowHead(const ChainTableStyle& st, int32_t k, int16_t first, int32_t measure, int32_t count)
{
    std::string line;
    appendf(line, "%2d. ", k);
    if (st.chainLetter)
        appendf(line, " %c ", letterOf(count > 0 ? first : 0));
    appendf(line, "  %7d", measure);
    return line;
}

// One row of the chain table: its head and its pulses at x + column.
template <typename Pulse>
void appendChainRow(std::vector<TextItem>& lines, const ChainTableStyle& st, int32_t y, int32_t k, int16_t first,
                    int32_t measure, int32_t count, Pulse pulse)
{
    lines.push_back(TextItem{st.x, y, chainRowHead(st, k, first, measure, count)});
    lines.push_back(TextItem{st.x + st.column, y, tablePulses(count, pulse, st.names, st.ranges)});
}

// The header of the chain table and its rows, one per chain held (at most
// kChainRowsShown); returns the y below the last row.
int32_t appendChainTable(std::vector<TextItem>& lines, const ChainTableStyle& st, int32_t y, int32_t h,
                         const ChainsHeader* c)
{
    std::string line;
    appendf(line, " n ");
    if (st.chainLetter)
        appendf(line, "et ");
    appendf(line, " measure ");
    lines.push_back(TextItem{st.x, y, line});
    line.clear();
    appendf(line, "  positions");
    if (st.names)
        appendf(line, " and names");
    appendf(line, " of etalons in series");
    lines.push_back(TextItem{st.x + st.column, y, line});
    y += h + 1;
    const int32_t rows = std::min(chainsOf(c), kChainRowsShown);
    for (int32_t k = 0; k < rows; k++, y += h) {
        const int32_t count = chainPulsesOf(c, k);
        appendChainRow(lines, st, y, k + 1, count > 0 ? c->pulsesList[k][0] : 0, c->distance[k], count,
                       [&](int32_t j, int32_t& p, int32_t& e, int32_t& f, int32_t& l) {
                           p = c->positionsList[k][j];
                           e = c->pulsesList[k][j];
                           f = c->firstSamplesList[k][j];
                           l = c->lastSamplesList[k][j];
                       });
    }
    return y;
}

ChainTableStyle chainTableStyle(const SeriesViewGeometry& g, const ChainsHeader* c, const SeriesHeader* s,
                                int32_t pulsesColumn)
{
    const uint16_t task = taskCodeOf(c), series = seriesCodeOf(c);
    ChainTableStyle st;
    st.x = g.x0;
    st.ranges = isCutoffSeries(series);
    // Names in the table: for a described run only with joint detection and
    // identification, else as the letters.
    st.names = described(c) ? task == kTaskJoint : etalonLettersShown(c, s);
    st.chainLetter = described(c) && task == kTaskRecognition;
    st.column = pulsesColumn;
    return st;
}

} // namespace

std::vector<std::string> wideChainRowHeads(const ChainsHeader* c, const SeriesHeader* s, bool truth)
{
    const ChainTableStyle st = chainTableStyle(SeriesViewGeometry{}, c, s, kChainPulsesColumn);
    std::vector<std::string> heads;
    auto add = [&](int32_t k, int16_t first, int32_t measure, int32_t count) {
        if (std::to_string(measure).size() > 7)  // wider than the column's "%7d"
            heads.push_back(chainRowHead(st, k, first, measure, count));
    };
    for (int32_t k = 0; c && k < std::min(chainsOf(c), kChainRowsShown); k++) {
        const int32_t count = chainPulsesOf(c, k);
        add(k + 1, count > 0 ? c->pulsesList[k][0] : 0, c->distance[k], count);
    }
    if (truth && s) {
        const int32_t K = truePulsesOf(s);
        add(0, K > 0 ? s->lpEtalonNumbers[0] : 0, trueMeasure(s), K);
    }
    return heads;
}

std::vector<TextItem> seriesResultLines(const SeriesViewGeometry& g, const ChainsHeader* c, const SeriesHeader* s,
                                        bool truth, int32_t pulsesColumn)
{
    assert(s);  // the view paints no text without a series
    const int32_t h = g.h;
    int32_t y = g.textTop;
    std::vector<TextItem> lines;
    const bool letters = etalonLettersShown(c, s);
    const uint16_t task = taskCodeOf(c), series = seriesCodeOf(c);
    const ChainTableStyle st = chainTableStyle(g, c, s, pulsesColumn);
    lines.push_back(TextItem{st.x, y, detectedLine(s, isTupleProcessing(task) && isTupleSeries(series), letters, st.ranges)});
    y += h;
    std::string line;
    appendf(line, "Restore Error %d. ", restoreError(c, s));
    if (truth)  // measured against the pure series, which a recording has not
        lines.push_back(TextItem{st.x, y, line});
    y += h;

    if (c)
        y = appendChainTable(lines, st, y, h, c);

    if (!truth)
        return lines;  // a recording: no truth row
    // The truth, in the table's form, a quarter line below it.
    y += (h + 3) / 4;
    const int32_t K = truePulsesOf(s);
    appendChainRow(lines, st, y, 0, K > 0 ? s->lpEtalonNumbers[0] : 0, trueMeasure(s), K,
                   [&](int32_t j, int32_t& p, int32_t& e, int32_t& f, int32_t& l) {
                       p = s->lpPositions[j];
                       e = s->lpEtalonNumbers[j];
                       f = s->lpCutBegin[j];
                       l = s->lpCutEnd[j];
                   });
    return lines;
}
