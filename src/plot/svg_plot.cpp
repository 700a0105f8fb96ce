#include "plot/svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace plot {

namespace {

// Sizes in pixels.
constexpr double tick_font = 11.0;
constexpr double label_font = 12.0;
constexpr double title_font = 15.0;
constexpr double subtitle_font = 11.5;
constexpr double char_width = 0.6;   // of the font size, for estimating text widths
constexpr double major_tick = 5.0;
constexpr double minor_tick = 3.0;
constexpr double legend_glyph = 26.0;
constexpr double legend_row = 17.0;
constexpr double coordinate_limit = 1.0e6;  // beyond the page, the clip hides it

const char* const font_family = "DejaVu Sans, Arial, Helvetica, sans-serif";

// Code points in UTF-8 text: the width estimate counts characters, not bytes.
size_t text_length(std::string_view text)
{
    size_t n = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

double text_width(std::string_view text, double font_size)
{
    return static_cast<double>(text_length(text)) * font_size * char_width;
}

// Pixel coordinates with at most two decimals, trailing zeros dropped.
std::string px(double v)
{
    v = std::clamp(v, -coordinate_limit, coordinate_limit);
    std::string s = format_number(v, 2);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

// Path commands appended piece by piece.
void path_to(std::string& d, char command, double x, double y)
{
    d += command;
    d += px(x);
    d += ' ';
    d += px(y);
}

void path_to(std::string& d, char command, double v)
{
    d += command;
    d += px(v);
}

bool near(double a, double b, double scale)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(scale));
}

// ---- Ranges from the data. -------------------------------------------------

struct Span {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();

