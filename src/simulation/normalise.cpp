// The normalised error tables: the reference values of a run's alphabet, the
// normalisers of each table and the quotients. Used by the statistics charts,
// the batch command's chart and library users; a few thousand multiplications
// per tuple-recognition run, a few per cell otherwise.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "simulation.h"

namespace {

// Sample i of an etalon, 0 outside its samples.
int64_t sampleOf(const PulseHeader* e, int32_t i)
{
    return (e && e->lpData && i >= 0 && i < e->wLength) ? e->lpData[i] : 0;
}

// The shape of etalon `number` (1-based) of the series, with at least one sample, or none.
const PulseHeader* etalonOfSeries(const SeriesHeader* s, int32_t number)
{
    if (!s || !s->lpPulsesList || number < 1 || number > s->wEtalonsQuantity || number > s->wReservedEtalons)
        return nullptr;
    const PulseHeader* p = s->lpPulsesList[number - 1];
    return p && p->lpData && p->wLength > 0 ? p : nullptr;
}

// The etalon of a required number, or `fallback` for 0 or a number beyond
// the series' etalons.
const PulseHeader* requiredEtalon(const SeriesHeader* s, int32_t number, const PulseHeader* fallback)
{
    if (!s || number < 1 || number > s->wEtalonsQuantity)
        return fallback;
    const PulseHeader* e = etalonOfSeries(s, number);
    return e ? e : fallback;
}

int64_t energyOf(const PulseHeader* e)
{
    int64_t energy = 0;
    for (int32_t j = 0; e && j < e->wLength; j++)
        energy += sampleOf(e, j) * sampleOf(e, j);
    return energy;
}

// Tuples recognition: the largest etalon energy of the stored subsets and the
// extreme cross-correlations of etalons of two different stored subsets.
void tupleReference(const SeriesHeader* s, ErrorReference& ref)
{
    const int32_t S = storedSubsetCount(s), q = s ? s->wImpulseSize : 0;
    int64_t energy = 0, lo = 0, hi = 0;
    for (int32_t t = 0; t < S; t++)
        for (int32_t i = 0; i < storedSubsetSize(s, t); i++)
            energy = std::max(energy, energyOf(etalonOfSeries(s, s->selectedSubsetList[t][i])));
    for (int32_t t1 = 0; t1 < S; t1++)
        for (int32_t t2 = 0; t2 < S; t2++) {
            if (t1 == t2)
                continue;
            for (int32_t i1 = 0; i1 < storedSubsetSize(s, t1); i1++)
                for (int32_t i2 = 0; i2 < storedSubsetSize(s, t2); i2++) {
                    const PulseHeader* a = etalonOfSeries(s, s->selectedSubsetList[t1][i1]);
                    const PulseHeader* b = etalonOfSeries(s, s->selectedSubsetList[t2][i2]);
                    for (int32_t d = -q; d <= q; d++) {
                        int64_t sum = 0;
                        for (int32_t i = 0; i < q; i++)
                            sum += sampleOf(b, i) * (i + d < q ? sampleOf(a, i + d) : 0);
                        lo = std::min(lo, sum);
                        hi = std::max(hi, sum);
                    }
                }
        }
    ref.etEnergy = static_cast<int32_t>(std::min<int64_t>(energy, INT32_MAX));
    ref.Rmin = static_cast<int32_t>(std::max<int64_t>(lo, INT32_MIN));
    ref.Rmax = static_cast<int32_t>(std::min<int64_t>(hi, INT32_MAX));
}

} // namespace

int32_t storedSubsetCount(const SeriesHeader* s)
{
    return s ? std::min(s->wSelectedSubsets, s->wSubsetsCapacity) : 0;
}

int32_t storedSubsetSize(const SeriesHeader* s, int32_t t)
{
    if (!s || t < 0 || t >= s->wSubsetsCapacity || !s->selectedSubsetSize || !s->selectedSubsetList ||
        !s->selectedSubsetList[t])
        return 0;
    return std::clamp<int32_t>(s->selectedSubsetSize[t], 0, s->wSubsetCapacity);
}

