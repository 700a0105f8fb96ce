// The figures drawn from report tables: what each series holds, where the
// points go, what is left out; checked against the tables themselves.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/report_plots.h"
#include "plot/report_tables.h"
#include "plot/report_text.h"
#include "plot/svg_inspect.h"

using namespace plot;
using namespace plot_test;

namespace {

constexpr TableKind hist_kinds[] = {TableKind::histogram, TableKind::normality};
constexpr TableKind profile_kinds[] = {TableKind::profile_row, TableKind::profile_col};
constexpr TableKind spectrum_kinds[] = {TableKind::ft_row,    TableKind::ft_col,  TableKind::multi_row,
                                        TableKind::multi_col, TableKind::acf_row, TableKind::acf_col};

ReportTable only_table(const std::string& report, const std::string& text, std::span<const TableKind> kinds, size_t index = 0)
{
    ParsedReport r = parse_report(report, text, kinds);
    EXPECT_GT(r.tables.size(), index);
    return r.tables.size() > index ? r.tables[index] : ReportTable{};
}

double axis_px(double v, const AxisLayout& a, bool log)
{
    const double t = log ? (std::log10(v) - std::log10(a.lo)) / (std::log10(a.hi) - std::log10(a.lo)) : (v - a.lo) / (a.hi - a.lo);
    return a.px_lo + t * (a.px_hi - a.px_lo);
}

struct Drawn {
    Figure figure;
    Layout layout;
    SvgView view;

    explicit Drawn(Figure f) : figure(std::move(f)), layout(layout_figure(figure)), view(render_svg(figure))
    {
        EXPECT_TRUE(view.doc.ok) << view.doc.error;
    }
};

std::vector<double> row(double v)
{
    return {v, v, v, v, v, v};
}

}  // namespace

TEST(HistogramPlot, OuterCountersStayOutOfTheCurves)
{
    const ReportTable t = only_table("HQUORVA.CSV", example("02-quorva-dark-pair", "HQUORVA.CSV"), hist_kinds);
    const auto& v = t.values;
    const size_t bins = v.size() - 2;
    const Drawn d(histogram_figure(t, {}));
    const AxisLayout& x = d.layout.x;
    const AxisLayout& y = d.layout.y;
    ASSERT_EQ(y.scale, Scale::log10);
    const char* names[] = {"R", "G1", "B", "G2"};
    double largest = 0.0;
    for (int c = 0; c < 4; ++c) {
        const auto groups = d.view.series_named(names[c]);
        ASSERT_EQ(groups.size(), 1u) << names[c];
        const Subpaths p = curve_of(*groups[0]);
        ASSERT_EQ(p.size(), 1u);
        ASSERT_EQ(p[0].size(), 2 * bins);  // one level per regular bin, nothing for the counters
        for (size_t k = 1; k <= bins; ++k) {
            const double count = v[k][c + 1] == 0 ? 0.5 : v[k][c + 1];
            EXPECT_NEAR(p[0][2 * (k - 1)].x, axis_px(v[k][0], x, false), 0.01);
            EXPECT_NEAR(p[0][2 * (k - 1) + 1].x, axis_px(v[k + 1][0], x, false), 0.01);  // up to base + B
            EXPECT_NEAR(p[0][2 * (k - 1)].y, axis_px(count, y, true), 0.01);
            largest = std::max(largest, count);
        }
    }
    // The counters: four bars at each end, apart from the bins.
    const auto all = d.view.series();
    std::vector<const XmlNode*> bars;
    for (const XmlNode* s : all)
        if (s->attr("data-kind") == "bars")
            bars.push_back(s);
    ASSERT_EQ(bars.size(), 4u);
    for (int c = 0; c < 4; ++c) {
        const auto rects = parts_of(*bars[c], "bars");
        ASSERT_EQ(rects.size(), 2u);
        const double below = v.front()[c + 1];
        const double above = v.back()[c + 1];
        largest = std::max({largest, below, above});
        EXPECT_NEAR(number_attr(*rects[0], "y"), axis_px(below, y, true), 0.02);
        EXPECT_NEAR(number_attr(*rects[1], "y"), axis_px(above, y, true), 0.02);
        EXPECT_LT(number_attr(*rects[0], "x") + number_attr(*rects[0], "width"), axis_px(v[1][0], x, false));
        EXPECT_GT(number_attr(*rects[1], "x"), axis_px(v.back()[0], x, false));
    }
    EXPECT_LE(y.lo, 0.5);
    EXPECT_GE(y.hi, largest);
    const XmlNode* notes = d.view.by_id("notes");
    ASSERT_NE(notes, nullptr);
    ASSERT_EQ(notes->children.size(), 2u);
    EXPECT_EQ(notes->children[0].text, "< " + t.cells[1][0]);
    EXPECT_EQ(notes->children[1].text, "\xE2\x89\xA5 " + t.cells.back()[0]);
}

