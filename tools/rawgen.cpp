// rawgen: writes synthetic NEF or dcraw-style TIFF raw files.
//
//   rawgen nef OUT --width W --height H [--model TEXT] [--order II|MM] [--file-order II|MM]
//                  [--maker-order II|MM] [--header-bytes N] [content | exposure]
//   rawgen tif OUT --width W --height H [--order II|MM] [content | exposure]
//   rawgen raw OUT --width W --height H [--order II|MM] [content | exposure]   (bare samples)
//   rawgen series DIR --width W --height H --rate R[,G1,B,G2] [series options] [sensor]
//   content (DN):  [--level R,G1,B,G2] [--noise SD] [--row-band SD] [--col-band SD]
//                  [--sine AMP,PERIOD[,x|y]] [--seed N]
//   exposure (electrons, shot noise): --electrons E[,G1,B,G2] | --rate R[,G1,B,G2] --exposure T,
//                  [sensor] [--seed N]
//   sensor: [--gain K] [--read-noise E] [--black DN] [--white DN | --bits 12|14] [--full-well E]
//           [--knee DN] [--prnu PCT] [--dsnu E] [--dark-current E/S] [--row-noise E]
//           [--col-pattern E] [--wave AMP_E,PERIOD[,x|y]] [--plane-scale R,G1,B,G2]
//           [--stuck X,Y,V]...
//           [--stuck-count N] [--hot-count N --hot-current E/S] [--pattern-seed N]
//
// Exit status: 0 written, 1 write failure, 2 bad arguments.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "photon_transfer.h"
#include "ptc_series.h"
#include "raw_writer.h"

namespace {

constexpr const char* kUsage =
    "Usage: rawgen nef OUT --width W --height H [--model TEXT] [--order II|MM]\n"
    "                      [--file-order II|MM] [--maker-order II|MM] [--header-bytes N] [content]\n"
    "       rawgen tif OUT --width W --height H [--order II|MM] [content]\n"
    "       rawgen raw OUT --width W --height H [--order II|MM] [content]\n"
    "       rawgen series DIR --width W --height H --rate R[,G1,B,G2] [series] [sensor]\n"
    "nef: --order sets both byte orders (dcraw reads the samples in the file's order,\n"
    "     quorva in the maker note's); default MM. tif: default II. raw: the bare\n"
    "     16-bit samples, row by row, no header; default II.\n"
    "content in DN: [--level R,G1,B,G2] [--noise SD] [--row-band SD] [--col-band SD]\n"
    "         [--sine AMP,PERIOD[,x|y]] [--seed N]\n"
    "content in electrons, with shot noise (instead):\n"
    "         --electrons E[,G1,B,G2] [--exposure T] | --rate R[,G1,B,G2] --exposure T,\n"
    "         [sensor] [--seed N]   (E: mean signal electrons; R: electrons per second)\n"
    "sensor:  [--gain K (DN/e-, 1)] [--read-noise E] [--black DN] [--white DN | --bits 12|14]\n"
    "         [--full-well E] [--knee DN] [--prnu PERCENT] [--dsnu E] [--dark-current E/S]\n"
    "         [--row-noise E (new each frame)] [--col-pattern E (fixed)]\n"
    "         [--wave AMP_E,PERIOD[,x|y] (fixed)] [--plane-scale R,G1,B,G2 (digital, 1)]\n"
    "         [--stuck X,Y,DN (repeatable)] [--stuck-count N] [--hot-count N --hot-current E/S]\n"
    "         [--pattern-seed N (the fixed pattern; keep it for frames of one sensor)]\n"
    "series:  [--format nef|tif] [--order II|MM] [--levels N (12)] [--spacing geometric|linear]\n"
    "         [--exposures FIRST,LAST (default: up to 1.3 x saturation, half-stop steps)]\n"
    "         [--dark-exposure T] [--dark-per-level] [--seed N]\n"
    "         writes DARK01A/B, FLATnnA/B, plan.csv (for ptcfit) and truth.json in DIR\n";

struct BadArgument : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<std::string_view> split(std::string_view s) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t comma; (comma = s.find(',', start)) != std::string_view::npos; start = comma + 1)
    parts.push_back(s.substr(start, comma - start));
  parts.push_back(s.substr(start));
  return parts;
}

