// The readers of recorded signals and etalons: audio files through
// libsndfile, MATLAB files through libmatio, .npy and CSV through the parsers
// of tables.cpp. Every failure is a message that names the file.
//
//   [SECTION] Files into numeric arrays
//   [SECTION] Signals
//   [SECTION] Etalons
#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include <matio.h>
#include <sndfile.h>

#include "recording.h"

/*==========================================================================
** [SECTION] Files into numeric arrays
**========================================================================*/

namespace {

namespace fs = std::filesystem;

enum class Format { Csv, Npy, Mat, Audio };

Format formatOf(const std::string& path)
{
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".csv" || ext == ".txt" ? Format::Csv : ext == ".npy" ? Format::Npy : ext == ".mat" ? Format::Mat
                                                                                                      : Format::Audio;
}

// False with "PATH: what" in error.
bool fail(std::string& error, const std::string& path, const std::string& what)
{
    error = path + ": " + what;
    return false;
}

} // namespace

bool readFileBytes(const std::string& path, std::string& bytes, std::string& error)
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        return fail(error, path, "no such file");
    if (fs::is_directory(path, ec))
        return fail(error, path, "is a folder, not a file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail(error, path, "cannot be opened for reading");
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad())
        return fail(error, path, "cannot be read");
    bytes = all.str();
    if (bytes.empty())
        return fail(error, path, "is empty");
    return true;
}

namespace {

// Audio frames as (frames, channels), in the integer units of the file's
// format (no normalisation to +-1).
bool readAudio(const std::string& path, NumericArray& out, double& rate, std::string& error)
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        return fail(error, path, "no such file");
    SF_INFO info{};
    std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> file(sf_open(path.c_str(), SFM_READ, &info), sf_close);
    if (!file)
        return fail(error, path, std::string("not a readable audio file (") + sf_strerror(nullptr) + ")");
    if (info.frames <= 0 || info.channels <= 0)
        return fail(error, path, "holds no samples");
    if (info.samplerate <= 0)
        return fail(error, path, "has a sample rate of 0");
    if (info.frames > (sf_count_t{1} << 26) / info.channels)
        return fail(error, path, "is too long (" + std::to_string(info.frames) + " frames)");
    sf_command(file.get(), SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    out.values.assign(size_t(info.frames) * size_t(info.channels), 0.0);
    const sf_count_t got = sf_readf_double(file.get(), out.values.data(), info.frames);
    if (got <= 0)
        return fail(error, path, "its samples cannot be read");
    out.values.resize(size_t(got) * size_t(info.channels));
    out.shape = {size_t(got), size_t(info.channels)};
    rate = info.samplerate;
    return true;
}

// The numeric variables of a MATLAB file, by name.
bool readMatVariable(const std::string& path, const std::string& variable, NumericArray& out, std::string& error)
{
    std::error_code ec;
    if (!fs::exists(path, ec))
        return fail(error, path, "no such file");
    std::unique_ptr<mat_t, int (*)(mat_t*)> mat(Mat_Open(path.c_str(), MAT_ACC_RDONLY), Mat_Close);
    if (!mat)
        return fail(error, path, "not a readable MATLAB file");
    std::vector<std::string> numeric;
    while (matvar_t* v = Mat_VarReadNextInfo(mat.get())) {
        if (v->class_type >= MAT_C_DOUBLE && v->class_type <= MAT_C_UINT64 && !v->isComplex && v->name)
            numeric.emplace_back(v->name);
        Mat_VarFree(v);
    }
    std::string name = variable;
    if (name.empty() && numeric.size() != 1)
        return fail(error, path, numeric.empty() ? "holds no numeric variable"
                                                 : "holds " + std::to_string(numeric.size()) +
                                                       " numeric variables; name one with --variable");
    if (name.empty())
        name = numeric[0];
    if (std::find(numeric.begin(), numeric.end(), name) == numeric.end())
        return fail(error, path, "has no numeric variable \"" + name + "\"");
    std::unique_ptr<matvar_t, void (*)(matvar_t*)> v(Mat_VarRead(mat.get(), name.c_str()), Mat_VarFree);
    if (!v || !v->data || v->rank != 2)
        return fail(error, path, "variable \"" + name + "\" cannot be read as a vector or matrix");
    const size_t rows = v->dims[0], columns = v->dims[1];
    out.shape = {rows, columns};
    out.values.assign(rows * columns, 0.0);
    auto copy = [&](auto* data) { // column-major into row-major
        for (size_t c = 0; c < columns; c++)
            for (size_t r = 0; r < rows; r++)
                out.values[r * columns + c] = static_cast<double>(data[c * rows + r]);
    };
    switch (v->class_type) {
    case MAT_C_DOUBLE: copy(static_cast<const double*>(v->data)); break;
    case MAT_C_SINGLE: copy(static_cast<const float*>(v->data)); break;
    case MAT_C_INT8: copy(static_cast<const int8_t*>(v->data)); break;
    case MAT_C_UINT8: copy(static_cast<const uint8_t*>(v->data)); break;
    case MAT_C_INT16: copy(static_cast<const int16_t*>(v->data)); break;
    case MAT_C_UINT16: copy(static_cast<const uint16_t*>(v->data)); break;
    case MAT_C_INT32: copy(static_cast<const int32_t*>(v->data)); break;
    case MAT_C_UINT32: copy(static_cast<const uint32_t*>(v->data)); break;
    case MAT_C_INT64: copy(static_cast<const int64_t*>(v->data)); break;
    default: copy(static_cast<const uint64_t*>(v->data)); break;
    }
    return true;
}

// Any non-audio file as a numeric array; the parsers' messages get the path.
bool readArray(const std::string& path, Format format, const std::string& variable, NumericArray& out,
               std::string& error)
{
    if (format == Format::Mat)
        return readMatVariable(path, variable, out, error);
    std::string bytes;
    if (!readFileBytes(path, bytes, error))
        return false;
    std::string what;
    const bool ok = format == Format::Npy ? parseNpy(bytes, out, what) : parseCsv(bytes, out, what);
    return ok || fail(error, path, what);
}

bool allFinite(const std::vector<double>& values, const std::string& path, std::string& error)
{
    for (size_t k = 0; k < values.size(); k++)
        if (!std::isfinite(values[k]))
            return fail(error, path, "value " + std::to_string(k + 1) + " is " + (std::isnan(values[k]) ? "NaN" : "infinite"));
    return true;
}

} // namespace

