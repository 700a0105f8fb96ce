// The analysis window: sized, placed inside the image, and described in the
// window line and in every table's title.
#pragma once

#include <cstdint>
#include <string>

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

// The window the switches ask for: -W, -H (0: square), -X, -Y (-1: centred),
// -U, -V (-1: as X and Y).
struct WindowRequest {
    int32_t W = 200;
    int32_t H = 0;
    int32_t X = -1;
    int32_t Y = -1;
    int32_t X2 = -1;
    int32_t Y2 = -1;
};

// How a program places its windows.
struct WindowRules {
    bool even_origin;    // X and Y rounded down to even: every window starts on an R sample
    bool second_window;  // image 2's window placed by -U and -V, in image 1's mosaic phase
    bool comma_line;     // "Image WxH, Window WxH, X=x, Y=y" instead of "... at X=x Y=y"
};

// Largest even window dimension: the rounding to even masks with 0x3FFE.
constexpr int64_t max_window_dim = 16382;

WindowSpec place_window(const WindowRules& rules, const WindowRequest& request, const RawImageInfo& info);

void print_window_line(const WindowRules& rules, Console& console, const RawImageInfo& info, const WindowSpec& window);

// What follows a table's title: ", file NAME[ - NAME2], Window WxH at X=x Y=y"
// and the line end (always image 1's window). second is null with one image.
std::string table_source(const std::string& first, const std::string* second, const WindowSpec& window);
