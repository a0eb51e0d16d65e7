// Inside src/display/: the layout, painting and mouse handling of every view
// (alphabet and choice panels, subset panel, series view, charts, parameter
// panel) as plain functions over plain inputs, for the display's own files
// and its tests. The shell and app/ include display.h only.
#pragma once

#include <string>
#include <vector>

#include "display/display.h"
#include "simulation/simulation.h"

// The whole layout for a client rectangle and the font's metrics, from the
// program state (processing type, series type, alphabet size, selection), as
// paintMainWindow computes it before drawing. Touches no surface.
void layoutMainWindow(const RECT& client, const TEXTMETRICA& metrics, DisplayState& out);
// The hit rectangles of `count` choices in a choice panel.
void choiceItemRects(const RECT& panel, int32_t lineHeight, int count, RECT* items);

/*---- Painting ----*/

// The grid of etalons (view 5).
void drawAlphabetView(HWND hWnd, HDC hdc);
// One column of radio-style choices; writes itemRects (count entries). Returns 1.
// Inactive (an opened recording has no length, noise or lost data to choose):
// the values grey and no dot.
int drawChoicePanel(HWND hWnd, HDC hdc, const RECT& panelRect, RECT* itemRects, const char* title, int32_t count,
                    const int32_t* values, int32_t index, int32_t current, bool inactive = false);

/*==========================================================================
** Subset selection panel (view 9): the strip of at most ten etalons that a
** tuple series is made of, and the reserved subsets of tuples recognition.
** subsetpanel_layout.cpp (state, allocation, geometry), subsetpanel.cpp
** (painting, presses, the commit)
**========================================================================*/

// Every position of the panel, computed before it is drawn (client pixels;
// rectangles right and bottom inclusive unless said otherwise).
struct SubsetPanelGeometry {
    int32_t marginX, marginY;              // margins: area width / 170, height / 131
    int32_t panelLeft, panelRight;         // top panel: left and right column
    int32_t panelWidth;                    // top panel: panelRight - panelLeft + 1
    int32_t panelTop, panelHeight;         // top panel: top row; height, (area height - 3 marginY) / 4
    int32_t panelBottom;                   // top panel: bottom row, panelTop + panelHeight
    int32_t rowsOfCells;                   // rows of cells in the top panel, 1 or 2
    int32_t cellWidth, cellHeight;         // cell (and slot) width and height
    std::vector<RECT> cells;               // top-panel cells, one per etalon of the series header (20 at most)
    RECT strip;                            // the strip's frame
    std::vector<RECT> stripSlots;          // the strip's slots
    int32_t buttonWidth, buttonHeight;     // button width and height
    int32_t buttonTop;                     // top of every button
    std::vector<RECT> buttons;             // one per label, in label order
    // Tuple panel only: the reserved subsets below the buttons, in two columns.
    int32_t reservedLeft, reservedWidth;   // their area: left, width
    int32_t reservedTop, reservedHeight;   // their area: top, height
    int32_t halfRows;                      // rows per column: (reserved + 1) / 2
    int32_t columnWidth, rowHeight;        // column width, row height
    int32_t miniCellWidth, miniCellHeight; // width and height of a cell inside a row
    POINT captionAt;                       // top-left of " reserved subsets %d "
    std::vector<RECT> rows;                // per reserved subset: Rectangle() arguments, also its hit rectangle
    std::vector<RECT> rowCells;            // per reserved subset, capacity cells (drawEtalonCell rectangles)
};
// `cells` etalons in the top panel (the header's wReservedEtalons), `slotCount`
// strip slots, `labelWidth` the widest label in pixels, `buttons` labels;
// `reserved` > 0 lays out the reserved subsets of the tuple panel.
SubsetPanelGeometry subsetPanelGeometry(const RECT& area, int32_t lineHeight, int32_t aveCharWidth, int32_t cells,
                                        int32_t slotCount, int32_t labelWidth, int32_t buttons, bool tuplePanel,
                                        int32_t reserved, int32_t capacity);
