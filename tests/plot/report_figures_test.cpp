// The figures made from report tables: what each series holds, what is left
// out and said in a note, and the levels white noise gives (worked out by
// hand from the table's length and the run's SDs).
#include <gtest/gtest.h>

#include <cmath>

#include "plot/report_plots.h"
#include "plot/report_text.h"

using namespace plot;
using namespace plot_test;

namespace {

const double pi = 3.14159265358979323846;

ReportTable table_of(const std::string& text, std::span<const TableKind> kinds, size_t index = 0)
{
    const std::vector<ReportTable> t = read_tables(text, kinds);
    EXPECT_GT(t.size(), index);
    return t.size() > index ? t[index] : ReportTable{};
}

const Series* named(const Figure& f, const std::string& start)
{
    for (const Series& s : f.axes.series)
        if (s.name.rfind(start, 0) == 0)
            return &s;
    return nullptr;
}

bool has_note(const Figure& f, const std::string& start)
{
    for (const std::string& n : f.notes)
        if (n.rfind(start, 0) == 0)
            return true;
    return false;
}

StatsRecord record_of(const std::string& line)
{
    StatsRecord r;
    r.log = "QUORVA.CSV";
    r.line = 3;
    EXPECT_TRUE(parse_stats_record(line, r)) << line;
    return r;
}

}  // namespace

TEST(HistogramPlot, EmptyPlanesAndOuterCountsAreNotesCountsOfZeroStandOnTheFloor)
{
    // R and B all below the range (a flat frame), G1 and G2 in bins of 20 from 3700.
    const ReportTable t = table_of(histogram_text(source("F.NEF - G.NEF", 200, 200, 4, 4), 3700, 20,
                                                  {{500, 0, 500, 0}, {0, 3, 0, 0}, {0, 40, 0, 7}, {0, 0, 0, 9}, {0, 2, 0, 1}}),
                                   hist_kinds);
    const Figure f = histogram_figure(t, {});
    ASSERT_EQ(f.axes.series.size(), 2u);
    EXPECT_EQ(f.axes.series[0].name, "G1");
    EXPECT_EQ(f.axes.series[1].x, (std::vector<double>{3700, 3720, 3740, 3760}));
    EXPECT_EQ(f.notes, (std::vector<std::string>{
                           "No counts from 3700 to 3759 in R and B.",
                           "Outside the range: below 3700 R 500, B 500; from 3760 up G1 2, G2 1.",
                           "The histogram counts the first file's samples only."}));
    // G2's empty first bin stands on the bottom of the log axis; the range is the bins'.
    const Drawing d = draw_figure(f);
    EXPECT_LE(d.x.lo, 3700);
    EXPECT_GE(d.x.hi, 3760);
    EXPECT_NEAR(d.data.back().front().y, d.area.bottom(), 1e-9);
    EXPECT_GT(d.x.lo, 3690);  // not widened to a whole tick step
    // --ev: the bin edges at log2 DN.
    EXPECT_DOUBLE_EQ(histogram_figure(t, {.ev = true}).axes.series[1].x[3], std::log2(3760.0));
}

TEST(NormalityPlot, ScoresAtTheUpperEdgeOfTheirBinsOnTheScaleOfTheFit)
{
    // Bins of 13: rows DN 0, 1, 14, 27 ...; a normal of average 60, SD 20
    // sampled at the upper edges j x 13 + 1, Red and Blue counted as they are
    // given (-O: DN / 1.125, DN / 1.16). Repeats and the sweep's start (-6,
    // below the first sample) are no points.
    const double edge[] = {1, 14, 27, 40, 53, 66, 79, 92, 105, 118, 131};
    auto table = [&](double red_scale, double blue_scale) {
        std::string text = "Normality curves" + source("D.NEF", 200, 200, 4, 4) +
                           "  DN,      Red,       Green,        Blue,  (SD's above Ave.)\n";
        for (size_t j = 0; j < 11; ++j)
            text += text_of("%4d, %10.3f, %10.3f, %10.3f\n", j == 0 ? 0 : static_cast<int>(edge[j - 1]),
                            j == 0 ? -6.0 : (edge[j] * red_scale - 60) / 20, (edge[j == 10 ? 9 : j] - 60) / 20,
                            (edge[j] * blue_scale - 60) / 20);
        return table_of(text + "\n", hist_kinds);
    };
    const StatsRecord fit = record_of(" 60.00, 60.00, 60.00,20.00,20.00,20.00, 0.0, 0.0, From Hist:,  60.00, "
                                      "60.00, 60.00, 20.00, 20.00, 20.00, D.NEF, w200, h200, x4, y4");
    const ReportTable compressed = table(1.125, 1.16);
    for (const bool fitted : {false, true}) {
        const Figure f = normality_figure(compressed, fitted ? &fit : nullptr);
        const Series* green = named(f, "Green");
        const Series* red = named(f, "Red");
        ASSERT_TRUE(green && red);
        EXPECT_EQ(green->x, std::vector<double>(edge, edge + 10));  // the last bin repeats the score
        ASSERT_EQ(red->x.size(), 10u);                              // the first is at -6
        EXPECT_DOUBLE_EQ(red->x[0], fitted ? 14 * 1.125 : 14);       // on the fit's scale when there is one
        EXPECT_EQ(has_note(f, "Counted with -O"), fitted);
        EXPECT_EQ(has_note(f, "No fitted lines"), !fitted);
        if (fitted) {
            const Series* line = named(f, "Blue fit: ave 60.00, SD 20.00");
            ASSERT_NE(line, nullptr);
            for (size_t i = 0; i < 2; ++i)  // on z = (DN - ave) / SD
                EXPECT_NEAR(line->y[i], (line->x[i] - 60) / 20, 1e-12);
        }
    }
    EXPECT_FALSE(has_note(normality_figure(table(1, 1), &fit), "Counted with -O"));
    // --data says where each score belongs.
    const std::string tsv = table_tsv(compressed);
    EXPECT_NE(tsv.find("DN\tRed\tGreen\tBlue\tDN_upper\n"), std::string::npos);
    EXPECT_NE(tsv.find("\n14\t"), std::string::npos);
    EXPECT_NE(tsv.find("\t27\n"), std::string::npos);  // the row of DN 14 belongs at 27
}

