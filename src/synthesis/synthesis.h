// Series synthesis: the reproducible random streams, the etalon alphabet and the
// construction of test series with their ground truth. Public face of
// src/synthesis/ for the detectors, the simulation, the shell and the display.
// Reports through message boxes owned by the window passed first; never uses Qt.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/platform.h"

/*==========================================================================
** Random streams
**========================================================================*/

// Start values of the 15-bit streams. Each stream is a signed 16-bit seed that
// holds the last value drawn; nothing ever reseeds a stream from the clock.
inline constexpr int16_t kCutBeginSeedStart = 7737;     // first kept sample of each cut-off pulse
inline constexpr int16_t kCutEndSeedStart = 3373;       // last kept sample of each cut-off pulse
inline constexpr int16_t kPositionSeedStart = 12345;    // anchor pulse and every pulse start
inline constexpr int16_t kQuantitySeedStart = 13579;    // pulse count of an unfixed-count series
inline constexpr int16_t kSubsetShiftSeedStart = 11357; // subset offset, employment 1 and 5
inline constexpr int16_t kSubsetGapSeedStart = 11357;   // subset gaps, employment 3
inline constexpr int16_t kNoiseEtalonSeedStart = 123;   // samples of the noise-like etalons
inline constexpr int16_t kNoiseSeedStart = 10597;       // additive noise
inline constexpr int32_t kSequenceStateStart = 1;       // 32-bit etalon sequence generator

// The streams by name, for the draws that go through drawRandom and the keyed
// generator (a stream's number is part of its key).
enum class RandomStream : uint8_t {
    CutBegin, CutEnd, Position, Quantity, SubsetShift, SubsetGap, NoiseEtalon, Sequence, Noise,
};
inline constexpr int kRandomStreamCount = 9;  // entries of RandomStream

// Every random stream of the workbench, each at the state of a freshly started
// program until something draws from it. A value is its own state: copy it to
// save the streams, assign it to put them back, hand it to another process as
// it is. The functions below that draw take the streams they draw from; two
// RandomStreams used on two threads at once are independent. The program
// state owns one (gState.streams); a batch run or a library user makes its own.
struct RandomStreams {
    int16_t wCutBeginSeed = kCutBeginSeedStart;       // cut begin stream, 0..32767 after the first draw
    int16_t wCutEndSeed = kCutEndSeedStart;           // cut end stream, 0..32767 after the first draw
    int16_t wPositionSeed = kPositionSeedStart;       // anchor and start stream, 0..32767 after the first draw
    int16_t wQuantitySeed = kQuantitySeedStart;       // pulse count stream, 0..32767 after the first draw
    int16_t wSubsetShiftSeed = kSubsetShiftSeedStart; // subset offset stream; separate from wSubsetGapSeed, same start
    int16_t wSubsetGapSeed = kSubsetGapSeedStart;     // subset gap stream; separate from wSubsetShiftSeed, same start
    int16_t wNoiseEtalonSeed = kNoiseEtalonSeedStart; // noise-like etalon stream, 0..32767 after the first draw
    int32_t dwSequenceState = kSequenceStateStart;    // state of the 32-bit sequence generator, any value
    int16_t wNoiseSeed = kNoiseSeedStart;             // additive noise stream, 0..32767 after the first draw
    // Replicate seed: 0 draws every stream from the generators above; any other
    // value from the keyed counter generator (keyedRandom), one counter per stream.
    uint32_t dwReplicateSeed = 0;                     // 0 or the --seed of the run, 1..4294967295
    std::array<uint64_t, kRandomStreamCount> counters{}; // keyed draws taken per RandomStream; unused while the seed is 0

    bool operator==(const RandomStreams&) const = default;
};

// Advances one 15-bit stream: seed = (seed * 12869 + 6925) mod 32768; returns it.
int16_t nextRandom(int16_t& seed);

// Twelve draws summed, centred and scaled: approximately normal with the given
// mean and standard deviation (rounded toward minus infinity). Callers use the
// low 16 bits.
int32_t gaussRandom(int16_t& seed, int16_t mean, int16_t sigma);

