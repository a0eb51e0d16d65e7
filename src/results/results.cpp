// The texts of the result files (simulation.csv, description.csv,
// simulation.json) from the rows of tables.cpp, their writing as one set, and
// the program's version. Milliseconds per run.
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "platform/files.h"
#include "results/results.h"
#include "version.h"

namespace {

using nlohmann::ordered_json;

/*---- The columns of simulation.csv and of "errors" ----*/

struct Column {
    const char* name;                    // CSV header and key of "errors"
    bool integer;                        // printed as an integer
    double (*value)(const ResultRow&);   // the row's entry
};

#define PB_COLUMN(name, integer, expression) {name, integer, [](const ResultRow& r) { return double(expression); }}
const Column kColumns[] = {
    PB_COLUMN("pulses", true, r.pulses),
    PB_COLUMN("noise_level", true, r.noiseLevel),
    PB_COLUMN("snr_db", false, r.snrDb),
    PB_COLUMN("repeats", true, r.repeats),
    PB_COLUMN("restoring_error", false, r.restoring),
    PB_COLUMN("restoring_error_se", false, r.restoringSe),
    PB_COLUMN("detection_error", false, r.detection),
    PB_COLUMN("detection_error_se", false, r.detectionSe),
    PB_COLUMN("recognition_error", false, r.recognition),
    PB_COLUMN("recognition_error_se", false, r.recognitionSe),
    PB_COLUMN("restoring_error_aggregate", false, r.restoringAggregate),
    PB_COLUMN("restoring_error_aggregate_se", false, r.restoringAggregateSe),
    PB_COLUMN("detection_error_aggregate", false, r.detectionAggregate),
    PB_COLUMN("detection_error_aggregate_se", false, r.detectionAggregateSe),
    PB_COLUMN("recognition_error_aggregate", false, r.recognitionAggregate),
    PB_COLUMN("recognition_error_aggregate_se", false, r.recognitionAggregateSe),
    PB_COLUMN("sum_0", true, r.sums[0]),
    PB_COLUMN("sum_1", true, r.sums[1]),
    PB_COLUMN("sum_2", true, r.sums[2]),
    PB_COLUMN("sum_3", true, r.sums[3]),
    PB_COLUMN("sum_4", true, r.sums[4]),
    PB_COLUMN("sum_5", true, r.sums[5]),
};
#undef PB_COLUMN

std::string entry(const Column& c, const ResultRow& row);

} // namespace

std::string shortestDecimal(double v)
{
    if (std::isnan(v))
        return "";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    return std::string(text, end);
}

namespace {

std::string entry(const Column& c, const ResultRow& row)
{
    const double v = c.value(row);
    return c.integer ? std::to_string(static_cast<long long>(v)) : shortestDecimal(v);
}

// A CSV field, quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// Rows "prefix.key,value" of every leaf of `j` (arrays as their JSON text).
void flatten(std::ostringstream& out, const std::string& prefix, const ordered_json& j)
{
    if (j.is_object()) {
        for (const auto& [key, value] : j.items())
            flatten(out, prefix.empty() ? key : prefix + "." + key, value);
        return;
    }
    out << csvField(prefix) << "," << csvField(j.is_string() ? j.get<std::string>() : j.dump()) << "\n";
}

} // namespace

ordered_json withFormatVersion(const ordered_json& object)
{
    ordered_json out = {{"format_version", kJsonFormatVersion}};
    for (const auto& [key, value] : object.items())
        if (key != "format_version")
            out[key] = value;
    return out;
}

ordered_json simulationDescriptionJson(const RestoreErrorHeader* r, const SimulationRequest& q)
{
    ordered_json description = {
        {"wSeriesType", r->wSeriesType},
        {"lpSeriesTypeName", r->lpSeriesTypeName},
        {"wTaskType", r->wTaskType},
        {"lpTaskName", r->lpTaskName},
        {"wMakingSavedEnergy", r->wMakingSavedEnergy},
        {"wProcessingSavedEnergy", r->wProcessingSavedEnergy},
        {"ifComplete", r->ifComplete},
        {"dwSeriesLength", q.length},
        {"wTmin", q.tmin},
        {"wTmax", q.tmax},
        {"wRequiredQuantity", r->wTaskType == kTaskDetection ? 1 : q.required},
    };
    if (q.seed != 0) // a replicate; seed 0 (the program's own streams) is left out, as before seeds existed
        description["seed"] = q.seed;
    return description;
}

std::string simulationCsvText(const SimulationResults& x)
{
    std::string out;
    for (const Column& c : kColumns)
        out += std::string(&c == kColumns ? "" : ",") + c.name;
    out += "\n";
    for (const ResultRow& row : resultRows(x)) {
        for (const Column& c : kColumns)
            out += (&c == kColumns ? "" : ",") + entry(c, row);
        out += "\n";
    }
    return out;
}

