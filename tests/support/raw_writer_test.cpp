#include "raw_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

namespace {

using Bytes = std::vector<uint8_t>;

// A deliberately separate reader of the files, written from the layout alone.
struct View {
  const Bytes& b;
  bool big;
  uint16_t u16(size_t p) const { return big ? b[p] << 8 | b[p + 1] : b[p + 1] << 8 | b[p]; }
  uint32_t u32(size_t p) const {
    return big ? uint32_t(u16(p)) << 16 | u16(p + 2) : uint32_t(u16(p + 2)) << 16 | u16(p);
  }
  std::string text(size_t p, size_t n) const { return std::string(b.begin() + p, b.begin() + p + n); }
};
struct Field { uint16_t type; uint32_t count; size_t at; };  // at: position of the value field
std::map<uint16_t, Field> directory(const View& v, size_t pos) {
  std::map<uint16_t, Field> d;
  uint16_t previous = 0;
  for (size_t i = 0, n = v.u16(pos); i < n; ++i) {
    const size_t e = pos + 2 + 12 * i;
    EXPECT_GT(v.u16(e), previous) << "entries out of order";
    previous = v.u16(e);
    d[previous] = {v.u16(e + 2), v.u32(e + 4), e + 8};
  }
  return d;
}

// Positions where two files of equal size differ.
std::vector<size_t> changed(const Bytes& a, const Bytes& b) {
  EXPECT_EQ(a.size(), b.size());
  std::vector<size_t> at;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] != b[i]) at.push_back(i);
  return at;
}
void expect_changed_within(const Bytes& a, const Bytes& b, size_t lo, size_t hi) {
  const auto at = changed(a, b);
  ASSERT_FALSE(at.empty());
  EXPECT_GE(at.front(), lo);
  EXPECT_LT(at.back(), hi);
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

struct NefPlaces { size_t exif, maker, base, maker_dir, size_values; };
NefPlaces nef_places(const Bytes& f) {
  const View file{f, f[0] == 'M'};
  NefPlaces p{};
  p.exif = file.u32(directory(file, file.u32(4)).at(0x8769).at);
  p.maker = file.u32(directory(file, p.exif).at(0x927C).at);
  p.base = p.maker + 10;
  const View maker{f, f[p.base] == 'M'};
  p.maker_dir = p.base + maker.u32(p.base + 4);
  p.size_values = p.base + maker.u32(directory(maker, p.maker_dir).at(0x001B).at);
  return p;
}

}  // namespace

TEST(RawWriter, PlanesFollowParityAndImagesAreRowMajor) {
  using rawgen::Plane;
  EXPECT_EQ(rawgen::plane_of(0, 0), Plane::R);
  EXPECT_EQ(rawgen::plane_of(5, 2), Plane::G1);
  EXPECT_EQ(rawgen::plane_of(1, 1), Plane::B);
  EXPECT_EQ(rawgen::plane_of(4, 7), Plane::G2);
  EXPECT_EQ(small().samples[6 * 2 + 5], 0x1225);
  EXPECT_EQ(small().at(5, 2), 0x1225);
}

