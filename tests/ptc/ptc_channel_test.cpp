// The characterisation of one channel from points that follow the model
// exactly (a million pixels each, so their errors are small): every figure
// is the EMVA formula applied to the model's numbers.
#include <gtest/gtest.h>

#include <cmath>

#include "ptc/characterise.h"

namespace {

constexpr int64_t pixels = 1000000;
constexpr double K = 0.5, dark_mean = 100, dark_var = 4;

ChannelMoments moments(double mean, double var)
{
    ChannelMoments m;
    m.n = pixels;
    m.mean = mean;
    m.var = var;
    return m;
}

// Flats at t = 1 .. 10 s with net means 1000 t DN and variance dark + K x
// net; from t = 9 on the signal clips: variance falls, samples pile up.
std::vector<FlatLevel> clipping_series(const double offsets[7] = nullptr, double dark_variance = dark_var)
{
    std::vector<FlatLevel> flats;
    for (int t = 1; t <= 10; ++t) {
        double net = 1000.0 * t + (offsets && t <= 7 ? offsets[t - 1] : 0);
        double var = dark_variance + K * net;
        double clip = 0;
        if (t >= 9) {
            net = t == 9 ? 8900 : 8800;  // the plateau scatters: no "mean falls" above saturation
            var = t == 9 ? 1000 : 10;
            clip = t == 9 ? 0.3 : 0.9;
        }
        flats.push_back(FlatLevel{double(t), moments(dark_mean + net, var), 10 + t, clip, 0});
    }
    return flats;
}

std::vector<DarkLevel> one_dark(double var = dark_var)
{
    return {DarkLevel{1.0, moments(dark_mean, var), 2}};
}

ChannelResult characterise(const std::vector<DarkLevel>& darks, const std::vector<FlatLevel>& flats,
                           FitOptions options = {}, double reference = 0)
{
    ChannelResult r;
    std::string error;
    EXPECT_TRUE(prepare_channel(ch_green, darks, flats, options, r, error)) << error;
    fit_channel(ch_green, darks, options, reference, r);
    return r;
}

TEST(Channel, FiguresFromAClippingSeriesFollowTheFormulas)
{
    const ChannelResult r = characterise(one_dark(), clipping_series());
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_TRUE(r.saturation_reached);
    EXPECT_EQ(r.saturation, 7);  // t = 8, the largest variance
    EXPECT_EQ(r.used, 5);        // net means up to 0.7 x 8000 = 5600
    EXPECT_NEAR(r.K, K, 1e-9);
    // Each variance from 1e6 samples: relative error sqrt(2e-6); K's well below 0.1 %.
    EXPECT_GT(r.K_se, 0);
    EXPECT_LT(r.K_se, 1e-3 * K);
    EXPECT_NEAR(*r.sigma_y_dark, 2, 1e-12);
    EXPECT_FALSE(r.dark_at_zero);
    EXPECT_NEAR(*r.sigma_d, std::sqrt(4 - 1.0 / 12) / K, 1e-9);
    EXPECT_NEAR(*r.u_e_sat, 8000 / K, 1e-6);
    // The maximum lies between t = 7 and 9: spacing 1000 DN, 2000 e-, / sqrt(12).
    EXPECT_NEAR(*r.u_e_sat_se, 2000 / std::sqrt(12.0), 0.01 * 2000 / std::sqrt(12.0));
    EXPECT_NEAR(*r.snr_max_db, 20 * std::log10(std::sqrt(16000.0)), 1e-9);
    // u_e_min = 1/2 + sqrt(1/4 + 4 / 0.25) = 4.53113.
    EXPECT_NEAR(r.u_e_min, 0.5 + std::sqrt(16.25), 1e-9);
    EXPECT_NEAR(*r.dr_db, 20 * std::log10(16000 / (0.5 + std::sqrt(16.25))), 1e-6);
    EXPECT_NEAR(*r.dr_bits, std::log2(16000 / (0.5 + std::sqrt(16.25))), 1e-6);
    EXPECT_NEAR(*r.linearity_error, 0, 1e-9);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_FALSE(r.dark_current);
}

TEST(Channel, LinearityErrorIsHalfTheRangeOfTheDeviationsFromTheLine)
{
    // Offsets +10, -10, -10, +10 at t = 1..4 are orthogonal to 1 and t: the
    // line stays 1000 t, the deviations are 1, -0.5, -1/3, 0.25 %.
    const double offsets[7] = {10, -10, -10, 10, 0, 0, 0};
    const ChannelResult r = characterise(one_dark(), clipping_series(offsets));
    EXPECT_NEAR(*r.linearity_error, 0.75, 1e-9);
    EXPECT_NEAR(r.points[1].linearity_dev, -0.5, 1e-9);
}

TEST(Channel, NoSaturationWithoutEvidence)
{
    // Rising variances whose last one dips by one standard error: no
    // saturation, no full well, and the fit range from a reference.
    std::vector<FlatLevel> flats;
    for (int t = 1; t <= 10; ++t)
        flats.push_back(FlatLevel{double(t), moments(dark_mean + 500.0 * t, dark_var + K * 500 * t), t, 0, 0});
    flats.back().m.var = flats[8].m.var - flats[8].m.var_se();
    const ChannelResult r = characterise(one_dark(), flats);
    EXPECT_FALSE(r.saturation_reached);
    EXPECT_FALSE(r.u_e_sat);
    EXPECT_FALSE(r.dr_db);
    EXPECT_EQ(r.used, 7);  // up to 0.7 x the brightest (5000 DN) = 3500: t = 1 .. 7
    const ChannelResult borrowed = characterise(one_dark(), flats, {}, 4000);
    EXPECT_EQ(borrowed.used, 5);  // up to 0.7 x 4000 = 2800
    EXPECT_NEAR(borrowed.K, K, 1e-9);
}

TEST(Channel, WeightsComeFromTheModelNotFromTheMeasuredVariances)
{
    // No dark noise, points (1000, 500) and (2000, 800). Model weights 1 / (K x)^2
    // make K the mean of y / x, 0.45, whatever K is; weights from the measured
    // variances would favour the low point: 4.5 / 10.25 = 0.439.
    std::vector<FlatLevel> flats = {FlatLevel{1, moments(dark_mean + 1000, 500), 3, 0, 0},
                                    FlatLevel{2, moments(dark_mean + 2000, 800), 4, 0, 0}};
    const ChannelResult r = characterise(one_dark(0), flats, {}, 10000);
    EXPECT_NEAR(r.K, 0.45, 1e-9);
}

TEST(Channel, DarkPairsAtSeveralExposuresGiveDarkCurrentAndReadNoise)
{
    // Dark current 5 e-/s: the dark mean grows by K x 5 = 2.5 DN/s, the dark
    // variance by K^2 x 5 = 1.25 DN^2/s; at 0 s the variance is 4.
    std::vector<DarkLevel> darks;
    for (double t : {0.5, 5.0, 10.0})
        darks.push_back(DarkLevel{t, moments(dark_mean + 2.5 * t, dark_var + 1.25 * t), 2});
    std::vector<FlatLevel> flats;
    for (int t = 1; t <= 8; ++t)
        flats.push_back(FlatLevel{double(t), moments(dark_mean + 2.5 * t + 1000.0 * t, dark_var + 1.25 * t + K * 1000 * t),
                                  t, 0, 0});
    const ChannelResult r = characterise(darks, flats);
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_NEAR(r.K, K, 1e-9);
    EXPECT_NEAR(*r.dark_current, 5, 1e-9);
    EXPECT_NEAR(*r.dark_current_var, 5, 1e-9);
    EXPECT_GT(*r.dark_current_se, 0);
    EXPECT_TRUE(r.dark_at_zero);
    EXPECT_NEAR(*r.sigma_d, std::sqrt(4 - 1.0 / 12) / K, 1e-9);
    EXPECT_EQ(r.points[0].dark_from, "dark fit");
}

TEST(Channel, ReadNoiseBelowTheQuantisationFloorIsAnUpperLimit)
{
    const ChannelResult r = characterise(one_dark(0.15), clipping_series(nullptr, 0.15));
    EXPECT_TRUE(r.sigma_d_upper_limit);
    EXPECT_NEAR(*r.sigma_d, std::sqrt(0.24 - 1.0 / 12) / K, 1e-9);
    EXPECT_FALSE(r.sigma_d_se);
}

TEST(Channel, BlackLevelGivenTakesTheDarkVarianceFromTheIntercept)
{
    FitOptions options;
    options.black_level = dark_mean;
    const ChannelResult r = characterise(one_dark(), clipping_series(), options);
    EXPECT_NEAR(r.K, K, 1e-9);
    EXPECT_NEAR(r.dark_var, dark_var, 1e-6);
    EXPECT_NEAR(*r.sigma_d, std::sqrt(4 - 1.0 / 12) / K, 1e-6);
}

TEST(Channel, ADeviationOfManyStandardErrorsIsWarnedOfAndNoOtherIs)
{
    std::vector<FlatLevel> flats = clipping_series();
    flats[2].m.var += 10 * flats[2].m.var_se();
    const ChannelResult r = characterise(one_dark(), flats);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("plan line 13"), std::string::npos) << r.warnings[0];
}

