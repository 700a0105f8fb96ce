// ptcfit on whole series of known truth written by the series writer: every
// figure must come back within a few of its own standard errors, the figures
// the series cannot give must be null, and what cannot be measured refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "program_profiles.h"
#include "ptc/ptcfit_run.h"
#include "ptc_series.h"
#include "support/run_capture.h"

namespace {

CapturedRun ptcfit(std::vector<const char*> args)
{
    CapturedRun run;
    run.status = run_ptcfit(ReaderProfiles{quorva_profile(), veldix_profile()}, static_cast<int>(args.size()), args.data(), run.out);
    return run;
}

// The value of "key" in the channel's object of the JSON text: NaN for null, 1 for true.
double figure(const std::string& json, const std::string& channel, const std::string& key)
{
    const size_t at = json.find("\"" + key + "\": ", json.find("\"" + channel + "\": {"));
    EXPECT_NE(at, std::string::npos) << channel << " " << key;
    const std::string rest = json.substr(std::min(at + key.size() + 4, json.size()));
    return rest.rfind("null", 0) == 0 ? NAN : rest[0] == 't' || rest[0] == 'f' ? rest[0] == 't' : std::stod(rest);
}

// 128 x 128 pixels, 1000 e-/s in every plane, exposures in equal steps.
rawgen::SeriesSpec series(const rawgen::Sensor& sensor, uint32_t levels)
{
    return rawgen::SeriesSpec{.width = 128, .height = 128, .sensor = sensor, .rate = {1000, 1000, 1000, 1000},
                              .levels = levels, .geometric = false};
}

using Case = std::pair<const char*, rawgen::SeriesSpec>;

std::vector<Case> cases()
{
    // PRNU and stuck-white pixels, under white light: green four times as
    // bright as red and blue, up to 1.3 x green's saturation.
    rawgen::SeriesSpec a = series({.gain = 0.5, .read_noise = 5, .black = 600, .prnu_percent = 1, .stuck_count = 20}, 24);
    a.rate[1] = a.rate[3] = 4000;
    a.last_s = 1.3 * rawgen::saturation_electrons(a.sensor) / 4000;
    // Dark current, a dark pair per level, TIFF.
    rawgen::SeriesSpec b = series({.gain = 2, .read_noise = 4, .black = 256, .white = 4095, .dark_current = 40}, 14);
    b.dark_per_level = b.tiff = true;
    // A full well below the clip; hot pixels. Black 0: the dark frames clip there.
    rawgen::SeriesSpec c = series({.gain = 0.3, .read_noise = 6, .black = 512, .full_well = 30000, .hot_count = 30, .hot_current = 300}, 16);
    rawgen::SeriesSpec d = series({.gain = 1, .read_noise = 3, .black = 0, .white = 4095}, 16);
    return {{"WhiteLight", a}, {"DarkCurrent", b}, {"FullWell", c}, {"BlackZero", d}};
}

class Series : public testing::TestWithParam<Case> {};

TEST_P(Series, FiguresComeBackWithinTheirErrors)
{
    const rawgen::SeriesSpec& setup = GetParam().second;
    const rawgen::Sensor& s = setup.sensor;
    ScratchDir dir;
    rawgen::SeriesFiles files;
    std::string error;
    ASSERT_TRUE(rawgen::write_series(dir.path(), setup, files, error)) << error;
    const CapturedRun run = ptcfit({"--plan", "plan.csv", "-W96", "-o", "out"});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string json = dir.read("out/PTC_results.json");
    const std::vector<double> t = rawgen::series_exposures(setup);
    const double sat_e = rawgen::saturation_electrons(s), step_e = 1000 * (t[1] - t[0]);
    int prnu_limits = 0;
    for (const char* channel : {"Red", "Green", "Blue", "Green1", "Green2"}) {
        SCOPED_TRACE(channel);
        auto value = [&](const char* key) { return figure(json, channel, key); };
        const double k = value("K"), k_se = value("K_stderr");
        EXPECT_NEAR(k, s.gain, 4 * k_se);
        EXPECT_LT(k_se, 0.03 * s.gain);  // a variance from 48 x 48 samples: 3 % each
        // One dark pair: the dark noise at the first flat's exposure; clipped at 0, a limit a little above it.
        const double sd = value("sigma_d");
        const double true_sd = std::sqrt(s.read_noise * s.read_noise + (setup.dark_per_level ? 0 : s.dark_current * t[0]));
        EXPECT_EQ(value("sigma_d_upper_limit"), s.black == 0);
        if (s.black == 0)
            EXPECT_TRUE(sd > true_sd && sd < 1.1 * true_sd) << sd;
        else
            EXPECT_NEAR(sd, true_sd, 4 * value("sigma_d_stderr"));
        // Saturation at the last level short of the clip (or one before, where the noise
        // touches it). Red and blue under white light get a quarter of green's light and
        // never clip; their fit range is green's: all their pairs lie below 70 % of it.
        const bool dim = setup.rate[0] < setup.rate[1] && channel[0] != 'G';
        EXPECT_EQ(value("saturation_reached"), !dim);
        const double u = value("u_e_sat");
        if (dim) {
            EXPECT_TRUE(std::isnan(u) && std::isnan(value("dr_db")));
            EXPECT_EQ(value("points"), setup.levels);
        } else {
            EXPECT_LE(u, sat_e + 4 * value("u_e_sat_stderr"));
            EXPECT_GE(u, sat_e - 2 * step_e * setup.rate[1] / 1000 - 4 * k_se / k * u);
        }
        if (s.dark_current > 0)
            EXPECT_NEAR(value("dark_current_e_per_s"), s.dark_current, 4 * value("dark_current_e_per_s_stderr"));
        else
            EXPECT_TRUE(std::isnan(value("dark_current_e_per_s")));
        // Hot pixels would count as PRNU here (the dark pair is of another exposure).
        EXPECT_NEAR(value("prnu_percent"), s.prnu_percent, 4 * value("prnu_percent_stderr") + 0.02);
        prnu_limits += !std::isnan(value("prnu_percent_upper_limit"));
    }
    // A PRNU of 0 is not resolved from the temporal noise; one of 1 % is.
    EXPECT_EQ(prnu_limits >= 3, s.prnu_percent == 0) << prnu_limits;
    // The stuck pixels in the window, counted by colour.
    int64_t stuck = 0;
    for (const rawgen::PixelValue& p : rawgen::place_pixels(128, 128, s).stuck)
        stuck += p.x >= 16 && p.x < 112 && p.y >= 16 && p.y < 112;
    EXPECT_EQ(figure(json, "Red", "stuck_pixels") + figure(json, "Green", "stuck_pixels") + figure(json, "Blue", "stuck_pixels"),
              stuck);
    // A linear sensor: no warning; a note on the clipped black.
    EXPECT_EQ(run.out.find("Warning"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Note:  the dark frames clip at 0") != std::string::npos, s.black == 0) << run.out;
    // One CSV row per flat pair and channel; the pairs left out named in the plot's legend.
    const std::string csv = dir.read("out/PTC_points.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 5 * static_cast<long>(setup.levels));
    EXPECT_NE(dir.read("out/ptc-curve.svg").find("left out of the fit"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Sensors, Series, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.first); });

TEST(Ptcfit, RefusesWhatItCannotMeasureAndSaysWhy)
{
    ScratchDir dir;
    rawgen::SeriesSpec s = series({.gain = 0.5, .read_noise = 4, .black = 600}, 6);
    s.width = s.height = 64;
    s.last_s = 10;  // 10000 e-: well below the clip
    s.dark_per_level = true;
    rawgen::SeriesFiles files;
    std::string error;
    ASSERT_TRUE(rawgen::write_series(dir.path(), s, files, error)) << error;
    std::filesystem::copy_file(dir.path() + "/FLAT02A.NEF", dir.path() + "/COPY.NEF");
    dir.put("junk.nef", {'J', 'U', 'N', 'K'});
    const std::string head = "role,file1,file2,exposure_s\ndark,DARK01A.NEF,DARK01B.NEF,1\n";
    const struct {
        std::vector<const char*> args;
        std::string plan;  // written to p.csv when given
        int status;
        std::string message;  // a part of the output
    } cases[] = {
        {{"--help"}, "", 0, "Usage:  ptcfit --plan PLAN.csv"},
        {{"--plan", "missing.csv"}, "", 1, "Error:  Unable to read the plan missing.csv.\n"},
        {{"--plan", "p.csv"}, head + "flat,FLAT01A.NEF,FLAT01B.NEF,2\nflat,FLAT02A.NEF,junk.nef,3\n", 1,
         "Error:  junk.nef does not match FLAT02A.NEF.\nError:  plan line 4 (FLAT02A.NEF, junk.nef) cannot be measured.\n"},
        {{"--plan", "p.csv"}, head + "flat,FLAT02A.NEF,COPY.NEF,2\n", 1, "plan line 3 (FLAT02A.NEF, COPY.NEF): the two frames are identical"},
        {{"--plan", "p.csv"}, head + "flat,DARK02A.NEF,DARK02B.NEF,2\nflat,DARK03A.NEF,DARK03B.NEF,3\n", 1,
         "Error:  Green: no flat pair is brighter than the dark: no light reached these pixels.\n"},
        {{"--plan", "p.csv", "-W2"}, head + "flat,FLAT01A.NEF,FLAT01B.NEF,2\n", 1,
         "Error:  The window of 2x2 pixels is too small: ptcfit needs at least 16x16"},
        {{"--plan", "plan.csv", "-W64", "-o", "a/b/c"}, "", 0, "Photon transfer: 6 flat pairs"},
    };
    for (const auto& c : cases) {
        if (!c.plan.empty())
            dir.put_text("p.csv", c.plan);
        const CapturedRun r = ptcfit(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << ": " << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args[0] << ": " << r.out;
    }
    EXPECT_TRUE(dir.exists("a/b/c/PTC_datasheet.html"));
}

}  // namespace