// Where an etalon is drawn inside a cell or slot:
// (left + marginX, top, right - 2 marginX, bottom - 2 marginY - lineHeight).
RECT subsetEtalonRect(const SubsetPanelGeometry& g, const RECT& cell, int32_t lineHeight);

// Allocates the strip and the reserved subsets on first use (capacity 10).
void layoutSubsetPanel(HWND hWnd);
// The panel of every processing type but tuples recognition, and the tuple
// panel with Accept, Clear All and the reserved subsets. Return 1, 0 when
// not drawn (no memory for the buttons).
int drawSubsetPanel(HWND hWnd, HDC hdc, uint16_t wRequiredQuantity, const uint16_t* lpRequiredList,
                    const SeriesHeader* lpSeriesHeader);
int drawTupleSubsetPanel(HWND hWnd, HDC hdc, uint16_t wRequiredQuantity, const uint16_t* lpRequiredList,
                         const SeriesHeader* lpSeriesHeader);
// A raised button with its label centred (rectangle right and bottom inclusive).
void drawTextButton(HWND hWnd, HDC hdc, const RECT& rect, const char* label);
// Copies the strip into row `used` when used < reserved (and the strip is not
// empty); returns the new number of stored subsets.
int32_t reserveSubset(HWND hWnd, const int32_t* strip, int32_t length, int32_t* sizes, int32_t* rows,
                      int32_t used, int32_t reserved, int32_t capacity);
// A press inside view 9; true when one of the panel's elements took it.
bool pressSubsetPanel(HWND hWnd, int x, int y);
// A press on a stored subset's row of the pattern box (view 6, tuples
// recognition): picks it and makes the next series; true when one was hit.
bool pressPatternRow(HWND hWnd, int x, int y);
// Hands the strip (or, for tuples recognition, the stored subsets) to the
// series header; false when there is nothing to hand over or it was refused.
bool commitSubsetPanel(HWND hWnd);

// The point of the last press that hit an etalon cell or a button.
extern POINT ptLastClick;

/*==========================================================================
** Series view: the results of processing one series (view 6)
** seriesview_layout.cpp, seriesview_text.cpp, seriesgraphs.cpp, legend.cpp,
** seriesview.cpp (painting from plain inputs), results.cpp (from the state)
**========================================================================*/

inline constexpr int kLineBufferSize = 4500;  // longest text line of the view, terminator included
inline constexpr int kChainRowsShown = 6;     // rows of the chain table at most

// Per-mille of the area width or height; record 0 lays out the series view,
// all four the statistics charts.
extern const uint16_t GraphLayout[4][12];

// What the series view reads besides the records: the drawing options and the
// layout of the current paint.
struct SeriesViewOptions {
    RECT SeriesAreaRect{};               // the area, right and bottom inclusive
    int32_t wLineHeight = 0;             // line step of every text
    int32_t bFrameGraphFields = 1;       // white framed field behind each graph
    int32_t bSpecialGraphSize = 0;       // graphs of 618 x 112 whatever the area; no frames
    int32_t bShadedOriginalPulses = 1;   // hatch the kept parts of the true pulses
    int32_t bHighlightDetectedPulses = 1; // dotted brackets round the detected pulses
    uint16_t wTuplesHighlight = 2;       // detected tuples: 0 none, 1 dotted frame, 2 coloured background
    int32_t wPickedSubset = 0;           // 1-based stored subset picked in the subset panel, 0 none
    int32_t bRecording = 0;              // an opened recording: no truth (its graph carries the page line)
    int32_t dwFirstSample = 0;           // a recording longer than a page: the page's first sample, >= 0
    int32_t dwPageSamples = 0;           // samples on a page; 0: the whole series
    int64_t dwStretchFirst = 0;          // a recording longer than one series: the signal sample it starts at
    int64_t dwSignalSamples = 0;         // that recording's whole signal, samples; 0: the series is all of it
};

