// Reading report tables back: title lines read from the right, every kind of
// table, tables paired by source, broken tables skipped, statistics records.
#include <gtest/gtest.h>

#include "plot/report_text.h"

using namespace plot;
using namespace plot_test;

namespace {

// The cells of the line at a position, split independently of the reader.
std::vector<std::string> cells_at(const std::string& text, size_t at)
{
    std::vector<std::string> out(1);
    for (; at < text.size() && text[at] != '\n'; ++at)
        if (text[at] == ',')
            out.emplace_back();
        else if (text[at] != ' ')
            out.back() += text[at];
    return out;
}

// The rows after a table's title and header, up to a blank or the RMS line.
std::vector<std::vector<std::string>> rows_after(const std::string& text, const std::string& title_line)
{
    std::vector<std::vector<std::string>> rows;
    for (size_t at = text.find('\n', text.find('\n', text.find(title_line)) + 1) + 1;
         at < text.size() && text[at] == ' ' && text.compare(at, 6, "  RMS:") != 0; at = text.find('\n', at) + 1)
        rows.push_back(cells_at(text, at));
    return rows;
}

std::vector<std::vector<double>> rows_of(size_t n, double v)
{
    return std::vector<std::vector<double>>(n, std::vector<double>(6, v));
}

}  // namespace

TEST(ReportTitles, ReadFromTheRightSoFileNamesMayHoldCommas)
{
    TableKind kind{};
    TableSource s;
    ASSERT_TRUE(parse_title_line("Histogram data, file A,B.NEF - C, D.NEF, Window 200x100 at X=4 Y=6", hist_kinds, kind, s));
    EXPECT_EQ(kind, TableKind::histogram);
    EXPECT_EQ(s.files, "A,B.NEF - C, D.NEF");
    EXPECT_EQ(s.text, ", file A,B.NEF - C, D.NEF, Window 200x100 at X=4 Y=6");
    EXPECT_EQ(std::vector<long>({s.width, s.height, s.x, s.y}), std::vector<long>({200, 100, 4, 6}));
    // A name that itself looks like a window: the last one is the window.
    ASSERT_TRUE(parse_title_line("Ave. Row-ACF, file X, Window 3x3 at X=1 Y=1.TIF, Window 24x16 at X=1 Y=3",
                                 spectrum_kinds, kind, s));
    EXPECT_EQ(kind, TableKind::acf_row);
    EXPECT_EQ(s.files, "X, Window 3x3 at X=1 Y=1.TIF");
    EXPECT_EQ(std::vector<long>({s.width, s.height, s.x, s.y}), std::vector<long>({24, 16, 1, 3}));
    for (const char* other : {"Histogram data, file A.NEF, Window 200x100 at X=4",
                              "Histogram data, file A.NEF, Window 200x100 at X=4 Y=6 ",
                              "Histogram data, file , Window 200x100 at X=4 Y=6",
                              "Histogram date, file A.NEF, Window 200x100 at X=4 Y=6",
                              "     0,       926,       661,      1197,       753",
                              "Ave-row DN values, file A.NEF, Window 20x10 at X=4 Y=6"})  // not a kind asked for
        EXPECT_FALSE(parse_title_line(other, hist_kinds, kind, s)) << other;
}

