// The counting sample pass against the plain one, compared on the
// accumulators themselves, bit for bit.
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "program_profiles.h"
#include "run/run_state.h"
#include "spectra/column_pass.h"
#include "stats/sample_pass.h"
#include "support/run_capture.h"

namespace {

// Headerless image files, 16-bit samples from `offset` on.
std::vector<uint8_t> raw_file(const std::vector<uint16_t>& samples, bool big_endian, size_t offset)
{
    std::vector<uint8_t> bytes(offset, 0x5A);
    for (const uint16_t v : samples) {
        bytes.push_back(static_cast<uint8_t>(big_endian ? v >> 8 : v & 0xFF));
        bytes.push_back(static_cast<uint8_t>(big_endian ? v & 0xFF : v >> 8));
    }
    return bytes;
}

template <typename T>
bool same_bits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The pass over IMG1.RAW (at 16) and IMG2.RAW (at 40) in the current
// directory both ways, on runs that `setup` prepares; returns the counting one.
template <typename Setup>
std::unique_ptr<RunState> expect_same_passes(const Setup& setup, const std::string& what)
{
    std::unique_ptr<RunState> runs[2];
    for (const bool reference : {false, true}) {
        auto run = std::make_unique<RunState>(veldix_profile(), Console{stdout});
        run->reference_path = reference;
        run->info.data_offset[0] = 16;
        run->info.data_offset[1] = 40;
        run->info.saturation_level = 15400;
        setup(*run);
        run->info.row_stride = 2 * uint64_t{run->info.width};
        run->images[0].open("IMG1.RAW");
        if (run->settings.two_files)
            run->images[1].open("IMG2.RAW");
        reset_channel_stats(run->stats, run->window.W, run->window.H);
        const ReadOutcome read = reference ? plain_sample_pass(*run) : counting_sample_pass(*run);
        EXPECT_TRUE(read.ok()) << what;
        runs[reference] = std::move(run);
    }
    const RunState &fast = *runs[0], &reference = *runs[1];
    const ChannelStats& f = fast.stats;
    const ChannelStats& r = reference.stats;
    EXPECT_TRUE(same_bits(f.n, r.n) && same_bits(f.sum_diff, r.sum_diff) && same_bits(f.sum_sq, r.sum_sq) &&
                same_bits(f.sum_pair, r.sum_pair))
        << what << ": sums";
    EXPECT_TRUE(same_bits(f.min_dn, r.min_dn) && same_bits(f.max_dn, r.max_dn)) << what << ": extremes";
    EXPECT_TRUE(f.zero_count == r.zero_count && f.sat_count == r.sat_count) << what << ": zero or saturated";
    EXPECT_TRUE(same_bits(fast.hist.counts, reference.hist.counts)) << what << ": histogram";
    EXPECT_TRUE(same_bits(fast.profiles.line, reference.profiles.line)) << what << ": line store";
    EXPECT_TRUE(same_bits(fast.spectra.coef_sums, reference.spectra.coef_sums)) << what << ": spectra";
    return std::move(runs[0]);
}

std::vector<uint16_t> random_samples(std::mt19937& rng, size_t count, int kind)
{
    std::vector<uint16_t> v(count);
    std::normal_distribution<double> noise(kind == 0 ? 6.0 : 1200.0, kind == 0 ? 5.0 : 40.0);
    std::uniform_int_distribution<int> any(0, 65535);
    for (uint16_t& s : v) {
        const double x = noise(rng);
        s = static_cast<uint16_t>(kind == 2 ? any(rng) : x < 0 ? 0 : x > 16383 ? 16383 : x + 0.5);
    }
    return v;
}

// Random images, windows (the second with the first one's parities) and
// modes; the fast pass's per-DN counts of image 1 are also checked against a
// count made here.
TEST(FastSamplePass, MatchesThePlainPassOnRandomWindowsAndModes)
{
    ScratchDir dir;
    std::mt19937 rng(31);
    for (int trial = 0; trial < 60; ++trial) {
        const uint32_t width = 20 + 2 * (rng() % 200) + (rng() % 2), height = 4 + rng() % 150;
        const bool big_endian = (trial & 1) != 0, two = (trial & 2) != 0;
        const std::vector<uint16_t> image = random_samples(rng, size_t{width} * height, trial % 3);
        dir.put("IMG1.RAW", raw_file(image, big_endian, 16));
        if (two)
            dir.put("IMG2.RAW", raw_file(random_samples(rng, image.size(), trial % 3), big_endian, 40));
        WindowSpec w;
        w.W = 2 * (1 + static_cast<int64_t>(rng() % std::min<uint32_t>(width / 2, 1000)));
        w.H = 2 * (1 + static_cast<int64_t>(rng() % (height / 2)));
        w.X = static_cast<int64_t>(rng() % (width - w.W + 1));
        w.Y = static_cast<int64_t>(rng() % (height - w.H + 1));
        w.X2 = (static_cast<int64_t>(rng() % (width - w.W + 1)) & ~int64_t{1}) | (w.X & 1);
        w.Y2 = (static_cast<int64_t>(rng() % (height - w.H + 1)) & ~int64_t{1}) | (w.Y & 1);
        w.X2 -= w.X2 + w.W > width ? 2 : 0;
        w.Y2 -= w.Y2 + w.H > height ? 2 : 0;
        const int32_t start = static_cast<int32_t>(rng() % 2000), bin_width = 1 + static_cast<int32_t>(rng() % 40);
        const int32_t bins = 1 + static_cast<int32_t>(rng() % 512);
        const int32_t span = static_cast<int32_t>(std::min<int64_t>(w.W / 2, 2 + rng() % 40));
        const std::string what = "trial " + std::to_string(trial);
        const auto fast = expect_same_passes(
            [&](RunState& run) {
                run.info.width = width;
                run.info.height = height;
                run.info.big_endian = big_endian;
                run.window = w;
                run.settings.two_files = two;
                run.settings.hist_enabled = (trial % 4) != 3;
                run.hist.start = start;
                run.hist.width = bin_width;
                run.hist.bins = bins;
                run.profiles.per_column = trial % 5 == 1 || trial % 5 == 3;
                run.profiles.per_row = trial % 5 == 2 || trial % 5 == 3;
                run.settings.multi_line = run.settings.row_lines = trial % 5 == 4;
                run.settings.autocorr = trial % 5 == 4 && (trial & 8) != 0;
                run.spectra.span_x = trial % 5 == 4 ? span : 0;
            },
            what);
        std::vector<uint32_t> expected(4 * 65536, 0);
        for (int64_t y = w.Y; y < w.Y + w.H; ++y)
            for (int64_t x = w.X; x < w.X + w.W; ++x) {
                const int plane = (y & 1) == 0 ? ((x & 1) == 0 ? R : G1) : ((x & 1) == 0 ? G2 : B);
                ++expected[static_cast<size_t>(plane) * 65536 + image[static_cast<size_t>(y * width + x)]];
            }
        EXPECT_EQ(fast->stats.dn_counts, expected) << what;
        std::vector<uint32_t> counted;
        count_window_values(*fast, counted);
        EXPECT_EQ(counted, expected) << what;
    }
}

// Row pairs up to 2048 long, more of them than one batch of the fast
// spectra holds, with the full span and with a few frequencies.
TEST(FastSamplePass, LongRowSpectra)
{
    ScratchDir dir;
    std::mt19937 rng(5);
    const uint32_t width = 2051, height = 70;
    dir.put("IMG1.RAW", raw_file(random_samples(rng, size_t{width} * height, 1), true, 16));
    for (const auto& [W, span, autocorr] : {std::tuple{2048, 1024, false}, {2048, 8, true}, {1998, 999, true},
                                            {2046, 5, false}, {62, 31, true}}) {
        expect_same_passes(
            [&](RunState& run) {
                run.info.width = width;
                run.info.height = height;
                run.info.big_endian = true;
                run.window = WindowSpec{W, 68, 1, 1, 1, 1};
                run.settings.multi_line = run.settings.row_lines = true;
                run.settings.autocorr = autocorr;
                run.spectra.span_x = span;
            },
            std::to_string(W) + " wide, span " + std::to_string(span));
    }
}

// A bright, large window: the sum of d x d passes 2^53, where adding the
// squares one by one in double precision no longer gives the whole-number
// sum. The fast pass must still give the plain pass's sums.
TEST(FastSamplePass, SquareSumsBeyondTwoToTheFiftyThree)
{
    ScratchDir dir;
    std::mt19937 rng(8);
    const uint32_t width = 2210, height = 2206;
    std::vector<uint16_t> bright(size_t{width} * height), low(bright.size());
    std::uniform_int_distribution<int> high(60001, 65535), small(0, 3);
    for (size_t i = 0; i < bright.size(); ++i) {
        bright[i] = static_cast<uint16_t>(high(rng));
        low[i] = static_cast<uint16_t>(small(rng));
    }
    dir.put("IMG1.RAW", raw_file(bright, true, 16));
    dir.put("IMG2.RAW", raw_file(low, true, 40));
    const WindowSpec w{2200, 2200, 3, 5, 7, 1};
    for (bool two : {false, true}) {
        const auto fast = expect_same_passes(
            [&](RunState& run) {
                run.info.width = width;
                run.info.height = height;
                run.window = w;
                run.settings.two_files = two;
            },
            two ? "two images" : "one image");
        // The case is the one meant: Green's whole-number sum is beyond 2^53
        // and differs from the one-by-one double sum.
        uint64_t exact = 0;
        for (int64_t y = 0; y < w.H; ++y)
            for (int64_t x = (w.Y + y + w.X + 1) & 1; x < w.W; x += 2) {
                const int64_t d = int64_t{bright[static_cast<size_t>((w.Y + y) * width + w.X + x)]} -
                                  (two ? int64_t{low[static_cast<size_t>((w.Y2 + y) * width + w.X2 + x)]} : 0);
                exact += static_cast<uint64_t>(d * d);
            }
        EXPECT_GT(exact, uint64_t{1} << 53);
        EXPECT_NE(static_cast<double>(exact), fast->stats.sum_sq[Green]);
    }
}

}  // namespace