// The series' energies: signal Es, noise over the whole series En, noise under
// the true pulses Ep; the ratios are 0 when Es <= 0.
struct SeriesEnergies {
    int64_t Es;    // sum of pure^2
    int64_t En;    // sum of (noisy - pure)^2 over the series
    int64_t Ep;    // the same over the n samples from each true pulse's start
    double allNS;  // En / Es
    double NS;     // Ep / Es
};
SeriesEnergies seriesEnergies(const SeriesHeader* lpSeriesHeader);

// The amplitude a (0 in the series: the first power of two from 128 not below
// the noise level) and the half-range S of every graph.
struct SeriesScale {
    int32_t a;  // amplitude of the legend and pattern cells, and of the header line
    int32_t S;  // half-range of the graphs, >= 1
};
SeriesScale seriesScale(int16_t wSeriesAmplitude, int16_t wSeriesNoiseLevel);

// Every position of the view that depends on the area and the line height only.
struct SeriesViewGeometry {
    RECT area;             // SeriesAreaRect, right and bottom inclusive
    int32_t W, H, h;       // area width and height (inclusive edges), line height
    int32_t marginX, marginY, halfMarginY; // horizontal and vertical margin, half the vertical one (rounded)
    int32_t x0;                       // left of the graphs and of every text line
    int32_t graphWidth, graphHeight;  // pixels (graphHeight even)
    RECT graph[3];                    // true, noisy, restored: (x0, t, x0 + graphWidth, t + graphHeight)
    int32_t textTop;                  // y of the first result line
    int32_t cellWidth;                // legend cell width
    int32_t legendWidth, legendHeight; // the frame's last column is legendLeft + legendWidth; likewise its last row
    int32_t legendLeft, legendTop;    // the legend frame's top-left
    int32_t legendRoom;               // height the legend may take
    int32_t rows;                     // legend rows (two columns)
    int32_t cellHeight;               // legend cell height
};
SeriesViewGeometry seriesViewGeometry(const SeriesViewOptions& options, int32_t requiredCount);

// One text of the view at its top-left.
struct TextItem {
    int32_t x;         // client pixels
    int32_t y;         // client pixels
    std::string text;  // UTF-8, at most kLineBufferSize - 1 bytes
};

// Whether etalon letters follow the numbers: a described run other than
// detection, else a first detected etalon that is not 0.
bool etalonLettersShown(const ChainsHeader* lpChainsHeader, const SeriesHeader* lpSeriesHeader);
// The four header lines of a series (never null), the first only for a
// described run (without `truth`, a recording's, the true pulses' line is left out).
std::vector<TextItem> seriesHeaderLines(const SeriesViewGeometry& g, const ChainsHeader* lpChainsHeader,
                                        const SeriesHeader* lpSeriesHeader, bool truth = true);
inline constexpr int32_t kChainPulsesColumn = 100;  // the chain table's pulses, pixels right of its numbers
// The result lines below the graphs of a series (never null): detected pulses, restore error, the chain
// table (with a chains record only) and the truth line (without `truth`, a
// recording's, the restore error and the truth line are left out). The
// table's pulses stand `pulsesColumn` pixels right of its row heads.
std::vector<TextItem> seriesResultLines(const SeriesViewGeometry& g, const ChainsHeader* lpChainsHeader,
                                        const SeriesHeader* lpSeriesHeader, bool truth = true,
                                        int32_t pulsesColumn = kChainPulsesColumn);
// The heads ("k. [letter] measure") of the chain table's rows whose measure
// is wider than the 7 digits the column is made for (a recording's costs are
// large); the painter widens the column to the widest of them.
std::vector<std::string> wideChainRowHeads(const ChainsHeader* lpChainsHeader, const SeriesHeader* lpSeriesHeader,
                                           bool truth);
// The legend caption for a legend `legendWidth` pixels wide.
std::string legendCaption(int32_t legendWidth, int32_t requiredCount);

// Sum of (pure - restored)^2, the series restored from chain 0.
int32_t restoreError(const ChainsHeader* lpChainsHeader, const SeriesHeader* lpSeriesHeader);
// The cost the detectors minimise, for the true pulses and their kept samples.
int32_t trueMeasure(const SeriesHeader* lpSeriesHeader);

