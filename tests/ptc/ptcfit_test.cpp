// ptcfit on synthetic series of known gain, read noise, black level and full
// well: the figures must come back within the measurement's own precision.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "plot/svg_inspect.h"
#include "program_profiles.h"
#include "ptc/plan.h"
#include "ptc/ptc_fit.h"
#include "ptc/ptcfit_run.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

struct Series {
    double gain = 0.5;       // DN per electron
    double read_noise = 3;   // DN
    double black = 600;      // DN
    std::vector<double> signals;  // DN above black, one flat pair each
    bool tiff = false;
    uint32_t size = 256;
    uint16_t white = 16383;  // the sensor's clip level
    uint64_t seed = 0;
};

// Each frame: every plane at black + signal with noise of variance
// gain x signal + read noise^2, rounded and clipped at full scale by the writer.
rawgen::Image frame(const Series& s, double signal, uint64_t seed)
{
    rawgen::Content content;
    content.seed = seed + 1000 * s.seed;
    for (auto& plane : content.plane) {
        plane.level = s.black + signal;
        plane.noise_sd = std::sqrt(s.gain * signal + s.read_noise * s.read_noise);
    }
    rawgen::Image image = rawgen::make_image(s.size, s.size, content);
    for (uint16_t& v : image.samples)
        v = std::min(v, s.white);
    return image;
}

void write_frame(const ScratchDir& dir, const Series& s, const std::string& name, double signal, uint64_t seed)
{
    const rawgen::Image image = frame(s, signal, seed);
    dir.put(name, s.tiff ? rawgen::make_tiff(image) : rawgen::make_nef(image));
}

// Writes the series and its plan; returns the plan text.
std::string write_series(const ScratchDir& dir, const Series& s, bool with_exposures = true)
{
    const std::string ext = s.tiff ? ".tif" : ".nef";
    std::string plan = with_exposures ? "role,file1,file2,exposure_s\n" : "role,file1,file2\n";
    write_frame(dir, s, "d1" + ext, 0, 1);
    write_frame(dir, s, "d2" + ext, 0, 2);
    plan += "dark,d1" + ext + ",d2" + ext + (with_exposures ? ",0\n" : "\n");
    for (size_t i = 0; i < s.signals.size(); ++i) {
        const std::string a = "f" + std::to_string(i) + "a" + ext;
        const std::string b = "f" + std::to_string(i) + "b" + ext;
        write_frame(dir, s, a, s.signals[i], 100 + 2 * i);
        write_frame(dir, s, b, s.signals[i], 101 + 2 * i);
        plan += "flat," + a + "," + b;
        if (with_exposures)
            plan += "," + std::to_string(0.001 * static_cast<double>(i + 1));
        plan += "\n";
    }
    dir.put_text("plan.csv", plan);
    return plan;
}

std::vector<double> geometric(double first, double ratio, int count)
{
    std::vector<double> v;
    for (int i = 0; i < count; ++i)
        v.push_back(first * std::pow(ratio, i));
    return v;
}

CapturedRun ptcfit(std::vector<std::string> args)
{
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* console = ::open_memstream(&buffer, &size);
    CapturedRun run;
    run.status = run_ptcfit(ReaderProfiles{quorva_profile(), veldix_profile()}, static_cast<int>(argv.size()),
                            argv.data(), console);
    std::fclose(console);
    run.out.assign(buffer, size);
    std::free(buffer);
    return run;
}

// The number after "key": inside the colour's object of the JSON text.
double json_figure(const std::string& json, const std::string& colour, const std::string& key)
{
    const size_t block = json.find("\"" + colour + "\": {");
    const size_t at = json.find("\"" + key + "\": ", block);
    EXPECT_NE(block, std::string::npos);
    EXPECT_NE(at, std::string::npos);
    const std::string rest = json.substr(at + key.size() + 4);
    if (rest.rfind("null", 0) == 0)
        return NAN;
    return std::stod(rest);
}

