// The readers of recorded signals and etalons: the .npy parser against files
// NumPy itself writes (every element type, both byte orders, both memory
// orders), the other formats read back what was written, and one table of
// bad files, each with the message that names the file and the fault.
#include <cmath>
#include <cstdlib>
#include <fstream>

#include <matio.h>
#include <nlohmann/json.hpp>
#include <sndfile.h>

#include "app/detect_command.h"
#include "recording/recording.h"
#include "support/folder.h"

namespace {

namespace fs = std::filesystem;
const char* const kNumPy = "/usr/bin/python3";

void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

bool haveNumPy()
{
    return std::system((std::string(kNumPy) + " -c 'import numpy' 2>/dev/null").c_str()) == 0;
}

// A mono or multi-channel audio file of the given frames (row-major).
void writeAudio(const fs::path& path, int rate, int channels, const std::vector<short>& frames, int format)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_writef_short(f, frames.data(), sf_count_t(frames.size() / size_t(channels)));
    sf_close(f);
}

// A .mat file (v5) with double matrices given row-major.
void writeMat(const fs::path& path, const std::vector<std::pair<std::string, std::vector<std::vector<double>>>>& vars)
{
    mat_t* mat = Mat_CreateVer(path.c_str(), nullptr, MAT_FT_MAT5);
    ASSERT_NE(mat, nullptr);
    for (const auto& [name, rows] : vars) {
        size_t dims[2] = {rows.size(), rows[0].size()};
        std::vector<double> column(dims[0] * dims[1]);
        for (size_t r = 0; r < dims[0]; r++)
            for (size_t c = 0; c < dims[1]; c++)
                column[c * dims[0] + r] = rows[r][c];
        matvar_t* v = Mat_VarCreate(name.c_str(), MAT_C_DOUBLE, MAT_T_DOUBLE, 2, dims, column.data(), 0);
        Mat_VarWrite(mat, v, MAT_COMPRESSION_NONE);
        Mat_VarFree(v);
    }
    Mat_Close(mat);
}

} // namespace