template <typename T>
T parse_integer(std::string_view text, std::string_view option, T low, T high) {
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
    throw BadArgument(std::string(option) + " needs an integer from " + std::to_string(low) +
                      " to " + std::to_string(high) + ", got \"" + std::string(text) + "\"");
  return value;
}

double parse_number(std::string_view text, std::string_view option, bool allow_negative) {
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
      (!allow_negative && value < 0))
    throw BadArgument(std::string(option) + " needs a" + (allow_negative ? "" : " non-negative") +
                      " number, got \"" + std::string(text) + "\"");
  return value;
}

bool parse_order(std::string_view text, std::string_view option) {
  if (text == "MM") return true;
  if (text == "II") return false;
  throw BadArgument(std::string(option) + " needs II or MM, got \"" + std::string(text) + "\"");
}

// Four values R,G1,B,G2, or one for all planes.
void parse_planes(std::string_view value, std::string_view option, double out[4], bool allow_negative) {
  const auto parts = split(value);
  if (parts.size() != 1 && parts.size() != 4)
    throw BadArgument(std::string(option) + " needs one value or four (R,G1,B,G2)");
  for (size_t p = 0; p < 4; ++p) out[p] = parse_number(parts[parts.size() == 1 ? 0 : p], option, allow_negative);
}

// Options of the sensor model; false when the option is not one of them.
bool parse_sensor_option(std::string_view option, std::string_view value, rawgen::Sensor& s) {
  if (option == "--gain") {
    s.gain = parse_number(value, option, false);
  } else if (option == "--read-noise") {
    s.read_noise = parse_number(value, option, false);
  } else if (option == "--black") {
    s.black = parse_number(value, option, false);
  } else if (option == "--white") {
    s.white = parse_integer<uint32_t>(value, option, 1, 65535);
  } else if (option == "--bits") {
    const uint32_t bits = parse_integer<uint32_t>(value, option, 12, 14);
    if (bits == 13) throw BadArgument("--bits needs 12 or 14");
    s.white = bits == 12 ? 4095 : 16383;
  } else if (option == "--full-well") {
    s.full_well = parse_number(value, option, false);
  } else if (option == "--knee") {
    s.knee = parse_number(value, option, false);
  } else if (option == "--prnu") {
    s.prnu_percent = parse_number(value, option, false);
  } else if (option == "--dsnu") {
    s.dsnu = parse_number(value, option, false);
  } else if (option == "--dark-current") {
    s.dark_current = parse_number(value, option, false);
  } else if (option == "--row-noise") {
    s.row_noise = parse_number(value, option, false);
  } else if (option == "--col-pattern") {
    s.column_pattern = parse_number(value, option, false);
  } else if (option == "--wave") {
    const auto parts = split(value);
    if (parts.size() != 2 && parts.size() != 3) throw BadArgument("--wave needs AMP,PERIOD or AMP,PERIOD,x|y");
    s.wave_amplitude = parse_number(parts[0], option, true);
    s.wave_period = parse_number(parts[1], option, false);
    if (parts.size() == 3 && parts[2] != "x" && parts[2] != "y") throw BadArgument("--wave axis must be x or y");
    s.wave_along_y = parts.size() == 3 && parts[2] == "y";
  } else if (option == "--plane-scale") {
    parse_planes(value, option, s.plane_scale, false);
  } else if (option == "--stuck") {
    const auto parts = split(value);
    if (parts.size() != 3) throw BadArgument("--stuck needs X,Y,DN");
    s.stuck.push_back({parse_integer<uint32_t>(parts[0], option, 0, 65534),
                       parse_integer<uint32_t>(parts[1], option, 0, 65534),
                       parse_integer<uint16_t>(parts[2], option, 0, 65535)});
  } else if (option == "--stuck-count") {
    s.stuck_count = parse_integer<uint32_t>(value, option, 0, 1u << 30);
  } else if (option == "--hot-count") {
    s.hot_count = parse_integer<uint32_t>(value, option, 0, 1u << 30);
  } else if (option == "--hot-current") {
    s.hot_current = parse_number(value, option, false);
  } else if (option == "--pattern-seed") {
    s.pattern_seed = parse_integer<uint64_t>(value, option, 0, UINT64_MAX);
  } else {
    return false;
  }
  return true;
}