// One etalon cell of the legend or the pattern box.
struct EtalonCellItem {
    RECT cell;       // (x, y, right, bottom) as drawEtalonCell takes it
    int32_t number;  // 1-based etalon number; 0: an empty place
    int32_t mode;    // 0 plain, 1 grey, 2 red background
};
std::vector<EtalonCellItem> legendCells(const SeriesViewGeometry& g, uint16_t wRequiredQuantity,
                                        const uint16_t* lpRequiredList, const ChainsHeader* lpChainsHeader);

// The tuple pattern box: stored subsets (task code 40) or the one pattern.
struct PatternBoxGeometry {
    bool shown = false;            // a tuple series with something to show
    std::string caption;           // " pattern tuples " or " pattern tuple "
    RECT frame{};                  // Rectangle() arguments (right, bottom exclusive)
    POINT captionAt{};             // top-left of the caption
    std::vector<RECT> rows;        // stored subsets: the row of each, for the mouse
    std::vector<EtalonCellItem> cells; // every cell in drawing order
};
// The caption for a described run (empty when no box is drawn).
std::string patternCaption(const ChainsHeader* lpChainsHeader);
PatternBoxGeometry patternBoxGeometry(const SeriesViewGeometry& g, SIZE captionSize, int32_t pickedSubset,
                                      const ChainsHeader* lpChainsHeader, const SeriesHeader* lpSeriesHeader);

// Graph coordinates: X(p) and Y(s) of a graph rectangle for a series of L
// samples and the half-range S. Every routine below draws nothing for L < 2.
struct GraphFrame {
    RECT r;       // (left, top, right, bottom) of the graph
    int32_t L;    // series length
    int32_t S;    // half-range
    int32_t first = 0;   // series sample at the left edge (a page of a longer recording), >= 0
    bool page = false;   // a page: pulses off it are left out, those across its edges cut there
    int32_t X(int32_t p) const;   // left + p * W' / (L - 1)
    int32_t dx(int32_t p) const;  // p * W' / (L - 1), relative to left
    int32_t Y(int32_t s) const;   // bottom - (s + S) * H' / (2S)
    int32_t mid() const;          // top + H' / 2
};
// What the labels need besides the frame.
struct LabelStyle {
    bool letters;         // etalon letters after the positions
    bool ranges;          // kept ranges (cut-off series types)
};

void drawGraphAxes(HDC hdc, const GraphFrame& f);
void drawNoisySeries(HDC hdc, const GraphFrame& f, const SeriesHeader* lpSeriesHeader);
void drawTruePulses(HDC hdc, const GraphFrame& f, const SeriesHeader* lpSeriesHeader);
void drawKeptParts(HDC hdc, const GraphFrame& f, const SeriesHeader* lpSeriesHeader);
void drawDetectedPulses(HDC hdc, const GraphFrame& f, const SeriesHeader* lpSeriesHeader);
void shadeOriginalPulses(HDC hdc, const GraphFrame& f, const SeriesHeader* lpSeriesHeader);
// kind 0: the true pulses; 1 or 2: the detected ones.
void drawPulseLabels(HDC hdc, const GraphFrame& f, int kind, const LabelStyle& style,
                     const SeriesHeader* lpSeriesHeader);
void highlightDetectedPulses(HDC hdc, const GraphFrame& f, const SeriesHeader* lpSeriesHeader);
void frameDetectedTuples(HDC hdc, const GraphFrame& f, const SeriesHeader* lpSeriesHeader);
void fillDetectedTuples(HDC hdc, const GraphFrame& f, const SeriesHeader* lpSeriesHeader);

// One etalon in a small cell (x, y, right, bottom) at amplitude A; mode 0
// plain, 1 grey background, 2 red background. The caption takes one line of
// the surface's font above the curve.
void drawEtalonCell(HWND hWnd, HDC hdc, const PulseHeader* pulse, int32_t A, int mode, const RECT& cell);

// The whole view from plain inputs; the row rectangles of stored subsets go
// to patternRows (may be null). Returns 1.
int paintSeriesView(HDC hdc, const SeriesViewOptions& options, uint16_t wRequiredQuantity,
                    const uint16_t* lpRequiredList, const ChainsHeader* lpChainsHeader,
                    const SeriesHeader* lpSeriesHeader, std::vector<RECT>* patternRows);

