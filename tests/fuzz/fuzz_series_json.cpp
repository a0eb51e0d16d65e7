// Fuzz target: the reader of series files (`load series`, " Open series...").
// The input is the file. Beyond "no crash" it checks that a refused file says
// why, and that an accepted one builds a record whose dump reads back to the
// same fields (the reader and the writer agree on every field it let in).
#include "records/records.h"
#include "fuzz_support.h"
#include "synthesis/synthesis.h"

namespace {

// An alphabet of 20 flat etalons of 20 samples, the window's sizes.
PulseHeader* alphabet()
{
    static PulseHeader etalons[kAlphabetCapacity];
    static bool made = false;
    for (int k = 0; !made && k < kAlphabetCapacity; k++) {
        etalons[k].lpData.reset(new int16_t[20]());
        etalons[k].wReservedLength = etalons[k].wLength = 20;
        etalons[k].wNumber = static_cast<uint16_t>(k + 1);
    }
    made = true;
    return etalons;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    LoadedSeries loaded;
    std::string error;
    if (!parseSeriesJson(text, kAlphabetCapacity, 20, loaded, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    SeriesHeader* h = makeLoadedSeries(nullptr, loaded, alphabet(), kAlphabetCapacity, error);
    FUZZ_CHECK(h != nullptr);
    const std::string dumped = seriesHeaderJson(h).dump();
    freeSeriesHeader(h);
    LoadedSeries again;
    FUZZ_CHECK(parseSeriesJson(dumped, kAlphabetCapacity, 20, again, error));
    FUZZ_CHECK(again.noisy == loaded.noisy && again.pure == loaded.pure && again.positions == loaded.positions);
    FUZZ_CHECK(again.detectedPositions == loaded.detectedPositions && again.subset == loaded.subset);
    return 0;
}
