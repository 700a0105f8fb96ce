// The fast sample pass against the plain one, compared on the accumulators
// themselves (bit for bit), not only on what the reports print.
#include <bit>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_profiles.h"
#include "run/run_state.h"
#include "spectra/row_spectra.h"
#include "stats/sample_pass.h"
#include "support/run_capture.h"

namespace {

uint64_t bits(double v)
{
    return std::bit_cast<uint64_t>(v);
}

// A headerless image file: width x height 16-bit samples at `offset`.
std::vector<uint8_t> raw_file(const std::vector<uint16_t>& samples, bool big_endian, size_t offset)
{
    std::vector<uint8_t> bytes(offset, 0x5A);
    for (const uint16_t v : samples) {
        const uint8_t hi = static_cast<uint8_t>(v >> 8);
        const uint8_t lo = static_cast<uint8_t>(v & 0xFF);
        bytes.push_back(big_endian ? hi : lo);
        bytes.push_back(big_endian ? lo : hi);
    }
    return bytes;
}

struct PassSetup {
    uint32_t width = 0;
    uint32_t height = 0;
    bool big_endian = false;
    bool two = false;
    WindowSpec window;
    bool hist = false;
    int32_t S = 1, B = 1, N = 50;
    bool per_column = false;
    bool per_row = false;
    bool multi_rows = false;
    bool autocorr = false;
    int32_t span_x = 0;
};

// One pass over files IMG1.RAW (and IMG2.RAW) in the current directory.
std::unique_ptr<RunState> run_pass(const PassSetup& p, bool reference)
{
    auto run = std::make_unique<RunState>(veldix_profile(), Console{stdout});
    run->reference_path = reference;
    RunSettings& s = run->settings;
    s.two_files = p.two;
    s.hist_enabled = p.hist;
    s.multi_line = p.multi_rows;
    s.row_lines = p.multi_rows;
    s.autocorr = p.autocorr;
    run->info.width = p.width;
    run->info.height = p.height;
    run->info.data_offset[0] = 16;
    run->info.data_offset[1] = 40;
    run->info.row_stride = 2 * uint64_t{p.width};
    run->info.big_endian = p.big_endian;
    run->info.saturation_level = 15400;
    run->window = p.window;
    run->hist.start = p.S;
    run->hist.width = p.B;
    run->hist.bins = p.N;
    run->profiles.per_column = p.per_column;
    run->profiles.per_row = p.per_row;
    run->spectra.span_x = p.span_x;
    run->images.file[0] = std::fopen("IMG1.RAW", "rb");
    if (p.two)
        run->images.file[1] = std::fopen("IMG2.RAW", "rb");
    reset_channel_stats(run->stats, p.window.W, p.window.H);
    if (reference)
        plain_sample_pass(*run);
    else
        counting_sample_pass(*run);
    return run;
}

void expect_same_state(const RunState& fast, const RunState& reference, const std::string& what)
{
    const ChannelStats& f = fast.stats;
    const ChannelStats& r = reference.stats;
    EXPECT_EQ(bits(f.n), bits(r.n)) << what;
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(bits(f.sum_diff[c]), bits(r.sum_diff[c])) << what << " colour " << c;
        EXPECT_EQ(bits(f.sum_sq[c]), bits(r.sum_sq[c])) << what << " colour " << c;
        EXPECT_EQ(bits(f.sum_pair[c]), bits(r.sum_pair[c])) << what << " colour " << c;
        EXPECT_EQ(f.min_dn[c], r.min_dn[c]) << what << " colour " << c;
        EXPECT_EQ(f.max_dn[c], r.max_dn[c]) << what << " colour " << c;
    }
    EXPECT_EQ(f.zero_count, r.zero_count) << what;
    EXPECT_EQ(f.sat_count, r.sat_count) << what;
    for (int plane = 0; plane < 4; ++plane)
        for (int k = 0; k < max_histogram_bins + 2; ++k)
            ASSERT_EQ(fast.hist.counts[plane][k], reference.hist.counts[plane][k]) << what << " plane " << plane;
    for (int line = 0; line < 8; ++line)
        for (int k = 0; k < line_capacity; ++k)
            ASSERT_EQ(fast.profiles.line[line][k], reference.profiles.line[line][k])
                << what << " line " << line << " entry " << k;
    for (int a = 0; a < 6; ++a)
        for (int k = 0; k < coef_entries; ++k)
            ASSERT_EQ(std::bit_cast<uint32_t>(fast.spectra.coef_sums[a][k]),
                      std::bit_cast<uint32_t>(reference.spectra.coef_sums[a][k]))
                << what << " store " << a << " entry " << k;
}

