// Frames made the way a sensor makes them: electrons collected in an exposure with
// Poisson shot noise, a fixed per-pixel pattern, read noise, a conversion gain to
// DN, a black level and the clip of the converter — so the photon-transfer
// relation mean/variance holds in what is written, and a fit of a series can be
// compared with the parameters that made it.
//
// Per pixel (plane p, in raster order, all deterministic for the seeds):
//   signal mean  = electrons[p] x (1 + prnu_percent/100 x z_prnu)
//   dark mean    = dark_current x seconds + dsnu x z_dsnu (+ hot_current x seconds
//                  on a hot pixel)
//   electrons    = Poisson(max(signal mean + dark mean, 0)), clipped at full_well
//   linear DN    = black + gain x (electrons + read_noise x z_read + row_noise x z_row[y]
//                  + column_pattern x z_col[x] + wave_amplitude x cos(2 pi c / wave_period))
//   DN           = clamp(round(knee(linear DN)), 0, white); a stuck pixel is its value
//   with a plane scale other than 1: DN = clamp(black + round((DN - black) x scale), 0, white),
//                  the digital scaling of red and blue some cameras apply before writing the
//                  raw file (it leaves codes empty: one in 9 for 9/8)
// z_prnu, z_dsnu and z_col are standard normals of the pattern seed (the same in every
// frame made with it); z_read, z_row (one per image row) and the Poisson draws come from
// the frame's own seed. The wave runs along x (c = x) or y (c = y) and peaks at c = 0.
// Read noise, row noise, the column pattern and the wave are given in electrons at the
// input, so the gain scales them like the signal.
// The soft knee (when knee > 0): above the DN `knee` the response bends smoothly
// toward the clip, v -> knee + (white - knee) x (1 - exp(-(v - knee) / (white - knee))),
// continuous with slope 1 at the knee, approaching white without reaching it.
//
// Functions throw std::invalid_argument for parameters that make no sensor (a gain
// not above 0, a negative noise, a pixel outside the image, ...).
#pragma once

#include <cstdint>
#include <vector>

#include "raw_writer.h"

namespace rawgen {

// A Poisson count of the given mean (finite, >= 0) from the source's uniform stream:
// inversion for means below 10, Hormann's transformed rejection with squeeze (PTRS)
// above; both exact, and the same on every machine.
uint64_t poisson(NormalSource& source, double mean);

struct PixelValue {
  uint32_t x = 0, y = 0;
  uint16_t value = 0;
};

struct Sensor {
  double gain = 1;            // K, DN per electron
  double read_noise = 0;      // electrons RMS, Gaussian
  double black = 0;           // DN added to every pixel
  double white = 16383;       // DN, the converter's clip (4095 for 12 bits)
  double full_well = 0;       // electrons a pixel holds; 0 = no limit
  double knee = 0;            // DN where the soft knee begins; 0 = linear up to the clip
  double prnu_percent = 0;    // SD of the fixed per-pixel response, percent
  double dsnu = 0;            // SD of a fixed per-pixel dark signal, electrons
  double dark_current = 0;    // electrons per second, every pixel
  double row_noise = 0;       // SD of an offset per image row, new in every frame, electrons
  double column_pattern = 0;  // SD of a fixed offset per image column, electrons
  double wave_amplitude = 0;  // a fixed sinusoid, electrons
  double wave_period = 0;     // its period in pixels; 0 = none
  bool wave_along_y = false;  // false: varies along x (across the columns)
  double plane_scale[4] = {1, 1, 1, 1};  // digital scale of R, G1, B, G2 after the converter
  std::vector<PixelValue> stuck{};  // pixels that always read this DN
  uint32_t stuck_count = 0;   // more stuck pixels, placed from the pattern seed, reading white
  uint32_t hot_count = 0;     // hot pixels, placed from the pattern seed
  double hot_current = 0;     // their extra dark current, electrons per second
  uint64_t pattern_seed = 1;  // the fixed pattern: PRNU, DSNU, placed pixels
};

struct Exposure {
  double electrons[4] = {};  // mean signal per plane R, G1, B, G2, before PRNU
  double seconds = 0;        // exposure time, for the dark current
  uint64_t seed = 1;         // the frame's temporal noise
};

// The DN the converter makes of a linear value (before rounding and the clip):
// the soft knee, or the value itself.
double knee_response(const Sensor& sensor, double linear_dn);

// The pixels placed from the pattern seed, by raster index (sorted), and the
// explicit stuck list resolved: what the frames will hold.
struct PlacedPixels {
  std::vector<PixelValue> stuck;  // raster order
  std::vector<uint64_t> hot;      // raster indices
};
PlacedPixels place_pixels(uint32_t width, uint32_t height, const Sensor& sensor);

Image make_exposure(uint32_t width, uint32_t height, const Sensor& sensor, const Exposure& exposure);

}  // namespace rawgen
