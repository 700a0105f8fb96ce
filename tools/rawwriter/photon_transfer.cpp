#include "photon_transfer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <stdexcept>

namespace rawgen {

// ---------------------------------------------------------------------------
// Poisson counts

namespace {

// Inversion: the smallest k whose cumulative probability exceeds u. Below a mean
// of 10 the count passes 200 with a probability far below 2^-53, so the cap only
// guards against a cumulative sum that rounding leaves just short of u.
uint64_t poisson_by_inversion(NormalSource& source, double mean) {
  const double u = source.uniform();
  double p = std::exp(-mean), cdf = p;
  uint64_t k = 0;
  while (u >= cdf && k < 200) {
    ++k;
    p *= mean / static_cast<double>(k);
    cdf += p;
  }
  return k;
}

// Transformed rejection with squeeze (W. Hormann, 1993), exact for means of 10 and
// more: a candidate from a transformed uniform is accepted at once inside the
// squeeze, otherwise by comparing with the Poisson probability itself.
uint64_t poisson_by_rejection(NormalSource& source, double mean) {
  const double root = std::sqrt(mean);
  const double log_mean = std::log(mean);
  const double b = 0.931 + 2.53 * root;
  const double a = -0.059 + 0.02483 * b;
  const double inv_alpha = 1.1239 + 1.1328 / (b - 3.4);
  const double v_r = 0.9277 - 3.6224 / (b - 2);
  for (;;) {
    const double u = source.uniform() - 0.5;
    const double v = source.uniform();
    const double us = 0.5 - std::fabs(u);
    const double k = std::floor((2 * a / us + b) * u + mean + 0.43);
    if (us >= 0.07 && v <= v_r) return static_cast<uint64_t>(k);
    if (k < 0 || (us < 0.013 && v > us)) continue;
    if (std::log(v) + std::log(inv_alpha) - std::log(a / (us * us) + b) <=
        -mean + k * log_mean - std::lgamma(k + 1))
      return static_cast<uint64_t>(k);
  }
}

}  // namespace

uint64_t poisson(NormalSource& source, double mean) {
  if (!std::isfinite(mean) || mean < 0) throw std::invalid_argument("a Poisson mean must be finite and >= 0");
  return mean < 10 ? poisson_by_inversion(source, mean) : poisson_by_rejection(source, mean);
}

// ---------------------------------------------------------------------------
// The sensor

namespace {

// Separate streams, so that turning one effect on leaves the others' draws alone.
constexpr uint64_t kShotStream = 0x73686F742D6E6F69ull;
constexpr uint64_t kReadStream = 0x726561642D6E6F69ull;
constexpr uint64_t kPrnuStream = 0x70726E752D706174ull;
constexpr uint64_t kDsnuStream = 0x64736E752D706174ull;
constexpr uint64_t kPlaceStream = 0x706C6163652D7078ull;
constexpr uint64_t kRowStream = 0x726F772D6E6F6973ull;
constexpr uint64_t kColumnStream = 0x636F6C2D70617474ull;

void check_sensor(uint32_t width, uint32_t height, const Sensor& s) {
  for (double v : {s.gain, s.read_noise, s.black, s.white, s.full_well, s.knee, s.prnu_percent, s.dsnu,
                   s.dark_current, s.hot_current, s.row_noise, s.column_pattern, s.wave_amplitude, s.wave_period})
    if (!std::isfinite(v)) throw std::invalid_argument("sensor values must be finite");
  if (!(s.gain > 0)) throw std::invalid_argument("the gain must be above 0");
  for (double scale : s.plane_scale)
    if (!(scale > 0) || !std::isfinite(scale)) throw std::invalid_argument("a plane scale must be above 0");
  if (s.read_noise < 0 || s.prnu_percent < 0 || s.dsnu < 0 || s.dark_current < 0 || s.full_well < 0 ||
      s.hot_current < 0 || s.row_noise < 0 || s.column_pattern < 0 || s.wave_period < 0)
    throw std::invalid_argument("noise, pattern, dark current, full well and period must not be negative");
  if (s.white < 1 || s.white > 65535 || std::floor(s.white) != s.white)
    throw std::invalid_argument("the white clip must be a whole DN from 1 to 65535");
  if (s.knee < 0 || (s.knee > 0 && s.knee >= s.white))
    throw std::invalid_argument("the knee must lie below the white clip");
  for (const PixelValue& p : s.stuck)
    if (p.x >= width || p.y >= height) throw std::invalid_argument("a stuck pixel lies outside the image");
  if (uint64_t{s.stuck_count} + s.hot_count + s.stuck.size() > uint64_t{width} * height)
    throw std::invalid_argument("more stuck and hot pixels than the image has");
}

}  // namespace

double knee_response(const Sensor& sensor, double linear_dn) {
  if (sensor.knee <= 0 || linear_dn <= sensor.knee) return linear_dn;
  const double span = sensor.white - sensor.knee;
  return sensor.knee + span * -std::expm1(-(linear_dn - sensor.knee) / span);
}

PlacedPixels place_pixels(uint32_t width, uint32_t height, const Sensor& sensor) {
  check_sensor(width, height, sensor);
  const uint64_t pixels = uint64_t{width} * height;
  std::set<uint64_t> taken;
  for (const PixelValue& p : sensor.stuck) taken.insert(uint64_t{p.y} * width + p.x);
  NormalSource place(sensor.pattern_seed ^ kPlaceStream);
  const auto draw = [&] {
    for (;;) {
      const uint64_t index = place.next_u64() % pixels;  // bias below 2^-30 for any real image
      if (taken.insert(index).second) return index;
    }
  };
  PlacedPixels placed;
  placed.stuck = sensor.stuck;
  for (uint32_t i = 0; i < sensor.stuck_count; ++i) {
    const uint64_t index = draw();
    placed.stuck.push_back({static_cast<uint32_t>(index % width), static_cast<uint32_t>(index / width),
                            static_cast<uint16_t>(sensor.white)});
  }
  for (uint32_t i = 0; i < sensor.hot_count; ++i) placed.hot.push_back(draw());
  // Raster order; of two entries for one pixel the later in the list wins.
  std::stable_sort(placed.stuck.begin(), placed.stuck.end(), [width](const PixelValue& l, const PixelValue& r) {
    return uint64_t{l.y} * width + l.x < uint64_t{r.y} * width + r.x;
  });
  std::sort(placed.hot.begin(), placed.hot.end());
  return placed;
}

Image make_exposure(uint32_t width, uint32_t height, const Sensor& sensor, const Exposure& exposure) {
  const PlacedPixels placed = place_pixels(width, height, sensor);
  for (double e : exposure.electrons)
    if (!std::isfinite(e) || e < 0) throw std::invalid_argument("signal electrons must be finite and >= 0");
  if (!std::isfinite(exposure.seconds) || exposure.seconds < 0)
    throw std::invalid_argument("the exposure time must be finite and >= 0");

  NormalSource shot(exposure.seed ^ kShotStream), read(exposure.seed ^ kReadStream);
  NormalSource prnu(sensor.pattern_seed ^ kPrnuStream), dsnu(sensor.pattern_seed ^ kDsnuStream);
  const double dark = sensor.dark_current * exposure.seconds;
  const double hot = sensor.hot_current * exposure.seconds;
  const double response_sd = sensor.prnu_percent / 100;

  // Offsets in electrons per image row (new each frame) and per column (fixed),
  // the wave tabulated along its axis.
  std::vector<double> row_offset(height, 0.0), column_offset(width, 0.0);
  NormalSource rows(exposure.seed ^ kRowStream), columns(sensor.pattern_seed ^ kColumnStream);
  if (sensor.row_noise > 0)
    for (double& v : row_offset) v = sensor.row_noise * rows.normal();
  if (sensor.column_pattern > 0)
    for (double& v : column_offset) v = sensor.column_pattern * columns.normal();
  if (sensor.wave_period > 0 && sensor.wave_amplitude != 0) {
    std::vector<double>& along = sensor.wave_along_y ? row_offset : column_offset;
    for (size_t c = 0; c < along.size(); ++c)
      along[c] += sensor.wave_amplitude * std::cos(2.0 * std::numbers::pi * static_cast<double>(c) / sensor.wave_period);
  }

  Image image;
  image.width = width;
  image.height = height;
  image.samples.resize(static_cast<size_t>(width) * height);
  auto next_stuck = placed.stuck.begin();
  auto next_hot = placed.hot.begin();
  uint64_t index = 0;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x, ++index) {
      const auto plane = static_cast<size_t>(plane_of(x, y));
      double mean = exposure.electrons[plane];
      if (response_sd > 0) mean *= 1 + response_sd * prnu.normal();
      mean += dark;
      if (sensor.dsnu > 0) mean += sensor.dsnu * dsnu.normal();
      if (next_hot != placed.hot.end() && *next_hot == index) {
        mean += hot;
        ++next_hot;
      }
      double electrons = static_cast<double>(poisson(shot, std::max(mean, 0.0)));
      if (sensor.full_well > 0) electrons = std::min(electrons, sensor.full_well);
      if (sensor.read_noise > 0) electrons += sensor.read_noise * read.normal();
      electrons += row_offset[y] + column_offset[x];
      double v = std::round(knee_response(sensor, sensor.black + sensor.gain * electrons));
      const double scale = sensor.plane_scale[plane];
      if (scale != 1) v = sensor.black + std::round((v - sensor.black) * scale);
      uint16_t sample = v <= 0 ? 0 : v >= sensor.white ? static_cast<uint16_t>(sensor.white) : static_cast<uint16_t>(v);
      while (next_stuck != placed.stuck.end() && uint64_t{next_stuck->y} * width + next_stuck->x == index)
        sample = (next_stuck++)->value;
      image.samples[index] = sample;
    }
  }
  return image;
}

}  // namespace rawgen