TEST(HistogramPlot, EmptyBinsAtHalfOnLogAxisAtZeroOnLinear)
{
    // veldix -N12 -E300 over a flat window: every regular bin is empty.
    const ReportTable t = only_table("HVELDIX.CSV", example("07-veldix-odd-windows", "HVELDIX.CSV"), hist_kinds);
    for (const bool linear : {false, true}) {
        PlotOptions o;
        o.linear_y = linear;
        const Drawn d(histogram_figure(t, o));
        const Subpaths p = curve_of(*d.view.series_named("G1").at(0));
        ASSERT_EQ(vertex_count(p), 2 * (t.values.size() - 2));
        const double level = linear ? axis_px(0.0, d.layout.y, false) : axis_px(0.5, d.layout.y, true);
        for (const Point& pt : p[0])
            EXPECT_NEAR(pt.y, level, 0.01);
        EXPECT_EQ(d.layout.y.scale, linear ? Scale::linear : Scale::log10);
    }
}

TEST(HistogramPlot, EvPutsTheBinsOnLog2Dn)
{
    // Bins from DN 0 (veldix -S0), width 4: the bin at 0 starts at log2 0.5.
    const std::string text =
        histogram_text(source("A.TIF", 200, 200, 0, 0), 0, 4, {{0, 0, 0, 0}, {5, 5, 5, 5}, {7, 7, 7, 7}, {9, 9, 9, 9}, {1, 1, 1, 1}});
    const ReportTable t = only_table("HVELDIX.CSV", text, hist_kinds);
    PlotOptions o;
    o.ev = true;
    const Drawn d(histogram_figure(t, o));
    const Subpaths p = curve_of(*d.view.series_named("B").at(0));
    ASSERT_EQ(vertex_count(p), 6u);
    const double edges[] = {-1.0, 2.0, 2.0, 3.0, 3.0, std::log2(12.0)};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_NEAR(p[0][i].x, axis_px(edges[i], d.layout.x, false), 0.01) << i;
}

