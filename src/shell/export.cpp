// " File" -> " Export results...": the result files of the window's last
// complete simulation (simulation.csv, description.csv, simulation.json, as
// `pulsebench simulate` writes them) into a folder the save question gives.
// Once per menu press; milliseconds.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "results/results.h"
#include "shell/shell.h"
#include "shell/state.h"

namespace {

const char* const kCaption = " Export results ";

// The settings of the run as the window holds them; the series of the run
// gives its length and interval bounds.
SimulationRequest windowRequest(const ProgramState& s, const RestoreErrorHeader* r)
{
    SimulationRequest q;
    const SeriesHeader* h = s.lpSeriesHeader;
    q.task = s.wTaskType;
    q.seriesType = r->wSeriesType;
    q.length = h ? h->dwSeriesSize : int(s.dwSeriesLength);
    q.tmin = h ? h->wTmin : s.wTmin;
    q.tmax = h ? h->wTmax : s.wTmax;
    q.makingLevel = r->wMakingSavedEnergy;
    q.processingLevel = r->wProcessingSavedEnergy;
    q.pulsesFrom = r->wPulseValues[0];
    q.pulsesTo = r->wPulseValues[r->wVariousPulses - 1];
    q.pulsesStep = r->wVariousPulses > 1 ? r->wPulseValues[1] - r->wPulseValues[0] : 1;
    q.noiseInitial = r->lpNoiseLevels[0];
    q.noiseSteps = r->wNoiseLevels;
    q.noiseStep = r->wNoiseLevels > 1 ? r->lpNoiseLevels[1] - r->lpNoiseLevels[0] : 0;
    q.repeats = r->repeats;
    q.required = s.wRequiredQuantity;
    q.employment = s.wSubsetEmployment;
    q.init = s.wSubsetInitPosition;
    q.proceeding = s.wSubsetProceeding;
    q.seed = s.dwRunSeed;
    return q;
}

// How the run was made, as far as the window knows it.
nlohmann::ordered_json windowRun(const SimulationRequest& q, const RestoreErrorHeader* r)
{
    const int64_t start = simStartTime, end = simEndTime;
    return {
        {"version", programVersion()},
        {"commit", programCommit()},
        {"command_line", "window: Statistical Simulation"},
        {"resolved",
         {{"task", q.task}, {"series_type", q.seriesType}, {"length", q.length}, {"tmin", q.tmin}, {"tmax", q.tmax},
          {"making_level", q.makingLevel}, {"processing_level", q.processingLevel}, {"pulses_from", q.pulsesFrom},
          {"pulses_to", q.pulsesTo}, {"pulses_step", q.pulsesStep}, {"noise_initial", q.noiseInitial},
          {"noise_steps", q.noiseSteps}, {"noise_step", q.noiseStep}, {"repeats", r->repeats},
          {"required", q.required}, {"employment", q.employment}, {"init", q.init}, {"proceeding", q.proceeding},
          {"threads", std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 64)}}},
        {"seed", q.seed},
        {"threads", 0},
        {"processes", 1},
        {"start_seconds", start},
        {"end_seconds", end},
        {"elapsed_seconds", end - start},
    };
}

} // namespace

void exportResults(HWND hWnd)
{
    const ProgramState& s = gState;
    const RestoreErrorHeader* r = s.lpRestErrorHeader;
    if (!r || !r->ifComplete || !s.lpSeriesHeader || r->wVariousPulses == 0 || r->wNoiseLevels == 0) {
        MessageBoxA(hWnd, "Нет результатов статистического моделирования!", kCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    char name[4096] = "simulation.json";
    if (!chooseSaveFileName(hWnd, "JSON Files (*.json)\0*.json\0", " Export results", "json", name, sizeof name))
        return;
    SimulationResults x;
    x.record = r;
    x.series = s.lpSeriesHeader;
    x.firstEtalon = &s.Alphabet[std::clamp(s.wSelectedEtalon, 1, int32_t(kAlphabetCapacity)) - 1];
    x.wRequiredQuantity = s.wRequiredQuantity;
    x.lpRequiredList = s.lpRequiredList;
    x.request = windowRequest(s, r);
    x.streams = s.streams;
    x.elapsedSeconds = simEndTime - simStartTime;
    x.run = windowRun(x.request, r);
    // The set goes into the folder of the name chosen, under its own names.
    const std::filesystem::path folder = std::filesystem::path(name).parent_path();
    const std::string failure = writeResultSet(folder.empty() ? "." : folder.string(), resultFiles(x));
    if (!failure.empty())
        MessageBoxA(hWnd, failure.c_str(), kCaption, MB_OK | MB_ICONWARNING);
}