TEST(ReportTables, ReadsEveryKindFromTheExamples)
{
    using K = TableKind;
    const struct {
        const char* run;
        const char* report;
        std::span<const TableKind> kinds;
        std::vector<TableKind> expected;
    } cases[] = {{"02-quorva-dark-pair", "HQUORVA.CSV", hist_kinds, {K::histogram}},
                 {"03-quorva-dark-k-o-debug", "HQUORVA.CSV", hist_kinds, {K::normality}},
                 {"07-veldix-odd-windows", "HVELDIX.CSV", hist_kinds, {K::histogram}},
                 {"04-quorva-profiles-ft", "RCDN.CSV", profile_kinds, {K::profile_row, K::profile_col}},
                 {"04-quorva-profiles-ft", "DFT.CSV", spectrum_kinds, {K::ft_row, K::ft_col}},
                 {"05-quorva-multi-dft", "DFT.CSV", spectrum_kinds, {K::multi_row, K::multi_col}},
                 {"06-quorva-acf-two-files", "DFT.CSV", spectrum_kinds, {K::acf_row, K::acf_col}},
                 {"10-veldix-acf-odd", "DFT.CSV", spectrum_kinds, {K::acf_row, K::acf_col}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.run) + "/" + c.report);
        const std::string text = example(c.run, c.report);
        const ParsedReport r = parse_report(c.report, text, c.kinds);
        EXPECT_TRUE(r.warnings.empty());
        ASSERT_EQ(r.tables.size(), c.expected.size());
        for (size_t i = 0; i < r.tables.size(); ++i) {
            const ReportTable& t = r.tables[i];
            EXPECT_EQ(t.kind, c.expected[i]);
            EXPECT_EQ(t.position, static_cast<int>(i + 1));
            EXPECT_EQ(t.title_line, table_title(t.kind) + t.source.text);
            EXPECT_EQ(t.cells, rows_after(text, t.title_line));
            ASSERT_EQ(t.values.size(), t.cells.size());
            for (size_t k = 0; k < t.cells.size(); ++k)
                for (size_t j = 0; j < t.cells[k].size(); ++j)
                    EXPECT_EQ(t.values[k].at(j), std::stod(t.cells[k][j]));
            if (is_spectrum_kind(t.kind)) {  // the RMS line's cells 3, 5, 6, 7 and 8
                const auto rms = cells_at(text, text.find("  RMS:", text.find(t.title_line)));
                EXPECT_EQ(t.rms, (std::vector<std::string>{rms[3], rms[5], rms[6], rms[7], rms[8]}));
            }
        }
    }
    EXPECT_EQ(parse_report("H", example("02-quorva-dark-pair", "HQUORVA.CSV"), hist_kinds).tables.at(0).values.size(),
              20u + 2u);  // quorva -N20: 20 bins and the two outer counters
}

TEST(ReportTables, PairsRowAndColumnTablesBySourceNotPosition)
{
    const std::string a = source("A.TIF", 24, 16, 1, 1), b = source("B.TIF", 24, 16, 1, 1);
    auto row = [](const std::string& src, double v) { return spectrum_text("Ave. Row-ACF", src, true, 0, 24, rows_of(7, v)); };
    auto col = [](const std::string& src, double v) { return spectrum_text("Ave. Column-ACF", src, true, 0, 16, rows_of(5, v)); };
    // Two runs whose whole tables interleave: A-row, B-row, B-col, A-col. Then runs
    // of one source one after the other pair in order; a lone row table stays alone.
    const struct {
        std::string text;
        std::vector<std::pair<double, double>> pairs;  // G(0) of the row and the column table (0: none)
    } cases[] = {{row(a, 1) + row(b, 2) + col(b, 4) + col(a, 3), {{1, 3}, {2, 4}}},
                 {row(a, 1) + col(a, 3) + row(a, 2) + col(a, 4) + row(b, 5), {{1, 3}, {2, 4}, {5, 0}}}};
    for (const auto& c : cases) {
        const ParsedReport r = parse_report("DFT.CSV", c.text, spectrum_kinds);
        std::vector<std::pair<double, double>> pairs;
        for (const TablePair& p : pair_tables(r.tables, TableKind::acf_row, TableKind::acf_col))
            pairs.emplace_back(p.row ? p.row->values[0][1] : 0, p.col ? p.col->values[0][1] : 0);
        EXPECT_EQ(pairs, c.pairs);
    }
}