TEST(NormalityPlot, ScoresAtUpperEdgesWhereTheyChange)
{
    const ReportTable t =
        only_table("HQUORVA.CSV", example("03-quorva-dark-k-o-debug", "HQUORVA.CSV"), hist_kinds);
    const auto& v = t.values;
    const double width = v[2][0] - v[1][0];
    const Drawn d(normality_figure(t, nullptr));
    const char* names[] = {"Red", "Green", "Blue"};
    for (int c = 0; c < 3; ++c) {
        // Worked out from the table: bins whose score moved, inside +-4.5.
        std::vector<Point> expected;
        for (size_t j = 0; j < v.size(); ++j) {
            const double z = v[j][c + 1];
            if ((j == 0 || z != v[j - 1][c + 1]) && std::fabs(z) <= 4.5)
                expected.push_back(Point{static_cast<double>(j) * width + 1.0, z});
        }
        const auto markers = parts_of(*d.view.series_named(names[c]).at(0), "markers");
        ASSERT_EQ(markers.size(), expected.size()) << names[c];
        for (size_t i = 0; i < markers.size(); ++i) {
            const Point m = marker_centre(*markers[i]);
            EXPECT_NEAR(m.x, axis_px(expected[i].x, d.layout.x, false), 0.02);
            EXPECT_NEAR(m.y, axis_px(expected[i].y, d.layout.y, false), 0.02);
        }
    }
    EXPECT_EQ(d.layout.y.lo, -4.5);
    EXPECT_EQ(d.layout.y.hi, 4.5);
    // The right-hand axis in cumulative percent: 50% at z = 0, 99% at z = 2.326.
    const auto right = d.view.tick_labels("y2-axis");
    const auto left = d.view.tick_labels("y-axis");
    double at50 = -1, at0 = -2, at99 = -1;
    for (const auto& [label, p] : right) {
        if (label == "50%")
            at50 = p.y;
        if (label == "99%")
            at99 = p.y;
    }
    for (const auto& [label, p] : left)
        if (label == "0")
            at0 = p.y;
    EXPECT_NEAR(at50, at0, 0.01);
    EXPECT_NEAR(at99 - 4.0, axis_px(2.3263479, d.layout.y, false), 0.02);
    EXPECT_EQ(d.view.series().size(), 3u);  // no record, no fitted lines
}

TEST(NormalityPlot, FittedLinesFromTheMatchingRecord)
{
    const ReportTable t =
        only_table("HQUORVA.CSV", example("03-quorva-dark-k-o-debug", "HQUORVA.CSV"), hist_kinds);
    const std::vector<StatsRecord> records = parse_stats_log(example("03-quorva-dark-k-o-debug", "QUORVA.CSV"));
    const StatsRecord* fit = find_fit_record(records, t.source);
    ASSERT_NE(fit, nullptr);
    const Drawn d(normality_figure(t, fit));
    const char* names[] = {"Red", "Green", "Blue"};
    for (int c = 0; c < 3; ++c) {
        const std::string name = std::string(names[c]) + " fit: ave " + fit->hist_ave_text[c] + ", SD " + fit->hist_sd_text[c];
        const auto groups = d.view.series_named(name);
        ASSERT_EQ(groups.size(), 1u) << name;
        const Subpaths p = curve_of(*groups[0]);
        ASSERT_EQ(vertex_count(p), 2u);
        // Both ends on z = (DN - ave) / SD.
        for (const Point& e : p[0]) {
            const double dn = d.layout.x.lo + (e.x - d.layout.x.px_lo) / (d.layout.x.px_hi - d.layout.x.px_lo) *
                                                  (d.layout.x.hi - d.layout.x.lo);
            const double z = d.layout.y.lo + (e.y - d.layout.y.px_lo) / (d.layout.y.px_hi - d.layout.y.px_lo) *
                                                 (d.layout.y.hi - d.layout.y.lo);
            EXPECT_NEAR(z, (dn - fit->hist_ave[c]) / fit->hist_sd[c], 0.02);
        }
    }
    // Another window: no record matches.
    TableSource other = t.source;
    other.x += 2;
    EXPECT_EQ(find_fit_record(records, other), nullptr);
}