// Advances one 15-bit stream by `draws` values at once, to the seed that many
// nextRandom calls would leave (the affine step composed by squaring, O(log
// draws); the period is 32768). Returns the new seed; 0 draws change nothing.
int16_t jumpRandom(int16_t& seed, uint64_t draws);

// The sequence generator of the streams: state = state * 214013 + 2531011;
// returns bits 16..30 (with a replicate seed, the keyed Sequence stream).
int32_t nextSequenceRandom(RandomStreams& streams);

/*---- Replicates: the keyed counter generator ----*/
// Every 15-bit stream has one cycle of 32768 values, and a trial draws 12
// values per noise sample: different start values only shift the phase along
// that cycle, so they cannot make independent replicates. A replicate seed
// N != 0 replaces every stream by a counter-based generator keyed by N and the
// stream: draw c of stream s is bits 15 (c mod 4) .. 15 (c mod 4) + 14 of
//     mix(k + (c div 4 + 1) * g),   k = mix(N * 2^8 + s + 1),  g = mix(k ^ 0x5851F42D4C957F2D) | 1,
// where mix is the SplitMix64 finaliser (all arithmetic mod 2^64). Each
// (N, s) has its own start and its own odd increment, so no stream is a shift
// of another; a jump of m draws is an addition to the counter. The draws keep
// the 15-bit range (0..32767) and the noise keeps the twelve-draw sum, so
// every consumer sees the same kind of values. Seed 0 leaves the program's
// generators untouched, bit for bit.
inline constexpr uint32_t kMaxReplicateSeed = 4294967295u;  // greatest --seed

// The replicate `seed` of the streams: 0 changes nothing; any other value
// switches every stream to the keyed generator, each at its first draw.
void seedRandomStreams(RandomStreams& streams, uint32_t seed);

// Draw `counter` (0-based) of stream `id` under replicate seed `seed` (!= 0), 0..32767.
int16_t keyedRandom(uint32_t seed, RandomStream id, uint64_t counter);

// The next value of a stream, 0..32767: nextRandom on its 15-bit seed, or the
// next keyed draw (also left in the 15-bit seed, which holds the last draw).
int16_t drawRandom(RandomStreams& streams, RandomStream id);

// gaussRandom on a stream through drawRandom.
int32_t drawGauss(RandomStreams& streams, RandomStream id, int16_t mean, int16_t sigma);

// jumpRandom on a stream: `draws` values skipped, O(1) for a keyed stream.
void jumpStream(RandomStreams& streams, RandomStream id, uint64_t draws);

/*==========================================================================
** Etalon alphabet
**========================================================================*/

inline constexpr int kAlphabetCapacity = 20;  // entries of the alphabet array
inline constexpr int16_t wRectangleLevel = 60; // level of the rectangle etalon, whatever the amplitude

// One etalon.
struct PulseHeader {
    uint16_t wReservedLength = 0;      // samples allocated in lpData
    uint16_t wLength = 0;              // samples in use, <= wReservedLength
    uint16_t wNumber = 0;              // etalon number, 1-based (entry i holds i + 1)
    std::unique_ptr<int16_t[]> lpData; // the shape, amplitude units; null when nothing is allocated
};

// Makes `e` etalon `number` (1-based) with a copy of the `length` samples at
// `values`: an etalon given from outside, read from a file or an array.
// Throws std::bad_alloc when memory runs out (the etalon then unchanged).
void setEtalon(PulseHeader& e, uint16_t number, const int16_t* values, uint16_t length);

// Builds entries 0..count-1 of the alphabet in place (shapes, then noise-like
// etalons, drawn from streams.wNoiseEtalonSeed). Returns 1 on success, 0 when
// memory ran out or the sizes are refused.
int makeAlphabet(HWND hWnd, int16_t amplitude, uint16_t count, uint16_t length, PulseHeader* alphabet,
                 RandomStreams& streams);

// Releases the samples of entries 0..count-1.
void freeAlphabet(uint16_t count, PulseHeader* alphabet);

// Integer linear interpolation of S source samples onto D destination samples.
void resamplePulse(uint16_t S, const int16_t* source, uint16_t D, int16_t* destination);
// resamplePulse, then every destination sample negated.
void invertPulse(uint16_t S, const int16_t* source, uint16_t D, int16_t* destination);

