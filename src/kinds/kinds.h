// The kinds of the program, each owned by one table: the series types, the
// processing kinds (task code, series class, processing type, report names,
// detector and etalon-change policy) and the chart kinds. Header-only and free
// of every other subsystem, so that synthesis, detection, simulation, display,
// shell and app all read the same rows. The codes keep their values: they are
// written into dumps and files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

/*---- Codes ----*/

enum : uint16_t {
    kTaskDetection = 1,         // one etalon, its pulses detected
    kTaskRecognition = 2,       // the one etalon of the series recognised
    kTaskJoint = 4,             // joint detection and identification
    kTaskSeriesProcessing = 64, // series processing
    kProcTuplesDetection = 36,  // processing type: tuples detection
    kProcTuplesRecognition = 40,// processing type: tuples recognition
};
enum : uint16_t {
    kSeriesFixedWhole = 1,      // fixed number of whole pulses
    kSeriesFixedCutoff = 2,     // fixed number of cut-off pulses
    kSeriesUnfixedWhole = 4,    // unfixed number of whole pulses
    kSeriesUnfixedCutoff = 8,   // unfixed number of cut-off pulses
    kSeriesTypedFixed = 16,     // typed by hand, from type 1
    kSeriesTypedUnfixed = 32,   // typed by hand, from type 4
    kSeriesFixedTuples = 36,    // fixed number of whole-pulse tuples
    kSeriesUnfixedTuples = 40,  // unfixed number of whole-pulse tuples
};

/*---- Series types ----*/

struct SeriesKind {
    uint16_t code;        // series type code (wSeriesType)
    bool unfixed;         // the pulse count is not known to the detectors
    bool cutoff;          // pulses are cut off (part of their energy lost)
    bool tuples;          // the series is made of pulse tuples
    const char* name;     // what the reports print for it; nullptr: none
};

inline constexpr SeriesKind kSeriesKinds[] = {
    {kSeriesFixedWhole, false, false, false, "known number of whole pulses"},
    {kSeriesFixedCutoff, false, true, false, "known number of cut-off pulses"},
    {kSeriesUnfixedWhole, true, false, false, "unknown number of whole pulses"},
    {kSeriesUnfixedCutoff, true, true, false, "unknown number of cut-off pulses"},
    {kSeriesTypedFixed, false, false, false, nullptr},
    {kSeriesTypedUnfixed, false, false, false, nullptr},
    {kSeriesFixedTuples, false, false, true, "known number of whole pulses tuples"},
    {kSeriesUnfixedTuples, true, false, true, "unknown number of whole pulses tuples"},
};

// The row of a series type code; nullptr for a code that is none.
constexpr const SeriesKind* seriesKindOf(uint16_t code)
{
    for (const SeriesKind& k : kSeriesKinds)
        if (k.code == code)
            return &k;
    return nullptr;
}
constexpr bool isUnfixedSeries(uint16_t code) { return seriesKindOf(code) && seriesKindOf(code)->unfixed; }
constexpr bool isCutoffSeries(uint16_t code) { return seriesKindOf(code) && seriesKindOf(code)->cutoff; }
constexpr bool isTupleSeries(uint16_t code) { return seriesKindOf(code) && seriesKindOf(code)->tuples; }
constexpr bool isWholePulseSeries(uint16_t code)
{
    return seriesKindOf(code) && seriesKindOf(code)->name && !seriesKindOf(code)->cutoff;
}

/*---- Detectors ----*/

// A detector's place in the simulation's DetectorSet; the shell and the
// simulation bind each slot to its function.
enum class DetectorSlot : uint8_t {
    DetectFixed,            // detectFixedPulses
    DetectUnfixed,          // detectUnfixedPulses
    RecognizeFixed,         // recognizeFixedPulses
    RecognizeUnfixed,       // recognizeUnfixedPulses
    DetectFixedTuples,      // detectFixedTuples
    DetectUnfixedTuples,    // detectUnfixedTuples
    RecognizeFixedTuples,   // recognizeFixedTuples
    RecognizeUnfixedTuples, // recognizeUnfixedTuples
};
inline constexpr size_t kDetectorSlots = 8;  // entries of DetectorSlot
static_assert(size_t(DetectorSlot::RecognizeUnfixedTuples) + 1 == kDetectorSlots, "one entry per slot");

// How a slot's function is called.
enum class DetectorForm : uint8_t {
    Pulses,           // PulseDetector: alphabet, required or candidate list
    Tuples,           // TupleDetector: the selected subset
    TupleRecognizer,  // TupleRecognizer: the stored subsets; returns the recognised one
};

