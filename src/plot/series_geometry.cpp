#include "plot/series_geometry.h"

#include <algorithm>
#include <cmath>

namespace plot {

namespace {

constexpr double cell_size = 2.0;  // pixels per cell of the occupancy map

using Polyline = std::vector<Point>;

// Keeps, within each pixel column of a run, the first, smallest, largest and
// last point, in their order.
Polyline reduce_run(const Polyline& run)
{
    Polyline out;
    size_t start = 0;
    while (start < run.size()) {
        const double column = std::floor(run[start].x);
        size_t end = start;
        size_t low = start;
        size_t high = start;
        while (end < run.size() && std::floor(run[end].x) == column) {
            if (run[end].y < run[low].y)
                low = end;
            if (run[end].y > run[high].y)
                high = end;
            ++end;
        }
        size_t keep[4] = {start, std::min(low, high), std::max(low, high), end - 1};
        for (size_t k = 0; k < 4; ++k)
            if (k == 0 || keep[k] != keep[k - 1])
                out.push_back(run[keep[k]]);
        start = end;
    }
    return out;
}

// Liang-Barsky: the part of the segment inside the rectangle, as parameters
// t0 <= t1 in [0, 1]; false when none of it is.
bool clip_segment(const Point& p, const Point& q, const Rect& r, double& t0, double& t1)
{
    const double dx = q.x - p.x;
    const double dy = q.y - p.y;
    const double edges[4][2] = {{-dx, p.x - r.x}, {dx, r.right() - p.x}, {-dy, p.y - r.y}, {dy, r.bottom() - p.y}};
    t0 = 0.0;
    t1 = 1.0;
    for (const auto& e : edges) {
        if (e[0] == 0.0) {
            if (e[1] < 0.0)
                return false;
            continue;
        }
        const double t = e[1] / e[0];
        if (e[0] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    return true;
}

// The runs cut to the rectangle: a run that leaves it breaks there.
void clip_into(const Polyline& run, const Rect& r, std::vector<Polyline>& out)
{
    Polyline current;
    auto close = [&] {
        if (current.size() >= 2)
            out.push_back(std::move(current));
        current.clear();
    };
    for (size_t i = 0; i + 1 < run.size(); ++i) {
        const Point& p = run[i];
        const Point& q = run[i + 1];
        double t0 = 0.0;
        double t1 = 1.0;
        if (!clip_segment(p, q, r, t0, t1)) {
            close();
            continue;
        }
        const Point a{p.x + t0 * (q.x - p.x), p.y + t0 * (q.y - p.y)};
        const Point b{p.x + t1 * (q.x - p.x), p.y + t1 * (q.y - p.y)};
        if (t0 > 0.0 || current.empty()) {
            close();
            current.push_back(a);
        }
        current.push_back(b);
        if (t1 < 1.0)
            close();
    }
    close();
}

bool finite_point(const Point& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

}  // namespace

SeriesGeometry series_geometry(const Series& s, const AxisLayout& xa, const AxisLayout& ya, const Rect& area)
{
    SeriesGeometry g;
    const double columns = std::max(1.0, std::floor(area.width));
    const Rect clip{area.x - 0.5, area.y - 0.5, area.width + 1.0, area.height + 1.0};
    const bool step = s.kind == SeriesKind::step;
    const bool lines = step || s.kind == SeriesKind::line || s.kind == SeriesKind::line_markers;
    const bool markers = s.kind == SeriesKind::markers || s.kind == SeriesKind::line_markers;
    const size_t n = step ? std::min(s.y.size(), s.x.empty() ? 0 : s.x.size() - 1) : std::min(s.x.size(), s.y.size());

    if (lines) {
        std::vector<Polyline> runs(1);
        size_t points = 0;
        auto gap = [&] {
            if (!runs.back().empty())
                runs.emplace_back();
        };
        for (size_t i = 0; i < n; ++i) {
            if (step) {
                const double v = s.y[i];
                const bool floor = ya.scale == Scale::log10 && std::isfinite(v) && v <= 0.0;
                if (!(floor || ya.drawable(v)) || !xa.drawable(s.x[i]) || !xa.drawable(s.x[i + 1])) {
                    gap();
                    continue;
                }
                const double y = floor ? area.bottom() : ya.to_px(v);
                const Point a{xa.to_px(s.x[i]), y};
                const Point b{xa.to_px(s.x[i + 1]), y};
                if (!finite_point(a) || !finite_point(b)) {
                    gap();
                    continue;
                }
                runs.back().push_back(a);
                runs.back().push_back(b);
                ++points;
            } else {
                const Point p{xa.drawable(s.x[i]) ? xa.to_px(s.x[i]) : NAN, ya.drawable(s.y[i]) ? ya.to_px(s.y[i]) : NAN};
                if (!finite_point(p)) {
                    gap();
                    continue;
                }
                runs.back().push_back(p);
                ++points;
            }
        }
        const bool reduce = static_cast<double>(points) > columns;  // points: bins of a step series
        for (const Polyline& run : runs)
            clip_into(reduce ? reduce_run(run) : run, clip, g.lines);
    }

    if (markers) {
        const double tolerance = 0.01;
        for (size_t i = 0; i < n; ++i) {
            if (!xa.drawable(s.x[i]) || !ya.drawable(s.y[i]))
                continue;
            const Point p{xa.to_px(s.x[i]), ya.to_px(s.y[i])};
            // Outside the plot area: not drawn rather than cut in half.
            if (finite_point(p) && p.x >= area.x - tolerance && p.x <= area.right() + tolerance &&
                p.y >= area.y - tolerance && p.y <= area.bottom() + tolerance)
                g.markers.push_back(p);
        }
        if (static_cast<double>(g.markers.size()) > columns) {
            // The lowest and the highest marker of each pixel column.
            std::vector<Point> sorted = g.markers;
            std::stable_sort(sorted.begin(), sorted.end(), [](const Point& a, const Point& b) {
                return std::floor(a.x) < std::floor(b.x);
            });
            g.markers.clear();
            for (size_t i = 0; i < sorted.size();) {
                size_t j = i;
                const Point* low = &sorted[i];
                const Point* high = &sorted[i];
                for (; j < sorted.size() && std::floor(sorted[j].x) == std::floor(sorted[i].x); ++j) {
                    low = sorted[j].y < low->y ? &sorted[j] : low;
                    high = sorted[j].y > high->y ? &sorted[j] : high;
                }
                g.markers.push_back(*low);
                if (high != low)
                    g.markers.push_back(*high);
                i = j;
            }
        }
    }

    if (s.kind == SeriesKind::bars) {
        const double base_value = ya.scale == Scale::log10 ? ya.lo : std::clamp(0.0, ya.lo, ya.hi);
        const double base = ya.to_px(base_value);
        for (size_t i = 0; i < n; ++i) {
            const double left = s.x[i] - s.bar_width / 2.0;
            const double right = s.x[i] + s.bar_width / 2.0;
            if (!ya.drawable(s.y[i]) || !xa.drawable(left) || !xa.drawable(right))
                continue;
            const double x0 = std::clamp(std::min(xa.to_px(left), xa.to_px(right)), area.x, area.right());
            const double x1 = std::clamp(std::max(xa.to_px(left), xa.to_px(right)), area.x, area.right());
            const double top = std::clamp(ya.to_px(s.y[i]), area.y, area.bottom());
            const Rect bar{x0, std::min(top, base), x1 - x0, std::fabs(base - top)};
            if (!bar.empty())
                g.bars.push_back(bar);
        }
    }
    return g;
}

Occupancy::Occupancy(const Rect& area) : area_(area)
{
    columns_ = std::max(1, static_cast<int>(std::ceil(area.width / cell_size)));
    rows_ = std::max(1, static_cast<int>(std::ceil(area.height / cell_size)));
    cells_.assign(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), 0);
}

void Occupancy::mark_cell_range(double x0, double y0, double x1, double y1)
{
    const int c0 = std::max(0, static_cast<int>(std::floor((x0 - area_.x) / cell_size)));
    const int c1 = std::min(columns_ - 1, static_cast<int>(std::floor((x1 - area_.x) / cell_size)));
    const int r0 = std::max(0, static_cast<int>(std::floor((y0 - area_.y) / cell_size)));
    const int r1 = std::min(rows_ - 1, static_cast<int>(std::floor((y1 - area_.y) / cell_size)));
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            cells_[static_cast<size_t>(r) * static_cast<size_t>(columns_) + static_cast<size_t>(c)] = 1;
}

void Occupancy::mark_rect(const Rect& r)
{
    mark_cell_range(r.x, r.y, r.right(), r.bottom());
}

void Occupancy::mark_polyline(const std::vector<Point>& line, double half_width)
{
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        const Point& p = line[i];
        const Point& q = line[i + 1];
        const double length = std::hypot(q.x - p.x, q.y - p.y);
        const int steps = std::max(1, static_cast<int>(std::ceil(length / (cell_size / 2.0))));
        for (int k = 0; k <= steps; ++k) {
            const double t = static_cast<double>(k) / steps;
            const double x = p.x + t * (q.x - p.x);
            const double y = p.y + t * (q.y - p.y);
            mark_cell_range(x - half_width, y - half_width, x + half_width, y + half_width);
        }
    }
}

void Occupancy::mark(const SeriesGeometry& g, double line_width, double marker_size)
{
    for (const auto& line : g.lines)
        mark_polyline(line, line_width / 2.0 + 1.0);
    for (const Point& p : g.markers)
        mark_cell_range(p.x - marker_size * 1.3 - 1.0, p.y - marker_size * 1.3 - 1.0, p.x + marker_size * 1.3 + 1.0,
                        p.y + marker_size * 1.3 + 1.0);
    for (const Rect& b : g.bars)
        mark_rect(b);
}

bool Occupancy::is_free(const Rect& r) const
{
    const int c0 = std::max(0, static_cast<int>(std::floor((r.x - area_.x) / cell_size)));
    const int c1 = std::min(columns_ - 1, static_cast<int>(std::floor((r.right() - area_.x) / cell_size)));
    const int r0 = std::max(0, static_cast<int>(std::floor((r.y - area_.y) / cell_size)));
    const int r1 = std::min(rows_ - 1, static_cast<int>(std::floor((r.bottom() - area_.y) / cell_size)));
    for (int row = r0; row <= r1; ++row)
        for (int c = c0; c <= c1; ++c)
            if (cells_[static_cast<size_t>(row) * static_cast<size_t>(columns_) + static_cast<size_t>(c)])
                return false;
    return true;
}

}  // namespace plot
