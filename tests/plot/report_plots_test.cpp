// The figures made from report tables, checked against the tables: what each
// series holds and what is left out (drawing them is the plotting library's part).
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "plot/report_plots.h"
#include "plot/report_text.h"

using namespace plot;
using namespace plot_test;

namespace {

using Points = std::vector<std::pair<double, double>>;

ReportTable only_table(const std::string& text, std::span<const TableKind> kinds, size_t index = 0)
{
    ParsedReport r = parse_report("REPORT.CSV", text, kinds);
    EXPECT_GT(r.tables.size(), index);
    return r.tables.size() > index ? r.tables[index] : ReportTable{};
}

const Series& named(const Figure& f, const std::string& name)
{
    static const Series none;
    for (const Series& s : f.axes.series)
        if (s.name == name)
            return s;
    ADD_FAILURE() << "no series " << name;
    return none;
}

// The series' points are the expected ones, NaN where NaN is expected.
void expect_points(const Series& s, const Points& expected)
{
    ASSERT_EQ(s.x.size(), expected.size()) << s.name;
    ASSERT_EQ(s.y.size(), expected.size()) << s.name;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(s.x[i], expected[i].first, 1e-9) << s.name << " " << i;
        if (std::isnan(expected[i].second))
            EXPECT_TRUE(std::isnan(s.y[i])) << s.name << " " << i;
        else
            EXPECT_NEAR(s.y[i], expected[i].second, 1e-9) << s.name << " " << i;
    }
}

const char* const planes[] = {"R", "G1", "B", "G2"};

}  // namespace

TEST(HistogramPlot, BinsAsStepsCountersAsBarsApartEmptyBinsAtHalf)
{
    const struct {
        const char* run;
        const char* report;
        bool linear;
    } cases[] = {{"02-quorva-dark-pair", "HQUORVA.CSV", false},
                 {"07-veldix-odd-windows", "HVELDIX.CSV", false},  // every regular bin empty
                 {"07-veldix-odd-windows", "HVELDIX.CSV", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.run) + (c.linear ? " linear" : " log"));
        const ReportTable t = only_table(example(c.run, c.report), hist_kinds);
        const auto& v = t.values;
        const size_t bins = v.size() - 2;
        PlotOptions o;
        o.linear_y = c.linear;
        const Figure f = histogram_figure(t, o);
        EXPECT_EQ(f.axes.y.scale, c.linear ? Scale::linear : Scale::log10);
        auto level = [&](double count) { return count == 0 && !c.linear ? 0.5 : count; };
        ASSERT_EQ(f.axes.series.size(), 8u);
        for (size_t p = 0; p < 4; ++p) {
            // Bin k = 1 .. N from its base to the next; the counters (rows 0 and N + 1) apart.
            const Series& s = named(f, planes[p]);
            EXPECT_EQ(s.kind, SeriesKind::step);
            ASSERT_EQ(s.x.size(), bins + 1);
            ASSERT_EQ(s.y.size(), bins);
            for (size_t k = 1; k <= bins; ++k) {
                EXPECT_EQ(s.x[k - 1], v[k][0]);
                EXPECT_EQ(s.y[k - 1], level(v[k][p + 1]));
            }
            EXPECT_EQ(s.x[bins], v[bins + 1][0]);
            const Series& bars = f.axes.series[4 + p];
            EXPECT_EQ(bars.kind, SeriesKind::bars);
            EXPECT_EQ(bars.y, (std::vector<double>{level(v.front()[p + 1]), level(v.back()[p + 1])}));
            EXPECT_LT(bars.x.at(0) + bars.bar_width / 2, v[1][0]);
            EXPECT_GT(bars.x.at(1) - bars.bar_width / 2, v.back()[0]);
        }
        ASSERT_EQ(f.axes.notes.size(), 2u);
        EXPECT_EQ(f.axes.notes[0].text, "< " + t.cells[1][0]);
        EXPECT_EQ(f.axes.notes[1].text, "\xE2\x89\xA5 " + t.cells.back()[0]);
    }
    // -E: DN as log2 DN; bins from DN 0 (veldix -S0) of width 4, the first starting at log2 0.5.
    const ReportTable t = only_table(histogram_text(source("A.TIF", 200, 200, 0, 0), 0, 4,
                                                    {{0, 0, 0, 0}, {5, 5, 5, 5}, {7, 7, 7, 7}, {9, 9, 9, 9}, {1, 1, 1, 1}}),
                                     hist_kinds);
    PlotOptions o;
    o.ev = true;
    EXPECT_EQ(named(histogram_figure(t, o), "B").x, (std::vector<double>{-1.0, 2.0, 3.0, std::log2(12.0)}));
}