// State of the view kept between paints: written by the view, read by the
// mouse handling of the subset panel.
struct SeriesViewState {
    std::vector<RECT> PatternRowRect;  // row of each stored subset in the pattern box, at the last paint
};
extern SeriesViewState gSeriesView;

// The results view of one series (view 6) from the program state and the
// layout of this paint. Returns 1.
int drawSeriesView(HWND hWnd, HDC hdc, uint16_t wRequiredQuantity, uint16_t* lpRequiredList,
                   ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader);

/*==========================================================================
** Statistics charts: the results of a statistical simulation (view 6,
** results mode 2). charts_layout.cpp (plain numbers and texts), charts.cpp
** (painting from plain inputs), statistics.cpp (the entry from the state)
**========================================================================*/

// The reference values printed as "etEnergy=%d, Rmin=%d, Rmax=%d": the
// run's errorReference (simulation.h).
using ChartReference = ErrorReference;
ChartReference chartReference(const ChartInputs& in);

// RestoredErrorNormalizer: P restoring, P detection and P unit entries, the
// run's errorNormalizers (simulation.h). An entry that would be 0 or negative
// stays 1.
std::vector<int32_t> chartNormalizers(const ChartInputs& in, const ChartReference& ref);

// The per-mille of every cell of the table the chart kind draws (cell
// k * P + j): errorPerMille of the cell and its normaliser (the detection and
// recognition normalisers times the repeats). The componentwise restoring
// chart's top is the largest of them.
std::vector<int64_t> chartPerMille(const ChartInputs& in, const std::vector<int32_t>& normalizers);

// Q (thousandths the top stands for), the scale Z and the plotting factor F.
struct ChartScale {
    int32_t Q;  // chart top as computed from the tables
    int32_t Z;  // the scale, >= 1
    int32_t F;  // 1000 / Z, integer
};
int32_t chartTop(const ChartInputs& in, const std::vector<int32_t>& normalizers);
ChartScale chartScale(int32_t Q, int32_t bFixedUpperBound, double dUpperBound);

// The fifteen line places of the text block (empty strings are empty lines).
std::vector<std::string> chartTextLines(const ChartInputs& in, const ChartReference& ref);
// " Alphabet, %d items " (singular for one), or " Alph: %d " for a panel
// narrower than 100 pixels.
std::string alphabetPanelTitle(uint16_t count, int32_t panelWidth);
// The six value labels from the bottom up, and the elapsed time text.
std::vector<std::string> chartValueLabels(int32_t Z);
std::string elapsedTimeText(int64_t seconds);
// The two "Symbol" font heights: formula line and labels.
int32_t formulaFontHeight(int32_t areaHeight, int32_t lineHeight);
int32_t labelFontHeight(int32_t areaHeight, int32_t lineHeight);

// Every position of the chart view.
struct ChartGeometry {
    RECT area;                  // SeriesAreaRect, right and bottom inclusive
    int32_t W, H, h;            // area width and height, line height
    int32_t marginX, marginY;   // horizontal and vertical margin
    int32_t textX, textTop;     // first text line's top-left
    int32_t lineStep;           // h + 1
    RECT panel;                 // alphabet panel frame, Rectangle() arguments
    int32_t panelRows;          // (b + 1) / 2
    std::vector<RECT> panelCells;   // etalon cell of each required etalon, in list order
    bool tupleLegend;           // a tuple series: the pattern box below the text
    RECT tupleBox;              // its frame, Rectangle() arguments
    std::vector<RECT> tupleRows;    // stored subsets: the row of each
    std::vector<EtalonCellItem> tupleCells; // its cells
    int32_t formulaTop;         // top of the formula line (kinds 0..3)
    int32_t fontLineTop;        // top of the " %d -> %d" line
    int32_t formulaFontSize;    // requested height of the "Symbol" font of the formula line
    int32_t labelFontSize;      // requested height of the "Symbol" font of the labels
    RECT box;                   // chart box: left, top, right, bottom (inclusive lines)
    int32_t levelStep;          // pixels between noise levels, even
    int32_t rowHeight;          // pixels per grid row; the box is 10 rows high
};
ChartGeometry chartGeometry(const ChartInputs& in);