/*==========================================================================
** [SECTION] Signals
**========================================================================*/

namespace {

// The column of a (samples, columns) array, or the whole of a 1-D one.
bool pickColumn(const NumericArray& a, size_t column, const std::string& path, std::vector<double>& samples,
                std::string& error)
{
    if (a.shape.size() == 1) {
        if (column != 0)
            return fail(error, path, "has one channel; channel " + std::to_string(column) + " does not exist");
        samples = a.values;
        return true;
    }
    if (a.shape.size() != 2)
        return fail(error, path, "has " + std::to_string(a.shape.size()) + " axes; a signal has 1, or 2 (samples, channels)");
    if (column >= a.shape[1])
        return fail(error, path, "has " + std::to_string(a.shape[1]) + " channels (0.." +
                                     std::to_string(a.shape[1] - 1) + "); channel " + std::to_string(column) +
                                     " does not exist");
    samples.resize(a.shape[0]);
    for (size_t r = 0; r < a.shape[0]; r++)
        samples[r] = a.values[r * a.shape[1] + column];
    return true;
}

// The column a CSV signal is read from: the named one, or the only one.
bool csvColumn(const NumericArray& a, const SignalSource& s, size_t& column, std::string& error)
{
    if (s.column.empty()) {
        if (a.shape[1] != 1 && s.channel == 0)
            return fail(error, s.path, "has " + std::to_string(a.shape[1]) + " columns; name one with --column");
        column = size_t(s.channel);
        return true;
    }
    const auto at = std::find(a.columns.begin(), a.columns.end(), s.column);
    if (at == a.columns.end())
        return fail(error, s.path, a.columns.empty() ? "has no header line, so no column \"" + s.column + "\""
                                                     : "has no column \"" + s.column + "\"");
    column = size_t(at - a.columns.begin());
    return true;
}

} // namespace

