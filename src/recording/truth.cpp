// The labelled truth of a recording: its reader (CSV or JSON, untrusted) and
// the comparison of found pulses with it (hits, misses, false alarms, etalon
// confusions and the position error).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>

#include <nlohmann/json.hpp>

#include "recording.h"

namespace {

bool fault(std::string& error, const std::string& path, const std::string& what)
{
    error = path + ": " + what;
    return false;
}

// A whole number within [lo, hi], or false with what is wrong in `what`.
bool wholeIn(double v, double lo, double hi, int32_t& out)
{
    if (!std::isfinite(v) || v != std::floor(v) || v < lo || v > hi)
        return false;
    out = static_cast<int32_t>(v);
    return true;
}

// Checks and stores one entry; `where` names it in the message.
bool addPulse(double position, double etalon, const std::string& where, const std::string& path,
              std::vector<TruePulse>& truth, std::string& error)
{
    TruePulse t;
    if (!wholeIn(position, 0, std::numeric_limits<int32_t>::max(), t.position))
        return fault(error, path, where + ": the position must be a whole number >= 0");
    if (!wholeIn(etalon, 0, kMaxEtalons, t.etalon))
        return fault(error, path, where + ": the etalon must be a whole number 1.." + std::to_string(kMaxEtalons) +
                                      " (0: not known)");
    truth.push_back(t);
    return true;
}

bool truthFromCsv(const std::string& path, const std::string& text, std::vector<TruePulse>& truth, std::string& error)
{
    NumericArray a;
    if (!parseCsv(text, a, error))
        return fault(error, path, error);
    if (a.shape.size() != 2 || a.shape[0] == 0)
        return fault(error, path, "holds no rows of numbers");
    size_t position = 0, etalon = a.shape[1] > 1 ? 1 : a.shape[1];  // == columns: none
    if (!a.columns.empty()) {
        const auto at = [&](const char* name) {
            return size_t(std::find(a.columns.begin(), a.columns.end(), name) - a.columns.begin());
        };
        position = at("position");
        etalon = at("etalon");
        if (position == a.columns.size())
            return fault(error, path, "has no column \"position\" in its header line");
    } else if (a.shape[1] > 2) {
        return fault(error, path, "has " + std::to_string(a.shape[1]) + " columns and no header line; give "
                                  "position and etalon, or a header that names them");
    }
    const size_t columns = a.shape[1];
    for (size_t row = 0; row < a.shape[0]; row++) {
        const double e = etalon < columns ? a.values[row * columns + etalon] : 0;
        if (!addPulse(a.values[row * columns + position], e, "row " + std::to_string(row + 1), path, truth, error))
            return false;
    }
    return true;
}

bool truthFromJson(const std::string& path, const std::string& text, std::vector<TruePulse>& truth, std::string& error)
{
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded())
        return fault(error, path, "is not valid JSON");
    const nlohmann::json& list = j.is_object() && j.contains("pulses") ? j["pulses"] : j;
    if (!list.is_array())
        return fault(error, path, "holds neither an array of pulses nor an object with \"pulses\"");
    for (size_t i = 0; i < list.size(); i++) {
        const nlohmann::json& p = list[i];
        const std::string where = "pulse " + std::to_string(i + 1);
        const nlohmann::json* position = p.is_object() && p.contains("position") ? &p["position"] : &p;
        const nlohmann::json* etalon = p.is_object() && p.contains("etalon") ? &p["etalon"] : nullptr;
        if (!position->is_number() || (etalon && !etalon->is_null() && !etalon->is_number()))
            return fault(error, path, where + ": needs a number \"position\" (and \"etalon\", a number or null)");
        const double e = etalon && etalon->is_number() ? etalon->get<double>() : 0;
        if (!addPulse(position->get<double>(), e, where, path, truth, error))
            return false;
    }
    return true;
}

} // namespace

bool parseTruth(const std::string& text, bool json, const std::string& name, std::vector<TruePulse>& truth,
                std::string& error)
{
    std::vector<TruePulse> read;
    if (json ? !truthFromJson(name, text, read, error) : !truthFromCsv(name, text, read, error))
        return false;
    std::stable_sort(read.begin(), read.end(),
                     [](const TruePulse& a, const TruePulse& b) { return a.position < b.position; });
    truth = std::move(read);
    return true;
}

bool readTruth(const std::string& path, std::vector<TruePulse>& truth, std::string& error)
{
    std::string text;
    if (!readFileBytes(path, text, error))
        return false;
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return parseTruth(text, ext == ".json", path, truth, error);
}

Evaluation evaluate(const std::vector<FoundPulse>& found, const std::vector<TruePulse>& truth, int32_t tolerance)
{
    Evaluation e;
    e.truePulses = static_cast<int32_t>(truth.size());
    e.found = static_cast<int32_t>(found.size());
    std::vector<FoundPulse> sorted = found;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const FoundPulse& a, const FoundPulse& b) { return a.position < b.position; });
    int64_t errorSum = 0;
    size_t next = 0;  // the first found pulse not yet matched nor passed
    for (const TruePulse& t : truth) {
        while (next < sorted.size() && int64_t{sorted[next].position} < int64_t{t.position} - tolerance)
            next++;  // too early for this true pulse and every later one
        if (next == sorted.size() || int64_t{sorted[next].position} > int64_t{t.position} + tolerance)
            continue;
        const FoundPulse& f = sorted[next++];
        const int32_t distance = static_cast<int32_t>(std::llabs(int64_t{f.position} - t.position));
        e.hits++;
        errorSum += distance;
        e.maxError = std::max(e.maxError, distance);
        e.etalonsKnown += t.etalon > 0;
        e.confusions += t.etalon > 0 && t.etalon != f.etalon;
    }
    e.misses = e.truePulses - e.hits;
    e.falseAlarms = e.found - e.hits;
    e.meanError = e.hits > 0 ? double(errorSum) / e.hits : 0;
    return e;
}
