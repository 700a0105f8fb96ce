#include "ptc_series.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <stdexcept>

namespace rawgen {

namespace {

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", v);
  return text;
}

std::string frame_name(const char* role, size_t level, char which, bool tiff) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%02zu%c.%s", role, level, which, tiff ? "TIF" : "NEF");
  return text;
}

// Each frame's temporal seed: the series seed mixed with the frame's number, so
// frames never share a stream.
uint64_t frame_seed(uint64_t seed, uint64_t frame) {
  uint64_t z = seed + 0x9E3779B97F4A7C15ull * (frame + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

struct Pair {
  bool dark;
  double seconds;
  std::string file[2];
};

}  // namespace

double saturation_electrons(const Sensor& sensor) {
  const double clip = (sensor.white - sensor.black) / sensor.gain;
  return sensor.full_well > 0 ? std::min(sensor.full_well, clip) : clip;
}

std::vector<double> series_exposures(const SeriesSpec& s) {
  if (s.levels < 1) throw std::invalid_argument("a series needs at least one flat level");
  double last = s.last_s;
  if (last <= 0) {
    double dimmest = 0;
    for (double r : s.rate)
      if (r > 0 && (dimmest == 0 || r < dimmest)) dimmest = r;
    const double room = saturation_electrons(s.sensor);
    if (!(dimmest > 0) || !(room > 0))
      throw std::invalid_argument("no light or no room below the clip: give the exposures");
    last = 1.3 * room / dimmest;
  }
  double first = s.first_s;
  if (first <= 0)
    first = s.geometric ? last * std::exp2(-0.5 * (s.levels - 1)) : last / s.levels;
  if (!std::isfinite(first) || !std::isfinite(last) || first > last)
    throw std::invalid_argument("the first exposure must not pass the last");
  std::vector<double> t(s.levels);
  for (uint32_t i = 0; i < s.levels; ++i) {
    const double f = s.levels == 1 ? 1.0 : static_cast<double>(i) / (s.levels - 1);
    t[i] = s.geometric ? first * std::pow(last / first, f) : first + (last - first) * f;
  }
  return t;
}

bool write_series(const std::string& folder, const SeriesSpec& s, SeriesFiles& written, std::string& error) {
  const std::vector<double> flats = series_exposures(s);
  const double dark_s = s.dark_s < 0 ? flats.front() : s.dark_s;

  std::vector<Pair> pairs;
  if (s.dark_per_level) {
    for (size_t i = 0; i < flats.size(); ++i)
      pairs.push_back({true, flats[i], {frame_name("DARK", i + 1, 'A', s.tiff), frame_name("DARK", i + 1, 'B', s.tiff)}});
  } else {
    pairs.push_back({true, dark_s, {frame_name("DARK", 1, 'A', s.tiff), frame_name("DARK", 1, 'B', s.tiff)}});
  }
  for (size_t i = 0; i < flats.size(); ++i)
    pairs.push_back({false, flats[i], {frame_name("FLAT", i + 1, 'A', s.tiff), frame_name("FLAT", i + 1, 'B', s.tiff)}});

  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::string dir = folder.empty() || folder.back() == '/' ? folder : folder + "/";

  written = {};
  written.plan_csv = "role,file1,file2,exposure_s\n";
  std::string pair_json;
  uint64_t frame = 0;
  for (const Pair& p : pairs) {
    Exposure exposure;
    exposure.seconds = p.seconds;
    if (!p.dark)
      for (size_t c = 0; c < 4; ++c) exposure.electrons[c] = s.rate[c] * p.seconds;
    for (const std::string& name : p.file) {
      exposure.seed = frame_seed(s.seed, frame++);
      const Image image = make_exposure(s.width, s.height, s.sensor, exposure);
      if (!write_file(dir + name, s.tiff ? make_tiff(image, s.tif) : make_nef(image, s.nef))) {
        error = "cannot write " + dir + name;
        return false;
      }
      written.files.push_back(name);
    }
    written.plan_csv += std::string(p.dark ? "dark," : "flat,") + p.file[0] + "," + p.file[1] + "," +
                        number(p.seconds) + "\n";
    pair_json += std::string(pair_json.empty() ? "" : ",\n") + "    {\"role\": \"" + (p.dark ? "dark" : "flat") +
                 "\", \"files\": [\"" + p.file[0] + "\", \"" + p.file[1] + "\"], \"exposure_s\": " +
                 number(p.seconds) + ", \"signal_e\": [";
    for (size_t c = 0; c < 4; ++c)
      pair_json += (c ? ", " : "") + number(p.dark ? 0.0 : s.rate[c] * p.seconds);
    pair_json += "], \"dark_e\": " + number(s.sensor.dark_current * p.seconds) + "}";
  }

  const Sensor& k = s.sensor;
  const PlacedPixels placed = place_pixels(s.width, s.height, k);
  std::string stuck, hot;
  for (const PixelValue& p : placed.stuck)
    stuck += (stuck.empty() ? "" : ", ") + std::string("[") + std::to_string(p.x) + ", " + std::to_string(p.y) +
             ", " + std::to_string(p.value) + "]";
  for (uint64_t i : placed.hot)
    hot += (hot.empty() ? "" : ", ") + std::string("[") + std::to_string(i % s.width) + ", " +
           std::to_string(i / s.width) + "]";
  const auto optional = [](double v) { return v > 0 ? number(v) : std::string("null"); };
  written.truth_json =
      "{\n  \"width\": " + std::to_string(s.width) + ", \"height\": " + std::to_string(s.height) +
      ",\n  \"gain_dn_per_e\": " + number(k.gain) + ",\n  \"read_noise_e\": " + number(k.read_noise) +
      ",\n  \"full_well_e\": " + optional(k.full_well) + ",\n  \"saturation_e\": " +
      number(saturation_electrons(k)) + ",\n  \"black_dn\": " + number(k.black) + ",\n  \"white_dn\": " +
      number(k.white) + ",\n  \"knee_dn\": " + optional(k.knee) + ",\n  \"prnu_percent\": " +
      number(k.prnu_percent) + ",\n  \"dsnu_e\": " + number(k.dsnu) + ",\n  \"dark_current_e_per_s\": " +
      number(k.dark_current) + ",\n  \"hot_current_e_per_s\": " + number(k.hot_current) +
      ",\n  \"row_noise_e\": " + number(k.row_noise) + ", \"column_pattern_e\": " + number(k.column_pattern) +
      ", \"wave_e\": " + number(k.wave_amplitude) + ", \"wave_period\": " + number(k.wave_period) +
      ", \"wave_along\": \"" + (k.wave_along_y ? "y" : "x") + "\"" +
      ",\n  \"rate_e_per_s\": [" + number(s.rate[0]) + ", " + number(s.rate[1]) + ", " + number(s.rate[2]) + ", " +
      number(s.rate[3]) + "],\n  \"pattern_seed\": " + std::to_string(k.pattern_seed) +
      ", \"seed\": " + std::to_string(s.seed) + ",\n  \"stuck_pixels\": [" + stuck + "],\n  \"hot_pixels\": [" +
      hot + "],\n  \"pairs\": [\n" + pair_json + "\n  ]\n}\n";

  for (const auto& [name, text] : {std::pair{"plan.csv", &written.plan_csv}, {"truth.json", &written.truth_json}}) {
    if (!write_file(dir + name, std::vector<uint8_t>(text->begin(), text->end()))) {
      error = "cannot write " + dir + name;
      return false;
    }
  }
  return true;
}

}  // namespace rawgen
