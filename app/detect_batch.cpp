// `pulsebench detect` over several signals: the files the --signal values
// name (folders expanded), one JSON result each in the --out folder, the
// truth of each from a --truth folder, and the summary table of the run.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "detect_command.h"
#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

bool fail(std::string& error, const std::string& what)
{
    error = what;
    return false;
}

// The files of the --signal values: files as given, folders as their files in name order.
bool listSignals(const std::vector<std::string>& given, std::vector<std::string>& files, std::string& error)
{
    for (const std::string& g : given) {
        std::error_code ec;
        if (!fs::is_directory(g, ec)) {
            files.push_back(g);  // the reader says what is wrong with it
            continue;
        }
        std::vector<std::string> inside;
        for (const fs::directory_entry& e : fs::directory_iterator(g, ec))
            if (e.is_regular_file(ec) && e.path().filename().string().front() != '.')
                inside.push_back(e.path().string());
        if (ec)
            return fail(error, "--signal " + g + ": the folder cannot be read (" + ec.message() + ")");
        std::sort(inside.begin(), inside.end());
        files.insert(files.end(), inside.begin(), inside.end());
    }
    std::set<std::string> names;
    for (const std::string& f : files)
        if (!names.insert(fs::path(f).stem().string()).second)
            return fail(error, "--signal: two signals are named " + fs::path(f).stem().string() +
                                   "; their results would share one file");
    if (files.empty())
        return fail(error, "--signal names no files");
    return true;
}

// The truth of `signal` in the --truth folder: NAME.csv or NAME.json.
bool truthOf(const std::string& folder, const std::string& signal, std::string& truth, std::string& error)
{
    const std::string name = fs::path(signal).stem().string();
    for (const char* ext : {".csv", ".json"}) {
        std::error_code ec;
        if (fs::is_regular_file(fs::path(folder) / (name + ext), ec))
            return truth = (fs::path(folder) / (name + ext)).string(), true;
    }
    return fail(error, "--truth " + folder + " holds neither " + name + ".csv nor " + name + ".json");
}

std::string csvField(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string summaryRow(const std::string& file, const DetectSummary& s, int status, const std::string& error)
{
    char numbers[512];
    const Evaluation& e = s.evaluation;
    if (status != 0)
        std::snprintf(numbers, sizeof numbers, ",,,,,,,,,,,,,");
    else if (s.evaluated)
        std::snprintf(numbers, sizeof numbers, ",%lld,%.9g,%zu,%zu,%s,%d,%d,%d,%d,%d,%.9g,%d,", (long long)s.samples,
                      s.rate, s.segments, s.pulses, s.hasCost ? std::to_string(s.cost).c_str() : "", e.truePulses,
                      e.hits, e.misses, e.falseAlarms, e.confusions, e.meanError, e.maxError);
    else
        std::snprintf(numbers, sizeof numbers, ",%lld,%.9g,%zu,%zu,%s,,,,,,,,", (long long)s.samples, s.rate,
                      s.segments, s.pulses, s.hasCost ? std::to_string(s.cost).c_str() : "");
    return csvField(file) + numbers + csvField(status != 0 ? error : s.note.empty() ? "ok" : s.note) + "\n";
}

} // namespace

int runDetectMany(const DetectOptions& o, const std::vector<std::string>& signalFiles, std::string& error)
{
    std::vector<std::string> files;
    if (!listSignals(signalFiles, files, error))
        return 1;
    std::error_code ec;
    if (o.out.empty() || o.out.ends_with(".json") || o.out.ends_with(".csv"))
        return fail(error, "several signals need --out FOLDER (one result each and summary.csv), not \"" + o.out +
                               "\""), 1;
    if (!o.truth.empty() && !fs::is_directory(o.truth, ec))
        return fail(error, "several signals need --truth FOLDER (NAME.csv or NAME.json each), not \"" + o.truth +
                               "\""), 1;
    if (!fs::is_directory(o.out, ec) && !fs::create_directories(o.out, ec))
        return fail(error, "--out " + o.out + ": the folder cannot be made (" + ec.message() + ")"), 1;
    std::string table = "file,samples,rate,segments,pulses,cost,true_pulses,hits,misses,false_alarms,confusions,"
                        "mean_position_error,max_position_error,status\n";
    int failed = 0;
    for (size_t k = 0; k < files.size(); k++) {
        DetectOptions one = o;
        one.signal.path = files[k];
        one.out = (fs::path(o.out) / (fs::path(files[k]).stem().string() + ".json")).string();
        one.quiet = true;
        DetectSummary summary;
        std::string text, why;
        int status = !o.truth.empty() && !truthOf(o.truth, files[k], one.truth, why);
        status = status ? status : runDetect(one, text, why, &summary);
        failed += status != 0;
        if (status != 0)
            std::fprintf(stderr, "%spulsebench detect: %s: %s\n", o.quiet ? "" : "\n", files[k].c_str(), why.c_str());
        table += summaryRow(files[k], summary, status, why);
        if (!o.quiet)
            std::fprintf(stderr, "\rsignal %zu/%zu%s", k + 1, files.size(), k + 1 == files.size() ? "\n" : "");
    }
    if (!writeFileAtomically((fs::path(o.out) / "summary.csv").string(), table, &error))
        return 1;
    if (failed > 0)
        return fail(error, std::to_string(failed) + " of " + std::to_string(files.size()) +
                               " signals failed (see summary.csv)"), 1;
    return 0;
}
