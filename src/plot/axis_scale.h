// Axis ranges from the data and the ticks on them.
#pragma once

#include <limits>
#include <vector>

#include "plot/svg_plot.h"

namespace plot {

// Beyond this magnitude a value is not drawn: ranges and pixel positions
// stay finite for every value that is.
inline constexpr double largest_drawable = 1e200;

bool usable(double v, Scale scale);

struct Span {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();

    void add(double v)
    {
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    bool empty() const { return lo > hi; }
};

// The range of an axis: fixed ends as given; automatic ends from the data,
// moved out by the axis's margin; a range of no width opened around its value.
void resolve_range(const Axis& axis, const Span& data, AxisLayout& out);

// The ticks of a resolved range: the axis's own, or at most about max_labels
// labelled ones.
std::vector<Tick> axis_ticks(const Axis& axis, const AxisLayout& range, int max_labels);

// The tick step for a span: 1, 2 or 5 times a power of ten, the smallest that
// gives at most max_ticks intervals.
double nice_step(double span, int max_ticks);
// Ticks at the multiples of step inside [lo, hi], labelled with as many
// decimals as the step needs.
std::vector<Tick> linear_ticks(double lo, double hi, double step);
// Labelled decades inside [lo, hi] (every k-th when there are more than
// max_labels), unlabelled 2..9 between them; a range that holds fewer than
// two decades labels the 2 and 5 multiples too, or every multiple.
std::vector<Tick> log_ticks(double lo, double hi, int max_labels);

}  // namespace plot
