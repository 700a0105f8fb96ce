// What a series draws, in pixels, clipped to the plot area; and the map of
// the plot area that the layout consults to keep texts off the data.
#pragma once

#include <cstdint>
#include <vector>

#include "plot/svg_plot.h"

namespace plot {

struct SeriesGeometry {
    std::vector<std::vector<Point>> lines;  // polylines, each at least two points
    std::vector<Point> markers;
    std::vector<Rect> bars;
};

// A series with more points than the area has pixel columns keeps, within
// each column, the first, the smallest, the largest and the last value of
// each unbroken run of points.
SeriesGeometry series_geometry(const Series& series, const AxisLayout& x, const AxisLayout& y, const Rect& area);

// The cells of the plot area that something is drawn on.
class Occupancy {
public:
    explicit Occupancy(const Rect& area);

    void mark(const SeriesGeometry& geometry, double line_width, double marker_size);
    void mark_polyline(const std::vector<Point>& line, double half_width);
    void mark_rect(const Rect& r);
    // Whether nothing is drawn inside the rectangle (parts outside the area count as free).
    bool is_free(const Rect& r) const;

private:
    void mark_cell_range(double x0, double y0, double x1, double y1);

    Rect area_;
    int columns_ = 0;
    int rows_ = 0;
    std::vector<uint8_t> cells_;
};

}  // namespace plot
