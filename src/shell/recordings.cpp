// Recordings in the window: the etalons and the signal a person opens (kept in
// their file units until both are scaled together), the series record made
// from them, and a series loaded from a file. The current series then stands
// in for one that Next would build, and the processing commands run the
// chosen operation on it. One open takes a file read and a copy of at most
// 32767 samples; runs on the window's thread only.
#include <algorithm>
#include <cstdlib>

#include <fstream>
#include <sstream>

#include "records/records.h"
#include "detection/detection.h"
#include "platform/files.h"
#include "recording/recording.h"
#include "shell/shell.h"

namespace {

// What was opened. Written by the open commands, read by processing and the painter.
struct RecordingStore {
    EtalonSet raw;                               // the etalons as read; no shapes: the window's alphabet
    Signal signal;                               // the signal as read; no samples: none opened
    PulseHeader etalons[kAlphabetCapacity];      // the scaled etalons the current series points at
    uint16_t count = 0;                          // etalons in use in `etalons`, 0..20; 0: the window's alphabet
    int64_t first = 0;                           // the signal sample the series starts at, 0..samples - 1
};

RecordingStore gRecording;

bool refuse(std::string& error, const std::string& why)
{
    error = why;
    return false;
}

// The pulse length of what the signal is matched with.
uint16_t etalonLength()
{
    return gRecording.raw.shapes.empty() ? gState.wImpulseSize
                                         : static_cast<uint16_t>(gRecording.raw.shapes[0].size());
}

// The opened etalons and the stretch of the signal from `first` on (at most
// one series) scaled by one factor into the 16-bit samples (see recording.h);
// without opened etalons the signal is scaled to the window's alphabet. The
// factor follows the whole signal's peak, so every stretch has the same.
bool scaleRecording(const Signal& signal, int64_t first, std::vector<int16_t>& samples, std::string& error)
{
    const ProgramState& s = gState;
    const uint16_t n = etalonLength();
    const int64_t total = static_cast<int64_t>(signal.samples.size());
    if (first < 0 || first >= total)
        return refuse(error, signal.path + ": the first sample " + std::to_string(first) + " is not in the signal (0.." +
                                 std::to_string(total - 1) + ")");
    const int32_t N = static_cast<int32_t>(std::min<int64_t>(total - first, kMaxSeriesSize));
    const std::vector<double> stretch(signal.samples.begin() + first, signal.samples.begin() + first + N);
    if (n > s.wTmin || n > N)
        return refuse(error, "the etalons are " + std::to_string(n) + " samples long: Tmin (" +
                                 std::to_string(s.wTmin) + ") and the signal must be at least that");
    // The bound for the longest stretch, so that every stretch has the same scale.
    const int32_t longest = static_cast<int32_t>(std::min<int64_t>(total, kMaxSeriesSize));
    const int32_t amplitude = largestAmplitude(n, maxPulsesFor(longest, n, s.wTmin));
    Scaling scaling;
    const double signalPeak = peakOf(signal.samples);
    if (gRecording.raw.shapes.empty()) {
        double peak = 0;
        for (int i = 0; i < s.wAlphabetSize; i++)
            for (int k = 0; k < s.Alphabet[i].wLength; k++)
                peak = std::max(peak, std::abs(static_cast<double>(s.Alphabet[i].lpData[k])));
        if (!chooseScale(signalPeak > 0 ? peak / signalPeak : 0, signalPeak, 0, amplitude, scaling, error))
            return false;
        scaleSamples(stretch, scaling.factor, amplitude, samples);
        gRecording.count = 0;
        return true;
    }
    double etalonPeak = 0;
    for (const auto& shape : gRecording.raw.shapes)
        etalonPeak = std::max(etalonPeak, peakOf(shape));
    if (!chooseScale(0, signalPeak, etalonPeak, amplitude, scaling, error))
        return false;
    gRecording.count = static_cast<uint16_t>(gRecording.raw.shapes.size());
    for (uint16_t e = 0; e < gRecording.count; e++) {
        std::vector<int16_t> values;
        scaleSamples(gRecording.raw.shapes[e], scaling.factor, amplitude, values);
        setEtalon(gRecording.etalons[e], static_cast<uint16_t>(e + 1), values.data(),
                  static_cast<uint16_t>(values.size()));
    }
    scaleSamples(stretch, scaling.factor, amplitude, samples);
    return true;
}

// The etalons the current recording is matched with and their count.
PulseHeader* recordingAlphabet(uint16_t& count)
{
    ProgramState& s = gState;
    count = gRecording.count ? gRecording.count : s.wAlphabetSize;
    return gRecording.count ? gRecording.etalons : s.Alphabet;
}

// The opened signal, from sample `first` on, as the current series (the
// signal kept for a later rescale or another stretch).
bool showSignal(HWND hWnd, int64_t first, std::string& error)
{
    std::vector<int16_t> samples;
    if (!scaleRecording(gRecording.signal, first, samples, error))
        return false;
    gRecording.first = first;
    uint16_t count = 0;
    PulseHeader* etalons = recordingAlphabet(count);
    const ProgramState& s = gState;
    const int32_t N = static_cast<int32_t>(samples.size());
    SeriesHeader* h = getSignalSeriesHeader(hWnd, etalons, count, etalonLength(), s.wTmin, s.wTmax, samples.data(),
                                            N, nullptr);
    if (!h)
        return refuse(error, "the series for " + gRecording.signal.path + " could not be made");
    int32_t peak = 1;  // the view's vertical scale: the greatest |sample|
    for (int16_t v : samples)
        peak = std::max(peak, std::abs(static_cast<int32_t>(v)));
    h->wSeriesAmplitude = static_cast<int16_t>(std::min(peak, 32767));
    h->lpFirstEtalon = &etalons[0];
    installSeries(hWnd, h, true);
    gState.dwStretchFirst = first;
    gState.dwSignalSamples = static_cast<int64_t>(gRecording.signal.samples.size());
    return true;
}

} // namespace