// The shapes; each writes n samples.
void rectanglePulse(int16_t level, uint16_t n, int16_t* destination);
void halfSinePulse(int amplitude, uint16_t n, int16_t* destination);
void sinePulse(int amplitude, uint16_t n, int16_t* destination);
void modulatedPulse(int amplitude, int rise, int periods, uint16_t n, int16_t* destination);
void envelopePulse(int amplitude, int rise, uint16_t n, int16_t* destination);
void noiseLikePulse(int amplitude, uint16_t n, int16_t* destination, RandomStreams& streams);

/*==========================================================================
** Series
**========================================================================*/

// Greatest series length, samples: starts and bounds are signed 16-bit sample
// indices. A dialog or an option that takes a length refuses more.
inline constexpr int32_t kMaxSeriesSize = 32767;

// One synthesized series with its ground truth and room for the detectors'
// results. Owns its arrays but not the alphabet entries it points to. Obtained
// from getCutOffSeriesHeader (or a constructor) and released by freeSeriesHeader.
// The per-pulse arrays are carved from one block, in this order, after the
// 2 * N samples: lpEtalonNumbers ... lpTupleLast, M words each.
// SeriesFields holds every field but the storage, so that a copy can take them
// all at once and then point the pointers into its own storage.
struct SeriesFields {
    uint32_t dwReservedSize = 0;        // samples allocated for each of lpPureData and lpNoisyData
    int32_t dwSeriesSize = 0;           // N, the series length in samples, 1..32767
    uint16_t wTmin = 0;                 // least distance between consecutive pulse starts, samples, >= 1
    uint16_t wTmax = 0;                 // greatest distance between consecutive pulse starts, samples, >= wTmin
    int16_t* lpPureData = nullptr;      // [N] the pulses without noise; 0 between pulses
    int16_t* lpNoisyData = nullptr;     // [N] lpPureData plus noise: what the detectors process
    uint16_t wImpulseSize = 0;          // q, etalon length in samples
    uint16_t wImpulseQuantity = 0;      // K, number of pulses placed
    uint16_t wMaxPulses = 0;            // greatest admissible K for N, q, wTmin
    uint16_t wMinPulses = 0;            // least admissible K for N, q, wTmax, >= 1
    int16_t wSeriesNoiseLevel = 0;      // noise level of lpNoisyData, sample units; 0 until noise is added
    int16_t wSeriesAmplitude = 0;       // amplitude parameter the series was built with
    int16_t* lpPositions = nullptr;     // [M] start sample of each placed pulse
    int16_t* lpDetectedPositions = nullptr; // [M] start of each detected pulse; -1 after construction
    int16_t* lpLowBounds = nullptr;     // [M] least admissible start of each pulse
    int16_t* lpHighBounds = nullptr;    // [M] greatest admissible start of each pulse
    PulseHeader* lpFirstEtalon = nullptr; // alphabet entry of the first pulse's etalon (not owned)
    int16_t* lpEtalonNumbers = nullptr; // [M] 1-based etalon number of each placed pulse
    int16_t* lpDetectedNumbers = nullptr; // [M] etalon number of each detected pulse; 0 after construction
    uint16_t wReservedEtalons = 0;      // entries allocated in lpPulsesList
    uint16_t wEtalonsQuantity = 0;      // entries in use in lpPulsesList (the alphabet size)
    uint16_t wPulsesCapacity = 0;       // M, the length allocated for every per-pulse array
    PulseHeader** lpPulsesList = nullptr; // [wReservedEtalons] entry i -> alphabet entry i (not owned); null entries until a series is built
    uint16_t wDetectedQuantity = 0;     // number of detected pulses
    int16_t wDefaultCutBegin = 0;       // 0: first sample of a whole pulse
    int16_t wDefaultCutEnd = 0;         // q - 1: last sample of a whole pulse
    int16_t* lpCutBegin = nullptr;      // [M] first kept sample of each placed pulse, within its etalon
    int16_t* lpCutEnd = nullptr;        // [M] last kept sample (inclusive) of each placed pulse
    int16_t* lpDetectedCutBegin = nullptr; // [M] first kept sample of each detected pulse; 0 after construction
    int16_t* lpDetectedCutEnd = nullptr;   // [M] last kept sample of each detected pulse; 0 after construction
    int16_t* selectedSubset = nullptr;  // [M] etalon numbers of the subset the series is made to contain
    uint16_t wSubsetLength = 0;         // entries of selectedSubset in use, <= wPulsesCapacity; 0 = no subset
    uint16_t wSubsetEmployment = 0;     // how the subset is placed, 1..5
    uint16_t wSubsetInitPosition = 0;   // 1-based pulse index at which the subset begins, >= 1
    int16_t wDetectedTuples = 0;        // number of detected tuples
    int16_t* lpTupleFirst = nullptr;    // [M] first detected pulse of each detected tuple
    int16_t* lpTupleLast = nullptr;     // [M] last detected pulse of each detected tuple
    uint16_t wSubsetsCapacity = 0;      // subsets allocated in the two arrays below
    uint16_t wSelectedSubsets = 0;      // number of stored subsets
    uint16_t wSubsetCapacity = 0;       // entries allocated per stored subset
    int16_t wRecognizedTuple = 0;       // 1-based number of the recognised tuple; 0 when none
    int16_t* selectedSubsetSize = nullptr;   // [wSubsetsCapacity] one size per stored subset; subsets follow in the same block
    int16_t** selectedSubsetList = nullptr;  // [wSubsetsCapacity] pointer to each stored subset's entries
};

