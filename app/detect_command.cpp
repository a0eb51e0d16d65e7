// `pulsebench detect`: its options, the etalons (read or built-in), the
// scale, the run through src/recording/ and the JSON or CSV result.
//
//   [SECTION] Options
//   [SECTION] Etalons and scale
//   [SECTION] Output
//   [SECTION] The command
#include "detect_command.h"


#include <algorithm>
#include <map>
#include <array>
#include <chrono>
#include <functional>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>

#include <nlohmann/json.hpp>

#include "app/progress_line.h"
#include "app/simulate_command.h"
#include "results/results.h"
#include "platform/files.h"

/*==========================================================================
** [SECTION] Options
**========================================================================*/

namespace {

std::string operationNames()
{
    std::string names;
    for (const DetectorKind& k : kDetectorKinds)
        names += std::string(names.empty() ? "" : ", ") + k.operation;
    return names;
}

void addDetectOptions(CLI::App& c, DetectOptions& o)
{
    c.add_option("--signal", o.signalFiles, "the recording: an audio file (WAV, FLAC, AIFF, ...), .csv, .npy "
                                        "(1-D, or 2-D as samples x channels) or .mat; several, or a folder: "
                                        "one result each in --out FOLDER and summary.csv")
        ->required();
    c.add_option("--channel", o.signal.channel, "channel (or CSV column) to read, 0-based")->check(CLI::Range(0, 65535));
    c.add_option("--column", o.signal.column, "CSV: the column named in the header line");
    c.add_option("--variable", o.signal.variable, ".mat: the variable (default: the only numeric one)");
    c.add_option("--rate", o.signal.rate, "samples per second where the file has no rate (default 1: time = position)")
        ->check(CLI::PositiveNumber);
    c.add_option("--scale", o.scale, "16-bit units per input unit: auto (the largest safe factor) or a number")
        ->capture_default_str();
    auto* etalons = c.add_option("--etalons", o.etalons, "the etalons: .csv or .npy of shape (count, length), a .mat "
                                                         "variable, or a folder of audio files (one etalon each)");
    auto* standard = c.add_flag("--standard-alphabet", o.standardAlphabet, "the built-in alphabet of 20 etalons");
    etalons->excludes(standard);
    c.add_option("--required", o.required, "pulse operations: the etalon numbers that may occur, e.g. 1,2")
        ->delimiter(',')
        ->check(CLI::Range(1, kMaxEtalons));
    c.add_option("--operation", o.operation, "one of " + operationNames())->required();
    c.add_option("--subset", o.subset, "tuple detection: the tuple, e.g. 2,5")->delimiter(',')->check(CLI::Range(1, kMaxEtalons));
    c.add_option("--subsets", o.subsetsText, "tuple recognition: the tuples, e.g. \"1,2;3,4\"");
    c.add_option("--pulses", o.pulses, "fixed-count operations: the pulse count")->check(CLI::Range(1, 32767));
    c.add_option("--min-pulses", o.minPulses, "unfixed operations: least pulse count")->check(CLI::Range(1, 32767));
    c.add_option("--max-pulses", o.maxPulses, "unfixed operations: greatest pulse count")->check(CLI::Range(1, 32767));
    c.add_option("--tmin", o.tmin, "least distance between pulse starts, samples")->required()->check(CLI::Range(1, 32767));
    c.add_option("--tmax", o.tmax, "greatest distance between pulse starts, samples")->required()->check(CLI::Range(1, 32767));
    c.add_option("--level", o.level, "saved energy level, percent (100: whole pulses)")->required()->check(CLI::Range(0, 100));
    c.add_option("--chains", o.chains, "best chains reported")->check(CLI::Range(1, 1000))->capture_default_str();
    c.add_option("--out", o.out, "FILE.json or FILE.csv (default: JSON on standard output)");
    c.add_option("--segment", o.segment, "samples per segment of a signal longer than that (unfixed pulse operations)")
        ->check(CLI::Range(1, int(kMaxSeriesSize)))
        ->capture_default_str();
    c.add_option("--truth", o.truth, "the true pulses, .csv or .json (position, etalon where known): adds an evaluation");
    c.add_option("--tolerance", o.tolerance, "--truth: samples a found pulse may lie from its true one")
        ->check(CLI::Range(0, 32767))
        ->capture_default_str();
    c.add_flag("--quiet", o.quiet, "no progress line on standard error");
}

bool fail(std::string& error, const std::string& what)
{
    error = what;
    return false;
}

// The request of the options, checked where only the options are needed.
bool requestOf(const DetectOptions& o, DetectRequest& r, std::string& error)
{
    const DetectorKind* kind = detectorKindNamed(o.operation);
    if (!kind)
        return fail(error, "--operation " + o.operation + " is none of " + operationNames());
    r.slot = kind->slot;
    if (kind->fixedCount && o.pulses == 0)
        return fail(error, "--operation " + o.operation + " needs --pulses");
    if (!kind->fixedCount && o.pulses != 0)
        return fail(error, "--operation " + o.operation + " takes --min-pulses and --max-pulses, not --pulses");
    if (kind->form == DetectorForm::Tuples && o.subset.empty())
        return fail(error, "--operation " + o.operation + " needs --subset");
    if (kind->form == DetectorForm::TupleRecognizer &&
        (o.subsetsText.empty() || !parseSubsets(o.subsetsText, r.subsets)))
        return fail(error, "--operation " + o.operation + " needs --subsets, tuples of etalon numbers such as \"1,2;3,4\"");
    if (o.tmin > o.tmax)
        return fail(error, "--tmin " + std::to_string(o.tmin) + " is above --tmax " + std::to_string(o.tmax));
    r.required.assign(o.required.begin(), o.required.end());
    r.subset.assign(o.subset.begin(), o.subset.end());
    r.pulses = o.pulses;
    r.minPulses = o.minPulses;
    r.maxPulses = o.maxPulses;
    r.Tmin = static_cast<uint16_t>(o.tmin);
    r.Tmax = static_cast<uint16_t>(o.tmax);
    r.level = static_cast<uint16_t>(o.level);
    r.chains = static_cast<uint16_t>(o.chains);
    r.segment = o.segment;
    return true;
}

} // namespace

