// The plotting library: ticks, ranges, positions on linear and log axes, gaps,
// step curves, markers, bars, the right-hand axis, the legend, and output
// that is well-formed XML and the same on every run.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plot/svg_inspect.h"
#include "plot/svg_plot.h"

using namespace plot;
using namespace plot_test;

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();

Series series(SeriesKind kind, std::vector<double> x, std::vector<double> y, std::string name = "s")
{
    Series s;
    s.name = std::move(name);
    s.kind = kind;
    s.x = std::move(x);
    s.y = std::move(y);
    return s;
}

// Expected pixel of a value on an axis running from lo (at px_lo) to hi.
double expected_px(double v, double lo, double hi, double px_lo, double px_hi, bool log)
{
    const double t = log ? (std::log10(v) - std::log10(lo)) / (std::log10(hi) - std::log10(lo)) : (v - lo) / (hi - lo);
    return px_lo + t * (px_hi - px_lo);
}

}  // namespace

TEST(PlotTicks, StepsAreOneTwoFiveTimesAPowerOfTen)
{
    EXPECT_DOUBLE_EQ(nice_step(10.0, 5), 2.0);    // 2.0 per interval wanted
    EXPECT_DOUBLE_EQ(nice_step(7.0, 5), 2.0);     // 1.4 wanted: next is 2
    EXPECT_DOUBLE_EQ(nice_step(0.9, 4), 0.5);     // 0.225 wanted
    EXPECT_DOUBLE_EQ(nice_step(100.0, 5), 20.0);  // 20 exactly
    EXPECT_DOUBLE_EQ(nice_step(1.0, 10), 0.1);
    EXPECT_DOUBLE_EQ(nice_step(3000.0, 4), 1000.0);  // 750 wanted
}

TEST(PlotTicks, LinearTicksAtMultiplesOfTheStep)
{
    const std::vector<Tick> t = linear_ticks(-0.3, 0.5, 0.2);
    ASSERT_EQ(t.size(), 4u);
    const char* labels[] = {"-0.2", "0.0", "0.2", "0.4"};
    for (size_t i = 0; i < t.size(); ++i) {
        EXPECT_NEAR(t[i].value, -0.2 + 0.2 * static_cast<double>(i), 1e-12);
        EXPECT_EQ(t[i].label, labels[i]);
    }
    const std::vector<Tick> whole = linear_ticks(0.0, 100.0, 20.0);
    ASSERT_EQ(whole.size(), 6u);
    EXPECT_EQ(whole.back().label, "100");
    // Far from 1, as mantissa and exponent.
    std::vector<std::string> large;
    for (const Tick& k : linear_ticks(0.0, 4e8, 1e8))
        large.push_back(k.label);
    EXPECT_EQ(large, (std::vector<std::string>{"0", "1e8", "2e8", "3e8", "4e8"}));
}

TEST(PlotTicks, LogTicksLabelDecadesWithMinorsBetween)
{
    const double lo = 0.3;
    const double hi = 1.0e4;
    const std::vector<Tick> t = log_ticks(lo, hi, 10);
    std::vector<std::string> labels;
    size_t minors = 0;
    for (const Tick& k : t) {
        EXPECT_GE(k.value, lo * (1 - 1e-12));
        EXPECT_LE(k.value, hi * (1 + 1e-12));
        if (k.label.empty())
            ++minors;
        else
            labels.push_back(k.label);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"1", "10", "100", "1000", "10000"}));
    // 0.3 .. 0.9, then 2 .. 9 in each of the decades 1, 10, 100, 1000.
    EXPECT_EQ(minors, 7u + 4u * 8u);

    // Less than two decades: the 2 and 5 multiples are labelled too.
    std::vector<std::string> narrow;
    for (const Tick& k : log_ticks(1.0, 50.0, 10))
        if (!k.label.empty())
            narrow.push_back(k.label);
    EXPECT_EQ(narrow, (std::vector<std::string>{"1", "2", "5", "10", "20", "50"}));
}