    void add(double v)
    {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    bool empty() const { return lo > hi; }
};

bool usable(double v, Scale scale)
{
    return std::isfinite(v) && (scale == Scale::linear || v > 0.0);
}

struct DataSpans {
    Span x;
    Span y;
    Span y2;
};

DataSpans data_spans(const Axes& axes)
{
    DataSpans spans;
    for (const Series& s : axes.series) {
        if (!s.sets_range)
            continue;
        const Axis& y_axis = s.side == Side::right ? axes.y2 : axes.y;
        Span& ys = s.side == Side::right ? spans.y2 : spans.y;
        const size_t n = s.y.size();
        for (size_t i = 0; i < n; ++i) {
            const double yv = s.y[i];
            if (!usable(yv, y_axis.scale))
                continue;
            if (s.kind == SeriesKind::step) {
                if (i + 1 >= s.x.size() || !usable(s.x[i], axes.x.scale) || !usable(s.x[i + 1], axes.x.scale))
                    continue;
                spans.x.add(s.x[i]);
                spans.x.add(s.x[i + 1]);
            } else if (s.kind == SeriesKind::bars) {
                if (i >= s.x.size())
                    continue;
                const double left = s.x[i] - s.bar_width / 2.0;
                const double right = s.x[i] + s.bar_width / 2.0;
                if (!usable(left, axes.x.scale) || !usable(right, axes.x.scale))
                    continue;
                spans.x.add(left);
                spans.x.add(right);
                if (y_axis.scale == Scale::linear)
                    ys.add(0.0);
            } else {
                if (i >= s.x.size() || !usable(s.x[i], axes.x.scale))
                    continue;
                spans.x.add(s.x[i]);
            }
            ys.add(yv);
        }
    }
    for (const RefLine& r : axes.ref_lines) {
        if (r.vertical) {
            if (usable(r.value, axes.x.scale))
                spans.x.add(r.value);
        } else {
            const Axis& y_axis = r.side == Side::right ? axes.y2 : axes.y;
            if (usable(r.value, y_axis.scale))
                (r.side == Side::right ? spans.y2 : spans.y).add(r.value);
        }
    }
    return spans;
}

// The axis range: fixed ends as given, automatic ends from the data widened
// to the next tick step or decade.
void resolve_range(const Axis& axis, const Span& data, double length_px, double px_per_tick, AxisLayout& out)
{
    const bool log = axis.scale == Scale::log10;
    const bool fixed_lo = usable(axis.min, axis.scale);
    const bool fixed_hi = usable(axis.max, axis.scale);
    double lo = fixed_lo ? axis.min : (data.empty() ? (log ? 1.0 : 0.0) : data.lo);
    double hi = fixed_hi ? axis.max : (data.empty() ? (log ? 10.0 : 1.0) : data.hi);
    if (!data.empty() && axis.margin > 0.0) {
        if (log) {
            const double room = std::pow(hi / lo, axis.margin);
            lo = fixed_lo ? lo : lo / room;
            hi = fixed_hi ? hi : hi * room;
        } else {
            const double room = (hi - lo) * axis.margin;
            lo = fixed_lo ? lo : lo - room;
            hi = fixed_hi ? hi : hi + room;
        }
    }
    if (fixed_lo && !fixed_hi && hi < lo)
        hi = lo;
    if (fixed_hi && !fixed_lo && lo > hi)
        lo = hi;
    if (lo > hi)
        std::swap(lo, hi);
    if (lo == hi) {
        if (log) {
            if (!fixed_lo)
                lo /= 10.0;
            if (!fixed_hi || fixed_lo)
                hi *= 10.0;
        } else {
            const double pad = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
            if (!fixed_lo)
                lo -= pad;
            if (!fixed_hi || fixed_lo)
                hi += pad;
        }
    }
    const int max_ticks = std::max(2, static_cast<int>(length_px / px_per_tick));
    if (log) {
        if (!fixed_lo)
            lo = std::pow(10.0, std::floor(std::log10(lo) + 1e-9));
        if (!fixed_hi)
            hi = std::pow(10.0, std::ceil(std::log10(hi) - 1e-9));
        if (hi <= lo)
            hi = lo * 10.0;
    } else {
        const double step = nice_step(hi - lo, max_ticks);
        if (!fixed_lo)
            lo = std::floor(lo / step + 1e-9) * step;
        if (!fixed_hi)
            hi = std::ceil(hi / step - 1e-9) * step;
    }
    out.scale = axis.scale;
    out.lo = lo;
    out.hi = hi;
    if (!axis.ticks.empty()) {
        for (const Tick& t : axis.ticks)
            if (out.contains(t.value))
                out.ticks.push_back(t);
    } else if (log) {
        out.ticks = log_ticks(lo, hi, max_ticks);
    } else {
        out.ticks = linear_ticks(lo, hi, nice_step(hi - lo, max_ticks));
    }
}

double widest_label(const std::vector<Tick>& ticks)
{
    double w = 0.0;
    for (const Tick& t : ticks)
        w = std::max(w, text_width(t.label, tick_font));
    return w;
}

// ---- SVG text. --------------------------------------------------------------

struct Svg {
    std::string text;

