// ptcfit's steps on tiny inputs worked out by hand, or on distributions whose
// truth is known exactly.
#include <gtest/gtest.h>

#include <cmath>

#include "ptc/censored_dark.h"
#include "ptc/line_fit.h"
#include "ptc/pair_reader.h"
#include "ptc/pair_stats.h"
#include "ptc/plan.h"
#include "ptc/spatial.h"
#include "ptc/spectrogram.h"

namespace {

// A window, R G1 / G2 B, both frames filled by f(frame, row, column).
template <typename F>
PairPixels pixels_of(int64_t width, int64_t height, F f)
{
    PairPixels p;
    p.window.width = width;
    p.window.height = height;
    for (int k = 0; k < 2; ++k)
        for (int64_t r = 0; r < height; ++r)
            for (int64_t c = 0; c < width; ++c)
                p.frame[k].push_back(static_cast<uint16_t>(f(k, r, c)));
    return p;
}

TEST(PairStats, MeansVariancesAndCountsPerChannel)
{
    // Row 0: R G1 R G1, row 1: G2 B G2 B.
    const uint16_t a[2][4] = {{10, 0, 14, 5}, {7, 9, 7, 9}};
    const uint16_t b[2][4] = {{12, 0, 12, 3}, {5, 9, 5, 9}};
    const PairStats s = pair_stats(pixels_of(4, 2, [&](int k, int64_t r, int64_t c) { return (k ? b : a)[r][c]; }));
    // R: mean 48 / 4; differences -2, 2: variance 8 / 4, its error 2 sqrt(2 / 1); one 14 at the top.
    EXPECT_DOUBLE_EQ(s.channel[ch_red].mean, 12);
    EXPECT_DOUBLE_EQ(s.channel[ch_red].var, 2);
    EXPECT_DOUBLE_EQ(s.channel[ch_red].var_se(), 2 * std::sqrt(2.0));
    EXPECT_EQ(s.channel[ch_red].at_top, 1);
    // G2: differences 2, 2: 8 / 4 - 2^2 / 2 = 0, a steady offset is no noise.
    EXPECT_DOUBLE_EQ(s.channel[ch_green2].var, 0);
    // Green pools G1 (0, 5 / 0, 3) and G2: mean 32 / 8, variance 12 / 8 - 1.5^2 / 2; two zeros.
    EXPECT_DOUBLE_EQ(s.channel[ch_green].mean, 4);
    EXPECT_DOUBLE_EQ(s.channel[ch_green].var, 0.375);
    EXPECT_EQ(s.channel[ch_green].zeros, 2);
}

TEST(LineFit, SlopesInterceptsAndTheirErrors)
{
    // y = 1 + 2x, unit errors: det = 3 x 5 - 3^2 = 6, var(slope) = 3 / 6, var(intercept) = 5 / 6.
    const LineFit line = fit_line({0, 1, 2}, {1, 3, 5}, {1, 1, 1}, true);
    EXPECT_NEAR(line.slope, 2, 1e-12);
    EXPECT_NEAR(line.intercept, 1, 1e-12);
    EXPECT_NEAR(line.slope_se, std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(line.intercept_se, std::sqrt(5.0 / 6), 1e-12);
    // Scatter beyond the errors widens them: slope 29.8 / 30, chi2 7.86667 on
    // 3 degrees of freedom, se = sqrt(0.01 / 30 x 2.62222); scatter within
    // them does not narrow them: 1 / sqrt(30 / 0.01).
    const LineFit wide = fit_line({1, 2, 3, 4}, {1, 2.2, 2.8, 4}, {0.1, 0.1, 0.1, 0.1}, false);
    EXPECT_NEAR(wide.slope, 29.8 / 30, 1e-12);
    EXPECT_NEAR(wide.slope_se, 0.0295655, 1e-6);
    EXPECT_NEAR(fit_line({1, 2, 3, 4}, {1, 2, 3, 4}, {0.1, 0.1, 0.1, 0.1}, false).slope_se, std::sqrt(0.01 / 30), 1e-12);
    // f = a b at (2, 3), errors (0.1, 0.2): sqrt((3 x 0.1)^2 + (2 x 0.2)^2) = 0.5.
    EXPECT_NEAR(propagated_se([](const std::vector<double>& v) { return v[0] * v[1]; }, {2, 3}, {0.1, 0.2}), 0.5, 1e-9);
}

TEST(Plan, RefusesWhatCannotBeMeasuredAndSortsByExposure)
{
    const std::string head = "role,file1,file2,exposure_s\ndark,d1,d2,0.01\n";
    const std::pair<std::string, std::string> cases[] = {  // plan, the start of its error
        {head + "flat,a,b,inf\n", "plan line 3: exposure \"inf\" is not a time in seconds"},
        {head + "flat,a,b,0x1p3\n", "plan line 3: exposure \"0x1p3\" is not a time in seconds"},
        {head + "flat,a,b,-1\n", "plan line 3: exposure \"-1\" is not a time in seconds"},
        {head + "flat,a,b,0.1\nflat,./b,a,0.2\n", "plan lines 3 and 4 name the same pair of frames"},
        {head + "flat,a,b,0.1\nflat,c,e\n", "plan line 4 gives no exposure while other flat lines do"},
        {head + "dark,d3,d4,0.01\nflat,a,b,0.1\n", "plan lines 2 and 3 are dark pairs of the same exposure"},
    };
    std::string error;
    for (const auto& [text, message] : cases) {
        EXPECT_FALSE(parse_plan(text, error)) << text;
        EXPECT_EQ(error.substr(0, message.size()), message) << text;
    }
    const std::optional<Plan> plan = parse_plan(head + "flat,a,b,2E-3\nflat,c,e,.001\nflat,b,c,0.0015\n", error);
    ASSERT_TRUE(plan) << error;
    EXPECT_EQ(plan->flats[0].line, 4);
    EXPECT_EQ(plan->flats[2].line, 3);
    EXPECT_EQ(plan->notes.size(), 2u);  // b and c are each in two pairs
}

TEST(Spatial, SplitsRowColumnAndPixelPartsAndTakesOutTheTemporalOne)
{
    // Planes of 4 x 4. R: its rows alternate 0 and 2 (a pure row pattern).
    // G1: 10 +- 1, the sign alternating between the frames in a checkerboard:
    // the mean image is flat, the temporal variance 2^2 / 2 = 2.
    const PairPixels pair = pixels_of(8, 8, [](int k, int64_t r, int64_t c) {
        if (!(r & 1) && !(c & 1))
            return (r / 2) % 2 == 1 ? 2 : 0;
        const int sign = (((r / 2) + (c / 2)) % 2) ? 1 : -1;
        return !(r & 1) ? 10 + (k ? -sign : sign) : 50;
    });
    const SpatialStats s = spatial_stats(pair, std::vector<bool>(64, false));
    // R: row sums of squares 4 x (4 x 1) = 16 over N (M - 1) = 12; nothing else.
    EXPECT_NEAR(s.plane[0].row, 4.0 / 3, 1e-12);
    EXPECT_NEAR(s.plane[0].column, 0, 1e-12);
    EXPECT_NEAR(s.plane[0].total, 4.0 / 3, 1e-12);
    // G1: half the temporal variance (1) is expected in the flat mean image:
    // the spatial variance comes out -1, its error hypot(0, 2 / 2) sqrt(2 / 15).
    EXPECT_NEAR(s.plane[1].temporal, 2, 1e-12);
    EXPECT_NEAR(s.plane[1].total, -1, 1e-12);
    EXPECT_NEAR(s.plane[1].total_se, std::sqrt(2.0 / 15), 1e-12);
}

TEST(Spatial, CountsDefectsPerChannel)
{
    // Dark 100, flat 1100 (net 1000). Hot R pixel at (0, 0): dark 200. Dead G1
    // at (0, 1): net 50. Weak B at (1, 1): net 400. Stuck G2 at (1, 0): 4095.
    auto dark = pixels_of(8, 8, [](int, int64_t r, int64_t c) { return r + c == 0 ? 200 : r == 1 && c == 0 ? 4095 : 100; });
    auto flat = pixels_of(8, 8, [](int, int64_t r, int64_t c) {
        return r == 0 && c == 1 ? 150 : r == 1 && c == 1 ? 500 : r == 1 && c == 0 ? 4095 : 1100;
    });
    const uint16_t clip[plane_count] = {4095, 4095, 4095, 4095};
    const std::vector<bool> stuck = stuck_pixels(flat, clip);
    const DefectCounts d = count_defects(dark, spatial_stats(dark, stuck), flat, spatial_stats(flat, stuck), stuck);
    const int64_t expected[channel_count][4] = {{1, 0, 0, 0}, {0, 1, 0, 1}, {0, 0, 1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}};
    for (int ch = 0; ch < channel_count; ++ch)  // hot, dead, weak, stuck
        EXPECT_EQ((std::vector<int64_t>{d.hot[ch], d.dead[ch], d.weak[ch], d.stuck[ch]}),
                  std::vector<int64_t>(expected[ch], expected[ch] + 4)) << channel_name(ch);
}

TEST(Spectrogram, ARowSineShowsAtItsFrequencyWithItsAmplitude)
{
    // R plane rows of 16: 100 + 10 cos(2 pi 4 n / 16) = 110, 100, 90, 100, ...
    // |X_4| = 10 x 16 / 2 = 80; power 80^2 / 16 = 400: amplitude 20. Columns
    // are constant: nothing.
    const PairPixels pair = pixels_of(32, 8, [](int, int64_t r, int64_t c) {
        static const int wave[4] = {110, 100, 90, 100};
        return (r & 1) || (c & 1) ? 100 : wave[(c / 2) % 4];
    });
    const PlaneSpectrograms s = spectrograms(pair, nullptr, std::vector<bool>(pair.frame[0].size(), false));
    const Spectrogram& rows = s.along_rows[0];
    ASSERT_EQ(rows.frequency.size(), 8u);
    for (size_t j = 0; j < rows.frequency.size(); ++j) {
        EXPECT_DOUBLE_EQ(rows.frequency[j], (j + 1) / 16.0);
        EXPECT_NEAR(rows.amplitude[j], j == 3 ? 20.0 : 0.0, 1e-9) << j;
    }
    EXPECT_NEAR(s.along_columns[0].amplitude[0], 0, 1e-9);
}

// The counts of max(0, round(u)), u normal (mean, sd), of 1e9 samples, exactly as expected.
std::vector<int64_t> cut_normal_counts(double mean, double sd)
{
    auto below = [&](double x) { return 1e9 * std::erfc(-(x - mean) / (sd * std::sqrt(2.0))) / 2; };
    std::vector<int64_t> counts(200);
    for (size_t k = 0; k < counts.size(); ++k)
        counts[k] = std::llround(below(k + 0.5) - (k ? below(k - 0.5) : 0.0));
    return counts;
}

TEST(CensoredDark, MeanAndSpreadOfANormalCutAtZero)
{
    // Black 3 DN, noise 10 DN: 38 % of the samples read 0. The variance holds
    // the rounding, 1/12; hot pixels (0.5 % far up in the last entry) change nothing.
    std::vector<int64_t> counts = cut_normal_counts(3, 10);
    std::optional<CensoredNormal> cut = censored_normal(counts);
    ASSERT_TRUE(cut);
    EXPECT_NEAR(cut->mean, 3, 0.01);
    EXPECT_NEAR(cut->variance, 100 + 1.0 / 12, 0.2);
    counts.back() += 5000000;
    EXPECT_NEAR(censored_normal(counts)->variance, 100 + 1.0 / 12, 0.2);
    // 0.3 DN at black 0: 95 % zeros, nearly all the rest 1; the share of
    // zeros gives sd = 0.5 / z(0.952) = 0.3.
    cut = censored_normal(cut_normal_counts(0, 0.3));
    ASSERT_TRUE(cut);
    EXPECT_NEAR(cut->variance, 0.09 + 1.0 / 12, 1e-4);
    EXPECT_FALSE(censored_normal({1000, 0, 0}));  // all 0: nothing to measure
}

}  // namespace
