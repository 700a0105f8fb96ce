// Histogram-derived average and SD: bin sizing, the normal-score sweep, the
// line fit, the second pass over image 1 and the whole-program behaviour
// (trigger, undefined figures, exit status 3).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <sstream>

#include <gtest/gtest.h>

#include "program_profiles.h"
#include "run/run_state.h"
#include "stats/hist_derived.h"
#include "support/raw_writer.h"
#include "support/run_capture.h"

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...)
{
    char text[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    return text;
}

double shown(double v)
{
    return std::isfinite(v) ? v : nan_value;
}

// ---------------------------------------------------------------- bin sizing

struct BinsCase {
    double K, sd, ave, zero_rate;
    bool defined;
    int32_t range, width, bins;
};

class DerivedBinsTest : public testing::TestWithParam<BinsCase> {};

TEST_P(DerivedBinsTest, SizesRangeWidthAndCount)
{
    const BinsCase& c = GetParam();
    const DerivedBins b = derived_bins(c.K, c.sd, c.ave, c.zero_rate);
    ASSERT_EQ(b.defined, c.defined);
    if (c.defined) {
        EXPECT_EQ(b.range, c.range);
        EXPECT_EQ(b.width, c.width);
        EXPECT_EQ(b.bins, c.bins);
    }
}

const double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Table, DerivedBinsTest,
    testing::Values(
        // 4.3 x 30 + 3000.5 + 1 = 3130.5; 3130 / 255 + 1 = 13; 3130 / 13 = 240.
        BinsCase{2.8, 30, 3000.5, 0, true, 3130, 13, 240},
        // No spread: 100.5 + 1 truncates to 101, one DN per bin.
        BinsCase{2.8, 0, 100.5, 0, true, 101, 1, 101},
        // Half the greens at 0 doubles the spread: 43 x 100 / 50 + 21.5 = 107.5.
        BinsCase{2.8, 10, 20.5, 50, true, 107, 1, 107},
        // 2147483646.5 still fits: width 8421505, 254 bins.
        BinsCase{2.8, 0, 2147483645.5, 0, true, 2147483646, 8421505, 254},
        BinsCase{2.8, 0, 2147483647.0, 0, false, 0, 0, 0},  // 2^31 does not fit
        BinsCase{2.8, 1e9, 60.5, 0, false, 0, 0, 0},
        BinsCase{2.8, 30, 60.5, 100, false, 0, 0, 0},       // every green at 0
        BinsCase{2.8, nan_value, 60.5, 0, false, 0, 0, 0},
        BinsCase{2.8, inf, 60.5, 0, false, 0, 0, 0}));

// ---------------------------------------------------- sweep, written apart

// Normal scores as the procedure reads: running count over total, sweep from
// -6 while the fraction is above the area and z below 6, score corrected by
// the latest step's density.
std::vector<float> expected_scores(const std::vector<uint32_t>& counts, double total, double& last_step)
{
    std::vector<float> out;
    double z = -6.0, area = 2.47e-9, cumulative = 0;
    for (uint32_t count : counts) {
        cumulative = cumulative + count;
        const double f = cumulative / total;
        for (;;) {
            if (!(f > area / 2.506628275) || z >= 6.0)
                break;
            const double mid = z + 0.0005;
            last_step = std::exp(mid * mid / -2.0) * 0.001;
            area = area + last_step;
            z = z + 0.001;
        }
        out.push_back(static_cast<float>(z - (area / 2.506628275 - f) / (last_step / 0.001)));
    }
    return out;
}

TEST(NormalScores, MatchTheWrittenSweepAndCarryTheStepAreaAcrossColours)
{
    const std::vector<std::vector<uint32_t>> colours = {{0, 3, 5, 0, 2}, {10, 0, 0}, {0, 0, 1, 4, 4}};
    const double totals[] = {10.1, 10.0, 9.3};
    double step = first_step_area, expected_step = 0.001;
    std::vector<std::vector<float>> got;
    for (size_t c = 0; c < colours.size(); ++c) {
        std::vector<float> scores(colours[c].size());
        normal_scores(colours[c].data(), static_cast<int32_t>(scores.size()), totals[c], step, scores.data());
        EXPECT_EQ(scores, expected_scores(colours[c], totals[c], expected_step)) << "colour " << c;
        got.push_back(scores);
    }
    // By hand: an empty first bin before any step reads -6; a bin that adds
    // nothing takes no step and repeats its score.
    EXPECT_EQ(got[0][0], -6.0f);
    EXPECT_EQ(got[0][3], got[0][2]);
    // A fraction of 1 sweeps to z = 6; the density there (about 1.5e-8) then
    // corrects the third colour's empty bins well below -6.
    EXPECT_LT(got[2][0], -6.01f);
    EXPECT_EQ(got[2][0], got[2][1]);
}

