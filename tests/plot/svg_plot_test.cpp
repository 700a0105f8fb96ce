// The plotting library: ticks, ranges from the data, positions, values that
// cannot be drawn, long series reduced to pixel columns, and texts that never
// overlap each other, the frame or the data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "plot/axis_scale.h"
#include "plot/svg_plot.h"

using namespace plot;

namespace {

using Labels = std::vector<std::string>;

Series series(SeriesKind kind, std::vector<double> x, std::vector<double> y, std::string name = "s")
{
    Series s;
    s.name = std::move(name);
    s.kind = kind;
    s.x = std::move(x);
    s.y = std::move(y);
    return s;
}

Labels labels_of(const std::vector<Tick>& ticks)
{
    Labels out;
    for (const Tick& t : ticks)
        if (!t.label.empty())
            out.push_back(t.label);
    return out;
}

}  // namespace

TEST(PlotTicks, StepsAndLabels)
{
    // span, max intervals, the smallest 1-2-5 step giving at most that many.
    const double steps[][3] = {{10, 5, 2}, {7, 5, 2}, {0.9, 4, 0.5}, {100, 5, 20}, {3000, 4, 1000}};
    for (const auto& s : steps)
        EXPECT_DOUBLE_EQ(nice_step(s[0], static_cast<int>(s[1])), s[2]) << s[0] << " / " << s[1];
    EXPECT_EQ(labels_of(linear_ticks(-0.3, 0.5, 0.2)), (Labels{"-0.2", "0.0", "0.2", "0.4"}));
    EXPECT_EQ(labels_of(linear_ticks(0.0, 4e8, 1e8)), (Labels{"0", "1e8", "2e8", "3e8", "4e8"}));
    // Decades; under two decades also 2 and 5; under a factor of two every multiple.
    EXPECT_EQ(labels_of(log_ticks(0.3, 1.0e4, 10)), (Labels{"1", "10", "100", "1000", "10000"}));
    EXPECT_EQ(log_ticks(0.3, 1.0e4, 10).size(), 7u + 4u * 9u + 1u);  // 0.3 .. 0.9, 1 .. 9 of each decade to 1000, 10000
    EXPECT_EQ(labels_of(log_ticks(1.0, 50.0, 10)), (Labels{"1", "2", "5", "10", "20", "50"}));
    EXPECT_EQ(labels_of(log_ticks(5.5, 12.0, 10)), (Labels{"6", "7", "8", "9", "10"}));
}

TEST(PlotText, WidthsAreThoseOfTheFont)
{
    // DejaVu Sans: digits 1303/2048 em, 'i' 569, 'W' 2025 (bold 702 and 2259); other characters a whole em at most.
    EXPECT_NEAR(text_width("0123456789", 10), 10 * 10 * 1303 / 2048.0, 1e-9);
    EXPECT_NEAR(text_width("iW", 20), 20 * (569 + 2025) / 2048.0, 1e-9);
    EXPECT_NEAR(text_width("iW", 20, true), 20 * (702 + 2259) / 2048.0, 1e-9);
    EXPECT_NEAR(text_width("\xE2\x89\xA5", 10), 10, 1e-9);
}

TEST(PlotRanges, FromTheDataWithAMarginNotWidenedToTicks)
{
    auto range = [](Axis axis, std::vector<double> values) {
        Span s;
        for (const double v : values)
            s.add(v);
        AxisLayout out;
        resolve_range(axis, s, out);
        return std::make_pair(out.lo, out.hi);
    };
    Axis linear;
    const auto [lo, hi] = range(linear, {3700, 3900, 4100});  // 4 % of 400 at each end
    EXPECT_DOUBLE_EQ(lo, 3684);
    EXPECT_DOUBLE_EQ(hi, 4116);
    Axis log;
    log.scale = Scale::log10;
    const auto [llo, lhi] = range(log, {1, 1000});  // 4 % of 3 decades
    EXPECT_NEAR(std::log10(llo), -0.12, 1e-12);
    EXPECT_NEAR(std::log10(lhi), 3.12, 1e-12);
    EXPECT_EQ(range(linear, {5}), std::make_pair(4.5, 5.5));  // no width: a tenth each way
    linear.min = 0;
    EXPECT_EQ(range(linear, {10, 20}).first, 0.0);
}

