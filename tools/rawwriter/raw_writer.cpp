#include "raw_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <stdexcept>

namespace rawgen {

// ---------------------------------------------------------------------------
// Mosaic

uint16_t Image::at(uint32_t x, uint32_t y) const {
  return samples[static_cast<size_t>(y) * width + x];
}

Plane plane_of(uint32_t x, uint32_t y) {
  static constexpr Plane by_parity[4] = {Plane::R, Plane::G1, Plane::G2, Plane::B};
  return by_parity[(y & 1u) * 2 + (x & 1u)];
}

Image make_planes(uint32_t width, uint32_t height, uint16_t r, uint16_t g1, uint16_t b, uint16_t g2)
{
  return make_image(width, height, [=](uint32_t x, uint32_t y) -> uint16_t {
    if (y % 2 == 0) return x % 2 == 0 ? r : g1;
    return x % 2 == 0 ? g2 : b;
  });
}

Image make_image(uint32_t width, uint32_t height,
                 const std::function<uint16_t(uint32_t x, uint32_t y)>& value) {
  Image image;
  image.width = width;
  image.height = height;
  image.samples.resize(static_cast<size_t>(width) * height);
  size_t i = 0;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) image.samples[i++] = value(x, y);
  return image;
}

// ---------------------------------------------------------------------------
// Random numbers

namespace {

uint64_t splitmix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t rotl(uint64_t v, int k) { return (v << k) | (v >> (64 - k)); }

// Separate streams for the three kinds of draws.
constexpr uint64_t kNoiseStream = 0x6E6F6973652D3031ull;
constexpr uint64_t kRowStream = 0x726F772D62616E64ull;
constexpr uint64_t kColStream = 0x636F6C2D62616E64ull;

}  // namespace

NormalSource::NormalSource(uint64_t seed) {
  uint64_t state = seed;
  for (uint64_t& word : s_) word = splitmix64(state);
}

uint64_t NormalSource::next_u64() {
  const uint64_t result = rotl(s_[1] * 5, 7) * 9;
  const uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = rotl(s_[3], 45);
  return result;
}

double NormalSource::uniform() {
  return static_cast<double>(next_u64() >> 11) * 0x1.0p-53;
}

double NormalSource::normal() {
  if (has_spare_) {
    has_spare_ = false;
    return spare_;
  }
  const double u1 = 1.0 - uniform();  // (0, 1]: the logarithm stays finite
  const double u2 = uniform();
  const double r = std::sqrt(-2.0 * std::log(u1));
  const double theta = 2.0 * std::numbers::pi * u2;
  spare_ = r * std::sin(theta);
  has_spare_ = true;
  return r * std::cos(theta);
}

// ---------------------------------------------------------------------------
// Statistical content

Image make_image(uint32_t width, uint32_t height, const Content& content) {
  bool any_noise = false;
  for (const PlaneContent& pc : content.plane) {
    for (double v : {pc.level, pc.noise_sd, pc.row_band_sd, pc.col_band_sd, pc.sine_amp,
                     pc.sine_period})
      if (!std::isfinite(v)) throw std::invalid_argument("content values must be finite");
    if (pc.noise_sd < 0 || pc.row_band_sd < 0 || pc.col_band_sd < 0 || pc.sine_period < 0)
      throw std::invalid_argument("standard deviations and the sine period must not be negative");
    any_noise = any_noise || pc.noise_sd != 0;
  }

  std::vector<double> row_z(height), col_z(width);
  NormalSource rows(content.seed ^ kRowStream), cols(content.seed ^ kColStream);
  for (double& z : row_z) z = rows.normal();
  for (double& z : col_z) z = cols.normal();

  // Sinusoid per plane, tabulated over the coordinate it varies along.
  std::array<std::vector<double>, 4> sine;
  for (size_t p = 0; p < 4; ++p) {
    const PlaneContent& pc = content.plane[p];
    sine[p].assign(pc.sine_along_y ? height : width, 0.0);
    if (pc.sine_period > 0 && pc.sine_amp != 0)
      for (size_t c = 0; c < sine[p].size(); ++c)
        sine[p][c] = pc.sine_amp *
                     std::cos(2.0 * std::numbers::pi * static_cast<double>(c) / pc.sine_period);
  }

  Image image;
  image.width = width;
  image.height = height;
  image.samples.resize(static_cast<size_t>(width) * height);
  NormalSource noise(content.seed ^ kNoiseStream);
  size_t i = 0;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const auto p = static_cast<size_t>(plane_of(x, y));
      const PlaneContent& pc = content.plane[p];
      const double z = any_noise ? noise.normal() : 0.0;
      const double s = sine[p][pc.sine_along_y ? y : x];
      const double v = pc.level + pc.noise_sd * z + pc.row_band_sd * row_z[y] +
                       pc.col_band_sd * col_z[x] + s;
      const double r = std::round(v);
      image.samples[i++] = r <= 0 ? 0 : r >= 16383 ? 16383 : static_cast<uint16_t>(r);
    }
  }
  return image;
}

