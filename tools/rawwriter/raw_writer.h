// Synthetic raw files for tests, the demo and the benchmarks.
//
// Builds Bayer mosaics (exact or statistical content) and wraps them either as an
// uncompressed 14-bit NEF-style file or as a 16-bit monochrome TIFF laid out the way
// dcraw writes it with "-D -4 -T". Every knob defaults to a valid file; the
// corruption knobs each change only the bytes they name, so the readers' error
// paths can be exercised one at a time.
//
// Functions throw std::invalid_argument for requests that cannot be laid out
// (a sample buffer that does not match the size, a header too small for the
// directories, a value that does not fit its field, ...).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rawgen {

// A raw Bayer mosaic, row-major, one 16-bit sample per pixel.
struct Image {
  uint32_t width = 0, height = 0;
  std::vector<uint16_t> samples;
  uint16_t at(uint32_t x, uint32_t y) const;
};

// Mosaic planes by parity of image (row, column): even/even R, even/odd G1,
// odd/odd B, odd/even G2.
enum class Plane { R = 0, G1 = 1, B = 2, G2 = 3 };
Plane plane_of(uint32_t x, uint32_t y);

// Exact content from a function of (x, y) — for hand-worked tests.
Image make_image(uint32_t width, uint32_t height,
                 const std::function<uint16_t(uint32_t x, uint32_t y)>& value);

// Each plane constant: R, G1, B, G2.
Image make_planes(uint32_t width, uint32_t height, uint16_t r, uint16_t g1, uint16_t b, uint16_t g2);

// Statistical content per plane.
struct PlaneContent {
  double level = 0;           // mean DN
  double noise_sd = 0;        // Gaussian noise SD, independent per pixel
  double row_band_sd = 0;     // a random offset per image row, Gaussian with this SD
  double col_band_sd = 0;     // a random offset per image column
  double sine_amp = 0;        // sinusoid amplitude in DN
  double sine_period = 0;     // period in pixels of the image (0 = no sinusoid)
  bool sine_along_y = false;  // false: varies along x (columns); true: along y (rows)
};
struct Content {
  PlaneContent plane[4];  // indexed by Plane
  uint64_t seed = 1;
};

// value = clamp(round(level + noise + row offset + column offset + sine), 0, 16383)
//
// Details, all deterministic for a given seed on every machine:
//  - noise: one standard normal per pixel in raster order (drawn only when some
//    plane has noise_sd > 0), times the pixel's plane noise_sd;
//  - row offset: one standard normal per image row, times the pixel's plane
//    row_band_sd (planes sharing a row share its draw, scaled per plane);
//  - column offset: likewise, one standard normal per image column;
//  - sine: sine_amp * cos(2*pi*c / sine_period), c = x, or y when sine_along_y,
//    so the sinusoid peaks at c = 0;
//  - rounding is to nearest, halves away from zero.
// The three kinds of draws come from separate streams, so enabling one does not
// change the others.
Image make_image(uint32_t width, uint32_t height, const Content& content);

// The generator behind the content: xoshiro256** seeded through splitmix64, normals
// by the Box-Muller transform. Exposed so tests can reason about it.
class NormalSource {
 public:
  explicit NormalSource(uint64_t seed);
  uint64_t next_u64();
  double uniform();  // [0, 1), 53 bits
  double normal();   // standard normal
 private:
  uint64_t s_[4];
  double spare_ = 0;
  bool has_spare_ = false;
};

