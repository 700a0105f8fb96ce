// The photon-transfer frames checked against the physics they claim: Poisson counts
// with the right distribution, frames whose mean and variance follow
// K^2 (mu_e + sigma_e^2) + 1/12, the fixed pattern shared by the frames of one
// sensor, the soft knee, and a series whose plan ptcfit reads.
#include "photon_transfer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "input/nef_probe.h"
#include "ptc/plan.h"
#include "ptc_series.h"
#include "support/run_capture.h"

namespace {

struct Moments {
  double n = 0, sum = 0, sum2 = 0;
  void add(double v) { n += 1, sum += v, sum2 += v * v; }
  double mean() const { return sum / n; }
  double variance() const { return (sum2 - sum * sum / n) / (n - 1); }
};

// ---------------------------------------------------------------------------

class PoissonSampler : public testing::TestWithParam<double> {};

// Mean and variance within 5 standard errors of mu (the variance of a sample
// variance of n Poisson draws is about (mu + 2 mu^2) / n), and the whole
// distribution by a chi-square test against the probabilities exp(-mu) mu^k / k!.
TEST_P(PoissonSampler, DrawsFollowThePoissonDistribution) {
  const double mu = GetParam();
  constexpr int kDraws = 200000;
  rawgen::NormalSource source(42);
  std::map<uint64_t, double> seen;
  Moments m;
  for (int i = 0; i < kDraws; ++i) {
    const uint64_t k = rawgen::poisson(source, mu);
    m.add(static_cast<double>(k));
    seen[k] += 1;
  }
  EXPECT_NEAR(m.mean(), mu, 5 * std::sqrt(mu / kDraws));
  EXPECT_NEAR(m.variance(), mu, 5 * std::sqrt((mu + 2 * mu * mu) / kDraws));
  if (mu == 0) return;

  // Chi-square over the values expected at least 20 times, all others (both
  // tails) in one bin.
  const auto expected = [&](double k) { return kDraws * std::exp(-mu + k * std::log(mu) - std::lgamma(k + 1)); };
  const double sd = std::sqrt(mu);
  double chi2 = 0, rest_seen = kDraws, rest_expected = kDraws;
  int bins = 1;
  for (double k = std::max(0.0, std::floor(mu - 12 * sd)); k < mu + 12 * sd + 20; ++k)
    if (const double e = expected(k); e >= 20) {
      const double o = seen.count(uint64_t(k)) ? seen[uint64_t(k)] : 0.0;
      chi2 += (o - e) * (o - e) / e, ++bins;
      rest_seen -= o, rest_expected -= e;
    }
  chi2 += (rest_seen - rest_expected) * (rest_seen - rest_expected) / rest_expected;
  // P(chi2 > df + 6 sqrt(2 df)) is below 1e-5 for these degrees of freedom.
  EXPECT_LT(chi2, (bins - 1) + 6 * std::sqrt(2.0 * (bins - 1))) << bins << " bins";
}

// Inversion below a mean of 10, rejection from 10 on.
INSTANTIATE_TEST_SUITE_P(SmallAndLargeMeans, PoissonSampler,
                         testing::Values(0.0, 0.3, 4.0, 9.99, 10.0, 37.5, 1e4, 2.5e6),
                         [](const testing::TestParamInfo<double>& param) {
                           std::string name = "Mean" + std::to_string(param.param);
                           for (char& c : name)
                             if (c == '.') c = '_';
                           return name;
                         });

// ---------------------------------------------------------------------------

struct FrameCase {
  const char* name;
  double electrons[4];
  double seconds;
  rawgen::Sensor sensor;
};

class TransferFrames : public testing::TestWithParam<FrameCase> {};

// Two frames of one sensor (same pattern seed), 256 x 256, per plane:
//   mean           = black + K (mu_e + dark)
//   var(A - B) / 2 = K^2 (mu_e + dark + sigma_e^2) + 1/12      the temporal noise
//   var(A)         = that + K^2 ((prnu mu_e)^2 + dsnu^2)       plus the fixed pattern
// within 5 standard errors (a variance of n samples has SE var sqrt(2 / n)).
TEST_P(TransferFrames, MeanAndVarianceFollowTheTransferRelation) {
  const FrameCase& c = GetParam();
  rawgen::Exposure e1{.seconds = c.seconds, .seed = 1}, e2{.seconds = c.seconds, .seed = 2};
  std::copy(c.electrons, c.electrons + 4, e1.electrons);
  std::copy(c.electrons, c.electrons + 4, e2.electrons);
  const rawgen::Image a = rawgen::make_exposure(256, 256, c.sensor, e1);
  const rawgen::Image b = rawgen::make_exposure(256, 256, c.sensor, e2);
  EXPECT_EQ(a.samples, rawgen::make_exposure(256, 256, c.sensor, e1).samples);

  Moments single[4], diff[4];
  for (uint32_t y = 0; y < 256; ++y)
    for (uint32_t x = 0; x < 256; ++x) {
      const auto p = static_cast<size_t>(rawgen::plane_of(x, y));
      single[p].add(a.at(x, y));
      diff[p].add(double(a.at(x, y)) - b.at(x, y));
    }
  const rawgen::Sensor& s = c.sensor;
  for (size_t p = 0; p < 4; ++p) {
    SCOPED_TRACE(p);
    const double mu_e = c.electrons[p] + s.dark_current * c.seconds;
    const double temporal = s.gain * s.gain * (mu_e + s.read_noise * s.read_noise) + 1.0 / 12;
    const double pattern = std::pow(s.gain * c.electrons[p] * s.prnu_percent / 100, 2) + std::pow(s.gain * s.dsnu, 2);
    const double n = single[p].n;
    EXPECT_NEAR(single[p].mean(), s.black + s.gain * mu_e, 5 * std::sqrt((temporal + pattern) / n));
    EXPECT_NEAR(diff[p].variance() / 2, temporal, 5 * temporal * std::sqrt(2 / n));
    EXPECT_NEAR(single[p].variance(), temporal + pattern, 5 * (temporal + pattern) * std::sqrt(2 / n));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransferFrames,
    testing::Values(
        // Read noise of 1 DN: the 1/12 of the rounding is 8 % of the variance.
        FrameCase{"read_noise_and_rounding", {0, 0, 0, 0}, 0, {.gain = 2, .read_noise = 0.5, .black = 512}},
        FrameCase{"dark_current_and_dsnu", {0, 0, 0, 0}, 2,
                  {.gain = 2, .read_noise = 0.5, .black = 512, .dsnu = 5, .dark_current = 50}},
        FrameCase{"light_with_prnu",
                  {500, 2000, 8000, 2000},
                  0,
                  {.gain = 0.5, .read_noise = 4, .black = 600, .prnu_percent = 1, .pattern_seed = 9}}),
    [](const testing::TestParamInfo<FrameCase>& param) { return std::string(param.param.name); });

TEST(TransferFrames, ASoftKneeBelowTheWhiteClip) {
  // Knee at 12000 below the clip 16383 (span 4383): slope 1 up to the knee, then
  // 12000 + 4383 (1 - exp(-d / 4383)).
  const rawgen::Sensor knee{.white = 16383, .knee = 12000};
  EXPECT_EQ(rawgen::knee_response(knee, 11000), 11000);
  EXPECT_NEAR(rawgen::knee_response(knee, 12000 + 4383), 12000 + 4383 * (1 - std::exp(-1.0)), 1e-9);
  EXPECT_NEAR(rawgen::knee_response(knee, 12001) - 12000, 1, 1e-3);
  EXPECT_NEAR(rawgen::knee_response(knee, 12000 + 3 * 4383), 12000 + 4383 * (1 - std::exp(-3.0)), 1e-9);
}

// ---------------------------------------------------------------------------

// Saturation at the full well, 20000 e- (the clip would allow (16383 - 600) / 0.5);
// the dimmest plane, 500 e-/s, reaches it at 40 s, so the flats end at 52 s.
TEST(PtcSeries, ExposuresReachPastSaturationAndThePlanReadsBack) {
  rawgen::SeriesSpec setup{.width = 16, .height = 8, .sensor = {.gain = 0.5, .read_noise = 3, .black = 600,
                                                               .full_well = 20000},
                          .rate = {1000, 2000, 500, 2000}, .levels = 3, .geometric = false};
  EXPECT_EQ(rawgen::saturation_electrons(setup.sensor), 20000);
  const std::vector<double> linear = rawgen::series_exposures(setup);
  ASSERT_EQ(linear.size(), 3u);
  EXPECT_DOUBLE_EQ(linear[0], 52.0 / 3);
  EXPECT_DOUBLE_EQ(linear[1], 104.0 / 3);
  EXPECT_DOUBLE_EQ(linear[2], 52);
  setup.geometric = true;  // half-stop steps: 52 / 2, 52 / sqrt 2, 52
  const std::vector<double> geometric = rawgen::series_exposures(setup);
  ASSERT_EQ(geometric.size(), 3u);
  EXPECT_DOUBLE_EQ(geometric[0], 26);
  EXPECT_DOUBLE_EQ(geometric[1], 52 / std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(geometric[2], 52);

  const ScratchDir scratch;
  const std::string dir = scratch.path() + "/";
  rawgen::SeriesFiles written;
  std::string error;
  ASSERT_TRUE(rawgen::write_series(dir, setup, written, error)) << error;
  EXPECT_EQ(written.plan_csv,
            "role,file1,file2,exposure_s\n"
            "dark,DARK01A.NEF,DARK01B.NEF,26\n"
            "flat,FLAT01A.NEF,FLAT01B.NEF,26\n"
            "flat,FLAT02A.NEF,FLAT02B.NEF,36.76955262\n"
            "flat,FLAT03A.NEF,FLAT03B.NEF,52\n");
  // The first flat: B at black + K x 13000 (shot noise 57 DN on 32 samples), the
  // greens clipped at the full well, black + K x 20000 (read noise alone).
  const ProbedFile flat = probe_file(nef_probe, dir + "FLAT01B.NEF");
  ASSERT_EQ(flat.samples.size(), 128u);
  Moments planes[4];
  for (uint32_t y = 0; y < 8; ++y)
    for (uint32_t x = 0; x < 16; ++x) planes[size_t(rawgen::plane_of(x, y))].add(flat.samples[y * 16 + x]);
  EXPECT_NEAR(planes[2].mean(), 7100, 50);
  EXPECT_NEAR(planes[1].mean(), 10600, 2);
  EXPECT_NEAR(planes[3].mean(), 10600, 2);

  const std::optional<Plan> read = parse_plan(scratch.read("plan.csv"), error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(read->flats.size(), 3u);
  EXPECT_NE(written.truth_json.find("\"gain_dn_per_e\": 0.5,"), std::string::npos);
  EXPECT_NE(written.truth_json.find("\"saturation_e\": 20000,"), std::string::npos);
  EXPECT_NE(written.truth_json.find("\"exposure_s\": 52, \"signal_e\": [52000, 104000, 26000, 104000]"),
            std::string::npos);
}

}  // namespace
