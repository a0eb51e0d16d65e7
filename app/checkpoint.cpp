// The checkpoint file of a batch simulation: its fingerprint and options, the
// ranges of trials done and their sums, written as JSON and read back with
// every field checked (a corrupt or foreign file is refused, never trusted).
// A few kilobytes per thousand grid cells, written every few seconds.
#include "app/checkpoint.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "results/results.h"

using nlohmann::json;
using nlohmann::ordered_json;

std::string checkpointProgram()
{
    return std::string("pulsebench ") + programVersion() + " (commit " + programCommit() + ")";
}

ordered_json checkpointOptions(const SimulationRequest& q)
{
    return {
        {"task", q.task},           {"series_type", q.seriesType},     {"length", q.length},
        {"tmin", q.tmin},           {"tmax", q.tmax},                  {"making_level", q.makingLevel},
        {"processing_level", q.processingLevel}, {"pulses_from", q.pulsesFrom}, {"pulses_to", q.pulsesTo},
        {"pulses_step", q.pulsesStep}, {"noise_initial", q.noiseInitial}, {"noise_steps", q.noiseSteps},
        {"noise_step", q.noiseStep}, {"repeats", q.repeats},           {"required", q.required},
        {"subset", q.subset},       {"subsets", q.subsets},            {"pick", q.pick},
        {"employment", q.employment}, {"init", q.init},                {"proceeding", q.proceeding},
        {"seed", q.seed},
    };
}

/*---- Cell sums ----*/

json cellSumsJson(const TrawlingCellSums& s)
{
    const auto high = [](TrawlingSquareSum v) { return static_cast<uint64_t>(v >> 64); };
    const auto low = [](TrawlingSquareSum v) { return static_cast<uint64_t>(v); };
    return json::array({s.restoring, s.detection, s.wrong, high(s.restoringSquares), low(s.restoringSquares),
                        high(s.detectionSquares), low(s.detectionSquares)});
}

bool cellSumsFromJson(const json& value, TrawlingCellSums& s, std::string& error)
{
    constexpr size_t kWords = 7;  // the three sums, then each sum of squares as its high and low 64 bits
    if (!value.is_array() || value.size() != kWords ||
        !std::all_of(value.begin(), value.end(), [](const json& v) { return v.is_number_integer(); })) {
        error = "a cell's sums must be seven integers (three sums, two squares as high and low words), not " +
                value.dump();
        return false;
    }
    // A square's words take all 64 bits; a sum fits int64_t.
    const auto fits = [&](size_t i) {
        if (!value[i].is_number_unsigned())
            return value[i].get<int64_t>() >= 0;
        return i > 2 || value[i].get<uint64_t>() <= uint64_t(INT64_MAX);
    };
    for (size_t i = 0; i < kWords; i++)
        if (!fits(i)) {
            error = "a cell's sums must not be negative: " + value.dump();
            return false;
        }
    const auto square = [&](size_t i) {
        return (TrawlingSquareSum(value[i].get<uint64_t>()) << 64) | value[i + 1].get<uint64_t>();
    };
    s = TrawlingCellSums{value[0].get<int64_t>(), value[1].get<int64_t>(), value[2].get<int64_t>(), square(3), square(5)};
    return true;
}

/*---- Ranges ----*/

std::vector<TrialRange> joinRanges(std::vector<TrialRange> ranges)
{
    std::sort(ranges.begin(), ranges.end(), [](const TrialRange& a, const TrialRange& b) { return a.first < b.first; });
    std::vector<TrialRange> joined;
    for (const TrialRange& r : ranges) {
        if (r.count <= 0)
            continue;
        if (!joined.empty() && r.first <= joined.back().first + joined.back().count)
            joined.back().count = std::max(joined.back().count, r.first + r.count - joined.back().first);
        else
            joined.push_back(r);
    }
    return joined;
}

std::vector<TrialRange> missingRanges(const std::vector<TrialRange>& done, int64_t trials)
{
    std::vector<TrialRange> missing;
    int64_t next = 0;
    for (const TrialRange& r : done) {
        if (r.first > next)
            missing.push_back({next, r.first - next});
        next = std::max(next, r.first + r.count);
    }
    if (next < trials)
        missing.push_back({next, trials - next});
    return missing;
}