    Svg& operator<<(std::string_view s)
    {
        text.append(s);
        return *this;
    }
};

std::string attr(const char* name, const std::string& value)
{
    return std::string(" ") + name + "=\"" + value + "\"";
}

std::string stroke_attrs(const Style& style)
{
    std::string a = attr("stroke", xml_text(style.colour)) + attr("stroke-width", px(style.line_width));
    if (!style.dash.empty())
        a += attr("stroke-dasharray", xml_text(style.dash));
    return a;
}

void marker_element(Svg& svg, Marker marker, double x, double y, double s)
{
    switch (marker) {
    case Marker::circle:
        svg << "<circle" << attr("cx", px(x)) << attr("cy", px(y)) << attr("r", px(s)) << "/>";
        break;
    case Marker::square:
        svg << "<rect" << attr("x", px(x - s)) << attr("y", px(y - s)) << attr("width", px(2 * s))
            << attr("height", px(2 * s)) << "/>";
        break;
    case Marker::diamond:
        svg << "<path d=\"M" << px(x) << " " << px(y - s * 1.3) << "L" << px(x + s * 1.3) << " " << px(y) << "L"
            << px(x) << " " << px(y + s * 1.3) << "L" << px(x - s * 1.3) << " " << px(y) << "Z\"/>";
        break;
    case Marker::triangle:
        svg << "<path d=\"M" << px(x) << " " << px(y - s * 1.2) << "L" << px(x + s * 1.1) << " " << px(y + s * 0.6)
            << "L" << px(x - s * 1.1) << " " << px(y + s * 0.6) << "Z\"/>";
        break;
    case Marker::cross:
        svg << "<path fill=\"none\" d=\"M" << px(x - s) << " " << px(y - s) << "L" << px(x + s) << " " << px(y + s)
            << "M" << px(x - s) << " " << px(y + s) << "L" << px(x + s) << " " << px(y - s) << "\"/>";
        break;
    }
}

const char* kind_name(SeriesKind kind)
{
    switch (kind) {
    case SeriesKind::line:
        return "line";
    case SeriesKind::step:
        return "step";
    case SeriesKind::markers:
        return "markers";
    case SeriesKind::line_markers:
        return "line-markers";
    case SeriesKind::bars:
        return "bars";
    }
    return "line";
}

bool has_line(SeriesKind kind)
{
    return kind == SeriesKind::line || kind == SeriesKind::line_markers || kind == SeriesKind::step;
}

bool has_markers(SeriesKind kind)
{
    return kind == SeriesKind::markers || kind == SeriesKind::line_markers;
}

// The path of a line or step series; every run of drawable points is its own
// subpath, so a value that cannot be drawn leaves a gap.
std::string series_path(const Series& s, const AxisLayout& xa, const AxisLayout& ya)
{
    std::string d;
    bool open = false;
    auto vertex = [&](double x, double y, bool move) { path_to(d, move ? 'M' : 'L', xa.to_px(x), ya.to_px(y)); };
    if (s.kind == SeriesKind::step) {
        for (size_t i = 0; i < s.y.size() && i + 1 < s.x.size(); ++i) {
            if (!ya.drawable(s.y[i]) || !xa.drawable(s.x[i]) || !xa.drawable(s.x[i + 1])) {
                open = false;
                continue;
            }
            vertex(s.x[i], s.y[i], !open);
            vertex(s.x[i + 1], s.y[i], false);
            open = true;
        }
    } else {
        const size_t n = std::min(s.x.size(), s.y.size());
        for (size_t i = 0; i < n; ++i) {
            if (!ya.drawable(s.y[i]) || !xa.drawable(s.x[i])) {
                open = false;
                continue;
            }
            vertex(s.x[i], s.y[i], !open);
            open = true;
        }
    }
    return d;
}

void draw_series(Svg& svg, const Series& s, const Layout& lay)
{
    const AxisLayout& xa = lay.x;
    const AxisLayout& ya = s.side == Side::right && lay.has_y2 ? lay.y2 : lay.y;
    svg << "<g class=\"series\"" << attr("data-name", xml_text(s.name)) << attr("data-kind", kind_name(s.kind))
        << ">\n";
    if (has_line(s.kind)) {
        svg << "<path class=\"curve\" fill=\"none\"" << stroke_attrs(s.style)
            << " stroke-linejoin=\"round\"" << attr("d", series_path(s, xa, ya)) << "/>\n";
    }
    if (has_markers(s.kind)) {
        const bool cross = s.style.marker == Marker::cross;
        svg << "<g class=\"markers\"" << attr("fill", cross ? "none" : xml_text(s.style.colour))
            << attr("stroke", xml_text(s.style.colour)) << attr("stroke-width", cross ? "1.3" : "0.6") << ">";
        const size_t n = std::min(s.x.size(), s.y.size());
        const double tolerance = 0.01;
        for (size_t i = 0; i < n; ++i) {
            if (!xa.drawable(s.x[i]) || !ya.drawable(s.y[i]))
                continue;
            const double x = xa.to_px(s.x[i]);
            const double y = ya.to_px(s.y[i]);
            if (x < lay.area.x - tolerance || x > lay.area.x + lay.area.width + tolerance ||
                y < lay.area.y - tolerance || y > lay.area.y + lay.area.height + tolerance)
                continue;  // outside the plot area: not drawn rather than cut in half
            marker_element(svg, s.style.marker, x, y, s.style.marker_size);
        }
        svg << "</g>\n";
    }
    if (s.kind == SeriesKind::bars) {
        const double base_value = ya.scale == Scale::log10 ? ya.lo : std::clamp(0.0, ya.lo, ya.hi);
        const double base = ya.to_px(base_value);
        svg << "<g class=\"bars\"" << attr("fill", xml_text(s.style.colour)) << ">";
        const size_t n = std::min(s.x.size(), s.y.size());
        for (size_t i = 0; i < n; ++i) {
            const double left = s.x[i] - s.bar_width / 2.0;
            const double right = s.x[i] + s.bar_width / 2.0;
            if (!ya.drawable(s.y[i]) || !xa.drawable(left) || !xa.drawable(right))
                continue;
            const double x0 = xa.to_px(left);
            const double x1 = xa.to_px(right);
            const double top = ya.to_px(s.y[i]);
            svg << "<rect" << attr("x", px(std::min(x0, x1))) << attr("y", px(std::min(top, base)))
                << attr("width", px(std::fabs(x1 - x0))) << attr("height", px(std::fabs(base - top))) << "/>";
        }
        svg << "</g>\n";
    }
    svg << "</g>\n";
}

void draw_legend_glyph(Svg& svg, const Series& s, double x, double y)
{
    if (s.kind == SeriesKind::bars) {
        svg << "<rect" << attr("x", px(x + 7)) << attr("y", px(y - 5)) << attr("width", "12") << attr("height", "10")
            << attr("fill", xml_text(s.style.colour)) << "/>";
        return;
    }
    if (has_line(s.kind)) {
        std::string d;
        path_to(d, 'M', x, y);
        path_to(d, 'L', x + legend_glyph, y);
        svg << "<path fill=\"none\"" << stroke_attrs(s.style) << attr("d", d) << "/>";
    }
    if (has_markers(s.kind)) {
        const bool cross = s.style.marker == Marker::cross;
        svg << "<g" << attr("fill", cross ? "none" : xml_text(s.style.colour)) << attr("stroke", xml_text(s.style.colour))
            << attr("stroke-width", cross ? "1.3" : "0.6") << ">";
        marker_element(svg, s.style.marker, x + legend_glyph / 2.0, y, s.style.marker_size);
        svg << "</g>";
    }
}

void draw_axis_ticks(Svg& svg, const AxisLayout& a, const Rect& area, char which, const std::string& label)
{
    const bool bottom = which == 'x';
    const bool right = which == 'r';
    svg << "<g class=\"axis\"" << attr("id", bottom ? "x-axis" : right ? "y2-axis" : "y-axis") << ">\n";
    std::string marks;
    for (const Tick& t : a.ticks) {
        const double p = a.to_px(t.value);
        const double len = t.label.empty() ? minor_tick : major_tick;
        if (bottom) {
            const double y0 = area.y + area.height;
            path_to(marks, 'M', p, y0);
            path_to(marks, 'L', p, y0 + len);
        } else if (right) {
            const double x0 = area.x + area.width;
            path_to(marks, 'M', x0, p);
            path_to(marks, 'L', x0 + len, p);
        } else {
            path_to(marks, 'M', area.x - len, p);
            path_to(marks, 'L', area.x, p);
        }
    }
    svg << "<path fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"" << attr("d", marks) << "/>\n";
    for (const Tick& t : a.ticks) {
        if (t.label.empty())
            continue;
        const double p = a.to_px(t.value);
        char value[32];
        std::snprintf(value, sizeof value, "%.12g", t.value);
        svg << "<text class=\"tick\"" << attr("data-value", value);
        if (bottom)
            svg << attr("x", px(p)) << attr("y", px(area.y + area.height + major_tick + 12)) << attr("text-anchor", "middle");
        else if (right)
            svg << attr("x", px(area.x + area.width + major_tick + 3)) << attr("y", px(p + 4)) << attr("text-anchor", "start");
        else
            svg << attr("x", px(area.x - major_tick - 3)) << attr("y", px(p + 4)) << attr("text-anchor", "end");
        svg << ">" << xml_text(t.label) << "</text>\n";
    }
    if (!label.empty()) {
        const double widest = widest_label(a.ticks);
        if (bottom) {
            svg << "<text class=\"axis-label\"" << attr("x", px(area.x + area.width / 2.0))
                << attr("y", px(area.y + area.height + major_tick + 32)) << " text-anchor=\"middle\""
                << attr("font-size", px(label_font)) << ">" << xml_text(label) << "</text>\n";
        } else {
            const double x = right ? area.x + area.width + major_tick + 8 + widest + 8
                                   : area.x - major_tick - 8 - widest - 6;
            const double y = area.y + area.height / 2.0;
            svg << "<text class=\"axis-label\"" << attr("x", px(x)) << attr("y", px(y)) << " text-anchor=\"middle\""
                << attr("font-size", px(label_font))
                << attr("transform", "rotate(" + std::string(right ? "90 " : "-90 ") + px(x) + " " + px(y) + ")") << ">"
                << xml_text(label) << "</text>\n";
        }
    }
    svg << "</g>\n";
}

}  // namespace

// ---- Public building blocks. ----------------------------------------------

Series& Axes::add(Series s)
{
    series.push_back(std::move(s));
    return series.back();
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
    const double span = hi - lo;
    return v >= lo - span * 1e-9 && v <= hi + span * 1e-9;
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
    if (!(step > 0.0) || !std::isfinite(lo) || !std::isfinite(hi))
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
    for (double i = first; i <= last && ticks.size() < 1000; i += 1.0) {
        double v = i * step;
        if (near(v, 0.0, step))
            v = 0.0;
        std::string label = format_number(v / unit, decimals);
        if (scientific && v != 0.0) {
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
    const bool narrow = decades <= 2 && std::log10(hi / lo) < 2.0;
    const int label_every = std::max(1, (decades + std::max(1, max_labels) - 1) / std::max(1, max_labels));
    const bool minors = decades <= 12;
    auto label_for = [](int exponent, double m) {
        const double v = m * std::pow(10.0, exponent);
        if (m == 1.0 && (exponent > 5 || exponent < -4))
            return "1e" + std::to_string(exponent);
        if (exponent > 5 || exponent < -4)
            return format_number(m, 0) + "e" + std::to_string(exponent);
        return format_number(v, std::max(0, -exponent));
    };
    const double span = std::log10(hi) - std::log10(lo);
    for (int e = first; e <= last; ++e) {
        for (int m = 1; m <= 9; ++m) {
            const double v = m * std::pow(10.0, e);
            const double position = std::log10(v) - std::log10(lo);
            if (position < -span * 1e-9 || position > span * (1.0 + 1e-9))
                continue;
            if (m == 1) {
                const bool labelled = ((e % label_every) + label_every) % label_every == 0;
                ticks.push_back(Tick{v, labelled ? label_for(e, 1.0) : std::string()});
            } else if (narrow && (m == 2 || m == 5)) {
                ticks.push_back(Tick{v, label_for(e, m)});
            } else if (minors) {
                ticks.push_back(Tick{v, std::string()});
            }
        }
    }
    return ticks;
}

std::string format_number(double v, int decimals)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    decimals = std::clamp(decimals, 0, 17);
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    std::string s(buffer);
    // A negative value that rounds to zero prints as "-0.00": drop the sign.
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::string xml_text(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += (c < 0x20 && c != '\t') || c == 0x7F ? '?' : static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A well-formed UTF-8 sequence is copied; anything else becomes '?'.
        size_t length = 0;
        uint32_t code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07u;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned char cc = static_cast<unsigned char>(text[i + k]);
            valid = (cc & 0xC0) == 0x80;
            code = (code << 6) | (cc & 0x3Fu);
        }
        if (valid) {
            const uint32_t least = length == 2 ? 0x80u : length == 3 ? 0x800u : 0x10000u;
            valid = code >= least && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE &&
                    code != 0xFFFF;
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

// ---- Layout and drawing. ----------------------------------------------------

Layout layout_figure(const Figure& figure)
{
    Layout lay;
    const Axes& axes = figure.axes;
    const DataSpans spans = data_spans(axes);
    lay.has_y2 = axes.use_y2;

    const double top = figure.subtitle.empty() ? (figure.title.empty() ? 16.0 : 40.0) : 56.0;
    const double bottom = axes.x.label.empty() ? 32.0 : 50.0;
    lay.area.y = top;
    lay.area.height = std::max(40.0, figure.height - top - bottom);

    // The y ticks depend only on the height; their labels then set the margins.
    resolve_range(axes.y, spans.y, lay.area.height, 40.0, lay.y);
    if (lay.has_y2)
        resolve_range(axes.y2, spans.y2, lay.area.height, 40.0, lay.y2);
    const double left = 12.0 + widest_label(lay.y.ticks) + major_tick + (axes.y.label.empty() ? 6.0 : 24.0);
    double right = 16.0;
    if (lay.has_y2)
        right = 12.0 + widest_label(lay.y2.ticks) + major_tick + (axes.y2.label.empty() ? 6.0 : 24.0);

    double legend_width = 0.0;
    int entries = 0;
    for (const Series& s : axes.series) {
        if (s.name.empty())
            continue;
        ++entries;
        legend_width = std::max(legend_width, legend_glyph + 8.0 + text_width(s.name, tick_font) + 12.0);
    }
    lay.area.x = left;
    lay.area.width = std::max(40.0, figure.width - left - right - legend_width);
    if (entries > 0) {
        lay.legend.x = lay.area.x + lay.area.width + right;
        lay.legend.y = lay.area.y;
        lay.legend.width = legend_width - 6.0;
        lay.legend.height = 8.0 + legend_row * entries;
    }

    resolve_range(axes.x, spans.x, lay.area.width, 80.0, lay.x);
    lay.x.px_lo = lay.area.x;
    lay.x.px_hi = lay.area.x + lay.area.width;
    for (AxisLayout* a : {&lay.y, &lay.y2}) {
        a->px_lo = lay.area.y + lay.area.height;
        a->px_hi = lay.area.y;
    }
    return lay;
}

std::string render_svg(const Figure& figure)
{
    const Layout lay = layout_figure(figure);
    const Axes& axes = figure.axes;
    const Rect& a = lay.area;
    Svg svg;
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"" << attr("width", px(figure.width))
        << attr("height", px(figure.height))
        << attr("viewBox", "0 0 " + px(figure.width) + " " + px(figure.height)) << attr("font-family", font_family)
        << attr("font-size", px(tick_font)) << ">\n";
    if (!figure.title.empty())
        svg << "<title>" << xml_text(figure.title) << "</title>\n";
    svg << "<rect" << attr("width", px(figure.width)) << attr("height", px(figure.height)) << " fill=\"#ffffff\"/>\n";
    svg << "<defs><clipPath id=\"plot-clip\"><rect" << attr("x", px(a.x)) << attr("y", px(a.y))
        << attr("width", px(a.width)) << attr("height", px(a.height)) << "/></clipPath></defs>\n";
    if (!figure.title.empty())
        svg << "<text class=\"title\"" << attr("x", px(a.x)) << " y=\"22\"" << attr("font-size", px(title_font))
            << " font-weight=\"bold\">" << xml_text(figure.title) << "</text>\n";
    if (!figure.subtitle.empty())
        svg << "<text class=\"subtitle\"" << attr("x", px(a.x)) << " y=\"40\"" << attr("font-size", px(subtitle_font))
            << " fill=\"#333333\">" << xml_text(figure.subtitle) << "</text>\n";

    // Grid lines at the labelled ticks of x and of the left y axis.
    std::string grid;
    if (axes.x.grid)
        for (const Tick& t : lay.x.ticks)
            if (!t.label.empty()) {
                path_to(grid, 'M', lay.x.to_px(t.value), a.y);
                path_to(grid, 'V', a.y + a.height);
            }
    if (axes.y.grid)
        for (const Tick& t : lay.y.ticks)
            if (!t.label.empty()) {
                path_to(grid, 'M', a.x, lay.y.to_px(t.value));
                path_to(grid, 'H', a.x + a.width);
            }
    if (!grid.empty())
        svg << "<path id=\"grid\" fill=\"none\" stroke=\"#dddddd\" stroke-width=\"1\"" << attr("d", grid) << "/>\n";

    svg << "<g id=\"data\" clip-path=\"url(#plot-clip)\">\n";
    for (const RefLine& r : axes.ref_lines) {
        const AxisLayout& ya = r.side == Side::right && lay.has_y2 ? lay.y2 : lay.y;
        std::string d;
        if (r.vertical && lay.x.drawable(r.value)) {
            path_to(d, 'M', lay.x.to_px(r.value), a.y);
            path_to(d, 'V', a.y + a.height);
        } else if (!r.vertical && ya.drawable(r.value)) {
            path_to(d, 'M', a.x, ya.to_px(r.value));
            path_to(d, 'H', a.x + a.width);
        }
        if (!d.empty())
            svg << "<path class=\"ref-line\" fill=\"none\"" << stroke_attrs(r.style) << attr("d", d) << "/>\n";
    }
    for (const Series& s : axes.series)
        draw_series(svg, s, lay);
    svg << "</g>\n";

    svg << "<rect id=\"plot-area\"" << attr("x", px(a.x)) << attr("y", px(a.y)) << attr("width", px(a.width))
        << attr("height", px(a.height)) << " fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"/>\n";
    draw_axis_ticks(svg, lay.x, a, 'x', axes.x.label);
    draw_axis_ticks(svg, lay.y, a, 'l', axes.y.label);
    if (lay.has_y2)
        draw_axis_ticks(svg, lay.y2, a, 'r', axes.y2.label);

    if (!axes.notes.empty()) {
        svg << "<g id=\"notes\">\n";
        for (const Note& n : axes.notes) {
            const AxisLayout& ya = n.side == Side::right && lay.has_y2 ? lay.y2 : lay.y;
            if (!lay.x.drawable(n.x) || !ya.drawable(n.y))
                continue;
            svg << "<text class=\"note\"" << attr("x", px(lay.x.to_px(n.x) + n.dx))
                << attr("y", px(ya.to_px(n.y) + n.dy)) << attr("text-anchor", xml_text(n.anchor))
                << attr("fill", xml_text(n.colour)) << ">" << xml_text(n.text) << "</text>\n";
        }
        svg << "</g>\n";
    }

    if (lay.legend.width > 0.0) {
        const Rect& l = lay.legend;
        svg << "<g id=\"legend\">\n<rect" << attr("x", px(l.x)) << attr("y", px(l.y)) << attr("width", px(l.width))
            << attr("height", px(l.height)) << " fill=\"#ffffff\" stroke=\"#999999\" stroke-width=\"0.8\"/>\n";
        double y = l.y + 4.0 + legend_row / 2.0;
        for (const Series& s : axes.series) {
            if (s.name.empty())
                continue;
            svg << "<g class=\"legend-entry\">";
            draw_legend_glyph(svg, s, l.x + 6.0, y);
            svg << "<text" << attr("x", px(l.x + 6.0 + legend_glyph + 6.0)) << attr("y", px(y + 4.0)) << ">"
                << xml_text(s.name) << "</text></g>\n";
            y += legend_row;
        }
        svg << "</g>\n";
    }
    svg << "</svg>\n";
    return svg.text;
}

}  // namespace plot