// ------------------------------------------------------------------ line fit

TEST(FitNormalLine, OneBinInTheBandGivesTheLineThroughBothPointsByHand)
{
    // Reference bin 1 (x0 = 2, z0 = 0.5), bin 2 at x = 12, z = 2: SD 10 / 1.5, mean 2 - 0.5 x SD.
    const float scores[] = {-0.5f, 0.5f, 2.0f};
    const LineFit plain = fit_normal_line(scores, 3, 10, 2.8, 1.0, nullptr);
    EXPECT_NEAR(plain.sd, 20.0 / 3.0, 1e-12);
    EXPECT_NEAR(plain.ave, -4.0 / 3.0, 1e-12);
    const LineFit scaled = fit_normal_line(scores, 3, 10, 2.8, 1.125, nullptr);
    EXPECT_NEAR(scaled.sd, 7.5, 1e-12);
    EXPECT_NEAR(scaled.ave, -1.5, 1e-12);
    // Reference bin 0 sits at DN 1: bin 1 at x = 2 gives SD 1 / 1.5.
    const float first[] = {0.5f, 2.0f};
    EXPECT_NEAR(fit_normal_line(first, 2, 10, 2.8, 1.0, nullptr).sd, 2.0 / 3.0, 1e-12);
}

struct BandCase {
    double K;
    std::vector<int> fitted;  // bins inside K - 1.3 < z < K after the reference bin
};

class FitBandTest : public testing::TestWithParam<BandCase> {};

TEST_P(FitBandTest, UsesOnlyBinsStrictlyInsideTheBand)
{
    const float scores[] = {-1.0f, 0.5f,  0.19f, 0.21f, 1.19f, 1.21f, 1.49f,
                            1.5f,  1.51f, 2.0f,  2.49f, 2.5f,  2.51f, 3.0f};
    const int bins = 14, width = 3;
    const BandCase& c = GetParam();
    TextBuffer debug;
    const LineFit fit = fit_normal_line(scores, bins, width, c.K, 1.16, &debug);

    const double z0 = scores[1];
    const long x0 = 2;
    double weights = 0, ave = 0, sd = 0;
    std::string lines;
    for (int j : c.fitted) {
        const double zj = scores[j];
        const double w = std::exp(zj * zj / -2.0);
        const double s = static_cast<double>((j - 1) * width + 2 - x0) / (zj - z0);
        weights += w;
        sd += s * w;
        ave += (static_cast<double>(x0) - z0 * s) * w;
        lines += format("j=%d, SD=%6.4lf, Mean=%6.3lf\n", j, s, static_cast<double>(x0) - z0 * s);
    }
    EXPECT_EQ(debug.text, lines);
    EXPECT_DOUBLE_EQ(fit.sd, sd / (weights / 1.16));
    EXPECT_DOUBLE_EQ(fit.ave, ave / (weights / 1.16));
}

INSTANTIATE_TEST_SUITE_P(Bands, FitBandTest,
                         testing::Values(BandCase{2.8, {7, 8, 9, 10, 11, 12}},  // 1.5 .. 2.8
                                         BandCase{2.5, {5, 6, 7, 8, 9, 10}},    // -K25: 1.2 .. 2.5
                                         BandCase{1.5, {3, 4, 5, 6}}));         // -K15: 0.2 .. 1.5

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

// ------------------------------------------- second pass, called directly

struct Window {
    int64_t X, Y, W, H;
};

struct Inputs {
    double ave[3], sd[3], zero_rate;
};

