// The writer's own layout, read back with the interop tests' TIFF reader (written
// from the layout alone). The corruption knobs are checked where they matter: each
// makes the probe fail with its own code (tests/input, tests/cli).
#include "raw_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "interop/outside_tools.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string text(const Bytes& b, size_t at = 0, size_t n = std::string::npos) {
  return std::string(b.begin(), b.end()).substr(at, n);
}

uint16_t u16(const Bytes& b, size_t at, bool big) {
  return static_cast<uint16_t>(big ? b.at(at) << 8 | b.at(at + 1) : b.at(at + 1) << 8 | b.at(at));
}

struct Moments {
  double n = 0, sum = 0, sum2 = 0;
  void add(double v) { n += 1, sum += v, sum2 += v * v; }
  double mean() const { return sum / n; }
  double sd() const { return std::sqrt(sum2 / n - mean() * mean()); }
};

// 6 x 4, every sample with distinct high and low bytes.
rawgen::Image small() {
  return rawgen::make_image(6, 4, [](uint32_t x, uint32_t y) { return uint16_t(0x1200 + 16 * y + x); });
}

}  // namespace

TEST(RawWriter, NefLayoutInEveryPairOfByteOrders) {
  for (bool file_big : {false, true}) {
    for (bool maker_big : {false, true}) {
      const uint32_t header = maker_big ? 12000 : 10001;
      SCOPED_TRACE(testing::Message() << "file MM " << file_big << ", maker MM " << maker_big);
      const Bytes f = rawgen::make_nef(
          small(), {.file_big_endian = file_big, .maker_big_endian = maker_big, .header_bytes = header});
      ASSERT_EQ(f.size(), header + 48u);
      const TiffDirectory first = read_tiff_directory(text(f));
      EXPECT_EQ(first.big_endian, file_big);
      EXPECT_EQ(text(f, first.entries.at(0x010F).field, 18), std::string("NIKON CORPORATION\0", 18));
      EXPECT_EQ(first.entries.at(0x0110).count, 11u);
      EXPECT_EQ(text(f, first.entries.at(0x0110).field, 12), std::string("NIKON D800\0\0", 12));

      const uint32_t exif = first.single(0x8769);
      EXPECT_LT(exif, 1000u);
      const TiffEntry note = read_tiff_directory(text(f), exif).entries.at(0x927C);
      EXPECT_LE(note.field + note.count, header);
      EXPECT_EQ(text(f, note.field, 10), std::string("Nikon\0\x02\x10\0\0", 10));
      const TiffDirectory maker = read_tiff_directory(text(f, note.field + 10));  // offsets from its header
      EXPECT_EQ(maker.big_endian, maker_big);
      EXPECT_EQ(maker.entries.at(0x001B).type, 3);
      EXPECT_EQ(maker.entries.at(0x001B).values, (std::vector<uint32_t>{0, 0, 0, 6, 4, 0, 0}));

      // The raw directory, which decoders follow: the same samples, at the end.
      const TiffDirectory raw = read_tiff_directory(text(f), first.single(0x014A));
      const std::map<uint16_t, uint32_t> want = {{0x00FE, 0},  {256, 6},      {257, 4}, {258, 16}, {259, 1},
                                                 {262, 32803}, {273, header}, {277, 1}, {278, 4},  {279, 48}};
      for (const auto& [tag, value] : want) EXPECT_EQ(raw.single(tag), value) << tag;
      EXPECT_EQ(raw.entries.at(0x828D).values, (std::vector<uint32_t>{2, 2}));
      EXPECT_EQ(raw.entries.at(0x828E).values, (std::vector<uint32_t>{0, 1, 1, 2}));  // R G / G B
      for (size_t i = 0; i < 24; ++i) EXPECT_EQ(u16(f, header + 2 * i, maker_big), small().samples[i]) << i;
      EXPECT_EQ(rawgen::make_bare(small(), maker_big), Bytes(f.end() - 48, f.end()));
    }
  }
}