TEST(SpectrumPlot, DcAndFillerLeftOutRmsInTheLegend)
{
    const std::string text = example("05-quorva-multi-dft", "DFT.CSV");
    const ReportTable t = only_table("DFT.CSV", text, spectrum_kinds);
    ASSERT_EQ(t.kind, TableKind::multi_row);
    const double n = static_cast<double>(t.source.width);
    for (const bool dc : {false, true}) {
        PlotOptions o;
        o.dc = dc;
        const Drawn d(spectrum_figure(t, o));
        ASSERT_EQ(d.layout.y.scale, Scale::log10);
        std::vector<Point> g;
        std::vector<Point> r;
        for (const auto& row_values : t.values) {
            if (row_values[0] != 0 || dc)
                g.push_back({row_values[0] / n, row_values[1]});
            if (row_values[2] <= n / 2)
                g.push_back({row_values[2] / n, row_values[3]});
            if (row_values[4] != 0 || dc)
                r.push_back({row_values[4] / n, row_values[5]});
        }
        ASSERT_EQ(d.figure.axes.series.at(0).x.size(), g.size());  // no filler, not even as a gap
        const auto gs = d.view.series_named("G (RMS " + t.rms[0] + ")");
        const auto rs = d.view.series_named("R (RMS " + t.rms[1] + ")");
        ASSERT_EQ(gs.size(), 1u);
        ASSERT_EQ(rs.size(), 1u);
        for (const auto& [group, expected] : {std::pair{gs[0], g}, std::pair{rs[0], r}}) {
            const Subpaths p = curve_of(*group);
            ASSERT_EQ(p.size(), 1u);
            ASSERT_EQ(p[0].size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i) {
                EXPECT_NEAR(p[0][i].x, axis_px(expected[i].x, d.layout.x, false), 0.01);
                EXPECT_NEAR(p[0][i].y, axis_px(expected[i].y, d.layout.y, true), 0.01);
            }
            EXPECT_EQ(parts_of(*group, "markers").size(), expected.size());
        }
    }
}

TEST(SpectrumPlot, NanAndZeroLeaveGaps)
{
    std::vector<std::vector<double>> v = {row(5), row(4), row(3), row(2), row(1)};
    std::string text = spectrum_text("Ave-column DFT coef mags", source("S.NEF", 16, 16, 0, 0), false, 0, 16, v, {1, 2, 3, 4, 5});
    // Row f = 4: its G(f) becomes nan, its R 0.000.
    const size_t at = text.find("\n    4,") + 1;
    const size_t g_f = text.find("     3.000", at);
    text.replace(g_f, 10, "       nan");
    const size_t g_f1 = text.find("     3.000", g_f);
    text.replace(text.find("     3.000", g_f1 + 10), 10, "     0.000");
    const ReportTable t = only_table("DFT.CSV", text, spectrum_kinds);
    const Drawn d(spectrum_figure(t, {}));
    const Subpaths g = curve_of(*d.view.series_named("G (RMS 1.000)").at(0));
    // G at f = 1 .. 8 (0 is DC; 9 is the filler), f = 4 missing.
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].size(), 3u);
    EXPECT_EQ(g[1].size(), 4u);
    const Subpaths r = curve_of(*d.view.series_named("R (RMS 2.000)").at(0));
    ASSERT_EQ(r.size(), 2u);  // k = 1 | 3, 4
    EXPECT_EQ(vertex_count(r), 3u);
}

TEST(AcfPlot, MarkersAgainstLagInPixelsWithAZeroLine)
{
    const ReportTable t = only_table("DFT.CSV", example("06-quorva-acf-two-files", "DFT.CSV"), spectrum_kinds, 1);
    ASSERT_EQ(t.kind, TableKind::acf_col);
    const double half = static_cast<double>(t.source.height / 2);
    const Drawn d(acf_figure(t));
    std::vector<Point> g;
    std::vector<Point> b;
    for (const auto& r : t.values) {
        g.push_back({r[0], r[1]});
        if (r[2] <= half)
            g.push_back({r[2], r[3]});
        b.push_back({2 * r[4], r[7]});
    }
    for (const auto& [name, expected] : {std::pair{"G (RMS " + t.rms[0] + ")", g}, std::pair{"B (RMS " + t.rms[3] + ")", b}}) {
        const auto markers = parts_of(*d.view.series_named(name).at(0), "markers");
        ASSERT_EQ(markers.size(), expected.size()) << name;
        for (size_t i = 0; i < expected.size(); ++i) {
            const Point m = marker_centre(*markers[i]);
            EXPECT_NEAR(m.x, axis_px(expected[i].x, d.layout.x, false), 0.02);
            EXPECT_NEAR(m.y, axis_px(expected[i].y, d.layout.y, false), 0.02);
        }
    }
    std::vector<const XmlNode*> zero;
    collect(d.view.doc.root, [](const XmlNode& n) { return n.attr("class") == "ref-line"; }, zero);
    ASSERT_EQ(zero.size(), 1u);
    const Subpaths z = path_vertices(zero[0]->attr("d"));
    EXPECT_NEAR(z[0][0].y, axis_px(0.0, d.layout.y, false), 0.01);
}