TEST(RawWriter, NefSamplesUseMakerNoteByteOrder) {
  for (bool file_big : {false, true}) {
    for (bool maker_big : {false, true}) {
      SCOPED_TRACE(testing::Message() << "file MM " << file_big << ", maker MM " << maker_big);
      const Bytes f = rawgen::make_nef(small(), {.file_big_endian = file_big, .maker_big_endian = maker_big});
      ASSERT_EQ(f.size(), 12000u + 48);
      const View file{f, file_big}, maker{f, maker_big};
      EXPECT_EQ(file.text(0, 4), file_big ? std::string("MM\0*", 4) : std::string("II*\0", 4));
      EXPECT_EQ(file.u32(4), 8u);
      const auto first = directory(file, 8);
      EXPECT_EQ(file.text(file.u32(first.at(0x010F).at), 18), std::string("NIKON CORPORATION\0", 18));
      EXPECT_EQ(first.at(0x0110).count, 11u);
      EXPECT_EQ(file.text(file.u32(first.at(0x0110).at), 12), std::string("NIKON D800\0\0", 12));

      const NefPlaces p = nef_places(f);
      EXPECT_LT(p.exif, 1000u);
      EXPECT_EQ(file.text(p.maker, 10), std::string("Nikon\0\x02\x10\0\0", 10));
      EXPECT_EQ(maker.text(p.base, 4), maker_big ? std::string("MM\0*", 4) : std::string("II*\0", 4));
      EXPECT_EQ(p.maker_dir, p.base + 8);
      const Field size = directory(maker, p.maker_dir).at(0x001B);
      EXPECT_EQ(size.type * 100 + size.count, 307u);  // SHORT, 7 values
      // The reader: skip one value, read and drop two, then width and height.
      EXPECT_EQ(maker.u16(p.size_values + 2 + 4), 6);
      EXPECT_EQ(maker.u16(p.size_values + 2 + 6), 4);
      EXPECT_LE(p.maker + directory(file, p.exif).at(0x927C).count, 12000u);

      for (size_t i = 0; i < 24; ++i) EXPECT_EQ(maker.u16(12000 + 2 * i), small().samples[i]);
    }
  }
}

TEST(RawWriter, NefModelTextIsAlwaysOutOfLine) {
  for (const std::string model : {"D1", "NIKON D800E WITH A LONG NAME"}) {
    const Bytes f = rawgen::make_nef(small(), {.model = model});
    const View v{f, true};
    const Field e = directory(v, 8).at(0x0110);
    EXPECT_EQ(e.count, model.size() + 1);
    const std::string stored = v.text(v.u32(e.at), std::max<size_t>(12, model.size() + 1));
    EXPECT_EQ(stored, model + std::string(stored.size() - model.size(), '\0'));
  }
}

TEST(RawWriter, NefCorruptionKnobsChangeOnlyTheirBytes) {
  const auto image = small();
  const Bytes base = rawgen::make_nef(image);
  const NefPlaces p = nef_places(base);
  const auto nef = [&](rawgen::NefOptions o) { return rawgen::make_nef(image, o); };

  EXPECT_EQ(changed(base, nef({.file_mark = 0x4A4A})), (std::vector<size_t>{0, 1}));
  EXPECT_EQ(nef({.file_mark = 0x4A4A})[0], 'J');
  EXPECT_EQ(changed(base, nef({.file_magic = 43})), std::vector<size_t>{3});
  EXPECT_EQ(changed(base, nef({.first_ifd_offset = 0x0102})), (std::vector<size_t>{6, 7}));
  EXPECT_EQ(changed(base, nef({.maker_signature = "Nikoo"})), std::vector<size_t>{p.maker + 4});
  EXPECT_EQ(changed(base, nef({.maker_mark = 0x4A4A})), (std::vector<size_t>{p.base, p.base + 1}));
  EXPECT_EQ(changed(base, nef({.maker_magic = 0})), std::vector<size_t>{p.base + 3});
  EXPECT_EQ(changed(base, nef({.maker_ifd_offset = 0x0909})), (std::vector<size_t>{p.base + 6, p.base + 7}));
  EXPECT_EQ(changed(base, nef({.declared_width = 0x0107})), (std::vector<size_t>{p.size_values + 6, p.size_values + 7}));
  EXPECT_EQ(changed(base, nef({.declared_height = 9})), std::vector<size_t>{p.size_values + 9});
  const Bytes typed = nef({.size_entry_type = 4, .size_entry_count = 8});
  EXPECT_EQ(directory(View{typed, true}, p.maker_dir).at(0x001B).type, 4);
  EXPECT_EQ(directory(View{typed, true}, p.maker_dir).at(0x001B).count, 8u);
  expect_changed_within(base, typed, p.maker_dir, p.maker_dir + 2 + 12 * 3);

  const View v{base, true};
  const Bytes no_model = nef({.omit_model = true}), no_exif = nef({.omit_exif_pointer = true});
  EXPECT_FALSE(directory(View{no_model, true}, 8).contains(0x0110));
  EXPECT_FALSE(directory(View{no_exif, true}, 8).contains(0x8769));
  expect_changed_within(base, no_model, 8, 8 + 2 + 12 * v.u16(8) + 4);
  expect_changed_within(base, no_exif, 8, 8 + 2 + 12 * v.u16(8) + 4);
  const Bytes no_note = nef({.omit_maker_note = true}), no_size = nef({.omit_size_entry = true});
  EXPECT_FALSE(directory(View{no_note, true}, p.exif).contains(0x927C));
  EXPECT_FALSE(directory(View{no_size, true}, p.maker_dir).contains(0x001B));
  expect_changed_within(base, no_note, p.exif, p.maker);
  expect_changed_within(base, no_size, p.maker_dir, p.size_values);

  const Bytes cut = nef({.raw_bytes_delta = -3}), longer = nef({.raw_bytes_delta = 2});
  EXPECT_EQ(Bytes(base.begin(), base.end() - 3), cut);
  EXPECT_EQ(Bytes(longer.begin(), longer.end() - 2), base);
  EXPECT_EQ(longer.back(), 0);
  EXPECT_EQ(nef({.header_bytes = 10001}).size(), 10001u + 48);
  EXPECT_THROW(nef({.header_bytes = 100}), std::invalid_argument);
}