// One-file figures of the window as the channel report gives them.
Inputs window_inputs(const rawgen::Image& img, const Window& w)
{
    double sum[3] = {}, sq[3] = {}, count[3] = {}, zeros = 0;
    for (int64_t y = w.Y; y < w.Y + w.H; ++y)
        for (int64_t x = w.X; x < w.X + w.W; ++x) {
            const int c = (y % 2 == 0) ? (x % 2 == 0 ? 0 : 1) : (x % 2 == 0 ? 1 : 2);
            const double v = img.at(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
            sum[c] += v;
            sq[c] += v * v;
            count[c] += 1;
            zeros += (c == 1 && v == 0) ? 1 : 0;
        }
    Inputs in{};
    for (int c = 0; c < 3; ++c) {
        const double mean = sum[c] / count[c];
        in.ave[c] = mean + 0.5;
        in.sd[c] = std::sqrt(sq[c] / count[c] - mean * mean);
    }
    in.zero_rate = zeros / count[0] * 50;
    return in;
}

struct Expected {
    std::string console, record, rows;
};

// The whole procedure written out again from the text, on the window's samples.
Expected expected_output(const ProgramProfile& profile, const rawgen::Image& img, const Window& w, const Inputs& in,
                         double K, bool o_mode, int debug_bits)
{
    const long range = static_cast<long>((K + 1.5) * in.sd[1] * 100.0 / (100.0 - in.zero_rate) + in.ave[1] + 1);
    const long B = range / 255 + 1, N = range / B;
    std::vector<std::vector<uint32_t>> counts(3, std::vector<uint32_t>(static_cast<size_t>(N), 0));
    for (int64_t y = w.Y; y < w.Y + w.H; ++y)
        for (int64_t x = w.X; x < w.X + w.W; ++x) {
            const int c = (y % 2 == 0) ? (x % 2 == 0 ? 0 : 1) : (x % 2 == 0 ? 1 : 2);
            unsigned v = img.at(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
            if (o_mode && c == 0)
                v -= (v + profile.o_mode_red_round) / 9;
            if (o_mode && c == 2)
                v -= (v + 2) / 7;
            const long bin = v == 0 ? 0 : (static_cast<long>(v) - 1) / B + 1;
            if (bin < N)
                ++counts[c][static_cast<size_t>(bin)];
        }
    double n = static_cast<double>(w.W * w.H / 4), step = 0.001;
    std::vector<float> z[3];
    for (int c = 0; c < 3; ++c) {
        n += 0.1;
        z[c] = expected_scores(counts[c], c == 1 ? 2 * n : n, step);
    }
    const double scale[3] = {o_mode ? 1.125 : 1.0, 1.0, o_mode ? 1.16 : 1.0};
    double ave[3], sd[3];
    Expected e;
    for (int c = 0; c < 3; ++c) {
        ave[c] = sd[c] = nan_value;
        long j0 = 0;
        while (j0 < N && !(z[c][static_cast<size_t>(j0)] > 0))
            ++j0;
        if (j0 == N)
            continue;
        const long x0 = j0 == 0 ? 1 : (j0 - 1) * B + 2;
        const double z0 = z[c][static_cast<size_t>(j0)];
        double ws = 0, a = 0, s_sum = 0;
        for (long j = j0 + 1; j < N; ++j) {
            const double zj = z[c][static_cast<size_t>(j)];
            if (!(zj > K - 1.3 && zj < K))
                continue;
            const double w8 = std::exp(zj * zj / -2.0);
            const double s = static_cast<double>((j - 1) * B + 2 - x0) / (zj - z0);
            ws += w8;
            s_sum += s * w8;
            a += (static_cast<double>(x0) - z0 * s) * w8;
            if (c == 1 && profile.debug_fit_lines && (debug_bits & 16))
                e.console += format("j=%ld, SD=%6.4lf, Mean=%6.3lf\n", j, s, static_cast<double>(x0) - z0 * s);
        }
        if (ws > 0) {
            sd[c] = s_sum / (ws / scale[c]);
            ave[c] = a / (ws / scale[c]);
        }
    }
    e.console += "Histogram-derived:\n";
    const char* labels[] = {" Red  ", " Green", " Blue "};
    for (int c = 0; c < 3; ++c)
        e.console += format("%s ave %5.2lf, SD %5.2lf\n", labels[c], shown(ave[c]), shown(sd[c]));
    e.record = format(", From Hist:, %6.2lf,%6.2lf,%6.2lf,%6.2lf,%6.2lf,%6.2lf", shown(ave[0]), shown(ave[1]),
                      shown(ave[2]), shown(sd[0]), shown(sd[1]), shown(sd[2]));
    for (long j = 0; j < N; ++j)
        e.rows += format("%4ld, %10.3lf, %10.3lf, %10.3lf\n", j == 0 ? 0 : (j - 1) * B + 1,
                         static_cast<double>(z[0][static_cast<size_t>(j)]),
                         static_cast<double>(z[1][static_cast<size_t>(j)]),
                         static_cast<double>(z[2][static_cast<size_t>(j)]));
    return e;
}

std::vector<uint8_t> raw_bytes(const rawgen::Image& img, bool big_endian, size_t header)
{
    std::vector<uint8_t> bytes(header, 0xEE);
    for (uint16_t v : img.samples) {
        const uint8_t hi = static_cast<uint8_t>(v >> 8), lo = static_cast<uint8_t>(v & 0xFF);
        bytes.push_back(big_endian ? hi : lo);
        bytes.push_back(big_endian ? lo : hi);
    }
    return bytes;
}

struct DirectSetup {
    const ProgramProfile* profile;
    rawgen::Image image;
    Window window;
    Inputs inputs;
    double K = 2.8;
    bool k_mode = true;
    bool o_mode = false;
    int debug_bits = 0;
    bool big_endian = true;
    const rawgen::Image* second = nullptr;  // two-image run: must never be read
};

struct DirectResult {
    int status;
    std::string console, record, hist_log;
};

// Runs histogram_derived on a prepared run state, in a scratch directory.
DirectResult run_direct(const DirectSetup& d)
{
    ScratchDir dir;
    const size_t header = 6;
    dir.put("IMG1.RAW", raw_bytes(d.image, d.big_endian, header));
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* console = ::open_memstream(&buffer, &size);
    auto run = std::make_unique<RunState>(*d.profile, Console{console});
    RunSettings& s = run->settings;
    s.k_mode = d.k_mode;
    s.K = d.K;
    s.o_mode = d.o_mode;
    if (d.o_mode) {
        s.channel_scale[0] = 1.125;
        s.channel_scale[2] = 1.16;
    }
    s.debug_bits = d.debug_bits;
    s.stats_log = open_report(run->reports.stats, "LOG.CSV");
    s.file_name[0] = "IMG1.RAW";
    run->images.file[0] = std::fopen("IMG1.RAW", "rb");
    if (d.second) {
        // Image 2 is a different picture at another offset.
        dir.put("IMG2.RAW", raw_bytes(*d.second, d.big_endian, 2));
        run->images.file[1] = std::fopen("IMG2.RAW", "rb");
        run->info.data_offset[1] = 2;
        s.two_files = true;
        s.file_name[1] = "IMG2.RAW";
    }
    run->info.width = d.image.width;
    run->info.height = d.image.height;
    run->info.data_offset[0] = header;
    run->info.row_stride = 2 * uint64_t{d.image.width};
    run->info.big_endian = d.big_endian;
    run->window = WindowSpec{d.window.W, d.window.H, d.window.X, d.window.Y, d.window.X, d.window.Y};
    run->stats.n = static_cast<double>(d.window.W * d.window.H / 4);
    for (int c = 0; c < 3; ++c) {
        run->results.ave[c] = d.inputs.ave[c];
        run->results.sd[c] = d.inputs.sd[c];
    }
    run->results.zero_rate = d.inputs.zero_rate;

    DirectResult r;
    r.status = histogram_derived(*run);
    std::fclose(console);
    r.console.assign(buffer, size);
    std::free(buffer);
    r.record = run->reports.record.text;
    run.reset();
    r.hist_log = dir.read(d.profile->hist_log_name);
    return r;
}

rawgen::Image noisy(uint32_t size, double r, double g, double b, double sd, uint64_t seed)
{
    rawgen::Content content;
    const double level[4] = {r, g, b, g};
    for (int p = 0; p < 4; ++p)
        content.plane[p] = rawgen::PlaneContent{level[p], sd, 0, 0, 0, 0, false};
    content.seed = seed;
    return rawgen::make_image(size, size, content);
}

struct PassCase {
    const char* name;
    bool veldix;
    rawgen::Image image;
    Window window;
    double K;
    bool o_mode;
    int debug_bits;
    bool big_endian;
};

class SecondPassTest : public testing::TestWithParam<PassCase> {};

TEST_P(SecondPassTest, MatchesTheProcedureWrittenOutOnImageOne)
{
    const PassCase& c = GetParam();
    DirectSetup d{c.veldix ? &veldix_profile() : &quorva_profile(), c.image, c.window,
                  window_inputs(c.image, c.window)};
    d.K = c.K;
    d.o_mode = c.o_mode;
    d.debug_bits = c.debug_bits;
    d.big_endian = c.big_endian;
    const Expected e = expected_output(*d.profile, c.image, c.window, d.inputs, c.K, c.o_mode, c.debug_bits);
    const DirectResult r = run_direct(d);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.console, e.console);
    EXPECT_EQ(r.record, e.record);
    const std::string title = format("Normality curves, file IMG1.RAW, Window %ldx%ld at X=%ld Y=%ld\n",
                                     static_cast<long>(c.window.W), static_cast<long>(c.window.H),
                                     static_cast<long>(c.window.X), static_cast<long>(c.window.Y));
    EXPECT_EQ(r.hist_log, title + d.profile->normality_header + e.rows + "\n");
}

rawgen::Image constant_green(uint16_t green)
{
    const rawgen::Image base = noisy(208, 20, 0, 15, 25, 7);
    return rawgen::make_image(208, 208, [&](uint32_t x, uint32_t y) {
        return ((x + y) % 2 == 1) ? green : base.at(x, y);
    });
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SecondPassTest,
    testing::Values(
        PassCase{"QuorvaDark", false, noisy(208, 20, 30, 15, 30, 1), {4, 4, 200, 200}, 2.8, false, 0, true},
        PassCase{"VeldixOddOrigin", true, noisy(210, 10, 35, 60, 25, 2), {3, 5, 200, 202}, 2.8, false, 0, false},
        PassCase{"QuorvaOK25Debug", false, noisy(208, 30, 25, 40, 30, 3), {4, 4, 200, 200}, 2.5, true, 16, true},
        PassCase{"VeldixOK15Debug", true, noisy(208, 30, 25, 40, 30, 4), {1, 2, 200, 200}, 1.5, true, 16, true},
        PassCase{"QuorvaDebugOtherBit", false, noisy(208, 20, 30, 15, 30, 5), {4, 4, 200, 200}, 2.8, false, 15,
                 false},
        PassCase{"QuorvaBrightWideBins", false, noisy(208, 2000, 3000, 2500, 30, 6), {4, 4, 200, 200}, 2.8, false,
                 16, true},
        PassCase{"RedAboveRangeHasNoReference", false, noisy(208, 5000, 30, 15, 30, 8), {4, 4, 200, 200}, 2.8, false,
                 0, true},
        PassCase{"ConstantGreenHasNoBandBin", false, constant_green(40), {4, 4, 200, 200}, 2.8, false, 0, true}),
    [](const testing::TestParamInfo<PassCase>& param) { return std::string(param.param.name); });

TEST(SecondPass, ReadsImageOneOnlyInTwoImageRuns)
{
    const rawgen::Image first = noisy(208, 20, 30, 15, 30, 11);
    const rawgen::Image second = noisy(208, 900, 800, 700, 5, 12);
    const Window w{4, 4, 200, 200};
    DirectSetup d{&quorva_profile(), first, w, window_inputs(first, w)};
    d.second = &second;
    const Expected e = expected_output(quorva_profile(), first, w, d.inputs, 2.8, false, 0);
    const DirectResult r = run_direct(d);
    EXPECT_EQ(r.console, e.console);
    EXPECT_EQ(r.hist_log, "Normality curves, file IMG1.RAW - IMG2.RAW, Window 200x200 at X=4 Y=4\n" +
                              std::string(quorva_profile().normality_header) + e.rows + "\n");
}

// Rows of the normality table as (DN, red, green, blue).
std::vector<std::array<double, 4>> table_rows(const std::string& log)
{
    std::vector<std::array<double, 4>> rows;
    std::istringstream lines(log);
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    while (std::getline(lines, line) && !line.empty()) {
        std::array<double, 4> row{};
        if (std::sscanf(line.c_str(), "%lf, %lf, %lf, %lf", &row[0], &row[1], &row[2], &row[3]) == 4)
            rows.push_back(row);
    }
    return rows;
}

TEST(SecondPass, GreenAt3000Point5WithSd30GivesBinsOf13)
{
    const rawgen::Image img = rawgen::make_image(208, 208, [](uint32_t x, uint32_t y) -> uint16_t {
        return (x + y) % 2 == 1 ? (x % 4 < 2 ? 2970 : 3030) : 3000;
    });
    DirectSetup d{&quorva_profile(), img, {4, 4, 200, 200}, Inputs{{3000.5, 3000.5, 3000.5}, {0, 30, 0}, 0}};
    const auto rows = table_rows(run_direct(d).hist_log);
    ASSERT_EQ(rows.size(), 240u);
    EXPECT_EQ(rows[0][0], 0);
    EXPECT_EQ(rows[1][0], 1);
    EXPECT_EQ(rows[2][0], 14);
    EXPECT_EQ(rows[239][0], 3095);
    // Green 2970 counts in bin (2970 - 1) / 13 + 1 = 229 and 3030 in bin 234;
    // the bins before 229 are empty, those between add nothing.
    EXPECT_EQ(rows[228][2], -6.0);
    EXPECT_GT(rows[229][2], -6.0);
    for (size_t j = 230; j < 234; ++j)
        EXPECT_EQ(rows[j][2], rows[229][2]) << j;
    EXPECT_GT(rows[234][2], rows[233][2]);
}

struct RescaleCase {
    bool veldix, o_mode;
    int red_dn, blue_dn;  // where red and blue land after the rescaling
};

class OModeTest : public testing::TestWithParam<RescaleCase> {};

TEST_P(OModeTest, RescalesRedAndBlueBeforeCounting)
{
    // Red 94, blue 100; green 0 or 40 (mean 20, SD 20, half at 0): range
    // 4.3 x 20 x 100 / 50 + 20.5 + 1 = 193.5, one DN per bin, bin j = DN j.
    const rawgen::Image img = rawgen::make_image(208, 208, [](uint32_t x, uint32_t y) -> uint16_t {
        if (x % 2 == 0 && y % 2 == 0)
            return 94;
        if (x % 2 == 1 && y % 2 == 1)
            return 100;
        return x % 4 < 2 ? 0 : 40;
    });
    const RescaleCase& c = GetParam();
    DirectSetup d{c.veldix ? &veldix_profile() : &quorva_profile(), img, {4, 4, 200, 200},
                  Inputs{{94.5, 20.5, 100.5}, {0, 20, 0}, 50}};
    d.o_mode = c.o_mode;
    const auto rows = table_rows(run_direct(d).hist_log);
    ASSERT_EQ(rows.size(), 193u);
    auto first_positive = [&](int col) {
        for (const auto& row : rows)
            if (row[static_cast<size_t>(col)] > 0)
                return static_cast<int>(row[0]);
        return -1;
    };
    EXPECT_EQ(first_positive(1), c.red_dn);
    EXPECT_EQ(first_positive(3), c.blue_dn);
}

// R - (R + 5) / 9 = 94 - 11 (quorva), R - (R + 4) / 9 = 94 - 10 (veldix); B - (B + 2) / 7 = 100 - 14.
INSTANTIATE_TEST_SUITE_P(Rounding, OModeTest,
                         testing::Values(RescaleCase{false, true, 83, 86}, RescaleCase{true, true, 84, 86},
                                         RescaleCase{false, false, 94, 100}));

// ---------------------------------------------------------- whole programs

rawgen::Image mosaic(uint16_t r, uint16_t g, uint16_t b, int varied_plane, uint16_t lo, uint16_t hi)
{
    return rawgen::make_image(208, 208, [=](uint32_t x, uint32_t y) -> uint16_t {
        const int colour = (y % 2 == 0) ? (x % 2 == 0 ? 0 : 1) : (x % 2 == 0 ? 1 : 2);
        if (colour == varied_plane)
            return x % 4 < 2 ? lo : hi;  // half and half in every plane
        return colour == 0 ? r : colour == 1 ? g : b;
    });
}

void put_image(const ScratchDir& dir, bool veldix, const std::string& stem, const rawgen::Image& img)
{
    if (veldix)
        dir.put(stem + ".TIF", rawgen::make_tiff(img));
    else
        dir.put(stem + ".NEF", rawgen::make_nef(img));
}

struct TriggerCase {
    const char* name;
    bool veldix;
    int plane;            // the two-valued colour, -1 for none
    uint16_t lo, hi;
    std::vector<std::string> args;
    bool derived;
};

class TriggerTest : public testing::TestWithParam<TriggerCase> {};

TEST_P(TriggerTest, ComputesOnlyForLargeClippedOrKWindows)
{
    const TriggerCase& c = GetParam();
    const ProgramProfile& profile = c.veldix ? veldix_profile() : quorva_profile();
    ScratchDir dir;
    put_image(dir, c.veldix, "A", mosaic(1000, 1000, 1000, c.plane, c.lo, c.hi));
    std::vector<std::string> args = {"A", "-L"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CapturedRun run = run_captured(profile, args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("Histogram-derived:\n") != std::string::npos, c.derived);
    const std::string log = dir.read(profile.stats_log_name);
    const std::string record = log.substr(log.find("Window\n") + 7);
    EXPECT_EQ(record.find(", From Hist:, ") != std::string::npos, c.derived) << record;
    EXPECT_EQ(record.find(", , , , , , , , A.") != std::string::npos, !c.derived) << record;
    // The normality table is written only when the figures are computed.
    const bool k = std::find(c.args.begin(), c.args.end(), "-K") != c.args.end();
    EXPECT_EQ(dir.exists(profile.hist_log_name), k && c.derived);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TriggerTest,
    testing::Values(
        // Red 25/45: ave 35.5, SD 10 is clipped for 4 SDs, not for 3.
        TriggerCase{"RedBetween3And4SdQuorva", false, 0, 25, 45, {}, true},
        TriggerCase{"RedBetween3And4SdVeldix", true, 0, 25, 45, {}, false},
        // 15/35: ave 25.5 below 3 SDs.
        TriggerCase{"RedBelow3SdVeldix", true, 0, 15, 35, {}, true},
        TriggerCase{"GreenBelow3SdVeldix", true, 1, 15, 35, {}, true},
        TriggerCase{"BlueBelow4SdQuorva", false, 2, 25, 45, {}, true},
        TriggerCase{"BrightQuorva", false, -1, 0, 0, {}, false},
        TriggerCase{"BrightWithKQuorva", false, -1, 0, 0, {"-K"}, true},
        TriggerCase{"BrightWithKVeldix", true, -1, 0, 0, {"-K"}, true},
        // 198 x 202 holds 9999 samples per plane: too few even with -K; 200 x 200 holds 10000.
        TriggerCase{"N9999WithK", false, 1, 0, 40, {"-W198", "-H202", "-K"}, false},
        TriggerCase{"N10000WithK", false, 1, 0, 40, {"-W200", "-H200", "-K"}, true}),
    [](const testing::TestParamInfo<TriggerCase>& param) { return std::string(param.param.name); });

const char* const nan_lines =
    "Histogram-derived:\n"
    " Red   ave   nan, SD   nan\n"
    " Green ave   nan, SD   nan\n"
    " Blue  ave   nan, SD   nan\n\n";
const char* const nan_record = ", From Hist:,    nan,   nan,   nan,   nan,   nan,   nan, ";

bool ends_with(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(UndefinedRange, AllGreensAtZeroPrintNanWithoutSecondPassOrTable)
{
    ScratchDir dir;
    put_image(dir, false, "A", mosaic(50, 0, 50, -1, 0, 0));
    const CapturedRun run = run_captured(quorva_profile(), {"A", "-L", "-K"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(ends_with(run.out, nan_lines)) << run.out;
    EXPECT_NE(dir.read("QUORVA.CSV").find(std::string(nan_record) + "A.NEF, w200"), std::string::npos);
    EXPECT_FALSE(dir.exists("HQUORVA.CSV"));
}

TEST(UndefinedRange, ARangeBeyond32BitsPrintsNanWithoutTable)
{
    // Image 1's greens are 0 but one; image 2's alternate 0 and 65535. The
    // difference SD (about 23170) over a zero share of 0.005 percent spreads
    // the range to about 5.5 x 23170 x 20000, past 2^31.
    ScratchDir dir;
    rawgen::Image first = mosaic(50, 0, 50, -1, 0, 0);
    first.samples[104 * 208 + 105] = 1;
    put_image(dir, false, "A", first);
    put_image(dir, false, "B", mosaic(50, 0, 50, 1, 0, 65535));
    const CapturedRun run = run_captured(quorva_profile(), {"A", "B", "-L", "-K40", "-N20"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(ends_with(run.out, nan_lines)) << run.out;
    EXPECT_NE(dir.read("QUORVA.CSV").find(std::string(nan_record) + "A.NEF minus B.NEF"), std::string::npos);
    EXPECT_EQ(dir.read("HQUORVA.CSV").find("Normality curves"), std::string::npos);
}

TEST(NormalityLog, UnopenableLogEndsWithStatus3AfterCompletingTheRecord)
{
    for (const bool hist_switch : {false, true}) {
        ScratchDir dir;
        put_image(dir, false, "A", noisy(208, 20, 30, 15, 30, 21));
        std::filesystem::create_directory("HQUORVA.CSV");
        std::vector<std::string> args = {"A", "-K", "-L"};
        if (hist_switch)
            args.push_back("-N20");
        const CapturedRun run = run_captured(quorva_profile(), args);
        EXPECT_EQ(run.status, 3);
        // No message and no closing blank line: the blue figures end the console.
        const size_t blue = run.out.rfind("\n Blue  ave ");
        ASSERT_NE(blue, std::string::npos);
        EXPECT_EQ(run.out.find('\n', blue + 1), run.out.size() - 1) << run.out;
        EXPECT_EQ(run.out.find("Warning:  Unable to open HQUORVA.CSV.") != std::string::npos, hist_switch);
        const std::string log = dir.read("QUORVA.CSV");
        EXPECT_NE(log.find(", From Hist:, ", log.find("Window\n")), std::string::npos);
        EXPECT_TRUE(ends_with(log, ", A.NEF, w200, h200, x4, y4\n")) << log;
    }
}

TEST(NormalityLog, FollowsTheHistogramTableOrOpensTheLogItself)
{
    for (const bool hist_switch : {false, true}) {
        ScratchDir dir;
        put_image(dir, false, "A", noisy(208, 20, 30, 15, 30, 22));
        std::vector<std::string> args = {"A", "-K"};
        if (hist_switch)
            args.push_back("-N20");
        const CapturedRun run = run_captured(quorva_profile(), args);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(ends_with(run.out, "\n\n"));
        const std::string log = dir.read("HQUORVA.CSV");
        EXPECT_EQ(log.rfind("Normality curves, file A.NEF, Window 200x200 at X=4 Y=4\n"),
                  hist_switch ? log.find("\n\nNormality") + 2 : 0u);
    }
}

struct DebugCase {
    bool veldix;
    const char* bits;
    bool lines;
};

class DebugLinesTest : public testing::TestWithParam<DebugCase> {};

TEST_P(DebugLinesTest, ListGreenFitBinsBeforeTheFiguresInQuorvaOnly)
{
    const DebugCase& c = GetParam();
    ScratchDir dir;
    put_image(dir, c.veldix, "A", noisy(208, 20, 30, 15, 30, 23));
    const CapturedRun run = run_captured(c.veldix ? veldix_profile() : quorva_profile(), {"A", c.bits});
    const size_t first = run.out.find("\nj=");
    EXPECT_EQ(first != std::string::npos, c.lines) << run.out;
    if (c.lines) {
        EXPECT_LT(first, run.out.find("Histogram-derived:"));
    }
}

INSTANTIATE_TEST_SUITE_P(Bits, DebugLinesTest,
                         testing::Values(DebugCase{false, "-D16", true}, DebugCase{false, "-D31", true},
                                         DebugCase{false, "-D15", false}, DebugCase{true, "-D16", false}));

}  // namespace
