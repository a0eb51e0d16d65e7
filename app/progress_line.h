// The progress line of the batch commands (`simulate`, `detect`, and rank 0
// of a run under mpirun) on standard error: redrawn in place with \r on a
// terminal, a few plain lines when standard error is a file or a pipe. The
// text is progressText's; the clock is the caller's elapsed seconds, so a
// test drives it with any times it likes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

struct ProgressLine {
    std::FILE* out = stderr;         // where the line goes
    bool terminal = false;           // out is a terminal: one line redrawn in place
    bool quiet = false;              // write nothing
    const char* unit = "trials";     // what is counted
    double shownAt = -1.0;           // elapsed seconds when last written; -1: never
    int64_t shownTenth = -1;         // tenths of the run done at the last plain line
    size_t shownLength = 0;          // characters of the line on the terminal, to blank a longer one
    bool open = false;               // a terminal line is written and not yet ended
    bool ended = false;              // the end was written: nothing more

    // A line for standard error, terminal or not as isatty says.
    static ProgressLine forStandardError(bool quiet, const char* unit);

    // Whether the progress at `elapsedSeconds` is written: on a terminal at
    // most twice a second; plain lines at most every 5 s, and then only when
    // another tenth of the run is done or a minute has passed; the end once.
    bool due(int64_t done, int64_t total, double elapsedSeconds) const;

    // Writes the progress when due (the end closes a terminal's line).
    void show(int64_t done, int64_t total, double elapsedSeconds);

    // Ends a terminal line that a stopped run left open.
    void close();
};