CLI::App* addDetectCommand(CLI::App& app)
{
    CLI::App* command = app.add_subcommand("detect", "one detector on a recorded signal: the pulses as JSON or CSV");
    auto options = std::make_shared<DetectOptions>();
    addDetectOptions(*command, *options);
    command->callback([options] {
        std::string text, error;
        int status = 1;
        try {
            std::error_code ec;
            const std::vector<std::string>& given = options->signalFiles;
            if (given.size() == 1 && !std::filesystem::is_directory(given[0], ec)) {
                options->signal.path = given[0];
                status = runDetect(*options, text, error);
            } else {
                status = runDetectMany(*options, given, error);
            }
        } catch (const std::bad_alloc&) {
            error = "out of memory";
        }
        if (status != 0) {
            std::fprintf(stderr, "pulsebench detect: %s\n", error.c_str());
            throw CLI::RuntimeError(status);
        }
        if (options->out.empty())
            std::fputs(text.c_str(), stdout);
    });
    return command;
}

/*==========================================================================
** [SECTION] Etalons and scale
**========================================================================*/

namespace {

// The etalons as the detectors take them, with the signal scaled alike.
struct Prepared {
    std::array<PulseHeader, kAlphabetCapacity> alphabet; // entry k - 1 is etalon k
    uint16_t count = 0, n = 0;   // etalons, samples each
    std::vector<int16_t> samples; // the signal in 16-bit units
    Scaling scaling;             // the factor used and what it clipped
};

// The most pulses a chain on this signal, or on one segment of it, can hold
// (see recording.h).
uint16_t chainPulses(size_t N, uint16_t n, int Tmin, int segment)
{
    N = std::min(N, size_t(std::clamp(segment, 1, int(kMaxSeriesSize))));
    if (N < n || n < 1)
        return 1;  // the run refuses such a signal
    return maxPulsesFor(static_cast<int32_t>(N), n, static_cast<uint16_t>(Tmin));
}

bool parseScale(const std::string& text, double& requested, std::string& error)
{
    if (text == "auto")
        return requested = 0, true;
    char* end = nullptr;
    requested = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !(requested > 0) || !std::isfinite(requested))
        return fail(error, "--scale must be auto or a positive number, not \"" + text + "\"");
    return true;
}

