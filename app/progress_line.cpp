// The batch commands' progress line: when to write it and how (in place on a
// terminal, plain lines elsewhere). Called after every trial or segment.
#include "app/progress_line.h"

#include <unistd.h>

#include "simulation/simulation.h"

ProgressLine ProgressLine::forStandardError(bool quiet, const char* unit)
{
    ProgressLine line;
    line.terminal = isatty(fileno(stderr)) != 0;
    line.quiet = quiet;
    line.unit = unit;
    return line;
}

bool ProgressLine::due(int64_t done, int64_t total, double elapsedSeconds) const
{
    if (quiet || ended)
        return false;
    if (done >= total)
        return true;
    const double since = shownAt < 0 ? 1e300 : elapsedSeconds - shownAt;
    if (terminal)
        return since >= 0.5;
    const int64_t tenth = total > 0 ? done * 10 / total : 0;
    return since >= 5.0 && (tenth > shownTenth || since >= 60.0);
}

void ProgressLine::show(int64_t done, int64_t total, double elapsedSeconds)
{
    if (!due(done, total, elapsedSeconds))
        return;
    shownAt = elapsedSeconds;
    ended = done >= total;
    shownTenth = total > 0 ? done * 10 / total : 0;
    const std::string text = progressText(done, total, elapsedSeconds, unit);
    if (terminal) {
        // blanks what a longer previous line leaves behind
        const size_t pad = shownLength > text.size() ? shownLength - text.size() : 0;
        std::fprintf(out, "\r%s%*s%s", text.c_str(), static_cast<int>(pad), "", done >= total ? "\n" : "");
        shownLength = text.size();
        open = done < total;
    } else {
        std::fprintf(out, "%s\n", text.c_str());
    }
    std::fflush(out);
}

void ProgressLine::close()
{
    if (open)
        std::fprintf(out, "\n");
    open = false;
}