ErrorReference errorReference(const RestoreErrorHeader* r, const SeriesHeader* s, const PulseHeader* firstEtalon,
                              uint16_t wRequiredQuantity, const uint16_t* lpRequiredList)
{
    ErrorReference ref{0, 0, 0, 0};
    const int32_t q = s ? s->wImpulseSize : 0;
    // The series' first pulse names the etalon of reference; the etalon the
    // caller passes stands in while the series names none.
    const PulseHeader* first = (s && s->lpFirstEtalon) ? s->lpFirstEtalon : firstEtalon;
    if (first && first->lpData && first->wLength > 0) {
        int64_t least = INT64_MAX;
        for (int32_t i = 0; i < first->wLength; i++)
            least = std::min(least, sampleOf(first, i) * sampleOf(first, i));
        ref.etEnergy = static_cast<int32_t>(std::min<int64_t>(energyOf(first), INT32_MAX));
        ref.minSquare = static_cast<int32_t>(least);
    }
    if (r && isTupleSeries(r->wSeriesType) && isTupleRecognition(r->wTaskType)) {
        tupleReference(s, ref);
        return ref;
    }
    const uint16_t b = lpRequiredList ? wRequiredQuantity : 0;
    const PulseHeader* A = requiredEtalon(s, b > 0 ? lpRequiredList[0] : 0, first);
    const PulseHeader* B = requiredEtalon(s, b > 1 ? lpRequiredList[1] : (b > 0 ? lpRequiredList[0] : 0), first);
    int64_t lo = 0;
    for (int32_t d = -q; d <= q; d++) {
        int64_t sum = 0;
        // i runs to q - |d| - 1: the shifted etalon never reaches past its end;
        // A below index 0 counts as 0.
        for (int32_t i = 0; i <= q - std::abs(d) - 1; i++)
            sum += sampleOf(B, i) * sampleOf(A, i + d);
        lo = std::min(lo, sum);
    }
    ref.Rmin = static_cast<int32_t>(std::max<int64_t>(lo, INT32_MIN));
    ref.Rmax = 0;
    return ref;
}

ErrorNormalizers errorNormalizers(const RestoreErrorHeader* r, const SeriesHeader* s, const ErrorReference& ref)
{
    const size_t P = r ? r->wVariousPulses : 0;
    ErrorNormalizers n{std::vector<int32_t>(P, 1), std::vector<int32_t>(P, 1), r && r->repeats > 0 ? r->repeats : 1};
    if (!s)
        return n;
    const int64_t restoring = 2 * int64_t(s->wMaxPulses) * (int64_t(ref.etEnergy) - ref.Rmin);
    const int64_t span = int64_t(s->wTmax) - s->wImpulseSize;
    const int64_t detection = span * span;
    if (restoring > 0)
        n.restoring.assign(P, static_cast<int32_t>(std::min<int64_t>(restoring, INT32_MAX)));
    if (detection > 0)
        n.detection.assign(P, static_cast<int32_t>(std::min<int64_t>(detection, INT32_MAX)));
    return n;
}

int64_t errorNormalizer(const ErrorNormalizers& n, int table, int j)
{
    switch (table) {
    case 0: return n.restoring.at(size_t(j));
    case 1: return int64_t(n.repeats) * n.detection.at(size_t(j));
    default: return n.repeats;
    }
}

NormalisedErrors normaliseErrors(const RestoreErrorHeader* r, const ErrorNormalizers& n)
{
    NormalisedErrors out;
    const int P = r ? r->wVariousPulses : 0, L = r ? r->wNoiseLevels : 0;
    if (P == 0 || L == 0 || n.restoring.size() < size_t(P) || n.detection.size() < size_t(P))
        return out;
    for (int k = 0; k < L; k++)
        for (int j = 0; j < P; j++) {
            out.restoring.push_back(double(r->lpErrors[0][k][j]) / double(errorNormalizer(n, 0, j)));
            out.detection.push_back(double(r->lpErrors[1][k][j]) / double(errorNormalizer(n, 1, j)));
            out.recognition.push_back(double(r->lpErrors[3][k][j]) / double(errorNormalizer(n, 3, j)));
        }
    return out;
}

int64_t errorPerMille(int64_t sum, int64_t normaliser)
{
    if (sum <= 0 || normaliser <= 0)
        return 0;
    // Unsigned, in 64 bits: a mean restoring error of a few million times 1000 does not wrap.
    return static_cast<int64_t>(static_cast<uint64_t>(sum) * 1000u / static_cast<uint64_t>(normaliser));
}

RecognitionBounds recognitionBounds(const RestoreErrorHeader* r, const SeriesHeader* s, const ErrorReference& ref,
                                    double sigma)
{
    const int64_t M = s ? s->wMaxPulses : 0, m = s ? s->wMinPulses : 0;
    const int64_t d1 = (4 * (int64_t(ref.etEnergy) - ref.Rmin) + 4) / 8;
    int64_t p = int64_t(ref.etEnergy);
    if (r && !isTupleSeries(r->wSeriesType)) {
        p = (int64_t(r->wMakingSavedEnergy) * ref.etEnergy + 50) / 100;
        p = std::max<int64_t>(p, ref.minSquare);
    }
    const int64_t d2 = (4 * (p - ref.Rmax) + 8) / 16;
    const double upper = 0.5 - 0.5 * std::sqrt(std::max(0.0, 1.0 - std::exp(-double(M) * double(d1) / (sigma * sigma))));
    const double lower = 0.5 * std::exp(-double(m) * double(d2) / (sigma * sigma));
    return RecognitionBounds{upper, lower};
}
