// The statistics charts: the chart top and scale, the value labels, the texts
// of the text block and the panel, the reference values and normalizers, the
// curve points of the integer kinds and the bounds, and painting on a memory
// surface (frame only without a record, the chart box with one).
#include <algorithm>
#include <cmath>
#include <random>

#include "support/headless.h"
#include "display/seriesview_support.h"
#include "platform/backend.h"
#include "simulation/simulation.h"

namespace {

/*---- Scale and labels ----*/

TEST(ChartScale, FiftyHalvesToFiftyWithFactorTwenty)
{
    const ChartScale sc = chartScale(50, 0, 0.25);
    EXPECT_EQ(sc.Z, 50);
    EXPECT_EQ(sc.F, 20);
}

TEST(ChartScale, RecognitionTopAndThreeHundredGiveFiveHundred)
{
    EXPECT_EQ(chartScale(500, 0, 0.25).Z, 500);
    EXPECT_EQ(chartScale(500, 0, 0.25).F, 2);
    EXPECT_EQ(chartScale(300, 0, 0.25).Z, 500);
    EXPECT_EQ(chartScale(300, 0, 0.25).F, 2);
}

TEST(ChartScale, FixedUpperBoundOverridesAndFactorTruncates)
{
    const ChartScale fixed = chartScale(500, 1, 0.25);
    EXPECT_EQ(fixed.Z, 250);
    EXPECT_EQ(fixed.F, 4);
    EXPECT_EQ(chartScale(50, 1, 0.3).F, 3);   // 1000 / 300, not 3.33
    EXPECT_EQ(chartScale(500, 1, 0.0).Z, 500); // a bound of 0 is not in force
}

TEST(ChartScale, TopOfZeroOrTinyBoundNeverDividesByZero)
{
    EXPECT_GE(chartScale(0, 0, 0.25).Z, 1);
    EXPECT_EQ(chartScale(0, 0, 0.25).F, 1000 / chartScale(0, 0, 0.25).Z);
    EXPECT_EQ(chartScale(500, 1, 0.0001).Z, 1);
    EXPECT_EQ(chartScale(500, 1, 0.0001).F, 1000);
}

TEST(ChartValueLabels, TwoDecimalsForFiveHundredThreeForForty)
{
    EXPECT_EQ(chartValueLabels(500), (std::vector<std::string>{"0.00", "0.10", "0.20", "0.30", "0.40", "0.50"}));
    EXPECT_EQ(chartValueLabels(40),
              (std::vector<std::string>{"0.000", "0.008", "0.016", "0.024", "0.032", "0.040"}));
    EXPECT_EQ(chartValueLabels(50).back(), "0.05");
}

TEST(ChartTexts, ElapsedTimeSplitsMinutesAndSecondsIntoDigits)
{
    EXPECT_EQ(elapsedTimeText(3725), "elapsed time 1:02:05");
    EXPECT_EQ(elapsedTimeText(59), "elapsed time 0:00:59");
    EXPECT_EQ(elapsedTimeText(-5), "elapsed time 0:00:00");
}

TEST(ChartTexts, PanelTitleSingularForOneShortWhenNarrow)
{
    EXPECT_EQ(alphabetPanelTitle(1, 150), " Alphabet, 1 item ");
    EXPECT_EQ(alphabetPanelTitle(20, 150), " Alphabet, 20 items ");
    EXPECT_EQ(alphabetPanelTitle(1, 99), " Alph: 1 ");
    EXPECT_EQ(alphabetPanelTitle(20, 60), " Alph: 20 ");
}

TEST(ChartTexts, TitlesOfTheKinds)
{
    EXPECT_STREQ(chartTitle(0), " restored error, componentwise case");
    EXPECT_STREQ(chartTitle(3), " detection error, agregate form");
    EXPECT_STREQ(chartTitle(12), chartTitle(4));
    EXPECT_STREQ(chartTitle(13), " recognition error, agregate form");
    EXPECT_STREQ(chartTitle(7), "");
}

TEST(ChartTexts, SymbolFontHeightsHaveALineAndTwoPixelsAtLeast)
{
    EXPECT_EQ(formulaFontHeight(938, 13), 38);  // (938 + 12) / 25
    EXPECT_EQ(labelFontHeight(938, 13), 43);    // (938 + 11) / 22
    EXPECT_EQ(formulaFontHeight(100, 13), 15);
    EXPECT_EQ(labelFontHeight(100, 13), 15);
}

/*---- Records ----*/

class Charts : public HandMadeSeries {
protected:
    RestoreErrorHeader* r = nullptr;
    ChartInputs in;
    const uint16_t list[2] = {1, 2};

