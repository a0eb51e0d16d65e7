// Fuzz target: the CSV parser of the recording readers. The input is the
// text. Beyond "no crash" it checks that an accepted table is rows x columns
// values with at least one row, that a header has one name per column, and
// that a refused text says why.
#include "fuzz_support.h"
#include "recording/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NumericArray table;
    std::string error;
    const bool ok = parseCsv(std::string_view(reinterpret_cast<const char*>(data), size), table, error);
    if (!ok) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(table.shape.size() == 2 && table.shape[0] >= 1 && table.shape[1] >= 1);
    FUZZ_CHECK(table.values.size() == table.shape[0] * table.shape[1]);
    FUZZ_CHECK(table.columns.empty() || table.columns.size() == table.shape[1]);
    return 0;
}
