// The SVG text of a laid-out figure.
#include <algorithm>
#include <cmath>

#include "plot/axis_scale.h"
#include "plot/plot_layout.h"
#include "plot/svg_plot.h"
#include "plot/text_metrics.h"

namespace plot {

namespace {

// Pixel coordinates with at most two decimals, trailing zeros dropped (the
// geometry is clipped to the plot area, so every coordinate is finite).
std::string px(double v)
{
    std::string s = format_number(std::clamp(v, -1e6, 1e6), 2);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s;
}

// Appends a path command: the letter, then its coordinates.
void command(std::string& d, char letter, double a)
{
    d += letter;
    d += px(a);
}

void command(std::string& d, char letter, double a, double b)
{
    command(d, letter, a);
    d += ' ';
    d += px(b);
}

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

std::string polyline_path(const std::vector<std::vector<Point>>& lines)
{
    std::string d;
    for (const auto& line : lines)
        for (size_t i = 0; i < line.size(); ++i)
            command(d, i == 0 ? 'M' : 'L', line[i].x, line[i].y);
    return d;
}

void marker_element(std::string& svg, Marker marker, double x, double y, double s)
{
    switch (marker) {
    case Marker::circle:
        svg += "<circle" + attr("cx", px(x)) + attr("cy", px(y)) + attr("r", px(s)) + "/>";
        break;
    case Marker::square:
        svg += "<rect" + attr("x", px(x - s)) + attr("y", px(y - s)) + attr("width", px(2 * s)) +
               attr("height", px(2 * s)) + "/>";
        break;
    case Marker::diamond:
        svg += "<path d=\"M" + px(x) + " " + px(y - s * 1.3) + "L" + px(x + s * 1.3) + " " + px(y) + "L" + px(x) + " " +
               px(y + s * 1.3) + "L" + px(x - s * 1.3) + " " + px(y) + "Z\"/>";
        break;
    case Marker::triangle:
        svg += "<path d=\"M" + px(x) + " " + px(y - s * 1.2) + "L" + px(x + s * 1.1) + " " + px(y + s * 0.6) + "L" +
               px(x - s * 1.1) + " " + px(y + s * 0.6) + "Z\"/>";
        break;
    case Marker::cross:
        svg += "<path fill=\"none\" d=\"M" + px(x - s) + " " + px(y - s) + "L" + px(x + s) + " " + px(y + s) + "M" +
               px(x - s) + " " + px(y + s) + "L" + px(x + s) + " " + px(y - s) + "\"/>";
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

std::string markers_group(const Style& style)
{
    const bool cross = style.marker == Marker::cross;
    return "<g class=\"markers\"" + attr("fill", cross ? "none" : xml_text(style.colour)) +
           attr("stroke", xml_text(style.colour)) + attr("stroke-width", cross ? "1.3" : "0.6") + ">";
}

void draw_series(std::string& svg, const Series& s, const SeriesGeometry& g)
{
    svg += "<g class=\"series\"" + attr("data-name", xml_text(s.name)) + attr("data-kind", kind_name(s.kind)) + ">\n";
    if (has_line(s.kind))
        svg += "<path class=\"curve\" fill=\"none\"" + stroke_attrs(s.style) + " stroke-linejoin=\"round\"" +
               attr("d", polyline_path(g.lines)) + "/>\n";
    if (has_markers(s.kind)) {
        svg += markers_group(s.style);
        for (const Point& p : g.markers)
            marker_element(svg, s.style.marker, p.x, p.y, s.style.marker_size);
        svg += "</g>\n";
    }
    if (s.kind == SeriesKind::bars) {
        svg += "<g class=\"bars\"" + attr("fill", xml_text(s.style.colour)) + ">";
        for (const Rect& b : g.bars)
            svg += "<rect" + attr("x", px(b.x)) + attr("y", px(b.y)) + attr("width", px(b.width)) +
                   attr("height", px(b.height)) + "/>";
        svg += "</g>\n";
    }
    svg += "</g>\n";
}

void draw_legend_glyph(std::string& svg, const LegendItem& item)
{
    const double x = item.glyph.x;
    const double y = item.glyph.y;
    if (item.kind == SeriesKind::bars) {
        svg += "<rect" + attr("x", px(x + 6)) + attr("y", px(y - 5)) + " width=\"12\" height=\"10\"" +
               attr("fill", xml_text(item.style.colour)) + "/>";
        return;
    }
    if (has_line(item.kind))
        svg += "<path fill=\"none\"" + stroke_attrs(item.style) + attr("d", "M" + px(x) + " " + px(y) + "L" +
                                                                               px(x + legend_glyph) + " " + px(y)) +
               "/>";
    if (has_markers(item.kind)) {
        svg += markers_group(item.style);
        marker_element(svg, item.style.marker, x + legend_glyph / 2.0, y, item.style.marker_size);
        svg += "</g>";
    }
}

void draw_ticks(std::string& svg, const AxisLayout& a, const Rect& area, char which)
{
    std::string d;
    for (const Tick& t : a.ticks) {
        const double p = a.to_px(t.value);
        const double len = t.label.empty() ? minor_tick : major_tick;
        if (which == 'x') {
            command(d, 'M', p, area.bottom());
            command(d, 'V', area.bottom() + len);
        } else if (which == 'r') {
            command(d, 'M', area.right(), p);
            command(d, 'H', area.right() + len);
        } else {
            command(d, 'M', area.x - len, p);
            command(d, 'H', area.x);
        }
    }
    const char* id = which == 'x' ? "x-axis" : which == 'r' ? "y2-axis" : "y-axis";
    svg += "<path class=\"axis\"" + attr("id", id) + " fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"" +
           attr("d", d) + "/>\n";
}

void draw_text(std::string& svg, const PlacedText& t)
{
    svg += "<text" + attr("class", t.role) + attr("x", px(t.x)) + attr("y", px(t.y));
    if (std::string_view(t.anchor) != "start")
        svg += attr("text-anchor", t.anchor);
    svg += attr("font-size", px(t.size));
    if (t.bold)
        svg += " font-weight=\"bold\"";
    if (t.colour != "#000000")
        svg += attr("fill", xml_text(t.colour));
    if (t.rotation != 0) {
        std::string turn = "rotate(";
        turn += std::to_string(t.rotation);
        turn += ' ';
        turn += px(t.x);
        turn += ' ';
        turn += px(t.y);
        turn += ')';
        svg += attr("transform", turn);
    }
    if (!t.data_value.empty())
        svg += attr("data-value", t.data_value);
    svg += '>';
    svg += xml_text(t.text);
    svg += "</text>\n";
}

}  // namespace

Series& Axes::add(Series s)
{
    series.push_back(std::move(s));
    return series.back();
}

Drawing draw_figure(const Figure& figure)
{
    const Layout lay = layout_figure(figure);
    const Axes& axes = figure.axes;
    const Rect& a = lay.area;
    std::string svg;
    svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\"" + attr("width", px(figure.width)) +
           attr("height", px(figure.height)) + attr("viewBox", "0 0 " + px(figure.width) + " " + px(figure.height)) +
           attr("font-family", font_family) + attr("font-size", px(tick_font)) + ">\n";
    if (!figure.title.empty())
        svg += "<title>" + xml_text(figure.title) + "</title>\n";
    svg += "<rect" + attr("width", px(figure.width)) + attr("height", px(figure.height)) + " fill=\"#ffffff\"/>\n";
    svg += "<defs><clipPath id=\"plot-clip\"><rect" + attr("x", px(a.x)) + attr("y", px(a.y)) +
           attr("width", px(a.width)) + attr("height", px(a.height)) + "/></clipPath></defs>\n";

    // Grid lines at the labelled ticks of x and of the left y axis.
    std::string grid;
    if (axes.x.grid)
        for (const Tick& t : lay.x.ticks)
            if (!t.label.empty()) {
                command(grid, 'M', lay.x.to_px(t.value), a.y);
                command(grid, 'V', a.bottom());
            }
    if (axes.y.grid)
        for (const Tick& t : lay.y.ticks)
            if (!t.label.empty()) {
                command(grid, 'M', a.x, lay.y.to_px(t.value));
                command(grid, 'H', a.right());
            }
    if (!grid.empty())
        svg += "<path id=\"grid\" fill=\"none\" stroke=\"#dddddd\" stroke-width=\"1\"" + attr("d", grid) + "/>\n";

    Drawing out;
    svg += "<g id=\"data\" clip-path=\"url(#plot-clip)\">\n";
    for (const RefLine& r : axes.ref_lines) {
        const AxisLayout& axis = r.vertical ? lay.x : r.side == Side::right && lay.has_y2 ? lay.y2 : lay.y;
        if (!axis.contains(r.value))
            continue;
        const double p = axis.to_px(r.value);
        const std::vector<Point> line = r.vertical ? std::vector<Point>{{p, a.y}, {p, a.bottom()}}
                                                   : std::vector<Point>{{a.x, p}, {a.right(), p}};
        svg += "<path class=\"ref-line\" fill=\"none\"" + stroke_attrs(r.style) + attr("d", polyline_path({line})) + "/>\n";
        out.data.push_back(line);
    }
    for (size_t i = 0; i < axes.series.size(); ++i) {
        const SeriesGeometry& g = lay.geometry[i];
        draw_series(svg, axes.series[i], g);
        out.data.insert(out.data.end(), g.lines.begin(), g.lines.end());
        for (const Point& p : g.markers)
            out.data.push_back({p});
        for (const Rect& b : g.bars)
            out.data.push_back({{b.x, b.y}, {b.right(), b.y}, {b.right(), b.bottom()}, {b.x, b.bottom()}, {b.x, b.y}});
    }
    svg += "</g>\n";

    svg += "<rect id=\"plot-area\"" + attr("x", px(a.x)) + attr("y", px(a.y)) + attr("width", px(a.width)) +
           attr("height", px(a.height)) + " fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"/>\n";
    draw_ticks(svg, lay.x, a, 'x');
    draw_ticks(svg, lay.y, a, 'l');
    if (lay.has_y2)
        draw_ticks(svg, lay.y2, a, 'r');
    if (!lay.legend.empty()) {
        const Rect& l = lay.legend;
        svg += "<g id=\"legend\">\n<rect" + attr("x", px(l.x)) + attr("y", px(l.y)) + attr("width", px(l.width)) +
               attr("height", px(l.height)) + " fill=\"#ffffff\" stroke=\"#999999\" stroke-width=\"0.8\"/>\n";
        for (const LegendItem& item : lay.legend_items)
            draw_legend_glyph(svg, item);
        svg += "\n</g>\n";
    }
    for (const PlacedText& t : lay.texts) {
        draw_text(svg, t);
        out.texts.push_back({t.text, t.box});
    }
    svg += "</svg>\n";

    out.svg = std::move(svg);
    out.area = a;
    out.x = lay.x;
    out.y = lay.y;
    out.y2 = lay.y2;
    out.legend = lay.legend;
    out.labels = lay.labels;
    out.notes = lay.notes;
    return out;
}

std::string render_svg(const Figure& figure)
{
    return draw_figure(figure).svg;
}

}  // namespace plot
