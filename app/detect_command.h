// The command `pulsebench detect`: one detector on a recorded signal with the
// researcher's own etalons (or the built-in alphabet), the result as JSON or
// CSV. The options are parsed here, the files read, scaled and run by the
// engine's src/recording/. Used by the program's main and the tests; a run
// takes well under a second.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "recording/recording.h"

// The options of the command, each field the option of the same name.
struct DetectOptions {
    SignalSource signal;              // --signal (one file), --channel, --column, --variable, --rate
    std::string scale = "auto";       // --scale: "auto" or a positive factor (16-bit units per input unit)
    std::string etalons;              // --etalons FILE or folder
    std::string etalonVariable;       // --etalon-variable: .mat etalons, the variable; "": the only numeric one
    bool standardAlphabet = false;    // --standard-alphabet: the built-in alphabet
    std::vector<int> required;        // --required: etalon numbers; empty: every etalon
    std::string operation;            // --operation: a name of kDetectorKinds
    std::vector<int> subset;          // --subset 2,5
    std::string subsetsText;          // --subsets "1,2;3,4"
    int pulses = 0;                   // --pulses: the fixed count
    int minPulses = 0, maxPulses = 0; // --min-pulses, --max-pulses; 0: the admissible bound
    int tmin = 0, tmax = 0;           // --tmin, --tmax, samples
    int level = 100;                  // --level: saved energy level, percent
    int chains = 10;                  // --chains: best chains reported
    std::string out;                  // --out FILE.json or FILE.csv; "": JSON on standard output
    int segment = kMaxSeriesSize;     // --segment: samples per segment of a longer signal, 2 (Tmax + n) .. 32767
    std::string truth;                // --truth FILE (.csv or .json): the true pulses; "": no evaluation
    int tolerance = 0;                // --tolerance: samples a found pulse may lie from a true one, >= 0
    bool quiet = false;               // --quiet: no progress line
    std::vector<std::string> signalFiles; // --signal as given: files or folders (the command fills signal.path)
};

// Adds the subcommand "detect" to the program; its callback runs it and exits
// the program through CLI::RuntimeError when it fails.
CLI::App* addDetectCommand(CLI::App& app);

// What one run found, for the summary table of a run over several signals.
struct DetectSummary {
    int64_t samples = 0;        // samples of the signal, >= 1
    double rate = 1;            // samples per second, > 0
    size_t pulses = 0;          // pulses found
    size_t segments = 0;        // segments it was processed in; 0: one piece
    bool hasCost = false;       // a best chain was offered (one piece only)
    int32_t cost = 0;           // its cost when hasCost
    bool evaluated = false;     // --truth was given
    Evaluation evaluation;      // the comparison with it when evaluated
    std::string note;           // why nothing was found; "" when pulses were
};

// The whole command: read, check, scale, run, write. On success the JSON (or
// CSV) text is in `text` and, with --out, written there; `summary`, when
// given, gets what was found; returns 0. On any refusal `error` says why,
// nothing is written, returns 1.
int runDetect(const DetectOptions& options, std::string& text, std::string& error, DetectSummary* summary = nullptr);

// Several signals, or folders of them (every file in name order, hidden ones
// left out), in one run: `signalFiles` as given to --signal; each file's JSON
// result goes to OUT/NAME.json (NAME: the file name without its extension)
// and a table of every file to OUT/summary.csv, with --out a folder
// (created when missing). --truth, if given, is a folder holding NAME.csv or
// NAME.json for each signal. A file that fails gets its message in the table
// and the run goes on; returns 1 when any failed or nothing could be run (the
// message in `error`), else 0.
int runDetectMany(const DetectOptions& options, const std::vector<std::string>& signalFiles, std::string& error);