std::string descriptionCsvText(const SimulationResults& x)
{
    const RestoreErrorHeader* r = x.record;
    const SimulationRequest& o = x.request;
    std::ostringstream out;
    out << "field,value\n"
        << "wSeriesType," << r->wSeriesType << "\n"
        << "lpSeriesTypeName,\"" << r->lpSeriesTypeName << "\"\n"
        << "wTaskType," << r->wTaskType << "\n"
        << "lpTaskName,\"" << r->lpTaskName << "\"\n"
        << "wMakingSavedEnergy," << r->wMakingSavedEnergy << "\n"
        << "wProcessingSavedEnergy," << r->wProcessingSavedEnergy << "\n"
        << "ifComplete," << r->ifComplete << "\n"
        << "dwSeriesLength," << o.length << "\n"
        << "wTmin," << o.tmin << "\n"
        << "wTmax," << o.tmax << "\n"
        << "wRequiredQuantity," << (r->wTaskType == kTaskDetection ? 1 : o.required) << "\n"
        << "repeats," << r->repeats << "\n";
    if (o.seed != 0) // a replicate; seed 0 is left out, as before seeds existed
        out << "seed," << o.seed << "\n";
    out << "elapsedSeconds," << x.elapsedSeconds << "\n";
    const SeriesKind* series = seriesKindOf(r->wSeriesType);
    out << "task," << csvField(r->lpTaskName) << "\n"
        << "series_type," << csvField(series && series->name ? series->name : "") << "\n";
    flatten(out, "normalisers", normalisersJson(x));
    flatten(out, "run", x.run);
    return out.str();
}

std::string simulationJsonText(const SimulationResults& x, const std::vector<SimulationFile>* files)
{
    const RestoreErrorHeader* r = x.record;
    const RandomStreams& st = x.streams;
    using nlohmann::json;
    json tables = json::array();
    for (int t = 0; t < kErrorTables; t++) {
        json rows = json::array();
        for (int k = 0; k < r->wNoiseLevels; k++)
            rows.push_back(std::vector<int32_t>(r->lpErrors[t][k], r->lpErrors[t][k] + r->wVariousPulses));
        tables.push_back(rows);
    }
    json description = simulationDescriptionJson(r, x.request);  // ordered as every json object: by key
    description["elapsedSeconds"] = x.elapsedSeconds;
    const std::vector<ResultRow> rows = resultRows(x);
    json errors = json::object();
    for (const Column& c : kColumns) {
        json values = json::array();
        for (const ResultRow& row : rows) {
            const double v = c.value(row);
            if (c.integer)
                values.push_back(static_cast<long long>(v));
            else
                values.push_back(std::isfinite(v) ? json(v) : json(nullptr));  // NaN and inf: null
        }
        errors[c.name] = values;
    }
    json out = {
        {"format_version", kJsonFormatVersion},
        {"description", description},
        {"wPulseValues", std::vector<int16_t>(r->wPulseValues, r->wPulseValues + r->wVariousPulses)},
        {"lpNoiseLevels", std::vector<int16_t>(r->lpNoiseLevels, r->lpNoiseLevels + r->wNoiseLevels)},
        {"repeats", r->repeats},
        {"lpErrors", tables},
        {"errors", errors},
        {"normalisers", json::parse(normalisersJson(x).dump())},
        {"run", json::parse(x.run.dump())},
        // where every stream stands after the run: a later run in the same
        // program would go on from here
        {"randomStreams",
         {{"wCutBeginSeed", st.wCutBeginSeed},
          {"wCutEndSeed", st.wCutEndSeed},
          {"wPositionSeed", st.wPositionSeed},
          {"wQuantitySeed", st.wQuantitySeed},
          {"wSubsetShiftSeed", st.wSubsetShiftSeed},
          {"wSubsetGapSeed", st.wSubsetGapSeed},
          {"wNoiseEtalonSeed", st.wNoiseEtalonSeed},
          {"dwSequenceState", st.dwSequenceState},
          {"wNoiseSeed", st.wNoiseSeed}}},
    };
    if (files) {
        json list = json::array();
        for (const SimulationFile& f : *files)
            list.push_back({{"name", f.name}, {"bytes", f.bytes.size()}});
        out["files"] = list;
    }
    return out.dump() + "\n";
}

std::vector<SimulationFile> resultFiles(const SimulationResults& x, std::vector<SimulationFile> extra)
{
    std::vector<SimulationFile> files = {
        {"simulation.csv", simulationCsvText(x)},
        {"description.csv", descriptionCsvText(x)},
    };
    for (SimulationFile& f : extra)
        files.push_back(std::move(f));
    // The JSON lists the other files of its set with their sizes and is placed
    // last: a set mixed by a crash inside the commit shows in the sizes.
    std::string json = simulationJsonText(x, &files);
    files.push_back({"simulation.json", std::move(json)});
    return files;
}

std::string writeResultSet(const std::string& folder, const std::vector<SimulationFile>& files,
                           const std::atomic<bool>* cancel)
{
    std::error_code failed;
    const std::filesystem::path dir(folder);
    std::filesystem::create_directories(dir, failed);
    if (failed)
        return "cannot create " + folder + ": " + failed.message();
    FileSet set;
    for (const SimulationFile& f : files)
        if (!set.add((dir / f.name).string(), f.bytes))
            break;
    if (cancel && cancel->load())
        return "interrupted while the files were written";  // the old set stays
    if (!set.error().empty() || !set.commit())
        return set.error();
    return "";
}

const char* programVersion()
{
    return PULSEBENCH_VERSION;
}

const char* programCommit()
{
    return PULSEBENCH_GIT_COMMIT;
}