TEST(PlotText, NumbersAndEscapes)
{
    EXPECT_EQ(format_number(-0.001, 2), "0.00");
    EXPECT_EQ(format_number(12.345, 1), "12.3");
    EXPECT_EQ(format_number(-7.25, 2), "-7.25");
    EXPECT_EQ(format_number(nan_value, 3), "nan");
    EXPECT_EQ(xml_text("a&b<c>\"d'"), "a&amp;b&lt;c&gt;&quot;d&apos;");
    EXPECT_EQ(xml_text("\xE2\x89\xA5 61"), "\xE2\x89\xA5 61");  // a whole UTF-8 character stays
    EXPECT_EQ(xml_text("X\xFF\x01Y\xC3"), "X??Y?");           // stray bytes and controls do not
}

TEST(PlotLayout, AutomaticRangesCoverTheDataAndEndOnTicks)
{
    Figure f;
    f.axes.y.scale = Scale::log10;
    const std::vector<double> x = {-3.2, 0.0, 5.5, 17.9};
    const std::vector<double> y = {0.07, 3.0, 523.0, 41.0};
    f.axes.add(series(SeriesKind::line, x, y));
    const Layout lay = layout_figure(f);
    EXPECT_LE(lay.x.lo, -3.2);
    EXPECT_GE(lay.x.hi, 17.9);
    EXPECT_LE(lay.y.lo, 0.07);
    EXPECT_GE(lay.y.hi, 523.0);
    // Log ends are whole decades, linear ends whole tick steps.
    EXPECT_NEAR(std::log10(lay.y.lo), std::round(std::log10(lay.y.lo)), 1e-9);
    EXPECT_NEAR(std::log10(lay.y.hi), std::round(std::log10(lay.y.hi)), 1e-9);
    ASSERT_GE(lay.x.ticks.size(), 2u);
    EXPECT_NEAR(lay.x.ticks.front().value, lay.x.lo, 1e-9);
    EXPECT_NEAR(lay.x.ticks.back().value, lay.x.hi, 1e-9);

    // Every vertex drawn lies in the plot area.
    const SvgView view(render_svg(f));
    ASSERT_TRUE(view.doc.ok) << view.doc.error;
    const Area a = view.area();
    const Subpaths p = curve_of(*view.series().at(0));
    ASSERT_EQ(vertex_count(p), x.size());
    for (const Point& v : p[0]) {
        EXPECT_GE(v.x, a.x - 0.01);
        EXPECT_LE(v.x, a.x + a.width + 0.01);
        EXPECT_GE(v.y, a.y - 0.01);
        EXPECT_LE(v.y, a.y + a.height + 0.01);
    }
}

TEST(PlotLayout, LogAxisPlacesKnownValues)
{
    Figure f;
    f.axes.x.min = 0;
    f.axes.x.max = 5;
    f.axes.y.scale = Scale::log10;
    f.axes.y.min = 1;
    f.axes.y.max = 1e4;
    const std::vector<double> y = {1, 10, 100, 1000, 10000, std::sqrt(1000.0)};
    f.axes.add(series(SeriesKind::markers, {0, 1, 2, 3, 4, 5}, y));
    const SvgView view(render_svg(f));
    ASSERT_TRUE(view.doc.ok) << view.doc.error;
    const Area a = view.area();
    const std::vector<const XmlNode*> m = parts_of(*view.series().at(0), "markers");
    ASSERT_EQ(m.size(), y.size());
    for (size_t i = 0; i < y.size(); ++i) {
        const Point c = marker_centre(*m[i]);
        // A decade is a quarter of the height; 10^1.5 halfway between 10 and 100.
        EXPECT_NEAR(c.y, expected_px(y[i], 1, 1e4, a.y + a.height, a.y, true), 0.01) << i;
        EXPECT_NEAR(c.x, expected_px(static_cast<double>(i), 0, 5, a.x, a.x + a.width, false), 0.01) << i;
    }
    EXPECT_NEAR(marker_centre(*m[5]).y, a.y + a.height * (1.0 - 1.5 / 4.0), 0.01);

    // The tick labelled 100 stands halfway up.
    bool found = false;
    for (const auto& [label, at] : view.tick_labels("y-axis"))
        if (label == "100") {
            found = true;
            EXPECT_NEAR(at.y - 4.0, a.y + a.height / 2.0, 0.01);  // text baseline is 4 px below the tick
        }
    EXPECT_TRUE(found);
}

