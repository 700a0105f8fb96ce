// The analysis window: sized, placed inside the image, and the array-size
// limits that drop profile and spectrum options for large windows.
#pragma once

#include <cstdint>

struct ProgramProfile;
struct RunSettings;
struct RawImageInfo;
struct Console;

// In image pixels; W and H even once sized. 64-bit so that placing near the
// far edge of a huge declared image cannot wrap.
struct WindowSpec {
    int64_t W = 0;
    int64_t H = 0;
    int64_t X = 0;   // left edge in image 1
    int64_t Y = 0;   // top edge in image 1
    int64_t X2 = 0;  // left edge in image 2
    int64_t Y2 = 0;  // top edge in image 2
};

// Widths the profiles and the -F spectra can hold, and the multi-line spectra.
constexpr int64_t MATH_ARRAY_DIM = 2000;
constexpr int64_t MULTI_ARRAY_DIM = 2048;

// Largest even window dimension: the rounding to even masks with 0x3FFE.
constexpr int64_t max_window_dim = 16382;

void size_window(const RunSettings& settings, const RawImageInfo& info, WindowSpec& window);
void place_window(const ProgramProfile& profile, const RunSettings& settings, const RawImageInfo& info,
                  WindowSpec& window);

// -M/-A and -F limits and direction choices (before the spectrum log opens).
void apply_spectrum_limits(RunSettings& settings, const WindowSpec& window);
// -R/-C limits (after the profile log has opened).
void apply_profile_limits(RunSettings& settings, const WindowSpec& window);

void print_window_line(const ProgramProfile& profile, Console& console, const RawImageInfo& info,
                       const WindowSpec& window);
