// Histogram-derived average and SD: bin sizing, the normal-score sweep and the
// line fit, on hand-worked inputs (whole runs are the worked examples' part).
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "reports/text_out.h"
#include "stats/hist_derived.h"

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

struct BinsCase {
    const char* name;
    double sd, ave, zero_rate;
    bool defined;
    int32_t range, width, bins;
};

class DerivedBinsTest : public testing::TestWithParam<BinsCase> {};

TEST_P(DerivedBinsTest, SizesRangeWidthAndCount)
{
    const BinsCase& c = GetParam();
    const DerivedBins b = derived_bins(2.8, c.sd, c.ave, c.zero_rate);
    ASSERT_EQ(b.defined, c.defined);
    if (c.defined) {
        EXPECT_EQ((std::vector<int32_t>{b.range, b.width, b.bins}), (std::vector<int32_t>{c.range, c.width, c.bins}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DerivedBinsTest,
    testing::Values(BinsCase{"Bright", 30, 3000.5, 0, true, 3130, 13, 240},  // 4.3 x 30 + 3001.5; 3130 / 255 + 1; 3130 / 13
                    BinsCase{"NoSpread", 0, 100.5, 0, true, 101, 1, 101},
                    BinsCase{"HalfAtZero", 10, 20.5, 50, true, 107, 1, 107},  // 43 x 100 / 50 + 21.5
                    BinsCase{"LargestRange", 0, 2147483645.5, 0, true, 2147483646, 8421505, 254},
                    BinsCase{"RangeOf2To31", 0, 2147483647.0, 0, false, 0, 0, 0},  // does not fit
                    BinsCase{"HugeSd", 1e9, 60.5, 0, false, 0, 0, 0},
                    BinsCase{"AllAtZero", 30, 60.5, 100, false, 0, 0, 0},
                    BinsCase{"NanSd", nan_value, 60.5, 0, false, 0, 0, 0},
                    BinsCase{"InfiniteSd", inf, 60.5, 0, false, 0, 0, 0}),
    [](const testing::TestParamInfo<BinsCase>& param) { return std::string(param.param.name); });

// The sweep's landmarks: an empty first bin reads -6; a bin adding nothing
// repeats its score; half the samples reach the median near z = 0; and the
// step area carried to the next colour corrects its empty bins: after a sweep
// to z = 6 the tiny density there puts them far below -6.
TEST(NormalScores, FollowTheSweepAndCarryTheStepAreaAcrossColours)
{
    const uint32_t first[] = {0, 5, 0, 5};
    const uint32_t all[] = {10};
    const uint32_t third[] = {0, 0, 1, 4, 4};
    float got[5];
    double step = first_step_area;
    normal_scores(first, 4, 10.1, step, got);
    EXPECT_EQ(got[0], -6.0f);
    EXPECT_NEAR(got[1], -0.0124, 0.002);  // 5 / 10.1 = 0.49505: 0.00495 below the median / 0.3989
    EXPECT_EQ(got[2], got[1]);
    EXPECT_NEAR(got[3], 2.33, 0.01);      // 10 / 10.1 = 0.990
    normal_scores(all, 1, 10.0, step, got);  // every sample: the sweep runs to z = 6
    normal_scores(third, 5, 10.1, step, got);
    EXPECT_LT(got[0], -6.01f);
}

// Bins of width 10 at their upper edges: reference bin 1 (DN 1..10) at x0 = 11,
// z0 = 0.5; bin 2 at x = 21, z = 2: SD 10 / 1.5, mean 11 - 0.5 x SD.
TEST(FitNormalLine, OneBinInTheBandGivesTheLineThroughBothPointsByHand)
{
    const float scores[] = {-0.5f, 0.5f, 2.0f};
    const LineFit plain = fit_normal_line(scores, 3, 10, 2.8, 1.0, nullptr);
    EXPECT_NEAR(plain.sd, 20.0 / 3.0, 1e-12);
    EXPECT_NEAR(plain.ave, 23.0 / 3.0, 1e-12);
    const LineFit scaled = fit_normal_line(scores, 3, 10, 2.8, 1.125, nullptr);
    EXPECT_NEAR(scaled.sd, 7.5, 1e-12);
    EXPECT_NEAR(scaled.ave, 23.0 / 3.0 * 1.125, 1e-12);
    // Reference bin 0 (DN 0 alone) at DN 1, bin 1 (DN 1..10) at DN 11.
    const LineFit from_zero = fit_normal_line(scores + 1, 2, 10, 2.8, 1.0, nullptr);
    EXPECT_NEAR(from_zero.sd, 20.0 / 3.0, 1e-12);
    EXPECT_NEAR(from_zero.ave, 1.0 - 10.0 / 3.0, 1e-12);
}

struct BandCase {
    double K;
    std::vector<int> fitted;  // by hand: bins inside K - 1.3 < z < K after the reference bin
};

class FitBandTest : public testing::TestWithParam<BandCase> {};

TEST_P(FitBandTest, UsesOnlyBinsStrictlyInsideTheBand)
{
    const std::vector<float> scores = {-1.0f, 0.5f, 0.19f, 0.21f, 1.19f, 1.21f, 1.49f,
                                       1.5f,  1.51f, 2.0f, 2.49f, 2.5f,  2.51f, 3.0f};
    TextBuffer debug;
    fit_normal_line(scores.data(), 14, 3, GetParam().K, 1.16, &debug);
    std::vector<int> fitted;
    for (size_t at = 0; (at = debug.text.find("j=", at)) != std::string::npos; ++at)
        fitted.push_back(std::atoi(debug.text.c_str() + at + 2));
    EXPECT_EQ(fitted, GetParam().fitted);
}

INSTANTIATE_TEST_SUITE_P(Bands, FitBandTest,
                         testing::Values(BandCase{2.8, {7, 8, 9, 10, 11, 12}},  // 1.5 .. 2.8
                                         BandCase{2.5, {5, 6, 7, 8, 9, 10}},    // -K25: 1.2 .. 2.5
                                         BandCase{1.5, {3, 4, 5, 6}}),          // -K15: 0.2 .. 1.5
                         [](const testing::TestParamInfo<BandCase>& p) {
                             std::string name(1, 'K');
                             return name += std::to_string(static_cast<int>(p.param.K * 10));
                         });

TEST(FitNormalLine, UndefinedFiguresAreNan)
{
    const float none_positive[] = {-6.0f, -1.0f, 0.0f};
    const float nothing_in_band[] = {-6.0f, 4.2f, 4.2f};
    const float vertical[] = {1.6f, 1.6f};  // the band bin repeats the reference score
    TextBuffer debug;
    for (const LineFit fit : {fit_normal_line(none_positive, 3, 1, 2.8, 1.0, nullptr),
                              fit_normal_line(nothing_in_band, 3, 1, 2.8, 1.0, nullptr),
                              fit_normal_line(vertical, 2, 1, 2.8, 1.0, &debug)}) {
        EXPECT_TRUE(std::isnan(fit.ave));
        EXPECT_TRUE(std::isnan(fit.sd));
    }
    EXPECT_EQ(debug.text, "j=1, SD=   nan, Mean=   nan\n");
}

}  // namespace
