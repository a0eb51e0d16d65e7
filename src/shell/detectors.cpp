// The detector stage of the pipeline: which detector runs for which
// processing and series type, and the chains record it writes into.
#include "detection/detection.h"
#include "shell/shell.h"
#include "simulation/simulation.h"

namespace {

const char* gLastDetector = "";  // name of the detector the last processing ran

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
    const DetectorSlot slot = detectorSlotFor(s.wProcessingType, s.wSeriesType);
    gLastDetector = detectorKindOf(slot).name;
    uint16_t count = 0;
    std::vector<uint16_t> list;  // the required etalons, or every etalon of an opened series
    PulseHeader* alphabet = processingAlphabet(count, list);
    productionDetectors()[slot].pulses(hWnd, alphabet, count, list.data(), s.wTmin, s.wTmax, s.wProcSavedEnergyLevel,
                                       s.lpChainsHeader, s.lpSeriesHeader);
}

int recordRunDescription(HWND hWnd)
{
    ProgramState& s = gState;
    return addToChainsHeader(hWnd, s.wSeriesType, s.wProcessingType, s.wSavedEnergyLevel, s.wProcSavedEnergyLevel,
                             s.lpChainsHeader);
}
