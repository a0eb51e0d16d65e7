// Detection and recognition: the position sets of the layered search, the record
// of the best candidate chains and the four single-pulse detectors. Public face
// of src/detection/ for the shell, the display and the simulation driver, which
// runs one detector per trial (a few milliseconds each at the default sizes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "synthesis/synthesis.h"

/*==========================================================================
** Position sets
**========================================================================*/

// A bounded set of sample positions held as sorted, disjoint closed intervals.
// Intervals that touch (one ends at p, the next begins at p + 1) are joined.
struct PositionSet {
    uint16_t wCapacity = 0;      // the most intervals the set can hold
    uint16_t wCount = 0;         // intervals in use, 0..wCapacity
    uint16_t* lpFrom = nullptr;  // [wCapacity] first position of each interval
    uint16_t* lpTo = nullptr;    // [wCapacity] last position of each interval (inclusive); right behind lpFrom

    std::vector<uint16_t> block; // 2 * wCapacity words behind lpFrom and lpTo

    PositionSet() = default;
    PositionSet(const PositionSet&) = delete;            // the pointers point into the owner's block
    PositionSet& operator=(const PositionSet&) = delete;
};

// The set, emptied, with room for at least `capacity` intervals; a new set when
// none is given. Nothing when memory ran out (a given set is then released).
PositionSet* getPositionSet(PositionSet* lpSet, uint16_t capacity);
// The destination (obtained with the source's capacity) holding the source's
// intervals; nothing when the source is absent or memory ran out.
PositionSet* copyPositionSet(PositionSet* lpDestination, const PositionSet* lpSource);

// Each returns 1, or 0 and leaves the set as it was when it fails: an absent
// set, last < first, or no free slot for an interval the result needs.
int addInterval(PositionSet* lpSet, uint16_t first, uint16_t last);
int addSet(PositionSet* lpDestination, const PositionSet* lpSource);
int subtractInterval(PositionSet* lpSet, uint16_t first, uint16_t last);
int subtractSet(PositionSet* lpDestination, const PositionSet* lpSource);
int intersectInterval(PositionSet* lpSet, uint16_t first, uint16_t last);
int intersectSet(PositionSet* lpDestination, const PositionSet* lpSource);

// Releases the set and its arrays. Always returns nothing.
PositionSet* freePositionSet(PositionSet* lpSet);

/*==========================================================================
** Chains of candidates
**========================================================================*/

// The best few chains the detectors found for the current series, ascending by
// cost, with the description of the run that produced them. Obtained from
// getChainsHeader and released by freeChainsHeader.
struct ChainsHeader {
    uint16_t wMaxSize = 0;               // room for chains
    uint16_t wPretenders = 0;            // chains held, 0..wMaxSize
    uint16_t wMaxPulses = 0;             // room for pulses in each chain
    uint16_t wQuanPulses = 0;            // pulse quantity of the series, as the last reset stated it
    uint16_t wSeekingPulsesQuantity = 0; // pulses sought: the length of the best chain, or the fixed count
    int32_t* distance = nullptr;         // [wMaxSize] cost of each held chain, ascending
    int32_t* pulsesQuantity = nullptr;   // [wMaxSize] pulses of each held chain; right behind distance
    int16_t** pulsesList = nullptr;      // [wMaxSize][wMaxPulses] etalon number (1-based) of each pulse
    int16_t** positionsList = nullptr;   // [wMaxSize][wMaxPulses] series position of each pulse (etalon sample 0)
    int16_t** firstSamplesList = nullptr; // [wMaxSize][wMaxPulses] first etalon sample matched, 0..n-1
    int16_t** lastSamplesList = nullptr;  // [wMaxSize][wMaxPulses] last etalon sample matched, 0..n-1
    uint16_t wDescription = 0;           // 2 once addToChainsHeader set the description; 0 before
    uint16_t wSeriesType = 0;            // series type code of the run: 1, 2, 4, 8, 36, 40
    uint16_t wProcessingType = 0;        // task code of the run: 1, 2, 4, 32, 36, 40
    const char* lpTaskName = nullptr;    // task name of the code, or none
    const char* lpSeriesTypeName = nullptr; // series type text of the code, or none
    uint16_t wMakingSavedEnergy = 0;     // saved energy level the series was made with, percent
    uint16_t wProcessingSavedEnergy = 0; // saved energy level the series was processed with, percent