std::vector<uint16_t> random_samples(std::mt19937& rng, size_t count, int kind)
{
    std::vector<uint16_t> v(count);
    std::normal_distribution<double> noise(kind == 0 ? 6.0 : 1200.0, kind == 0 ? 5.0 : 40.0);
    std::uniform_int_distribution<int> any(0, 65535);
    for (uint16_t& s : v) {
        if (kind == 2) {
            s = static_cast<uint16_t>(any(rng));
        } else {
            const double x = noise(rng);
            s = static_cast<uint16_t>(x < 0 ? 0 : x > 16383 ? 16383 : x + 0.5);
        }
    }
    return v;
}

TEST(FastSamplePass, MatchesThePlainPassOnRandomWindowsAndModes)
{
    ScratchDir dir;
    std::mt19937 rng(31);
    for (int trial = 0; trial < 60; ++trial) {
        PassSetup p;
        p.width = 20 + 2 * (rng() % 200) + (rng() % 2);
        p.height = 4 + rng() % 150;
        p.big_endian = (trial & 1) != 0;
        p.two = (trial & 2) != 0;
        const int kind = trial % 3;
        dir.put("IMG1.RAW", raw_file(random_samples(rng, size_t{p.width} * p.height, kind), p.big_endian, 16));
        if (p.two)
            dir.put("IMG2.RAW", raw_file(random_samples(rng, size_t{p.width} * p.height, kind), p.big_endian, 40));
        WindowSpec& w = p.window;
        w.W = 2 * (1 + static_cast<int64_t>(rng() % std::min<uint32_t>(p.width / 2, 1000)));
        w.H = 2 * (1 + static_cast<int64_t>(rng() % (p.height / 2)));
        w.X = static_cast<int64_t>(rng() % (p.width - w.W + 1));
        w.Y = static_cast<int64_t>(rng() % (p.height - w.H + 1));
        // The second window has the first one's parities.
        w.X2 = (static_cast<int64_t>(rng() % (p.width - w.W + 1)) & ~int64_t{1}) | (w.X & 1);
        w.Y2 = (static_cast<int64_t>(rng() % (p.height - w.H + 1)) & ~int64_t{1}) | (w.Y & 1);
        if (w.X2 + w.W > p.width)
            w.X2 -= 2;
        if (w.Y2 + w.H > p.height)
            w.Y2 -= 2;
        p.hist = (trial % 4) != 3;
        p.S = static_cast<int32_t>(rng() % 2000);
        p.B = 1 + static_cast<int32_t>(rng() % 40);
        p.N = 1 + static_cast<int32_t>(rng() % 512);
        switch (trial % 5) {
        case 1:
            p.per_column = true;
            break;
        case 2:
            p.per_row = true;
            break;
        case 3:
            p.per_column = p.per_row = true;
            break;
        case 4:
            p.multi_rows = true;
            p.autocorr = (trial & 8) != 0;
            p.span_x = static_cast<int32_t>(std::min<int64_t>(w.W / 2, 2 + rng() % 40));
            break;
        default:
            break;
        }
        const std::string what = "trial " + std::to_string(trial) + " W" + std::to_string(w.W) + " H" +
                                 std::to_string(w.H) + " X" + std::to_string(w.X) + " Y" + std::to_string(w.Y);
        const auto fast = run_pass(p, false);
        const auto reference = run_pass(p, true);
        expect_same_state(*fast, *reference, what);
    }
}

