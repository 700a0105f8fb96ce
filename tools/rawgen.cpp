// rawgen: writes a synthetic NEF or dcraw-style TIFF raw file.
//
//   rawgen nef OUT --width W --height H [--model TEXT] [--order II|MM] [--file-order II|MM]
//                  [--maker-order II|MM] [--header-bytes N] [content]
//   rawgen tif OUT --width W --height H [--order II|MM] [content]
//   rawgen raw OUT --width W --height H [--order II|MM] [content]     (bare samples, no header)
//   content: [--level R,G1,B,G2] [--noise SD] [--row-band SD] [--col-band SD]
//            [--sine AMP,PERIOD[,x|y]] [--seed N]
//
// Exit status: 0 written, 1 write failure, 2 bad arguments.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "raw_writer.h"

namespace {

constexpr const char* kUsage =
    "Usage: rawgen nef OUT --width W --height H [--model TEXT] [--order II|MM]\n"
    "                      [--file-order II|MM] [--maker-order II|MM] [--header-bytes N] [content]\n"
    "       rawgen tif OUT --width W --height H [--order II|MM] [content]\n"
    "       rawgen raw OUT --width W --height H [--order II|MM] [content]\n"
    "nef: --order sets both byte orders (dcraw reads the samples in the file's order,\n"
    "     quorva in the maker note's); default MM. tif: default II. raw: the bare\n"
    "     16-bit samples, row by row, no header; default II.\n"
    "content: [--level R,G1,B,G2] [--noise SD] [--row-band SD] [--col-band SD]\n"
    "         [--sine AMP,PERIOD[,x|y]] [--seed N]\n";

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

int run(int argc, char** argv) {
  if (argc < 3) throw BadArgument("need a format (nef or tif) and an output path");
  const std::string_view format = argv[1];
  const bool nef = format == "nef", raw = format == "raw";
  if (!nef && !raw && format != "tif") throw BadArgument("unknown format \"" + std::string(format) + "\"");
  const std::string out = argv[2];
  if (out.empty() || out.starts_with("--")) throw BadArgument("need an output path");

  constexpr uint32_t kMaxSide = 65535;
  uint32_t width = 0, height = 0;
  rawgen::Content content;
  rawgen::NefOptions nef_options;
  rawgen::TiffOptions tif_options;

  for (int i = 3; i < argc; i += 2) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) throw BadArgument(std::string(option) + " needs a value");
    const std::string_view value = argv[i + 1];
    if (option == "--width") {
      width = parse_integer<uint32_t>(value, option, 1, kMaxSide);
    } else if (option == "--height") {
      height = parse_integer<uint32_t>(value, option, 1, kMaxSide);
    } else if (option == "--model" && nef) {
      nef_options.model = std::string(value);
    } else if (option == "--file-order" && nef) {
      nef_options.file_big_endian = parse_order(value, option);
    } else if (option == "--maker-order" && nef) {
      nef_options.maker_big_endian = parse_order(value, option);
    } else if (option == "--order" && nef) {
      nef_options.file_big_endian = nef_options.maker_big_endian = parse_order(value, option);
    } else if (option == "--header-bytes" && nef) {
      nef_options.header_bytes = parse_integer<uint32_t>(value, option, 10000, 1u << 24);
    } else if (option == "--order") {
      tif_options.big_endian = parse_order(value, option);
    } else if (option == "--level") {
      const auto parts = split(value);
      if (parts.size() != 1 && parts.size() != 4)
        throw BadArgument("--level needs one value or four (R,G1,B,G2)");
      for (size_t p = 0; p < 4; ++p)
        content.plane[p].level = parse_number(parts[parts.size() == 1 ? 0 : p], option, true);
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
      content.seed = parse_integer<uint64_t>(value, option, 0, UINT64_MAX);
    } else {
      throw BadArgument("unknown option \"" + std::string(option) + "\" for " + std::string(format));
    }
  }
  if (width == 0 || height == 0) throw BadArgument("--width and --height are required");

  const rawgen::Image image = rawgen::make_image(width, height, content);
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
