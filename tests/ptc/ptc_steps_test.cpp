// ptcfit's steps on tiny inputs whose results are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "ptc/characterise.h"
#include "ptc/line_fit.h"
#include "ptc/pair_reader.h"
#include "ptc/pair_stats.h"
#include "ptc/plan.h"
#include "ptc/spatial.h"
#include "ptc/spectrogram.h"

namespace {

// A window of the given size, R G1 / G2 B, both frames filled by f(frame, row, column).
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
    const ChannelMoments& red = s.channel[ch_red];
    // R: mean (10 + 14 + 12 + 12) / 4 = 12; differences -2, 2: variance 8 / 4 = 2.
    EXPECT_DOUBLE_EQ(red.mean, 12);
    EXPECT_DOUBLE_EQ(red.var, 2);
    EXPECT_DOUBLE_EQ(red.var_se(), 2 * std::sqrt(2.0));
    EXPECT_EQ(red.top, 14);
    EXPECT_EQ(red.at_top, 1);
    // G1: differences 0, 2: 4 / 4 - 1^2 / 2 = 0.5; two samples at 0.
    EXPECT_DOUBLE_EQ(s.channel[ch_green1].var, 0.5);
    EXPECT_EQ(s.channel[ch_green1].zeros, 2);
    // G2: differences 2, 2: 8 / 4 - 2^2 / 2 = 0, a constant offset is no noise.
    EXPECT_DOUBLE_EQ(s.channel[ch_green2].var, 0);
    EXPECT_FALSE(s.channel[ch_green2].identical);
    // Green pools both: mean 32 / 8 = 4, mean difference 6 / 4, variance 12 / 8 - 1.5^2 / 2.
    const ChannelMoments& green = s.channel[ch_green];
    EXPECT_EQ(green.n, 4);
    EXPECT_DOUBLE_EQ(green.mean, 4);
    EXPECT_DOUBLE_EQ(green.var, 0.375);
    EXPECT_EQ(green.top, 7);
    EXPECT_EQ(green.at_top, 2);
    EXPECT_EQ(green.both_at_top, 0);
    // B: both frames 9 everywhere.
    EXPECT_TRUE(s.channel[ch_blue].identical);
    EXPECT_EQ(s.channel[ch_blue].both_at_top, 2);
}

