// Inside the detection folder: the checks of the series and the distance
// bounds that every detector makes of its input, with their messages. Shared
// by the single-pulse and the tuple detectors; one call each per run.
#pragma once

#include <cstddef>
#include <cstdint>

#include "synthesis/synthesis.h"

// Each writes the message of the first check that fails into `text` (`size`
// characters with the terminator) and returns false; true, with `text`
// untouched, when all pass.

// Tmin against Tmax, the series length against 1..`longest` (the message
// names `shownLongest` as the bound), the pulse length against the series.
bool checkSeriesBounds(char* text, size_t size, const SeriesHeader* h, uint16_t Tmin, uint16_t Tmax, int64_t longest,
                       int shownLongest);

// Room for the pulses: a fixed count within the pulse lists, or (unfixed)
// pulse lists long enough for the longest chain Tmin admits in the series.
bool checkPulseRoom(char* text, size_t size, const SeriesHeader* h, uint16_t Tmin, bool unfixed);

// Etalon `e` (1-based) of the alphabet is present and at least n samples long.
bool checkEtalonLength(char* text, size_t size, const PulseHeader* alphabet, int e, int n);
