// Whole runs on random windows: the fast sample pass, column pass and spectra
// must leave exactly the bytes of the reference path, in every report, for
// every mode.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "spectra/spectra_runs.h"

using namespace spectra_test;

namespace {

rawgen::Image noisy_image(uint32_t width, uint32_t height, double level, double noise, uint64_t seed)
{
    rawgen::Content content;
    content.seed = seed;
    const double levels[4] = {level, 2 * level, 1.5 * level, 2 * level + 3};
    for (int p = 0; p < 4; ++p)
        content.plane[p] = {levels[p], noise, noise / 5, noise / 4, noise / 2, 6.0 + p, false};
    return rawgen::make_image(width, height, content);
}

InputFile nef(const char* name, const rawgen::Image& image, bool big_endian_samples = true)
{
    rawgen::NefOptions options;
    options.maker_big_endian = big_endian_samples;
    return {name, rawgen::make_nef(image, options)};
}

InputFile tif(const char* name, const rawgen::Image& image, bool big_endian = false)
{
    rawgen::TiffOptions options;
    options.big_endian = big_endian;
    return {name, rawgen::make_tiff(image, options)};
}

const std::vector<std::vector<std::string>> modes = {
    {"-M"}, {"-A"}, {"-F"}, {"-M", "-R"}, {"-M", "-C"}, {"-A", "-R"}, {"-A", "-C"}, {"-M7"}, {"-A3"}, {"-F2"},
    {"-F", "-A"}, {"-M1", "-L"}, {"-F40", "-R", "-C"},
    // Statistics and profiles, which share the sample pass.
    {"-L"}, {"-L", "-S1", "-N200"}, {"-S900", "-B3", "-N100"}, {"-E3000", "-N40"}, {"-R", "-C"}, {"-K"},
    {"-K25", "-O", "-D16"}, {"-L", "-K", "-S1", "-N512"},
};

// Every mode on the files, each in a random window of a width x height image;
// `parity` (0 .. 3) forces the origin's parities (X odd for bit 0, Y for bit 1).
void every_mode(const ProgramProfile& profile, const std::vector<InputFile>& inputs,
                const std::vector<std::string>& files, int width, int height, std::mt19937& rng, int parity = 0)
{
    for (const auto& mode : modes) {
        const int W = 2 * std::uniform_int_distribution<int>(1, width / 2)(rng);
        const int H = 2 * std::uniform_int_distribution<int>(1, height / 2)(rng);
        const int X = (std::uniform_int_distribution<int>(0, width - W)(rng) & ~1) + (parity & 1);
        const int Y = (std::uniform_int_distribution<int>(0, height - H)(rng) & ~1) + (parity >> 1);
        std::vector<std::string> args = files;
        args.insert(args.end(), mode.begin(), mode.end());
        for (const std::string& s : {"-W" + std::to_string(W), "-H" + std::to_string(H), "-X" + std::to_string(X),
                                     "-Y" + std::to_string(Y)})
            args.push_back(s);
        EXPECT_EQ(expect_same_runs(profile, inputs, args).status, 0);
    }
}

TEST(FastRuns, VeldixOddOriginsBothByteOrders)
{
    std::mt19937 rng(5);
    const std::vector<InputFile> inputs = {tif("A.TIF", noisy_image(201, 167, 700, 40, 5)),
                                           tif("B.TIF", noisy_image(201, 167, 690, 40, 6)),
                                           tif("M.TIF", noisy_image(201, 167, 700, 40, 7), true)};
    for (int parity = 0; parity < 4; ++parity) {
        every_mode(veldix_profile(), inputs, {"A.TIF"}, 200, 166, rng, parity);
        every_mode(veldix_profile(), inputs, {"M.TIF", "B.TIF"}, 200, 166, rng, parity);
        every_mode(veldix_profile(), inputs, {"A.TIF", "B.TIF", "-U3", "-V8"}, 200, 166, rng, parity);
    }
}

// -M -C wider than one strip of the column pass, -M -R taller than 2048 rows,
// and -A with -F where only the -F column table stays.
TEST(FastRuns, WindowsBeyondTheLimits)
{
    const std::vector<InputFile> inputs = {nef("W.NEF", noisy_image(4400, 40, 300, 20, 10)),
                                           nef("V.NEF", noisy_image(4400, 40, 300, 20, 11)),
                                           nef("T.NEF", noisy_image(40, 2200, 300, 20, 12)),
                                           nef("F.NEF", noisy_image(2100, 300, 300, 20, 13))};
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"W.NEF", "-M", "-C", "-W4400", "-H40"}, "Column-DFT ave. coef mags"},
        {{"W.NEF", "V.NEF", "-A", "-C", "-W4300", "-H38", "-X50"}, "Ave. Column-ACF"},
        {{"T.NEF", "-M", "-R", "-W36", "-H2200"}, "Row-DFT ave. coef mags"},
        {{"F.NEF", "-A", "-R", "-F", "-W2100", "-H300"}, "Ave-column DFT coef mags"}};
    for (const auto& [args, title] : runs)
        EXPECT_NE(expect_same_runs(quorva_profile(), inputs, args).report("DFT.CSV").find(title), std::string::npos);
}

}  // namespace