struct SeriesHeader : SeriesFields {
    // Owning storage behind the pointers of SeriesFields.
    std::vector<int16_t> sampleBlock;        // 2N + 13M words: samples, then the per-pulse arrays
    std::vector<PulseHeader*> pulsesStore;   // behind lpPulsesList
    std::vector<int16_t> subsetStore;        // behind selectedSubsetSize: sizes, then the subsets
    std::vector<int16_t*> subsetPointers;    // behind selectedSubsetList

    SeriesHeader() = default;
    SeriesHeader(const SeriesHeader&) = delete;            // the pointers point into the owner's storage
    SeriesHeader& operator=(const SeriesHeader&) = delete;
};

// Pulse-count bounds for a length, an etalon length and the interval bounds:
// (length + q - 1) / Tmax and (length + Tmin - q) / Tmin in unsigned 32-bit
// arithmetic, stored in 16 bits; a zero divisor gives 0.
uint16_t pulsesLowerBound(uint32_t length, uint16_t impulseSize, uint16_t tmax);
uint16_t pulsesUpperBound(uint32_t length, uint16_t impulseSize, uint16_t tmin);
// The admissible pulse counts of a series: the bounds above, the least raised
// to 1. Tmin and Tmax must be positive.
uint16_t minPulsesFor(int32_t N, uint16_t q, uint16_t Tmax);
uint16_t maxPulsesFor(int32_t N, uint16_t q, uint16_t Tmin);
// The admissible starts of pulse i (0-based) of K in a series of N samples,
// such that every earlier and later pulse still fits: what the construction
// stores in lpLowBounds and lpHighBounds and the fixed-count detectors search.
int32_t pulseLowBound(int i, int K, int32_t N, int Tmin, int Tmax);
int32_t pulseHighBound(int i, int K, int32_t N, int q, int Tmin, int Tmax);

// Allocates a header when none is given, and (re)sizes it for N samples and the
// admissible pulse counts. Refused parameters: a message, the header back unchanged.
// Out of memory: a message, the header released, nothing returned.
SeriesHeader* getCutOffSeriesHeader(HWND hWnd, uint16_t A, uint16_t q, uint16_t Tmin, uint16_t Tmax, int32_t N,
                                    SeriesHeader* lpSeriesHeader);

// A header sized for a given signal instead of a built series: the N samples
// in lpNoisyData (lpPureData zero), the etalon length q, the pulse list
// pointing at alphabet entries 0..A-1, and the admissible pulse counts; what
// the detectors read when they run on a recording. Refused parameters: a
// message and nothing returned (a given header is left as it was); out of
// memory: a message and nothing returned (a given header is released).
SeriesHeader* getSignalSeriesHeader(HWND hWnd, PulseHeader* alphabet, uint16_t A, uint16_t q, uint16_t Tmin,
                                    uint16_t Tmax, const int16_t* samples, int32_t N, SeriesHeader* lpSeriesHeader);

