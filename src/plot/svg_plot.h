// A small plotting library that writes SVG: one set of axes per figure, linear
// or log10 scales, ticks at 1-2-5 steps or at decades, line, step, marker and
// bar series, a legend, reference lines, text notes and an optional right-hand
// axis. The output depends on nothing but the figure: the same figure gives
// the same bytes on every run and every machine (fixed number formatting, no
// dates, no random identifiers).
//
// A value that is NaN or infinite, or not positive on a log10 axis, cannot be
// drawn: a line or step series leaves a gap there, a marker is left out.
#pragma once

#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace plot {

inline constexpr double automatic = std::numeric_limits<double>::quiet_NaN();

enum class Scale { linear, log10 };

struct Tick {
    double value = 0.0;
    std::string label;  // empty: a minor tick (short mark, no grid line)
};

struct Axis {
    std::string label;
    Scale scale = Scale::linear;
    // Fixed ends; an automatic end is taken from the data and widened to the
    // next whole tick step (linear) or decade (log10).
    double min = automatic;
    double max = automatic;
    // Room added to the data before an automatic end is rounded, as a share
    // of the data's span: keeps markers off the frame.
    double margin = 0.0;
    // Ticks to draw instead of the automatic ones (only those inside the range
    // are drawn).
    std::vector<Tick> ticks;
    bool grid = true;
};

enum class SeriesKind {
    line,          // points joined in the given order
    step,          // y[i] held over [x[i], x[i + 1]): x holds the edges, one more than y
    markers,       // a marker per point
    line_markers,  // both
    bars,          // a bar per point from the baseline up to y, centred on x, bar_width wide
};

enum class Marker { circle, square, diamond, triangle, cross };

enum class Side { left, right };

struct Style {
    std::string colour = "#000000";
    double line_width = 1.5;
    std::string dash;  // SVG dash pattern, e.g. "6 3"; empty: solid
    Marker marker = Marker::circle;
    double marker_size = 3.0;  // half the marker's width, in pixels
};

struct Series {
    std::string name;  // legend text; empty: no legend entry
    SeriesKind kind = SeriesKind::line;
    std::vector<double> x;
    std::vector<double> y;
    Style style;
    Side side = Side::left;     // which y axis the values belong to
    double bar_width = 1.0;     // bars: in x units
    bool sets_range = true;     // false: drawn in the range the rest sets, clipped to it
};

// A horizontal (or vertical) line across the whole plot area at a value.
struct RefLine {
    bool vertical = false;
    double value = 0.0;
    Style style;
    Side side = Side::left;  // the y axis of a horizontal line
};

// Text at a data position, shifted by dx, dy pixels; not clipped.
struct Note {
    double x = 0.0;
    double y = 0.0;
    std::string text;
    Side side = Side::left;
    double dx = 0.0;
    double dy = 0.0;
    std::string anchor = "middle";  // start, middle or end
    std::string colour = "#000000";
};

struct Axes {
    Axis x;
    Axis y;
    Axis y2;               // the right-hand axis, drawn when use_y2 is set
    bool use_y2 = false;
    std::vector<Series> series;
    std::vector<RefLine> ref_lines;
    std::vector<Note> notes;

    Series& add(Series s);
};

struct Figure {
    double width = 880.0;
    double height = 500.0;
    std::string title;
    std::string subtitle;
    Axes axes;
};

// ---- Layout: where everything goes, worked out before drawing. -------------

struct Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
};

// One axis as laid out: its range, the pixel positions of its ends and its ticks.
struct AxisLayout {
    Scale scale = Scale::linear;
    double lo = 0.0;
    double hi = 1.0;
    double px_lo = 0.0;  // pixel of lo (the left or bottom end)
    double px_hi = 1.0;  // pixel of hi
    std::vector<Tick> ticks;

    // Whether the value has a place on this scale (finite; positive on log10).
    bool drawable(double v) const;
    // Pixel position of a drawable value; values outside the range map
    // outside the ends.
    double to_px(double v) const;
    bool contains(double v) const;
};

struct Layout {
    Rect area;  // the plot area
    AxisLayout x;
    AxisLayout y;
    AxisLayout y2;
    bool has_y2 = false;
    Rect legend;  // empty when no series has a name
};

Layout layout_figure(const Figure& figure);
std::string render_svg(const Figure& figure);

// ---- Building blocks, also for callers that make their own ticks. ----------

// The tick step for a span: 1, 2 or 5 times a power of ten, the smallest that
// gives at most max_ticks intervals.
double nice_step(double span, int max_ticks);
// Ticks at the multiples of step inside [lo, hi], labelled with as many
// decimals as the step needs.
std::vector<Tick> linear_ticks(double lo, double hi, double step);
// Labelled decades inside [lo, hi] with unlabelled 2..9 between them; a range
// narrower than two decades also labels the 2 and 5 multiples.
std::vector<Tick> log_ticks(double lo, double hi, int max_labels);
// Fixed-point text with the given decimals; never "-0".
std::string format_number(double v, int decimals);
// Text made safe for XML content and attribute values: markup characters
// escaped, control characters and bytes that are not UTF-8 replaced by '?'.
std::string xml_text(std::string_view text);

}  // namespace plot
