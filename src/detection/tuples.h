// Inside the detection folder: what the four tuple detectors share: the checks
// of their input, the tuples in one form, the local match of every etalon they
// use (computed once per position and shared by every layer, phase and tuple),
// and the series result with its grouping into tuples. One use per run.
#pragma once

#include <cstdint>
#include <vector>

#include "chainstore.h"
#include "detection.h"
#include "layers.h"

// The tuples of one run, checked.
struct TupleSet {
    std::vector<std::vector<int16_t>> tuples; // etalon numbers of each tuple, 1..20, never empty
    std::vector<uint16_t> etalons;            // the distinct etalon numbers, in order of first use
    size_t longest = 0;                       // length of the longest tuple
};

// What the input check found.
enum TupleCheck {
    kTuplesRefused,  // a message was shown; nothing may be touched
    kTuplesBad,      // a message was shown about the tuples; the result is to be emptied
    kTuplesNotBuilt, // the series was never built (no message); the result is to be emptied
    kTuplesUsable,   // go ahead; `set` holds the tuples
};

// Checks what a tuple detector reads. `recognition` picks the texts that name
// the recogniser's arguments (several tuples) or the detector's (one tuple);
// `unfixed` adds the checks of an unfixed pulse count.
TupleCheck checkTupleInput(HWND hWnd, const char* caption, const PulseHeader* alphabet, const int32_t* sizes,
                           const int32_t* const* tuples, int32_t count, bool recognition, uint16_t Tmin,
                           uint16_t Tmax, bool unfixed, const SeriesHeader* h, TupleSet& set);

// The answer of a tuple operation whose check did not pass: 0 after a
// refusal; otherwise the result is emptied (no pulses, no tuples, no
// recognised tuple, no chains held or sought) and a detector (not a
// recogniser) of a series never built answers 1, all others 0.
int32_t tupleEarlyAnswer(TupleCheck check, bool recognition, bool unfixed, ChainsHeader* chains, SeriesHeader* h);

// The local match of each etalon of a run, alone, at every position a search
// may use; each row is computed on first use.
struct EtalonMatches {
    MatchTable table;                          // the distinct etalons of the run
    int entryOf[kMaxEtalonNumber + 1] = {};    // table entry of each etalon number
    std::vector<std::vector<LocalMatch>> rows; // [entry][L] the match at each needed position
    std::vector<uint8_t> computed;             // [entry] 1 once the row is filled
    std::vector<uint8_t> needed;               // [L] 1 where some search may place a pulse
    std::vector<int32_t> correlation;          // [L] work row of the whole-etalon match
    const int16_t* x = nullptr;                // the series samples
};

// Takes the rows (nothing computed yet). `needed` must already be set and be
// L long. Throws std::bad_alloc when memory runs out.
void prepareEtalonMatches(EtalonMatches& m, const PulseHeader* alphabet, const TupleSet& set, uint16_t level,
                          const SeriesHeader* h);

// The row of one etalon of the set: its match at every needed position.
const LocalMatch* etalonRow(EtalonMatches& m, int number);

// Writes a chain as the series result and groups it: the first tuple holds
// `firstGroup` pulses (fewer when the chain is shorter), each further tuple
// `a` pulses, the last one fewer when the chain runs out.
void writeTupleResult(SeriesHeader* h, const ChainPulses& chain, int64_t firstGroup, int64_t a);

// No pulses and no tuples.
void emptyTupleResult(SeriesHeader* h);
