// Reading report tables back: title lines read from the right, every kind of
// table, row and column tables paired by source, truncated and malformed
// tables skipped with a warning, statistics-log records.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/report_tables.h"
#include "plot/report_text.h"

using namespace plot;
using namespace plot_test;

namespace {

constexpr TableKind hist_kinds[] = {TableKind::histogram, TableKind::normality};
constexpr TableKind profile_kinds[] = {TableKind::profile_row, TableKind::profile_col};
constexpr TableKind spectrum_kinds[] = {TableKind::ft_row,    TableKind::ft_col,  TableKind::multi_row,
                                        TableKind::multi_col, TableKind::acf_row, TableKind::acf_col};

// Rows of a table in the text: lines after the title and header up to a blank
// line, a title or the RMS line, counted independently of the reader.
size_t rows_after(const std::string& text, const std::string& title_start)
{
    const size_t at = text.find(title_start);
    size_t line = text.find('\n', text.find('\n', at) + 1) + 1;  // past title and header
    size_t n = 0;
    while (line < text.size() && text[line] == ' ' && text.compare(line, 6, "  RMS:") != 0) {
        ++n;
        line = text.find('\n', line) + 1;
    }
    return n;
}

std::vector<double> flat(double v)
{
    return {v, v, v, v, v, v};
}

const std::vector<double> rms5 = {1, 2, 3, 4, 5};

}  // namespace

TEST(ReportTitles, FileNamesMayHoldCommas)
{
    TableKind kind{};
    TableSource s;
    ASSERT_TRUE(parse_title_line("Histogram data, file A,B.NEF - C, D.NEF, Window 200x100 at X=4 Y=6", hist_kinds, kind, s));
    EXPECT_EQ(kind, TableKind::histogram);
    EXPECT_EQ(s.files, "A,B.NEF - C, D.NEF");
    EXPECT_EQ(s.width, 200);
    EXPECT_EQ(s.height, 100);
    EXPECT_EQ(s.x, 4);
    EXPECT_EQ(s.y, 6);
    EXPECT_EQ(s.text, ", file A,B.NEF - C, D.NEF, Window 200x100 at X=4 Y=6");

    // A name that itself looks like a window: the last one is the window.
    ASSERT_TRUE(parse_title_line("Ave. Row-ACF, file X, Window 3x3 at X=1 Y=1.TIF, Window 24x16 at X=1 Y=3",
                                 spectrum_kinds, kind, s));
    EXPECT_EQ(kind, TableKind::acf_row);
    EXPECT_EQ(s.files, "X, Window 3x3 at X=1 Y=1.TIF");
    EXPECT_EQ(s.width, 24);
    EXPECT_EQ(s.y, 3);
}

TEST(ReportTitles, OtherLinesAreNotTitles)
{
    TableKind kind{};
    TableSource s;
    EXPECT_FALSE(parse_title_line("Histogram data, file A.NEF, Window 200x100 at X=4", hist_kinds, kind, s));
    EXPECT_FALSE(parse_title_line("Histogram data, file A.NEF, Window 200x100 at X=4 Y=6 ", hist_kinds, kind, s));
    EXPECT_FALSE(parse_title_line("Histogram data, file , Window 200x100 at X=4 Y=6", hist_kinds, kind, s));
    EXPECT_FALSE(parse_title_line("Histogram date, file A.NEF, Window 200x100 at X=4 Y=6", hist_kinds, kind, s));
    EXPECT_FALSE(parse_title_line("     0,       926,       661,      1197,       753", hist_kinds, kind, s));
    // A title of a kind the file does not hold.
    EXPECT_FALSE(parse_title_line("Ave-row DN values, file A.NEF, Window 20x10 at X=4 Y=6", hist_kinds, kind, s));
}

