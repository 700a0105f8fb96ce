// The plotting library: ticks, ranges, positions on linear and log axes, gaps,
// the right-hand axis, the legend, and well-formed, repeatable output.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/svg_inspect.h"
#include "plot/svg_plot.h"

using namespace plot;
using namespace plot_test;

namespace {

const double nan_value = NAN;
const double inf = INFINITY;
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

// The expected pixel of a value on a laid-out axis, from its ends.
double axis_px(double v, const AxisLayout& a, bool log)
{
    const double t = log ? std::log10(v / a.lo) / std::log10(a.hi / a.lo) : (v - a.lo) / (a.hi - a.lo);
    return a.px_lo + t * (a.px_hi - a.px_lo);
}

}  // namespace

TEST(PlotTicks, StepsAndLabels)
{
    // span, max intervals, the smallest 1-2-5 step giving at most that many.
    const double steps[][3] = {{10, 5, 2}, {7, 5, 2}, {0.9, 4, 0.5}, {100, 5, 20}, {1, 10, 0.1}, {3000, 4, 1000}};
    for (const auto& s : steps)
        EXPECT_DOUBLE_EQ(nice_step(s[0], static_cast<int>(s[1])), s[2]) << s[0] << " / " << s[1];
    const std::vector<Tick> t = linear_ticks(-0.3, 0.5, 0.2);
    EXPECT_EQ(labels_of(t), (Labels{"-0.2", "0.0", "0.2", "0.4"}));
    EXPECT_NEAR(t.at(0).value, -0.2, 1e-12);
    EXPECT_NEAR(t.at(3).value, 0.4, 1e-12);
    EXPECT_EQ(labels_of(linear_ticks(0.0, 100.0, 20.0)), (Labels{"0", "20", "40", "60", "80", "100"}));
    EXPECT_EQ(labels_of(linear_ticks(0.0, 4e8, 1e8)), (Labels{"0", "1e8", "2e8", "3e8", "4e8"}));
    const std::vector<Tick> decades = log_ticks(0.3, 1.0e4, 10);
    EXPECT_EQ(labels_of(decades), (Labels{"1", "10", "100", "1000", "10000"}));
    EXPECT_EQ(decades.size(), 5u + 7u + 4u * 8u);  // 0.3 .. 0.9, then 2 .. 9 in each decade from 1 to 1000
    EXPECT_NEAR(decades.front().value, 0.3, 1e-12);
    // Less than two decades: the 2 and 5 multiples are labelled too.
    EXPECT_EQ(labels_of(log_ticks(1.0, 50.0, 10)), (Labels{"1", "2", "5", "10", "20", "50"}));
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
    f.axes.add(series(SeriesKind::line, {-3.2, 0.0, 5.5, 17.9}, {0.07, 3.0, 523.0, 41.0}));
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
}

TEST(PlotLayout, LogAxisPlacesKnownValues)
{
    Figure f;
    f.axes.x.min = 0;
    f.axes.x.max = 5;
    f.axes.y.scale = Scale::log10;
    f.axes.y.min = 1;
    f.axes.y.max = 1e4;
    f.axes.add(series(SeriesKind::markers, {0, 1, 2, 3, 4, 5}, {1, 10, 100, 1000, 10000, std::sqrt(1000.0)}));
    const XmlDocument doc = parse_xml(render_svg(f));
    ASSERT_TRUE(doc.ok) << doc.error;
    const XmlNode& area = *with_attr(doc.root, "id", "plot-area").at(0);
    const double bottom = area.number("y") + area.number("height");
    const auto m = parts_of(*series_named(doc.root, "s").at(0), "markers");
    ASSERT_EQ(m.size(), 6u);
    // A decade is a quarter of the height; 10^1.5 is halfway between 10 and 100.
    const double decades[] = {0, 1, 2, 3, 4, 1.5};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_NEAR(m[i]->number("cy"), bottom - area.number("height") * decades[i] / 4, 0.01) << i;
        EXPECT_NEAR(m[i]->number("cx"), area.number("x") + area.number("width") * static_cast<double>(i) / 5, 0.01);
    }
    const auto hundred = find_all(doc.root, [](const XmlNode& n) { return n.attr("class") == "tick" && n.text == "100"; });
    ASSERT_EQ(hundred.size(), 1u);
    EXPECT_NEAR(hundred[0]->number("y") - 4.0, bottom - area.number("height") / 2, 0.01);  // baseline 4 px below
}

struct GapCase {
    const char* name;
    SeriesKind kind;
    bool log;
    double y_max;
    std::vector<double> x, y;
    std::vector<size_t> runs;  // vertices per subpath; for markers, the marker count
};

class PlotGaps : public testing::TestWithParam<GapCase> {};