int64_t rangeTrials(const std::vector<TrialRange>& ranges)
{
    int64_t trials = 0;
    for (const TrialRange& r : ranges)
        trials += r.count;
    return trials;
}

/*---- The file ----*/

std::string checkpointText(const Checkpoint& c)
{
    ordered_json done = ordered_json::array();
    for (const TrialRange& r : c.done)
        done.push_back({r.first, r.count});
    json sums = json::array();
    for (const TrawlingCellSums& s : c.sums)
        sums.push_back(cellSumsJson(s));
    const ordered_json out = {
        {"format_version", kCheckpointFormat},
        {"kind", "pulsebench simulate checkpoint"},
        {"program", c.program},
        {"options", c.options},
        {"trials", c.trials},
        {"done", done},
        {"sums", sums},
    };
    return out.dump() + "\n";
}

namespace {

bool fault(std::string& error, const std::string& text)
{
    error = text;
    return false;
}

// The "done" ranges: pairs of integers within the run, ascending, apart.
bool readDone(const json& value, int64_t trials, std::vector<TrialRange>& done, std::string& error)
{
    if (!value.is_array())
        return fault(error, "\"done\" must be a list of [first, count] ranges");
    int64_t end = 0;
    for (const json& r : value) {
        if (!r.is_array() || r.size() != 2 || !r[0].is_number_integer() || !r[1].is_number_integer())
            return fault(error, "\"done\" holds " + r.dump() + ", not a [first, count] range");
        const TrialRange range{r[0].get<int64_t>(), r[1].get<int64_t>()};
        if (range.count < 1 || range.first < end || range.first > trials - range.count)
            return fault(error, "\"done\" holds " + r.dump() + ": ranges must ascend, stay apart and lie within " +
                                    std::to_string(trials) + " trials");
        done.push_back(range);
        end = range.first + range.count + 1;
    }
    return true;
}

bool readSums(const json& value, size_t cells, int64_t repeats, std::vector<TrawlingCellSums>& sums,
              std::string& error)
{
    if (!value.is_array() || value.size() != cells)
        return fault(error, "\"sums\" must hold one entry per grid cell, " + std::to_string(cells));
    sums.resize(cells);
    for (size_t c = 0; c < cells; c++) {
        if (!cellSumsFromJson(value[c], sums[c], error))
            return false;
        if (sums[c].wrong > repeats)
            return fault(error, "cell " + std::to_string(c) + " counts more wrong recognitions than trials");
    }
    return true;
}

} // namespace

bool parseCheckpoint(const std::string& text, const SimulationRequest& request, Checkpoint& c, std::string& error)
{
    const json j = json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object())
        return fault(error, "not a JSON object (the file is damaged or no checkpoint)");
    if (j.value("kind", json()) != "pulsebench simulate checkpoint")
        return fault(error, "no checkpoint of pulsebench simulate (\"kind\" is missing or another)");
    if (j.value("format_version", json()) != kCheckpointFormat)
        return fault(error, "format_version " + j.value("format_version", json()).dump() + ", this program reads " +
                                std::to_string(kCheckpointFormat));
    if (j.value("program", json()) != checkpointProgram())
        return fault(error, "written by " + j.value("program", json()).dump() + ", not by this program (" +
                                checkpointProgram() + ")");
    const ordered_json options = checkpointOptions(request);
    if (j.value("options", json()) != json::parse(options.dump()))
        return fault(error, "written for other options: " + j.value("options", json()).dump() + ", not " +
                                options.dump());
    const int64_t trials = simulationTrials(request);
    if (j.value("trials", json()) != trials)
        return fault(error, "\"trials\" must be " + std::to_string(trials) + " for these options");
    Checkpoint read;
    read.program = checkpointProgram();
    read.options = options;
    read.trials = trials;
    if (!readDone(j.value("done", json()), trials, read.done, error) ||
        !readSums(j.value("sums", json()), size_t(trials / request.repeats), request.repeats, read.sums, error))
        return false;
    c = std::move(read);
    return true;
}

bool readCheckpoint(const std::string& path, const SimulationRequest& request, Checkpoint& c, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in || in.bad())
        return fault(error, path + ": cannot be read");
    if (!parseCheckpoint(text, request, c, error))
        return fault(error, path + ": " + error);
    return true;
}