TEST(ReportTables, ReadsEveryKindFromTheExamples)
{
    // quorva DARK1.NEF DARK2.NEF -N20 ...: 20 bins and the two outer counters.
    const std::string h02 = example("02-quorva-dark-pair", "HQUORVA.CSV");
    ParsedReport r = parse_report("HQUORVA.CSV", h02, hist_kinds);
    ASSERT_EQ(r.tables.size(), 1u);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(r.tables[0].kind, TableKind::histogram);
    EXPECT_EQ(r.tables[0].values.size(), 22u);
    EXPECT_EQ(r.tables[0].source.files, "DARK1.NEF - DARK2.NEF");
    EXPECT_EQ(r.tables[0].cells[1][1], "194");

    const std::string h03 = example("03-quorva-dark-k-o-debug", "HQUORVA.CSV");
    r = parse_report("HQUORVA.CSV", h03, hist_kinds);
    ASSERT_EQ(r.tables.size(), 1u);
    EXPECT_EQ(r.tables[0].kind, TableKind::normality);
    EXPECT_EQ(r.tables[0].values.size(), rows_after(h03, "Normality curves"));

    // -W40 -H24: 20 column pairs, 12 row pairs.
    r = parse_report("RCDN.CSV", example("04-quorva-profiles-ft", "RCDN.CSV"), profile_kinds);
    ASSERT_EQ(r.tables.size(), 2u);
    EXPECT_EQ(r.tables[0].kind, TableKind::profile_row);
    EXPECT_EQ(r.tables[0].values.size(), 20u);
    EXPECT_EQ(r.tables[1].kind, TableKind::profile_col);
    EXPECT_EQ(r.tables[1].values.size(), 12u);
    EXPECT_EQ(r.tables[1].position, 2);

    const struct {
        const char* run;
        TableKind row, col;
    } spectra[] = {{"04-quorva-profiles-ft", TableKind::ft_row, TableKind::ft_col},
                   {"05-quorva-multi-dft", TableKind::multi_row, TableKind::multi_col},
                   {"06-quorva-acf-two-files", TableKind::acf_row, TableKind::acf_col},
                   {"10-veldix-acf-odd", TableKind::acf_row, TableKind::acf_col}};
    for (const auto& s : spectra) {
        const std::string text = example(s.run, "DFT.CSV");
        r = parse_report("DFT.CSV", text, spectrum_kinds);
        ASSERT_EQ(r.tables.size(), 2u) << s.run;
        EXPECT_TRUE(r.warnings.empty()) << s.run;
        EXPECT_EQ(r.tables[0].kind, s.row);
        EXPECT_EQ(r.tables[1].kind, s.col);
        EXPECT_EQ(r.tables[0].values.size(), rows_after(text, table_title(s.row)));
        EXPECT_EQ(r.tables[1].values.size(), rows_after(text, table_title(s.col)));
        ASSERT_EQ(r.tables[1].rms.size(), 5u);
        // The RMS figures are the last line's cells 3, 5, 6, 7, 8.
        const size_t last = text.rfind("  RMS:");
        const std::string line = text.substr(last, text.find('\n', last) - last);
        EXPECT_NE(line.find(r.tables[1].rms[0]), std::string::npos);
        EXPECT_EQ(line.substr(line.size() - r.tables[1].rms[4].size()), r.tables[1].rms[4]);
    }

    r = parse_report("HVELDIX.CSV", example("07-veldix-odd-windows", "HVELDIX.CSV"), hist_kinds);
    ASSERT_EQ(r.tables.size(), 1u);
    EXPECT_EQ(r.tables[0].values.size(), 14u);  // -N12
}

TEST(ReportTables, PairsRowAndColumnTablesBySourceNotPosition)
{
    // Two runs at once, A and B, whose whole tables interleave: A-row, B-row, B-col, A-col.
    const std::string a = source("A.TIF", 24, 16, 1, 1);
    const std::string b = source("B.TIF", 24, 16, 1, 1);
    const std::vector<std::vector<double>> rows_a(7, flat(1.0));
    const std::vector<std::vector<double>> rows_b(7, flat(2.0));
    const std::vector<std::vector<double>> cols_a(5, flat(3.0));
    const std::vector<std::vector<double>> cols_b(5, flat(4.0));
    const std::string text = spectrum_text("Ave. Row-ACF", a, true, 0, 24, rows_a, rms5) +
                             spectrum_text("Ave. Row-ACF", b, true, 0, 24, rows_b, rms5) +
                             spectrum_text("Ave. Column-ACF", b, true, 0, 16, cols_b, rms5) +
                             spectrum_text("Ave. Column-ACF", a, true, 0, 16, cols_a, rms5);
    const ParsedReport r = parse_report("DFT.CSV", text, spectrum_kinds);
    ASSERT_EQ(r.tables.size(), 4u);
    const std::vector<TablePair> pairs = pair_tables(r.tables, TableKind::acf_row, TableKind::acf_col);
    ASSERT_EQ(pairs.size(), 2u);
    ASSERT_TRUE(pairs[0].row && pairs[0].col && pairs[1].row && pairs[1].col);
    EXPECT_EQ(pairs[0].row->source.files, "A.TIF");
    EXPECT_EQ(pairs[0].col->source.files, "A.TIF");
    EXPECT_EQ(pairs[0].col->values[0][1], 3.0);
    EXPECT_EQ(pairs[1].row->source.files, "B.TIF");
    EXPECT_EQ(pairs[1].col->source.files, "B.TIF");

    // Runs of the same source one after the other pair in order; a lone
    // row table stays alone.
    const std::string twice = spectrum_text("Ave. Row-ACF", a, true, 0, 24, rows_a, rms5) +
                              spectrum_text("Ave. Column-ACF", a, true, 0, 16, cols_a, rms5) +
                              spectrum_text("Ave. Row-ACF", a, true, 0, 24, rows_b, rms5) +
                              spectrum_text("Ave. Column-ACF", a, true, 0, 16, cols_b, rms5) +
                              spectrum_text("Ave. Row-ACF", b, true, 0, 24, rows_b, rms5);
    const ParsedReport r2 = parse_report("DFT.CSV", twice, spectrum_kinds);
    const std::vector<TablePair> p2 = pair_tables(r2.tables, TableKind::acf_row, TableKind::acf_col);
    ASSERT_EQ(p2.size(), 3u);
    EXPECT_EQ(p2[0].row->position, 1);
    EXPECT_EQ(p2[0].col->position, 2);
    EXPECT_EQ(p2[1].row->position, 3);
    EXPECT_EQ(p2[1].col->position, 4);
    EXPECT_EQ(p2[2].row->position, 5);
    EXPECT_EQ(p2[2].col, nullptr);
}

