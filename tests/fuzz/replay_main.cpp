// The fuzz targets as ordinary test programs: feeds every file named on the
// command line, or every file of a folder named there (in name order), to the
// target's LLVMFuzzerTestOneInput, one input each. The CTest cases run the
// seed corpus and the regression corpus of each target this way, so every
// input that once found a fault is tried again by every test run.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "fuzz_support.h"

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; i++) {
        std::error_code failed;
        if (fs::is_directory(argv[i], failed)) {
            std::vector<fs::path> files;
            for (const fs::directory_entry& e : fs::directory_iterator(argv[i], failed))
                if (e.is_regular_file())
                    files.push_back(e.path());
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else if (fs::is_regular_file(argv[i], failed)) {
            inputs.emplace_back(argv[i]);
        } else {
            std::cerr << argv[i] << ": no such file or folder\n";
            return 2;
        }
    }
    if (inputs.empty()) {
        std::cerr << "no inputs: name files or folders of inputs\n";
        return 2;
    }
    for (const fs::path& input : inputs) {
        std::cout << input.string() << std::endl;  // before the run: a fault's report follows its input's name
        std::ifstream in(input, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        static const uint8_t none = 0;  // an empty input still has an address, as under libFuzzer
        LLVMFuzzerTestOneInput(bytes.empty() ? &none : reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::cout << inputs.size() << " inputs ran\n";
    return 0;
}
