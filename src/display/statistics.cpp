// The statistics charts' entry from the paint dispatcher: DrawDetectionArrayZ
// reads the layout of this paint, the scale options of the Show Statistical
// Simulation dialog and the run's times, paints the charts and keeps the rows
// of the stored subsets for the mouse handling.
#include "display/display_private.h"
#include "shell/state.h"
#include "simulation/simulation.h"

int DrawDetectionArrayZ(HWND hWnd, HDC hdc, PulseHeader* lpFirstEtalon, int16_t wAmplitude, int32_t wChartKind,
                        uint16_t wRequiredQuantity, uint16_t* lpRequiredList, RestoreErrorHeader* lpRestErrorHeader,
                        SeriesHeader* lpSeriesHeader)
{
    const ProgramState& s = gState;
    ChartInputs in;
    in.options.SeriesAreaRect = gDisplay.SeriesAreaRect;
    in.options.wLineHeight = gDisplay.wLineHeight;
    in.options.bFixedUpperBound = s.bFixedUpperBound;
    in.options.dUpperBound = s.dUpperBound;
    in.options.simStartTime = simStartTime;
    in.options.simEndTime = simEndTime;
    in.lpFirstEtalon = lpFirstEtalon;
    in.wAmplitude = wAmplitude;
    in.wChartKind = wChartKind;
    in.wRequiredQuantity = wRequiredQuantity;
    in.lpRequiredList = lpRequiredList;
    in.lpRestErrorHeader = lpRestErrorHeader;
    in.lpSeriesHeader = lpSeriesHeader;
    return paintStatisticsChart(hWnd, hdc, in, &gSeriesView.PatternRowRect);
}
