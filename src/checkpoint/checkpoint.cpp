// The checkpoint file of a simulation: its kind, fingerprint and options, the
// ranges of trials done and their sums (and the window's starting streams),
// written as JSON and read back with every field checked (a corrupt or
// foreign file is refused, never trusted). A few kilobytes per thousand grid
// cells, written every few seconds.
#include "checkpoint/checkpoint.h"

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

CheckpointRun batchCheckpointRun(const SimulationRequest& q)
{
    return {kBatchCheckpointKind, checkpointOptions(q), simulationTrials(q), q.repeats};
}

namespace {

std::string shortDump(const json& value)
{
    const std::string text = value.dump();
    return text.size() <= 60 ? text : text.substr(0, 57) + "...";
}

} // namespace

std::string optionsDifference(const json& had, const json& here)
{
    if (!had.is_object())
        return "the checkpoint holds no options";
    for (const auto& [key, value] : here.items()) {
        if (!had.contains(key))
            return "the checkpoint has no \"" + key + "\"";
        if (had[key] == value)
            continue;
        if (had[key].is_array() && value.is_array() && had[key].size() == value.size())
            for (size_t i = 0; i < value.size(); i++)
                if (had[key][i] != value[i])
                    return "\"" + key + "\" differs at entry " + std::to_string(i + 1) + ": " + shortDump(had[key][i]) +
                           " in the checkpoint, " + shortDump(value[i]) + " here";
        return "\"" + key + "\" is " + shortDump(had[key]) + " in the checkpoint, " + shortDump(value) + " here";
    }
    for (const auto& [key, value] : had.items())
        if (!here.contains(key))
            return "the checkpoint has \"" + key + "\", which this run has not";
    return "";
}

/*---- Streams ----*/

namespace {

// The 16-bit streams of RandomStreams, by their names in the file.
struct StreamField {
    const char* name;
    int16_t RandomStreams::*member;
};
constexpr StreamField kStreamFields[] = {
    {"cut_begin", &RandomStreams::wCutBeginSeed},     {"cut_end", &RandomStreams::wCutEndSeed},
    {"position", &RandomStreams::wPositionSeed},      {"quantity", &RandomStreams::wQuantitySeed},
    {"subset_shift", &RandomStreams::wSubsetShiftSeed}, {"subset_gap", &RandomStreams::wSubsetGapSeed},
    {"noise_etalon", &RandomStreams::wNoiseEtalonSeed}, {"noise", &RandomStreams::wNoiseSeed},
};

} // namespace

ordered_json streamsJson(const RandomStreams& r)
{
    ordered_json out;
    for (const StreamField& f : kStreamFields)
        out[f.name] = r.*f.member;
    out["sequence"] = r.dwSequenceState;
    out["replicate_seed"] = r.dwReplicateSeed;
    out["counters"] = r.counters;
    return out;
}