struct DetectorKind {
    DetectorSlot slot;  // index into DetectorSet
    DetectorForm form;  // signature of the bound function
    const char* name;   // the detector's report name
    bool candidates;    // Pulses form in a simulation: takes the trial's etalon sequence (false: the required list)
    bool fixedCount;    // takes a known pulse count (false: a least and a greatest count)
    const char* operation; // its name on the command line (pulsebench detect --operation)
};

inline constexpr DetectorKind kDetectorKinds[kDetectorSlots] = {
    {DetectorSlot::DetectFixed, DetectorForm::Pulses, "detectFixedPulses", false, true, "detect-fixed"},
    {DetectorSlot::DetectUnfixed, DetectorForm::Pulses, "detectUnfixedPulses", true, false, "detect-unfixed"},
    {DetectorSlot::RecognizeFixed, DetectorForm::Pulses, "recognizeFixedPulses", true, true, "recognize-fixed"},
    {DetectorSlot::RecognizeUnfixed, DetectorForm::Pulses, "recognizeUnfixedPulses", true, false, "recognize-unfixed"},
    {DetectorSlot::DetectFixedTuples, DetectorForm::Tuples, "detectFixedTuples", true, true, "detect-fixed-tuples"},
    {DetectorSlot::DetectUnfixedTuples, DetectorForm::Tuples, "detectUnfixedTuples", true, false, "detect-unfixed-tuples"},
    {DetectorSlot::RecognizeFixedTuples, DetectorForm::TupleRecognizer, "recognizeFixedTuples", true, true, "recognize-fixed-tuples"},
    {DetectorSlot::RecognizeUnfixedTuples, DetectorForm::TupleRecognizer, "recognizeUnfixedTuples", true, false, "recognize-unfixed-tuples"},
};
constexpr const DetectorKind& detectorKindOf(DetectorSlot slot) { return kDetectorKinds[size_t(slot)]; }
// The row of a command-line operation name; nullptr for a name that is none.
constexpr const DetectorKind* detectorKindNamed(std::string_view operation)
{
    for (const DetectorKind& k : kDetectorKinds)
        if (operation == k.operation)
            return &k;
    return nullptr;
}

/*---- Processing kinds ----*/

// How the simulation changes the etalons of a series between trials.
enum class EtalonChange : uint8_t {
    None,         // the etalons stay as the cell began
    Cycle,        // every pulse moves on to the next required etalon together
    Odometer,     // the pulses count through every combination, digit 0 first
    StoredSubset, // the next stored subset is employed
};

struct ProcessingKind {
    uint16_t processingType;      // wProcessingType (the simulation's wTaskType)
    uint16_t task;                // task code chosen (wTaskType)
    bool tuples;                  // the kind runs on tuple series only
    const char* chainsName;       // task name of the chains record; nullptr: none
    const char* reportName;       // task name of the simulation's description; nullptr: none
    DetectorSlot fixedDetector;   // run on a series of known pulse count
    DetectorSlot unfixedDetector; // run on a series of unknown pulse count
    EtalonChange change;          // the simulation's etalon change between trials
    bool clearsSubset;            // a simulation cell clears the series' subset (single-pulse tasks)
};

// Codes 8, 16 and 32 are names only: no command runs them (a simulation given
// one runs the pulse detectors).
inline constexpr ProcessingKind kProcessingKinds[] = {
    {kTaskDetection, kTaskDetection, false, "detection", "detection", DetectorSlot::DetectFixed,
     DetectorSlot::DetectUnfixed, EtalonChange::None, true},
    {kTaskRecognition, kTaskRecognition, false, "recognition", "recognition", DetectorSlot::RecognizeFixed,
     DetectorSlot::RecognizeUnfixed, EtalonChange::Cycle, true},
    {kTaskJoint, kTaskJoint, false, "joint detection and identification", "joint detection and identification",
     DetectorSlot::DetectFixed, DetectorSlot::DetectUnfixed, EtalonChange::Odometer, false},
    {8, 8, false, nullptr, "joint detection and estimation", DetectorSlot::DetectFixed, DetectorSlot::DetectUnfixed,
     EtalonChange::None, false},
    {16, 16, false, nullptr, "joint detection and estimation", DetectorSlot::DetectFixed, DetectorSlot::DetectUnfixed,
     EtalonChange::None, false},
    {32, 32, false, "detection", "blind detection", DetectorSlot::DetectFixed, DetectorSlot::DetectUnfixed,
     EtalonChange::None, false},
    {kTaskSeriesProcessing, kTaskSeriesProcessing, false, nullptr, nullptr, DetectorSlot::DetectFixed,
     DetectorSlot::DetectUnfixed, EtalonChange::None, false},
    {kProcTuplesDetection, kTaskDetection, true, "detection", "detection", DetectorSlot::DetectFixedTuples,
     DetectorSlot::DetectUnfixedTuples, EtalonChange::None, false},
    {kProcTuplesRecognition, kTaskRecognition, true, "recognition", "recognition",
     DetectorSlot::RecognizeFixedTuples, DetectorSlot::RecognizeUnfixedTuples, EtalonChange::StoredSubset, false},
};