bool recordingActive()
{
    return gState.bSeriesOpened != 0;
}

void endRecording()
{
    if (!gState.bSeriesOpened)
        return;
    gState.bSeriesOpened = 0;
    gState.bRecordingShown = 0;
    gState.dwStretchFirst = gState.dwSignalSamples = 0;
    gState.bSeriesLengthChanged = gState.bNoiseLevelChanged = gState.bLostDataLevelChanged = 1;  // active again
    freeSeriesHeader(gState.lpSeriesHeader);  // made for other etalons: Next builds a fresh one
    gState.lpSeriesHeader = nullptr;
}

void forgetRecordings()
{
    gRecording.raw = EtalonSet();
    gRecording.signal = Signal();
    gRecording.count = 0;
    gRecording.first = 0;
    gState.bSeriesOpened = 0;
}

PulseHeader* storeSeriesEtalons(const std::vector<std::vector<int16_t>>& shapes, uint16_t& count)
{
    gRecording.count = 0;
    if (shapes.empty())
        return recordingAlphabet(count);
    for (size_t e = 0; e < shapes.size() && e < kAlphabetCapacity; e++)
        setEtalon(gRecording.etalons[e], static_cast<uint16_t>(e + 1), shapes[e].data(),
                  static_cast<uint16_t>(shapes[e].size()));
    gRecording.count = count = static_cast<uint16_t>(std::min<size_t>(shapes.size(), kAlphabetCapacity));
    return gRecording.etalons;
}

