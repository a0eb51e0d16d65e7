// The detector stage of the pipeline: which detector runs for which
// processing and series type, and the chains record it writes into.
#include "detection/detection.h"
#include "shell/shell.h"

namespace {

const char* gLastDetector = "";  // name of the detector the last processing ran

// The single-pulse detectors know unfixed counts only for series types 4 and 8.
bool unfixedCount()
{
    return gState.wSeriesType == kSeriesUnfixedWhole || gState.wSeriesType == kSeriesUnfixedCutoff;
}

const char* detectorFor()
{
    if (gState.wProcessingType == kTaskRecognition)
        return unfixedCount() ? "recognizeUnfixedPulses" : "recognizeFixedPulses";
    return unfixedCount() ? "detectUnfixedPulses" : "detectFixedPulses";
}

} // namespace

const char* lastDetectorName()
{
    return gLastDetector;
}

void forgetLastDetector()
{
    gLastDetector = "";
}

ChainsHeader* makeChainsHeader(HWND hWnd, int16_t chains, uint16_t pulses, ChainsHeader* old)
{
    return getChainsHeader(hWnd, static_cast<uint16_t>(chains), pulses, old);
}

void releaseChainsHeader(HWND hWnd, ChainsHeader* header)
{
    if (header)
        freeChainsHeader(hWnd, header);
}

void runPulseDetector(HWND hWnd)
{
    ProgramState& s = gState;
    const bool unfixed = unfixedCount();
    gLastDetector = detectorFor();
    if (s.wProcessingType == kTaskRecognition) {
        if (unfixed)
            recognizeUnfixedPulses(hWnd, s.Alphabet, s.wRequiredQuantity, s.lpRequiredList, s.wTmin, s.wTmax,
                                   s.wProcSavedEnergyLevel, s.lpChainsHeader, s.lpSeriesHeader);
        else
            recognizeFixedPulses(hWnd, s.Alphabet, s.wRequiredQuantity, s.lpRequiredList, s.wTmin, s.wTmax,
                                 s.wProcSavedEnergyLevel, s.lpChainsHeader, s.lpSeriesHeader);
    } else {
        if (unfixed)
            detectUnfixedPulses(hWnd, s.Alphabet, s.wRequiredQuantity, s.lpRequiredList, s.wTmin, s.wTmax,
                                s.wProcSavedEnergyLevel, s.lpChainsHeader, s.lpSeriesHeader);
        else
            detectFixedPulses(hWnd, s.Alphabet, s.wRequiredQuantity, s.lpRequiredList, s.wTmin, s.wTmax,
                              s.wProcSavedEnergyLevel, s.lpChainsHeader, s.lpSeriesHeader);
    }
}

int recordRunDescription(HWND hWnd)
{
    ProgramState& s = gState;
    return addToChainsHeader(hWnd, s.wSeriesType, s.wProcessingType, s.wSavedEnergyLevel, s.wProcSavedEnergyLevel,
                             s.lpChainsHeader);
}