TEST(Ptcfit, RecoversGainReadNoiseAndFullWellOfAKnownSeries)
{
    for (bool tiff : {false, true}) {
        ScratchDir dir;
        Series s;
        s.tiff = tiff;
        // 50 DN to 22500 DN: the last pair lies above full scale (16383 - 600).
        s.signals = geometric(50, 1.6, 14);
        write_series(dir, s);
        const CapturedRun run = ptcfit({"--plan", "plan.csv", "-o", "out"});
        ASSERT_EQ(run.status, 0) << run.out;

        const std::string json = dir.read("out/PTC_results.json");
        for (const char* colour : {"Red", "Green", "Blue"}) {
            EXPECT_NEAR(json_figure(json, colour, "K"), s.gain, 0.02 * s.gain) << colour;
            const double read_noise_e = s.read_noise / s.gain;
            EXPECT_NEAR(json_figure(json, colour, "sigma_d"), read_noise_e, 0.05 * read_noise_e) << colour;
            EXPECT_NEAR(json_figure(json, colour, "sigma_y_dark"), std::sqrt(9.0 + 1.0 / 12), 0.05 * 3) << colour;
            // Saturation: the brightest pair below full scale, 50 x 1.6^12 DN.
            const double full_well_e = 50 * std::pow(1.6, 12) / s.gain;
            EXPECT_NEAR(json_figure(json, colour, "u_e_sat"), full_well_e, 0.02 * full_well_e) << colour;
            EXPECT_NEAR(json_figure(json, colour, "snr_max"), std::sqrt(full_well_e), 0.02 * std::sqrt(full_well_e));
            const double dr = full_well_e / read_noise_e;
            EXPECT_NEAR(json_figure(json, colour, "dr_db"), 20 * std::log10(dr), 0.5) << colour;
            EXPECT_NEAR(json_figure(json, colour, "dr_bits"), std::log2(dr), 0.1) << colour;
            // Pairs 1 to 12 lie below 0.7 x saturation's net mean.
            EXPECT_EQ(json_figure(json, colour, "points"), 12) << colour;
        }
        EXPECT_NE(run.out.find("saturation at pair 13)"), std::string::npos) << run.out;

        // The transfer curve: per colour the 12 fitted pairs as markers, the
        // other two as crosses; each colour's saturation point.
        const plot_test::XmlDocument curve = plot_test::parse_xml(dir.read("out/ptc-curve.svg"));
        ASSERT_TRUE(curve.ok) << curve.error;
        std::vector<const plot_test::XmlNode*> series;
        plot_test::collect(curve.root, [](const plot_test::XmlNode& n) { return n.attr("class") == "series"; },
                           series);
        size_t fitted = 0, crosses = 0, saturation = 0;
        for (const plot_test::XmlNode* g : series) {
            const size_t markers = plot_test::parts_of(*g, "markers").size();
            if (g->attr("data-name").rfind("Green (K 0.", 0) == 0)
                fitted += markers;
            else if (g->attr("data-name") == "saturation")
                saturation += markers;
            else if (g->attr("data-name").empty() && g->attr("data-kind") == "markers")
                crosses += markers;
        }
        EXPECT_EQ(fitted, 12u);
        EXPECT_EQ(crosses, 3u * 2);
        EXPECT_EQ(saturation, 3u);  // one per colour
        const plot_test::XmlDocument noise = plot_test::parse_xml(dir.read("out/ptc-noise.svg"));
        ASSERT_TRUE(noise.ok) << noise.error;

        // One CSV row per pair and colour, the fit flag matching the JSON.
        std::istringstream csv(dir.read("out/PTC_points.csv"));
        std::string line;
        std::getline(csv, line);
        EXPECT_EQ(line, "pair,colour,exposure_s,mu,var,net_mu,net_var,zero_share,max_share,in_fit,residual");
        int rows = 0, in_fit = 0;
        while (std::getline(csv, line)) {
            ++rows;
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string x; std::getline(fields, x, ',');)
                f.push_back(x);
            ASSERT_EQ(f.size(), 11u) << line;
            in_fit += f[9] == "1";
            const int pair = std::stoi(f[0]);
            const double mu = std::stod(f[3]);
            if (pair == 14)
                EXPECT_GT(std::stod(f[8]), 0.9) << "the last pair is clipped";
            else
                EXPECT_NEAR(mu, s.black + s.signals[static_cast<size_t>(pair - 1)], 2.5) << line;  // ~4 SE
        }
        EXPECT_EQ(rows, 14 * 3);
        EXPECT_EQ(in_fit, 12 * 3);
    }
}

struct SeriesCase {
    double gain, read_noise, black;
    uint16_t white;
    int32_t window;
    uint64_t seed;
};

class PtcfitSeries : public testing::TestWithParam<SeriesCase> {};

