// ptcfit on synthetic series of known gain, read noise, black level and full
// well: the figures must come back within the measurement's own precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#include "plot/svg_inspect.h"
#include "program_profiles.h"
#include "ptc/ptcfit_run.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

struct Series {
    double gain = 0.5;            // DN per electron
    double read_noise = 3;        // DN
    double black = 600;           // DN
    std::vector<double> signals;  // DN above black, one flat pair each
    bool tiff = false;
    uint16_t white = 16383;  // the clip level
    uint64_t seed = 0;
    int window = 200;  // ptcfit -W
};

// The default sensor with pairs at 50 DN x 1.6^i.
Series series_of(int pairs)
{
    Series s;
    for (double v = 50; s.signals.size() < static_cast<size_t>(pairs); v *= 1.6)
        s.signals.push_back(v);
    return s;
}

// Every plane at black + signal with noise of variance gain x signal + read
// noise^2, rounded, and clipped at the white level.
void write_frame(const ScratchDir& dir, const Series& s, const std::string& name, double signal, uint64_t seed)
{
    rawgen::Content content;
    content.seed = seed + 1000 * s.seed;
    for (auto& plane : content.plane) {
        plane.level = s.black + signal;
        plane.noise_sd = std::sqrt(s.gain * signal + s.read_noise * s.read_noise);
    }
    rawgen::Image image = rawgen::make_image(256, 256, content);
    for (uint16_t& v : image.samples)
        v = std::min(v, s.white);
    dir.put(name, s.tiff ? rawgen::make_tiff(image) : rawgen::make_nef(image));
}

// Writes the series and plan.csv: the dark pair da, db, then flat pairs fia,
// fib at i ms for i = 1, 2, ...; returns the plan.
std::string write_series(const ScratchDir& dir, const Series& s, bool exposures = true)
{
    const std::string ext = s.tiff ? ".tif" : ".nef";
    std::string plan = exposures ? "role,file1,file2,exposure_s\n" : "role,file1,file2\n";
    for (size_t i = 0; i <= s.signals.size(); ++i) {
        const std::string name = i ? "f" + std::to_string(i) : "d";
        write_frame(dir, s, name + "a" + ext, i ? s.signals[i - 1] : 0, 2 * i + 1);
        write_frame(dir, s, name + "b" + ext, i ? s.signals[i - 1] : 0, 2 * i + 2);
        plan += (i ? "flat," : "dark,") + name + "a" + ext + "," + name + "b" + ext +
                (exposures ? "," + std::to_string(0.001 * static_cast<double>(i)) : "") + "\n";
    }
    dir.put_text("plan.csv", plan);
    return plan;
}

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

// The number after "key": inside the colour's object of the JSON text; NaN for null.
double json_figure(const std::string& json, const std::string& colour, const std::string& key)
{
    const size_t at = json.find("\"" + key + "\": ", json.find("\"" + colour + "\": {"));
    EXPECT_NE(at, std::string::npos) << colour << " " << key;
    const std::string rest = json.substr(std::min(at + key.size() + 4, json.size()));
    return rest.rfind("null", 0) == 0 ? NAN : std::stod(rest);
}

class PtcfitSeries : public testing::TestWithParam<Series> {};

TEST_P(PtcfitSeries, GainWithinTwoPercentAndReadNoiseWithinFive)
{
    Series s = GetParam();
    ScratchDir dir;
    for (double signal = 30; signal < 1.6 * (s.white - s.black); signal *= 1.5)  // up past the clip level
        s.signals.push_back(signal);
    write_series(dir, s);
    ASSERT_EQ(ptcfit({"--plan", "plan.csv", "-W" + std::to_string(s.window)}).status, 0);
    const std::string json = dir.read("PTC_results.json");
    // The black level given: the read noise from the fit's intercept, an extrapolation.
    ASSERT_EQ(ptcfit({"--plan", "plan.csv", "-W" + std::to_string(s.window), "--black-level", std::to_string(s.black)}).status, 0);
    const std::string given = dir.read("PTC_results.json");
    EXPECT_NE(given.find("\"read_noise_from\": \"fit intercept\""), std::string::npos);
    double saturated = 0;  // the brightest pair whose noise stays clear of the clip level
    for (double signal : s.signals)
        if (s.black + signal + 2 * std::sqrt(s.gain * signal + s.read_noise * s.read_noise) < s.white)
            saturated = signal;
    const double read_noise_e = s.read_noise / s.gain;
    for (const char* colour : {"Red", "Green", "Blue"}) {
        EXPECT_NEAR(json_figure(json, colour, "K"), s.gain, 0.02 * s.gain) << colour;
        EXPECT_NEAR(json_figure(json, colour, "sigma_d"), read_noise_e, 0.05 * read_noise_e) << colour;
        EXPECT_NEAR(json_figure(json, colour, "u_e_sat"), saturated / s.gain, 0.1 * saturated / s.gain) << colour;
        EXPECT_NEAR(json_figure(given, colour, "K"), s.gain, 0.03 * s.gain) << colour;
        EXPECT_NEAR(json_figure(given, colour, "sigma_d"), read_noise_e, 0.15 * read_noise_e) << colour;
    }
}