TEST(LineFit, SlopesInterceptsAndTheirErrors)
{
    const LineFit exact = fit_line({1, 2, 3}, {2, 4, 6}, {}, false);
    EXPECT_DOUBLE_EQ(exact.slope, 2);
    EXPECT_DOUBLE_EQ(exact.slope_se, 0);
    // Known errors of 1: var(slope) = 1 / sum x^2 = 1 / 5.
    EXPECT_NEAR(fit_line({1, 2}, {2, 4}, {1, 1}, false).slope_se, std::sqrt(0.2), 1e-12);
    // y = 1 + 2x; with unit errors det = 3 x 5 - 3^2 = 6, var(slope) = 3 / 6, var(intercept) = 5 / 6.
    const LineFit line = fit_line({0, 1, 2}, {1, 3, 5}, {1, 1, 1}, true);
    EXPECT_NEAR(line.slope, 2, 1e-12);
    EXPECT_NEAR(line.intercept, 1, 1e-12);
    EXPECT_NEAR(line.slope_se, std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(line.intercept_se, std::sqrt(5.0 / 6), 1e-12);
    // Scatter beyond the errors widens them: slope 29.8 / 30, chi2 7.86667 on
    // 3 degrees of freedom, se = sqrt(0.01 / 30 x 2.62222).
    const LineFit wide = fit_line({1, 2, 3, 4}, {1, 2.2, 2.8, 4}, {0.1, 0.1, 0.1, 0.1}, false);
    EXPECT_NEAR(wide.slope, 29.8 / 30, 1e-12);
    EXPECT_NEAR(wide.chi2, 7.866667, 1e-5);
    EXPECT_NEAR(wide.slope_se, 0.0295655, 1e-6);
    // f = a b at (2, 3), errors (0.1, 0.2): sqrt((3 x 0.1)^2 + (2 x 0.2)^2) = 0.5.
    EXPECT_NEAR(propagated_se([](const std::vector<double>& v) { return v[0] * v[1]; }, {2, 3}, {0.1, 0.2}), 0.5, 1e-9);
}

TEST(Plan, RefusesWhatCannotBeMeasuredAndSortsByExposure)
{
    const std::string head = "role,file1,file2,exposure_s\ndark,d1,d2,0.01\n";
    const struct {
        std::string text;
        std::string error;  // empty: accepted
    } cases[] = {
        {head + "flat,a,b,inf\n", "plan line 3: exposure \"inf\" is not a time in seconds"},
        {head + "flat,a,b,1e309\n", "plan line 3: exposure \"1e309\" is not a time in seconds"},
        {head + "flat,a,b,0x1p3\n", "plan line 3: exposure \"0x1p3\" is not a time in seconds"},
        {head + "flat,a,b,-1\n", "plan line 3: exposure \"-1\" is not a time in seconds"},
        {head + "flat,a,b,0.1\nflat,./b,a,0.2\n", "plan lines 3 and 4 name the same pair of frames"},
        {head + "flat,a,a,0.1\n", "plan line 3 names a twice: a pair needs two frames"},
        {head + "flat,a,b,0.1\nflat,c,e\n", "plan line 4 gives no exposure while other flat lines do"},
        {"role,file1,file2,exposure_s\ndark,d1,d2\ndark,d3,d4,0.1\nflat,a,b,0.1\n",
         "plan line 2: with several dark pairs each needs its exposure"},
        {"role,file1,file2,exposure_s\ndark,d1,d2,0.1\ndark,d3,d4,0.1\nflat,a,b,0.1\n",
         "plan lines 2 and 3 are dark pairs of the same exposure"},
        {"role,file1,file2\nflat,a,b\n", "the plan has no dark pair"},
        {head, "the plan has no flat pair"},
        {head + "flat,a,b,2E-3\nflat,c,e,.001\n", ""},
    };
    for (const auto& c : cases) {
        std::string error;
        const std::optional<Plan> plan = parse_plan(c.text, error);
        EXPECT_EQ(plan.has_value(), c.error.empty()) << c.text;
        EXPECT_EQ(error.substr(0, c.error.size()), c.error) << c.text;
    }
    std::string error;
    const std::optional<Plan> plan = parse_plan(head + "flat,a,b,2E-3\nflat,c,e,.001\nflat,b,c,0.0015\n", error);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->flats[0].line, 4);
    EXPECT_EQ(plan->flats[1].line, 5);
    EXPECT_EQ(plan->flats[2].line, 3);
    EXPECT_EQ(plan->notes.size(), 2u);  // b and c are each in two pairs
}

TEST(Spatial, SplitsRowColumnAndPixelPartsAndRemovesTheTemporalOne)
{
    // 8 x 8: each plane 4 x 4. R: rows of the plane alternate 0 and 2 (a pure
    // row pattern); G1: 10 +- 1 in the two frames (temporal only).
    const PairPixels pair = pixels_of(8, 8, [](int k, int64_t r, int64_t c) {
        const int plane = (r & 1) ? ((c & 1) ? 2 : 3) : ((c & 1) ? 1 : 0);
        if (plane == 0)
            return (r / 2) % 2 == 1 ? 2 : 0;
        if (plane == 1)
            return k == 0 ? 11 : 9;
        return 50;
    });
    const SpatialStats s = spatial_stats(pair, std::vector<bool>(64, false));
    // Row sums of squares 4 x (4 x 1) = 16 over N (M - 1) = 12; nothing else.
    EXPECT_NEAR(s.plane[0].row, 4.0 / 3, 1e-12);
    EXPECT_NEAR(s.plane[0].column, 0, 1e-12);
    EXPECT_NEAR(s.plane[0].pixel, 0, 1e-12);
    EXPECT_NEAR(s.plane[0].total, 4.0 / 3, 1e-12);
    // G1: every difference is +2, an offset between the frames, not noise:
    // 4 / 2 - 2^2 / 2 = 0, and the mean image is flat.
    EXPECT_NEAR(s.plane[1].temporal, 0, 1e-12);
    EXPECT_NEAR(s.plane[1].total, 0, 1e-12);
}