    // Owning storage behind the pointers above.
    std::vector<int32_t> costBlock;      // 2 * wMaxSize: the costs, then the pulse counts
    std::vector<int16_t*> referenceTable; // 4 * wMaxSize: pulsesList, positionsList, firstSamplesList, lastSamplesList
    std::vector<int16_t> entryBlock;     // 4 * wMaxSize * wMaxPulses entries behind the references

    ChainsHeader() = default;
    ChainsHeader(const ChainsHeader&) = delete;            // the pointers point into the owner's blocks
    ChainsHeader& operator=(const ChainsHeader&) = delete;
};

// A new header, or the given one prepared for at least the wanted sizes, empty.
// Nothing when memory ran out (a message says which block; a given header is released).
ChainsHeader* getChainsHeader(HWND hWnd, uint16_t wChainsQuantity, uint16_t pulsesCapacity, ChainsHeader* lpOld);

// Sets the description of the run. Returns 1, or 0 (with a message) when there is no header.
int addToChainsHeader(HWND hWnd, uint16_t wSeriesType, uint16_t wProcessingType, uint16_t wSavedEnergyLevel,
                      uint16_t wProcSavedEnergyLevel, ChainsHeader* lpChainsHeader);

// Releases the header and its blocks. Returns 1.
int freeChainsHeader(HWND hWnd, ChainsHeader* lpChainsHeader);

// The report text of the header (every held chain, nothing cut), and the
// operation that shows it in a message box.
std::string chainsHeaderReport(const ChainsHeader* lpChainsHeader);
void aboutChainsHeader(HWND hWnd, ChainsHeader* lpChainsHeader);

/*==========================================================================
** Detection and recognition of whole and cut-off pulses
**========================================================================*/

// Every detector takes the alphabet (entry k - 1 is etalon k), the list of
// etalon numbers that may occur, the bounds on the distance between consecutive
// pulses, the processing saved energy level (percent), the chains header or
// none, and the series; it writes the detected pulses into the series.
// Bad input (a message says which) leaves series and chains untouched. A series
// whose construction was refused (null pulse list) gets detected count 0 and an
// emptied chains header, without a message.

// Fixed pulse count, best etalon per pulse. 1; 0 on refusal. No admissible
// chain (no end below the bound, or a pulse without a predecessor in range):
// detected count 0, no chain offered, none sought (wSeekingPulsesQuantity 0).
int32_t detectFixedPulses(HWND hWnd, PulseHeader* Alphabet, uint16_t wRequiredQuantity, uint16_t* lpRequiredList,
                          uint16_t wTmin, uint16_t wTmax, uint16_t wProcSavedEnergyLevel,
                          ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader);

// Unfixed pulse count between wMinPulses and wMaxPulses, best etalon per pulse.
// 1; 0 on refusal. No chain: detected count 0 and a chain of cost 9999999 and
// no pulses offered.
int32_t detectUnfixedPulses(HWND hWnd, PulseHeader* Alphabet, uint16_t wRequiredQuantity, uint16_t* lpRequiredList,
                            uint16_t wTmin, uint16_t wTmax, uint16_t wProcSavedEnergyLevel,
                            ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader);

// Fixed pulse count, one etalon for the whole chain: the winning etalon number,
// -1 when none (detected count 0) or on refusal. An etalon without an
// admissible chain offers nothing.
int32_t recognizeFixedPulses(HWND hWnd, PulseHeader* Alphabet, uint16_t wRequiredQuantity, uint16_t* lpRequiredList,
                             uint16_t wTmin, uint16_t wTmax, uint16_t wProcSavedEnergyLevel,
                             ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader);