    void SetUp() override
    {
        HandMadeSeries::SetUp();
        s->lpFirstEtalon = &etalons[0];
        in.options.SeriesAreaRect = RECT{10, 10, 1009, 709};
        in.options.wLineHeight = 14;
        in.wRequiredQuantity = 2;
        in.lpRequiredList = list;
        in.lpSeriesHeader = s;
    }
    void TearDown() override
    {
        freeRestErrHeader(r);
        HandMadeSeries::TearDown();
    }
    // A grid of P pulse counts from 6 by 2 and L noise levels from 0 by 10.
    void grid(uint16_t P, uint16_t L, int32_t u, uint16_t seriesType = 2, uint16_t task = 4)
    {
        r = getRestErrHeader(hWnd, P, L, u, nullptr);
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(initRestErrHeader(hWnd, P, 6, 2, L, 0, 10, u, r), 1);
        ASSERT_EQ(addInitRestErrHeader(hWnd, seriesType, task, 75, 75, r), 1);
        in.lpRestErrorHeader = r;
    }
};

TEST_F(Charts, ThirdLineListsThreeCountsAndTheRange)
{
    grid(3, 4, 10);
    s->wMinPulses = 6;
    s->wMaxPulses = 30;
    const auto lines = chartTextLines(in, chartReference(in));
    EXPECT_EQ(lines[2], " involves 6, 8, 10 pulses from [6-30],");
}

TEST_F(Charts, ThirdLineListsFirstTwoAndLastOfFourOrMore)
{
    grid(5, 4, 10);
    s->wMinPulses = 6;
    s->wMaxPulses = 30;
    EXPECT_EQ(chartTextLines(in, chartReference(in))[2], " involves 6, 8,..., 14 pulses from [6-30],");
    freeRestErrHeader(r);
    grid(4, 4, 10);
    EXPECT_EQ(chartTextLines(in, chartReference(in))[2], " involves 6, 8,..., 12 pulses from [6-30],");
}

TEST_F(Charts, TextBlockDescribesTheRunAndTheTimes)
{
    grid(1, 4, 100, 8, 4);
    in.wChartKind = 3;
    in.options.simStartTime = 1000;
    in.options.simEndTime = 1000 + 3725;
    const auto lines = chartTextLines(in, chartReference(in));
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(lines[0], " statistical simulation for joint detection and identification in series with unknown "
                        "number of cut-off pulses ");
    EXPECT_EQ(lines[1], " series length 400, ");
    EXPECT_EQ(lines[3], " with length 4, amplitude 128");
    EXPECT_EQ(lines[4], " Tmin=10, Tmax=40,");
    EXPECT_EQ(lines[5], " number of 4 noise levels");
    EXPECT_EQ(lines[6], " from 0 to 30 with step 10");
    EXPECT_EQ(lines[7], " detection error, agregate form");
    EXPECT_EQ(lines[8], " for volume of  100 repeats");
    EXPECT_EQ(lines[9], "");
    EXPECT_EQ(lines[10], "etEnergy=1000, Rmin=-100, Rmax=0");
    EXPECT_FALSE(lines[12].empty());
    EXPECT_EQ(lines[12].find('\n'), std::string::npos);
    EXPECT_EQ(lines[14], "elapsed time 1:02:05");
}

TEST_F(Charts, UnknownCodesPrintEmptyNamesAndOneLevelNoStep)
{
    grid(1, 1, 10, 99, 99);
    const auto lines = chartTextLines(in, chartReference(in));
    EXPECT_EQ(lines[0], " statistical simulation for  in series with  ");
    EXPECT_EQ(lines[6], " from 0 to 0 with step 0");
}

TEST_F(Charts, ReferenceUsesFirstRequiredPairAndFallsBackForUnknownNumbers)
{
    grid(1, 2, 10);
    ChartReference ref = chartReference(in);
    EXPECT_EQ(ref.etEnergy, 1000);  // 10 20 20 10
    EXPECT_EQ(ref.minSquare, 100);
    EXPECT_EQ(ref.Rmin, -100);
    EXPECT_EQ(ref.Rmax, 0);
    // Etalon 1 against itself correlates positively only: Rmin is 0.
    const uint16_t same[2] = {1, 7};  // 7 is beyond the series' two etalons: etalon 1 stands in
    in.lpRequiredList = same;
    EXPECT_EQ(chartReference(in).Rmin, 0);
}

TEST_F(Charts, NormalizersFromEnergyAndIntervalAndOneForZero)
{
    grid(2, 2, 10);
    s->wMaxPulses = 30;
    const ChartReference ref = chartReference(in);
    const auto n = chartNormalizers(in, ref);
    ASSERT_EQ(n.size(), 6u);
    EXPECT_EQ(n[0], 2 * 30 * (1000 + 100));
    EXPECT_EQ(n[1], n[0]);
    EXPECT_EQ(n[2], (40 - 4) * (40 - 4));
    EXPECT_EQ(n[4], 1);
    // A silent etalon and Tmax equal to the pulse length: no division by zero.
    s->wTmax = 4;
    const auto zero = chartNormalizers(in, ChartReference{0, 0, 0, 0});
    EXPECT_EQ(zero[0], 1);
    EXPECT_EQ(zero[2], 1);
}

TEST_F(Charts, ChartTopPerKind)
{
    grid(2, 3, 10);
    std::vector<int32_t> n = chartNormalizers(in, chartReference(in));
    in.wChartKind = 0;
    EXPECT_EQ(chartTop(in, n), 50);  // empty tables: the least top
    r->lpErrors[0][2][1] = n[1] / 4; // a quarter of the normalizer
    EXPECT_EQ(chartTop(in, n), 250);
    in.wChartKind = 2;
    EXPECT_EQ(chartTop(in, n), 300);  // W at least 0.3
    r->lpErrors[1][1][0] = n[2] * 10; // mean n[2] over 10 trials: W = 1
    EXPECT_EQ(chartTop(in, n), 1000);
    in.wChartKind = 3;
    EXPECT_EQ(chartTop(in, n), 707);  // sqrt(10 n / (2 n 10)) = sqrt(0.5)
    for (int kind : {4, 5, 12, 13}) {
        in.wChartKind = kind;
        EXPECT_EQ(chartTop(in, n), 500) << kind;
    }
    in.wChartKind = 1;
    EXPECT_EQ(chartTop(in, n), 490);  // raised to 0.49 P
}

namespace {

// 1000 x truncated, read with a margin of 2^-50 that covers the two roundings
// of a quotient and its product: 1001 / 1000 as a double times 1000 is
// 1000.9999999999999, while the per-mille of 1001 over 1000 is 1001.
int64_t perMilleOfDouble(double x)
{
    return static_cast<int64_t>(std::trunc(1000.0 * x * (1.0 + 0x1p-50)));
}

} // namespace

TEST_F(Charts, PerMilleOfEveryKindIsTheTruncationOfTheNormalisedDoubles)
{
    std::mt19937 pick(1208);
    auto in32 = [&pick](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(pick); };
    int compared = 0, exact = 0;
    for (int round = 0; round < 300; round++) {
        freeRestErrHeader(r);
        r = nullptr;
        grid(static_cast<uint16_t>(in32(1, 5)), static_cast<uint16_t>(in32(1, 6)), static_cast<int32_t>(in32(1, 500)));
        s->wMaxPulses = static_cast<uint16_t>(in32(1, 40));
        s->wTmax = static_cast<uint16_t>(in32(4, 300));
        std::vector<int32_t> n = chartNormalizers(in, chartReference(in));
        const int P = r->wVariousPulses;
        if (round % 3 == 0)  // small normalisers: many cells land on whole per-mille (all of them over 1000)
            for (int j = 0; j < P; j++) {
                n[j] = j == 0 ? 1000 : static_cast<int32_t>(in32(1, 2000));
                n[P + j] = static_cast<int32_t>(in32(1, 50));
            }
        const int64_t top = round % 2 ? INT32_MAX : 5000;
        for (int t : {0, 1, 3})
            for (int k = 0; k < r->wNoiseLevels; k++)
                for (int j = 0; j < P; j++)
                    r->lpErrors[t][k][j] = static_cast<int32_t>(in32(0, t == 3 ? r->repeats : top));
        ErrorNormalizers e{std::vector<int32_t>(n.begin(), n.begin() + P),
                           std::vector<int32_t>(n.begin() + P, n.begin() + 2 * P), r->repeats};
        const NormalisedErrors x = normaliseErrors(r, e);
        for (int kind : {0, 1, 2, 3, 4, 5, 12, 13}) {
            in.wChartKind = kind;
            const ChartTable table = chartKindOf(kind)->table;
            const std::vector<double>& values = table == ChartTable::Restoring   ? x.restoring
                                                : table == ChartTable::Detection ? x.detection
                                                                                 : x.recognition;
            const std::vector<int64_t> perMille = chartPerMille(in, n);
            ASSERT_EQ(perMille.size(), values.size()) << "kind " << kind;
            for (size_t c = 0; c < values.size(); c++) {
                ASSERT_EQ(perMille[c], perMilleOfDouble(values[c]))
                    << "kind " << kind << ", cell " << c << ": " << values[c];
                exact += perMille[c] == static_cast<int64_t>(std::trunc(1000.0 * values[c]));
                compared++;
            }
            if (kind == 0) {  // the componentwise restoring top is the largest per-mille
                EXPECT_EQ(chartTop(in, n),
                          std::clamp<int64_t>(*std::max_element(perMille.begin(), perMille.end()), 50, INT32_MAX));
            }
            if (kind == 1) {  // the aggregate restoring top sums the same doubles
                double X = 0.0;
                for (int k = 0; k < r->wNoiseLevels; k++) {
                    double S = 0.0;
                    for (int j = 0; j < P; j++)
                        S += x.restoring[size_t(k) * P + j];
                    X = std::max(X, S);
                }
                X = std::max({X, 0.079, 0.49 * P});
                EXPECT_EQ(chartTop(in, n), static_cast<int32_t>(std::min(1000.0 * X / P, double(INT32_MAX))));
            }
        }
    }
    EXPECT_GT(compared, 10000);
    EXPECT_LT(exact, compared) << "some quotients round below their whole per-mille: the margin is needed";
}

TEST(NormalisedErrors, OneThousandAndOneOverAThousandIsOneThousandAndOnePerMille)
{
    EXPECT_EQ(errorPerMille(1001, 1000), 1001);
    EXPECT_EQ(static_cast<int64_t>(std::trunc(1000.0 * (1001.0 / 1000.0))), 1000);
    EXPECT_EQ(perMilleOfDouble(1001.0 / 1000.0), 1001);
    EXPECT_EQ(errorPerMille(-3, 7), 0);
    EXPECT_EQ(errorPerMille(INT32_MAX, 1), int64_t(INT32_MAX) * 1000);
}

/*---- Geometry and curves ----*/

TEST_F(Charts, BoxIsTenRowsAndEvenStepsWithinTwoThirdsOfItsHeight)
{
    grid(2, 29, 10);
    const ChartGeometry g = chartGeometry(in);
    EXPECT_GT(g.rowHeight, 0);
    EXPECT_EQ(g.box.bottom - g.box.top, 10 * g.rowHeight);
    EXPECT_EQ(g.levelStep % 2, 0);
    EXPECT_EQ(g.box.right - g.box.left, 28 * g.levelStep);
    EXPECT_LT(g.box.right, g.panel.left);
    freeRestErrHeader(r);
    grid(2, 2, 10);
    const ChartGeometry two = chartGeometry(in);
    EXPECT_LE(two.levelStep, 2 * 10 * two.rowHeight / 3);
    freeRestErrHeader(r);
    grid(2, 1, 10);  // one level: a box one step wide, no division by zero
    const ChartGeometry one = chartGeometry(in);
    EXPECT_EQ(one.box.right - one.box.left, one.levelStep);
}

TEST_F(Charts, PanelCellsRunDownTheColumnsFirst)
{
    grid(1, 2, 10);
    const uint16_t five[5] = {1, 2, 1, 2, 1};
    in.wRequiredQuantity = 5;
    in.lpRequiredList = five;
    const ChartGeometry g = chartGeometry(in);
    ASSERT_EQ(g.panelRows, 3);
    ASSERT_EQ(g.panelCells.size(), 5u);
    EXPECT_EQ(g.panelCells[1].left, g.panelCells[0].left);  // entry 1: row 1 of column 0
    EXPECT_GT(g.panelCells[1].top, g.panelCells[0].top);
    EXPECT_GT(g.panelCells[3].left, g.panelCells[0].left);  // entry 3: row 0 of column 1
    EXPECT_EQ(g.panelCells[3].top, g.panelCells[0].top);
    EXPECT_LE(g.panelCells[2].bottom, g.panel.bottom);
}

TEST_F(Charts, RecognitionCurvesAreIntegerFractionsOfTheTrials)
{
    grid(2, 3, 10);
    in.wChartKind = 4;
    r->lpErrors[3][1][0] = 5;  // half the trials wrong: the top of a chart of Z = 500
    r->lpErrors[3][2][0] = 2;
    r->lpErrors[3][2][1] = 3;
    const ChartGeometry g = chartGeometry(in);
    const ChartReference ref = chartReference(in);
    const auto n = chartNormalizers(in, ref);
    const ChartScale sc = chartScale(chartTop(in, n), 0, 0.25);
    const int32_t H = 10 * g.rowHeight;
    auto curves = chartCurves(in, g, ref, n, sc);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].strokes, 3);
    EXPECT_EQ(curves[0].label, "6");
    EXPECT_EQ(curves[1].label, "8");
    ASSERT_EQ(curves[0].points.size(), 4u);  // the corner, then one point per level
    EXPECT_EQ(curves[0].points[0].x, g.box.left);
    EXPECT_EQ(curves[0].points[0].y, g.box.bottom);
    EXPECT_EQ(curves[0].points[2].x, g.box.left + g.levelStep);
    EXPECT_EQ(curves[0].points[2].y, g.box.top);                   // 5 * 2 * H / 10 = H
    EXPECT_EQ(curves[0].points[3].y, g.box.bottom - 2 * 2 * H / 10);
    in.wChartKind = 5;
    curves = chartCurves(in, g, ref, n, sc);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].label, "S");
    EXPECT_EQ(curves[0].points[3].y, g.box.bottom - (2 + 3) * 2 * H / (10 * 2));
}