TEST(PlotGeometry, PointsWhereTheyBelongAndGapsWhereTheyCannotBeDrawn)
{
    Figure f;
    f.axes.x.min = f.axes.y.min = 0;
    f.axes.x.max = f.axes.y.max = 10;
    // y = 10 - x; NaN, infinity and 1e308 break the line into runs x = {0, 1}, {3, 4}, {6, 7}, {9, 10}.
    f.axes.add(series(SeriesKind::line, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, {10, 9, NAN, 7, 6, INFINITY, 4, 3, 1e308, 1, 0}));
    const Drawing d = draw_figure(f);
    ASSERT_EQ(d.data.size(), 4u);
    for (size_t run = 0; run < 4; ++run) {
        ASSERT_EQ(d.data[run].size(), 2u);
        for (size_t i = 0; i < 2; ++i) {  // x tenths across from the left, and down from the top
            const double x = 3.0 * static_cast<double>(run) + static_cast<double>(i);
            EXPECT_NEAR(d.data[run][i].x, d.area.x + d.area.width * x / 10, 1e-9);
            EXPECT_NEAR(d.data[run][i].y, d.area.y + d.area.height * x / 10, 1e-9);
        }
    }
    EXPECT_EQ(d.svg.find("nan"), std::string::npos);
    EXPECT_EQ(d.svg.find("inf"), std::string::npos);
}

TEST(PlotGeometry, LongSeriesKeepTheExtremesOfEveryPixelColumn)
{
    const size_t n = 200000;
    std::vector<double> x(n);
    std::vector<double> y(n);
    for (size_t i = 0; i < n; ++i) {
        x[i] = static_cast<double>(i);
        y[i] = std::sin(static_cast<double>(i) * 0.37);
    }
    y[123457] = 30.0;  // one peak
    y[54321] = -20.0;  // one trough
    for (const SeriesKind kind : {SeriesKind::line, SeriesKind::markers}) {
        Figure f;
        f.axes.add(series(kind, x, y));
        const Drawing d = draw_figure(f);
        EXPECT_LT(d.svg.size(), 200000u);
        double top = 1e9, bottom = -1e9;
        size_t points = 0;
        for (const auto& line : d.data)
            for (const plot::Point& p : line) {
                top = std::min(top, p.y);
                bottom = std::max(bottom, p.y);
                ++points;
            }
        EXPECT_LE(points, 4 * static_cast<size_t>(d.area.width + 1));
        EXPECT_NEAR(top, d.y.to_px(30.0), 1e-6);
        EXPECT_NEAR(bottom, d.y.to_px(-20.0), 1e-6);
    }
}

// Figures that crowd the space: the texts must still keep apart and off the data (the
// legend and the labels).
struct Crowded {
    const char* name;
    std::function<Figure()> make;
    size_t labels;       // labels given: each is placed or listed among the notes
    bool legend_inside;  // in a corner of the plot area, not under it
    Labels legend;       // its texts: the named series, the labelled reference lines, the entries of their own
};

class PlotTexts : public testing::TestWithParam<Crowded> {};

TEST_P(PlotTexts, KeepApartAndOffTheData)
{
    const Figure f = GetParam().make();
    const Drawing d = draw_figure(f);
    // Every text inside the figure and apart from every other.
    const Rect page{0, 0, f.width, f.height};
    for (size_t i = 0; i < d.texts.size(); ++i) {
        EXPECT_TRUE(page.holds(d.texts[i].box)) << d.texts[i].text;
        for (size_t j = i + 1; j < d.texts.size(); ++j)
            EXPECT_FALSE(d.texts[i].box.overlaps(d.texts[j].box)) << d.texts[i].text << " | " << d.texts[j].text;
    }
    // The legend and the labels off the data: every pixel along its lines.
    std::vector<Rect> keep_off = {d.legend};
    for (const TextBox& l : d.labels)
        keep_off.push_back(l.box);
    for (const auto& line : d.data)
        for (size_t i = 0; i < line.size(); ++i) {
            const Point a = line[i], b = line[std::min(i + 1, line.size() - 1)];
            const int steps = 1 + static_cast<int>(std::hypot(b.x - a.x, b.y - a.y));
            for (int k = 0; k <= steps; ++k) {
                const Rect dot{a.x + k * (b.x - a.x) / steps, a.y + k * (b.y - a.y) / steps, 0.01, 0.01};
                for (const Rect& r : keep_off)
                    ASSERT_FALSE(r.overlaps(dot)) << "data at " << dot.x << "," << dot.y;
            }
        }
    EXPECT_EQ(d.labels.size() + d.notes.size() - f.notes.size(), GetParam().labels);
    EXPECT_EQ(d.area.holds(d.legend), GetParam().legend_inside);
    Labels legend;
    for (const TextBox& t : d.texts)
        if (d.legend.holds(t.box))
            legend.push_back(t.text);
    EXPECT_EQ(legend, GetParam().legend);
}