bool streamsFromJson(const json& value, RandomStreams& r, std::string& error)
{
    const auto integer = [&](const char* name, int64_t low, int64_t high) {
        const json v = value.is_object() ? value.value(name, json()) : json();
        return v.is_number_integer() && v.get<int64_t>() >= low && v.get<int64_t>() <= high;
    };
    RandomStreams read;
    for (const StreamField& f : kStreamFields) {
        if (!integer(f.name, INT16_MIN, INT16_MAX)) {
            error = std::string("\"streams\" must hold \"") + f.name + "\" as a 16-bit integer";
            return false;
        }
        read.*f.member = value[f.name].get<int16_t>();
    }
    if (!integer("sequence", INT32_MIN, INT32_MAX) || !integer("replicate_seed", 0, UINT32_MAX)) {
        error = "\"streams\" must hold \"sequence\" (32-bit) and \"replicate_seed\" (0..4294967295)";
        return false;
    }
    read.dwSequenceState = value["sequence"].get<int32_t>();
    read.dwReplicateSeed = value["replicate_seed"].get<uint32_t>();
    const json counters = value.value("counters", json());
    if (!counters.is_array() || counters.size() != read.counters.size() ||
        !std::all_of(counters.begin(), counters.end(), [](const json& v) { return v.is_number_unsigned(); })) {
        error = "\"streams\" must hold \"counters\", " + std::to_string(read.counters.size()) +
                " integers of at least 0";
        return false;
    }
    for (size_t i = 0; i < read.counters.size(); i++)
        read.counters[i] = counters[i].get<uint64_t>();
    r = read;
    return true;
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

std::vector<TrialRange> PendingTrials::handedRanges() const
{
    return {todo.begin(), todo.begin() + std::ptrdiff_t(handed)};
}

bool nextPendingTrials(void* context, int64_t& first, int64_t& count)
{
    auto* p = static_cast<PendingTrials*>(context);
    if (p->handed == p->todo.size())
        return false;
    first = p->todo[p->handed].first;
    count = p->todo[p->handed].count;
    p->handed++;
    return true;
}

Checkpoint checkpointAfter(const Checkpoint& prior, const std::vector<TrialRange>& handed,
                           const std::vector<TrawlingCellSums>& sums, int64_t last)
{
    Checkpoint state = prior;
    for (size_t i = 0; i < handed.size() && handed[i].first <= last; i++)
        state.done.push_back({handed[i].first, std::min(handed[i].count, last + 1 - handed[i].first)});
    state.done = joinRanges(state.done);
    if (state.sums.empty())
        state.sums = sums;  // nothing before: the share's are the sums
    else if (!sums.empty() && !addTrawlingSums(state.sums, sums))
        state.sums.clear();
    return state;
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
    ordered_json out = {
        {"format_version", kCheckpointFormat},
        {"kind", c.kind},
        {"program", c.program},
        {"options", c.options},
        {"trials", c.trials},
        {"done", done},
        {"sums", sums},
    };
    if (c.kind == kWindowCheckpointKind)
        out["streams"] = streamsJson(c.start);
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

namespace {

// The checkpoint object of `kind` in `text`, its format this program's.
bool checkpointObject(const std::string& text, const char* kind, json& j, std::string& error)
{
    j = json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object())
        return fault(error, "not a JSON object (the file is damaged or no checkpoint)");
    if (j.value("kind", json()) != kind) {
        const json had = j.value("kind", json());
        return fault(error, std::string("no ") + kind + " (its \"kind\" is " + (had.is_null() ? "missing" : had.dump()) +
                                ")");
    }
    if (j.value("format_version", json()) != kCheckpointFormat)
        return fault(error, "format_version " + j.value("format_version", json()).dump() + ", this program reads " +
                                std::to_string(kCheckpointFormat));
    return true;
}

} // namespace

bool checkpointOptionsIn(const std::string& text, const char* kind, json& options, std::string& error)
{
    json j;
    if (!checkpointObject(text, kind, j, error))
        return false;
    options = j.value("options", json());
    if (!options.is_object())
        return fault(error, "\"options\" must be an object");
    return true;
}

bool parseCheckpoint(const std::string& text, const CheckpointRun& run, Checkpoint& c, std::string& error)
{
    json j;
    if (!checkpointObject(text, run.kind.c_str(), j, error))
        return false;
    if (j.value("program", json()) != checkpointProgram())
        return fault(error, "written by " + j.value("program", json()).dump() + ", not by this program (" +
                                checkpointProgram() + ")");
    const json options = json::parse(run.options.dump());
    if (j.value("options", json()) != options)
        return fault(error, "written for other options: " + optionsDifference(j.value("options", json()), options));
    if (j.value("trials", json()) != run.trials)
        return fault(error, "\"trials\" must be " + std::to_string(run.trials) + " for these options");
    Checkpoint read;
    read.kind = run.kind;
    read.program = checkpointProgram();
    read.options = run.options;
    read.trials = run.trials;
    if (!readDone(j.value("done", json()), run.trials, read.done, error) ||
        !readSums(j.value("sums", json()), size_t(run.trials / run.repeats), run.repeats, read.sums, error))
        return false;
    if (run.kind == kWindowCheckpointKind && !streamsFromJson(j.value("streams", json()), read.start, error))
        return false;
    c = std::move(read);
    return true;
}

bool parseCheckpoint(const std::string& text, const SimulationRequest& request, Checkpoint& c, std::string& error)
{
    return parseCheckpoint(text, batchCheckpointRun(request), c, error);
}

bool readCheckpointFile(const std::string& path, std::string& text, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in || in.bad())
        return fault(error, path + ": cannot be read");
    return true;
}

bool readCheckpoint(const std::string& path, const SimulationRequest& request, Checkpoint& c, std::string& error)
{
    std::string text;
    if (!readCheckpointFile(path, text, error))
        return false;
    if (!parseCheckpoint(text, request, c, error))
        return fault(error, path + ": " + error);
    return true;
}
