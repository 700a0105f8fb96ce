// The writer's files as the programs' own probes find them (outside readers
// check the layout in tests/interop), and the statistics of its content.
#include "raw_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "input/nef_probe.h"
#include "input/tif_probe.h"
#include "support/run_capture.h"

namespace {

struct Moments {
    double n = 0, sum = 0, sum2 = 0;
    void add(double v) { n += 1, sum += v, sum2 += v * v; }
    double mean() const { return sum / n; }
    double sd() const { return std::sqrt(sum2 / n - mean() * mean()); }
};

// 6 x 4, every sample with distinct high and low bytes.
rawgen::Image small()
{
    return rawgen::make_image(6, 4, [](uint32_t x, uint32_t y) { return uint16_t(0x1200 + 16 * y + x); });
}

ProbedFile probe(ProbeFunction probe_function, const std::vector<uint8_t>& bytes)
{
    ScratchDir dir;
    dir.put("F", bytes);
    return probe_file(probe_function, "F");
}

TEST(RawWriter, FilesInEveryByteOrderHoldTheImageWhereTheProbesLook)
{
    for (bool file_big : {false, true})
        for (bool maker_big : {false, true}) {
            const rawgen::NefOptions options{.file_big_endian = file_big, .maker_big_endian = maker_big};
            const ProbedFile nef = probe(nef_probe, rawgen::make_nef(small(), options));
            EXPECT_EQ(nef.outcome.status, ExitStatus::completed);
            EXPECT_EQ(nef.outcome.info.big_endian, maker_big);
            EXPECT_EQ(nef.outcome.info.saturation_level, 15600);  // the NIKON D800 of the default model
            EXPECT_EQ(nef.samples, small().samples);
        }
    for (bool big : {false, true})
        for (bool short_form : {false, true}) {
            const ProbedFile tif = probe(tif_probe, rawgen::make_tiff(small(), {.big_endian = big, .short_entries = short_form}));
            EXPECT_EQ(tif.outcome.status, ExitStatus::completed);
            EXPECT_EQ(tif.outcome.info.array_size, 48u);
            EXPECT_EQ(tif.samples, small().samples);
        }
    const std::vector<uint8_t> base = rawgen::make_nef(small());
    EXPECT_EQ(std::vector<uint8_t>(base.begin(), base.end() - 3), rawgen::make_nef(small(), {.raw_bytes_delta = -3}));
    EXPECT_THROW(rawgen::make_nef(small(), {.header_bytes = 100}), std::invalid_argument);
}

TEST(RawWriter, NoiseIsSeededWithRequestedMomentsAndClipped)
{
    rawgen::Content c;
    for (int p = 0; p < 4; ++p)
        c.plane[p] = {.level = 1000.0 * (p + 1), .noise_sd = 10.0 * (p + 1)};
    const auto image = rawgen::make_image(512, 512, c);
    EXPECT_EQ(image.samples, rawgen::make_image(512, 512, c).samples);
    c.seed = 2;
    EXPECT_NE(image.samples, rawgen::make_image(512, 512, c).samples);
    Moments m[4];
    for (uint32_t y = 0; y < 512; ++y)
        for (uint32_t x = 0; x < 512; ++x)
            m[size_t(rawgen::plane_of(x, y))].add(image.at(x, y));
    for (int p = 0; p < 4; ++p) {
        const double want_sd = std::sqrt(100.0 * (p + 1) * (p + 1) + 1.0 / 12);  // + rounding
        EXPECT_NEAR(m[p].mean(), 1000.0 * (p + 1), 5 * want_sd / 256) << p;      // 5 standard errors
        EXPECT_NEAR(m[p].sd(), want_sd, 0.02 * want_sd) << p;
    }
    for (double level : {0.0, 16383.0}) {
        rawgen::Content clipped;
        for (auto& pc : clipped.plane)
            pc = {.level = level, .noise_sd = 100};
        const auto at_clip = rawgen::make_image(256, 256, clipped);
        // Values in (-inf, 0.5) round to 0: P(z < 0.005) = 0.502 of the samples.
        const auto stuck = std::count(at_clip.samples.begin(), at_clip.samples.end(), uint16_t(level));
        EXPECT_NEAR(stuck / 65536.0, 0.502, 0.01);
    }
}

}  // namespace