TEST(PlotSeries, UndrawableValuesLeaveGaps)
{
    Figure f;
    const double inf = std::numeric_limits<double>::infinity();
    f.axes.add(series(SeriesKind::line, {0, 1, 2, 3, 4, 5, 6}, {1, 2, nan_value, 4, 5, inf, 7}, "gappy"));
    Figure g;
    g.axes.y.scale = Scale::log10;
    g.axes.add(series(SeriesKind::line, {0, 1, 2, 3}, {1, 0, 3, 4}, "zero"));
    const SvgView fv(render_svg(f));
    const SvgView gv(render_svg(g));
    ASSERT_TRUE(fv.doc.ok && gv.doc.ok);

    const Subpaths p = curve_of(*fv.series().at(0));
    ASSERT_EQ(p.size(), 3u);  // 1 2 | 4 5 | 7
    EXPECT_EQ(p[0].size(), 2u);
    EXPECT_EQ(p[1].size(), 2u);
    EXPECT_EQ(p[2].size(), 1u);
    // The gap is not a zero: no vertex at the height of y = 0.
    const Layout lay = layout_figure(f);
    for (const auto& sub : p)
        for (const Point& v : sub)
            EXPECT_GT(std::fabs(v.y - lay.y.to_px(0.0)), 1.0);

    const Subpaths q = curve_of(*gv.series().at(0));  // 0 has no place on a log axis
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].size(), 1u);
    EXPECT_EQ(q[1].size(), 2u);
}

TEST(PlotSeries, StepCurveHoldsEachValueOverItsBin)
{
    Figure f;
    const std::vector<double> edges = {10, 12, 14, 16, 18, 20};
    const std::vector<double> y = {3, 5, nan_value, 2, 8};
    f.axes.add(series(SeriesKind::step, edges, y));
    const std::string svg = render_svg(f);
    const SvgView view(svg);
    ASSERT_TRUE(view.doc.ok);
    const Layout lay = layout_figure(f);
    const Subpaths p = curve_of(*view.series().at(0));
    // Two bins before the gap, two after; two vertices per bin.
    ASSERT_EQ(p.size(), 2u);
    ASSERT_EQ(p[0].size(), 4u);
    ASSERT_EQ(p[1].size(), 4u);
    const size_t bins[2][2] = {{0, 1}, {3, 4}};
    for (size_t s = 0; s < 2; ++s)
        for (size_t k = 0; k < 2; ++k) {
            const size_t b = bins[s][k];
            const Point left = p[s][2 * k];
            const Point right = p[s][2 * k + 1];
            EXPECT_NEAR(left.x, lay.x.to_px(edges[b]), 0.01);
            EXPECT_NEAR(right.x, lay.x.to_px(edges[b + 1]), 0.01);
            EXPECT_NEAR(left.y, lay.y.to_px(y[b]), 0.01);
            EXPECT_NEAR(right.y, lay.y.to_px(y[b]), 0.01);
        }
    EXPECT_LE(lay.x.lo, 10.0);
    EXPECT_GE(lay.x.hi, 20.0);
}

TEST(PlotSeries, MarkersOutsideAFixedRangeAreLeftOut)
{
    Figure f;
    f.axes.y.min = -1;
    f.axes.y.max = 1;
    f.axes.add(series(SeriesKind::markers, {0, 1, 2, 3, 4}, {-2, 0, 0.5, 1, 3}));
    const SvgView view(render_svg(f));
    ASSERT_TRUE(view.doc.ok);
    EXPECT_EQ(parts_of(*view.series().at(0), "markers").size(), 3u);  // 0, 0.5 and the edge value 1
}

TEST(PlotSeries, BarsRiseFromTheBottomOfALogAxis)
{
    Figure f;
    f.axes.y.scale = Scale::log10;
    f.axes.y.min = 0.3;
    Series b = series(SeriesKind::bars, {1, 5}, {926, 0.5});
    b.bar_width = 0.5;
    f.axes.add(b);
    const SvgView view(render_svg(f));
    ASSERT_TRUE(view.doc.ok);
    const Area a = view.area();
    const Layout lay = layout_figure(f);
    const std::vector<const XmlNode*> bars = parts_of(*view.series().at(0), "bars");
    ASSERT_EQ(bars.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const double top = number_attr(*bars[i], "y");
        EXPECT_NEAR(top + number_attr(*bars[i], "height"), a.y + a.height, 0.02);
        EXPECT_NEAR(top, lay.y.to_px(i == 0 ? 926.0 : 0.5), 0.02);
        EXPECT_NEAR(number_attr(*bars[i], "width"), lay.x.to_px(0.5) - lay.x.to_px(0.0), 0.02);
    }
}

