// Builds the standard alphabet and a noisy series with the installed engine,
// detects its pulses, and prints how many were found next to how many were
// placed: what a program of someone else's would do first. Then a small
// statistical simulation from its request, and its normalised errors.
#include <cstdio>

#include "detection/detection.h"
#include "simulation/simulation.h"
#include "synthesis/synthesis.h"

namespace {

// One pulse count, two noise levels, two trials each; true when it ran whole.
// README's "As a C++ library" shows this body: keep the two in step.
bool smallSimulation()
{
    SimulationRequest request;
    request.length = 300;
    request.pulsesFrom = request.pulsesTo = 4;
    request.noiseSteps = 2;
    request.noiseStep = 30;
    request.repeats = 2;
    if (!validateSimulationRequest(request).empty())  // "" or the command's message
        return false;
    RandomStreams streams;
    SimulationControl control;
    control.threads = 1;
    const SimulationOutcome run = runSimulation(request, streams, control);
    if (run.status != kTrawlingComplete)
        return false;
    const SimulationSetup& s = *run.setup;
    const ErrorReference reference = errorReference(run.record.get(), s.lpSeriesHeader, &s.alphabet[0],
                                                    s.wRequiredQuantity, s.lpRequiredList);
    const NormalisedErrors errors =
        normaliseErrors(run.record.get(), errorNormalizers(run.record.get(), s.lpSeriesHeader, reference));
    std::printf("simulation: restoring error %.4f at noise 0, %.4f at noise 30\n", errors.restoring[0],
                errors.restoring[1]);
    return errors.restoring.size() == 2;
}

} // namespace

int main()
{
    RandomStreams streams;  // as in a freshly started program
    PulseHeader alphabet[20];
    if (!makeAlphabet(nullptr, 128, 20, 20, alphabet, streams))
        return 1;
    uint16_t sequence[64];
    for (uint16_t& e : sequence)
        e = 1;
    SeriesHeader* series =
        getCutOffSeries(nullptr, 20, alphabet, 20, 40, 181, 1200, 18, sequence, 128, 75, nullptr, streams);
    if (!series)
        return 1;
    uint16_t required[1] = {1};
    ChainsHeader* chains = getChainsHeader(nullptr, 10, series->wMaxPulses, nullptr);
    const int32_t found = detectFixedPulses(nullptr, alphabet, 1, required, 40, 181, 75, chains, series);
    std::printf("placed %d, detected %d, result %d\n", series->wImpulseQuantity, series->wDetectedQuantity, found);
    const bool ok = found == 1 && series->wDetectedQuantity == series->wImpulseQuantity;
    freeChainsHeader(nullptr, chains);
    freeSeriesHeader(series);
    return ok && smallSimulation() ? 0 : 1;
}