void installSeries(HWND hWnd, SeriesHeader* series, bool recording)
{
    ProgramState& s = gState;
    freeSeriesHeader(s.lpSeriesHeader);
    s.lpSeriesHeader = series;
    s.bSeriesOpened = 1;
    s.bRecordingShown = recording ? 1 : 0;
    s.dwSeriesLength = static_cast<uint32_t>(series->dwSeriesSize);
    s.wTmin = series->wTmin;
    s.wTmax = series->wTmax;
    s.wMinPulses = series->wMinPulses;
    s.wMaxPulses = series->wMaxPulses;
    s.wImpulseQuantity = series->wImpulseQuantity;
    s.wViewMode = kViewResults;
    s.wResultsMode = 1;
    s.dwFirstShownSample = 0;
    s.dwStretchFirst = 0;
    s.dwSignalSamples = 0;  // a recording sets both after
    InvalidateRect(hWnd, nullptr, 1);  // the series and the choice panels, inactive or active again
}

bool turnRecordingPage(HWND hWnd, int key)
{
    enum : int { kPageUp = 0x21, kPageDown = 0x22, kEnd = 0x23, kHome = 0x24 };  // virtual key codes
    ProgramState& s = gState;
    if (!s.bRecordingShown || !s.lpSeriesHeader || s.wViewMode != kViewResults || s.wResultsMode != 1)
        return false;
    const int32_t last = std::max(0, s.lpSeriesHeader->dwSeriesSize - kRecordingPageSamples);
    const int32_t step = kRecordingPageSamples - s.lpSeriesHeader->wImpulseSize;  // a pulse on an edge shows whole on one page
    int32_t first = s.dwFirstShownSample;
    switch (key) {
    case kPageUp: first -= step; break;
    case kPageDown: first += step; break;
    case kHome: first = 0; break;
    case kEnd: first = last; break;
    default: return false;
    }
    s.dwFirstShownSample = std::clamp(first, 0, last);
    invalidateSeriesArea(hWnd, 1);
    return true;
}

bool openEtalonsFile(HWND hWnd, const std::string& path, std::string& error)
{
    EtalonSet set;
    if (!readEtalons(path, "", set, error))
        return false;
    EtalonSet previous = std::move(gRecording.raw);
    gRecording.raw = std::move(set);
    if (gRecording.signal.samples.empty() || showSignal(hWnd, gRecording.first, error))
        return true;
    gRecording.raw = std::move(previous);  // the signal does not go with them: both stay as they were
    return false;
}

bool openSignalFile(HWND hWnd, const SignalSource& source, int64_t first, std::string& error)
{
    Signal signal;
    if (!readSignal(source, signal, error))
        return false;
    Signal previous = std::move(gRecording.signal);
    const int64_t previousFirst = gRecording.first;
    gRecording.signal = std::move(signal);
    if (showSignal(hWnd, first, error))
        return true;
    gRecording.signal = std::move(previous);
    gRecording.first = previousFirst;
    return false;
}

bool prepareRecordingRun(HWND hWnd)
{
    ProgramState& s = gState;
    SeriesHeader* h = s.lpSeriesHeader;
    s.wProcessingType = processingTypeFor(s.wTaskType, s.wSeriesType);
    if (!s.bRecordingShown)
        return true;  // a loaded series keeps its own pulse count
    if (h->wMinPulses > h->wMaxPulses) {
        MessageBoxA(hWnd, "No pulse count fits this recording with the chosen Tmin and Tmax.", " Processing ", MB_OK);
        return false;
    }
    const uint16_t asked = s.wNextImpulseQuantity;  // the count a fixed-count operation looks for
    if (detectorKindOf(detectorSlotFor(s.wProcessingType, s.wSeriesType)).fixedCount)
        setSignalPulseCount(h, std::clamp(asked, h->wMinPulses, h->wMaxPulses));
    else
        h->wImpulseQuantity = 0;  // no truth: the unfixed operations find the count
    s.wImpulseQuantity = h->wImpulseQuantity;
    return true;
}

PulseHeader* processingAlphabet(uint16_t& count, std::vector<uint16_t>& list)
{
    ProgramState& s = gState;
    if (!s.bSeriesOpened || gRecording.count == 0) {
        count = s.wRequiredQuantity;
        if (s.lpRequiredList)
            list.assign(s.lpRequiredList, s.lpRequiredList + s.wRequiredQuantity);
        return s.Alphabet;
    }
    count = gRecording.count;
    list.clear();
    for (uint16_t e = 1; e <= count; e++)
        list.push_back(e);
    return gRecording.etalons;
}