// Unfixed pulse count, one etalon for the whole chain; needs the chains header
// (the result is its best chain). An etalon without a chain offers a chain of
// cost 999999999 and no pulses. The winning etalon number, 65535 when none or
// on refusal.
int32_t recognizeUnfixedPulses(HWND hWnd, PulseHeader* Alphabet, uint16_t wRequiredQuantity,
                               uint16_t* lpRequiredList, uint16_t wTmin, uint16_t wTmax,
                               uint16_t wProcSavedEnergyLevel, ChainsHeader* lpChainsHeader,
                               SeriesHeader* lpSeriesHeader);

/*==========================================================================
** Detection and recognition of pulse tuples
**========================================================================*/

// A tuple is an ordered list of etalon numbers (1-based, 32-bit) that the
// pulses of a chain follow cyclically. Every operation writes the detected
// pulses and their grouping into tuples (wDetectedTuples, lpTupleFirst,
// lpTupleLast) into the series and offers its chains to the chains header.
// bDebugRepeat is the program's one-shot flag: the unfixed operations show
// their step reports while it is set; all four clear it before returning.
// An empty tuple, an etalon number outside the alphabet or no tuples at all:
// a message, and an empty result (no pulses, no tuples, no chains held); a
// series whose construction was refused gets the same without a message.
// Other bad input (a message says which) leaves series and chains untouched.
// The phase mode is 1 (the chain begins with the tuple's first element) or
// any other value (any element may begin it; the fixed-count operations only).
// A search that finds no chain offers a chain of no pulses at its bound
// (99999999, or 999999999 when recognising, unfixed; 9999999 fixed); it never
// becomes the result. An unfixed chain follows a tuple longer than Mmax only
// up to its element Mmax: it does not wrap to the first element early.

// Unfixed pulse count, one tuple. 1; 0 on refusal, bad tuples or when memory ran out.
int32_t detectUnfixedTuples(HWND hWnd, PulseHeader* Alphabet, int32_t wSelectedSubsetLength,
                            const int32_t* selectedSubset, uint16_t wSubsetProceeding, uint16_t wTmin, uint16_t wTmax,
                            uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat, ChainsHeader* lpChainsHeader,
                            SeriesHeader* lpSeriesHeader);

// Unfixed pulse count, the cheapest of several tuples: its number (1-based),
// 0 when no tuple yields a chain, on refusal or when memory ran out.
int32_t recognizeUnfixedTuples(HWND hWnd, PulseHeader* Alphabet, const int32_t* selectedSubsetArraySize,
                               const int32_t* const* selectedSubsetArray, int32_t wReservedSubsetsUsed,
                               uint16_t wSubsetProceeding, uint16_t wTmin, uint16_t wTmax,
                               uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat, ChainsHeader* lpChainsHeader,
                               SeriesHeader* lpSeriesHeader);

// Fixed pulse count, one tuple, the cheapest phase. 1; 0 on refusal, bad tuples or when
// memory ran out. No phase yields a chain: detected count 0.
int32_t detectFixedTuples(HWND hWnd, PulseHeader* Alphabet, int32_t wSelectedSubsetLength,
                          const int32_t* selectedSubset, uint16_t wSubsetProceeding, uint16_t wTmin, uint16_t wTmax,
                          uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat, ChainsHeader* lpChainsHeader,
                          SeriesHeader* lpSeriesHeader);

// Fixed pulse count, the cheapest tuple and phase over the series' stored
// pulse ranges: the tuple's number (1-based), 0 when none, on refusal or when
// memory ran out.
int32_t recognizeFixedTuples(HWND hWnd, PulseHeader* Alphabet, const int32_t* selectedSubsetArraySize,
                             const int32_t* const* selectedSubsetArray, int32_t wReservedSubsetsUsed,
                             uint16_t wSubsetProceeding, uint16_t wTmin, uint16_t wTmax,
                             uint16_t wProcSavedEnergyLevel, int32_t& bDebugRepeat, ChainsHeader* lpChainsHeader,
                             SeriesHeader* lpSeriesHeader);