TEST(PlotAxes, RightHandAxisHasItsOwnRange)
{
    Figure f;
    f.axes.use_y2 = true;
    f.axes.y2.label = "right";
    f.axes.add(series(SeriesKind::line, {0, 10}, {0, 1}, "left"));
    Series r = series(SeriesKind::line, {0, 10}, {200, 4000}, "right");
    r.side = Side::right;
    f.axes.add(r);
    const Layout lay = layout_figure(f);
    EXPECT_LE(lay.y.hi, 1.0 + 1e-9);  // the right series does not stretch the left axis
    EXPECT_GE(lay.y2.hi, 4000.0);
    EXPECT_LE(lay.y2.lo, 200.0);
    const SvgView view(render_svg(f));
    ASSERT_TRUE(view.doc.ok);
    EXPECT_FALSE(view.tick_labels("y2-axis").empty());
    const Subpaths p = curve_of(*view.series_named("right").at(0));
    ASSERT_EQ(vertex_count(p), 2u);
    EXPECT_NEAR(p[0][1].y, expected_px(4000.0, lay.y2.lo, lay.y2.hi, lay.y2.px_lo, lay.y2.px_hi, false), 0.01);

    // Given ticks are drawn where they are given.
    Figure g = f;
    g.axes.y2.ticks = {Tick{1000.0, "one thousand"}, Tick{1e9, "off the axis"}};
    const SvgView gv(render_svg(g));
    const auto labels = gv.tick_labels("y2-axis");
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].first, "one thousand");
}

TEST(PlotOutput, WellFormedLegendAndSameBytesEveryRun)
{
    Figure f;
    f.title = "R & <G> \"quoted\"";
    f.subtitle = "file A,B\xFF.NEF";
    f.axes.add(series(SeriesKind::line_markers, {0, 1, 2}, {1, 2, 3}, "first & <one>"));
    f.axes.add(series(SeriesKind::markers, {0, 1}, {2, 2}, ""));
    f.axes.add(series(SeriesKind::bars, {0.5}, {1}, "third"));
    f.axes.ref_lines.push_back(RefLine{});
    f.axes.notes.push_back(Note{1, 2, "note <1>", Side::left, 0, -5, "middle", "#000000"});
    const std::string svg = render_svg(f);
    EXPECT_EQ(svg, render_svg(f));
    const SvgView view(svg);
    ASSERT_TRUE(view.doc.ok) << view.doc.error;
    EXPECT_EQ(view.doc.root.name, "svg");
    const XmlNode* legend = view.by_id("legend");
    ASSERT_NE(legend, nullptr);
    std::vector<std::string> names;
    std::vector<const XmlNode*> texts;
    collect(*legend, [](const XmlNode& n) { return n.name == "text"; }, texts);
    for (const XmlNode* t : texts)
        names.push_back(t->text);
    EXPECT_EQ(names, (std::vector<std::string>{"first & <one>", "third"}));  // the unnamed series has no entry
}

TEST(XmlCheck, RejectsMalformedDocuments)
{
    EXPECT_TRUE(parse_xml("<?xml version=\"1.0\"?>\n<a x=\"1\"><b/>t &amp; u</a>\n").ok);
    EXPECT_FALSE(parse_xml("<a><b></a></b>").ok);
    EXPECT_FALSE(parse_xml("<a x=1/>").ok);
    EXPECT_FALSE(parse_xml("<a x=\"1\" x=\"2\"/>").ok);
    EXPECT_FALSE(parse_xml("<a>&nbsp;</a>").ok);
    EXPECT_FALSE(parse_xml("<a>1 < 2</a>").ok);
    EXPECT_FALSE(parse_xml("<a/><b/>").ok);
    EXPECT_FALSE(parse_xml("<a>\xFF</a>").ok);
    EXPECT_FALSE(parse_xml("<a>").ok);
}
