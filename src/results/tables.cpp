// The rows of simulation.csv and the normalisers of a finished run: each
// cell's errors normalised as the charts plot them, their standard errors
// from the sums of squares, the aggregate forms over the pulse counts and the
// SNR of each noise level. Called once per written result set.
#include <algorithm>
#include <cmath>
#include <limits>

#include "results/results.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The standard error of the mean of n trials with sum s1 and sum of squares
// s2: sqrt((n s2 - s1^2) / (n - 1)) / n, the difference taken exactly in 128
// bits; NaN below two trials.
double meanSe(int64_t n, int64_t s1, TrawlingSquareSum s2)
{
    if (n < 2 || s1 < 0)
        return kNaN;
    const TrawlingSquareSum a = TrawlingSquareSum(n) * s2, b = TrawlingSquareSum(s1) * TrawlingSquareSum(s1);
    const long double d = a > b ? static_cast<long double>(a - b) : 0.0L;
    return static_cast<double>(std::sqrt(d / (n - 1)) / n);
}

// The standard error of sqrt(m) from that of m (first order); 0 where m is 0
// (every trial 0, so no spread either).
double rootSe(double m, double mSe)
{
    if (std::isnan(mSe))
        return kNaN;
    return m > 0 ? mSe / (2.0 * std::sqrt(m)) : 0.0;
}

// The square root of the sum of squares of `values`, over `count`.
double combinedSe(const std::vector<double>& values, double count)
{
    double sum = 0.0;
    for (double v : values)
        sum += v * v;
    return std::sqrt(sum) / count;
}

const PulseHeader* seriesEtalon(const SeriesHeader* s, int32_t number)
{
    if (!s || !s->lpPulsesList || number < 1 || number > s->wEtalonsQuantity)
        return nullptr;
    const PulseHeader* p = s->lpPulsesList[number - 1];
    return p && p->lpData && p->wLength > 0 ? p : nullptr;
}

// What every row of one noise level shares.
struct LevelTotals {
    std::vector<double> restoring, restoringSe, recognitionSe, meanSquareSe;
    int64_t detectionCells = 0;  // sum of table 1 over the pulse counts
    int64_t wrong = 0;           // sum of table 3 over the pulse counts
    int64_t detectionUnits = 0;  // sum of the detection sums, 1/128 units
};

} // namespace

double meanEtalonEnergy(const SimulationResults& x)
{
    double total = 0.0;
    int count = 0;
    for (int i = 0; x.lpRequiredList && i < x.wRequiredQuantity; i++) {
        const PulseHeader* e = seriesEtalon(x.series, x.lpRequiredList[i]);
        if (!e)
            continue;
        double energy = 0.0;
        for (int32_t t = 0; t < e->wLength; t++)
            energy += double(e->lpData[t]) * e->lpData[t];
        total += energy;
        count++;
    }
    return count ? total / count : 0.0;
}

double snrDb(double meanEnergy, int32_t q, int32_t level)
{
    if (level == 0)
        return std::numeric_limits<double>::infinity();
    if (meanEnergy <= 0 || q <= 0)
        return kNaN;
    return 10.0 * std::log10(meanEnergy / (double(q) * double(level) * double(level)));
}

