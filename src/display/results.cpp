// The results view's entry from the paint dispatcher: drawSeriesView reads the
// drawing options and the layout of this paint from the program state, paints
// the series view and keeps the pattern rows for the mouse handling.
#include "display/display_private.h"
#include "shell/state.h"

SeriesViewState gSeriesView;

int drawSeriesView(HWND, HDC hdc, uint16_t wRequiredQuantity, uint16_t* lpRequiredList,
                   ChainsHeader* lpChainsHeader, SeriesHeader* lpSeriesHeader)
{
    const ProgramState& s = gState;
    SeriesViewOptions o;
    o.SeriesAreaRect = gDisplay.SeriesAreaRect;
    o.wLineHeight = gDisplay.wLineHeight;
    o.bFrameGraphFields = s.bFrameGraphFields;
    o.bSpecialGraphSize = s.bSpecialGraphSize;
    o.bShadedOriginalPulses = s.bShadedOriginalPulses;
    o.bHighlightDetectedPulses = s.bHighlightDetectedPulses;
    o.wTuplesHighlight = s.wTuplesHighlight;
    o.wPickedSubset = s.wPickedSubset;
    o.bRecording = s.bRecordingShown;
    o.dwFirstSample = s.dwFirstShownSample;
    o.dwPageSamples = s.bRecordingShown ? kRecordingPageSamples : 0;
    o.dwStretchFirst = s.bRecordingShown ? s.dwStretchFirst : 0;
    o.dwSignalSamples = s.bRecordingShown ? s.dwSignalSamples : 0;
    return paintSeriesView(hdc, o, wRequiredQuantity, lpRequiredList, lpChainsHeader, lpSeriesHeader,
                           &gSeriesView.PatternRowRect);
}
