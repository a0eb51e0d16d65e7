// Fuzz target: the truth reader of `pulsebench detect --truth`. The first
// byte picks JSON (odd) or CSV (even), the rest is the text. Beyond "no
// crash" it checks that accepted pulses are sorted with positions >= 0 and
// etalons 0..20, and that a refused text says why; the evaluation of the
// truth against itself then matches every pulse at distance 0.
#include "fuzz_support.h"
#include "recording/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<TruePulse> truth;
    std::string error;
    if (!parseTruth(text, data[0] % 2 == 1, "truth", truth, error)) {
        FUZZ_CHECK(error.rfind("truth: ", 0) == 0 && error.size() > 7);
        return 0;
    }
    std::vector<FoundPulse> same;
    for (size_t i = 0; i < truth.size(); i++) {
        FUZZ_CHECK(truth[i].position >= 0 && truth[i].etalon >= 0 && truth[i].etalon <= kMaxEtalons);
        FUZZ_CHECK(i == 0 || truth[i - 1].position <= truth[i].position);
        same.push_back({truth[i].position, truth[i].etalon, 0, 0});
    }
    const Evaluation e = evaluate(same, truth, 0);
    FUZZ_CHECK(e.hits == int32_t(truth.size()) && e.misses == 0 && e.falseAlarms == 0 && e.maxError == 0);
    return 0;
}
