// Inside the Python module: the series restored from a detection and the
// error measures of one trial, each computed by the simulation's own function
// on a series record that holds the truth of a Series and the detected pulses
// of a Detection. A pass over the series per call.
#include <algorithm>

#include "bridge.h"
#include "simulation/simulation.h"

namespace {

Detection& detectionOf(py::handle detection)
{
    if (!py::isinstance<Detection>(detection))
        throw py::type_error("detection must be a pulsebench.Detection (from a detector)");
    return detection.cast<Detection&>();
}

Series& seriesOf(py::handle series)
{
    if (!py::isinstance<Series>(series))
        throw py::type_error("series must be a pulsebench.Series (from make_series)");
    return series.cast<Series&>();
}

// The detected pulses of `d` written over the result fields of a record view
// (pointers into `d`; the view must not outlive it).
void showDetected(SeriesFields& view, Detection& d)
{
    view.wDetectedQuantity = d.detected;
    view.lpDetectedPositions = d.positions.data();
    view.lpDetectedNumbers = d.etalons.data();
    view.lpDetectedCutBegin = d.cutBegin.data();
    view.lpDetectedCutEnd = d.cutEnd.data();
}

// A view of the series' record with the detection's pulses: what the
// simulation's record holds after the trial's detector ran.
void trialView(Series& s, Detection& d, SeriesHeader& view)
{
    if (d.length != s.h->dwSeriesSize || d.q != s.h->wImpulseSize)
        throw py::value_error("the detection (" + std::to_string(d.length) + " samples, etalons of " +
                              std::to_string(d.q) + ") is not of this series (" + std::to_string(s.h->dwSeriesSize) +
                              " samples, etalons of " + std::to_string(s.h->wImpulseSize) + ")");
    static_cast<SeriesFields&>(view) = *s.h;
    showDetected(view, d);
    view.wPulsesCapacity = static_cast<uint16_t>(std::min<size_t>(view.wPulsesCapacity, d.positions.size()));
}

py::array restore(py::handle alphabet, py::handle detection, std::optional<int64_t> length)
{
    Detection& d = detectionOf(detection);
    const std::shared_ptr<Alphabet> a = alphabetFrom(alphabet);
    if (a->length != d.q)
        throw py::value_error("restore: the alphabet's etalons have " + std::to_string(a->length) +
                              " samples, the detection's " + std::to_string(d.q));
    const int32_t N = static_cast<int32_t>(checkedInt(length.value_or(d.length), "length", 1, kMaxSeriesSize));
    std::vector<PulseHeader*> etalons;
    for (uint16_t i = 0; i < a->count; i++)
        etalons.push_back(&a->entries[i]);
    SeriesHeader view;
    view.dwSeriesSize = N;
    view.wImpulseSize = d.q;
    view.wEtalonsQuantity = a->count;
    view.lpPulsesList = etalons.data();
    showDetected(view, d);
    std::vector<int16_t> restored(static_cast<size_t>(N));
    restoreSeries(&view, restored.data());
    return int16Array(restored.data(), restored.size());
}

int32_t restoringErrorOf(py::handle series, py::handle detection)
{
    Series& s = seriesOf(series);
    SeriesHeader view;
    trialView(s, detectionOf(detection), view);
    return restoringError(&view);
}

double detectionErrorOf(py::handle series, py::handle detection)
{
    Series& s = seriesOf(series);
    Detection& d = detectionOf(detection);
    SeriesHeader view;
    trialView(s, d, view);
    return static_cast<double>(detectionErrorUnits(&view, view.wImpulseQuantity, d.sought)) / 128.0;
}

int32_t recognitionErrorOf(py::handle detection, int64_t expected)
{
    const Detection& d = detectionOf(detection);
    if (!d.recognition)
        throw py::value_error(std::string("recognition_error: ") + d.detector + " recognises nothing");
    return recognitionError(d.result, static_cast<int32_t>(checkedInt(expected, "expected", INT32_MIN, INT32_MAX)));
}

} // namespace

void bindErrors(py::module_& m)
{
    m.def("restore", &restore, py::arg("alphabet"), py::arg("detection"), py::arg("length") = py::none(), R"doc(
The series restored from the detected pulses: the kept part of each detected
pulse's etalon at its position, 0 elsewhere; int16, `length` samples (default:
the detected signal's length).
)doc");
    m.def("restoring_error", &restoringErrorOf, py::arg("series"), py::arg("detection"), R"doc(
The restoring error of one trial, as the simulation computes it: the sum over
the samples of the squared difference between the pure series and the series
restored from the detection (saturating at 2**31 - 1).
)doc");
    m.def("detection_error", &detectionErrorOf, py::arg("series"), py::arg("detection"), R"doc(
The detection error of one trial, as the simulation computes it: the squared
start errors of the first min(K, sought) pulses, summed and divided by 2 K,
rounded to 1/128 as the simulation's cells are (the value is exactly its
integer units / 128).
)doc");
    m.def("recognition_error", &recognitionErrorOf, py::arg("detection"), py::arg("expected"), R"doc(
The recognition error of one trial, as the simulation computes it: 1 when the
recogniser's result is not `expected` (the 1-based tuple the series employed,
or the etalon number), else 0.
)doc");
}
