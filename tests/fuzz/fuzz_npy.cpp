// Fuzz target: the .npy parser of the recording readers. The input is the
// file. Beyond "no crash" it checks that an accepted file yields exactly as
// many values as its shape holds, and that a refused one says why.
#include "fuzz_support.h"
#include "recording/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NumericArray array;
    std::string error;
    const bool ok = parseNpy(std::string_view(reinterpret_cast<const char*>(data), size), array, error);
    if (!ok) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    size_t count = 1;
    for (size_t extent : array.shape)
        count *= extent;
    FUZZ_CHECK(array.values.size() == count);
    FUZZ_CHECK(array.shape.size() <= 8);
    return 0;
}