TEST(Npy, ReadsWhatNumPyWritesForEveryElementTypeByteOrderAndMemoryOrder)
{
    if (!haveNumPy())
        GTEST_SKIP() << "no NumPy at " << kNumPy;
    const fs::path folder = freshTestFolder("npy");
    // Each dtype's extremes and a few values, as a 2x3 (C and Fortran order)
    // and 1-D array; the expected values go beside them as JSON text.
    const std::string script = R"(
import numpy as np, json, sys
out = sys.argv[1]; cases = []
for kind in ['i1','i2','i4','i8','u1','u2','u4','u8','f4','f8']:
    for order in ['<','>']:
        dt = np.dtype(order + kind)
        info = np.iinfo(dt) if kind[0] in 'iu' else np.finfo(dt)
        vals = [info.min, info.max, 0, 1, 7, info.max // 3 if kind[0] in 'iu' else 0.1]
        a = np.array(vals, dtype=dt).reshape(2, 3)
        for fortran in [False, True]:
            name = '%s%s-%d' % ('big' if order == '>' else 'little', kind, fortran)
            b = np.asfortranarray(a) if fortran else np.ascontiguousarray(a)
            np.save(out + '/' + name + '.npy', b)
            cases.append({'file': name + '.npy', 'shape': [2, 3], 'values': [repr(float(v)) for v in a.astype('f8').ravel()]})
        np.save(out + '/' + kind + order.replace('<','l').replace('>','b') + '-1d.npy', a.ravel())
        cases.append({'file': kind + order.replace('<','l').replace('>','b') + '-1d.npy', 'shape': [6], 'values': [repr(float(v)) for v in a.astype('f8').ravel()]})
json.dump(cases, open(out + '/cases.json', 'w'))
)";
    writeText(folder / "make.py", script);
    ASSERT_EQ(std::system((std::string(kNumPy) + " " + (folder / "make.py").string() + " " + folder.string()).c_str()), 0);
    std::ifstream in(folder / "cases.json");
    const nlohmann::json cases = nlohmann::json::parse(in);
    ASSERT_EQ(cases.size(), 60u);
    for (const auto& c : cases) {
        std::ifstream file(folder / c["file"].get<std::string>(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        NumericArray a;
        std::string error;
        ASSERT_TRUE(parseNpy(bytes, a, error)) << c["file"] << ": " << error;
        EXPECT_EQ(a.shape, c["shape"].get<std::vector<size_t>>()) << c["file"];
        ASSERT_EQ(a.values.size(), 6u);
        for (size_t k = 0; k < 6; k++)
            EXPECT_EQ(a.values[k], std::strtod(c["values"][k].get<std::string>().c_str(), nullptr))
                << c["file"] << " value " << k;
    }
}

TEST(Signals, EveryFormatReadsTheChannelAndTheRateItHolds)
{
    const fs::path folder = freshTestFolder("signals");
    writeAudio(folder / "s.wav", 8000, 2, {1, -1, 2, -2, 3, -3}, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    writeAudio(folder / "s.flac", 11025, 1, {5, 6, 7}, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    writeAudio(folder / "s.aiff", 16000, 1, {-32768, 32767}, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    writeText(folder / "s.csv", "t,x\n0,1.5\n1,-2\n");
    writeText(folder / "one.csv", "4\n5\n");
    writeMat(folder / "s.mat", {{"x", {{1, 10}, {2, 20}, {3, 30}}}});
    struct Case {
        SignalSource source;
        std::vector<double> samples;
        double rate;
        bool fromFile;
    } cases[] = {
        {{(folder / "s.wav").string(), 1, "", "", 0}, {-1, -2, -3}, 8000, true},
        {{(folder / "s.flac").string(), 0, "", "", 0}, {5, 6, 7}, 11025, true},
        {{(folder / "s.aiff").string(), 0, "", "", 0}, {-32768, 32767}, 16000, true},
        {{(folder / "s.csv").string(), 0, "x", "", 0}, {1.5, -2}, 1, false},
        {{(folder / "one.csv").string(), 0, "", "", 250}, {4, 5}, 250, false},
        {{(folder / "s.mat").string(), 1, "", "", 0}, {10, 20, 30}, 1, false},
    };
    for (const Case& c : cases) {
        Signal s;
        std::string error;
        ASSERT_TRUE(readSignal(c.source, s, error)) << error;
        EXPECT_EQ(s.samples, c.samples) << c.source.path;
        EXPECT_EQ(s.rate, c.rate) << c.source.path;
        EXPECT_EQ(s.rateFromFile, c.fromFile) << c.source.path;
    }
}

// Each class of bad input through the whole command: refused with a message
// that names what is wrong, exit code 1, and nothing written under --out.
TEST(BadFiles, EachClassIsRefusedWithItsMessageAndNothingIsWritten)
{
    const fs::path f = freshTestFolder("badfiles");
    auto path = [&](const char* name) { return (f / name).string(); };
    writeText(f / "good.csv", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n");
    writeText(f / "etalons.csv", "1,2\n3,4\n");
    writeText(f / "empty.csv", "");
    writeText(f / "words.csv", "1\n2\nabc\n");
    writeText(f / "nan.csv", "1\nnan\n");
    writeText(f / "inf.csv", "1\n-inf\n");
    writeText(f / "two.csv", "1,2\n3,4\n");
    writeText(f / "ragged.csv", "1,2\n3\n");
    std::string many;
    for (int e = 0; e < 21; e++)
        many += "1,2\n";
    writeText(f / "many.csv", many);
    const std::string header = "{'descr': '<i2', 'fortran_order': False, 'shape': (1, 1, 1), }\n";
    writeText(f / "cube.npy", std::string("\x93NUMPY\x01\x00", 8) + char(header.size()) + std::string(1, '\0') + header +
                                  std::string(2, '\0'));
    writeText(f / "text.wav", "not audio at all");
    fs::create_directories(f / "mixed");
    writeAudio(f / "mixed" / "a.wav", 8000, 1, {1, 2}, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    writeAudio(f / "mixed" / "b.wav", 8000, 1, {1, 2, 3}, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    fs::create_directories(f / "rates");
    writeAudio(f / "rates" / "a.wav", 16000, 1, {1, 2}, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    writeAudio(f / "sig.wav", 8000, 1, std::vector<short>(100, 3), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::string longSignal;
    for (int i = 0; i < 40000; i++)
        longSignal += "1\n";
    writeText(f / "long.csv", longSignal);

    struct Case {
        std::string signal, etalons, extra;  // extra: "scale=F", "tmin=N", "channel=N", "pulses=K" (detect-fixed) or ""
        std::string message;                 // part of the expected message
    } cases[] = {
        {path("missing.csv"), path("etalons.csv"), "", "missing.csv: no such file"},
        {path("good.csv"), path("absent.npy"), "", "absent.npy: no such file"},
        {path("empty.csv"), path("etalons.csv"), "", "empty.csv: is empty"},
        {path("words.csv"), path("etalons.csv"), "", "words.csv: line 3, column 1: \"abc\" is not a number"},
        {path("nan.csv"), path("etalons.csv"), "", "nan.csv: value 2 is NaN"},
        {path("inf.csv"), path("etalons.csv"), "", "inf.csv: value 2 is infinite"},
        {path("two.csv"), path("etalons.csv"), "", "two.csv: has 2 columns; name one with --column"},
        {path("good.csv"), path("ragged.csv"), "", "ragged.csv: line 2 has 1 fields, the first row 2"},
        {path("good.csv"), path("many.csv"), "", "many.csv: holds 21 etalons; 1..20 are taken"},
        {path("good.csv"), path("cube.npy"), "", "cube.npy: has 3 axes; etalons are (count, length)"},
        {path("text.wav"), path("etalons.csv"), "", "text.wav: not a readable audio file"},
        {path("sig.wav"), path("mixed"), "", "b.wav: is 3 samples long, the etalons before it 2"},
        {path("sig.wav"), path("rates"), "", "sampled at 16000 Hz, the signal at 8000 Hz"},
        {path("sig.wav"), path("etalons.csv"), "channel=1", "sig.wav: has 1 channels (0..0); channel 1 does not exist"},
        {path("good.csv"), path("etalons.csv"), "tmin=1", "the etalons are 2 samples long; --tmin 1"},
        {path("good.csv"), path("etalons.csv"), "scale=1e9", "--scale 1e+09 is above the limit"},
        {path("long.csv"), path("etalons.csv"), "pulses=5000", "the fixed-count operations need the whole signal as one series: use detect-unfixed"},
    };
    for (const Case& c : cases) {
        DetectOptions o;
        o.signal.path = c.signal;
        o.etalons = c.etalons;
        o.operation = "detect-unfixed";
        o.tmin = 3;
        o.tmax = 5;
        o.out = path("result.json");
        if (c.extra.rfind("scale=", 0) == 0)
            o.scale = c.extra.substr(6);
        if (c.extra.rfind("tmin=", 0) == 0)
            o.tmin = std::stoi(c.extra.substr(5));
        if (c.extra.rfind("channel=", 0) == 0)
            o.signal.channel = std::stoi(c.extra.substr(8));
        if (c.extra.rfind("pulses=", 0) == 0)
            o.operation = "detect-fixed", o.pulses = std::stoi(c.extra.substr(7));
        std::string text, error;
        EXPECT_EQ(runDetect(o, text, error), 1) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "expected \"" << c.message << "\" in \"" << error << "\"";
        EXPECT_FALSE(fs::exists(o.out)) << c.message;
    }
    // A rate of 0 never reaches the reader: the option refuses it.
    CLI::App app;
    addDetectCommand(app);
    EXPECT_THROW(app.parse("detect --rate 0 --signal " + path("good.csv") + " --etalons " + path("etalons.csv") +
                               " --operation detect-unfixed --tmin 3 --tmax 5 --level 100",
                           false),
                 CLI::ValidationError);
}