TEST(NormalityPlot, ScoresWhereTheyChangeAndFittedLines)
{
    const ReportTable t = only_table(example("03-quorva-dark-k-o-debug", "HQUORVA.CSV"), hist_kinds);
    const std::vector<StatsRecord> records = parse_stats_log(example("03-quorva-dark-k-o-debug", "QUORVA.CSV"));
    const StatsRecord* fit = find_fit_record(records, t.source);
    ASSERT_NE(fit, nullptr);
    const auto& v = t.values;
    const double width = v[2][0] - v[1][0];
    const char* names[] = {"Red", "Green", "Blue"};
    for (const StatsRecord* record : {static_cast<const StatsRecord*>(nullptr), fit}) {
        const Figure f = normality_figure(t, record);
        EXPECT_EQ(f.axes.series.size(), record ? 6u : 3u);
        for (int c = 0; c < 3; ++c) {
            Points expected;  // a score at its bin's upper edge where it moved
            for (size_t j = 0; j < v.size(); ++j)
                if (j == 0 || v[j][c + 1] != v[j - 1][c + 1])
                    expected.emplace_back(static_cast<double>(j) * width + 1.0, v[j][c + 1]);
            expect_points(named(f, names[c]), expected);
            if (!record)
                continue;
            const Series& line = named(f, std::string(names[c]) + " fit: ave " + fit->hist_ave_text[c] + ", SD " +
                                              fit->hist_sd_text[c]);
            ASSERT_EQ(line.x.size(), 2u);
            for (size_t i = 0; i < 2; ++i)  // on z = (DN - ave) / SD
                EXPECT_NEAR(line.y[i], (line.x[i] - fit->hist_ave[c]) / fit->hist_sd[c], 1e-9);
        }
        // z from -4.5 to 4.5, and on the right in cumulative percent: 50% at z = 0, 99% at z = 2.326.
        const Layout lay = layout_figure(f);
        EXPECT_EQ(std::vector<double>({lay.y.lo, lay.y.hi, lay.y2.lo, lay.y2.hi}), std::vector<double>({-4.5, 4.5, -4.5, 4.5}));
        std::map<std::string, double> ticks;
        for (const Tick& k : f.axes.y2.ticks)
            ticks[k.label] = k.value;
        EXPECT_NEAR(ticks.at("50%"), 0.0, 1e-6);
        EXPECT_NEAR(ticks.at("99%"), 2.3263479, 1e-6);
        EXPECT_NEAR(ticks.at("0.1%"), -3.0902323, 1e-6);
    }
}

