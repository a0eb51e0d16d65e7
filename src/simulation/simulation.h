// Statistical simulation: the error statistics record (RestoreErrorHeader) that
// a simulation fills over a grid of pulse counts and noise levels and that the
// charts draw. Public face of src/simulation/ for the shell and the display.
// Reports through message boxes owned by the window passed first; never uses Qt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

/*==========================================================================
** Error statistics record
**========================================================================*/

inline constexpr int kErrorTables = 6;  // tables of lpErrors: restoring, detection, 0, wrong recognitions, 0, 0

// Greatest number of cells (all six tables together) a record may hold: 256 MB
// of cells. A bigger grid is refused like an allocation that failed, before any
// memory is touched.
inline constexpr uint64_t kMaxErrorCells = uint64_t(1) << 26;

// The grid of one simulation, its error tables and the description of the run.
// Obtained from getRestErrHeader, released by freeRestErrHeader; the shell keeps
// one for the whole program run. Cell [k][j] of table t is lpErrors[t][k][j]
// for noise level k < wNoiseLevels and pulse count j < wVariousPulses; row k of
// every table begins wVariousPulses cells after row k - 1, and table t begins at
// cell t * wVariousPulses * wNoiseLevels of the cell block.
struct RestoreErrorHeader {
    uint16_t wReservedPulses = 0;      // pulse-count values allocated (columns of every table)
    uint16_t wVariousPulses = 0;       // P, pulse-count values in use, <= wReservedPulses
    uint16_t wReservedLevels = 0;      // noise levels allocated (rows of every table)
    uint16_t wNoiseLevels = 0;         // L, noise levels in use, <= wReservedLevels
    int32_t repeats = 0;               // trials per grid cell
    int16_t* wPulseValues = nullptr;   // [wReservedPulses] pulse count of column j; behind lpNoiseLevels in valueStore
    int16_t* lpNoiseLevels = nullptr;  // [wReservedLevels] noise level of row k, sample units; start of valueStore
    int32_t** lpErrors[kErrorTables] = {};  // per table, [wReservedLevels] row pointers into cellStore
    uint16_t wDescription = 0;         // 2 once addInitRestErrHeader described the run; 0 before
    uint16_t wSeriesType = 0;          // series type code of the run (1, 2, 4, 8, 36, 40, ...)
    uint16_t wTaskType = 0;            // processing type code of the run (1, 2, 4, 36, 40, ...)
    const char* lpTaskName = "";       // task name of wTaskType; "" when the code has none (never null)
    const char* lpSeriesTypeName = ""; // series type name of wSeriesType; "" when the code has none (never null)
    uint16_t wMakingSavedEnergy = 0;   // saved energy level the run's series were built with, percent
    int16_t wProcessingSavedEnergy = 0; // saved energy level given to the detectors, percent
    uint16_t ifComplete = 0;           // 0 after initRestErrHeader, 1 when a run has finished

    // Owning storage behind the pointers above.
    std::vector<int16_t> valueStore;   // wReservedLevels noise levels, then wReservedPulses pulse counts
    std::vector<int32_t*> rowStore;    // kErrorTables arrays of wReservedLevels row pointers
    std::vector<int32_t> cellStore;    // kErrorTables * wReservedLevels * wReservedPulses cells

    RestoreErrorHeader() = default;
    RestoreErrorHeader(const RestoreErrorHeader&) = delete;  // the pointers point into the owner's storage
    RestoreErrorHeader& operator=(const RestoreErrorHeader&) = delete;
};

// Names printed in the description of a run; "" for a code outside the tables.
const char* restErrSeriesTypeName(uint16_t seriesType);
const char* restErrTaskName(uint16_t taskType);

// Allocates a record when none is given and makes every block large enough for
// P pulse counts and L noise levels (reusing what is large enough); sets P, L
// and repeats and zeroes the values and all six tables. Out of memory (or a
// grid above kMaxErrorCells): a message, the record released, also one passed
// in, and nothing returned.
RestoreErrorHeader* getRestErrHeader(HWND hWnd, uint16_t P, uint16_t L, int32_t repeats,
                                     RestoreErrorHeader* lpRestErrorHeader);

// Fills the grid: pulse counts firstPulses + j * pulsesStep, noise levels
// firstLevel + k * levelStep (16-bit), clears table 0 and ifComplete. Returns 1,
// or 0 after a message with nothing changed (no record, or more pulse counts or
// levels than allocated).
int initRestErrHeader(HWND hWnd, uint16_t P, uint16_t firstPulses, uint16_t pulsesStep, uint16_t L,
                      uint16_t firstLevel, uint16_t levelStep, int32_t repeats,
                      RestoreErrorHeader* lpRestErrorHeader);

// Records the description of the run. Returns 1, or 0 after a message when
// there is no record.
int addInitRestErrHeader(HWND hWnd, uint16_t seriesType, uint16_t taskType, uint16_t makingSavedEnergy,
                         int16_t processingSavedEnergy, RestoreErrorHeader* lpRestErrorHeader);

// Releases the record and everything it owns (nothing for null). Returns 1.
int freeRestErrHeader(RestoreErrorHeader* lpRestErrorHeader);

// The record as the text aboutRestErrHeader shows (whole, for any grid); "" for null.
std::string restErrHeaderText(const RestoreErrorHeader* lpRestErrorHeader);

// Shows restErrHeaderText in a box captioned "aboutRestErrHeader Info".
void aboutRestErrHeader(HWND hWnd, const RestoreErrorHeader* lpRestErrorHeader);
