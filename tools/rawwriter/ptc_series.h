// A photon-transfer series as a camera on a bench makes it: a dark pair and flat
// pairs at rising exposures under a steady light, up to beyond saturation, written
// as raw files with the plan that ptcfit reads and the parameters that made them.
//
// In the folder:
//   DARK01A.NEF, DARK01B.NEF        the dark pair (one per level with dark_per_level)
//   FLAT01A.NEF ... FLATnnB.NEF     one pair per exposure, darkest first (.TIF for TIFF)
//   plan.csv                        "role,file1,file2,exposure_s", then the dark and flat lines
//   truth.json                      the sensor, the rates, the saturation point and every pair
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "photon_transfer.h"
#include "raw_writer.h"

namespace rawgen {

struct SeriesSpec {
  uint32_t width = 0, height = 0;
  Sensor sensor;
  double rate[4] = {};            // signal electrons per second, planes R, G1, B, G2
  uint32_t levels = 12;           // flat pairs
  bool geometric = true;          // exposures in a constant ratio, else in a constant step
  double first_s = 0, last_s = 0; // the flats' exposure range; 0 = chosen (series_exposures)
  double dark_s = -1;             // the dark frames' exposure; below 0 = the first flat's
  bool dark_per_level = false;    // a dark pair at each flat's exposure instead of one
  bool tiff = false;              // dcraw-style TIFF instead of NEF
  NefOptions nef{};
  TiffOptions tif{};
  uint64_t seed = 1;              // temporal noise; every frame draws its own stream from it
};

// The electrons at which the output stops following the light: the full well, or
// the white clip referred to electrons, whichever comes first.
double saturation_electrons(const Sensor& sensor);

// The flats' exposures, darkest first. A last exposure of 0 becomes 1.3 times the
// time at which the dimmest lit plane reaches saturation, so every colour clips;
// a first exposure of 0 becomes last / levels (constant step) or last x 2^-((levels-1)/2)
// (half-stop ratio).
std::vector<double> series_exposures(const SeriesSpec& setup);

struct SeriesFiles {
  std::string plan_csv, truth_json;
  std::vector<std::string> files;  // the frames written, in plan order
};

// Writes the series into the folder (created when missing). Throws
// std::invalid_argument for a setup that makes no series; returns false with a
// message when a file cannot be written.
bool write_series(const std::string& folder, const SeriesSpec& setup, SeriesFiles& written, std::string& error);

}  // namespace rawgen
