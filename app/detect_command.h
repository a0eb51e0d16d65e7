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
    SignalSource signal;              // --signal, --channel, --column, --variable, --rate
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
};

// Adds the subcommand "detect" to the program; its callback runs it and exits
// the program through CLI::RuntimeError when it fails.
CLI::App* addDetectCommand(CLI::App& app);

// The whole command: read, check, scale, run, write. On success the JSON (or
// CSV) text is in `text` and, with --out, written there; returns 0. On any
// refusal `error` says why, nothing is written, returns 1.
int runDetect(const DetectOptions& options, std::string& text, std::string& error);