TEST(RawWriter, TiffEntriesAndStripInBothOrdersAndShortForm) {
  const auto image = small();
  for (bool big : {false, true}) {
    for (bool short_form : {false, true}) {
      SCOPED_TRACE(testing::Message() << "MM " << big << ", SHORT " << short_form);
      const Bytes f = rawgen::make_tiff(image, {.big_endian = big, .short_entries = short_form});
      const View v{f, big};
      EXPECT_EQ(v.text(0, 4), big ? std::string("MM\0*", 4) : std::string("II*\0", 4));
      ASSERT_EQ(v.u32(4), 10u);
      const auto d = directory(v, 10);
      const uint16_t size_type = short_form ? 3 : 4;
      const std::map<uint16_t, std::pair<uint16_t, uint32_t>> expected = {  // tag: type, value
          {254, {4, 0}},           {256, {size_type, 6}},  {257, {size_type, 4}}, {258, {3, 16}},
          {259, {3, 1}},           {262, {3, 1}},          {273, {size_type, 1376}}, {277, {3, 1}},
          {278, {4, 4}},           {279, {size_type, 48}}, {284, {3, 1}}};
      for (const auto& [tag, type_value] : expected) {
        const Field e = d.at(tag);
        EXPECT_EQ(e.type, type_value.first) << tag;
        EXPECT_EQ(e.count, 1u) << tag;
        // A SHORT takes the first two bytes of the field and leaves the others zero.
        const uint32_t field = e.type == 3 ? v.u16(e.at) | uint32_t(v.u16(e.at + 2)) << 16 : v.u32(e.at);
        EXPECT_EQ(field, type_value.second) << tag;
      }
      EXPECT_EQ(v.text(v.u32(d.at(271).at), 6), std::string("NIKON\0", 6));
      ASSERT_EQ(f.size(), 1376u + 48);
      for (size_t i = 0; i < 24; ++i) EXPECT_EQ(v.u16(1376 + 2 * i), image.samples[i]);
    }
  }
}

