#include "plot/axis_scale.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "plot/text_metrics.h"

namespace plot {

namespace {

bool near(double a, double b, double scale)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(scale));
}

size_t labelled(const std::vector<Tick>& ticks)
{
    return static_cast<size_t>(std::count_if(ticks.begin(), ticks.end(), [](const Tick& t) { return !t.label.empty(); }));
}

std::string log_label(int exponent, int multiple)
{
    if (exponent > 5 || exponent < -4)
    {
        std::string label = std::to_string(multiple);
        label += 'e';
        label += std::to_string(exponent);
        return label;
    }
    return format_number(multiple * std::pow(10.0, exponent), std::max(0, -exponent));
}

}  // namespace

bool usable(double v, Scale scale)
{
    if (!std::isfinite(v) || std::fabs(v) > largest_drawable)
        return false;
    return scale == Scale::linear || v >= 1.0 / largest_drawable;
}

bool AxisLayout::drawable(double v) const
{
    return usable(v, scale);
}

double AxisLayout::to_px(double v) const
{
    double t = 0.0;
    if (scale == Scale::log10)
        t = (std::log10(v) - std::log10(lo)) / (std::log10(hi) - std::log10(lo));
    else
        t = (v - lo) / (hi - lo);
    return px_lo + t * (px_hi - px_lo);
}

bool AxisLayout::contains(double v) const
{
    if (!drawable(v))
        return false;
    if (scale == Scale::log10) {
        const double span = std::log10(hi / lo);
        const double at = std::log10(v / lo);
        return at >= -span * 1e-9 && at <= span * (1.0 + 1e-9);
    }
    const double span = hi - lo;
    return v >= lo - span * 1e-9 && v <= hi + span * 1e-9;
}

void resolve_range(const Axis& axis, const Span& data, AxisLayout& out)
{
    const bool log = axis.scale == Scale::log10;
    const bool fixed_lo = usable(axis.min, axis.scale);
    const bool fixed_hi = usable(axis.max, axis.scale);
    double lo = fixed_lo ? axis.min : (data.empty() ? (log ? 1.0 : 0.0) : data.lo);
    double hi = fixed_hi ? axis.max : (data.empty() ? (log ? 10.0 : 1.0) : data.hi);
    if (fixed_lo && !fixed_hi && hi < lo)
        hi = lo;
    if (fixed_hi && !fixed_lo && lo > hi)
        lo = hi;
    if (lo > hi)
        std::swap(lo, hi);
    const double margin = std::clamp(axis.margin, 0.0, 1.0);
    if (lo == hi) {
        // No width: a tenth of the value on each side (a decade on a log axis).
        const double pad = log ? 10.0 : (lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1);
        if (!fixed_lo)
            lo = log ? lo / pad : lo - pad;
        if (!fixed_hi || fixed_lo)
            hi = log ? hi * pad : hi + pad;
    } else if (!data.empty() && margin > 0.0) {
        if (log) {
            const double room = std::pow(hi / lo, margin);
            lo = fixed_lo ? lo : lo / room;
            hi = fixed_hi ? hi : hi * room;
        } else {
            const double room = (hi - lo) * margin;
            lo = fixed_lo ? lo : lo - room;
            hi = fixed_hi ? hi : hi + room;
        }
    }
    out.scale = axis.scale;
    out.lo = lo;
    out.hi = hi;
}

std::vector<Tick> axis_ticks(const Axis& axis, const AxisLayout& range, int max_labels)
{
    std::vector<Tick> ticks;
    if (!axis.ticks.empty()) {
        for (const Tick& t : axis.ticks)
            if (range.contains(t.value))
                ticks.push_back(t);
        return ticks;
    }
    max_labels = std::max(2, max_labels);
    if (range.scale == Scale::log10)
        return log_ticks(range.lo, range.hi, max_labels);
    return linear_ticks(range.lo, range.hi, nice_step(range.hi - range.lo, max_labels));
}

double nice_step(double span, int max_ticks)
{
    if (!(span > 0.0) || !std::isfinite(span))
        return 1.0;
    const double raw = span / std::max(1, max_ticks);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * magnitude >= raw * (1.0 - 1e-9))
            return m * magnitude;
    }
    return 10.0 * magnitude;
}

std::vector<Tick> linear_ticks(double lo, double hi, double step)
{
    std::vector<Tick> ticks;
    if (!(step > 0.0) || !std::isfinite(lo) || !std::isfinite(hi) || !((hi - lo) / step < 1000.0))
        return ticks;
    // Very large or very small values are labelled as mantissa and exponent.
    const double largest = std::max(std::fabs(lo), std::fabs(hi));
    const bool scientific = largest >= 1e7 || (step < 1e-4 && largest < 1e-2);
    const int exponent = scientific ? static_cast<int>(std::floor(std::log10(largest) + 1e-9)) : 0;
    const double unit = std::pow(10.0, exponent);
    const double unit_step = step / unit;
    const int decimals = unit_step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(unit_step) - 1e-9));
    const double first = std::ceil(lo / step - 1e-9);
    const double last = std::floor(hi / step + 1e-9);
    for (double i = first; i <= last; i += 1.0) {
        double v = i * step;
        if (near(v, 0.0, step))
            v = 0.0;
        std::string label = format_number(v / unit, decimals);
        if (scientific && v != 0.0)
        {
            label += 'e';
            label += std::to_string(exponent);
        }
        ticks.push_back(Tick{v, label});
    }
    return ticks;
}

std::vector<Tick> log_ticks(double lo, double hi, int max_labels)
{
    std::vector<Tick> ticks;
    if (!(lo > 0.0) || !(hi > lo) || !std::isfinite(hi))
        return ticks;
    const int first = static_cast<int>(std::floor(std::log10(lo) + 1e-9));
    const int last = static_cast<int>(std::ceil(std::log10(hi) - 1e-9));
    const int decades = last - first;
    const int every = std::max(1, (decades + std::max(1, max_labels) - 1) / std::max(1, max_labels));
    const double span = std::log10(hi / lo);
    // Which multiples carry labels: the decades, then also 2 and 5, then all,
    // until at least two labels fall inside the range.
    const int least_level = span < 2.0 ? 1 : 0;
    for (const int level : {0, 1, 2}) {
        if (level < least_level)
            continue;
        ticks.clear();
        for (int e = first; e <= last; ++e) {
            for (int m = 1; m <= 9; ++m) {
                const double v = m * std::pow(10.0, e);
                const double at = std::log10(v / lo);
                if (at < -span * 1e-9 || at > span * (1.0 + 1e-9))
                    continue;
                const bool decade = m == 1 && ((e % every) + every) % every == 0;
                const bool label = decade || (level == 1 && (m == 2 || m == 5)) || level == 2;
                if (label)
                    ticks.push_back(Tick{v, log_label(e, m)});
                else if (decades <= 12)
                    ticks.push_back(Tick{v, std::string()});
            }
        }
        // Two labels, or three within a decade, are enough.
        if (labelled(ticks) >= (span < 1.0 ? 3u : 2u))
            return ticks;
    }
    // Narrower than two multiples: plain steps, placed on the log scale.
    std::vector<Tick> plain = linear_ticks(lo, hi, nice_step(hi - lo, std::max(2, max_labels)));
    plain.erase(std::remove_if(plain.begin(), plain.end(), [](const Tick& t) { return !(t.value > 0.0); }), plain.end());
    return plain.empty() ? ticks : plain;
}

}  // namespace plot