TEST(ReportTables, TruncatedTablesAreSkippedWithFileAndLine)
{
    const std::string src = source("DARK1.NEF", 200, 200, 4, 4);
    const std::vector<std::vector<long>> counts = {{9, 9, 9, 9}, {1, 2, 3, 4}, {5, 6, 7, 8}, {0, 0, 0, 1}};
    const std::string whole = histogram_text(src, 1, 1, counts);  // 7 lines: title, header, 4 rows, blank
    // The second table lost its blank line, the third its last line's end.
    const std::string no_blank = whole.substr(0, whole.size() - 1);
    const std::string cut_row = whole.substr(0, whole.size() - 3);
    ParsedReport r = parse_report("HQUORVA.CSV", whole + no_blank, hist_kinds);
    ASSERT_EQ(r.tables.size(), 1u);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0].rfind("Warning:  HQUORVA.CSV line 8: Histogram data table ", 0), 0u) << r.warnings[0];

    r = parse_report("HQUORVA.CSV", whole + cut_row, hist_kinds);
    ASSERT_EQ(r.tables.size(), 1u);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("line 8"), std::string::npos);

    // A profile table broken off by the next title: named by its own title
    // line and the line where it stops.
    std::vector<std::vector<double>> v(10, {1, 2, 3, 4});  // W = 20: 10 rows
    const std::string row = profile_text(true, source("F.NEF", 20, 8, 0, 0), 0, v);
    const std::string short_row = profile_text(true, source("F.NEF", 20, 8, 0, 0), 0, {v.begin(), v.begin() + 6});
    const std::string col = profile_text(false, source("F.NEF", 20, 8, 0, 0), 0, {v.begin(), v.begin() + 4});
    r = parse_report("RCDN.CSV", short_row + col + row, profile_kinds);
    ASSERT_EQ(r.tables.size(), 2u);
    EXPECT_EQ(r.tables[0].kind, TableKind::profile_col);
    EXPECT_EQ(r.tables[0].position, 2);
    EXPECT_EQ(r.tables[1].position, 3);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "Warning:  RCDN.CSV line 1: Ave-row DN values table cut off at line 9; skipped.");

    // The last line cut inside a number still reads as one: without its end
    // of line it does not count.
    const std::string cut_number = row.substr(0, row.size() - 3);
    r = parse_report("RCDN.CSV", row + cut_number, profile_kinds);
    ASSERT_EQ(r.tables.size(), 1u);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("line 13: Ave-row DN values table cut off by the end of the file"), std::string::npos)
        << r.warnings[0];

    // A spectrum table without its RMS line at the end of the file.
    const std::string dft = spectrum_text("Ave-row DFT coef mags", source("F.NEF", 8, 8, 0, 0), false, 0, 8,
                                          {flat(1), flat(2), flat(3)}, rms5);
    r = parse_report("DFT.CSV", dft + dft.substr(0, dft.rfind("  RMS:")), spectrum_kinds);
    ASSERT_EQ(r.tables.size(), 1u);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "Warning:  DFT.CSV line 7: Ave-row DFT coef mags table cut off by the end of the file; skipped.");
}

