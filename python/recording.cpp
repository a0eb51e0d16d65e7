// Inside the Python module: recorded signals and etalons read by the engine's
// readers (audio, CSV, .npy, .mat), and the scale that brings both to the
// detectors' 16-bit samples as `pulsebench detect` chooses it. A read takes
// what reading the file takes.
#include <cmath>

#include "bridge.h"
#include "recording/recording.h"

namespace {

py::array_t<double> float64Array(const std::vector<double>& values, std::vector<py::ssize_t> shape)
{
    py::array_t<double> out(shape);
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

// Etalons in the signal's units: None, or numbers of shape (count, length).
std::vector<std::vector<double>> shapesOf(py::handle etalons)
{
    std::vector<std::vector<double>> shapes;
    if (etalons.is_none())
        return shapes;
    const auto a = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(etalons);
    if (!a || a.ndim() != 2 || a.shape(0) < 1 || a.shape(0) > kMaxEtalons || a.shape(1) < 1 || a.shape(1) > 32767)
        throw py::value_error("read_signal: etalons must be numbers of shape (count, length), 1 <= count <= 20");
    for (py::ssize_t e = 0; e < a.shape(0); e++)
        shapes.emplace_back(a.data(e, 0), a.data(e, 0) + a.shape(1));
    for (const auto& s : shapes)
        for (double v : s)
            if (!std::isfinite(v))
                throw py::value_error("read_signal: etalons hold NaN or infinity");
    return shapes;
}

double requestedScale(py::handle scale)
{
    if (py::isinstance<py::str>(scale) && scale.cast<std::string>() == "auto")
        return 0;
    const double f = py::isinstance<py::str>(scale) ? NAN : scale.cast<double>();
    if (!(f > 0) || !std::isfinite(f))
        throw py::value_error("read_signal: scale must be \"auto\" or a positive number");
    return f;
}

// What the scale did: the factor, the amplitude limit, the clipped count and
// the signal (and etalons) in 16-bit units.
py::dict scaleReport(const Signal& signal, const std::vector<std::vector<double>>& shapes, int64_t tmin, double requested)
{
    const uint16_t n = static_cast<uint16_t>(shapes.empty() ? 1 : shapes[0].size());
    checkedInt(tmin, "tmin", n, kMaxSeriesSize);
    const int32_t N = static_cast<int32_t>(std::min<size_t>(signal.samples.size(), kMaxSeriesSize));
    if (N < n)
        throw py::value_error("read_signal: the signal (" + std::to_string(N) + " samples) is shorter than an etalon");
    const int32_t amplitude = largestAmplitude(n, maxPulsesFor(N, n, static_cast<uint16_t>(tmin)));
    double etalonPeak = 0;
    for (const auto& s : shapes)
        etalonPeak = std::max(etalonPeak, peakOf(s));
    Scaling scaling;
    std::string error;
    if (!chooseScale(requested, peakOf(signal.samples), etalonPeak, amplitude, scaling, error))
        throw py::value_error("read_signal: " + error);
    std::vector<int16_t> samples, etalons;
    scaling.clipped = scaleSamples(signal.samples, scaling.factor, amplitude, samples);
    for (const auto& s : shapes) {
        std::vector<int16_t> row;
        scaleSamples(s, scaling.factor, amplitude, row);
        etalons.insert(etalons.end(), row.begin(), row.end());
    }
    py::dict report;
    report["factor"] = scaling.factor;
    report["amplitude"] = scaling.amplitude;
    report["clipped"] = scaling.clipped;
    report["samples"] = int16Array(samples.data(), samples.size());
    if (shapes.empty())
        report["etalons"] = py::none();
    else
        report["etalons"] = int16Array(etalons.data(), etalons.size()).reshape({shapes.size(), size_t(n)});
    return report;
}

py::tuple readSignalPy(const std::string& path, int64_t channel, const std::string& column,
                       const std::string& variable, std::optional<double> rate, py::object etalons,
                       std::optional<int64_t> tmin, py::object scale)
{
    if (rate && !(*rate > 0 && std::isfinite(*rate)))
        throw py::value_error("read_signal: rate must be a positive number of samples per second");
    SignalSource source{path, static_cast<int>(checkedInt(channel, "channel", 0, 65535)), column, variable,
                        rate.value_or(0)};
    const std::vector<std::vector<double>> shapes = shapesOf(etalons);
    const double requested = requestedScale(scale);
    Signal signal;
    std::string error;
    if (!readSignal(source, signal, error))
        throw py::value_error("read_signal: " + error);
    const int64_t least = shapes.empty() ? 1 : int64_t(shapes[0].size());
    py::dict report = scaleReport(signal, shapes, tmin.value_or(least), requested);
    report["rate_source"] = signal.rateFromFile ? "file" : rate ? "rate" : "default 1 Hz: time = position";
    report["channels"] = signal.channels;
    return py::make_tuple(float64Array(signal.samples, {py::ssize_t(signal.samples.size())}), signal.rate, report);
}

py::array_t<double> readEtalonsPy(const std::string& path, const std::string& variable)
{
    EtalonSet set;
    std::string error;
    if (!readEtalons(path, variable, set, error))
        throw py::value_error("read_etalons: " + error);
    std::vector<double> values;
    for (const auto& s : set.shapes)
        values.insert(values.end(), s.begin(), s.end());
    return float64Array(values, {py::ssize_t(set.shapes.size()), py::ssize_t(set.shapes[0].size())});
}

} // namespace

void bindRecording(py::module_& m)
{
    m.def("read_signal", &readSignalPy, py::arg("path"), py::arg("channel") = 0, py::kw_only(),
          py::arg("column") = "", py::arg("variable") = "", py::arg("rate") = py::none(),
          py::arg("etalons") = py::none(), py::arg("tmin") = py::none(), py::arg("scale") = "auto",
          R"doc(
Reads one channel of a recorded signal as `pulsebench detect` does: an audio
file (WAV, FLAC, AIFF, ... in the integer units of its format), a CSV column
(`column`, else the only one), a .npy of shape (samples,) or (samples,
channels), or a .mat variable (`variable`, else the only numeric one).
Returns (samples as float64 in the file's units, rate in Hz, scale report).
rate: samples per second where the file has none (default 1). The report
holds factor (16-bit units per file unit), amplitude (the largest safe
|sample| for etalons of the given length and tmin), clipped (signal samples
limited to it), samples (int16, the signal for the detectors), etalons (int16
of shape (count, length), the given etalons (from read_etalons) at the same
scale, or None), rate_source and channels. scale "auto" takes the largest
safe factor; a number is refused when it takes the etalons past the limit.
A missing or bad file, channel, column or variable: ValueError with its fault.
)doc");
    m.def("read_etalons", &readEtalonsPy, py::arg("path"), py::arg("variable") = "",
          R"doc(
Reads etalons as `pulsebench detect --etalons` does: a .csv or .npy of shape
(count, length), a .mat variable of that shape, or a folder of audio files,
one etalon each, in name order; 1 to 20 of one common length. Returns a
float64 array of shape (count, length) in the file's units; read_signal(...,
etalons=...) scales it with the signal into an int16 alphabet for the
detectors. A missing or bad file: ValueError with its fault.
)doc");
}