TEST(SpectrumPlot, GreenSequenceAndPlanesWithoutFillerDcOnDemand)
{
    const struct {
        const char* run;
        size_t index;
        TableKind kind;
        bool dc;
    } cases[] = {{"05-quorva-multi-dft", 0, TableKind::multi_row, false},
                 {"05-quorva-multi-dft", 0, TableKind::multi_row, true},
                 {"06-quorva-acf-two-files", 1, TableKind::acf_col, false}};
    for (const auto& c : cases) {
        const ReportTable t = only_table(example(c.run, "DFT.CSV"), spectrum_kinds, c.index);
        ASSERT_EQ(t.kind, c.kind);
        const bool acf = c.kind == TableKind::acf_col;
        const double n = static_cast<double>(acf ? t.source.height : t.source.width);
        PlotOptions o;
        o.dc = c.dc;
        const Figure f = acf ? acf_figure(t) : spectrum_figure(t, o);
        EXPECT_EQ(f.axes.y.scale, acf ? Scale::linear : Scale::log10);
        // Spectra against cycles per pixel, autocorrelations against the lag in
        // pixels (a plane's k is two); the filler beyond n / 2 never drawn.
        Points g, b;
        for (const auto& r : t.values) {
            if (r[0] != 0 || c.dc || acf)
                g.emplace_back(acf ? r[0] : r[0] / n, r[1]);
            if (r[2] <= std::floor(n / 2))
                g.emplace_back(acf ? r[2] : r[2] / n, r[3]);
            if (r[4] != 0 || c.dc || acf)
                b.emplace_back(acf ? 2 * r[4] : r[4] / n, r[7]);
        }
        expect_points(named(f, "G (RMS " + t.rms[0] + ")"), g);
        expect_points(named(f, "B (RMS " + t.rms[3] + ")"), b);
        EXPECT_EQ(f.axes.ref_lines.size(), acf ? 1u : 0u);  // the zero line
    }
    // A nan value stays in the series as a gap.
    std::string text = spectrum_text("Ave-column DFT coef mags", source("S.NEF", 8, 8, 0, 0), false, 0, 8,
                                     {{5, 5, 5, 5, 5, 5}, {4, 4, 4, 4, 4, 4}, {3, 3, 3, 3, 3, 3}});
    text.replace(text.find("     4.000", text.find("\n    2,")), 10, "       nan");  // G(2)
    const Figure f = spectrum_figure(only_table(text, spectrum_kinds), {});
    expect_points(named(f, "G (RMS 1.000)"), {{1 / 8., 5}, {2 / 8., NAN}, {3 / 8., 4}, {4 / 8., 3}});
}

TEST(ProfilePlot, DetrendAndGaps)
{
    std::string text = profile_text(false, source("P.NEF", 8, 8, 0, 100), 100,
                                    {{10, 1, 5, -2}, {12, 3, 5, -4}, {14, 2, 5, -6}, {16, 7, 5, -8}});
    text.replace(text.find("     3.000"), 10, "       nan");  // G1 of row 102
    PlotOptions o;
    o.detrend = true;
    const Figure d = profile_figure(only_table(text, profile_kinds), o);
    expect_points(named(d, "R (mean 13.000)"), {{100, -3}, {102, -1}, {104, 1}, {106, 3}});
    expect_points(named(d, "G1 (mean 3.333)"), {{100, -7 / 3.}, {102, NAN}, {104, -4 / 3.}, {106, 11 / 3.}});
    expect_points(named(profile_figure(only_table(text, profile_kinds), {}), "G1"),
                  {{100, 1}, {102, NAN}, {104, 2}, {106, 7}});
}

TEST(TableData, TabSeparatedWithTheFillerAsNan)
{
    const ReportTable t = only_table(example("06-quorva-acf-two-files", "DFT.CSV"), spectrum_kinds);
    std::string expected = "# " + t.title_line + "\n# REPORT.CSV line " + std::to_string(t.line) + "\nn\tG_n\tn1\tG_n1\tk\tR\tG1\tB\tG2\n";
    for (size_t i = 0; i < t.values.size(); ++i)
        for (size_t c = 0; c < 9; ++c) {
            const bool filler = c == 3 && t.values[i][2] > static_cast<double>(t.source.width / 2);
            expected += (filler ? std::string("nan") : t.cells[i][c]) + (c < 8 ? "\t" : "\n");
        }
    expected += "# RMS\tG\t" + t.rms[0] + "\tR\t" + t.rms[1] + "\tG1\t" + t.rms[2] + "\tB\t" + t.rms[3] + "\tG2\t" + t.rms[4] + "\n";
    EXPECT_EQ(table_tsv(t), expected);
    EXPECT_NE(expected.find("\tnan\t"), std::string::npos);  // the last row's filler
}