// One curve or bound: the polyline's points and the label at its end.
struct ChartCurve {
    std::vector<POINT> points;  // first point: MoveTo; the rest: LineTo
    std::string label;          // printed at the end ("" for the bounds)
    int strokes;                // 2: offsets (0,0), (0,+1); 3: and (+1,0)
};
std::vector<ChartCurve> chartCurves(const ChartInputs& in, const ChartGeometry& g, const ChartReference& ref,
                                    const std::vector<int32_t>& normalizers, const ChartScale& scale);

// The charts' entry from the paint dispatcher: the layout of this paint, the
// dialog's scale options and the run's times from the program state.
int DrawDetectionArrayZ(HWND hWnd, HDC hdc, PulseHeader* lpFirstEtalon, int16_t wAmplitude, int32_t wChartKind,
                        uint16_t wRequiredQuantity, uint16_t* lpRequiredList, RestoreErrorHeader* lpRestErrorHeader,
                        SeriesHeader* lpSeriesHeader);

/*==========================================================================
** Parameter panel: the timing constraints of the current series (view 10)
** paramspanel_layout.cpp (plain numbers, hit tests, values from a point),
** paramspanel.cpp (the record, painting, presses, moves and releases)
**========================================================================*/

// A drawn segment: MoveToEx(from), LineTo(to), so `to` itself is not drawn.
struct ParamsLine {
    POINT from;  // first point, client pixels
    POINT to;    // last point, client pixels
};

// The values a paint shows, kept as they were at creation and at the last paint.
struct ParamsValues {
    int32_t M;       // pulse count
    int32_t aPlus;   // latest start of the first pulse, samples
    int32_t bMinus;  // earliest start of the last pulse, samples
    int32_t Tmin;    // least interval, samples
    int32_t Tmax;    // greatest interval, samples
    int32_t Mmax;    // greatest pulse count of the panel
    int32_t Mmin;    // least pulse count of the panel
};

