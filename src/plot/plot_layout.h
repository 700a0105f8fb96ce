// Where everything of a figure goes, worked out before anything is drawn:
// the plot area, the axes and their ticks, the pixels of every series, the
// legend, the labels, the notes, and every text with the box it covers.
#pragma once

#include <string>
#include <vector>

#include "plot/series_geometry.h"
#include "plot/svg_plot.h"

namespace plot {

// Sizes of the texts, in pixels.
inline constexpr double title_font = 15.0;
inline constexpr double subtitle_font = 11.5;
inline constexpr double tick_font = 11.0;
inline constexpr double axis_font = 12.0;
inline constexpr double legend_font = 11.0;
inline constexpr double note_font = 11.0;
inline constexpr double major_tick = 5.0;
inline constexpr double minor_tick = 3.0;
inline constexpr double legend_glyph = 24.0;  // the width of a legend entry's line sample

struct PlacedText {
    std::string text;  // as drawn: shortened when it did not fit
    std::string role;  // title, subtitle, tick, axis-label, legend, label, note
    double x = 0.0;    // the anchor on the baseline
    double y = 0.0;
    const char* anchor = "start";  // start, middle or end
    int rotation = 0;              // -90 or 90 turns the text about its anchor
    double size = tick_font;
    bool bold = false;
    std::string colour = "#000000";
    std::string data_value;  // ticks: the value they stand for
    Rect box;
};

struct LegendItem {
    SeriesKind kind = SeriesKind::line;
    Style style;
    Point glyph;  // left end of the glyph, on its middle line
};

struct Layout {
    Rect area;
    AxisLayout x;
    AxisLayout y;
    AxisLayout y2;
    bool has_y2 = false;
    std::vector<SeriesGeometry> geometry;  // one per series, in order
    Rect legend;                            // empty when there is none
    std::vector<LegendItem> legend_items;  // their texts are among the texts
    std::vector<PlacedText> texts;
    std::vector<TextBox> labels;
    std::vector<std::string> notes;
};

Layout layout_figure(const Figure& figure);

// The box a text covers when drawn at (x, y) with the anchor and rotation given.
Rect text_box(std::string_view text, double x, double y, const char* anchor, int rotation, double size, bool bold);

}  // namespace plot