// ---------------------------------------------------------------------------
// Byte layout helpers

namespace {

constexpr uint16_t kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kUndefined = 7;

// Writes integers at absolute positions of a buffer in one byte order.
class Bytes {
 public:
  Bytes(std::vector<uint8_t>& buf, bool big) : buf_(buf), big_(big) {}
  void u16(size_t pos, uint16_t v) {
    buf_[pos + (big_ ? 0 : 1)] = static_cast<uint8_t>(v >> 8);
    buf_[pos + (big_ ? 1 : 0)] = static_cast<uint8_t>(v);
  }
  void u32(size_t pos, uint32_t v) {
    for (int k = 0; k < 4; ++k)
      buf_[pos + static_cast<size_t>(big_ ? 3 - k : k)] = static_cast<uint8_t>(v >> (8 * k));
  }
  void text(size_t pos, const std::string& s) { std::copy(s.begin(), s.end(), buf_.begin() + static_cast<std::ptrdiff_t>(pos)); }
  // A mark is given as its two bytes, high byte first ("MM" = 0x4D4D).
  void mark(size_t pos, std::optional<uint16_t> override) {
    const uint16_t m = override ? *override : big_ ? 0x4D4D : 0x4949;
    buf_[pos] = static_cast<uint8_t>(m >> 8);
    buf_[pos + 1] = static_cast<uint8_t>(m);
  }

 private:
  std::vector<uint8_t>& buf_;
  bool big_;
};

// One directory entry; the value field is written by a callback because its
// encoding (inline SHORT, inline LONG, inline bytes, offset) varies.
struct Entry {
  uint16_t tag, type;
  uint32_t count;
  std::function<void(Bytes&, size_t field)> value;
};

Entry long_entry(uint16_t tag, uint32_t v) {
  return {tag, kLong, 1, [v](Bytes& b, size_t f) { b.u32(f, v); }};
}
Entry short_entry(uint16_t tag, uint16_t v) {
  return {tag, kShort, 1, [v](Bytes& b, size_t f) { b.u16(f, v); }};
}
// Up to four bytes stored in the value field itself.
Entry inline_bytes_entry(uint16_t tag, uint16_t type, uint32_t count, const std::string& bytes) {
  return {tag, type, count, [bytes](Bytes& b, size_t f) { b.text(f, bytes); }};
}
Entry offset_entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t offset) {
  return {tag, type, count, [offset](Bytes& b, size_t f) { b.u32(f, offset); }};
}

size_t directory_size(size_t entries) { return 2 + 12 * entries + 4; }

void write_directory(Bytes& b, size_t pos, const std::vector<Entry>& entries) {
  b.u16(pos, static_cast<uint16_t>(entries.size()));
  size_t e = pos + 2;
  for (const Entry& entry : entries) {
    b.u16(e, entry.tag);
    b.u16(e + 2, entry.type);
    b.u32(e + 4, entry.count);
    entry.value(b, e + 8);
    e += 12;
  }
  b.u32(e, 0);  // no next directory
}

size_t align2(size_t v) { return (v + 1) & ~size_t{1}; }

void check_image(const Image& image) {
  if (image.samples.size() != static_cast<size_t>(image.width) * image.height)
    throw std::invalid_argument("image samples do not match its size");
}

// Cuts bytes off the end (delta < 0) or appends zero bytes (delta > 0).
void finish_size(std::vector<uint8_t>& file, int64_t delta) {
  if (delta < 0 && static_cast<uint64_t>(-delta) > file.size())
    throw std::invalid_argument("raw_bytes_delta cuts more than the whole file");
  file.resize(static_cast<size_t>(static_cast<int64_t>(file.size()) + delta), 0);
}