TEST(Channel, RefusesFallingMeansBelowSaturationAndADarkNoisierThanAFlat)
{
    std::vector<FlatLevel> flats = clipping_series();
    std::swap(flats[3].m, flats[4].m);
    ChannelResult r;
    std::string error;
    // Two pairs of one exposure: the second's mean a standard error lower is scatter.
    std::vector<FlatLevel> repeated = clipping_series();
    repeated[4].m.mean = repeated[3].m.mean - repeated[3].m.mean_se();
    repeated[4].m.var = repeated[3].m.var;
    EXPECT_TRUE(prepare_channel(ch_green, one_dark(), repeated, {}, r, error)) << error;
    EXPECT_FALSE(prepare_channel(ch_green, one_dark(), flats, {}, r, error));
    EXPECT_NE(error.find("the mean falls from 5100.00 DN (plan line 14) to 4100.00 DN (plan line 15)"), std::string::npos)
        << error;
    EXPECT_FALSE(prepare_channel(ch_green, one_dark(1000), clipping_series(), {}, r, error));
    EXPECT_NE(error.find("less noisy than its dark"), std::string::npos) << error;
    std::vector<FlatLevel> dark_flats;
    for (int t = 1; t <= 5; ++t)
        dark_flats.push_back(FlatLevel{double(t), moments(dark_mean, dark_var), t, 0, 0});
    EXPECT_TRUE(prepare_channel(ch_green, one_dark(), dark_flats, {}, r, error));
    EXPECT_NE(r.failure.find("no light"), std::string::npos);
}

}  // namespace