TEST(SpectrumPlot, ChannelsWithoutFillerAndTheWhiteNoiseLevelOfTheRun)
{
    // -F along the columns of a 8 x 8 window of a pair: every frequency; G
    // beyond f = 4 is filler.
    const ReportTable t = table_of(spectrum_text("Ave-column DFT coef mags", source("A.NEF - B.NEF", 8, 8, 0, 0), false, 0, 8,
                                                 {{9, 5, 9, 9, 9, 9}, {4, 3, 2, 1, 2, 3}, {3, 0, 1, 1, 1, 1}}),
                                   spectrum_kinds);
    const StatsRecord r = record_of(" 1.00, 1.00, 1.00, 6.00, 8.00, 4.00, 0.0, 0.0, , , , , , , , A.NEF minus B.NEF, w8, h8, x0, y0");
    for (const bool dc : {false, true}) {
        const Figure f = spectrum_figure(t, &r, {.dc = dc});
        const Series* g = named(f, "G (RMS");
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->x, dc ? (std::vector<double>{0, 1 / 8.0, 2 / 8.0, 3 / 8.0, 4 / 8.0})
                           : (std::vector<double>{1 / 8.0, 2 / 8.0, 3 / 8.0, 4 / 8.0}));
        EXPECT_EQ(named(f, "B (RMS")->y, dc ? (std::vector<double>{9, 2, 1}) : (std::vector<double>{2, 1}));
    }
    // The SD of a profile value: the console's SD times the square root of 2
    // (a pair), over the square root of the 4 column pairs averaged, with the
    // rounding to tenths. Blue along the 4 row pairs: frequencies 1 and 2 (real).
    const double blue = std::sqrt(4.0 * 4.0 * 2.0 / 4.0 + 0.01 / 12.0);
    const Figure with_level = spectrum_figure(t, &r, {});
    const Series* level = named(with_level, "B white noise");
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->x, (std::vector<double>{1 / 8.0, 2 / 8.0}));
    EXPECT_NEAR(level->y[0], blue * std::sqrt(pi / 16.0), 1e-12);
    EXPECT_NEAR(level->y[1], blue * std::sqrt(2.0 / (4.0 * pi)), 1e-12);
    EXPECT_TRUE(has_note(spectrum_figure(t, nullptr, {}), "No white-noise level"));
    // --data: the filler beyond f = 4 is no value.
    EXPECT_NE(table_tsv(t).find("\n4\t3.000\t5\tnan\t2\t1.000\t"), std::string::npos) << table_tsv(t);
}

TEST(AcfPlot, ConnectedWithTheWhiteNoiseLevelAndLagZeroOffTheScale)
{
    // W = 16: G lags 0 .. 8, planes 0 .. 4 samples (0 .. 8 pixels).
    const ReportTable t = table_of(spectrum_text("Ave. Row-ACF", source("A.TIF", 16, 8, 0, 0), true, 0, 16,
                                                 {{94, -6, 88, 90, 91, 89}, {-7, 2, -12, -11, -13, -12}, {1, -8, 1, 2, 0, 1},
                                                  {-7, 1, -15, -12, -13, -11}, {3, 0, 1, 2, 0, 1}}),
                                   spectrum_kinds);
    const Figure f = acf_figure(t);
    std::vector<std::string> names;
    for (const Series& s : f.axes.series)
        names.push_back(s.name);
    ASSERT_EQ(names, (std::vector<std::string>{"G (RMS 1.000)", "R (RMS 2.000)", "G1 (RMS 3.000)", "B (RMS 4.000)",
                                               "G2 (RMS 5.000)", "G white noise -6.25 %", "R, G1, B, G2 white noise -12.5 %"}));
    EXPECT_EQ(f.axes.series[0].kind, SeriesKind::line_markers);
    EXPECT_EQ(f.axes.series[0].x, (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(f.axes.series[1].x, (std::vector<double>{0, 2, 4, 6, 8}));
    EXPECT_EQ(named(f, "G white noise")->y, (std::vector<double>{-6.25, -6.25}));
    EXPECT_EQ(named(f, "R, G1, B, G2 white noise")->y, (std::vector<double>{-12.5, -12.5}));
    // The lags above 0 reach -15 and 2: lag 0 (94) is off the scale and noted.
    EXPECT_LT(f.axes.y.max, 10);
    EXPECT_TRUE(has_note(f, "Lag 0, off the scale: G 94.000, R 88.000, G1 90.000, B 91.000, G2 89.000 (white noise: 93.75 and 87.50)"));
}

TEST(ProfilePlot, DetrendedLessEachPlaneMean)
{
    // x = 10, 12, 14 of a window 6 wide at X=10; R 1, 2, 6 (mean 3).
    const ReportTable t = table_of(profile_text(true, source("P.NEF", 6, 4, 10, 0), 10, {{1, 5, 5, 5}, {2, 5, 5, 5}, {6, 5, 5, 5}}),
                                   profile_kinds);
    const Figure f = profile_figure(t, {.detrend = true});
    const Series* r = named(f, "R (mean 3.000)");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->x, (std::vector<double>{10, 12, 14}));
    EXPECT_EQ(r->y, (std::vector<double>{-2, -1, 3}));
}