// Undrawable values leave gaps (or no marker); every vertex stands at its own value.
TEST_P(PlotGaps, UndrawableValuesAreLeftOut)
{
    const GapCase& c = GetParam();
    Figure f;
    f.axes.y.scale = c.log ? Scale::log10 : Scale::linear;
    f.axes.y.max = c.y_max;
    f.axes.y.min = -c.y_max;
    f.axes.add(series(c.kind, c.x, c.y));
    const Layout lay = layout_figure(f);
    const XmlDocument doc = parse_xml(render_svg(f));
    ASSERT_TRUE(doc.ok) << doc.error;
    const XmlNode& s = *series_named(doc.root, "s").at(0);
    std::vector<double> expected, drawn;
    for (double v : c.y)
        if (std::isfinite(v) && (!c.log || v > 0) && !(std::fabs(v) > c.y_max))
            expected.insert(expected.end(), c.kind == SeriesKind::step ? 2 : 1, v);
    std::vector<size_t> runs;
    for (const XmlNode* m : parts_of(s, "markers"))
        drawn.push_back(m->number("cy"));
    if (c.kind == SeriesKind::markers)
        runs.push_back(drawn.size());
    for (const auto& sub : curve_of(s)) {
        runs.push_back(sub.size());
        for (const Point& v : sub)
            drawn.push_back(v.y);
    }
    EXPECT_EQ(runs, c.runs);
    ASSERT_EQ(drawn.size(), expected.size());
    for (size_t i = 0; i < drawn.size(); ++i)
        EXPECT_NEAR(drawn[i], axis_px(expected[i], lay.y, c.log), 0.01) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Series, PlotGaps,
    testing::Values(GapCase{"line", SeriesKind::line, false, nan_value, {0, 1, 2, 3, 4, 5, 6}, {1, 2, nan_value, 4, 5, inf, 7}, {2, 2, 1}},
                    GapCase{"log", SeriesKind::line, true, nan_value, {0, 1, 2, 3}, {1, 0, 3, 4}, {1, 2}},
                    GapCase{"step", SeriesKind::step, false, nan_value, {10, 12, 14, 16, 18, 20}, {3, 5, nan_value, 2, 8}, {4, 4}},
                    // Outside a fixed range: left out, the edge value kept.
                    GapCase{"markers", SeriesKind::markers, false, 1.0, {0, 1, 2, 3, 4}, {-2, 0, 0.5, 1, 3}, {3}}),
    [](const testing::TestParamInfo<GapCase>& i) { return std::string(i.param.name); });

TEST(PlotAxes, RightHandAxisDrawsGivenTicksInsideItsRange)
{
    Figure f;
    f.axes.use_y2 = true;
    f.axes.y2.min = -4;
    f.axes.y2.max = 4;
    f.axes.y2.ticks = {Tick{2.0, "two"}, Tick{9.0, "off the axis"}};
    f.axes.add(series(SeriesKind::line, {0, 10}, {0, 1}));
    const Layout lay = layout_figure(f);
    const XmlDocument doc = parse_xml(render_svg(f));
    ASSERT_TRUE(doc.ok) << doc.error;
    const auto ticks = find_all(*with_attr(doc.root, "id", "y2-axis").at(0), [](const XmlNode& n) { return n.attr("class") == "tick"; });
    ASSERT_EQ(ticks.size(), 1u);
    EXPECT_EQ(ticks[0]->text, "two");
    EXPECT_NEAR(ticks[0]->number("y") - 4.0, lay.y2.px_lo + 0.75 * (lay.y2.px_hi - lay.y2.px_lo), 0.01);  // baseline 4 px below
}

TEST(PlotOutput, WellFormedLegendAndSameBytesEveryRun)
{
    Figure f;
    f.title = "R & <G> \"quoted\"";
    f.subtitle = "file A,B<\xFF.NEF";
    f.axes.add(series(SeriesKind::line_markers, {0, 1, 2}, {1, 2, 3}, "first & <one>"));
    f.axes.add(series(SeriesKind::markers, {0, 1}, {2, 2}, ""));
    f.axes.add(series(SeriesKind::bars, {0.5}, {1}, "third"));
    f.axes.ref_lines.push_back(RefLine{});
    f.axes.notes.push_back(Note{1, 2, "note <1>", Side::left, 0, -5, "middle", "#000000"});
    const std::string svg = render_svg(f);
    EXPECT_EQ(svg, render_svg(f));
    const XmlDocument doc = parse_xml(svg);
    ASSERT_TRUE(doc.ok) << doc.error;
    EXPECT_EQ(doc.root.name, "svg");
    Labels names;
    for (const XmlNode* t : find_all(*with_attr(doc.root, "id", "legend").at(0), [](const XmlNode& n) { return n.name == "text"; }))
        names.push_back(t->text);
    EXPECT_EQ(names, (Labels{"first & <one>", "third"}));  // the unnamed series has no entry
}

TEST(XmlCheck, RejectsMalformedDocuments)
{
    EXPECT_TRUE(parse_xml("<?xml version=\"1.0\"?>\n<a x=\"1\"><b/>t &amp; u</a>\n").ok);
    for (const char* bad : {"<a><b></a></b>", "<a x=1/>", "<a>&nbsp;</a>", "<a>1 < 2</a>", "<a/><b/>", "<a>", "<a x=\"<\"/>"})
        EXPECT_FALSE(parse_xml(bad).ok) << bad;
}