void put_samples(std::vector<uint8_t>& file, size_t pos, const Image& image, bool big) {
  uint8_t* out = file.data() + pos;
  const int hi = big ? 0 : 1, lo = big ? 1 : 0;
  for (uint16_t s : image.samples) {
    out[hi] = static_cast<uint8_t>(s >> 8);
    out[lo] = static_cast<uint8_t>(s);
    out += 2;
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// NEF

std::vector<uint8_t> make_nef(const Image& image, const NefOptions& o) {
  check_image(image);
  const uint32_t width_value = o.declared_width ? *o.declared_width : image.width;
  const uint32_t height_value = o.declared_height ? *o.declared_height : image.height;
  if (width_value > 0xFFFF || height_value > 0xFFFF)
    throw std::invalid_argument("NEF image size does not fit the 16-bit size entry");
  const size_t raw_bytes = image.samples.size() * 2;
  if (raw_bytes > 0xFFFFFFFFu - o.header_bytes)
    throw std::invalid_argument("image too large for a NEF strip");

  // Directories get room for all their entries even when some are omitted, so
  // omitting an entry changes only the directory's own bytes.
  const std::string make = "NIKON CORPORATION";
  const size_t ifd0 = 8;
  const size_t make_at = ifd0 + directory_size(5);
  const size_t model_at = align2(make_at + make.size() + 1);
  const size_t model_store = align2(std::max<size_t>(12, o.model.size() + 1));
  const size_t exif_at = model_at + model_store;
  const size_t maker_at = exif_at + directory_size(2);
  const size_t base = maker_at + 10;        // the maker note's TIFF header
  const size_t maker_ifd = base + 8;
  const size_t size_values_at = maker_ifd + directory_size(6);
  const size_t black_at = size_values_at + 7 * 2;
  const size_t bit_depth_at = black_at + 4 * 2;
  const size_t maker_end = bit_depth_at + 4 * 2;
  // The raw image's directory comes last, so everything the NEF probe reads stays
  // in the first few hundred bytes.
  const size_t raw_ifd = align2(maker_end);
  if (raw_ifd + directory_size(13) > o.header_bytes)
    throw std::invalid_argument("header_bytes is too small for the directories");

  std::vector<uint8_t> file(o.header_bytes + raw_bytes, 0);
  Bytes f(file, o.file_big_endian), m(file, o.maker_big_endian);

  f.mark(0, o.file_mark);
  f.u16(2, o.file_magic);
  f.u32(4, o.first_ifd_offset ? *o.first_ifd_offset : static_cast<uint32_t>(ifd0));

  std::vector<Entry> first;
  first.push_back(offset_entry(0x010F, kAscii, static_cast<uint32_t>(make.size() + 1),
                               static_cast<uint32_t>(make_at)));
  if (!o.omit_model)
    first.push_back(offset_entry(0x0110, kAscii, static_cast<uint32_t>(o.model.size() + 1),
                                 static_cast<uint32_t>(model_at)));
  first.push_back(short_entry(0x0112, 1));
  first.push_back(offset_entry(0x014A, kLong, 1, static_cast<uint32_t>(raw_ifd)));
  if (!o.omit_exif_pointer) first.push_back(long_entry(0x8769, static_cast<uint32_t>(exif_at)));
  write_directory(f, ifd0, first);
  f.text(make_at, make);
  f.text(model_at, o.model);

  // The raw image: one strip of 16-bit CFA samples, R G / G B, at header_bytes.
  write_directory(f, raw_ifd,
                  {long_entry(0x00FE, 0),
                   long_entry(0x0100, image.width),
                   long_entry(0x0101, image.height),
                   short_entry(0x0102, 16),
                   short_entry(0x0103, 1),       // no compression
                   short_entry(0x0106, 32803),   // colour filter array
                   long_entry(0x0111, static_cast<uint32_t>(o.header_bytes)),
                   short_entry(0x0115, 1),
                   long_entry(0x0116, image.height),
                   long_entry(0x0117, static_cast<uint32_t>(raw_bytes)),
                   short_entry(0x011C, 1),
                   {0x828D, kShort, 2, [](Bytes& b, size_t at) { b.u16(at, 2); b.u16(at + 2, 2); }},
                   inline_bytes_entry(0x828E, kByte, 4, std::string("\0\1\1\2", 4))});

  std::vector<Entry> exif;
  exif.push_back(inline_bytes_entry(0x9000, kUndefined, 4, "0230"));
  if (!o.omit_maker_note)
    exif.push_back(offset_entry(0x927C, kUndefined, static_cast<uint32_t>(maker_end - maker_at),
                                static_cast<uint32_t>(maker_at)));
  write_directory(f, exif_at, exif);

  std::string signature = o.maker_signature;
  signature += std::string("\0\x02\x10\0\0", 5);
  signature.resize(std::min<size_t>(signature.size(), 10));
  f.text(maker_at, signature);

  m.mark(base, o.maker_mark);
  m.u16(base + 2, o.maker_magic);
  m.u32(base + 4, o.maker_ifd_offset ? *o.maker_ifd_offset : static_cast<uint32_t>(maker_ifd - base));
  std::vector<Entry> maker;
  maker.push_back(inline_bytes_entry(0x0001, kUndefined, 4, "0210"));
  maker.push_back({0x0002, kShort, 2, [](Bytes& b, size_t at) { b.u16(at, 0); b.u16(at + 2, 100); }});
  if (!o.omit_size_entry)
    maker.push_back(offset_entry(0x001B, o.size_entry_type, o.size_entry_count,
                                 static_cast<uint32_t>(size_values_at - base)));
  // What a raw decoder looks up besides the size: the black level of the four planes
  // (0), the compression (2: none) and the bit depth (14, 0, 0, 0: one 14-bit sample).
  maker.push_back(offset_entry(0x003D, kShort, 4, static_cast<uint32_t>(black_at - base)));
  maker.push_back(short_entry(0x0093, 2));
  maker.push_back(offset_entry(0x0E22, kShort, 4, static_cast<uint32_t>(bit_depth_at - base)));
  write_directory(m, maker_ifd, maker);
  m.u16(size_values_at + 3 * 2, static_cast<uint16_t>(width_value));
  m.u16(size_values_at + 4 * 2, static_cast<uint16_t>(height_value));
  m.u16(bit_depth_at, 14);

  put_samples(file, o.header_bytes, image, o.maker_big_endian);
  finish_size(file, o.raw_bytes_delta);
  return file;
}

// ---------------------------------------------------------------------------
// TIFF

std::vector<uint8_t> make_tiff(const Image& image, const TiffOptions& o) {
  check_image(image);
  const size_t raw_bytes = image.samples.size() * 2;
  if (raw_bytes > 0xFFFFFFFFu - 0x100000u)
    throw std::invalid_argument("image too large for a TIFF strip");

  const size_t ifd = 10;
  const size_t make_at = ifd + directory_size(13);
  const size_t model_at = align2(make_at + (o.make.size() + 1 > 4 ? o.make.size() + 1 : 0));
  const size_t text_end = align2(model_at + (o.model.size() + 1 > 4 ? o.model.size() + 1 : 0));
  size_t data_at = std::max<size_t>(1376, text_end);
  if (o.data_at) {
    if (*o.data_at < text_end) throw std::invalid_argument("data_at overlaps the directory");
    data_at = *o.data_at;
  }

  std::vector<uint8_t> file(data_at + raw_bytes, 0);
  Bytes b(file, o.big_endian);
  b.mark(0, o.file_mark);
  b.u16(2, o.file_magic);
  b.u32(4, o.ifd_offset ? *o.ifd_offset : static_cast<uint32_t>(ifd));

  const auto size_entry = [&](uint16_t tag, uint64_t v) {
    if (!o.short_entries) return long_entry(tag, static_cast<uint32_t>(v));
    if (v > 0xFFFF) throw std::invalid_argument("value does not fit a SHORT entry");
    return short_entry(tag, static_cast<uint16_t>(v));
  };
  const auto ascii_entry = [](uint16_t tag, const std::string& s, size_t at) {
    const auto count = static_cast<uint32_t>(s.size() + 1);
    if (count <= 4) return inline_bytes_entry(tag, kAscii, count, s);
    return offset_entry(tag, kAscii, count, static_cast<uint32_t>(at));
  };

  std::vector<Entry> entries;
  entries.push_back(long_entry(254, 0));
  if (!o.omit_width) entries.push_back(size_entry(256, o.declared_width.value_or(image.width)));
  if (!o.omit_height) entries.push_back(size_entry(257, o.declared_height.value_or(image.height)));
  entries.push_back(short_entry(258, o.bits_per_sample));
  entries.push_back(short_entry(259, 1));
  entries.push_back(short_entry(262, 1));
  if (!o.make.empty()) entries.push_back(ascii_entry(271, o.make, make_at));
  if (!o.model.empty()) entries.push_back(ascii_entry(272, o.model, model_at));
  if (!o.omit_strip_offset) entries.push_back(size_entry(273, o.strip_offset.value_or(static_cast<uint32_t>(data_at))));
  entries.push_back(short_entry(277, o.samples_per_pixel));
  entries.push_back(long_entry(278, image.height));
  if (!o.omit_byte_count)
    entries.push_back(size_entry(279, o.strip_byte_count.value_or(static_cast<uint32_t>(raw_bytes))));
  entries.push_back(short_entry(284, 1));
  write_directory(b, ifd, entries);
  if (o.make.size() + 1 > 4) b.text(make_at, o.make);
  if (o.model.size() + 1 > 4) b.text(model_at, o.model);

  put_samples(file, data_at, image, o.big_endian);
  finish_size(file, o.raw_bytes_delta);
  return file;
}

std::vector<uint8_t> make_bare(const Image& image, bool big_endian) {
  check_image(image);
  std::vector<uint8_t> bytes(image.samples.size() * 2);
  put_samples(bytes, 0, image, big_endian);
  return bytes;
}

// ---------------------------------------------------------------------------

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  const bool closed = std::fclose(out) == 0;
  return written && closed;
}

}  // namespace rawgen