int run(int argc, char** argv) {
  if (argc < 3) throw BadArgument("need a format (nef, tif, raw or series) and an output path");
  const std::string_view format = argv[1];
  const bool nef = format == "nef", raw = format == "raw", series = format == "series";
  if (!nef && !raw && !series && format != "tif")
    throw BadArgument("unknown format \"" + std::string(format) + "\"");
  const std::string out = argv[2];
  if (out.empty() || out.starts_with("--")) throw BadArgument("need an output path");

  constexpr uint32_t kMaxSide = 65535;
  uint32_t width = 0, height = 0;
  rawgen::Content content;
  rawgen::NefOptions nef_options;
  rawgen::TiffOptions tif_options;
  rawgen::SeriesSpec setup;
  rawgen::Sensor& sensor = setup.sensor;
  rawgen::Exposure exposure;
  bool dn_content = false, electrons_given = false, rate_given = false, exposure_given = false;
  bool series_tiff = false;
  double rate[4] = {};

  for (int i = 3; i < argc; i += 2) {
    const std::string_view option = argv[i];
    if (option == "--dark-per-level" && series) {  // the one option without a value
      setup.dark_per_level = true;
      --i;
      continue;
    }
    if (i + 1 >= argc) throw BadArgument(std::string(option) + " needs a value");
    const std::string_view value = argv[i + 1];
    const bool content_option = option == "--level" || option == "--noise" || option == "--row-band" ||
                                option == "--col-band" || option == "--sine";
    if (content_option && series) throw BadArgument(std::string(option) + " is not an option of a series");
    dn_content = dn_content || content_option;
    if (option == "--width") {
      width = parse_integer<uint32_t>(value, option, 1, kMaxSide);
    } else if (option == "--height") {
      height = parse_integer<uint32_t>(value, option, 1, kMaxSide);
    } else if (option == "--model" && (nef || series)) {
      nef_options.model = std::string(value);
    } else if (option == "--file-order" && nef) {
      nef_options.file_big_endian = parse_order(value, option);
    } else if (option == "--maker-order" && nef) {
      nef_options.maker_big_endian = parse_order(value, option);
    } else if (option == "--order" && (nef || series)) {
      nef_options.file_big_endian = nef_options.maker_big_endian = parse_order(value, option);
      tif_options.big_endian = nef_options.maker_big_endian;
    } else if (option == "--header-bytes" && nef) {
      nef_options.header_bytes = parse_integer<uint32_t>(value, option, 10000, 1u << 24);
    } else if (option == "--order") {
      tif_options.big_endian = parse_order(value, option);
    } else if (option == "--level") {
      double level[4];
      parse_planes(value, option, level, true);
      for (size_t p = 0; p < 4; ++p) content.plane[p].level = level[p];
    } else if (option == "--noise") {
      const double sd = parse_number(value, option, false);
      for (auto& pc : content.plane) pc.noise_sd = sd;
    } else if (option == "--row-band") {
      const double sd = parse_number(value, option, false);
      for (auto& pc : content.plane) pc.row_band_sd = sd;
    } else if (option == "--col-band") {
      const double sd = parse_number(value, option, false);
      for (auto& pc : content.plane) pc.col_band_sd = sd;
    } else if (option == "--sine") {
      const auto parts = split(value);
      if (parts.size() != 2 && parts.size() != 3)
        throw BadArgument("--sine needs AMP,PERIOD or AMP,PERIOD,x|y");
      const double amp = parse_number(parts[0], option, true);
      const double period = parse_number(parts[1], option, false);
      bool along_y = false;
      if (parts.size() == 3) {
        if (parts[2] != "x" && parts[2] != "y") throw BadArgument("--sine axis must be x or y");
        along_y = parts[2] == "y";
      }
      for (auto& pc : content.plane) {
        pc.sine_amp = amp;
        pc.sine_period = period;
        pc.sine_along_y = along_y;
      }
    } else if (option == "--seed") {
      content.seed = exposure.seed = setup.seed = parse_integer<uint64_t>(value, option, 0, UINT64_MAX);
    } else if (option == "--electrons" && !series) {
      parse_planes(value, option, exposure.electrons, false);
      electrons_given = true;
    } else if (option == "--rate") {
      parse_planes(value, option, rate, false);
      rate_given = true;
    } else if (option == "--exposure" && !series) {
      exposure.seconds = parse_number(value, option, false);
      exposure_given = true;
    } else if (option == "--format" && series) {
      if (value != "nef" && value != "tif") throw BadArgument("--format needs nef or tif");
      series_tiff = value == "tif";
    } else if (option == "--levels" && series) {
      setup.levels = parse_integer<uint32_t>(value, option, 1, 99);
    } else if (option == "--spacing" && series) {
      if (value != "geometric" && value != "linear") throw BadArgument("--spacing needs geometric or linear");
      setup.geometric = value == "geometric";
    } else if (option == "--exposures" && series) {
      const auto parts = split(value);
      if (parts.size() != 2) throw BadArgument("--exposures needs FIRST,LAST in seconds");
      setup.first_s = parse_number(parts[0], option, false);
      setup.last_s = parse_number(parts[1], option, false);
    } else if (option == "--dark-exposure" && series) {
      setup.dark_s = parse_number(value, option, false);
    } else if (!parse_sensor_option(option, value, sensor)) {
      throw BadArgument("unknown option \"" + std::string(option) + "\" for " + std::string(format));
    }
  }
  if (width == 0 || height == 0) throw BadArgument("--width and --height are required");

  if (series) {
    if (!rate_given) throw BadArgument("a series needs --rate (signal electrons per second, one value or R,G1,B,G2)");
    setup.width = width;
    setup.height = height;
    std::copy(rate, rate + 4, setup.rate);
    setup.tiff = series_tiff;
    setup.nef = nef_options;
    setup.tif = tif_options;
    rawgen::SeriesFiles written;
    std::string error;
    if (!rawgen::write_series(out, setup, written, error)) {
      std::fprintf(stderr, "Error: %s\n", error.c_str());
      return 1;
    }
    std::printf("%s: %zu frames, plan.csv and truth.json\n", out.c_str(), written.files.size());
    return 0;
  }

  const bool photons = electrons_given || rate_given;
  const bool sensor_given = [&] {
    const rawgen::Sensor plain;
    return sensor.gain != plain.gain || sensor.read_noise != 0 || sensor.black != 0 || sensor.white != plain.white ||
           sensor.full_well != 0 || sensor.knee != 0 || sensor.prnu_percent != 0 || sensor.dsnu != 0 ||
           sensor.dark_current != 0 || !sensor.stuck.empty() || sensor.stuck_count != 0 || sensor.hot_count != 0 ||
           sensor.row_noise != 0 || sensor.column_pattern != 0 || sensor.wave_period != 0 ||
           !std::equal(sensor.plane_scale, sensor.plane_scale + 4, plain.plane_scale);
  }();
  if (photons && dn_content) throw BadArgument("give the content in DN or in electrons, not both");
  if (electrons_given && rate_given) throw BadArgument("give --electrons or --rate, not both");
  if (rate_given && !exposure_given) throw BadArgument("--rate needs --exposure");
  if (!photons && (sensor_given || exposure_given))
    throw BadArgument("the sensor options need --electrons or --rate");
  if (rate_given)
    for (size_t p = 0; p < 4; ++p) exposure.electrons[p] = rate[p] * exposure.seconds;

  const rawgen::Image image = photons ? rawgen::make_exposure(width, height, sensor, exposure)
                                      : rawgen::make_image(width, height, content);
  const std::vector<uint8_t> bytes = nef   ? rawgen::make_nef(image, nef_options)
                                     : raw ? rawgen::make_bare(image, tif_options.big_endian)
                                           : rawgen::make_tiff(image, tif_options);
  if (!rawgen::write_file(out, bytes)) {
    std::fprintf(stderr, "Error: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const BadArgument& e) {
    std::fprintf(stderr, "Error: %s\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "Error: %s\n%s", e.what(), kUsage);
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Error: %s\n", e.what());
    return 1;
  }
}