// The built-in alphabet is in 16-bit units already: only the signal is
// scaled, by default so that its peak is the alphabet's.
bool scaleToAlphabet(double requested, const Signal& signal, int32_t amplitude, Prepared& p, std::string& error)
{
    int32_t peak = 0;
    for (uint16_t e = 0; e < p.count; e++)
        for (uint16_t i = 0; i < p.n; i++)
            peak = std::max(peak, std::abs(int32_t{p.alphabet[e].lpData[i]}));
    if (peak > amplitude)
        return fail(error, "the built-in alphabet reaches " + std::to_string(peak) + ", above " +
                               std::to_string(amplitude) + ", the largest safe sample for this signal and --tmin");
    const double signalPeak = peakOf(signal.samples);
    if (requested == 0 && signalPeak > 0)
        requested = peak / signalPeak;
    if (!chooseScale(requested, signalPeak, 0, amplitude, p.scaling, error))
        return false;
    p.scaling.clipped = scaleSamples(signal.samples, p.scaling.factor, amplitude, p.samples);
    return true;
}

// The etalons the options name, into the alphabet (the built-in one) or `set`
// (read from files, still in the signal's units).
bool takeEtalons(const DetectOptions& o, const Signal& signal, EtalonSet& set, Prepared& p, std::string& error)
{
    if (o.standardAlphabet) {
        RandomStreams fresh;
        if (!makeAlphabet(nullptr, kRunAmplitude, kRunAlphabetSize, kRunImpulseSize, p.alphabet.data(), fresh))
            return fail(error, "the built-in alphabet could not be made");
        p.count = kRunAlphabetSize;
        p.n = kRunImpulseSize;
        return true;
    }
    if (!readEtalons(o.etalons, o.etalonVariable, set, error))
        return false;
    const bool signalRate = signal.rateFromFile || o.signal.rate > 0;  // known, not the default
    if (set.rate > 0 && signalRate && set.rate != signal.rate)
        return fail(error, o.etalons + ": the etalons are sampled at " + std::to_string(int64_t(set.rate)) +
                               " Hz, the signal at " + std::to_string(int64_t(signal.rate)) + " Hz; resample one");
    p.count = static_cast<uint16_t>(set.shapes.size());
    p.n = static_cast<uint16_t>(set.shapes[0].size());
    return true;
}

bool prepare(const DetectOptions& o, const Signal& signal, Prepared& p, std::string& error)
{
    double requested = 0;
    EtalonSet set;
    if (!parseScale(o.scale, requested, error) || !takeEtalons(o, signal, set, p, error))
        return false;
    if (p.n > o.tmin)
        return fail(error, "the etalons are " + std::to_string(p.n) + " samples long; --tmin " + std::to_string(o.tmin) +
                               " must be at least that");
    const int32_t amplitude = largestAmplitude(p.n, chainPulses(signal.samples.size(), p.n, o.tmin, o.segment));
    if (o.standardAlphabet)
        return scaleToAlphabet(requested, signal, amplitude, p, error);
    double etalonPeak = 0;
    for (const auto& shape : set.shapes)
        etalonPeak = std::max(etalonPeak, peakOf(shape));
    if (!chooseScale(requested, peakOf(signal.samples), etalonPeak, amplitude, p.scaling, error))
        return false;
    for (uint16_t e = 0; e < set.shapes.size(); e++) {
        std::vector<int16_t> values;
        scaleSamples(set.shapes[e], p.scaling.factor, amplitude, values);
        setEtalon(p.alphabet[e], static_cast<uint16_t>(e + 1), values.data(),
                  static_cast<uint16_t>(values.size()));
    }
    p.scaling.clipped = scaleSamples(signal.samples, p.scaling.factor, amplitude, p.samples);
    return true;
}