TEST(ProfilePlot, DetrendAndGaps)
{
    const std::vector<std::vector<double>> v = {{10, 1, 5, -2}, {12, 3, 5, -4}, {14, 2, 5, -6}, {16, 7, 5, -8}};
    std::string text = profile_text(false, source("P.NEF", 8, 8, 0, 100), 100, v);
    const ReportTable plain = only_table("RCDN.CSV", text, profile_kinds);
    PlotOptions o;
    o.detrend = true;
    const Drawn d(profile_figure(plain, o));
    // R's mean is (10 + 12 + 14 + 16) / 4 = 13.
    const auto r = d.view.series_named("R (mean 13.000)");
    ASSERT_EQ(r.size(), 1u);
    const Subpaths p = curve_of(*r[0]);
    ASSERT_EQ(vertex_count(p), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(p[0][i].x, axis_px(100.0 + 2.0 * static_cast<double>(i), d.layout.x, false), 0.01);
        EXPECT_NEAR(p[0][i].y, axis_px(v[i][0] - 13.0, d.layout.y, false), 0.01);
    }

    text.replace(text.find("     3.000"), 10, "       nan");  // G1 of row 102
    const ReportTable gappy = only_table("RCDN.CSV", text, profile_kinds);
    const Drawn e(profile_figure(gappy, {}));
    const Subpaths q = curve_of(*e.view.series_named("G1").at(0));
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].size(), 1u);
    EXPECT_EQ(q[1].size(), 2u);
    for (const auto& sub : q)
        for (const Point& pt : sub)
            EXPECT_GT(std::fabs(pt.y - axis_px(0.0, e.layout.y, false)), 0.5);  // no vertex at 0
}

TEST(TableData, TabSeparatedWithTheFillerAsNan)
{
    const std::string text = example("06-quorva-acf-two-files", "DFT.CSV");
    const ReportTable t = only_table("DFT.CSV", text, spectrum_kinds);
    const std::string tsv = table_tsv(t);
    std::vector<std::string> lines;
    for (size_t at = 0; at < tsv.size();) {
        const size_t end = tsv.find('\n', at);
        lines.push_back(tsv.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_EQ(lines.size(), 2 + 1 + t.values.size() + 1);  // comments, names, rows, RMS
    EXPECT_EQ(lines[0], "# " + t.title_line);
    EXPECT_EQ(lines[2], "n\tG_n\tn1\tG_n1\tk\tR\tG1\tB\tG2");
    for (size_t i = 0; i < t.values.size(); ++i) {
        std::string expected;
        for (size_t c = 0; c < 9; ++c) {
            const bool filler = c == 3 && t.values[i][2] > static_cast<double>(t.source.width / 2);
            expected += (c ? "\t" : "") + (filler ? std::string("nan") : t.cells[i][c]);
        }
        EXPECT_EQ(lines[3 + i], expected);
    }
    EXPECT_EQ(lines.back(), "# RMS\tG\t" + t.rms[0] + "\tR\t" + t.rms[1] + "\tG1\t" + t.rms[2] + "\tB\t" + t.rms[3] +
                                "\tG2\t" + t.rms[4]);
    EXPECT_NE(lines[3 + t.values.size() - 1].find("\tnan\t"), std::string::npos);  // the last row's filler
}