// gain, read noise, black, -, TIFF, white, seed, window
INSTANTIATE_TEST_SUITE_P(Sensors, PtcfitSeries,
                         testing::Values(Series{0.5, 3.0, 600, {}, false, 16383, 1, 200},
                                         Series{0.5, 3.0, 600, {}, true, 16383, 5, 200},
                                         Series{1.6, 2.2, 1024, {}, false, 16383, 2, 160},
                                         Series{0.12, 1.5, 256, {}, false, 4095, 3, 200},
                                         Series{0.3, 8.0, 2048, {}, false, 15520, 4, 240}));

TEST(Ptcfit, WritesResultsPointsAndPlots)
{
    ScratchDir dir;
    const Series s = series_of(14);  // up to 22500 DN: the last pair lies above full scale (16383 - 600)
    write_series(dir, s);
    const CapturedRun run = ptcfit({"--plan", "plan.csv", "-o", "out"});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("saturation at pair 13)"), std::string::npos) << run.out;

    const std::string json = dir.read("out/PTC_results.json");
    const double read_noise_e = s.read_noise / s.gain;
    const double full_well_e = 50 * std::pow(1.6, 12) / s.gain;  // the brightest pair below full scale
    for (const char* colour : {"Red", "Green", "Blue"}) {
        SCOPED_TRACE(colour);
        EXPECT_GT(json_figure(json, colour, "K_stderr"), 0.0);
        EXPECT_LT(json_figure(json, colour, "K_stderr"), 0.01 * s.gain);
        EXPECT_NEAR(json_figure(json, colour, "sigma_y_dark"), std::sqrt(9.0 + 1.0 / 12), 0.05 * 3);
        EXPECT_NEAR(json_figure(json, colour, "u_e_sat"), full_well_e, 0.02 * full_well_e);
        EXPECT_NEAR(json_figure(json, colour, "snr_max"), std::sqrt(full_well_e), 0.02 * std::sqrt(full_well_e));
        EXPECT_NEAR(json_figure(json, colour, "dr_db"), 20 * std::log10(full_well_e / read_noise_e), 0.5);
        EXPECT_NEAR(json_figure(json, colour, "dr_bits"), std::log2(full_well_e / read_noise_e), 0.1);
        EXPECT_EQ(json_figure(json, colour, "points"), 12);  // pairs 1 to 12 lie below 0.7 x saturation's
    }

    // The transfer curve: per colour the 12 fitted pairs as markers, the other
    // two as crosses, and a saturation point.
    const plot_test::XmlDocument curve = plot_test::parse_xml(dir.read("out/ptc-curve.svg"));
    ASSERT_TRUE(curve.ok) << curve.error;
    std::map<std::string, size_t> markers;
    for (const plot_test::XmlNode* g : plot_test::with_attr(curve.root, "class", "series"))
        markers[g->attr("data-name").substr(0, 11) + "/" + g->attr("data-kind")] += plot_test::parts_of(*g, "markers").size();
    EXPECT_EQ(markers["Green (K 0./markers"], 12u);
    EXPECT_EQ(markers["/markers"], 3u * 2);
    EXPECT_EQ(markers["saturation/markers"], 3u);
    EXPECT_TRUE(plot_test::parse_xml(dir.read("out/ptc-noise.svg")).ok);

    // One CSV row per pair and colour, the fit flag matching the JSON.
    std::istringstream csv(dir.read("out/PTC_points.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "pair,colour,exposure_s,mu,var,net_mu,net_var,zero_share,max_share,in_fit,residual");
    int rows = 0, in_fit = 0;
    for (; std::getline(csv, line); ++rows) {
        size_t pair = 0;
        int fit = 0;
        char colour[8] = "";
        double e, mu, v[4], max_share, residual;
        ASSERT_EQ(std::sscanf(line.c_str(), "%zu,%7[^,],%lf,%lf,%lf,%lf,%lf,%lf,%lf,%d,%lf", &pair, colour, &e, &mu, &v[0],
                              &v[1], &v[2], &v[3], &max_share, &fit, &residual), 11) << line;
        in_fit += fit;
        EXPECT_NEAR(e, 0.001 * static_cast<double>(pair), 1e-9);
        if (pair < 14) {
            EXPECT_NEAR(mu, s.black + s.signals[pair - 1], 2.5) << line;  // ~4 SE
        }
        EXPECT_EQ(max_share > 0.9, pair == 14) << line;                    // only the last pair is clipped
    }
    EXPECT_EQ(rows, 14 * 3);
    EXPECT_EQ(in_fit, 12 * 3);
}

TEST(Ptcfit, UnreachedSaturationLeavesFullWellNull)
{
    ScratchDir dir;
    const Series s = series_of(10);  // up to 3400 DN: far below full scale
    write_series(dir, s, false);
    const CapturedRun run = ptcfit({"--plan", "plan.csv"});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string json = dir.read("PTC_results.json");
    EXPECT_NE(json.find("\"u_e_sat\": null, \"snr_max\": null, \"dr_db\": null"), std::string::npos) << json;
    EXPECT_NEAR(json_figure(json, "Green", "K"), s.gain, 0.02 * s.gain);
    EXPECT_NE(run.out.find("  full well       not reached\n"), std::string::npos);
}

TEST(Ptcfit, RefusesPlansItCannotUse)
{
    ScratchDir dir;
    const Series s = series_of(6);
    const std::string plan = write_series(dir, s);
    ASSERT_EQ(ptcfit({"--plan", "plan.csv"}).status, 0);
    Series noisy = s;  // a dark pair much noisier than the flats' read noise
    noisy.read_noise = 12;
    write_frame(dir, noisy, "na.nef", 0, 1);
    write_frame(dir, noisy, "nb.nef", 0, 2);
    Series clipped = s;  // a dark pair clipped at 0
    clipped.black = 2;
    write_frame(dir, clipped, "ca.nef", 0, 1);
    write_frame(dir, clipped, "cb.nef", 0, 2);
    dir.put("junk.nef", {'J', 'U', 'N', 'K'});
    const struct {
        const char* plan;
        std::string text;  // empty: none written
        const char* min_points;
        std::string message;  // all of the output when it ends the line, else a part of it
    } cases[] = {
        {"missing.csv", "", "3", "Error:  Unable to read the plan missing.csv.\n"},
        {"nodark.csv", "role,file1,file2\nflat,f1a.nef,f1b.nef\n", "3", "Error:  nodark.csv: the plan has no dark pair.\n"},
        {"twodarks.csv", "role,file1,file2\ndark,da.nef,db.nef\ndark,da.nef,db.nef\n", "3",
         "Error:  twodarks.csv: the plan has more than one dark pair.\n"},
        {"noheader.csv", "dark,da.nef,db.nef\n", "3", "Error:  noheader.csv: plan line 1 must be the header"},
        {"bright.csv", "role,file1,file2\nbright,a,b\n", "3",
         "Error:  bright.csv: plan line 2: role must be dark or flat, not \"bright\".\n"},
        {"soon.csv", "role,file1,file2,exposure_s\ndark,a,b,soon\n", "3",
         "Error:  soon.csv: plan line 2: exposure \"soon\" is not a time.\n"},
        // Six pairs, saturation not reached: the fit range (0.7 of the brightest) takes five.
        {"plan.csv", "", "6", "Error:  Red: only 5 flat points in the fit range"},
        // Exposures that put a brighter pair first: the mean falls.
        {"swapped.csv", std::string(plan).replace(plan.find(",0.002"), 6, ",0.000"), "2", "as the exposure rises"},
        {"noisy.csv", std::string(plan).replace(plan.find("da.nef,db.nef"), 13, "na.nef,nb.nef"), "2",
         "negative net variance"},
        {"clipped.csv", std::string(plan).replace(plan.find("da.nef,db.nef"), 13, "ca.nef,cb.nef"), "3",
         "the black level is clipped. Give it with --black-level."},
        {"junk.csv", "role,file1,file2\ndark,junk.nef,db.nef\nflat,f1a.nef,f1b.nef\n", "3", "Error 1:  File corruption.\n"},
    };
    for (const auto& c : cases) {
        if (!c.text.empty())
            dir.put_text(c.plan, c.text);
        const CapturedRun r = ptcfit({"--plan", c.plan, "--min-points", c.min_points});
        EXPECT_EQ(r.status, 1) << c.plan;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.plan << ": " << r.out;
        EXPECT_TRUE(c.message.back() != '\n' || r.out == c.message) << r.out;
    }
}

}  // namespace
