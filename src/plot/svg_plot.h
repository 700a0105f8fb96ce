// A small plotting library that writes SVG: one set of axes per figure, linear
// or log10 scales, line, step, marker and bar series, reference lines, labels
// tied to data positions, a legend, notes under the plot and an optional
// right-hand axis.
//
// Nothing overlaps: the layout measures every text in the font it asks for
// and places the legend in a corner of the plot area that holds no data (or
// under the plot), each label beside its point where it covers neither data
// nor another text (or, when there is no such place, among the notes), and
// the notes under the plot. The result lists the box of every text drawn.
//
// Axis ranges come from the data with a margin; they are not widened to
// whole tick steps or decades. A value that is not finite, beyond +-1e200,
// or not positive on a log10 axis cannot be drawn: a line leaves a gap there,
// a marker is left out. A series with more points than the plot area has
// pixel columns is drawn from the smallest and largest value of each column,
// so that no peak is lost.
//
// The output depends on nothing but the figure: the same figure gives the
// same bytes on every run and every machine.
#pragma once

#include <limits>
#include <string>
#include <vector>

#include "plot/text_metrics.h"

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
    // Fixed ends; an automatic end is taken from the data.
    double min = automatic;
    double max = automatic;
    // Room added at each automatic end, as a share of the data's span (of its
    // decades on a log10 axis): keeps markers off the frame.
    double margin = 0.04;
    // Ticks to draw instead of the automatic ones (only those inside the range
    // are drawn).
    std::vector<Tick> ticks;
    bool grid = true;
};

enum class SeriesKind {
    line,          // points joined in the given order
    step,          // y[i] held over [x[i], x[i + 1]): x holds the edges, one more than y. A histogram:
                   // the outline drops to the bottom of the axis for a count of 0 on a log10 axis,
                   // and a linear axis reaches down to 0
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
    Side side = Side::left;  // which y axis the values belong to
    double bar_width = 1.0;  // bars: in x units
    bool sets_range = true;  // false: drawn in the range the rest sets, clipped to it
};

// A horizontal (or vertical) line across the whole plot area at a value.
struct RefLine {
    bool vertical = false;
    double value = 0.0;
    Style style;
    Side side = Side::left;  // the y axis of a horizontal line
    std::string label;       // its legend entry; empty: none
};

// A text that belongs to a point of the data (a level, a marked value): drawn
// beside (x, y) where it covers nothing, otherwise listed among the notes.
struct Label {
    double x = 0.0;
    double y = 0.0;
    std::string text;
    Side side = Side::left;
    std::string colour = "#000000";
};

// A legend entry of its own, e.g. one entry for the excluded points of
// several series: the glyph of a series of this kind and style.
struct LegendEntry {
    std::string text;
    SeriesKind kind = SeriesKind::markers;
    Style style;
};

struct Axes {
    Axis x;
    Axis y;
    Axis y2;  // the right-hand axis, drawn when use_y2 is set
    bool use_y2 = false;
    std::vector<Series> series;
    std::vector<RefLine> ref_lines;
    std::vector<Label> labels;
    // Listed after the named series and the labelled reference lines.
    std::vector<LegendEntry> legend_entries;

    Series& add(Series s);
};

struct Figure {
    double width = 640.0;
    double height = 420.0;
    std::string title;
    std::string subtitle;
    Axes axes;
    // Lines of text under the plot, e.g. what could not be drawn.
    std::vector<std::string> notes;
};

// ---- The drawing. -------------------------------------------------------------

struct Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    double right() const { return x + width; }
    double bottom() const { return y + height; }
    bool empty() const { return !(width > 0.0 && height > 0.0); }
    bool overlaps(const Rect& o) const;
    bool holds(const Rect& o) const;
};

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// One axis as laid out: its range, the pixel positions of its ends and its ticks.
struct AxisLayout {
    Scale scale = Scale::linear;
    double lo = 0.0;
    double hi = 1.0;
    double px_lo = 0.0;  // pixel of lo (the left or bottom end)
    double px_hi = 1.0;  // pixel of hi
    std::vector<Tick> ticks;

    // Whether the value has a place on this scale (see the top of this file).
    bool drawable(double v) const;
    // Pixel position of a drawable value; values outside the range map
    // outside the ends.
    double to_px(double v) const;
    bool contains(double v) const;
};

struct TextBox {
    std::string text;
    Rect box;  // what the text covers, in pixels
};

struct Drawing {
    std::string svg;
    Rect area;  // the plot area
    AxisLayout x;
    AxisLayout y;
    AxisLayout y2;
    Rect legend;                              // empty when there is none
    std::vector<TextBox> texts;               // every text drawn
    std::vector<TextBox> labels;              // the labels placed beside their points
    std::vector<std::vector<Point>> data;     // what the series draw, as polylines in pixels
    std::vector<std::string> notes;           // the notes under the plot, labels that found no room among them
};

Drawing draw_figure(const Figure& figure);
std::string render_svg(const Figure& figure);

}  // namespace plot
