// ptcfit on whole series of known truth written by the series writer: every
// figure must come back within a few of its own standard errors, and the
// figures the series cannot give must be null.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "program_profiles.h"
#include "ptc/ptcfit_run.h"
#include "ptc_series.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

CapturedRun ptcfit(std::vector<std::string> args)
{
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    CapturedRun run;
    run.status = run_ptcfit(ReaderProfiles{quorva_profile(), veldix_profile()}, static_cast<int>(argv.size()),
                            argv.data(), run.out);
    return run;
}

// The value of "key" in the channel's object of the JSON text; NaN for null.
double figure(const std::string& json, const std::string& channel, const std::string& key)
{
    const size_t at = json.find("\"" + key + "\": ", json.find("\"" + channel + "\": {"));
    EXPECT_NE(at, std::string::npos) << channel << " " << key;
    const std::string rest = json.substr(std::min(at + key.size() + 4, json.size()));
    if (rest.rfind("null", 0) == 0)
        return NAN;
    if (rest.rfind("true", 0) == 0 || rest.rfind("false", 0) == 0)
        return rest[0] == 't';
    return std::stod(rest);
}

struct Case {
    const char* name;
    rawgen::SeriesSpec spec;
    int window;
};

rawgen::SeriesSpec sensor(double gain, double read_noise, double black, double white, uint32_t levels)
{
    rawgen::SeriesSpec s;
    s.width = s.height = 128;
    s.sensor.gain = gain;
    s.sensor.read_noise = read_noise;
    s.sensor.black = black;
    s.sensor.white = white;
    s.levels = levels;
    s.geometric = false;
    for (double& r : s.rate)
        r = 1000;
    return s;
}

std::vector<Case> cases()
{
    std::vector<Case> out;
    rawgen::SeriesSpec a = sensor(0.5, 5, 600, 16383, 16);  // PRNU and stuck-white pixels
    a.sensor.prnu_percent = 1;
    a.sensor.stuck_count = 20;
    out.push_back({"Prnu", a, 96});
    rawgen::SeriesSpec b = sensor(2, 4, 256, 4095, 14);  // dark current, a dark pair per level, TIFF
    b.sensor.dark_current = 40;
    b.dark_per_level = true;
    b.tiff = true;
    out.push_back({"DarkCurrent", b, 96});
    rawgen::SeriesSpec c = sensor(0.3, 6, 512, 16383, 16);  // an electron full well below the DN clip
    c.sensor.full_well = 30000;
    out.push_back({"FullWell", c, 96});
    rawgen::SeriesSpec d = sensor(1, 3, 0, 4095, 16);  // black 0: the dark frames clip there
    out.push_back({"BlackZero", d, 96});
    return out;
}

class Series : public testing::TestWithParam<Case> {};