TEST_F(Charts, RestoringCurvesTakeTwoStrokesAndDetectionThree)
{
    grid(1, 2, 10);
    const ChartGeometry g = chartGeometry(in);
    const ChartReference ref = chartReference(in);
    const auto n = chartNormalizers(in, ref);
    for (int kind : {0, 1, 3}) {
        in.wChartKind = kind;
        EXPECT_EQ(chartCurves(in, g, ref, n, chartScale(chartTop(in, n), 0, 0)).at(0).strokes, 2) << kind;
    }
    in.wChartKind = 2;
    EXPECT_EQ(chartCurves(in, g, ref, n, chartScale(chartTop(in, n), 0, 0)).at(0).strokes, 3);
}

TEST_F(Charts, BoundsStartAtTheSecondLevelAndSkipNoiselessLevels)
{
    grid(1, 4, 10, 2, 2);
    in.wChartKind = 12;
    s->wMaxPulses = 30;
    s->wMinPulses = 6;
    const ChartGeometry g = chartGeometry(in);
    const ChartReference ref = chartReference(in);
    const auto n = chartNormalizers(in, ref);
    const auto curves = chartCurves(in, g, ref, n, chartScale(500, 0, 0));
    ASSERT_EQ(curves.size(), 3u);  // the curve, the upper and the lower bound
    const ChartCurve& upper = curves[1];
    const ChartCurve& lower = curves[2];
    ASSERT_EQ(upper.points.size(), 3u);
    EXPECT_EQ(upper.points[0].x, g.box.left + g.levelStep);
    // Level 10: d1 = (4 * 1100 + 4) / 8 = 550; v = 0.5 - 0.5 sqrt(1 - exp(-30 * 550 / 100)).
    const int32_t H = 10 * g.rowHeight;
    const double vu = 0.5 - 0.5 * std::sqrt(1.0 - std::exp(-30.0 * 550 / 100));
    EXPECT_EQ(upper.points[0].y, g.box.bottom - static_cast<int32_t>(std::trunc(H * vu)) * 2);
    // p = (75 * 1000 + 50) / 100 = 750; d2 = (4 * 750 + 8) / 16 = 188; v = 0.5 exp(-6 * 188 / 400) at level 20.
    const double vl = 0.5 * std::exp(-6.0 * 188 / 400);
    EXPECT_EQ(lower.points[1].y, g.box.bottom - static_cast<int32_t>(std::trunc(H * vl)) * 2);
    EXPECT_TRUE(upper.label.empty());
}

