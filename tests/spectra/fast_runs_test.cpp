// Whole runs on random windows: the fast sample pass, column pass and spectra
// must leave exactly the bytes of the reference path (sample by sample, every
// value by SpectrumKernel), in every report, for every mode.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_profiles.h"
#include "raw_writer.h"
#include "spectra/fast_compare.h"

namespace {

using fast_compare::expect_same_runs;
using fast_compare::InputFile;
using fast_compare::Outcome;

rawgen::Image noisy_image(uint32_t width, uint32_t height, double level, double noise, uint64_t seed)
{
    rawgen::Content content;
    content.seed = seed;
    const double levels[4] = {level, 2 * level, 1.5 * level, 2 * level + 3};
    for (int p = 0; p < 4; ++p) {
        content.plane[p].level = levels[p];
        content.plane[p].noise_sd = noise;
        content.plane[p].col_band_sd = noise / 4;
        content.plane[p].row_band_sd = noise / 5;
        content.plane[p].sine_amp = noise / 2;
        content.plane[p].sine_period = 6.0 + p;
    }
    return rawgen::make_image(width, height, content);
}

std::vector<uint8_t> nef(const rawgen::Image& image, bool big_endian_samples = true)
{
    rawgen::NefOptions options;
    options.maker_big_endian = big_endian_samples;
    return rawgen::make_nef(image, options);
}

std::vector<uint8_t> tif(const rawgen::Image& image, bool big_endian = false)
{
    rawgen::TiffOptions options;
    options.big_endian = big_endian;
    return rawgen::make_tiff(image, options);
}

// A random window inside a width x height image, as switches.
std::vector<std::string> random_window(std::mt19937& rng, int width, int height, int max_side)
{
    std::uniform_int_distribution<int> w(1, std::min(width, max_side) / 2);
    std::uniform_int_distribution<int> h(1, std::min(height, max_side) / 2);
    const int W = 2 * w(rng);
    const int H = 2 * h(rng);
    std::uniform_int_distribution<int> x(0, width - W);
    std::uniform_int_distribution<int> y(0, height - H);
    return {"-W" + std::to_string(W), "-H" + std::to_string(H), "-X" + std::to_string(x(rng)),
            "-Y" + std::to_string(y(rng))};
}

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<std::vector<std::string>> spectrum_modes = {
    {"-M"}, {"-A"}, {"-F"}, {"-M", "-R"}, {"-M", "-C"}, {"-A", "-R"}, {"-A", "-C"},
    {"-M7"}, {"-A3"}, {"-F2"}, {"-F", "-A"}, {"-M1", "-L"}, {"-F40", "-R", "-C"},
};

const std::vector<std::vector<std::string>> statistics_modes = {
    {"-L"}, {"-L", "-S1", "-N200"}, {"-S900", "-B3", "-N100"}, {"-E3000", "-N40"}, {"-R", "-C"},
    {"-K"}, {"-K25", "-O", "-D16"}, {"-L", "-K", "-S1", "-N512"},
};

TEST(FastRuns, QuorvaOneImageEveryModeOnRandomWindows)
{
    std::mt19937 rng(2024);
    const std::vector<InputFile> inputs = {{"A.NEF", nef(noisy_image(310, 236, 400, 25, 1))},
                                           {"L.NEF", nef(noisy_image(128, 96, 300, 20, 2), false)}};
    for (const auto& mode : spectrum_modes) {
        for (const char* name : {"A.NEF", "L.NEF"}) {
            const int width = name[0] == 'A' ? 310 : 128;
            const int height = name[0] == 'A' ? 236 : 96;
            const auto args = joined(joined({name}, mode), random_window(rng, width, height, 400));
            const Outcome out = expect_same_runs(quorva_profile(), inputs, args);
            EXPECT_EQ(out.status, 0);
        }
    }
    for (const auto& mode : statistics_modes)
        expect_same_runs(quorva_profile(), inputs, joined(joined({"A.NEF"}, mode), random_window(rng, 310, 236, 400)));
}

TEST(FastRuns, QuorvaTwoImagesEveryMode)
{
    std::mt19937 rng(77);
    const std::vector<InputFile> inputs = {{"A.NEF", nef(noisy_image(240, 180, 500, 30, 3))},
                                           {"B.NEF", nef(noisy_image(240, 180, 500, 30, 4))}};
    for (const auto& mode : spectrum_modes)
        expect_same_runs(quorva_profile(), inputs,
                         joined(joined({"A.NEF", "B.NEF"}, mode), random_window(rng, 240, 180, 400)));
    for (const auto& mode : statistics_modes)
        expect_same_runs(quorva_profile(), inputs,
                         joined(joined({"A.NEF", "B.NEF"}, mode), random_window(rng, 240, 180, 400)));
}

TEST(FastRuns, VeldixOddOriginsBothByteOrders)
{
    std::mt19937 rng(5);
    const std::vector<InputFile> inputs = {{"A.TIF", tif(noisy_image(201, 167, 700, 40, 5))},
                                           {"B.TIF", tif(noisy_image(201, 167, 690, 40, 6))},
                                           {"M.TIF", tif(noisy_image(201, 167, 700, 40, 7), true)}};
    for (const auto& mode : spectrum_modes) {
        for (int odd = 0; odd < 4; ++odd) {
            std::vector<std::string> window = random_window(rng, 200, 166, 400);
            // Force the origin's parities: X odd for odd & 1, Y odd for odd & 2.
            const int x = std::stoi(window[2].substr(2));
            const int y = std::stoi(window[3].substr(2));
            window[2] = "-X" + std::to_string((x & ~1) + (odd & 1));
            window[3] = "-Y" + std::to_string((y & ~1) + ((odd >> 1) & 1));
            expect_same_runs(veldix_profile(), inputs, joined(joined({"A.TIF"}, mode), window));
            expect_same_runs(veldix_profile(), inputs, joined(joined({"M.TIF", "B.TIF"}, mode), window));
            expect_same_runs(veldix_profile(), inputs,
                             joined(joined({"A.TIF", "B.TIF", "-U3", "-V8"}, mode), window));
        }
    }
    for (const auto& mode : statistics_modes)
        expect_same_runs(veldix_profile(), inputs,
                         joined(joined({"A.TIF", "B.TIF"}, mode), random_window(rng, 201, 167, 400)));
}

// The smallest windows: no row steps at W = 2, two frequencies at W = 4.
TEST(FastRuns, TinyWindows)
{
    const std::vector<InputFile> inputs = {{"A.NEF", nef(noisy_image(16, 12, 300, 20, 8))},
                                           {"B.NEF", nef(noisy_image(16, 12, 300, 20, 9))}};
    for (const auto& mode : spectrum_modes)
        for (const char* size : {"-W2", "-W4", "-W6"})
            for (const char* height : {"-H2", "-H4", "-H8"}) {
                expect_same_runs(quorva_profile(), inputs, joined(joined({"A.NEF"}, mode), {size, height}));
                expect_same_runs(quorva_profile(), inputs, joined(joined({"A.NEF", "B.NEF"}, mode), {size, height}));
            }
}

// Windows beyond the limits: -M -C on a window wider than one strip of the
// column pass, -M -R on one taller than 2048 rows, and -A with -F where only
// the -F column table stays (with the autocovariance).
TEST(FastRuns, WindowsBeyondTheLimits)
{
    const std::vector<InputFile> wide = {{"W.NEF", nef(noisy_image(4400, 40, 300, 20, 10))},
                                         {"V.NEF", nef(noisy_image(4400, 40, 300, 20, 11))}};
    Outcome out = expect_same_runs(quorva_profile(), wide, {"W.NEF", "-M", "-C", "-W4400", "-H40"});
    EXPECT_NE(out.reports["DFT.CSV"].find("Column-DFT ave. coef mags"), std::string::npos);
    expect_same_runs(quorva_profile(), wide, {"W.NEF", "V.NEF", "-A", "-C", "-W4300", "-H38", "-X50"});

    const std::vector<InputFile> tall = {{"T.NEF", nef(noisy_image(40, 2200, 300, 20, 12))}};
    out = expect_same_runs(quorva_profile(), tall, {"T.NEF", "-M", "-R", "-W36", "-H2200"});
    EXPECT_NE(out.reports["DFT.CSV"].find("Row-DFT ave. coef mags"), std::string::npos);

    const std::vector<InputFile> long_rows = {{"F.NEF", nef(noisy_image(2100, 300, 300, 20, 13))}};
    out = expect_same_runs(quorva_profile(), long_rows, {"F.NEF", "-A", "-R", "-F", "-W2100", "-H300"});
    EXPECT_NE(out.reports["DFT.CSV"].find("Ave-column DFT coef mags"), std::string::npos);
}

}  // namespace
