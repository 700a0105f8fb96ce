// Histogram-derived average and SD: bin sizing, the normal-score sweep, the
// line fit, and whole runs against the procedure written out again here.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <limits>

#include <gtest/gtest.h>

#include "program_profiles.h"
#include "reports/text_out.h"
#include "stats/hist_derived.h"
#include "support/raw_writer.h"
#include "support/run_capture.h"

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

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

bool ends_with(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

struct BinsCase {
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
    testing::Values(BinsCase{30, 3000.5, 0, true, 3130, 13, 240},  // 4.3 x 30 + 3001.5; 3130 / 255 + 1; 3130 / 13
                    BinsCase{0, 100.5, 0, true, 101, 1, 101},
                    BinsCase{10, 20.5, 50, true, 107, 1, 107},     // 43 x 100 / 50 + 21.5
                    BinsCase{0, 2147483645.5, 0, true, 2147483646, 8421505, 254},
                    BinsCase{0, 2147483647.0, 0, false, 0, 0, 0},  // 2^31 does not fit
                    BinsCase{1e9, 60.5, 0, false, 0, 0, 0}, BinsCase{30, 60.5, 100, false, 0, 0, 0},
                    BinsCase{nan_value, 60.5, 0, false, 0, 0, 0}, BinsCase{inf, 60.5, 0, false, 0, 0, 0}));

// Normal scores as described: running count over total, sweep from -6 while
// the fraction is above the area and z below 6, score corrected by the latest
// step's density.
std::vector<float> expected_scores(const std::vector<uint32_t>& counts, double total, double& last_step)
{
    std::vector<float> out;
    double z = -6.0, area = 2.47e-9, cumulative = 0;
    for (uint32_t count : counts) {
        cumulative += count;
        const double f = cumulative / total;
        while (f > area / 2.506628275 && z < 6.0) {
            const double mid = z + 0.0005;
            last_step = std::exp(mid * mid / -2.0) * 0.001;
            area += last_step;
            z += 0.001;
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
        got.emplace_back(colours[c].size());
        normal_scores(colours[c].data(), static_cast<int32_t>(colours[c].size()), totals[c], step, got[c].data());
        EXPECT_EQ(got[c], expected_scores(colours[c], totals[c], expected_step)) << "colour " << c;
    }
    // An empty first bin reads -6; a bin adding nothing repeats its score; after
    // a sweep to z = 6 the tiny density there corrects empty bins far below -6.
    EXPECT_EQ(got[0][0], -6.0f);
    EXPECT_EQ(got[0][3], got[0][2]);
    EXPECT_LT(got[2][0], -6.01f);
}

// The line fit as described: reference at the first positive score, then
// every later bin with K - 1.3 < z < K, weighted by the normal density.
LineFit expected_fit(const std::vector<float>& z, long B, double K, double scale, std::string* debug)
{
    size_t j0 = 0;
    while (j0 < z.size() && !(z[j0] > 0))
        ++j0;
    if (j0 == z.size())
        return {nan_value, nan_value};
    // Each bin's score belongs at its upper edge, j B + 1.
    const long x0 = static_cast<long>(j0) * B + 1;
    const double z0 = z[j0];
    double weights = 0, ave = 0, sd = 0;
    for (size_t j = j0 + 1; j < z.size(); ++j) {
        const double zj = z[j];
        if (!(zj > K - 1.3 && zj < K))
            continue;
        const double w = std::exp(zj * zj / -2.0);
        const double s = zj != z0 ? static_cast<double>(static_cast<long>(j) * B + 1 - x0) / (zj - z0) : nan_value;
        weights += w;
        sd += s * w;
        ave += (static_cast<double>(x0) - z0 * s) * w;
        if (debug)
            *debug += format("j=%zu, SD=%6.4lf, Mean=%6.3lf\n", j, shown(s), shown(x0 - z0 * s));
    }
    if (weights == 0)
        return {nan_value, nan_value};
    return {ave / (weights / scale), sd / (weights / scale)};
}

TEST(FitNormalLine, OneBinInTheBandGivesTheLineThroughBothPointsByHand)
{
    // Bins of width 10 at their upper edges: reference bin 1 (DN 1..10) at x0 = 11,
    // z0 = 0.5; bin 2 at x = 21, z = 2: SD 10 / 1.5, mean 11 - 0.5 x SD.
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
    const BandCase& c = GetParam();
    TextBuffer debug;
    const LineFit fit = fit_normal_line(scores.data(), 14, 3, c.K, 1.16, &debug);
    std::vector<int> fitted;
    for (size_t at = 0; (at = debug.text.find("j=", at)) != std::string::npos; ++at)
        fitted.push_back(std::atoi(debug.text.c_str() + at + 2));
    EXPECT_EQ(fitted, c.fitted);
    std::string lines;
    const LineFit expected = expected_fit(scores, 3, c.K, 1.16, &lines);
    EXPECT_EQ(debug.text, lines);
    EXPECT_DOUBLE_EQ(fit.sd, expected.sd);
    EXPECT_DOUBLE_EQ(fit.ave, expected.ave);
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

// ------------------------------------------------------------- whole runs

int colour(uint32_t x, uint32_t y)
{
    return (y % 2 == 0) ? (x % 2 == 0 ? 0 : 1) : (x % 2 == 0 ? 1 : 2);
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

// One colour two-valued (half and half in every plane), the others constant.
rawgen::Image mosaic(uint16_t r, uint16_t g, uint16_t b, int varied, uint16_t lo, uint16_t hi)
{
    return rawgen::make_image(208, 208, [=](uint32_t x, uint32_t y) -> uint16_t {
        const int c = colour(x, y);
        return c == varied ? (x % 4 < 2 ? lo : hi) : c == 0 ? r : c == 1 ? g : b;
    });
}

rawgen::Image one_green()
{
    rawgen::Image img = mosaic(50, 0, 50, -1, 0, 0);
    img.samples[104 * 208 + 105] = 1;
    return img;
}

void put_image(const ScratchDir& dir, bool veldix, const std::string& stem, const rawgen::Image& img)
{
    dir.put(stem + (veldix ? ".TIF" : ".NEF"), veldix ? rawgen::make_tiff(img) : rawgen::make_nef(img));
}

// The value of switch -<letter>: `absent` when not given, `bare` without a value.
int switch_value(const std::vector<std::string>& args, char letter, int absent, int bare)
{
    for (const std::string& a : args)
        if (a.size() >= 2 && a[0] == '-' && a[1] == letter)
            return a.size() == 2 ? bare : std::stoi(a.substr(2));
    return absent;
}

struct Expected {
    std::string console, record, table;  // console and table empty when not computed
};

// The whole procedure written out from the description: the channel figures
// of the window (of image 1 minus image 2 with two), the trigger, the range,
// the second count over image 1 alone, the scores and the fits.
Expected expected_output(bool veldix, const rawgen::Image& img, const rawgen::Image* second,
                         const std::vector<std::string>& args)
{
    const uint32_t W = switch_value(args, 'W', 200, 0), H = switch_value(args, 'H', W, 0);
    const uint32_t even = veldix ? ~0u : ~1u;  // quorva's windows start on even rows and columns
    const uint32_t X = switch_value(args, 'X', (img.width - W) / 2, 0) & even;
    const uint32_t Y = switch_value(args, 'Y', (img.height - H) / 2, 0) & even;
    const std::string tail = format(", A.%s%s, w%u, h%u, x%u, y%u\n", veldix ? "TIF" : "NEF",
                                    second ? " minus B.NEF" : "", W, H, X, Y);
    const int K10 = switch_value(args, 'K', 0, 28), debug_bits = switch_value(args, 'D', 0, 0);
    const double K = K10 == 0 ? 2.8 : K10 / 10.0;
    const bool o_mode = switch_value(args, 'O', 0, 1) != 0;
    double sum[3] = {}, sq[3] = {}, pair[3] = {}, count[3] = {}, zeros = 0, sd[3], ave[3];
    for (uint32_t y = Y; y < Y + H; ++y)
        for (uint32_t x = X; x < X + W; ++x) {
            const int c = colour(x, y);
            const double v = img.at(x, y), v2 = second ? second->at(x, y) : 0;
            sum[c] += v - v2;
            sq[c] += (v - v2) * (v - v2);
            pair[c] += v + v2;
            count[c] += 1;
            zeros += (c == 1 && v == 0) ? 1 : 0;
        }
    bool due = K10 != 0;
    for (int c = 0; c < 3; ++c) {
        const double mean = sum[c] / count[c];
        sd[c] = std::sqrt(sq[c] / count[c] - mean * mean) / (second ? std::sqrt(2.0) : 1.0);
        ave[c] = (second ? pair[c] / (2 * count[c]) : mean) + 0.5;
        due = due || (veldix ? 3 : 4) * sd[c] > ave[c];
    }
    Expected e;
    if (!due || count[0] < 10000)
        return {"", ", , , , , , , " + tail, ""};
    const double range = (K + 1.5) * sd[1] * 100.0 / (100.0 - zeros / count[0] * 50) + ave[1] + 1;
    const bool defined = range < 2147483648.0;  // false also for NaN
    const long B = defined ? static_cast<long>(range) / 255 + 1 : 1, N = defined ? static_cast<long>(range) / B : 0;
    std::vector<std::vector<uint32_t>> counts(3, std::vector<uint32_t>(defined ? static_cast<size_t>(N) : 0, 0));
    for (uint32_t y = Y; defined && y < Y + H; ++y)
        for (uint32_t x = X; x < X + W; ++x) {
            const int c = colour(x, y);
            unsigned v = img.at(x, y);
            if (o_mode && c == 0)
                v -= (v + (veldix ? 4 : 5)) / 9;
            if (o_mode && c == 2)
                v -= (v + 2) / 7;
            const long bin = v == 0 ? 0 : (static_cast<long>(v) - 1) / B + 1;
            if (bin < N)
                ++counts[static_cast<size_t>(c)][static_cast<size_t>(bin)];
        }
    double n = count[0], step = 0.001;
    std::vector<float> z[3];
    LineFit fit[3];
    const double scale[3] = {o_mode ? 1.125 : 1.0, 1.0, o_mode ? 1.16 : 1.0};
    for (int c = 0; c < 3; ++c) {
        n += 0.1;
        z[c] = expected_scores(counts[static_cast<size_t>(c)], c == 1 ? 2 * n : n, step);
    }
    for (int c = 0; c < 3; ++c)
        fit[c] = expected_fit(z[c], B, K, scale[c], c == 1 && !veldix && (debug_bits & 16) ? &e.console : nullptr);
    e.console += "Histogram-derived:\n";
    const char* labels[] = {" Red  ", " Green", " Blue "};
    for (int c = 0; c < 3; ++c)
        e.console += format("%s ave %5.2lf, SD %5.2lf\n", labels[c], shown(fit[c].ave), shown(fit[c].sd));
    e.record = format(", From Hist:, %6.2lf,%6.2lf,%6.2lf,%6.2lf,%6.2lf,%6.2lf", shown(fit[0].ave),
                      shown(fit[1].ave), shown(fit[2].ave), shown(fit[0].sd), shown(fit[1].sd), shown(fit[2].sd)) + tail;
    if (K10 == 0 || !defined)
        return e;
    e.table = format("Normality curves, file A.%s%s, Window %ux%u at X=%u Y=%u\n", veldix ? "TIF" : "NEF",
                     second ? " - B.NEF" : "", W, H, X, Y) +
              (veldix ? veldix_profile() : quorva_profile()).derived.normality_header;
    for (long j = 0; j < N; ++j)
        e.table += format("%4ld, %10.3lf, %10.3lf, %10.3lf\n", j == 0 ? 0 : (j - 1) * B + 1,
                          static_cast<double>(z[0][static_cast<size_t>(j)]),
                          static_cast<double>(z[1][static_cast<size_t>(j)]),
                          static_cast<double>(z[2][static_cast<size_t>(j)]));
    e.table += "\n";
    return e;
}

struct RunCase {
    const char* name;
    bool veldix;
    rawgen::Image image, second;  // second: empty for one image
    std::vector<std::string> args;
    bool blocked_log = false;  // the histogram log cannot be opened: status 3
};

class WholeRunTest : public testing::TestWithParam<RunCase> {};

TEST_P(WholeRunTest, MatchesTheProcedureWrittenOut)
{
    const RunCase& c = GetParam();
    const ProgramProfile& profile = c.veldix ? veldix_profile() : quorva_profile();
    const bool two = !c.second.samples.empty();
    ScratchDir dir;
    put_image(dir, c.veldix, "A", c.image);
    std::vector<std::string> args = {"A", "-L"};
    if (two) {
        put_image(dir, c.veldix, "B", c.second);
        args.push_back("B");
    }
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Expected e = expected_output(c.veldix, c.image, two ? &c.second : nullptr, c.args);
    if (c.blocked_log)
        std::filesystem::create_directory(profile.hist_log_name);
    const CapturedRun run = run_captured(profile, args);
    EXPECT_EQ(run.status, c.blocked_log ? 3 : 0);
    // A blocked log ends the run after the figures, with no closing blank line
    // and no message but -N's warning; the record is completed all the same.
    EXPECT_TRUE(e.console.empty() ? run.out.find("Histogram-derived") == std::string::npos
                                  : ends_with(run.out, "\n" + e.console + (c.blocked_log ? "" : "\n")))
        << run.out << "expected\n" << e.console;
    const bool hist_switch = switch_value(c.args, 'N', 0, 0) != 0;
    EXPECT_EQ(run.out.find("Warning:  Unable to open") != std::string::npos, c.blocked_log && hist_switch);
    EXPECT_TRUE(ends_with(dir.read(profile.stats_log_name), e.record)) << e.record;
    // The curves follow the histogram table, or open the log themselves.
    const std::string log = c.blocked_log ? "" : dir.read(profile.hist_log_name);
    EXPECT_TRUE(c.blocked_log || (e.table.empty() ? log.find("Normality") == std::string::npos
                                  : hist_switch   ? ends_with(log, "\n\n" + e.table) && log.rfind("Histogram data", 0) == 0
                                                  : log == e.table))
        << log << "expected\n" << e.table;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WholeRunTest,
    testing::Values(
        RunCase{"QuorvaDark", false, noisy(208, 20, 30, 15, 30, 1), {}, {"-K"}},
        RunCase{"VeldixOddOrigin", true, noisy(210, 10, 35, 60, 25, 2), {}, {"-K", "-X3", "-Y5", "-H202"}},
        RunCase{"QuorvaOK25D16", false, noisy(208, 30, 25, 40, 30, 3), {}, {"-K25", "-O", "-D16"}},
        RunCase{"VeldixOK15D16", true, noisy(208, 30, 25, 40, 30, 4), {}, {"-K15", "-O", "-D16", "-X1", "-Y2"}},
        RunCase{"QuorvaD15", false, noisy(208, 20, 30, 15, 30, 5), {}, {"-K", "-D15"}},
        RunCase{"QuorvaD31AfterHistogram", false, noisy(208, 20, 30, 15, 30, 5), {}, {"-K", "-D31", "-N20"}},
        // Green 2970 / 3030: ave 3000.5, SD 30, bins of 13.
        RunCase{"Green3000Sd30", false, mosaic(2500, 3000, 2000, 1, 2970, 3030), {}, {"-K", "-D16"}},
        RunCase{"RedAboveRangeHasNoReference", false, noisy(208, 5000, 30, 15, 30, 8), {}, {"-K"}},
        RunCase{"ConstantGreenHasNoBandBin", false, mosaic(20, 40, 15, -1, 0, 0), {}, {"-K"}},
        // The range comes from the difference; the counts from image 1 only.
        RunCase{"TwoImagesCountImageOne", false, noisy(208, 20, 30, 15, 30, 11), noisy(208, 900, 800, 700, 5, 12),
                {"-K"}},
        // The trigger. Red 25/45: ave 35.5, SD 10 is clipped for 4 SDs (quorva),
        // not for 3 (veldix); 15/35 below 3 SDs. 198 x 202 holds 9999 samples
        // per plane, too few even with -K.
        RunCase{"RedBetween3And4SdQuorva", false, mosaic(1000, 1000, 1000, 0, 25, 45), {}, {}},
        RunCase{"RedBetween3And4SdVeldix", true, mosaic(1000, 1000, 1000, 0, 25, 45), {}, {}},
        RunCase{"RedBelow3SdVeldix", true, mosaic(1000, 1000, 1000, 0, 15, 35), {}, {}},
        RunCase{"GreenBelow3SdVeldix", true, mosaic(1000, 1000, 1000, 1, 15, 35), {}, {}},
        RunCase{"BlueBelow4SdQuorva", false, mosaic(1000, 1000, 1000, 2, 25, 45), {}, {}},
        RunCase{"BrightQuorva", false, mosaic(1000, 1000, 1000, -1, 0, 0), {}, {}},
        RunCase{"BrightWithKQuorva", false, mosaic(1000, 1000, 1000, -1, 0, 0), {}, {"-K"}},
        RunCase{"BrightWithKVeldix", true, mosaic(1000, 1000, 1000, -1, 0, 0), {}, {"-K"}},
        RunCase{"N9999WithK", false, mosaic(1000, 0, 1000, 1, 0, 40), {}, {"-W198", "-H202", "-K"}},
        RunCase{"N10000WithK", false, mosaic(1000, 0, 1000, 1, 0, 40), {}, {"-W200", "-H200", "-K"}},
        // Undefined ranges print nan: all greens at 0; image 1's greens 0 but
        // one, image 2's alternating 0 and 65535 (difference SD about 23170
        // over a zero share of 0.005 percent spreads the range past 2^31).
        RunCase{"AllGreensZero", false, mosaic(50, 0, 50, -1, 0, 0), {}, {"-K"}},
        RunCase{"RangeBeyond32Bits", false, one_green(), mosaic(50, 0, 50, 1, 0, 65535), {"-K40", "-N20"}},
        RunCase{"BlockedLog", false, noisy(208, 20, 30, 15, 30, 21), {}, {"-K"}, true},
        RunCase{"BlockedLogAfterHistogram", false, noisy(208, 20, 30, 15, 30, 21), {}, {"-K", "-N20"}, true}),
    [](const testing::TestParamInfo<RunCase>& param) { return std::string(param.param.name); });

}  // namespace
