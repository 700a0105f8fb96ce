// The counting sample pass against the plain one, compared on the results
// themselves, bit for bit; and every pass's failure on samples that are not
// in the file.
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "input/image_file.h"
#include "spectra/column_pass.h"
#include "spectra/line_spectra.h"
#include "spectra/spectrum_engine.h"
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

// One pass: IMG1.RAW (samples at 16) and IMG2.RAW (at 40) in the current
// directory; with a row plan, the row spectra too.
struct PassCase {
    uint32_t width = 0, height = 0;
    bool big_endian = false, two = false;
    WindowSpec window;
    HistogramSpec histogram;
    bool count_histogram = false, per_column = false, per_row = false;
    KernelMode mode;
    DirectionPlan rows;  // span 0: no row spectra
};

struct Passed {
    std::unique_ptr<PassResult> result;
    std::unique_ptr<MultiSums> rows = std::make_unique<MultiSums>();
};

RawImageInfo info_of(const PassCase& c)
{
    RawImageInfo info;
    info.width = c.width;
    info.height = c.height;
    info.big_endian = c.big_endian;
    info.data_offset[0] = 16;
    info.data_offset[1] = 40;
    info.saturation_level = 15400;
    info.row_stride = 2 * uint64_t{c.width};
    return info;
}

Passed pass_once(const PassCase& c, PassMode mode)
{
    ImageFile images[2];
    images[0].open("IMG1.RAW");
    if (c.two)
        images[1].open("IMG2.RAW");
    PassRequest request;
    request.image[0] = &images[0];
    request.image[1] = c.two ? &images[1] : nullptr;
    request.info = info_of(c);
    request.window = c.window;
    request.histogram = c.count_histogram ? &c.histogram : nullptr;
    request.per_column = c.per_column;
    request.per_row = c.per_row;
    request.mode = mode;
    Passed passed;
    const auto engine = make_spectrum_engine(mode == PassMode::plain ? EngineKind::literal : EngineKind::fast);
    std::unique_ptr<PairSpectra> rows;
    if (c.rows.on())
        rows = std::make_unique<PairSpectra>(*engine, c.mode, c.rows, *passed.rows);
    passed.result = sample_pass(request, rows.get());
    return passed;
}

// The pass both ways; returns the fast one. Windows below 65536 samples take
// the plain pass either way, so the cases here are larger or compare the
// counting pass itself.
std::unique_ptr<PassResult> expect_same_passes(const PassCase& c, const std::string& what)
{
    Passed fast = pass_once(c, PassMode::fast);
    const Passed reference = pass_once(c, PassMode::plain);
    EXPECT_TRUE(fast.result->read.ok() && reference.result->read.ok()) << what;
    const ChannelStats& f = fast.result->stats;
    const ChannelStats& r = reference.result->stats;
    EXPECT_TRUE(same_bits(f, r)) << what << ": sums, extremes, zero and saturated counts";
    EXPECT_TRUE(same_bits(fast.result->histogram, reference.result->histogram)) << what << ": histogram";
    EXPECT_TRUE(same_bits(fast.result->profiles, reference.result->profiles)) << what << ": profiles";
    EXPECT_TRUE(same_bits(*fast.rows, *reference.rows)) << what << ": spectra";
    return std::move(fast.result);
}