TEST_P(PtcfitSeries, GainWithinTwoPercentAndReadNoiseWithinFive)
{
    const SeriesCase& c = GetParam();
    ScratchDir dir;
    Series s;
    s.gain = c.gain;
    s.read_noise = c.read_noise;
    s.black = c.black;
    s.white = c.white;
    s.seed = c.seed;
    // From 30 DN up past the clip level, 1.5 times brighter each pair.
    for (double signal = 30; signal < 1.6 * (c.white - c.black); signal *= 1.5)
        s.signals.push_back(signal);
    write_series(dir, s);
    const std::string w = "-W" + std::to_string(c.window);
    const CapturedRun run = ptcfit({"--plan", "plan.csv", w});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string json = dir.read("PTC_results.json");
    // Saturation: the brightest pair whose noise stays clear of the clip level.
    double saturated = 0;
    for (double signal : s.signals)
        if (s.black + signal + 2 * std::sqrt(c.gain * signal + c.read_noise * c.read_noise) < c.white)
            saturated = signal;
    for (const char* colour : {"Red", "Green", "Blue"}) {
        EXPECT_NEAR(json_figure(json, colour, "K"), c.gain, 0.02 * c.gain) << colour;
        EXPECT_NEAR(json_figure(json, colour, "sigma_d"), c.read_noise / c.gain, 0.05 * c.read_noise / c.gain)
            << colour;
        EXPECT_NEAR(json_figure(json, colour, "u_e_sat"), saturated / c.gain, 0.1 * saturated / c.gain) << colour;
    }
}

INSTANTIATE_TEST_SUITE_P(Sensors, PtcfitSeries,
                         testing::Values(SeriesCase{0.5, 3.0, 600, 16383, 200, 1},
                                         SeriesCase{1.6, 2.2, 1024, 16383, 160, 2},
                                         SeriesCase{0.12, 1.5, 256, 4095, 200, 3},
                                         SeriesCase{0.3, 8.0, 2048, 15520, 240, 4}));

TEST(Ptcfit, UnreachedSaturationLeavesFullWellNull)
{
    ScratchDir dir;
    Series s;
    s.signals = geometric(50, 1.6, 10);  // up to 3400 DN: far below full scale
    write_series(dir, s, false);
    const CapturedRun run = ptcfit({"--plan", "plan.csv"});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string json = dir.read("PTC_results.json");
    EXPECT_NE(json.find("\"u_e_sat\": null, \"snr_max\": null, \"dr_db\": null"), std::string::npos) << json;
    EXPECT_NEAR(json_figure(json, "Green", "K"), s.gain, 0.02 * s.gain);
    EXPECT_NE(run.out.find("  full well       not reached\n"), std::string::npos);
}