TEST(Spatial, TemporalNoiseOfTheMeanImageIsTakenOut)
{
    // G1 alternates +1 / -1 between the frames in a checkerboard of the plane:
    // the mean image is flat, the temporal variance 2^2 / 2 = 2, of which
    // half (1) is expected in the mean image: its spatial variance comes out -1.
    const PairPixels pair = pixels_of(8, 8, [](int k, int64_t r, int64_t c) {
        const bool g1 = !(r & 1) && (c & 1);
        const int sign = (((r / 2) + (c / 2)) % 2) ? 1 : -1;
        return g1 ? 10 + (k ? -sign : sign) : 50;
    });
    const SpatialStats s = spatial_stats(pair, std::vector<bool>(64, false));
    EXPECT_NEAR(s.plane[1].temporal, 2, 1e-12);
    EXPECT_NEAR(s.plane[1].total, -1, 1e-12);
}

TEST(Spatial, CountsDefectsPerChannel)
{
    // Dark 100, flat 1100 (net 1000). Hot R pixel at (0, 0): dark 200. Dead G1
    // at (0, 1): flat 150 (net 50). Weak B at (1, 1): flat 500 (net 400). Stuck
    // G2 at (1, 0): 4095 in every frame.
    auto dark = pixels_of(8, 8, [](int, int64_t r, int64_t c) { return r == 0 && c == 0 ? 200 : r == 1 && c == 0 ? 4095 : 100; });
    auto flat = pixels_of(8, 8, [](int, int64_t r, int64_t c) {
        if (r == 0 && c == 1)
            return 150;
        if (r == 1 && c == 1)
            return 500;
        return r == 1 && c == 0 ? 4095 : 1100;
    });
    const uint16_t clip[plane_count] = {4095, 4095, 4095, 4095};
    const std::vector<bool> stuck = stuck_pixels(flat, clip);
    const DefectCounts d =
        count_defects(dark, spatial_stats(dark, stuck), flat, spatial_stats(flat, stuck), stuck);
    EXPECT_EQ(d.hot[ch_red], 1);
    EXPECT_EQ(d.dead[ch_green1], 1);
    EXPECT_EQ(d.weak[ch_blue], 1);
    EXPECT_EQ(d.stuck[ch_green2], 1);
    EXPECT_EQ(d.hot[ch_green2], 0);  // stuck, not hot
    EXPECT_EQ(d.dead[ch_green] + d.stuck[ch_green], 2);
    EXPECT_EQ(d.dead[ch_red] + d.weak[ch_red] + d.hot[ch_blue], 0);
}

TEST(Spectrogram, ARowSineShowsAtItsFrequencyWithItsAmplitude)
{
    // R plane rows of 16: 100 + 10 cos(2 pi 4 n / 16) = 110, 100, 90, 100, ...
    // |X_4| = 10 x 16 / 2 = 80; power 80^2 / 16 = 400: amplitude 20. Columns
    // are constant: nothing.
    const PairPixels pair = pixels_of(32, 8, [](int, int64_t r, int64_t c) {
        if ((r & 1) || (c & 1))
            return 100;
        static const int wave[4] = {110, 100, 90, 100};
        return wave[(c / 2) % 4];
    });
    const PlaneSpectrograms s = spectrograms(pair, nullptr, std::vector<bool>(pair.frame[0].size(), false));
    const Spectrogram& rows = s.along_rows[0];
    ASSERT_EQ(rows.frequency.size(), 8u);
    for (size_t j = 0; j < rows.frequency.size(); ++j) {
        EXPECT_DOUBLE_EQ(rows.frequency[j], (j + 1) / 16.0);
        EXPECT_NEAR(rows.amplitude[j], j == 3 ? 20.0 : 0.0, 1e-9) << j;
    }
    for (double v : s.along_columns[0].amplitude)
        EXPECT_NEAR(v, 0, 1e-9);
}

}  // namespace