TEST(ReportTables, BrokenTablesAreSkippedWithFileAndLine)
{
    const std::string hist = histogram_text(source("D.NEF", 200, 200, 4, 4), 1, 1,
                                            {{9, 9, 9, 9}, {1, 2, 3, 4}, {5, 6, 7, 8}, {0, 0, 0, 1}});  // 7 lines
    std::string uneven = histogram_text(source("D.NEF", 200, 200, 4, 4), 1, 2, std::vector<std::vector<long>>(5, {1, 1, 1, 1}));
    uneven.replace(uneven.find("     3,"), 7, "     4,");  // bases 1, 4, 5, 7
    const std::vector<std::vector<double>> v(10, {1, 2, 3, 4});
    const std::string src = source("F.NEF", 20, 8, 0, 0);
    const std::string prow = profile_text(true, src, 0, v);  // W = 20: 10 rows
    const std::string cut_row = profile_text(true, src, 0, {v.begin(), v.begin() + 6}) + profile_text(false, src, 0, {v.begin(), v.begin() + 4});
    const std::string dft = spectrum_text("Ave-row DFT coef mags", source("F.NEF", 8, 8, 0, 0), false, 0, 8, rows_of(3, 1));
    const struct {
        std::span<const TableKind> kinds;
        std::string text;
        size_t tables;
        std::string warning;  // its start
    } cases[] = {
        {hist_kinds, hist + hist.substr(0, hist.size() - 1), 1, "Warning:  H.CSV line 8: Histogram data table "},
        {hist_kinds, hist + hist.substr(0, hist.size() - 3), 1, "Warning:  H.CSV line 8: Histogram data table "},
        {profile_kinds, cut_row + prow, 2, "Warning:  H.CSV line 1: Ave-row DN values table cut off at line 9; skipped."},
        // The last line cut inside a number: without its end of line it does not count.
        {profile_kinds, prow + prow.substr(0, prow.size() - 3), 1,
         "Warning:  H.CSV line 13: Ave-row DN values table cut off by the end of the file; skipped."},
        {spectrum_kinds, dft + dft.substr(0, dft.rfind("  RMS:")), 1,
         "Warning:  H.CSV line 7: Ave-row DFT coef mags table cut off by the end of the file; skipped."},
        {hist_kinds, uneven, 0, "Warning:  H.CSV line 1: Histogram data table is not in the expected form"},
        // Rows f = 0, 2, 4 do not reach the end of 0 .. 8.
        {spectrum_kinds, spectrum_text("Ave-row DFT coef mags", source("F.NEF", 16, 8, 0, 0), false, 0, 16, rows_of(3, 1)),
         0, "Warning:  H.CSV line 1: Ave-row DFT coef mags table "},
    };
    for (const auto& c : cases) {
        const ParsedReport r = parse_report("H.CSV", c.text, c.kinds);
        EXPECT_EQ(r.tables.size(), c.tables) << c.warning;
        ASSERT_EQ(r.warnings.size(), 1u) << c.warning;
        EXPECT_EQ(r.warnings[0].rfind(c.warning, 0), 0u) << r.warnings[0];
    }
    // The positions count every title, the skipped ones too.
    const ParsedReport r = parse_report("H.CSV", cut_row + prow, profile_kinds);
    EXPECT_EQ(r.tables.at(0).position, 2);
    EXPECT_EQ(r.tables.at(1).position, 3);
}

TEST(StatsLog, RecordsWithCommasInNamesMatchTheirTables)
{
    const std::vector<StatsRecord> records = parse_stats_log(
        "Image Statistics for Uncomp. 14-bit NEF files\n"
        "Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, Bclip, Wclip, From Hist:, Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, "
        "Files, Window\n"
        " 41.47, 61.22, 31.92,27.57,37.57,22.39, 7.1, 0.0, From Hist:,  40.36, 59.84, 30.48, 29.60, 40.43, 24.98, "
        "D,1.NEF minus D - 2.NEF, w200, h200, x4, y4\n"
        "2099.86,3890.31,1498.18,38.48,57.60,37.23, 0.0, 0.0, , , , , , , , FLAT1.TIF, w40, h20, x3, y5\n"
        " 41.47, 61.22, 31.92,27.57,37.57,22.39, 7.1, 0.0, From Hist:,  1.00");
    ASSERT_EQ(records.size(), 2u);  // the last line is cut short
    EXPECT_EQ(records[0].files, "D,1.NEF minus D - 2.NEF");
    EXPECT_TRUE(records[0].from_hist);
    EXPECT_EQ(records[0].hist_ave[1], 59.84);
    EXPECT_EQ(records[0].hist_sd[2], 24.98);
    EXPECT_EQ(records[0].hist_sd_text[0], "29.60");
    EXPECT_EQ(records[0].line, 3);
    EXPECT_FALSE(records[1].from_hist);
    // A table of the same files and window finds the record; another window or
    // file does not, nor a record without histogram figures.
    const std::pair<const char*, const StatsRecord*> cases[] = {
        {", file D,1.NEF - D - 2.NEF, Window 200x200 at X=4 Y=4", &records[0]},
        {", file D,1.NEF - D - 2.NEF, Window 200x200 at X=4 Y=6", nullptr},
        {", file D,1.NEF, Window 200x200 at X=4 Y=4", nullptr},
        {", file FLAT1.TIF, Window 40x20 at X=3 Y=5", nullptr}};
    for (const auto& [title, found] : cases) {
        TableSource s;
        ASSERT_TRUE(parse_table_source(title, s));
        EXPECT_EQ(find_fit_record(records, s), found) << title;
    }
    TableSource flat;
    ASSERT_TRUE(parse_table_source(", file FLAT1.TIF, Window 40x20 at X=3 Y=5", flat));
    EXPECT_TRUE(same_source(flat, records[1]));
}