bool readSignal(const SignalSource& s, Signal& signal, std::string& error)
{
    if (s.channel < 0)
        return fail(error, s.path, "channel " + std::to_string(s.channel) + " does not exist");
    if (!(s.rate >= 0) || !std::isfinite(s.rate))
        return fail(error, s.path, "the rate must be a positive number of samples per second");
    const Format format = formatOf(s.path);
    NumericArray a;
    double fileRate = 0;
    if (format == Format::Audio ? !readAudio(s.path, a, fileRate, error) : !readArray(s.path, format, s.variable, a, error))
        return false;
    size_t column = size_t(s.channel);
    if (format == Format::Csv && !csvColumn(a, s, column, error))
        return false;
    Signal out;
    if (!pickColumn(a, column, s.path, out.samples, error) || !allFinite(out.samples, s.path, error))
        return false;
    if (out.samples.empty())
        return fail(error, s.path, "holds no samples");
    out.path = s.path;
    out.channel = int(column);
    out.channels = a.shape.size() == 2 ? int(std::min<size_t>(a.shape[1], 1u << 30)) : 1;
    out.rateFromFile = fileRate > 0;
    out.rate = fileRate > 0 ? fileRate : s.rate > 0 ? s.rate : 1.0;
    signal = std::move(out);
    return true;
}

/*==========================================================================
** [SECTION] Etalons
**========================================================================*/

namespace {

bool etalonsFromArray(const NumericArray& a, EtalonSet& set, std::string& error)
{
    if (a.shape.size() != 2)
        return fail(error, set.path, "has " + std::to_string(a.shape.size()) + " axes; etalons are (count, length)");
    if (a.shape[0] < 1 || a.shape[0] > size_t(kMaxEtalons))
        return fail(error, set.path, "holds " + std::to_string(a.shape[0]) + " etalons; 1.." +
                                         std::to_string(kMaxEtalons) + " are taken");
    if (a.shape[1] < 1 || a.shape[1] > 32767)
        return fail(error, set.path, "etalons of " + std::to_string(a.shape[1]) + " samples; 1..32767 are taken");
    for (size_t e = 0; e < a.shape[0]; e++)
        set.shapes.emplace_back(a.values.begin() + long(e * a.shape[1]), a.values.begin() + long((e + 1) * a.shape[1]));
    return true;
}

bool etalonsFromFolder(const std::string& path, EtalonSet& set, std::string& error)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path, ec))
        if (entry.is_regular_file())
            files.push_back(entry.path().string());
    if (ec)
        return fail(error, path, "the folder cannot be read");
    std::sort(files.begin(), files.end());
    if (files.empty() || files.size() > size_t(kMaxEtalons))
        return fail(error, path, "holds " + std::to_string(files.size()) + " files; 1.." + std::to_string(kMaxEtalons) +
                                     " etalons are taken");
    for (const std::string& file : files) {
        NumericArray a;
        double rate = 0;
        if (!readAudio(file, a, rate, error))
            return false;
        if (set.rate > 0 && rate != set.rate)
            return fail(error, file, "has a sample rate of " + std::to_string(int64_t(rate)) + " Hz, the etalons before it " +
                                         std::to_string(int64_t(set.rate)) + " Hz");
        set.rate = rate;
        if (!set.shapes.empty() && a.shape[0] != set.shapes[0].size())
            return fail(error, file, "is " + std::to_string(a.shape[0]) + " samples long, the etalons before it " +
                                         std::to_string(set.shapes[0].size()) + "; all etalons need one length");
        if (a.shape[0] > 32767)
            return fail(error, file, "is longer than 32767 samples");
        std::vector<double> shape;
        pickColumn(a, 0, file, shape, error);
        set.shapes.push_back(std::move(shape));
    }
    return true;
}

} // namespace

bool readEtalons(const std::string& path, const std::string& variable, EtalonSet& etalons, std::string& error)
{
    EtalonSet set;
    set.path = path;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        if (!etalonsFromFolder(path, set, error))
            return false;
    } else {
        const Format format = formatOf(path);
        if (format == Format::Audio)
            return fail(error, path, "a single audio file is not an etalon set; give a folder of them (one etalon each), "
                                     "a .csv, .npy or .mat of shape (count, length)");
        NumericArray a;
        if (!readArray(path, format, variable, a, error) || !etalonsFromArray(a, set, error))
            return false;
    }
    for (const std::vector<double>& shape : set.shapes)
        if (!allFinite(shape, path, error))
            return false;
    etalons = std::move(set);
    return true;
}