/*==========================================================================
** [SECTION] Output
**========================================================================*/

using Json = nlohmann::ordered_json;

Json pulsesJson(const std::vector<FoundPulse>& pulses, double rate)
{
    Json list = Json::array();
    for (const FoundPulse& p : pulses)
        list.push_back({{"position", p.position}, {"time", p.position / rate}, {"etalon", p.etalon},
                        {"cut_begin", p.cutBegin}, {"cut_end", p.cutEnd}});
    return list;
}

Json settingsJson(const DetectOptions& o)
{
    Json s;
    s["operation"] = o.operation;
    s["etalons"] = o.standardAlphabet ? Json("standard alphabet") : Json(o.etalons);
    s["required"] = o.required;
    s["subset"] = o.subset;
    s["subsets"] = o.subsetsText;
    s["pulses"] = o.pulses;
    s["min_pulses"] = o.minPulses;
    s["max_pulses"] = o.maxPulses;
    s["tmin"] = o.tmin;
    s["tmax"] = o.tmax;
    s["level"] = o.level;
    s["chains"] = o.chains;
    s["scale"] = o.scale;
    s["signal"] = o.signal.path;
    s["channel"] = o.signal.channel;
    s["column"] = o.signal.column;
    s["variable"] = o.signal.variable;
    s["rate"] = o.signal.rate > 0 ? Json(o.signal.rate) : Json(nullptr);
    s["etalon_variable"] = o.etalonVariable;
    s["out"] = o.out;
    if (o.segment != kMaxSeriesSize)
        s["segment"] = o.segment;
    if (!o.truth.empty()) {
        s["truth"] = o.truth;
        s["tolerance"] = o.tolerance;
    }
    return s;
}

// The stretches of a run in segments where a segment kept no pulse although
// its kept range is longer than Tmax: there the model does not hold or no
// chain was accepted. "" when there are none.
std::string silentStretches(const DetectOutcome& r, const DetectOptions& o)
{
    std::vector<std::pair<int32_t, int32_t>> silent;  // adjacent ranges joined
    for (const Segment& s : r.segments)
        if (s.pulses == 0 && s.keepTo - s.keepFrom > o.tmax) {
            if (!silent.empty() && silent.back().second == s.keepFrom)
                silent.back().second = s.keepTo;
            else
                silent.emplace_back(s.keepFrom, s.keepTo);
        }
    if (silent.empty())
        return "";
    std::string list;
    for (const auto& [from, to] : silent)
        list += (list.empty() ? "" : ", ") + std::to_string(from) + ".." + std::to_string(to);
    return "no pulse was found in samples " + list + ", longer than Tmax " + std::to_string(o.tmax) +
           ": the recording breaks the model there (a gap above Tmax) or no chain that fits was accepted";
}

// Where the segments of a recognition recognised different etalons: how
// many segments gave each, and which one the result takes; "" when they agree.
std::string disagreement(const DetectOutcome& r)
{
    bool agree = true;
    const int32_t verdict = segmentsVerdict(r.segments, agree);
    if (agree)
        return "";
    std::map<int32_t, int32_t> votes;
    for (const Segment& s : r.segments)
        if (s.hasCost && s.result > 0)
            votes[s.result]++;
    std::string list;
    for (const auto& [etalon, count] : votes)
        list += (list.empty() ? "" : ", ") + std::string("etalon ") + std::to_string(etalon) + " in " +
                std::to_string(count) + (count == 1 ? " segment" : " segments");
    return "the segments recognise different etalons (" + list + "; see \"segments\"): the result is etalon " +
           std::to_string(verdict) + ", the one most segments recognise (the earliest on a tie); the recording "
           "may mix etalons, which recognition does not model";
}