TEST_P(Series, FiguresComeBackWithinTheirErrors)
{
    const Case& c = GetParam();
    ScratchDir dir;
    rawgen::SeriesFiles files;
    std::string error;
    ASSERT_TRUE(rawgen::write_series(dir.path(), c.spec, files, error)) << error;
    const CapturedRun run = ptcfit({"--plan", "plan.csv", "-W" + std::to_string(c.window), "-o", "out"});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string json = dir.read("out/PTC_results.json");
    const rawgen::Sensor& s = c.spec.sensor;
    const bool black_zero = s.black == 0;
    const double sat_e = rawgen::saturation_electrons(s);
    const std::vector<double> t = rawgen::series_exposures(c.spec);
    const double step_e = 1000 * (t[1] - t[0]);
    for (const char* channel : {"Red", "Green", "Blue", "Green1", "Green2"}) {
        SCOPED_TRACE(channel);
        const double k = figure(json, channel, "K"), k_se = figure(json, channel, "K_stderr");
        EXPECT_NEAR(k, s.gain, 4 * k_se);
        // A variance from 48 x 48 samples: 3 % each; K from several is better.
        EXPECT_LT(k_se, 0.03 * s.gain);
        const double sd = figure(json, channel, "sigma_d"), sd_se = figure(json, channel, "sigma_d_stderr");
        const bool limit = figure(json, channel, "sigma_d_upper_limit") == 1;
        if (limit)
            EXPECT_GT(sd, s.read_noise);
        else if (!c.spec.dark_per_level)  // one dark pair, at the first flat's exposure
            EXPECT_NEAR(sd, std::sqrt(s.read_noise * s.read_noise + s.dark_current * t[0]), 4 * sd_se);
        else
            EXPECT_NEAR(sd, s.read_noise, 4 * sd_se);
        EXPECT_EQ(limit, black_zero);  // the intercept of a short series is no precise read noise
        // Saturation at the last level short of the clip (or one before it, where
        // the noise already touches the clip).
        EXPECT_EQ(figure(json, channel, "saturation_reached"), 1);
        const double u = figure(json, channel, "u_e_sat");
        EXPECT_LE(u, sat_e + 4 * figure(json, channel, "u_e_sat_stderr"));
        EXPECT_GE(u, sat_e - 2 * step_e - 4 * k_se / k * u);
        if (s.dark_current > 0)
            EXPECT_NEAR(figure(json, channel, "dark_current_e_per_s"), s.dark_current,
                        4 * figure(json, channel, "dark_current_e_per_s_stderr"));
        else
            EXPECT_TRUE(std::isnan(figure(json, channel, "dark_current_e_per_s")));
        const double prnu = figure(json, channel, "prnu_percent");
        EXPECT_NEAR(prnu, s.prnu_percent, 4 * figure(json, channel, "prnu_percent_stderr") + 0.02);
    }
    // The stuck pixels in the window, counted by colour.
    if (s.stuck_count > 0) {
        int64_t inside = 0;
        const int64_t x0 = (128 - c.window) / 2, y0 = x0;
        for (const rawgen::PixelValue& p : rawgen::place_pixels(128, 128, s).stuck)
            inside += p.x >= x0 && p.x < x0 + c.window && p.y >= y0 && p.y < y0 + c.window;
        ASSERT_GT(inside, 0);
        EXPECT_EQ(figure(json, "Red", "stuck_pixels") + figure(json, "Green", "stuck_pixels") +
                      figure(json, "Blue", "stuck_pixels"),
                  inside);
    }
    // A linear sensor: nothing to warn of, but the clipped black when there is one.
    const bool clipped_black_warning = run.out.find("Note:  the dark frames clip at 0") != std::string::npos;
    EXPECT_EQ(clipped_black_warning, black_zero) << run.out;
    if (!black_zero) {
        EXPECT_EQ(run.out.find("Warning"), std::string::npos) << run.out;
    }
    // One CSV row per flat pair and channel.
    const std::string csv = dir.read("out/PTC_points.csv");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 5 * static_cast<long>(c.spec.levels));
}

INSTANTIATE_TEST_SUITE_P(Sensors, Series, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(Ptcfit, ColoursThatNeverClipGetNoSaturationAndNoWarnings)
{
    // White light: green four times as bright as red and blue, exposures up
    // to 1.3 x green's saturation. A 64 x 64 window and 24 levels.
    ScratchDir dir;
    rawgen::SeriesSpec s = sensor(0.8, 3, 128, 16383, 24);
    s.rate[0] = s.rate[2] = 1000;
    s.rate[1] = s.rate[3] = 4000;
    s.first_s = 0.1;
    s.last_s = 1.3 * rawgen::saturation_electrons(s.sensor) / 4000;
    rawgen::SeriesFiles files;
    std::string error;
    ASSERT_TRUE(rawgen::write_series(dir.path(), s, files, error)) << error;
    const CapturedRun run = ptcfit({"--plan", "plan.csv", "-W64"});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find("Warning"), std::string::npos) << run.out;
    const std::string json = dir.read("PTC_results.json");
    for (const char* channel : {"Red", "Blue"}) {
        EXPECT_EQ(figure(json, channel, "saturation_reached"), 0) << channel;
        for (const char* key : {"u_e_sat", "snr_max", "dr_db", "dr_bits"})
            EXPECT_TRUE(std::isnan(figure(json, channel, key))) << channel << " " << key;
        EXPECT_NEAR(figure(json, channel, "K"), 0.8, 4 * figure(json, channel, "K_stderr")) << channel;
    }
    EXPECT_EQ(figure(json, "Green", "saturation_reached"), 1);
    EXPECT_NE(run.out.find("saturation        not reached: no full well, SNR max or dynamic range\n"), std::string::npos);
}