// The DN counts of image 1's window, per plane, from the fast pass and from
// the counting pass on its own, against a count made here sample by sample.
TEST(FastSamplePass, CountsEveryDnOfImageOnePerPlane)
{
    ScratchDir dir;
    std::mt19937 rng(12);
    for (int trial = 0; trial < 6; ++trial) {
        PassSetup p;
        p.width = 301 + static_cast<uint32_t>(trial);
        p.height = 97;
        p.big_endian = (trial & 1) != 0;
        p.two = (trial & 2) != 0;
        const std::vector<uint16_t> image = random_samples(rng, size_t{p.width} * p.height, trial % 3);
        dir.put("IMG1.RAW", raw_file(image, p.big_endian, 16));
        dir.put("IMG2.RAW", raw_file(random_samples(rng, image.size(), 1), p.big_endian, 40));
        p.window = WindowSpec{2 * (60 + trial), 2 * (20 + trial), 3 + trial, 2 * trial + 1, 1, 3};
        std::vector<uint32_t> expected(4 * 65536, 0);
        const WindowSpec& w = p.window;
        for (int64_t y = w.Y; y < w.Y + w.H; ++y)
            for (int64_t x = w.X; x < w.X + w.W; ++x) {
                const int plane = (y & 1) == 0 ? ((x & 1) == 0 ? R : G1) : ((x & 1) == 0 ? G2 : B);
                ++expected[static_cast<size_t>(plane) * 65536 + image[static_cast<size_t>(y * p.width + x)]];
            }
        const auto run = run_pass(p, false);
        EXPECT_EQ(run->stats.dn_counts, expected) << "trial " << trial;
        std::vector<uint32_t> counted;
        count_window_values(*run, counted);
        EXPECT_EQ(counted, expected) << "trial " << trial;
        EXPECT_TRUE(run_pass(p, true)->stats.dn_counts.empty());
    }
}

// A bright, large window: the sum of d x d passes 2^53, where adding the
// squares one by one in double precision no longer gives the whole-number
// sum. The fast pass must still give the sums of the plain pass.
TEST(FastSamplePass, SquareSumsBeyondTwoToTheFiftyThree)
{
    ScratchDir dir;
    std::mt19937 rng(8);
    PassSetup p;
    p.width = 2210;
    p.height = 2206;
    std::vector<uint16_t> bright(size_t{p.width} * p.height);
    std::uniform_int_distribution<int> high(60001, 65535);
    for (uint16_t& s : bright)
        s = static_cast<uint16_t>(high(rng));
    dir.put("IMG1.RAW", raw_file(bright, false, 16));
    std::vector<uint16_t> low(bright.size());
    std::uniform_int_distribution<int> small(0, 3);
    for (uint16_t& s : low)
        s = static_cast<uint16_t>(small(rng));
    dir.put("IMG2.RAW", raw_file(low, false, 40));
    p.window = WindowSpec{2200, 2200, 3, 5, 7, 1};

    for (bool two : {false, true}) {
        p.two = two;
        const auto fast = run_pass(p, false);
        const auto reference = run_pass(p, true);
        expect_same_state(*fast, *reference, two ? "two images" : "one image");

        // The case is the one meant: Green's whole-number sum is beyond 2^53
        // and differs from the one-by-one double sum.
        uint64_t exact = 0;
        const WindowSpec& w = p.window;
        for (int64_t y = 0; y < w.H; ++y)
            for (int64_t x = 0; x < w.W; ++x) {
                if (((w.Y + y) & 1) == ((w.X + x) & 1))
                    continue;  // R and B
                const int64_t d = int64_t{bright[static_cast<size_t>((w.Y + y) * p.width + w.X + x)]} -
                                  (two ? int64_t{low[static_cast<size_t>((w.Y2 + y) * p.width + w.X2 + x)]} : 0);
                exact += static_cast<uint64_t>(d * d);
            }
        EXPECT_GT(exact, uint64_t{1} << 53);
        EXPECT_NE(bits(static_cast<double>(exact)), bits(reference->stats.sum_sq[Green]));
    }
}

}  // namespace