// The row of a processing type code; nullptr for a code that is none.
constexpr const ProcessingKind* processingKindOf(uint16_t processingType)
{
    for (const ProcessingKind& k : kProcessingKinds)
        if (k.processingType == processingType)
            return &k;
    return nullptr;
}

// The processing type a task runs as on a series type: the tuple row of the
// task on a tuple series, the task itself otherwise.
constexpr uint16_t processingTypeFor(uint16_t task, uint16_t seriesType)
{
    for (const ProcessingKind& k : kProcessingKinds)
        if (k.tuples && k.task == task && isTupleSeries(seriesType))
            return k.processingType;
    return task;
}

constexpr bool isTupleProcessing(uint16_t processingType)
{
    return processingKindOf(processingType) && processingKindOf(processingType)->tuples;
}
// True for the kinds that recognise one of the stored subsets.
constexpr bool isTupleRecognition(uint16_t processingType)
{
    return processingKindOf(processingType) &&
           detectorKindOf(processingKindOf(processingType)->fixedDetector).form == DetectorForm::TupleRecognizer;
}

// The detector a processing type runs on a series type. A tuple series counts
// as unfixed for the tuple kinds only; a code without a row detects pulses.
constexpr DetectorSlot detectorSlotFor(uint16_t processingType, uint16_t seriesType)
{
    const ProcessingKind* kind = processingKindOf(processingType);
    const bool unfixed = isUnfixedSeries(seriesType) && (!isTupleSeries(seriesType) || (kind && kind->tuples));
    if (!kind)
        return unfixed ? DetectorSlot::DetectUnfixed : DetectorSlot::DetectFixed;
    return unfixed ? kind->unfixedDetector : kind->fixedDetector;
}

/*---- Chart kinds ----*/

// The error table a chart reads.
enum class ChartTable : uint8_t {
    Restoring,    // restoring error
    Detection,    // detection error
    Recognition,  // recognition error
};

struct ChartKind {
    int32_t kind;        // wChartKind, 0..5, 12, 13
    const char* title;   // title line of the chart
    ChartTable table;    // the error table drawn
    bool aggregate;      // one aggregate curve (false: one curve per pulse count)
    int strokes;         // stroke width of the curves, pixels
    bool bounds;         // the upper and lower analytic bounds are drawn
};

inline constexpr ChartKind kChartKinds[] = {
    {0, " restored error, componentwise case", ChartTable::Restoring, false, 2, false},
    {1, " restored error, agregate form", ChartTable::Restoring, true, 2, false},
    {2, " detection error, componentwise case", ChartTable::Detection, false, 3, false},
    {3, " detection error, agregate form", ChartTable::Detection, true, 2, false},
    {4, " recognition error, componentwise case", ChartTable::Recognition, false, 3, false},
    {5, " recognition error, agregate form", ChartTable::Recognition, true, 3, false},
    {12, " recognition error, componentwise case", ChartTable::Recognition, false, 3, true},
    {13, " recognition error, agregate form", ChartTable::Recognition, true, 3, true},
};

// The row of a chart kind; nullptr for a kind that is none.
constexpr const ChartKind* chartKindOf(int32_t kind)
{
    for (const ChartKind& k : kChartKinds)
        if (k.kind == kind)
            return &k;
    return nullptr;
}

// The chart kind shown for an error kind (1 restoring, 2 detection, 3
// recognition), the view (2: aggregate) and the bounds flag (recognition only).
constexpr int32_t chartKindFor(int32_t errorKind, int32_t statView, int32_t boundsIncluded)
{
    const ChartTable table = errorKind == 2 ? ChartTable::Detection
                             : errorKind == 3 ? ChartTable::Recognition : ChartTable::Restoring;
    const bool aggregate = statView == 2, bounds = table == ChartTable::Recognition && boundsIncluded;
    for (const ChartKind& k : kChartKinds)
        if (k.table == table && k.aggregate == aggregate && k.bounds == bounds)
            return k.kind;
    return 0;
}
