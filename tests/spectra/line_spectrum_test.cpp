// The spectrum kernel on short sequences worked out by hand.
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "spectra/line_spectrum.h"
#include "stats/profiles.h"

namespace {

struct KernelCase {
    const char* name;
    bool autocorr;
    int32_t line, pair_step;
    std::vector<int32_t> first, second;  // stored in line and line + pair_step
    int32_t count, freq;
    double expected;
};

class KernelValue : public testing::TestWithParam<KernelCase> {};

TEST_P(KernelValue, MatchesHandCalculation)
{
    const KernelCase& k = GetParam();
    auto lines = std::make_unique<ProfileSet>();
    std::copy(k.first.begin(), k.first.end(), lines->line[k.line]);
    std::copy(k.second.begin(), k.second.end(), lines->line[k.line + k.pair_step]);
    const double v = SpectrumKernel(*lines, KernelMode{k.autocorr, false}, k.line, k.pair_step, k.count, k.freq);
    EXPECT_NEAR(v, k.expected, 1e-12);
    if (k.count < 1 || k.freq < 0 || k.freq > k.count / 2) {
        EXPECT_EQ(v, 0.0);  // exactly
    }
}

const std::vector<int32_t> ramp = {1, 2, 3, 4};

INSTANTIATE_TEST_SUITE_P(
    HandWorked, KernelValue,
    testing::Values(
        // b = 0: |sum| / N.
        KernelCase{"DcIsMeanMagnitude", false, 0, 0, ramp, {}, 4, 0, 2.5},
        // b = 1: 1 - 2i - 3 + 4i = -2 + 2i, |.| / 4 = sqrt(8) / 4.
        KernelCase{"QuarterTurn", false, 3, 0, ramp, {}, 4, 1, std::sqrt(8.0) / 4},
        // b = N/2: the rotation alternates +1, -1: |1 - 2 + 3 - 4| / 4.
        KernelCase{"Nyquist", false, 0, 0, ramp, {}, 4, 2, 0.5},
        KernelCase{"BeyondHalf", false, 0, 0, ramp, {}, 4, 3, 0.0},
        KernelCase{"BeyondHalfAutocovariance", true, 0, 0, ramp, {}, 4, 3, 0.0},
        KernelCase{"ConstantHasNoAc", false, 6, 0, {7, 7, 7, 7, 7, 7}, {}, 6, 2, 0.0},
        // Mean 5; squared deviations 9 1 1 1 0 0 4 16 sum to 32; / 8.
        KernelCase{"LagZeroIsPopulationVariance", true, 4, 0, {2, 4, 4, 4, 5, 5, 7, 9}, {}, 8, 0, 4.0},
        KernelCase{"AlternatingLagOne", true, 0, 0, {1, -1, 1, -1}, {}, 4, 1, -1.0},
        // Mean 4 removed: four products of -1, / 4.
        KernelCase{"MeanRemoved", true, 1, 0, {3, 5, 3, 5}, {}, 4, 1, -1.0},
        // Lag wraps: with m = 2, (-2)(1) + 1(-2) + 1(1) = -3, / 3.
        KernelCase{"CircularLag", true, 0, 0, {0, 3, 3}, {}, 3, 1, -1.0},
        // Lines 1 and 3 interleave to 1, 2, 3, 4 (in line order 1, 3, 2, 4 it would be sqrt(2) / 4).
        KernelCase{"GreenInterleaveDft", false, 1, 2, {1, 3}, {2, 4}, 4, 1, std::sqrt(8.0) / 4},
        // 1, 2, 3, 4 at lag 1: (-1.5)(-0.5) + (-0.5)(0.5) + (0.5)(1.5) + (1.5)(-1.5) = -1, / 4.
        KernelCase{"GreenInterleaveAutocovariance", true, 5, 2, {1, 3}, {2, 4}, 4, 1, -0.25},
        // 1, 0, 0, 2, 0, 0 (mean 0.5) at lags 1 and 2: both -1.5 / 6. With G2
        // before G1 lag 1 would be 0.5 / 6; with line 3 after line 1, lag 2 would be.
        KernelCase{"GreenOrderLagOne", true, 1, 2, {1, 0, 0}, {0, 2, 0}, 6, 1, -0.25},
        KernelCase{"GreenOrderLagTwo", true, 1, 2, {1, 0, 0}, {0, 2, 0}, 6, 2, -0.25},
        KernelCase{"FullLineDc", false, 7, 0, std::vector<int32_t>(line_capacity, 3), {}, line_capacity, 0, 3.0}),
    [](const testing::TestParamInfo<KernelCase>& tested) { return std::string(tested.param.name); });

}  // namespace