TEST(RawWriter, NefKnobsForTextSizesAndLength) {
  for (const std::string model : {"D1", "NIKON D800E WITH A LONG NAME"}) {  // always out of line
    const Bytes f = rawgen::make_nef(small(), {.model = model});
    const TiffEntry e = read_tiff_directory(text(f)).entries.at(0x0110);
    EXPECT_EQ(e.count, model.size() + 1);
    EXPECT_EQ(text(f, e.field, std::max<size_t>(12, model.size() + 1)),
              model + std::string(std::max<size_t>(12, model.size() + 1) - model.size(), '\0'));
  }

  const Bytes base = rawgen::make_nef(small());
  const Bytes cut = rawgen::make_nef(small(), {.raw_bytes_delta = -3});
  const Bytes longer = rawgen::make_nef(small(), {.raw_bytes_delta = 2});
  EXPECT_EQ(Bytes(base.begin(), base.end() - 3), cut);
  EXPECT_EQ(Bytes(longer.begin(), longer.end() - 2), base);
  EXPECT_EQ(longer.back(), 0);
  EXPECT_THROW(rawgen::make_nef(small(), {.header_bytes = 100}), std::invalid_argument);
}

TEST(RawWriter, TiffEntriesAndStripInBothOrdersAndShortForm) {
  for (bool big : {false, true}) {
    for (bool short_form : {false, true}) {
      SCOPED_TRACE(testing::Message() << "MM " << big << ", SHORT " << short_form);
      const Bytes f = rawgen::make_tiff(small(), {.big_endian = big, .short_entries = short_form});
      ASSERT_EQ(f.size(), 1376u + 48);
      const TiffDirectory d = read_tiff_directory(text(f));
      EXPECT_EQ(d.big_endian, big);
      const uint16_t size_type = short_form ? 3 : 4;
      // tag: type, value
      const std::map<uint16_t, std::pair<uint16_t, uint32_t>> expected = {
          {254, {4, 0}}, {256, {size_type, 6}},    {257, {size_type, 4}}, {258, {3, 16}}, {259, {3, 1}},
          {262, {3, 1}}, {273, {size_type, 1376}}, {277, {3, 1}},         {278, {4, 4}},  {279, {size_type, 48}},
          {284, {3, 1}}};
      for (const auto& [tag, type_value] : expected) {
        const TiffEntry& e = d.entries.at(tag);
        EXPECT_EQ(e.type, type_value.first) << tag;
        EXPECT_EQ(e.values, std::vector<uint32_t>{type_value.second}) << tag;
        // A SHORT takes the first two bytes of the field and leaves the others zero.
        EXPECT_EQ(e.field, e.type == 3 && big ? type_value.second << 16 : type_value.second) << tag;
      }
      EXPECT_EQ(text(f, d.entries.at(271).field, 6), std::string("NIKON\0", 6));
      EXPECT_EQ(read_tiff_samples(text(f)), small().samples);
    }
  }
  const auto tif = [](rawgen::TiffOptions o) { return read_tiff_directory(text(rawgen::make_tiff(small(), o))); };
  EXPECT_EQ(tif({.bits_per_sample = 14}).single(258), 14u);
  EXPECT_EQ(tif({.samples_per_pixel = 3}).single(277), 3u);
  const Bytes base = rawgen::make_tiff(small());
  EXPECT_EQ(Bytes(base.begin(), base.end() - 5), rawgen::make_tiff(small(), {.raw_bytes_delta = -5}));
  EXPECT_THROW(rawgen::make_tiff(rawgen::make_image(70000, 1, [](uint32_t, uint32_t) { return uint16_t(0); }),
                                 {.short_entries = true}),
               std::invalid_argument);
}

TEST(RawWriter, NoiseIsSeededWithRequestedMoments) {
  rawgen::Content c;
  for (int p = 0; p < 4; ++p) c.plane[p] = {.level = 1000.0 * (p + 1), .noise_sd = 10.0 * (p + 1)};
  const auto image = rawgen::make_image(512, 512, c);
  EXPECT_EQ(image.samples, rawgen::make_image(512, 512, c).samples);
  c.seed = 2;
  EXPECT_NE(image.samples, rawgen::make_image(512, 512, c).samples);

  Moments m[4];
  for (uint32_t y = 0; y < 512; ++y)
    for (uint32_t x = 0; x < 512; ++x) m[size_t(rawgen::plane_of(x, y))].add(image.at(x, y));
  for (int p = 0; p < 4; ++p) {
    const double want_sd = std::sqrt(100.0 * (p + 1) * (p + 1) + 1.0 / 12);  // + rounding
    EXPECT_NEAR(m[p].mean(), 1000.0 * (p + 1), 5 * want_sd / 256) << p;      // 5 standard errors
    EXPECT_NEAR(m[p].sd(), want_sd, 0.02 * want_sd) << p;
  }
}