TEST(ReportTables, TablesOutOfShapeAreSkipped)
{
    const std::string src = source("DARK1.NEF", 200, 200, 4, 4);
    std::string bad = histogram_text(src, 1, 2, {{0, 0, 0, 0}, {1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}, {4, 4, 4, 4}});
    bad.replace(bad.find("     3,"), 7, "     4,");  // bases 1, 4, 5, 7: not evenly spaced
    ParsedReport r = parse_report("HQUORVA.CSV", bad, hist_kinds);
    EXPECT_TRUE(r.tables.empty());
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("not in the expected form"), std::string::npos);

    // A spectrum table whose rows do not reach the end of its frequency range.
    const std::string dft = spectrum_text("Ave-row DFT coef mags", source("F.NEF", 16, 8, 0, 0), false, 0, 16,
                                          {flat(1), flat(2), flat(3)}, rms5);  // f = 0, 2, 4 of 0..8
    r = parse_report("DFT.CSV", dft, spectrum_kinds);
    EXPECT_TRUE(r.tables.empty());
    EXPECT_EQ(r.warnings.size(), 1u);
}

TEST(ReportTables, NanCellsReadAsNotANumber)
{
    std::vector<std::vector<double>> v(3, {1, 2, 3, 4});
    std::string text = profile_text(true, source("N.NEF", 6, 4, 10, 0), 10, v);
    text.replace(text.find("     2.000"), 10, "       nan");
    const ParsedReport r = parse_report("RCDN.CSV", text, profile_kinds);
    ASSERT_EQ(r.tables.size(), 1u);
    EXPECT_TRUE(std::isnan(r.tables[0].values[0][2]));
    EXPECT_EQ(r.tables[0].values[1][2], 2.0);
}

TEST(StatsLog, RecordsWithCommasInNames)
{
    const std::string log =
        "Image Statistics for Uncomp. 14-bit NEF files\n"
        "Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, Bclip, Wclip, From Hist:, Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, Files, Window\n"
        " 41.47, 61.22, 31.92,27.57,37.57,22.39, 7.1, 0.0, From Hist:,  40.36, 59.84, 30.48, 29.60, 40.43, 24.98, "
        "D,1.NEF minus D - 2.NEF, w200, h200, x4, y4\n"
        "2099.86,3890.31,1498.18,38.48,57.60,37.23, 0.0, 0.0, , , , , , , , FLAT1.TIF, w40, h20, x3, y5\n"
        " 41.47, 61.22, 31.92,27.57,37.57,22.39, 7.1, 0.0, From Hist:,  1.00";
    const std::vector<StatsRecord> records = parse_stats_log(log);
    ASSERT_EQ(records.size(), 2u);  // the last line is cut short
    EXPECT_EQ(records[0].files, "D,1.NEF minus D - 2.NEF");
    EXPECT_TRUE(records[0].from_hist);
    EXPECT_EQ(records[0].hist_ave[1], 59.84);
    EXPECT_EQ(records[0].hist_sd[2], 24.98);
    EXPECT_EQ(records[0].hist_sd_text[0], "29.60");
    EXPECT_EQ(records[0].width, 200);
    EXPECT_EQ(records[0].line, 3);
    EXPECT_FALSE(records[1].from_hist);
    EXPECT_EQ(records[1].files, "FLAT1.TIF");
    EXPECT_EQ(records[1].x, 3);

    TableSource s;
    ASSERT_TRUE(parse_table_source(", file D,1.NEF - D - 2.NEF, Window 200x200 at X=4 Y=4", s));
    EXPECT_TRUE(same_source(s, records[0]));
    EXPECT_EQ(find_fit_record(records, s), &records[0]);
    ASSERT_TRUE(parse_table_source(", file D,1.NEF - D - 2.NEF, Window 200x200 at X=4 Y=6", s));
    EXPECT_FALSE(same_source(s, records[0]));
    ASSERT_TRUE(parse_table_source(", file D,1.NEF, Window 200x200 at X=4 Y=4", s));
    EXPECT_FALSE(same_source(s, records[0]));
    ASSERT_TRUE(parse_table_source(", file FLAT1.TIF, Window 40x20 at X=3 Y=5", s));
    EXPECT_TRUE(same_source(s, records[1]));
    EXPECT_EQ(find_fit_record(records, s), nullptr);  // no histogram-derived figures
}
