// What a text looks like on the page: its width in the font the plots ask
// for, numbers as fixed text, and text made safe for XML.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plot {

// The plots ask for DejaVu Sans (the font Debian's renderers and browsers
// use for "sans-serif"); widths are that font's advances, so a box computed
// here holds the drawn text. Narrower fallback fonts stay inside it.
inline constexpr const char* font_family = "DejaVu Sans, Verdana, Arial, Helvetica, sans-serif";
// Above and below the baseline, in font sizes (the font's ascender and descender).
inline constexpr double font_ascent = 0.93;
inline constexpr double font_descent = 0.24;

double text_width(std::string_view text, double font_size, bool bold = false);

// The text shortened with an ellipsis in the middle until it fits the width.
std::string fit_text(std::string_view text, double font_size, double width, bool bold = false);
// The text broken into lines at blanks, each fitting the width (a word too
// long for a line is shortened).
std::vector<std::string> wrap_text(std::string_view text, double font_size, double width);

// Fixed-point text with the given decimals; never "-0".
std::string format_number(double v, int decimals);
// With the given significant digits ("0.0312", "98.4", "7.00").
std::string format_figure(double v, int digits);
// A whole number as such ("13", "10000"), any other with six significant digits.
std::string format_whole(double v);
// Text made safe for XML content and attribute values: markup characters
// escaped, control characters and bytes that are not UTF-8 replaced by '?'.
std::string xml_text(std::string_view text);

}  // namespace plot
