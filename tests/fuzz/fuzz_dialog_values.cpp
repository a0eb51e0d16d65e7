// Fuzz target: the texts typed into dialog fields and the --subsets text. The
// first bytes choose a list length and some numbers, the rest is the text,
// cut to the 99 characters a field holds. Beyond "no crash" it checks what
// the dialogs rely on: a list never yields more entries than asked and the
// missing ones read 0; a list or a bound the dialog shows reads back as shown;
// a subsets text that was accepted reads back the same when written out again.
#include <cfloat>
#include <cmath>
#include <vector>

#include "app/simulate_command.h"
#include "fuzz_support.h"
#include "shell/shell.h"

namespace {

constexpr size_t kFieldChars = 99;  // what a dialog field hands back (controlText)

// Entries readNumberList finds in `text`: a start before the end, then one
// more after every ',' or ' ' that is not the last character.
int entriesIn(const std::string& text)
{
    if (text.empty())
        return 0;
    int n = 1;
    for (size_t i = 0; i + 1 < text.size(); i++)
        n += text[i] == ',' || text[i] == ' ';
    return n;
}

void checkNumberList(const std::string& text, int count)
{
    std::vector<int64_t> values(static_cast<size_t>(count) + 1, -1);
    const int present = readNumberList(text, values.data(), count);
    FUZZ_CHECK(present == std::min(count, entriesIn(text)));
    for (int i = present; i < count; i++)
        FUZZ_CHECK(values[i] == 0);
    FUZZ_CHECK(values[count] == -1);  // nothing written past the list
}

// A list the dialog shows (formatNumberList) reads back entry for entry.
void checkListRoundTrip(FuzzInput& in)
{
    std::vector<uint16_t> shown(in.take<uint8_t>() % 16);
    for (uint16_t& v : shown)
        v = in.take<uint16_t>();
    const std::string text = formatNumberList(shown.data(), static_cast<int>(shown.size()));
    std::vector<int64_t> read(shown.size() + 1);
    FUZZ_CHECK(readNumberList(text, read.data(), static_cast<int>(shown.size())) == static_cast<int>(shown.size()));
    for (size_t i = 0; i < shown.size(); i++)
        FUZZ_CHECK(read[i] == shown[i]);
}

// A bound the Show dialog accepted is shown again with five digits; OK on
// the unchanged field must accept it again.
void checkUpperBound(const std::string& text)
{
    double bound = 0;
    if (!readUpperBound(text, bound))
        return;
    FUZZ_CHECK(bound > 0 && std::isfinite(bound));
    double again = 0;
    FUZZ_CHECK(readUpperBound(formatUpperBound(bound), again));
    if (bound >= DBL_MIN)  // normal numbers keep their five digits
        FUZZ_CHECK(std::fabs(again - bound) <= bound * 1e-4);
}

void checkSubsets(const std::string& text)
{
    std::vector<std::vector<int32_t>> tuples;
    if (!parseSubsets(text, tuples))
        return;
    FUZZ_CHECK(!tuples.empty());
    std::string written;
    for (const std::vector<int32_t>& t : tuples) {
        FUZZ_CHECK(!t.empty());
        if (!written.empty())
            written += ";";
        for (size_t i = 0; i < t.size(); i++)
            written += (i ? "," : "") + std::to_string(t[i]);
    }
    std::vector<std::vector<int32_t>> again;
    FUZZ_CHECK(parseSubsets(written, again) && again == tuples);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int count = in.take<uint8_t>();
    const int64_t number = in.take<int64_t>();
    checkListRoundTrip(in);
    const std::string whole = in.rest();
    const std::string field = whole.substr(0, std::min(whole.find('\0'), kFieldChars));

    checkNumberList(field, count);
    FUZZ_CHECK(readNumberText(std::to_string(number)) == number);
    (void)readNumberText(field);
    checkUpperBound(field);
    checkSubsets(whole);  // a command-line value: not cut to a field's length
    return 0;
}
