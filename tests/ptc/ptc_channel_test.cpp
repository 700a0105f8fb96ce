// The characterisation of one channel from points that follow the model
// exactly (a million pixels each, so their errors are small): every figure
// is the EMVA formula applied to the model's numbers.
#include <gtest/gtest.h>

#include <cmath>

#include "ptc/characterise.h"

namespace {

constexpr double K = 0.5, dark_mean = 100, dark_var = 4;

ChannelMoments moments(double mean, double var)
{
    return ChannelMoments{.n = 1000000, .mean = mean, .var = var};
}

// Flats at t = 1 .. 10 s (plan lines 11 ..) with net means 1000 t DN and
// variance dark + K x net; from t = 9 on the signal clips: the variance
// falls, the samples pile up, the plateau scatters.
std::vector<FlatLevel> clipping_series(double dark_variance = dark_var)
{
    std::vector<FlatLevel> flats;
    for (int t = 1; t <= 10; ++t) {
        const double net = t < 9 ? 1000.0 * t : t == 9 ? 8900 : 8800;
        const double var = t < 9 ? dark_variance + K * net : t == 9 ? 1000 : 10;
        flats.push_back(FlatLevel{double(t), moments(dark_mean + net, var), 10 + t, t < 9 ? 0 : 0.5, 0});
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
    EXPECT_EQ(r.saturation, 7);  // t = 8, the largest variance
    EXPECT_EQ(r.used, 5);        // net means up to 0.7 x 8000 = 5600
    EXPECT_NEAR(r.K, K, 1e-9);
    // Each variance from 1e6 samples: relative error sqrt(2e-6); K's well below 0.1 %.
    EXPECT_GT(r.K_se, 0);
    EXPECT_LT(r.K_se, 1e-3 * K);
    EXPECT_NEAR(*r.sigma_d, std::sqrt(4 - 1.0 / 12) / K, 1e-9);
    EXPECT_NEAR(*r.u_e_sat, 8000 / K, 1e-6);
    // The maximum lies between t = 7 and 9: spacing 1000 DN, 2000 e-, / sqrt(12).
    EXPECT_NEAR(*r.u_e_sat_se, 2000 / std::sqrt(12.0), 0.01 * 2000 / std::sqrt(12.0));
    EXPECT_NEAR(*r.snr_max_db, 20 * std::log10(std::sqrt(16000.0)), 1e-9);
    // u_e_min = 1/2 + sqrt(1/4 + 4 / 0.25) = 4.53113.
    EXPECT_NEAR(*r.dr_db, 20 * std::log10(16000 / (0.5 + std::sqrt(16.25))), 1e-6);
    EXPECT_NEAR(*r.dr_bits, std::log2(16000 / (0.5 + std::sqrt(16.25))), 1e-6);
    EXPECT_TRUE(r.warnings.empty());
    // A deviation of ten standard errors is warned of, naming its plan line.
    std::vector<FlatLevel> flats = clipping_series();
    flats[2].m.var += 10 * flats[2].m.var_se();
    const std::vector<std::string> warned = characterise(one_dark(), flats).warnings;
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_NE(warned[0].find("plan line 13"), std::string::npos) << warned[0];
}

TEST(Channel, LinearityErrorIsHalfTheRangeOfTheDeviationsFromTheLine)
{
    // Offsets +10, -10, -10, +10 DN at t = 1..4 are orthogonal to 1 and t: the
    // line stays 1000 t, the deviations are 1, -0.5, -1/3, 0.25 %. The error:
    // the extremes' (t = 1 and 2), sqrt(var / 2n) = sqrt(504 / 2e6) DN and
    // sqrt(1004 / 2e6) DN, in percent of 1000 and 2000 DN, halved.
    std::vector<FlatLevel> flats = clipping_series();
    for (int t = 1; t <= 4; ++t)
        flats[t - 1].m.mean += (t == 1 || t == 4) ? 10 : -10;
    const ChannelResult r = characterise(one_dark(), flats);
    EXPECT_NEAR(*r.linearity_error, 0.75, 1e-9);
    EXPECT_NEAR(r.points[1].linearity_dev, -0.5, 1e-9);
    EXPECT_NEAR(*r.linearity_error_se, std::hypot(0.1 * std::sqrt(504 / 2e6), 0.05 * std::sqrt(1004 / 2e6)) / 2, 1e-6);
}

TEST(Channel, NoSaturationWithoutEvidenceAndKFromThePairsBelowIt)
{
    // Rising variances whose last one dips by one standard error, its samples
    // touching the clip: no significant drop, so no saturation and no full
    // well; the fit range from the brightest pair, or a reference.
    std::vector<FlatLevel> flats;
    for (int t = 1; t <= 10; ++t)
        flats.push_back(FlatLevel{double(t), moments(dark_mean + 500.0 * t, dark_var + K * 500 * t), t, 0, 0});
    flats.back().m.var = flats[8].m.var - flats[8].m.var_se();
    flats.back().clip_share = 0.003;
    ChannelResult r = characterise(one_dark(), flats);
    EXPECT_FALSE(r.saturation_reached);
    EXPECT_FALSE(r.u_e_sat);
    EXPECT_EQ(r.used, 7);  // up to 0.7 x the brightest (5000 DN) = 3500: t = 1 .. 7
    EXPECT_EQ(characterise(one_dark(), flats, {}, 4000).used, 5);  // up to 0.7 x 4000 = 2800
    // Saturation at the first level: nothing below 70 % of it, so the one
    // unclipped pair gives K, with a warning.
    r = characterise(one_dark(), {FlatLevel{1, moments(dark_mean + 8000, dark_var + 4000), 3, 0, 0},
                                  FlatLevel{2, moments(dark_mean + 8900, 10), 4, 0.9, 0}});
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_NEAR(r.K, K, 1e-9);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("no flat pair below 70 % of its saturation"), std::string::npos) << r.warnings[0];
}

TEST(Channel, WeightsComeFromTheModelNotFromTheMeasuredVariances)
{
    // No dark noise, points (1000, 500) and (2000, 800). Model weights 1 / (K x)^2
    // make K the mean of y / x, 0.45, whatever K is; weights from the measured
    // variances would favour the low point: 4.5 / 10.25 = 0.439. A pair with
    // 1 % of its samples at 0 is left out, whatever its variance.
    const ChannelResult r = characterise(one_dark(0),
                                         {FlatLevel{0.5, moments(dark_mean + 500, 20), 3, 0, 0.01},
                                          FlatLevel{1, moments(dark_mean + 1000, 500), 4, 0, 0},
                                          FlatLevel{2, moments(dark_mean + 2000, 800), 5, 0, 0}},
                                         {}, 10000);
    EXPECT_NEAR(r.K, 0.45, 1e-9);
    EXPECT_EQ(r.used, 2);
}

TEST(Channel, ReadNoiseIsALimitBelowTheQuantisationFloorOrFromAClippedDark)
{
    ChannelResult r = characterise(one_dark(0.15), clipping_series(0.15));
    EXPECT_TRUE(r.sigma_d_upper_limit);
    EXPECT_NEAR(*r.sigma_d, std::sqrt(0.24 - 1.0 / 12) / K, 1e-9);
    EXPECT_FALSE(r.sigma_d_se);
    // A dark cut at 0: its variance holds the fixed pattern too; the limit
    // two standard errors up, 4 + 2 x 4 sqrt(2 / (1e6 - 1)).
    std::vector<DarkLevel> clipped = one_dark();
    clipped[0].censored = true;
    r = characterise(clipped, clipping_series());
    EXPECT_TRUE(r.sigma_d_upper_limit);
    EXPECT_NEAR(*r.sigma_d, std::sqrt(4 + 8 * std::sqrt(2 / (1e6 - 1)) - 1.0 / 12) / K, 1e-9);
    // A black level given: the dark variance from the fit's intercept.
    r = characterise(one_dark(), clipping_series(), FitOptions{.black_level = dark_mean});
    EXPECT_NEAR(r.dark_var, dark_var, 1e-6);
    EXPECT_FALSE(r.sigma_d_upper_limit);
}

TEST(Channel, RefusesFallingMeansBelowSaturationAndADarkNoisierThanAFlat)
{
    ChannelResult r;
    std::string error;
    // Two pairs of one exposure: the second's mean a standard error lower is scatter.
    std::vector<FlatLevel> flats = clipping_series();
    flats[4].m.mean = flats[3].m.mean - flats[3].m.mean_se();
    flats[4].m.var = flats[3].m.var;
    EXPECT_TRUE(prepare_channel(ch_green, one_dark(), flats, {}, r, error)) << error;
    flats = clipping_series();
    std::swap(flats[3].m, flats[4].m);
    EXPECT_FALSE(prepare_channel(ch_green, one_dark(), flats, {}, r, error));
    EXPECT_NE(error.find("the mean falls from 5100.00 DN (plan line 14) to 4100.00 DN (plan line 15)"), std::string::npos)
        << error;
    EXPECT_FALSE(prepare_channel(ch_green, one_dark(1000), clipping_series(), {}, r, error));
    EXPECT_NE(error.find("less noisy than its dark"), std::string::npos) << error;
}

}  // namespace