/*---- Painting ----*/

class ChartPaint : public Charts {
protected:
    MemoryCanvas canvas{1020, 720};
    HDC dc = canvas.dc;
};

TEST_F(ChartPaint, WithoutRecordOnlyTheFrame)
{
    EXPECT_EQ(paintStatisticsChart(hWnd, dc, in, nullptr), 0);
    EXPECT_EQ(GetPixel(dc, 10, 10), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 500, 300), RGB(255, 255, 255));
}

TEST_F(ChartPaint, BoxFrameGridAndCurveAreDrawn)
{
    grid(2, 9, 10);
    in.wChartKind = 4;
    r->lpErrors[3][4][0] = 5;
    EXPECT_EQ(paintStatisticsChart(hWnd, dc, in, nullptr), 1);
    const ChartGeometry g = chartGeometry(in);
    EXPECT_EQ(GetPixel(dc, g.box.left, g.box.top), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, g.box.right + 1, g.box.bottom + 1), RGB(0, 0, 0));  // the outer frame
    EXPECT_EQ(GetPixel(dc, g.box.left + 4, g.box.bottom - g.rowHeight), RGB(0, 0, 0));  // a grid dot
    EXPECT_EQ(GetPixel(dc, g.box.left + 6, g.box.bottom - g.rowHeight), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, g.box.left + 4 * g.levelStep, g.box.top + 1), RGB(0, 0, 0));  // the curve's peak
    EXPECT_EQ(GetPixel(dc, g.box.left + 4 * g.levelStep + 1, g.box.top + 1), RGB(0, 0, 0)); // its second stroke
    EXPECT_TRUE(boxes.messages().empty());
}

TEST_F(ChartPaint, TupleRecognitionLegendRecordsItsRows)
{
    grid(1, 3, 10, 40, 40);
    s->wSelectedSubsets = 0;
    const int32_t sizes[2] = {2, 1};
    const int32_t a[2] = {1, 2}, b[1] = {2};
    const int32_t* rows[2] = {a, b};
    ASSERT_EQ(addSomeSelectedSubsetToSeriesHeader(hWnd, sizes, rows, 2, 2, 2, 1, 4, 1, s), 1);
    in.wChartKind = 5;
    std::vector<RECT> patternRows;
    EXPECT_EQ(paintStatisticsChart(hWnd, dc, in, &patternRows), 1);
    EXPECT_EQ(patternRows.size(), 2u);
    const ChartReference ref = chartReference(in);
    EXPECT_EQ(ref.etEnergy, 1000);  // the larger of the two etalons' energies (1000 and 400)
    EXPECT_LT(ref.Rmin, 0);
    EXPECT_GT(ref.Rmax, 0);
}

} // namespace