// The state of the panel: one instance (gState.lpParamsHeader), made by
// getParamsHeader on entry into view 10, released at window destruction.
// Coordinates are client pixels; rectangles right and bottom inclusive.
struct ParamsHeader {
    int32_t dwAllocatedLength;   // series length when pulsesSelectedAreas was last grown, samples
    int32_t dwPanelLength;       // L, series length, samples
    int32_t wPanelTmin;          // Tmin being edited, samples, >= 1
    int32_t wPanelTmax;          // Tmax being edited, samples, > 0
    int32_t wPanelPulseLength;   // n, pulse length, samples
    int32_t wPanelPulses;        // M, the chosen pulse count
    int32_t wPanelMaxPulses;     // Mmax = (L + Tmin - n) / Tmin at creation
    int32_t wPanelMinPulses;     // Mmin = (L + n - 1) / Tmax at creation
    int32_t a;                   // earliest start of the first pulse, 0
    int32_t aPlus;               // latest start of the first pulse, a..b (Tmax - n at creation; dragged)
    int32_t bMinus;              // earliest start of the last pulse, a..b (L - Tmax at creation; dragged)
    int32_t b;                   // latest start of the last pulse, L - n
    int32_t wAreasCapacity;      // entries allocated in pulsesSelectedAreas
    int32_t wAreasQuantity;      // entries in use: Mmax - Mmin + 1, >= 0
    RECT* pulsesSelectedAreas;   // [wAreasCapacity] hit rectangle of pulse count Mmin + i
    std::vector<RECT> areaStore; // behind pulsesSelectedAreas
    RECT PanelRect;              // the inner panel
    RECT PlotRect;               // the diagram's axes: (plotLeft, plotTop, plotRight, plotBottom)
    RECT APlusHandleRect;        // hit rectangle of the dotted a+ level
    RECT BMinusHandleRect;       // hit rectangle of the dotted b- level
    RECT ParamsCancelRect;       // the Cancel button
    RECT ParamsOKRect;           // the OK button
    int32_t bAPlusHover;         // 1: the mouse is over the a+ level (captured, sizing cursor)
    int32_t bBMinusHover;        // 1: the mouse is over the b- level
    int32_t bAPlusDrag;          // 1: a+ follows the mouse
    int32_t bBMinusDrag;         // 1: b- follows the mouse
    int32_t bChanged;            // 1: the next paint erases the moved parts and redraws over the old picture
    ParamsValues previous;       // the values at the last paint (the "[%d]" values and the erase pass)
    ParamsValues initial;        // the values at creation
    ParamsLine TmaxLine;         // line 1, the draggable Tmax line
    int32_t wTmaxLineTolerance;  // its hit tolerance, pixels
    int32_t bTmaxHover;          // 1: the mouse is over it
    int32_t bTmaxDrag;           // 1: Tmax follows the mouse
    ParamsLine TminLine;         // line 2, the draggable Tmin line
    int32_t wTminLineTolerance;  // its hit tolerance, pixels
    int32_t bTminHover;          // 1: the mouse is over it
    int32_t bTminDrag;           // 1: Tmin follows the mouse
    ParamsLine DrawnLines[4];    // the four slanted lines as last drawn
    ParamsLine BLevelLine;       // the b level as last drawn
    ParamsLine MLine;            // the vertical line at M as last drawn
    ParamsLine APlusLevelLine;   // the dotted a+ level as last drawn
    ParamsLine BMinusLevelLine;  // the dotted b- level as last drawn
    RECT APlusLabelRect;         // the a+ value label as last drawn
    RECT BMinusLabelRect;        // the b- value label as last drawn
    RECT LastAreaRect;           // SeriesAreaRect of the last paint: another one repaints in full
    int32_t bPainted;            // 1 once painted since getParamsHeader: the erase pass has something to erase
    HCURSOR hPreviousCursor;     // cursor shown before the hover began
};

// Text sizes the geometry needs, as the surface's font measures them.
struct ParamsTextSizes {
    int32_t lineHeight;        // wLineHeight, pixels
    int32_t textHeight;        // height of a line of text, pixels
    int32_t aveCharWidth;      // wAveCharWidth, pixels
    int32_t bLabelWidth;       // width of "%d" of b
    int32_t buttonLabelWidth;  // widest of " Cancel " and " OK "
    int32_t tminLabelWidth;    // width of " Tmin "
    int32_t editWidth;         // width of " 9999"
};

// Everything of the panel that depends on the area and the text sizes only.
struct ParamsPanelGeometry {
    int32_t W, H;                          // SeriesAreaRect width and height (inclusive edges)
    int32_t marginX, marginY;              // margins: W / 170, H / 131
    int32_t lineHeight, textHeight;        // line height, height of a line of text
    int32_t aveCharWidth;                  // average character width
    int32_t buttonWidth, buttonHeight;     // button width and height
    int32_t frameLeft, frameTop;           // the frame's top-left (inclusive)
    int32_t frameRight, frameBottom;       // the frame's bottom-right (inclusive)
    int32_t frameWidth, frameHeight;       // frameRight - frameLeft, frameBottom - frameTop
    RECT panel;                            // PanelRect
    int32_t plotLeft, plotTop, plotBottom; // PlotRect left, top, bottom (axis origin at (plotLeft, plotBottom))
    int32_t plotRight;                     // PlotRect right
    int32_t plotWidth, plotHeight;         // plotRight - plotLeft + 1, plotBottom - plotTop + 1
    POINT textAt;                          // top-left of the first geometry text line
    POINT tminLabelAt;                     // top-left of " Tmin "
    POINT editAt;                          // the edit field's top-left corner
    SIZE editSize;                         // the edit field's width and height
    RECT cancel, ok;                       // the two buttons
};
ParamsPanelGeometry paramsPanelGeometry(const RECT& area, const ParamsTextSizes& sizes);

