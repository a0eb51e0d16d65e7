// The chart of a finished simulation as the bytes of a PNG file, rendered
// without a window on the platform's raster: used by the batch simulation
// command's --chart option, which writes them with its other result files.
// Starts the headless platform when none runs.
#pragma once

#include <string>

#include "display/display.h"

// Client size of the picture: the series area of a headless main window
// (kHeadlessWidth x kHeadlessHeight) with a 10-pixel border.
inline constexpr int kChartImageWidth = 1125;
inline constexpr int kChartImageHeight = 958;

// Paints the chart of `in` (its SeriesAreaRect and wLineHeight are set here)
// and encodes it as PNG into `png`. Returns false when it could not be.
bool renderChartPng(ChartInputs in, std::string& png);
