// The Python module `pulsebench`: the engine's series synthesis, detectors and
// error measures and the statistical simulation for scripts and notebooks,
// with NumPy arrays in and out. Each part binds itself (streams.cpp,
// series.cpp, detect.cpp, errors.cpp, simulation.cpp, recording.cpp);
// bridge.h holds what they share.
#include "bridge.h"

PYBIND11_MODULE(pulsebench, m)
{
    m.doc() = R"doc(
Detection and recognition of pulse series in noise.

standard_alphabet() builds the etalons, make_series() a noisy test series with
its truth, the eight detectors (detect_fixed, detect_unfixed, recognize_fixed,
recognize_unfixed and their tuple forms) find the pulses, and restore(),
restoring_error(), detection_error() and recognition_error() score one trial
as the statistical simulation does, and simulate() runs that simulation as
`pulsebench simulate` does, into a Simulation. read_signal() and
read_etalons() read recordings and pulse shapes from files. Random draws
come from a Streams; the same calls on equal Streams give the same results,
bit for bit, as the program.
)doc";
    m.attr("__version__") = PULSEBENCH_VERSION;
    bindStreams(m);
    bindSeries(m);
    bindDetectors(m);
    bindErrors(m);
    bindSimulation(m);
    bindRecording(m);
}