TEST(Ptcfit, ClippedDarkPairNeedsTheBlackLevel)
{
    ScratchDir dir;
    Series s;
    s.black = 2;  // the dark frames clip at 0
    s.signals = geometric(60, 1.6, 12);
    write_series(dir, s);
    const CapturedRun refused = ptcfit({"--plan", "plan.csv"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("the black level is clipped. Give it with --black-level."), std::string::npos)
        << refused.out;

    const CapturedRun given = ptcfit({"--plan", "plan.csv", "--black-level", "2"});
    ASSERT_EQ(given.status, 0) << given.out;
    EXPECT_NE(given.out.find("read noise      "), std::string::npos);
    EXPECT_NE(given.out.find("(from the fit's intercept)"), std::string::npos);
    const std::string json = dir.read("PTC_results.json");
    EXPECT_NEAR(json_figure(json, "Green", "K"), s.gain, 0.03 * s.gain);
    // The intercept is an extrapolation: a looser check than with a dark pair.
    EXPECT_NEAR(json_figure(json, "Green", "sigma_d"), s.read_noise / s.gain, 0.15 * s.read_noise / s.gain);
    EXPECT_NE(json.find("\"read_noise_from\": \"fit intercept\""), std::string::npos);
}

TEST(Ptcfit, RefusesPlansItCannotUse)
{
    ScratchDir dir;
    Series s;
    s.signals = geometric(50, 1.6, 6);
    const std::string plan = write_series(dir, s);

    EXPECT_EQ(ptcfit({"--plan", "missing.csv"}).out, "Error:  Unable to read the plan missing.csv.\n");
    dir.put_text("nodark.csv", "role,file1,file2\nflat,f0a.nef,f0b.nef\n");
    EXPECT_EQ(ptcfit({"--plan", "nodark.csv"}).out, "Error:  nodark.csv: the plan has no dark pair.\n");
    dir.put_text("twodarks.csv", "role,file1,file2\ndark,d1.nef,d2.nef\ndark,d1.nef,d2.nef\n");
    EXPECT_EQ(ptcfit({"--plan", "twodarks.csv"}).out, "Error:  twodarks.csv: the plan has more than one dark pair.\n");
    dir.put_text("noheader.csv", "dark,d1.nef,d2.nef\n");
    EXPECT_EQ(ptcfit({"--plan", "noheader.csv"}).status, 1);

    // Six pairs, saturation not reached: the fit range (0.7 of the brightest) takes five.
    const CapturedRun few = ptcfit({"--plan", "plan.csv", "--min-points", "6"});
    EXPECT_EQ(few.status, 1);
    EXPECT_NE(few.out.find("Error:  Red: only "), std::string::npos) << few.out;
    EXPECT_EQ(ptcfit({"--plan", "plan.csv"}).status, 0);

    // Exposures that put a brighter pair first: the mean falls.
    std::string swapped = plan;
    const size_t first = swapped.find(",0.001");
    const size_t second = swapped.find(",0.002");
    swapped.replace(second, 6, ",0.000");
    (void)first;
    dir.put_text("swapped.csv", swapped);
    const CapturedRun falls = ptcfit({"--plan", "swapped.csv", "--min-points", "2"});
    EXPECT_EQ(falls.status, 1);
    EXPECT_NE(falls.out.find("as the exposure rises"), std::string::npos) << falls.out;

    // A file neither reader takes ends with its reader's message.
    dir.put("junk.nef", {'J', 'U', 'N', 'K'});
    dir.put_text("junk.csv", "role,file1,file2\ndark,junk.nef,d2.nef\nflat,f0a.nef,f0b.nef\n");
    const CapturedRun junk = ptcfit({"--plan", "junk.csv"});
    EXPECT_EQ(junk.status, 1);
    EXPECT_EQ(junk.out, "Error 1:  File corruption.\n");
}

TEST(Ptcfit, NoisyDarkPairGivesNegativeNetVariance)
{
    ScratchDir dir;
    Series s;
    s.signals = geometric(20, 1.6, 8);
    write_series(dir, s);
    // Replace the dark pair by much noisier frames.
    Series noisy = s;
    noisy.read_noise = 12;
    write_frame(dir, noisy, "d1.nef", 0, 1);
    write_frame(dir, noisy, "d2.nef", 0, 2);
    const CapturedRun run = ptcfit({"--plan", "plan.csv", "--min-points", "2"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("negative net variance"), std::string::npos) << run.out;
}

TEST(PtcFitMath, LeastSquaresLinesOnExactData)
{
    // y = 2x through the origin; y = 3 + 0.5x with a free intercept.
    const LineFitResult origin = fit_through_origin({1, 2, 3, 4}, {2, 4, 6, 8});
    EXPECT_DOUBLE_EQ(origin.slope, 2.0);
    EXPECT_DOUBLE_EQ(origin.slope_stderr, 0.0);
    EXPECT_DOUBLE_EQ(origin.r_squared, 1.0);
    const LineFitResult free = fit_with_intercept({0, 2, 4, 6}, {3, 4, 5, 6});
    EXPECT_DOUBLE_EQ(free.slope, 0.5);
    EXPECT_DOUBLE_EQ(free.intercept, 3.0);
    // Residuals +-1 around y = x: slope 1, SE sqrt((4 / 2) / 20).
    const LineFitResult noisy = fit_with_intercept({-3, -1, 1, 3}, {-2, -2, 0, 4});
    EXPECT_DOUBLE_EQ(noisy.slope, 1.0);
    EXPECT_DOUBLE_EQ(noisy.intercept, 0.0);
}

TEST(PtcPlan, ParsesRolesExposuresAndOrder)
{
    std::string error;
    const auto plan = parse_plan("# series\nrole,file1,file2,exposure_s\nflat,b1,b2,0.02\ndark,d1,d2,0\n"
                                 "FLAT, a1 , a2 ,0.01\n",
                                 error);
    ASSERT_TRUE(plan) << error;
    EXPECT_EQ(plan->dark.file[0], "d1");
    ASSERT_EQ(plan->flats.size(), 2u);
    EXPECT_EQ(plan->flats[0].file[0], "a1");  // sorted by exposure
    EXPECT_EQ(plan->flats[1].file[1], "b2");
    EXPECT_FALSE(parse_plan("role,file1,file2\nbright,a,b\n", error));
    EXPECT_EQ(error, "plan line 2: role must be dark or flat, not \"bright\"");
    EXPECT_FALSE(parse_plan("role,file1,file2\ndark,a,b,soon\n", error));
    EXPECT_EQ(error, "plan line 2: exposure \"soon\" is not a time");
}

}  // namespace