namespace {

// A file cut one byte short of the window's last sample (as a file that shrank
// while it was read): every pass that reads the window says which image it
// could not read, instead of measuring zeros.
TEST(SamplePasses, FailOnASampleThatIsNotInTheFileAndNameItsImage)
{
    ScratchDir dir;
    std::mt19937 rng(4);
    const uint32_t width = 300, height = 240;
    const std::vector<uint16_t> image = random_samples(rng, size_t{width} * height, 1);
    std::vector<uint8_t> whole = raw_file(image, false, 16), cut = whole;
    cut.pop_back();
    for (const int short_image : {0, 1}) {
        dir.put("IMG1.RAW", short_image == 0 ? cut : whole);
        dir.put("IMG2.RAW", short_image == 1 ? cut : whole);
        for (const bool reference : {false, true}) {
            RunState run(veldix_profile(), Console{stdout});
            run.reference_path = reference;
            run.info.width = width;
            run.info.height = height;
            run.info.row_stride = 2 * width;
            run.info.big_endian = false;
            run.info.data_offset[0] = run.info.data_offset[1] = 16;
            run.images[0].open("IMG1.RAW");
            run.images[1].open("IMG2.RAW");
            run.settings.two_files = true;
            run.window = WindowSpec{width, height, 0, 0, 0, 0};  // the fast pass above 65536 samples
            run.spectra.span_y = 4;
            reset_channel_stats(run.stats, width, height);
            EXPECT_EQ(sample_pass(run).failed_image, short_image) << reference;
            EXPECT_EQ(column_pass(run).failed_image, short_image) << reference;
        }
    }
}

}  // namespace
