// ADAPTER: a stand-in for the chains record of src/detection/, used only while
// that folder is not part of the build. Same field names; no chains are held.
#pragma once

#include <cstdint>

struct ChainsHeader {
    uint16_t wMaxSize = 0;          // room for chains
    uint16_t wPretenders = 0;       // chains held: always 0 here
    uint16_t wMaxPulses = 0;        // room for pulses in each chain
    uint16_t wDescription = 0;      // 2 once the run was described
    uint16_t wSeriesType = 0;       // series type of the run
    uint16_t wProcessingType = 0;   // processing type of the run
    const char* lastDetector = "";  // the detector that would have run
};
