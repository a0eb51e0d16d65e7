// The detector stage of the pipeline: which detector runs for which
// processing and series type, and the chains record it writes into.
//
// ADAPTER: while src/detection/ is not part of the build, a stand-in chains
// record is used and no detector runs (the series is shown undetected). The
// real calls are compiled as soon as detection/detection.h exists.
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

#if __has_include("detection/detection.h")
#include "detection/detection.h"

ChainsHeader* makeChainsHeader(HWND hWnd, int16_t chains, uint16_t pulses, ChainsHeader* old)
{
    return getChainsHeader(hWnd, chains, pulses, old);
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

#else

#include "shell/detectors_standin.h"

ChainsHeader* makeChainsHeader(HWND, int16_t chains, uint16_t pulses, ChainsHeader* old)
{
    ChainsHeader* h = old ? old : new ChainsHeader;
    h->wMaxSize = static_cast<uint16_t>(chains);
    h->wMaxPulses = pulses;
    h->wPretenders = 0;
    return h;
}

void releaseChainsHeader(HWND, ChainsHeader* header)
{
    delete header;
}

void runPulseDetector(HWND)
{
    gLastDetector = detectorFor();
    gState.lpChainsHeader->lastDetector = gLastDetector;
}

int recordRunDescription(HWND)
{
    ProgramState& s = gState;
    if (!s.lpChainsHeader)
        return 0;
    s.lpChainsHeader->wDescription = 2;
    s.lpChainsHeader->wSeriesType = s.wSeriesType;
    s.lpChainsHeader->wProcessingType = s.wProcessingType;
    return 1;
}

#endif
