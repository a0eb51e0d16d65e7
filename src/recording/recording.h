// Recorded signals: reading a signal and a set of pulse shapes (etalons) from
// files, scaling both to the detectors' 16-bit samples without overflowing
// any of their 32-bit sums, and running one detector on the result. Public
// face of src/recording/ for `pulsebench detect` (and later the window and
// the scripts). Free of Qt; a read and a run take milliseconds for the
// 32767 samples one series holds, a longer signal that per segment.
//
// Files are untrusted input: every reader checks what it reads and answers
// false with a message that names the file and what is wrong with it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "kinds/kinds.h"
#include "platform/platform.h"
#include "synthesis/synthesis.h"

/*==========================================================================
** Numeric tables (the parsers behind the readers)
**========================================================================*/

// Numbers with a shape, row-major (the last axis varies fastest).
struct NumericArray {
    std::vector<size_t> shape;         // extent of each axis; empty: nothing read
    std::vector<double> values;        // product of shape values, row-major
    std::vector<std::string> columns;  // CSV only: the header's column names; empty when the file has none
};

// A NumPy .npy file (format 1.0, 2.0 or 3.0): descr one of <i1 <i2 <i4 <i8
// <u1 <u2 <u4 <u8 <f4 <f8 or their big-endian (>) forms (| for one byte),
// fortran_order True or False (a Fortran-order array comes back row-major),
// shape of any rank. False with a message for anything else.
bool parseNpy(std::string_view bytes, NumericArray& out, std::string& error);

// A CSV text: rows of numbers separated by commas (or semicolons or tabs),
// every row as long as the first; a first row that is not all numbers is the
// header. Shape (rows, columns). Empty lines are skipped. False with a
// message that gives the line and column of the first field that is not a
// number.
bool parseCsv(std::string_view text, NumericArray& out, std::string& error);

// The whole file: false with "PATH: no such file" (is a folder, cannot be
// opened or read, is empty).
bool readFileBytes(const std::string& path, std::string& bytes, std::string& error);

/*==========================================================================
** Signals and etalons
**========================================================================*/

// Where a signal comes from: the options of `pulsebench detect`.
struct SignalSource {
    std::string path;      // the file; the reader follows its extension (.csv, .npy, .mat, else an audio file)
    int channel = 0;       // channel (audio, 2-D .npy or .mat: the column), 0-based
    std::string column;    // CSV: the named column; "": the only column
    std::string variable;  // .mat: the variable; "": the only numeric one
    double rate = 0;       // Hz, > 0, used where the file has no rate; 0: none given (1 Hz)
};

// A signal as read, in the file's units: audio samples in the integer units
// of the file's format (a 16-bit file reads -32768..32767, a float file as
// stored), the other formats as stored.
struct Signal {
    std::string path;             // the file read
    std::vector<double> samples;  // the channel's samples, finite, >= 1 of them
    double rate = 1;              // samples per second, > 0
    bool rateFromFile = false;    // true: the file's own rate; false: --rate or the default 1 Hz
    int channel = 0;              // channel read, 0-based
    int channels = 1;             // channels the file holds, >= 1
};

// Reads the channel of a signal. .npy: 1-D, or 2-D of shape (samples,
// channels) (axis 0 is time). .mat: a vector, or a matrix of shape (samples,
// channels). False, with a message naming the file, when it is missing,
// unreadable, empty, not numbers, of the wrong shape, holds NaN or infinity,
// has a rate of 0, or has no such channel, column or variable.
bool readSignal(const SignalSource& source, Signal& signal, std::string& error);

// The etalons as read, in the signal's units (the same scale applies).
struct EtalonSet {
    std::string path;                          // the file or folder read
    std::vector<std::vector<double>> shapes;   // [count][length] etalon k + 1 in entry k
    double rate = 0;                           // audio etalons: their sample rate, Hz; 0: the file has none
};

// Reads etalons: a .csv or .npy of shape (count, length), a .mat variable of
// that shape (`variable`, "": the only numeric one), or a folder of audio
// files, one etalon each (the first channel), sorted by name. Checks
// 1 <= count <= 20, one common length >= 1 and finite values.
bool readEtalons(const std::string& path, const std::string& variable, EtalonSet& etalons, std::string& error);

inline constexpr int kMaxEtalons = kAlphabetCapacity;  // etalons one run takes

/*==========================================================================
** Scaling to 16-bit samples
**========================================================================*/

// The detectors hold every cost in 32 bits. With n the etalon length, A the
// greatest magnitude of any 16-bit sample (series or etalon) and Kmax the
// most pulses a chain can hold (maxPulsesFor(N, n, Tmin): starts at least
// Tmin apart, the last one n before the end), their sums stay within:
//   - energies sum s^2 over an etalon part: at most n A^2;
//   - local costs sum s (s - 2x) over a part, and every prefix of one:
//     each term lies in [-A^2, 3 A^2], so in [-n A^2, 3 n A^2];
//   - correlations sum s x: at most n A^2 in magnitude;
//   - chain costs: a sum of at most Kmax local costs, plus at most once one
//     of the searches' "unreachable" constants (at most 999999999); a chain
//     is only continued from a cost below that constant, so its positive
//     side stays below 999999999 + 3 n A^2 and its negative side above
//     -Kmax n A^2.
// So no sum overflows when
//   999999999 + 3 n A^2 <= 2^31 - 1   and   Kmax n A^2 <= 2^31 - 1,
// and largestAmplitude is the greatest A (at most 32767) for which both hold.
// Full-scale data (A = 32767) breaks the first already at n = 1.
int32_t largestAmplitude(uint16_t n, uint16_t Kmax);

