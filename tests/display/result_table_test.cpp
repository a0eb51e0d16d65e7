// The named columns of simulation.csv against what the charts plot: for
// random small runs of every error kind, each curve point of every chart kind
// is the row's value times the chart's scale, and the bounds are the analytic
// bounds the rows' chart data lists. The chart code is the twin.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "display/display_private.h"
#include "results/results.h"
#include "simulation/simulation.h"

namespace {

struct SmallRun {
    SimulationOutcome outcome;
    RandomStreams streams{};
    SimulationResults results;
};

// A small run of a random task, noise grid and repeat count.
void randomRun(std::mt19937& pick, SmallRun& run)
{
    SimulationRequest q;
    const int kind = std::uniform_int_distribution<int>(0, 2)(pick);
    q.task = kind == 0 ? 4 : 2;  // kind 2: tuples recognition
    q.seriesType = kind == 2 ? 40 : std::uniform_int_distribution<int>(0, 1)(pick) ? 2 : 8;
    if (kind == 2)
        q.subsets = {{2, 5}, {9, 3}};
    q.length = 300;
    q.pulsesFrom = 2;
    q.pulsesTo = std::uniform_int_distribution<int>(2, 4)(pick);
    q.noiseInitial = std::uniform_int_distribution<int>(0, 1)(pick) * 7;
    q.noiseSteps = std::uniform_int_distribution<int>(2, 4)(pick);
    q.noiseStep = std::uniform_int_distribution<int>(10, 60)(pick);
    q.repeats = std::uniform_int_distribution<int>(2, 6)(pick);
    q.required = std::uniform_int_distribution<int>(2, 6)(pick);
    SimulationControl control;
    control.threads = 1;
    run.outcome = runSimulation(q, run.streams, control);
    ASSERT_EQ(run.outcome.status, kTrawlingComplete) << run.outcome.error;
    const SimulationSetup& s = *run.outcome.setup;
    run.results.record = run.outcome.record.get();
    run.results.series = s.lpSeriesHeader;
    run.results.firstEtalon = &s.alphabet[0];
    run.results.wRequiredQuantity = s.wRequiredQuantity;
    run.results.lpRequiredList = s.lpRequiredList;
    run.results.request = q;
}

double valueOf(const ResultRow& row, const ChartKind& kind)
{
    switch (kind.table) {
    case ChartTable::Restoring: return kind.aggregate ? row.restoringAggregate : row.restoring;
    case ChartTable::Detection: return kind.aggregate ? row.detectionAggregate : row.detection;
    default: return kind.aggregate ? row.recognitionAggregate : row.recognition;
    }
}

TEST(ResultTable, EveryChartPointIsTheRowsValueScaled)
{
    std::mt19937 pick(1818);
    for (int trial = 0; trial < 8; trial++) {
        SmallRun run;
        randomRun(pick, run);
        const RestoreErrorHeader* r = run.results.record;
        const std::vector<ResultRow> rows = resultRows(run.results);
        const int P = r->wVariousPulses, L = r->wNoiseLevels;
        ASSERT_EQ(rows.size(), size_t(P) * L);
        for (const ChartKind& kind : kChartKinds) {
            ChartInputs in;
            in.options.SeriesAreaRect = RECT{0, 0, 3999, 2999};  // tall: many pixels per unit
            in.options.wLineHeight = 14;
            in.lpFirstEtalon = run.results.firstEtalon;
            in.wChartKind = kind.kind;
            in.wRequiredQuantity = run.results.wRequiredQuantity;
            in.lpRequiredList = run.results.lpRequiredList;
            in.lpRestErrorHeader = r;
            in.lpSeriesHeader = run.results.series;
            const ChartGeometry g = chartGeometry(in);
            const ChartReference ref = chartReference(in);
            const std::vector<int32_t> norm = chartNormalizers(in, ref);
            const ChartScale sc = chartScale(chartTop(in, norm), 0, 0);
            const std::vector<ChartCurve> curves = chartCurves(in, g, ref, norm, sc);
            const double H = 10.0 * g.rowHeight;
            const int measured = kind.aggregate ? 1 : P;
            ASSERT_EQ(curves.size(), size_t(measured + (kind.bounds ? 2 : 0))) << "kind " << kind.kind;
            for (int j = 0; j < measured; j++)
                for (int k = 0; k < L; k++) {
                    const double expected = valueOf(rows[size_t(j) * L + k], kind) * sc.F * H;
                    const double height = g.box.bottom - curves[j].points[k + 1].y;  // point 0 is the corner
                    EXPECT_NEAR(height, expected, 1.0) << "kind " << kind.kind << ", run " << trial << ", j " << j
                                                       << ", k " << k;
                    if (!kind.aggregate) {
                        EXPECT_EQ(curves[j].label, std::to_string(rows[size_t(j) * L + k].pulses));
                    }
                }
            if (!kind.bounds)
                continue;
            size_t point = 0;
            for (int k = 0; k < L; k++) {
                if (r->lpNoiseLevels[k] <= 0 || k == 0)
                    continue;
                const RecognitionBounds b = recognitionBounds(r, run.results.series, ref, r->lpNoiseLevels[k]);
                EXPECT_NEAR(g.box.bottom - curves[measured].points[point].y, 2 * H * b.upper, 2.0);
                EXPECT_NEAR(g.box.bottom - curves[measured + 1].points[point].y, 2 * H * b.lower, 2.0);
                point++;
            }
        }
    }
}

// The standard errors against a direct computation over the trials: a run of
// one trial per cell repeated as shares would be slow, so the sums are set by
// hand for cells of known trials and the table rows read them.
TEST(ResultTable, StandardErrorsAreThoseOfTheTrialsMeans)
{
    std::mt19937 pick(77);
    SmallRun run;
    randomRun(pick, run);
    RestoreErrorHeader* r = run.outcome.record.get();
    const int P = r->wVariousPulses, L = r->wNoiseLevels;
    const int u = r->repeats;  // at least 2
    std::vector<std::vector<int64_t>> restoring(size_t(P) * L), detection(size_t(P) * L), wrong(size_t(P) * L);
    for (int j = 0; j < P; j++)
        for (int k = 0; k < L; k++) {
            const size_t c = size_t(j) * L + k;
            TrawlingCellSums& s = r->cellSums.at(c);
            s = TrawlingCellSums{};
            for (int t = 0; t < u; t++) {
                restoring[c].push_back(std::uniform_int_distribution<int64_t>(0, 2'000'000'000)(pick));
                detection[c].push_back(std::uniform_int_distribution<int64_t>(0, int64_t(1) << 36)(pick));
                wrong[c].push_back(std::uniform_int_distribution<int>(0, 1)(pick));
                s.restoring += restoring[c].back();
                s.detection += detection[c].back();
                s.wrong += wrong[c].back();
                s.restoringSquares += TrawlingSquareSum(restoring[c].back()) * TrawlingSquareSum(restoring[c].back());
                s.detectionSquares += TrawlingSquareSum(detection[c].back()) * TrawlingSquareSum(detection[c].back());
            }
        }
    // The sample standard deviation over the trials, then / sqrt(n).
    const auto se = [u](const std::vector<int64_t>& v) {
        long double mean = 0, sq = 0;
        for (int64_t x : v)
            mean += x;
        mean /= u;
        for (int64_t x : v)
            sq += (x - mean) * (x - mean);
        return double(std::sqrt(sq / (u - 1)) / std::sqrt((long double)u));
    };
    const ErrorReference ref = errorReference(r, run.results.series, run.results.firstEtalon,
                                              run.results.wRequiredQuantity, run.results.lpRequiredList);
    const ErrorNormalizers norm = errorNormalizers(r, run.results.series, ref);
    const std::vector<ResultRow> rows = resultRows(run.results);
    for (int j = 0; j < P; j++)
        for (int k = 0; k < L; k++) {
            const size_t c = size_t(j) * L + k;
            const ResultRow& row = rows[c];
            EXPECT_NEAR(row.restoringSe, se(restoring[c]) / norm.restoring[j], 1e-9 * (1 + row.restoringSe));
            EXPECT_NEAR(row.recognitionSe, se(wrong[c]), 1e-12);
            // detection: the spread of the mean square, carried through the root
            const double meanSquare = double(r->cellSums[c].detection) / (128.0 * u * norm.detection[j]);
            const double squareSe = se(detection[c]) / (128.0 * norm.detection[j]);
            EXPECT_NEAR(row.detectionSe, meanSquare > 0 ? squareSe / (2 * std::sqrt(meanSquare)) : 0.0,
                        1e-9 * (1 + row.detectionSe));
        }
}

} // namespace