TEST(RawWriter, ClipsAtZeroAndFullScale) {
  for (double level : {0.0, 16383.0}) {
    rawgen::Content c;
    for (auto& pc : c.plane) pc = {.level = level, .noise_sd = 100};
    const auto image = rawgen::make_image(256, 256, c);
    // Values in (-inf, 0.5) round to 0: P(z < 0.005) = 0.502 of the samples.
    const auto stuck = std::count(image.samples.begin(), image.samples.end(), uint16_t(level));
    EXPECT_NEAR(stuck / 65536.0, 0.502, 0.01);
    // A half-normal above the clip point has mean 100 / sqrt(2 pi) = 39.89.
    Moments beyond;
    for (uint16_t s : image.samples) beyond.add(std::abs(s - level));
    EXPECT_NEAR(beyond.mean(), 39.89, 1.0);
  }
}

TEST(RawWriter, BandingAndSineLandOnTheirAxisAndPlane) {
  rawgen::Content c;
  for (auto& pc : c.plane) pc.level = 2000;
  c.plane[size_t(rawgen::Plane::B)].row_band_sd = 25;
  c.plane[size_t(rawgen::Plane::G1)].col_band_sd = 40;
  const auto image = rawgen::make_image(2048, 2048, c);
  Moments rows, cols;
  for (uint32_t i = 0; i < 2048; ++i) {
    EXPECT_EQ(image.at(i & ~1u, i & ~1u), 2000);  // R
    EXPECT_EQ(image.at(i & ~1u, i | 1u), 2000);   // G2
    if (i % 2 == 1) {                             // B along row i is constant, G1 down column i is constant
      EXPECT_EQ(image.at(1, i), image.at(2047, i));
      EXPECT_EQ(image.at(i, 0), image.at(i, 2046));
      rows.add(image.at(1, i));
      cols.add(image.at(i, 0));
    }
  }
  EXPECT_NEAR(rows.sd(), 25, 2.5);  // 1024 draws: standard error of an SD about 2%
  EXPECT_NEAR(cols.sd(), 40, 4);

  rawgen::Content s;
  for (auto& pc : s.plane) pc.level = 1000;
  s.plane[size_t(rawgen::Plane::R)] = {.level = 1000, .sine_amp = 100, .sine_period = 4};
  s.plane[size_t(rawgen::Plane::G2)] = {.level = 1000, .sine_amp = 50, .sine_period = 8, .sine_along_y = true};
  const auto sine = rawgen::make_image(8, 8, s);
  // R along x: 100 cos(pi/2 * x); G2 down y: 50 cos(pi/4 * y) = +35.36, -35.36, -35.36, +35.36 at 1, 3, 5, 7.
  const uint16_t g2[4] = {1035, 965, 965, 1035};
  for (uint32_t y = 0; y < 8; y += 2) {
    EXPECT_EQ(sine.at(0, y), 1100);
    EXPECT_EQ(sine.at(2, y), 900);
    EXPECT_EQ(sine.at(4, y), 1100);
    EXPECT_EQ(sine.at(1, y), 1000);
    EXPECT_EQ(sine.at(3, y + 1), 1000);
    for (uint32_t x = 0; x < 8; x += 2) EXPECT_EQ(sine.at(x, y + 1), g2[y / 2]);
  }
}

TEST(RawWriter, WriteFileRoundTripsAndReportsFailure) {
  const Bytes bytes = rawgen::make_tiff(small());
  const std::string path = testing::TempDir() + "raw_writer_test.tif";
  ASSERT_TRUE(rawgen::write_file(path, bytes));
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), bytes);
  std::remove(path.c_str());
  EXPECT_FALSE(rawgen::write_file(testing::TempDir() + "no/such/dir/x.tif", bytes));
}