// A known pulse count K for such a header: wImpulseQuantity and each pulse's
// start bounds as the construction stores them. The caller has checked that
// K lies in minPulsesFor..maxPulsesFor of the header.
void setSignalPulseCount(SeriesHeader* lpSeriesHeader, uint16_t K);

// The constructors draw from the position and cut streams (and the subset
// streams when a subset is placed) of `streams`, in a fixed order.

// Sizes the header and builds a series of K pulses into it. Returns the header
// (also when the count was refused; it then holds no built series), or nothing
// when the header could not be allocated (it has been released).
SeriesHeader* getCutOffSeries(HWND hWnd, uint16_t A, PulseHeader* alphabet, uint16_t q, uint16_t Tmin, uint16_t Tmax,
                              int32_t N, uint16_t K, uint16_t* sequence, int16_t amplitude, int16_t level,
                              SeriesHeader* lpSeriesHeader, RandomStreams& streams);

// Builds the series into a sized header. Returns 1 when built, 0 when refused.
int makeExtSeries(HWND hWnd, uint16_t A, PulseHeader* alphabet, uint16_t q, uint16_t Tmin, uint16_t Tmax, int32_t N,
                  uint16_t K, uint16_t* sequence, int16_t amplitude, int16_t level, SeriesHeader* lpSeriesHeader,
                  RandomStreams& streams);

// Draws the pulse count from the quantity stream, then as getCutOffSeries (K
// ignored). The drawn count is read back from wImpulseQuantity. Nothing is
// returned (and a given header is released) when no count is admissible.
SeriesHeader* getRandomCountSeries(HWND hWnd, uint16_t A, PulseHeader* alphabet, uint16_t q, uint16_t Tmin,
                                   uint16_t Tmax, int32_t N, uint16_t K, uint16_t* sequence, int16_t amplitude,
                                   int16_t level, SeriesHeader* lpSeriesHeader, RandomStreams& streams);

// Adds noise of standard deviation `level` to the pure samples (replacing any
// earlier noise), drawing twelve values per sample from streams.wNoiseSeed.
void addNoise(SeriesHeader* lpSeriesHeader, int16_t level, RandomStreams& streams);

// The draws of a series without the series: what makeExtSeries of K pulses
// takes from every stream and writes into the sequence, done without building
// anything. The subset placement is replayed (how much it draws depends on the
// values drawn); the anchor and the K positions, K cut begins and K cut ends
// are jumped. Returns 1 when makeExtSeries would build the series, 0 when it
// would refuse it (nothing drawn, nothing changed, no message). Lets a process
// start its share of a simulation at the streams' state of its first trial.
int skipExtSeries(uint16_t A, const PulseHeader* alphabet, uint16_t q, uint16_t Tmin, uint16_t Tmax, int32_t N,
                  uint16_t K, uint16_t* sequence, const SeriesHeader* lpSeriesHeader, RandomStreams& streams);

// What addNoise draws from streams.wNoiseSeed for the series, without adding anything.
void skipNoise(const SeriesHeader* lpSeriesHeader, RandomStreams& streams);

// Stores one subset. Returns 1, or 0 when refused (a message says why).
int setSelectedSubset(HWND hWnd, const int32_t* entries, int32_t length, uint16_t employment, uint16_t initPosition,
                      SeriesHeader* lpSeriesHeader);

// Stores several subsets and makes the chosen one (1-based) the selected subset.
// Returns 1 on success, 0 on failure or when the number of subsets is not positive.
int addSomeSelectedSubsetToSeriesHeader(HWND hWnd, const int32_t* sizes, const int32_t* const* subsets,
                                        int32_t number, int32_t subsetsCapacity, int32_t entriesCapacity,
                                        int32_t chosen, uint16_t employment, uint16_t initPosition,
                                        SeriesHeader* lpSeriesHeader);

// A new list of `count` required etalons 1..count; the old list is released.
uint16_t* getRequiredList(HWND hWnd, uint16_t count, uint16_t* oldList);
void freeRequiredList(uint16_t* list);

// Releases the header and everything it owns. Returns 1.
int freeSeriesHeader(SeriesHeader* lpSeriesHeader);