// The scale (16-bit units per input unit) and what it did.
struct Scaling {
    double factor = 0;         // 16-bit units per input unit, > 0
    int32_t amplitude = 0;     // the largest admissible |sample| (largestAmplitude), samples beyond are clipped to it
    int64_t clipped = 0;       // signal samples clipped to +-amplitude
};

// Chooses the factor: `requested` > 0 is taken when the etalons scaled by it
// stay within the amplitude (else refused, the limit in the message);
// requested 0 (auto) takes the largest factor at which neither the signal nor
// the etalons exceed it. etalonPeak 0: the etalons are not scaled (the
// built-in alphabet); a signal of only zeros takes factor 1.
bool chooseScale(double requested, double signalPeak, double etalonPeak, int32_t amplitude, Scaling& scaling,
                 std::string& error);

// Each value times the factor, rounded to the nearest, limited to
// +-amplitude; returns how many were limited.
int64_t scaleSamples(const std::vector<double>& values, double factor, int32_t amplitude, std::vector<int16_t>& out);

// The greatest magnitude of the values (0 for none).
double peakOf(const std::vector<double>& values);

/*==========================================================================
** One detector run on a signal
**========================================================================*/

// The operation and its settings, checked by runOnSignal.
struct DetectRequest {
    DetectorSlot slot = DetectorSlot::DetectFixed;   // the operation
    std::vector<uint16_t> required;                  // pulse operations: etalon numbers; empty: every etalon
    std::vector<int32_t> subset;                     // tuple detection: the tuple (etalon numbers)
    std::vector<std::vector<int32_t>> subsets;       // tuple recognition: the tuples
    int32_t pulses = 0;                              // fixed count; 0: none given
    int32_t minPulses = 0, maxPulses = 0;            // unfixed bounds; 0: the admissible bound
    uint16_t Tmin = 0, Tmax = 0;                     // pulse start distance bounds, samples, 1 <= Tmin <= Tmax
    uint16_t level = 100;                            // saved energy level, percent, 0..100
    uint16_t chains = 10;                            // best chains kept, >= 1
    uint16_t proceeding = 1;                         // tuple phase mode (1: the chain begins with the tuple's first etalon)
    int32_t segment = kMaxSeriesSize;                // samples per segment of a longer signal, 4 * segmentMargin(n, Tmax) .. kMaxSeriesSize
};

struct FoundPulse {
    int32_t position;  // series position of etalon sample 0
    int32_t etalon;    // etalon number, 1-based
    int32_t cutBegin;  // first etalon sample matched, 0..n-1
    int32_t cutEnd;    // last etalon sample matched, inclusive
};

struct FoundChain {
    int32_t cost;                   // the chain's cost, lower is better
    std::vector<FoundPulse> pulses; // in order of position
};

// One segment of a signal longer than one series (see runOnSignal).
struct Segment {
    int32_t begin = 0, end = 0;        // samples [begin, end) of the signal
    int32_t keepFrom = 0, keepTo = 0;  // the segment reports the pulses that start in [keepFrom, keepTo)
    bool hasCost = false;              // its detector offered a chain
    int32_t cost = 0;                  // its best chain's cost when hasCost
    int32_t result = 0;                // its detector's return value
    int32_t pulses = 0;                // pulses merged from it, >= 0
};

struct DetectOutcome {
    std::vector<FoundPulse> pulses; // the detected pulses, in order of position
    bool hasCost = false;           // a chain was offered
    int32_t cost = 0;               // the best chain's cost when hasCost
    int32_t result = 0;             // the detector's return value (recognisers: the etalon or tuple)
    std::vector<FoundChain> chains; // the best chains, ascending by cost
    uint16_t minPulses = 0, maxPulses = 0; // the admissible pulse counts of the signal (one piece; 0 in segments)
    std::vector<Segment> segments;  // a signal processed in segments: each one (chains and cost stay empty); else empty
};

/*==========================================================================
** Long signals: segments cut at pulses
**========================================================================*/