INSTANTIATE_TEST_SUITE_P(
    Figures, PlotTexts,
    testing::Values(
        // Noise over the whole area, long names, a right-hand axis, three
        // labels on one point: the legend goes under the plot.
        Crowded{"NoiseEverywhere",
                [] {
                    Figure f;
                    f.title = "A title long enough to need shortening before it runs off the right edge of the figure";
                    f.subtitle = "subtitle";
                    f.axes.use_y2 = true;
                    f.axes.y2.label = "right";
                    for (int k = 0; k < 40; ++k)  // more labels than there is room for
                        f.axes.y2.ticks.push_back(Tick{k / 40.0, "tick " + std::to_string(k)});
                    f.axes.y.label = "left";
                    f.axes.x.label = "x";
                    for (int s = 0; s < 6; ++s) {
                        Series k = series(SeriesKind::line_markers, {}, {}, "series number " + std::to_string(s) + " with a long name");
                        for (int i = 0; i < 300; ++i) {
                            k.x.push_back(i);
                            k.y.push_back(std::sin(i * 1.7 + s) * 100);
                        }
                        f.axes.add(k);
                    }
                    for (int c = 0; c < 3; ++c)
                        f.axes.labels.push_back(Label{150, 0, "read noise " + std::to_string(c), Side::left, "#000000"});
                    f.notes = {"a note", "a second note that is long enough to wrap onto a second line under the plot, "
                                         "because it does not fit on one line of the figure's width"};
                    return f;
                },
                3, false,
                {"series number 0 with a long name", "series number 1 with a long name", "series number 2 with a long name",
                 "series number 3 with a long name", "series number 4 with a long name", "series number 5 with a long name"}},
        // Data low on the left: the legend fits a corner; labels beside their points.
        Crowded{"RoomInACorner",
                [] {
                    Figure f;
                    f.axes.y.scale = Scale::log10;
                    f.axes.add(series(SeriesKind::line, {1, 2, 3, 4}, {1, 2, 1, 1000}, "data"));
                    f.axes.add(series(SeriesKind::markers, {4}, {3}, ""));  // no entry
                    f.axes.ref_lines.push_back(RefLine{false, 3.0, Style{}, Side::left, "a level"});
                    f.axes.ref_lines.push_back(RefLine{true, 1.0, Style{}, Side::left, ""});  // no entry
                    f.axes.legend_entries.push_back(LegendEntry{"excluded", SeriesKind::markers, Style{}});
                    f.axes.labels.push_back(Label{2, 2, "the second point", Side::left, "#d62728"});
                    f.axes.labels.push_back(Label{3, 1, "the third", Side::left, "#d62728"});
                    for (int c = 0; c < 3; ++c)  // three on one free point
                        f.axes.labels.push_back(Label{2.5, 300, "level " + std::to_string(c), Side::left, "#000000"});
                    return f;
                },
                5, true, {"data", "a level", "excluded"}}),
    [](const testing::TestParamInfo<Crowded>& i) { return std::string(i.param.name); });

// Markup escaped in texts and attributes, control characters and bytes that
// are not UTF-8 replaced. (That every plot is well-formed SVG is left to the
// browser test, which loads every plot of the worked examples.)
TEST(PlotOutput, EscapedAndTheSameBytesEveryRun)
{
    Figure f;
    f.title = "R & <G> \"quoted\"";
    f.subtitle = "file A,B<\xFF.NEF";
    f.notes = {"note <1> & \x01"};
    f.axes.add(series(SeriesKind::bars, {0.5}, {1}, "bars & <b>"));
    const std::string svg = render_svg(f);
    EXPECT_EQ(svg, render_svg(f));
    for (const char* text : {">R &amp; &lt;G&gt; &quot;quoted&quot;</text>", ">file A,B&lt;?.NEF</text>",
                             ">note &lt;1&gt; &amp; ?</text>", " data-name=\"bars &amp; &lt;b&gt;\""})
        EXPECT_NE(svg.find(text), std::string::npos) << text;
}