TEST(Ptcfit, RefusesWhatItCannotMeasureAndSaysWhy)
{
    ScratchDir dir;
    rawgen::SeriesSpec s = sensor(0.5, 4, 600, 16383, 6);
    s.width = s.height = 64;
    s.last_s = 10;  // 10000 e-: well below the clip
    rawgen::SeriesFiles files;
    std::string error;
    ASSERT_TRUE(rawgen::write_series(dir.path(), s, files, error)) << error;
    const std::string head = "role,file1,file2,exposure_s\ndark,DARK01A.NEF,DARK01B.NEF,1\n";
    dir.put("junk.nef", {'J', 'U', 'N', 'K'});
    const struct {
        std::vector<std::string> args;
        std::string plan;  // written to p.csv when given
        int status;
        std::string message;  // a part of the output
    } cases[] = {
        {{"--help"}, "", 0, "Usage:  ptcfit --plan PLAN.csv"},
        {{"--bogus"}, "", 1, "Error:  unknown argument \"--bogus\"\nUsage:"},
        {{"--plan", "missing.csv"}, "", 1, "Error:  Unable to read the plan missing.csv.\n"},
        {{"--plan", "p.csv"}, head + "flat,FLAT01A.NEF,FLAT01B.NEF,1e309\n", 1, "exposure \"1e309\" is not a time"},
        {{"--plan", "p.csv"}, head + "flat,FLAT01A.NEF,FLAT01A.NEF,2\n", 1, "names FLAT01A.NEF twice"},
        {{"--plan", "p.csv"}, head + "flat,FLAT01A.NEF,FLAT01B.NEF,2\nflat,FLAT01B.NEF,FLAT01A.NEF,3\n", 1,
         "plan lines 3 and 4 name the same pair of frames"},
        {{"--plan", "p.csv"}, head + "flat,FLAT01A.NEF,FLAT01B.NEF,2\nflat,FLAT02A.NEF,junk.nef,3\n", 1,
         "Error:  junk.nef does not match FLAT02A.NEF.\nError:  plan line 4 (FLAT02A.NEF, junk.nef) cannot be measured.\n"},
        {{"--plan", "p.csv"}, head + "flat,DARK01A.NEF,DARK01B.NEF,2\nflat,FLAT01A.NEF,FLAT01B.NEF,3\n", 1,
         "plan lines 2 and 3 name the same pair"},
        {{"--plan", "p.csv", "-W2"}, head + "flat,FLAT01A.NEF,FLAT01B.NEF,2\n", 1, "Error:  The window of 2x2 pixels is too small: ptcfit needs at least 16x16"},
        {{"--plan", "plan.csv", "-W64", "-o", "a/b/c"}, "", 0, "Photon transfer: 6 flat pairs"},
    };
    dir.put_text("p.csv", head + "flat,FLAT01A.NEF,FLAT01B.NEF,2\n");
    for (const auto& c : cases) {
        if (!c.plan.empty())
            dir.put_text("p.csv", c.plan);
        const CapturedRun r = ptcfit(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << ": " << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args[0] << ": " << r.out;
    }
    EXPECT_TRUE(dir.exists("a/b/c/PTC_results.json"));
    EXPECT_TRUE(dir.exists("a/b/c/PTC_datasheet.html"));
}

TEST(Ptcfit, RefusesIdenticalFramesAndASeriesWithoutLight)
{
    ScratchDir dir;
    rawgen::SeriesSpec s = sensor(0.5, 4, 600, 16383, 4);
    s.width = s.height = 64;
    for (double& r : s.rate)
        r = 0;
    s.first_s = 1;
    s.last_s = 4;
    rawgen::SeriesFiles files;
    std::string error;
    ASSERT_TRUE(rawgen::write_series(dir.path(), s, files, error)) << error;
    CapturedRun r = ptcfit({"--plan", "plan.csv", "-W64"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error:  Green: no flat pair is brighter than the dark: no light reached these pixels.\n"),
              std::string::npos) << r.out;
    std::filesystem::copy_file(dir.path() + "/FLAT02A.NEF", dir.path() + "/COPY.NEF");
    dir.put_text("copy.csv", "role,file1,file2\ndark,DARK01A.NEF,DARK01B.NEF\nflat,FLAT02A.NEF,COPY.NEF\n");
    r = ptcfit({"--plan", "copy.csv", "-W64"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("plan line 3 (FLAT02A.NEF, COPY.NEF): the two frames are identical"), std::string::npos) << r.out;
}

}  // namespace