// A signal longer than `segment` samples (positions are 16-bit) is processed
// by the unfixed pulse operations in consecutive segments of at most
// `segment` samples. A segment that would cut the signal short is first run
// as a probe. Its edges need not follow the model (a segment that starts or
// ends between two pulses can force a chain the whole signal would not take),
// so of the pulses it found only those at least the margin Tmax + n inside
// both edges are trusted, and the last of them, the anchor, becomes the cut:
// the segment is run again ending with that pulse's last sample, reports the
// pulses before it, and the next segment starts at it. So on a train that
// follows the model every segment starts and ends with a pulse and follows
// the model itself. A probe without an anchor cuts Tmax + n before its end
// and the next segment starts 2 (Tmax + n) before it. The last segment ends
// with the signal. Merge rule: the pulses of each segment that start in
// [keepFrom, keepTo) are appended in order (the kept ranges tile the
// signal); a pulse that starts less than Tmin after the last one kept (one
// pulse seen on both sides of a cut without an anchor) is dropped, the
// earlier segment's is kept. So each pulse is reported once.
//
// When the pulses follow the model, stand out of the noise and Tmax - Tmin
// >= n, the merged list equals the list of the same stretch processed in one
// piece: a probe's end then costs at most one stand-in pulse after the last
// true one (gap >= Tmin, within Tmax - n of the end), the margin keeps it from
// the anchor. It can differ where an anchor is no true pulse or a segment's
// best chain differs from the whole one's: Tmax - Tmin < n (a probe's end can
// shift its whole chain, as with Tmin = Tmax), pulses as weak as the noise
// (near ties, e.g. one sample apart), gaps outside Tmin..Tmax, or a probe that
// found no anchor.
int32_t segmentMargin(uint16_t n, uint16_t Tmax);

// The anchor of a probe of `length` samples: the position (within the probe)
// of the last found pulse in (margin, length - margin]; -1 when none.
int32_t segmentAnchor(const std::vector<FoundPulse>& found, int32_t length, int32_t margin);

// Appends the pulses one segment found (positions within the segment) to
// `merged` (signal positions) by the merge rule above; returns how many.
int32_t mergeSegmentPulses(const Segment& s, const std::vector<FoundPulse>& found, uint16_t Tmin,
                           std::vector<FoundPulse>& merged);

// The etalon a recognition in segments reports: the one most segments with a
// chain recognised (the earliest of those on a tie), 0 when none offered a
// chain. `agree` says whether every such segment recognised it. Each segment
// recognises on its own, so on a recording that mixes etalons, or where one
// stretch is too weak, they can differ: the output says so.
int32_t segmentsVerdict(const std::vector<Segment>& segments, bool& agree);

// Runs the operation on the 16-bit samples with the etalons (entry k - 1 is
// etalon k, `count` of them, n samples each) through productionDetectors().
// A signal longer than request.segment: detect-unfixed and recognize-unfixed
// run in segments (above; --min-pulses and --max-pulses are refused there,
// each segment takes its admissible counts); the fixed-count operations need
// the whole signal as one series and the unfixed tuple ones begin every chain
// with the tuple's first etalon, which a cut cannot keep: both are refused.
// `progress`, when given, is called after each segment with the samples
// done and the signal's length.
// Refused input (a count, a tuple, a signal too long, a box the engine
// showed on hWnd): false and the message.
bool runOnSignal(HWND hWnd, PulseHeader* etalons, uint16_t count, uint16_t n, const std::vector<int16_t>& samples,
                 const DetectRequest& request, DetectOutcome& outcome, std::string& error,
                 const std::function<void(int64_t done, int64_t total)>& progress = {});

/*==========================================================================
** Evaluation against a labelled truth
**========================================================================*/

struct TruePulse {
    int32_t position = 0;  // series position of the pulse's first sample, >= 0
    int32_t etalon = 0;    // etalon number, 1..kMaxEtalons; 0: not known
};

// Reads the true pulses of a signal: a CSV whose header names a "position"
// column (and optionally "etalon"), or without a header one or two columns
// (position, etalon); or JSON, an array of positions or of objects
// {"position": P, "etalon": E} (etalon optional), alone or under "pulses" (so
// a result of `pulsebench detect` is a truth too). Positions are whole
// numbers 0..2^31 - 1, etalons whole numbers 1..kMaxEtalons (0 or absent:
// not known). Sorted by position on return. False with a message naming the
// file, the entry and the fault.
bool readTruth(const std::string& path, std::vector<TruePulse>& truth, std::string& error);
// The same on text already read (JSON when `json`, else CSV); `name` opens the messages.
bool parseTruth(const std::string& text, bool json, const std::string& name, std::vector<TruePulse>& truth,
                std::string& error);

// How the found pulses compare with the truth. Each true pulse is matched to
// at most one found pulse within `tolerance` samples of it and vice versa, as
// many pairs as possible (in order of position: each true pulse takes the
// first unmatched found pulse that still reaches it).
struct Evaluation {
    int32_t truePulses = 0;    // true pulses, >= 0
    int32_t found = 0;         // found pulses, >= 0
    int32_t hits = 0;          // matched pairs, <= both counts
    int32_t misses = 0;        // true pulses left unmatched
    int32_t falseAlarms = 0;   // found pulses left unmatched
    int32_t confusions = 0;    // pairs whose true etalon is known and differs from the found one
    int32_t etalonsKnown = 0;  // pairs whose true etalon is known
    double meanError = 0;      // mean |found - true| position over the pairs, samples; 0 without pairs
    int32_t maxError = 0;      // greatest |found - true| over the pairs, samples
};

Evaluation evaluate(const std::vector<FoundPulse>& found, const std::vector<TruePulse>& truth, int32_t tolerance);