// The scales of the diagram for pulse counts up to Mmax and starts a..b.
// Mmax of 1 and b equal to a scale as if the span were one step.
struct ParamsScale {
    int32_t plotLeft, plotBottom;   // from the geometry: the axis origin
    int32_t plotWidth, plotHeight;  // from the geometry
    int32_t Mmax, a, b;             // from the record
    int32_t x(int64_t k) const;     // plotLeft + (k - 1) plotWidth / (Mmax - 1)
    int32_t y(int64_t v) const;     // plotBottom - (v - a) plotHeight / (b - a)
    // x at half pulse steps: plotLeft + (s plotWidth + (Mmax - 1)) / (2 (Mmax - 1))
    int32_t halfStepX(int64_t s) const;
    // y at half interval steps: plotBottom - (w plotHeight + (b - a)) / (2 (b - a))
    int32_t halfStepY(int64_t w) const;
    // plotLeft - (plotWidth + (Mmax - 1)) / (2 (Mmax - 1)): where lines 1 and 3 start
    int32_t leftX() const;
};
ParamsScale paramsScale(const ParamsPanelGeometry& g, const ParamsHeader& p);

// What the diagram draws for the record's values.
struct ParamsDiagram {
    ParamsLine axisY, axisX;            // the axes
    std::vector<int32_t> upTicks;       // x of k = 1 .. M
    std::vector<int32_t> downTicks;     // x of k = Mmin .. Mmax
    std::vector<RECT> areas;            // hit rectangle of each pulse count Mmin .. Mmax
    ParamsLine bLevel, mLine;           // the b level and the line at M
    ParamsLine aPlusLevel, bMinusLevel; // the dotted levels (every second pixel)
    RECT aPlusHandle, bMinusHandle;     // their hit rectangles
    int32_t c, c1, c2;                  // ends of the slanted lines: c (line 1), c' (line 2), c'' (lines 3, 4)
    ParamsLine lines[4];                // Tmax line, Tmin line, earliest from the start, earliest from the end
    int32_t tolerance;                  // hit tolerance of lines 1 and 2: marginY / 2 + 1
};
ParamsDiagram paramsDiagram(const ParamsPanelGeometry& g, const ParamsHeader& p);

// The four geometry lines and the value block (label, value) of the panel.
std::vector<std::string> paramsGeometryTexts(const ParamsHeader& p);
std::vector<std::pair<std::string, std::string>> paramsValueTexts(const ParamsHeader& p);

// Whether (x, y) lies on a line within `tolerance` pixels vertically.
int hitParamsLine(const ParamsLine& line, int32_t tolerance, int x, int y);
int hitTmaxLine(int x, int y, const ParamsHeader* p);
int hitTminLine(int x, int y, const ParamsHeader* p);
// Tmax or Tmin the dragged line would stand for through (x, y); 0: none
// (not hovered, or a point the value is not defined at).
int32_t tmaxFromPoint(int x, int y, const ParamsHeader* p);
int32_t tminFromPoint(int x, int y, const ParamsHeader* p);
// Whether a value is admissible as the panel's Tmin or Tmax.
int validTmin(int32_t value, const ParamsHeader* p);
int validTmax(int32_t value, const ParamsHeader* p);
// a+ or b- from the y of a point, kept within a..b.
int32_t levelFromPoint(int y, const ParamsHeader* p);

// Paints the panel (view 10) in full, or over the last picture when bChanged.
// Returns 1, 0 without a record.
int drawParamsPanel(HWND hWnd, HDC hdc, ParamsHeader* lpParamsHeader, SeriesHeader* lpSeriesHeader);
// A press in view 10: 1 when an element of the panel took it.
int pressParamsPanel(HWND hWnd, int x, int y);
// Moves and releases; both act in view 10 only.
void moveParamsPanel(HWND hWnd, int x, int y);
void releaseParamsPanel(HWND hWnd, int x, int y);
// Hides the edit field "Tmin Text" and gives back the capture and the cursor
// a hover took: every view but 10 has no use for them.
void leaveParamsPanel(HWND hWnd);