std::vector<ResultRow> resultRows(const SimulationResults& x)
{
    const RestoreErrorHeader* r = x.record;
    std::vector<ResultRow> rows;
    if (!r || !r->ifComplete || !x.series)
        return rows;
    const int P = r->wVariousPulses, L = r->wNoiseLevels;
    const ErrorReference ref = errorReference(r, x.series, x.firstEtalon, x.wRequiredQuantity, x.lpRequiredList);
    const ErrorNormalizers norm = errorNormalizers(r, x.series, ref);
    const NormalisedErrors e = normaliseErrors(r, norm);
    const int64_t u = norm.repeats;
    const bool spread = r->cellSums.size() == size_t(P) * L;
    const double energy = meanEtalonEnergy(x);
    std::vector<LevelTotals> levels(static_cast<size_t>(L));
    rows.resize(size_t(P) * L);
    for (int j = 0; j < P; j++)
        for (int k = 0; k < L; k++) {
            ResultRow& row = rows[size_t(j) * L + k];
            const size_t c = size_t(k) * P + j;
            const double detectionNorm = double(errorNormalizer(norm, 1, j));
            row.pulses = r->wPulseValues[j];
            row.noiseLevel = r->lpNoiseLevels[k];
            row.snrDb = snrDb(energy, x.series->wImpulseSize, row.noiseLevel);
            row.repeats = r->repeats;
            for (int t = 0; t < kErrorTables; t++)
                row.sums[t] = r->lpErrors[t][k][j];
            row.restoring = e.restoring[c];
            row.detection = std::sqrt(std::max(0.0, e.detection[c]));
            row.recognition = e.recognition[c];
            row.restoringSe = row.detectionSe = row.recognitionSe = kNaN;
            double meanSquareSe = kNaN;
            if (spread) {
                const TrawlingCellSums& s = r->cellSums[size_t(j) * L + k];
                row.restoringSe = meanSe(u, s.restoring, s.restoringSquares) / double(errorNormalizer(norm, 0, j));
                meanSquareSe = meanSe(u, s.detection, s.detectionSquares) * double(u) / (128.0 * detectionNorm);
                row.detectionSe = rootSe(double(s.detection) / (128.0 * detectionNorm), meanSquareSe);
                row.recognitionSe = meanSe(u, s.wrong, TrawlingSquareSum(s.wrong));
                levels[k].detectionUnits += s.detection;
            }
            LevelTotals& level = levels[k];
            level.restoring.push_back(row.restoring);
            level.restoringSe.push_back(row.restoringSe);
            level.recognitionSe.push_back(row.recognitionSe);
            level.meanSquareSe.push_back(meanSquareSe);
            level.detectionCells += row.sums[1];
            level.wrong += row.sums[3];
        }
    for (int k = 0; k < L; k++) {
        const LevelTotals& level = levels[k];
        const double p = double(P), detectionNorm = double(errorNormalizer(norm, 1, 0));
        double restoring = 0.0;
        for (double v : level.restoring)
            restoring += v;
        const double meanSquare = double(level.detectionUnits) / (128.0 * p * detectionNorm);
        for (int j = 0; j < P; j++) {
            ResultRow& row = rows[size_t(j) * L + k];
            row.restoringAggregate = restoring / p;
            row.restoringAggregateSe = combinedSe(level.restoringSe, p);
            row.detectionAggregate = std::sqrt(std::max(0.0, double(level.detectionCells) / (p * detectionNorm)));
            row.detectionAggregateSe = rootSe(meanSquare, combinedSe(level.meanSquareSe, p));
            row.recognitionAggregate = double(level.wrong) / (double(u) * p);
            row.recognitionAggregateSe = combinedSe(level.recognitionSe, p);
        }
    }
    return rows;
}

nlohmann::ordered_json normalisersJson(const SimulationResults& x)
{
    const RestoreErrorHeader* r = x.record;
    const SeriesHeader* s = x.series;
    const ErrorReference ref = errorReference(r, s, x.firstEtalon, x.wRequiredQuantity, x.lpRequiredList);
    const ErrorNormalizers norm = errorNormalizers(r, s, ref);
    nlohmann::ordered_json etalons = nlohmann::ordered_json::array();
    for (int i = 0; x.lpRequiredList && i < x.wRequiredQuantity; i++)
        etalons.push_back(x.lpRequiredList[i]);
    return {
        {"etEnergy", ref.etEnergy},
        {"minSquare", ref.minSquare},
        {"Rmin", ref.Rmin},
        {"Rmax", ref.Rmax},
        {"wMaxPulses", s ? s->wMaxPulses : 0},
        {"wMinPulses", s ? s->wMinPulses : 0},
        {"wTmax", s ? s->wTmax : 0},
        {"wImpulseSize", s ? s->wImpulseSize : 0},
        {"TmaxMinusQ", s ? int(s->wTmax) - int(s->wImpulseSize) : 0},
        {"repeats", norm.repeats},
        {"restoring", norm.restoring},
        {"detection", norm.detection},
        {"snrEtalons", etalons},
        {"meanEtalonEnergy", meanEtalonEnergy(x)},
    };
}
