#include "plot/plot_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "plot/axis_scale.h"
#include "plot/text_metrics.h"

namespace plot {

namespace {

constexpr double edge = 4.0;          // no text comes nearer to the edge of the figure
constexpr double legend_row = 16.0;   // height of a legend entry
constexpr double note_line = 14.0;    // line height of the notes
constexpr double label_gap = 5.0;     // between a label and its point
constexpr double legend_inset = 6.0;  // between the legend and the frame

struct Entry {
    std::string text;
    SeriesKind kind = SeriesKind::line;
    Style style;
};

std::vector<Entry> legend_entries(const Axes& axes)
{
    std::vector<Entry> out;
    for (const Series& s : axes.series)
        if (!s.name.empty())
            out.push_back({s.name, s.kind, s.style});
    for (const RefLine& r : axes.ref_lines)
        if (!r.label.empty())
            out.push_back({r.label, SeriesKind::line, r.style});
    for (const LegendEntry& e : axes.legend_entries)
        out.push_back({e.text, e.kind, e.style});
    return out;
}

struct Spans {
    Span x;
    Span y;
    Span y2;
};

Spans data_spans(const Axes& axes)
{
    Spans spans;
    for (const Series& s : axes.series) {
        if (!s.sets_range)
            continue;
        const Scale y_scale = (s.side == Side::right ? axes.y2 : axes.y).scale;
        Span& ys = s.side == Side::right ? spans.y2 : spans.y;
        const bool step = s.kind == SeriesKind::step;
        const size_t n = step ? std::min(s.y.size(), s.x.empty() ? 0 : s.x.size() - 1) : std::min(s.x.size(), s.y.size());
        for (size_t i = 0; i < n; ++i) {
            // A histogram's empty bins are part of its range.
            const bool empty_bin = step && std::isfinite(s.y[i]) && s.y[i] <= 0.0;
            if (!usable(s.y[i], y_scale) && !empty_bin)
                continue;
            double left = s.x[i];
            double right = step ? s.x[i + 1] : s.x[i];
            if (s.kind == SeriesKind::bars) {
                left -= s.bar_width / 2.0;
                right += s.bar_width / 2.0;
            }
            if (!usable(left, axes.x.scale) || !usable(right, axes.x.scale))
                continue;
            spans.x.add(left);
            spans.x.add(right);
            if (usable(s.y[i], y_scale))
                ys.add(s.y[i]);
            // Counts and bars stand on 0.
            if ((step || s.kind == SeriesKind::bars) && y_scale == Scale::linear)
                ys.add(0.0);
        }
    }
    for (const RefLine& r : axes.ref_lines) {
        const Axis& a = r.vertical ? axes.x : r.side == Side::right ? axes.y2 : axes.y;
        Span& span = r.vertical ? spans.x : r.side == Side::right ? spans.y2 : spans.y;
        if (usable(r.value, a.scale))
            span.add(r.value);
    }
    return spans;
}

double widest(const std::vector<Tick>& ticks)
{
    double w = 0.0;
    for (const Tick& t : ticks)
        w = std::max(w, text_width(t.label, tick_font));
    return w;
}

// What the rounds of the layout settle: whether the legend goes under the
// plot, and which labels found no room and are notes.
struct Choices {
    bool legend_below = false;
    std::vector<bool> label_is_note;
    bool operator==(const Choices&) const = default;
};

void add_text(Layout& lay, std::string text, const char* role, double x, double y, const char* anchor, double size,
              int rotation = 0, bool bold = false, std::string colour = "#000000")
{
    PlacedText t;
    t.box = text_box(text, x, y, anchor, rotation, size, bold);
    t.text = std::move(text);
    t.role = role;
    t.x = x;
    t.y = y;
    t.anchor = anchor;
    t.rotation = rotation;
    t.size = size;
    t.bold = bold;
    t.colour = std::move(colour);
    lay.texts.push_back(std::move(t));
}

double text_height(double size)
{
    return (font_ascent + font_descent) * size;
}

// One round: everything placed for the choices made so far; `next` says what
// the next round must change.
Layout attempt(const Figure& f, const std::vector<Entry>& entries, const AxisLayout ranges[3], const Choices& choices,
               Choices& next)
{
    const Axes& axes = f.axes;
    Layout lay;
    lay.has_y2 = axes.use_y2;
    lay.x = ranges[0];
    lay.y = ranges[1];
    lay.y2 = ranges[2];
    next = choices;

    // The notes: the figure's, then the labels that found no room.
    for (const std::string& n : f.notes)
        lay.notes.push_back(n);
    for (size_t i = 0; i < axes.labels.size(); ++i)
        if (choices.label_is_note[i])
            lay.notes.push_back(axes.labels[i].text);
    std::vector<std::string> note_lines;
    for (const std::string& n : lay.notes)
        for (std::string& line : wrap_text(n, note_font, f.width - 2 * edge - 4))
            note_lines.push_back(std::move(line));

    // The legend under the plot: entries in as many columns as fit.
    double entry_width = 0.0;
    for (const Entry& e : entries)
        entry_width = std::max(entry_width, legend_glyph + 6.0 + text_width(e.text, legend_font));
    entry_width = std::min(entry_width, f.width - 2 * edge - 10.0);
    const double column_width = entry_width + 18.0;
    // As many columns as fit, then as few as keep the same number of rows.
    const size_t count = std::max<size_t>(1, entries.size());
    size_t columns = std::clamp<size_t>(static_cast<size_t>((f.width - 2 * edge - 10.0 + 18.0) / column_width), 1, count);
    const size_t rows_needed = (count + columns - 1) / columns;
    columns = (count + rows_needed - 1) / rows_needed;
    const size_t below_rows = choices.legend_below ? (entries.size() + columns - 1) / columns : 0;

    // Heights, top to bottom.
    const double top = f.subtitle.empty() ? (f.title.empty() ? 12.0 : 34.0) : 50.0;
    double bottom = edge + 22.0 + (axes.x.label.empty() ? 0.0 : 18.0);
    if (below_rows > 0)
        bottom += 6.0 + 8.0 + legend_row * static_cast<double>(below_rows);
    bottom += note_line * static_cast<double>(note_lines.size());
    lay.area.y = top;
    lay.area.height = std::max(40.0, f.height - top - bottom);

    // The y ticks follow from the height; their labels set the side margins.
    lay.y.ticks = axis_ticks(axes.y, lay.y, static_cast<int>(lay.area.height / 26.0));
    const double left = edge + widest(lay.y.ticks) + 10.0 + (axes.y.label.empty() ? 0.0 : 19.0);
    double right = 14.0;
    if (lay.has_y2) {
        lay.y2.ticks = axis_ticks(axes.y2, lay.y2, static_cast<int>(lay.area.height / 26.0));
        right = edge + widest(lay.y2.ticks) + 10.0 + (axes.y2.label.empty() ? 0.0 : 19.0);
    }
    // The x ticks follow from the width and the width of their own labels.
    double width = std::max(40.0, f.width - left - right);
    lay.x.ticks = axis_ticks(axes.x, lay.x, static_cast<int>(width / 60.0));
    lay.x.ticks = axis_ticks(axes.x, lay.x, static_cast<int>(width / (widest(lay.x.ticks) + 24.0)));
    if (!lay.has_y2 && !lay.x.ticks.empty())
        right = std::max(right, text_width(lay.x.ticks.back().label, tick_font) / 2.0 + edge + 2.0);
    lay.area.x = left;
    lay.area.width = std::max(40.0, f.width - left - right);
    lay.x.px_lo = lay.area.x;
    lay.x.px_hi = lay.area.right();
    for (AxisLayout* a : {&lay.y, &lay.y2}) {
        a->px_lo = lay.area.bottom();
        a->px_hi = lay.area.y;
    }

    // The data, and the map of where it is.
    Occupancy occupied(lay.area);
    for (const Series& s : axes.series) {
        const AxisLayout& ya = s.side == Side::right && lay.has_y2 ? lay.y2 : lay.y;
        lay.geometry.push_back(series_geometry(s, lay.x, ya, lay.area));
        occupied.mark(lay.geometry.back(), s.style.line_width, s.style.marker_size);
    }
    for (const RefLine& r : axes.ref_lines) {
        const AxisLayout& a = r.vertical ? lay.x : r.side == Side::right && lay.has_y2 ? lay.y2 : lay.y;
        if (!a.contains(r.value))
            continue;
        const double p = a.to_px(r.value);
        occupied.mark_polyline(r.vertical ? std::vector<Point>{{p, lay.area.y}, {p, lay.area.bottom()}}
                                          : std::vector<Point>{{lay.area.x, p}, {lay.area.right(), p}},
                               r.style.line_width / 2.0 + 1.0);
    }

    // The legend: in a corner of the plot area that holds no data, else under the plot.
    if (!entries.empty()) {
        const double w = entry_width + 10.0;
        const double h = 8.0 + legend_row * static_cast<double>(choices.legend_below ? below_rows : entries.size());
        if (choices.legend_below) {
            const double wide = static_cast<double>(columns) * column_width - 18.0 + 10.0;
            const double y = lay.area.bottom() + 22.0 + (axes.x.label.empty() ? 0.0 : 18.0) + 6.0;
            lay.legend = Rect{std::clamp(lay.area.x, edge, std::max(edge, f.width - edge - wide)), y, wide, h};
        } else {
            const Rect& a = lay.area;
            const double l = a.x + legend_inset;
            const double r = a.right() - legend_inset - w;
            const double t = a.y + legend_inset;
            const double b = a.bottom() - legend_inset - h;
            const double mx = a.x + (a.width - w) / 2.0;
            const double my = a.y + (a.height - h) / 2.0;
            const Point corners[] = {{r, t}, {l, t}, {r, b}, {l, b}, {r, my}, {l, my}, {mx, t}, {mx, b}};
            for (const Point& c : corners) {
                const Rect box{c.x, c.y, w, h};
                if (a.holds(box) && occupied.is_free(Rect{box.x - 3, box.y - 3, box.width + 6, box.height + 6})) {
                    lay.legend = box;
                    break;
                }
            }
            if (lay.legend.empty())
                next.legend_below = true;
        }
        for (size_t i = 0; i < entries.size() && !lay.legend.empty(); ++i) {
            // Under the plot, column by column.
            const size_t row = choices.legend_below ? i % below_rows : i;
            const size_t column = choices.legend_below ? i / below_rows : 0;
            const double x = lay.legend.x + 5.0 + static_cast<double>(column) * column_width;
            const double row_top = lay.legend.y + 4.0 + legend_row * static_cast<double>(row);
            lay.legend_items.push_back({entries[i].kind, entries[i].style, Point{x, row_top + legend_row / 2.0}});
            add_text(lay, fit_text(entries[i].text, legend_font, entry_width - legend_glyph - 6.0), "legend",
                     x + legend_glyph + 6.0, row_top + 12.0, "start", legend_font);
        }
    }

    // The labels, beside their points where they cover nothing.
    const Rect inner{lay.area.x + 2, lay.area.y + 2, lay.area.width - 4, lay.area.height - 4};
    for (size_t i = 0; i < axes.labels.size(); ++i) {
        if (choices.label_is_note[i])
            continue;
        const Label& label = axes.labels[i];
        const AxisLayout& ya = label.side == Side::right && lay.has_y2 ? lay.y2 : lay.y;
        bool placed = false;
        if (lay.x.contains(label.x) && ya.contains(label.y)) {
            const double ax = lay.x.to_px(label.x);
            const double ay = ya.to_px(label.y);
            const double w = text_width(label.text, legend_font);
            const double h = text_height(legend_font);
            for (int k = 0; k < 4 && !placed; ++k) {
                const double dy = note_line * k;
                const Point spots[] = {{ax + label_gap, ay - label_gap - h - dy}, {ax - label_gap - w, ay - label_gap - h - dy},
                                       {ax + label_gap, ay + label_gap + dy}, {ax - label_gap - w, ay + label_gap + dy}};
                for (const Point& p : spots) {
                    const Rect box{p.x, p.y, w, h};
                    bool clear = inner.holds(box) && occupied.is_free(box) && !box.overlaps(lay.legend);
                    for (const TextBox& other : lay.labels)
                        clear = clear && !box.overlaps(other.box);
                    if (clear) {
                        add_text(lay, label.text, "label", p.x, p.y + font_ascent * legend_font, "start", legend_font, 0,
                                 false, label.colour);
                        lay.labels.push_back({label.text, lay.texts.back().box});
                        placed = true;
                        break;
                    }
                }
            }
        }
        if (!placed)
            next.label_is_note[i] = true;
    }

    // Title, axis labels and notes; the tick labels last, each left out where
    // it would touch a text already placed.
    if (!f.title.empty())
        add_text(lay, fit_text(f.title, title_font, f.width - 2 * edge - 4, true), "title", edge + 4, 20.0, "start",
                 title_font, 0, true);
    if (!f.subtitle.empty())
        add_text(lay, fit_text(f.subtitle, subtitle_font, f.width - 2 * edge - 4), "subtitle", edge + 4, 37.0, "start",
                 subtitle_font, 0, false, "#333333");
    const double x_label_y = lay.area.bottom() + 36.0;
    if (!axes.x.label.empty())
        add_text(lay, fit_text(axes.x.label, axis_font, f.width - 2 * edge), "axis-label", lay.area.x + lay.area.width / 2.0,
                 x_label_y, "middle", axis_font);
    const double side_length = lay.area.height + 30.0;
    if (!axes.y.label.empty())
        add_text(lay, fit_text(axes.y.label, axis_font, side_length), "axis-label",
                 lay.area.x - 10.0 - widest(lay.y.ticks) - 4.0 - font_descent * axis_font, lay.area.y + lay.area.height / 2.0,
                 "middle", axis_font, -90);
    if (lay.has_y2 && !axes.y2.label.empty())
        add_text(lay, fit_text(axes.y2.label, axis_font, side_length), "axis-label",
                 lay.area.right() + 10.0 + widest(lay.y2.ticks) + 4.0 + font_descent * axis_font,
                 lay.area.y + lay.area.height / 2.0, "middle", axis_font, 90);
    double note_y = f.height - edge - font_descent * note_font - note_line * static_cast<double>(note_lines.size() - 1);
    for (std::string& line : note_lines) {
        add_text(lay, std::move(line), "note", edge + 4, note_y, "start", note_font, 0, false, "#333333");
        note_y += note_line;
    }
    auto add_tick = [&](const Tick& t, double x, double y, const char* anchor) {
        if (t.label.empty())
            return;
        const Rect box = text_box(t.label, x, y, anchor, 0, tick_font, false);
        if (!Rect{edge, edge, f.width - 2 * edge, f.height - 2 * edge}.holds(box))
            return;
        for (const PlacedText& other : lay.texts)
            if (box.overlaps(other.box))
                return;
        add_text(lay, t.label, "tick", x, y, anchor, tick_font);
        char value[32];
        std::snprintf(value, sizeof value, "%.12g", t.value);
        lay.texts.back().data_value = value;
    };
    for (const Tick& t : lay.x.ticks)
        add_tick(t, lay.x.to_px(t.value), lay.area.bottom() + major_tick + 13.0, "middle");
    for (const Tick& t : lay.y.ticks)
        add_tick(t, lay.area.x - major_tick - 3.0, lay.y.to_px(t.value) + 4.0, "end");
    if (lay.has_y2)
        for (const Tick& t : lay.y2.ticks)
            add_tick(t, lay.area.right() + major_tick + 3.0, lay.y2.to_px(t.value) + 4.0, "start");
    return lay;
}

}  // namespace

bool Rect::overlaps(const Rect& o) const
{
    return !empty() && !o.empty() && x < o.right() && o.x < right() && y < o.bottom() && o.y < bottom();
}

bool Rect::holds(const Rect& o) const
{
    return o.x >= x && o.y >= y && o.right() <= right() && o.bottom() <= bottom();
}

Rect text_box(std::string_view text, double x, double y, const char* anchor, int rotation, double size, bool bold)
{
    const double w = text_width(text, size, bold);
    const std::string_view a = anchor;
    const double before = a == "middle" ? w / 2.0 : a == "end" ? w : 0.0;  // along the text, before the anchor
    const double up = font_ascent * size;
    const double down = font_descent * size;
    if (rotation == -90)  // reads upwards; the glyphs' tops point left
        return Rect{x - up, y - (w - before), up + down, w};
    if (rotation == 90)  // reads downwards; the glyphs' tops point right
        return Rect{x - down, y - before, up + down, w};
    return Rect{x - before, y - up, w, up + down};
}

Layout layout_figure(const Figure& f)
{
    const std::vector<Entry> entries = legend_entries(f.axes);
    const Spans spans = data_spans(f.axes);
    AxisLayout ranges[3];
    resolve_range(f.axes.x, spans.x, ranges[0]);
    resolve_range(f.axes.y, spans.y, ranges[1]);
    if (f.axes.use_y2)
        resolve_range(f.axes.y2, spans.y2, ranges[2]);
    Choices choices;
    choices.label_is_note.assign(f.axes.labels.size(), false);
    // Each round can only move the legend under the plot or turn labels into
    // notes, so the rounds come to an end.
    for (;;) {
        Choices next;
        Layout lay = attempt(f, entries, ranges, choices, next);
        if (next == choices)
            return lay;
        choices = next;
    }
}

}  // namespace plot