// Random images, windows (the second with the first one's parities) and
// modes; the fast pass's per-DN counts of image 1 are also checked against a
// count made here.
TEST(FastSamplePass, MatchesThePlainPassOnRandomWindowsAndModes)
{
    ScratchDir dir;
    std::mt19937 rng(31);
    for (int trial = 0; trial < 40; ++trial) {
        PassCase c;
        c.width = 260 + 2 * (rng() % 200) + (rng() % 2);
        c.height = 260 + rng() % 150;
        c.big_endian = (trial & 1) != 0;
        c.two = (trial & 2) != 0;
        const std::vector<uint16_t> image = random_samples(rng, size_t{c.width} * c.height, trial % 3);
        dir.put("IMG1.RAW", raw_file(image, c.big_endian, 16));
        if (c.two)
            dir.put("IMG2.RAW", raw_file(random_samples(rng, image.size(), trial % 3), c.big_endian, 40));
        WindowSpec& w = c.window;
        w.W = 2 * (128 + static_cast<int64_t>(rng() % (c.width / 2 - 128)));
        w.H = 2 * (128 + static_cast<int64_t>(rng() % (c.height / 2 - 128)));
        w.X = static_cast<int64_t>(rng() % (c.width - w.W + 1));
        w.Y = static_cast<int64_t>(rng() % (c.height - w.H + 1));
        w.X2 = (static_cast<int64_t>(rng() % (c.width - w.W + 1)) & ~int64_t{1}) | (w.X & 1);
        w.Y2 = (static_cast<int64_t>(rng() % (c.height - w.H + 1)) & ~int64_t{1}) | (w.Y & 1);
        w.X2 -= w.X2 + w.W > c.width ? 2 : 0;
        w.Y2 -= w.Y2 + w.H > c.height ? 2 : 0;
        c.histogram = {static_cast<int32_t>(rng() % 2000), 1 + static_cast<int32_t>(rng() % 40),
                       1 + static_cast<int32_t>(rng() % 512)};
        c.count_histogram = (trial % 4) != 3;
        c.per_column = trial % 5 == 1 || trial % 5 == 3;
        c.per_row = trial % 5 == 2 || trial % 5 == 3;
        c.mode.autocorr = (trial & 8) != 0;
        if (trial % 5 == 4)
            c.rows = {static_cast<int32_t>(w.W), static_cast<int32_t>(std::min<int64_t>(w.W / 2, 2 + rng() % 40))};
        const std::string what = "trial " + std::to_string(trial);
        const auto fast = expect_same_passes(c, what);
        std::vector<uint32_t> expected(4 * 65536, 0);
        for (int64_t y = w.Y; y < w.Y + w.H; ++y)
            for (int64_t x = w.X; x < w.X + w.W; ++x) {
                const int plane = (y & 1) == 0 ? ((x & 1) == 0 ? R : G1) : ((x & 1) == 0 ? G2 : B);
                ++expected[static_cast<size_t>(plane) * 65536 + image[static_cast<size_t>(y * c.width + x)]];
            }
        EXPECT_EQ(fast->dn_counts, expected) << what;
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
        PassCase c;
        c.width = width;
        c.height = height;
        c.big_endian = true;
        c.two = two;
        c.window = w;
        const auto fast = expect_same_passes(c, two ? "two images" : "one image");
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

// A file cut one byte short of the window's last sample (as a file that shrank
// while it was read): every pass that reads the window says which image it
// could not read, instead of measuring zeros.
TEST(SamplePasses, FailOnASampleThatIsNotInTheFileAndNameItsImage)
{
    ScratchDir dir;
    std::mt19937 rng(4);
    const uint32_t width = 300, height = 240;
    const std::vector<uint16_t> image = random_samples(rng, size_t{width} * height, 1);
    std::vector<uint8_t> whole[2] = {raw_file(image, false, 16), raw_file(image, false, 40)}, cut[2] = {whole[0], whole[1]};
    cut[0].pop_back();
    cut[1].pop_back();
    for (const int short_image : {0, 1}) {
        dir.put("IMG1.RAW", short_image == 0 ? cut[0] : whole[0]);
        dir.put("IMG2.RAW", short_image == 1 ? cut[1] : whole[1]);
        PassCase c;
        c.width = width;
        c.height = height;
        c.two = true;
        c.window = WindowSpec{width, height, 0, 0, 0, 0};  // the counting pass above 65536 samples
        for (const PassMode mode : {PassMode::fast, PassMode::plain})
            EXPECT_EQ(pass_once(c, mode).result->read.failed_image, short_image);
        ImageFile images[2];
        images[0].open("IMG1.RAW");
        images[1].open("IMG2.RAW");
        const auto engine = make_spectrum_engine(EngineKind::fast);
        auto sums = std::make_unique<MultiSums>();
        PairSpectra columns(*engine, KernelMode{}, DirectionPlan{static_cast<int32_t>(height), 4}, *sums);
        EXPECT_EQ(column_pass(images[0], &images[1], info_of(c), c.window, columns).failed_image, short_image);
    }
}

}  // namespace