struct NefOptions {
  std::string model = "NIKON D800";  // ASCII model text (tag 0x0110), NUL-terminated, stored out of line
  bool file_big_endian = true;       // byte order of the file header and first/EXIF directories
  bool maker_big_endian = true;      // byte order of the maker note's TIFF header and directory, and of the samples
  uint32_t header_bytes = 12000;     // bytes before the raw samples
  // Corruption knobs (defaults = a valid file):
  std::optional<uint16_t> file_mark{};         // replaces "II"/"MM" at offset 0; written high byte first (0x4A4A = "JJ")
  uint16_t file_magic = 42;
  std::optional<uint32_t> first_ifd_offset{};  // value written in the header; the directory stays at 8
  bool omit_model = false;                   // no tag 0x0110 in the first directory
  bool omit_exif_pointer = false;            // no tag 0x8769 in the first directory
  bool omit_maker_note = false;              // no tag 0x927C in the EXIF directory
  std::string maker_signature = "Nikon";     // signature, NUL, 0x02, 0x10, 0, 0; cut or zero-padded to 10 bytes
  std::optional<uint16_t> maker_mark{};        // replaces the maker note's "II"/"MM", high byte first
  uint16_t maker_magic = 42;
  std::optional<uint32_t> maker_ifd_offset{};  // value in the maker note's header (relative to its TIFF header)
  bool omit_size_entry = false;              // no tag 0x001B in the maker-note directory
  uint16_t size_entry_type = 3;              // TIFF type of entry 0x001B
  uint32_t size_entry_count = 7;             // count of entry 0x001B
  std::optional<uint16_t> declared_width{}, declared_height{};  // stored in entry 0x001B (default: image size)
  int64_t raw_bytes_delta = 0;  // negative: cut that many bytes off the end; positive: append zero bytes
};

// Layout (offsets absolute unless noted), complete enough for a raw decoder such as
// dcraw to find the image:
//   0      header: mark, 42, first directory offset (8)
//   8      first directory: 0x010F Make, 0x0110 Model, 0x0112, 0x014A SubIFDs (the raw
//          directory R), 0x8769 ExifIFD; then the Make and Model text (Model padded
//          with NULs to at least 12 bytes)
//   E      EXIF directory: 0x9000 ExifVersion, 0x927C MakerNote
//   M      maker note: 10-byte signature, TIFF header at M+10 (directory at +8),
//          directory 0x0001, 0x0002, 0x001B, 0x003D BlackLevel, 0x0093 NEFCompression
//          (2, uncompressed), 0x0E22 NEFBitDepth; then the seven 16-bit values of
//          0x001B: 0, 0, 0, width, height, 0, 0; the black levels 0, 0, 0, 0; the bit
//          depths 14, 0, 0, 0
//   R      raw directory: 0x00FE (0), width, height, 16 bits per sample, no compression,
//          CFA photometric, one strip at header_bytes of width*height*2 bytes, the
//          2 x 2 CFA pattern R G / G B (the sizes are the image's own, never the
//          declared_ ones)
//   ...    zero padding
//   header_bytes   width*height 16-bit samples in the maker note's byte order
// The file header and the first, raw and EXIF directories are in the file's byte
// order. dcraw reads the samples in that order, the NEF probe in the maker note's:
// both read the same values only when the two orders are equal. Everything the
// probe reads lies in the first 300 bytes.
std::vector<uint8_t> make_nef(const Image& image, const NefOptions& options = {});

struct TiffOptions {
  bool big_endian = false;      // dcraw writes "II" on little-endian machines
  bool short_entries = false;   // entries 256, 257, 273, 279 as SHORT count 1 instead of LONG
  std::optional<uint16_t> file_mark{};  // replaces "II"/"MM", high byte first
  uint16_t file_magic = 42;
  std::optional<uint32_t> ifd_offset{};  // value written in the header; the directory stays at 10
  bool omit_width = false, omit_height = false, omit_strip_offset = false, omit_byte_count = false;
  std::optional<uint32_t> declared_width{}, declared_height{}, strip_offset{}, strip_byte_count{};  // values written
  uint16_t bits_per_sample = 16;
  uint16_t samples_per_pixel = 1;
  int64_t raw_bytes_delta = 0;  // as for NEF
  // Additions:
  std::string make = "NIKON";        // tag 271; empty = no entry
  std::string model = "D800";        // tag 272; empty = no entry
  std::optional<uint32_t> data_at{};   // where the strip really starts (default 1376, or later if needed)
};

// Layout: header (mark, 42, directory offset 10, 2 zero bytes); directory at 10 with
// 254, 256, 257, 258, 259, 262, 271, 272, 273, 277, 278, 279, 284; Make/Model text;
// zero padding; one strip of 16-bit samples in the file's byte order.
std::vector<uint8_t> make_tiff(const Image& image, const TiffOptions& options = {});

// The samples alone, row by row, 16 bits each in the given byte order.
std::vector<uint8_t> make_bare(const Image& image, bool big_endian);

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes);  // false on failure

}  // namespace rawgen