TEST(RawWriter, TiffKnobsChangeOnlyTheirValues) {
  const auto image = small();
  const Bytes base = rawgen::make_tiff(image);
  const auto tif = [&](rawgen::TiffOptions o) { return rawgen::make_tiff(image, o); };
  const auto value_at = [&](uint16_t tag) { return directory(View{base, false}, 10).at(tag).at; };

  EXPECT_EQ(changed(base, tif({.file_mark = 0x4D49})), std::vector<size_t>{0});
  EXPECT_EQ(changed(base, tif({.ifd_offset = 0x30A})), std::vector<size_t>{5});
  EXPECT_EQ(changed(base, tif({.declared_width = 7})), std::vector<size_t>{value_at(256)});
  EXPECT_EQ(changed(base, tif({.declared_height = 0x10004})), std::vector<size_t>{value_at(257) + 2});
  EXPECT_EQ(changed(base, tif({.strip_offset = 1377})), std::vector<size_t>{value_at(273)});
  EXPECT_EQ(changed(base, tif({.strip_byte_count = 50})), std::vector<size_t>{value_at(279)});
  EXPECT_EQ(changed(base, tif({.bits_per_sample = 14})), std::vector<size_t>{value_at(258)});
  EXPECT_EQ(changed(base, tif({.samples_per_pixel = 3})), std::vector<size_t>{value_at(277)});
  for (auto [o, tag] : {std::pair{rawgen::TiffOptions{.omit_width = true}, 256},
                        {{.omit_height = true}, 257}, {{.omit_strip_offset = true}, 273},
                        {{.omit_byte_count = true}, 279}}) {
    const Bytes f = tif(o);
    EXPECT_FALSE(directory(View{f, false}, 10).contains(uint16_t(tag)));
    EXPECT_EQ(directory(View{f, false}, 10).size(), 12u);
    expect_changed_within(base, f, 10, 10 + 2 + 13 * 12 + 4);
  }
  EXPECT_EQ(Bytes(base.begin(), base.end() - 5), tif({.raw_bytes_delta = -5}));
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
    EXPECT_NEAR(m[p].mean(), 1000.0 * (p + 1), 5 * want_sd / 256) << p;  // 5 standard errors
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

TEST(RawWriter, BandingLandsOnItsAxisAndPlane) {
  rawgen::Content c;
  for (auto& pc : c.plane) pc.level = 2000;
  c.plane[size_t(rawgen::Plane::B)].row_band_sd = 25;
  c.plane[size_t(rawgen::Plane::G1)].col_band_sd = 40;
  const auto image = rawgen::make_image(2048, 2048, c);
  Moments rows, cols;
  for (uint32_t i = 0; i < 2048; ++i) {
    EXPECT_EQ(image.at(i & ~1u, i & ~1u), 2000);  // R
    EXPECT_EQ(image.at(i & ~1u, i | 1u), 2000);   // G2
    if (i % 2 == 1) {  // B along row i is constant, G1 down column i is constant
      EXPECT_EQ(image.at(1, i), image.at(2047, i));
      EXPECT_EQ(image.at(i, 0), image.at(i, 2046));
      rows.add(image.at(1, i));
      cols.add(image.at(i, 0));
    }
  }
  EXPECT_NEAR(rows.sd(), 25, 2.5);  // 1024 draws: standard error of an SD about 2%
  EXPECT_NEAR(cols.sd(), 40, 4);
}

TEST(RawWriter, SineLandsOnItsAxisAndPlane) {
  rawgen::Content c;
  for (auto& pc : c.plane) pc.level = 1000;
  c.plane[size_t(rawgen::Plane::R)].sine_amp = 100;
  c.plane[size_t(rawgen::Plane::R)].sine_period = 4;
  c.plane[size_t(rawgen::Plane::G2)] = {.level = 1000, .sine_amp = 50, .sine_period = 8, .sine_along_y = true};
  const auto image = rawgen::make_image(8, 8, c);
  for (uint32_t y = 0; y < 8; y += 2) {
    EXPECT_EQ(image.at(0, y), 1100);  // cos(0)
    EXPECT_EQ(image.at(2, y), 900);   // cos(pi)
    EXPECT_EQ(image.at(4, y), 1100);
    EXPECT_EQ(image.at(1, y), 1000);
    EXPECT_EQ(image.at(3, y + 1), 1000);
  }
  // G2 rows 1, 3, 5, 7: 50 cos(pi/4 * y) = +35.36, -35.36, -35.36, +35.36, same across x.
  const uint16_t g2[4] = {1035, 965, 965, 1035};
  for (uint32_t k = 0; k < 4; ++k)
    for (uint32_t x = 0; x < 8; x += 2) EXPECT_EQ(image.at(x, 2 * k + 1), g2[k]);
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