std::string joinNotes(const std::string& a, const std::string& b)
{
    return a.empty() ? b : b.empty() ? a : a + "; " + b;
}

// Why nothing (or, in segments, nothing in a stretch) was found, in the
// model's words; "" when every part of the signal gave pulses.
std::string emptyNote(const DetectOutcome& r, const DetectOptions& o)
{
    if (!r.pulses.empty())
        return joinNotes(silentStretches(r, o), disagreement(r));
    if (!r.segments.empty())
        return "no chain was found in any of the " + std::to_string(r.segments.size()) + " segments: none fits the "
               "model (every gap between pulse starts within Tmin " + std::to_string(o.tmin) + " .. Tmax " +
               std::to_string(o.tmax) + "), or every chain that fits costs more than the detector accepts";
    return "no chain was found: none fits the model (every gap between pulse starts within Tmin " +
           std::to_string(o.tmin) + " .. Tmax " + std::to_string(o.tmax) + ", the first pulse within Tmax of the "
           "start, the last within Tmax of the end; admissible pulse counts " + std::to_string(r.minPulses) + ".." +
           std::to_string(r.maxPulses) + "), or every chain that fits costs more than the detector accepts (the "
           "signal does not look like the etalons there)";
}

Json segmentsJson(const std::vector<Segment>& segments)
{
    Json list = Json::array();
    for (const Segment& s : segments)
        list.push_back({{"begin", s.begin}, {"end", s.end}, {"kept_from", s.keepFrom}, {"kept_to", s.keepTo},
                        {"cost", s.hasCost ? Json(s.cost) : Json(nullptr)}, {"result", s.result},
                        {"pulses", s.pulses}});
    return list;
}

Json evaluationJson(const Evaluation& e, int tolerance)
{
    return {{"tolerance", tolerance},      {"true_pulses", e.truePulses},
            {"found", e.found},            {"hits", e.hits},
            {"misses", e.misses},          {"false_alarms", e.falseAlarms},
            {"etalons_known", e.etalonsKnown}, {"confusions", e.confusions},
            {"mean_position_error", e.meanError}, {"max_position_error", e.maxError}};
}

std::string resultJson(const DetectOptions& o, const Signal& signal, const Prepared& p, const DetectOutcome& r,
                       const Evaluation* evaluation)
{
    Json j;
    j["format_version"] = kJsonFormatVersion;
    j["signal"] = {{"path", signal.path},
                   {"rate", signal.rate},
                   {"rate_source", signal.rateFromFile ? "file" : o.signal.rate > 0 ? "--rate" : "default 1 Hz: time = position"},
                   {"channel", signal.channel},
                   {"samples", signal.samples.size()},
                   {"scale", p.scaling.factor},
                   {"amplitude", p.scaling.amplitude},
                   {"clipped", p.scaling.clipped}};
    j["settings"] = settingsJson(o);
    j["pulses"] = pulsesJson(r.pulses, signal.rate);
    j["cost"] = r.hasCost ? Json(r.cost) : Json(nullptr);
    j["result"] = r.result;
    Json chains = Json::array();
    for (const FoundChain& c : r.chains)
        chains.push_back({{"cost", c.cost}, {"pulses", pulsesJson(c.pulses, signal.rate)}});
    j["chains"] = chains;
    if (!r.segments.empty())
        j["segments"] = segmentsJson(r.segments);
    if (evaluation)
        j["evaluation"] = evaluationJson(*evaluation, o.tolerance);
    const std::string note = emptyNote(r, o);
    if (!note.empty())
        j["note"] = note;
    return j.dump(2) + "\n";
}