namespace {

// The first etalon number of the selected subset (or of the stored ones, for
// recognition) above `count`; 0 when every one fits.
int32_t etalonBeyond(uint16_t count)
{
    const ProgramState& s = gState;
    for (int32_t i = 0; s.selectedSubset && i < s.wSelectedSubsetLength; i++)
        if (s.selectedSubset[i] > count)
            return s.selectedSubset[i];
    if (!isTupleRecognition(s.wProcessingType))
        return 0;
    std::vector<const int32_t*> rows = subsetRows();
    for (int32_t k = 0; k < s.wReservedSubsetsUsed && rows[k]; k++)
        for (int32_t i = 0; i < s.selectedSubsetArraySize[k]; i++)
            if (rows[k][i] > count)
                return rows[k][i];
    return 0;
}

} // namespace

PulseHeader* tupleAlphabet(HWND hWnd, uint16_t& count, bool& subsetsFit)
{
    ProgramState& s = gState;
    PulseHeader* etalons = s.Alphabet;
    count = s.wAlphabetSize;
    if (s.bSeriesOpened)
        etalons = recordingAlphabet(count);
    const int32_t beyond = etalonBeyond(count);
    subsetsFit = beyond == 0;
    if (!subsetsFit) {
        const std::string text = "The subset holds etalon " + std::to_string(beyond) + ", but the series has " +
                                 std::to_string(count) + " etalons: choose the subset from etalons 1 to " +
                                 std::to_string(count) + ".";
        MessageBoxA(hWnd, text.c_str(), " Processing ", MB_OK | MB_ICONWARNING);
    }
    return etalons;
}

bool loadSeriesFile(HWND hWnd, const std::string& path, std::string& error)
{
    constexpr std::streamoff kLargest = 64 << 20;  // a dump of 32767 samples is well under 1 MB
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() < 0 || in.tellg() > kLargest) {
        error = path + (in ? ": larger than 64 MB, not a series" : ": cannot be read");
        return false;
    }
    in.seekg(0);
    std::ostringstream text;
    text << in.rdbuf();
    const ProgramState& s = gState;
    LoadedSeries loaded;
    if (!parseSeriesJson(text.str(), s.wAlphabetSize, s.wImpulseSize, loaded, error)) {
        error = path + ": " + error;
        return false;
    }
    uint16_t count = 0;
    PulseHeader* etalons = storeSeriesEtalons(loaded.shapes, count);
    SeriesHeader* series = makeLoadedSeries(hWnd, loaded, etalons, count, error);
    if (!series) {
        error = path + ": " + error;
        return false;
    }
    installSeries(hWnd, series, false);
    return true;
}

void saveSeriesAs(HWND hWnd)
{
    const SeriesHeader* h = gState.lpSeriesHeader;
    if (!h) {
        MessageBoxA(hWnd, "There is no series to save.", " Save series ", MB_OK | MB_ICONWARNING);
        return;
    }
    char name[4096] = {};
    if (!chooseSaveFileName(hWnd, "JSON Files (*.json)\0*.json\0", "Series File Name", "json", name, sizeof name))
        return;
    nlohmann::ordered_json j = seriesHeaderJson(h);
    nlohmann::ordered_json shapes = nlohmann::ordered_json::array();  // the etalons the series points at
    for (uint16_t e = 0; h->lpPulsesList && e < h->wEtalonsQuantity && h->lpPulsesList[e]; e++)
        shapes.push_back(jsonArray(h->lpPulsesList[e]->lpData.get(), h->lpPulsesList[e]->wLength));
    j["etalons"] = shapes;
    std::string error;
    if (!writeFileAtomically(name, withFormatVersion(j).dump(2) + "\n", &error))
        MessageBoxA(hWnd, error.c_str(), " Save series ", MB_OK | MB_ICONWARNING);
}