std::string resultCsv(const Signal& signal, const DetectOutcome& r)
{
    std::string text = "position,time,etalon,cut_begin,cut_end\n";
    for (const FoundPulse& p : r.pulses) {
        char line[128];
        std::snprintf(line, sizeof line, "%d,%.9g,%d,%d,%d\n", p.position, p.position / signal.rate, p.etalon,
                      p.cutBegin, p.cutEnd);
        text += line;
    }
    return text;
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

/*==========================================================================
** [SECTION] The command
**========================================================================*/

namespace {

// The samples processed so far, after every segment, as the progress line.
struct SegmentProgress {
    ProgressLine line;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

    void operator()(int64_t done, int64_t total)
    {
        line.show(done, total, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
};

// The signal, the etalons and the truth the options name, read and checked.
bool readInputs(const DetectOptions& o, DetectRequest& request, Signal& signal, Prepared& p,
                std::vector<TruePulse>& truth, std::string& error)
{
    if (o.etalons.empty() && !o.standardAlphabet)
        return fail(error, "give the etalons: --etalons FILE or --standard-alphabet");
    if (!o.out.empty() && !endsWith(o.out, ".json") && !endsWith(o.out, ".csv"))
        return fail(error, "--out " + o.out + " must end in .json or .csv");
    if (o.tolerance != 0 && o.truth.empty())
        return fail(error, "--tolerance needs --truth");
    if (!requestOf(o, request, error) || !readSignal(o.signal, signal, error) || !prepare(o, signal, p, error))
        return false;
    return o.truth.empty() || readTruth(o.truth, truth, error);
}

std::string evaluationLine(const Evaluation& e, int tolerance)
{
    char line[256];
    std::snprintf(line, sizeof line, "%d of %d true pulses found within %d samples, %d missed, %d false alarms, "
                  "%d of %d etalons confused, position error mean %.3g max %d samples", e.hits, e.truePulses,
                  tolerance, e.misses, e.falseAlarms, e.confusions, e.etalonsKnown, e.meanError, e.maxError);
    return line;
}

} // namespace

int runDetect(const DetectOptions& o, std::string& text, std::string& error, DetectSummary* summary)
{
    DetectRequest request;
    Signal signal;
    Prepared p;
    std::vector<TruePulse> truth;
    if (!readInputs(o, request, signal, p, truth, error))
        return 1;
    RecordingMessageBoxes boxes;
    PlatformWindow window{&boxes, nullptr};
    DetectOutcome outcome;
    SegmentProgress progress{ProgressLine::forStandardError(o.quiet, "samples")};
    const bool ran = runOnSignal(&window, p.alphabet.data(), p.count, p.n, p.samples, request, outcome, error,
                                 std::ref(progress));
    if (boxes.count() > 0)
        return fail(error, boxes.messages().front().text), 1;
    if (!ran)
        return 1;
    const Evaluation evaluation = evaluate(outcome.pulses, truth, o.tolerance);
    const Evaluation* evaluated = o.truth.empty() ? nullptr : &evaluation;
    text = endsWith(o.out, ".csv") ? resultCsv(signal, outcome) : resultJson(o, signal, p, outcome, evaluated);
    if (p.scaling.clipped > 0)
        std::fprintf(stderr, "pulsebench detect: %lld signal samples clipped to +-%d at scale %g\n",
                     static_cast<long long>(p.scaling.clipped), p.scaling.amplitude, p.scaling.factor);
    if (!emptyNote(outcome, o).empty())
        std::fprintf(stderr, "pulsebench detect: %s\n", emptyNote(outcome, o).c_str());
    if (evaluated && endsWith(o.out, ".csv"))
        std::fprintf(stderr, "pulsebench detect: %s\n", evaluationLine(evaluation, o.tolerance).c_str());
    if (!o.out.empty() && !writeFileAtomically(o.out, text, &error))
        return 1;
    if (summary)
        *summary = DetectSummary{int64_t(signal.samples.size()), signal.rate, outcome.pulses.size(),
                                 outcome.segments.size(), outcome.hasCost, outcome.cost, evaluated != nullptr,
                                 evaluation, emptyNote(outcome, o)};
    return 0;
}
