// Reading the report files back: title lines read from the right, broken
// tables skipped, tables paired by run, the statistics records, and files of
// any size read without harm.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

#include "plot/report_index.h"
#include "plot/report_text.h"
#include "plot/stats_log.h"

using namespace plot;
using namespace plot_test;

namespace {

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
    EXPECT_EQ(std::vector<long>({s.width, s.height, s.x, s.y}), std::vector<long>({200, 100, 4, 6}));
    // A name that itself looks like a window: the last one is the window.
    ASSERT_TRUE(parse_title_line("Ave. Row-ACF, file X, Window 3x3 at X=1 Y=1.TIF, Window 24x16 at X=1 Y=-3",
                                 spectrum_kinds, kind, s));
    EXPECT_EQ(s.files, "X, Window 3x3 at X=1 Y=1.TIF");
    EXPECT_EQ(std::vector<long>({s.width, s.height, s.x, s.y}), std::vector<long>({24, 16, 1, -3}));
    for (const char* other : {"Histogram data, file A.NEF, Window 200x100 at X=4", "Histogram data, file , Window 2x1 at X=4 Y=6",
                              "Histogram data, file A.NEF, Window 200x100 at X=4 Y=6 ",
                              "Histogram date, file A.NEF, Window 200x100 at X=4 Y=6",
                              "Ave-row DN values, file A.NEF, Window 20x10 at X=4 Y=6"})  // not a kind asked for
        EXPECT_FALSE(parse_title_line(other, hist_kinds, kind, s)) << other;
}

TEST(ReportTables, BrokenTablesAreSkippedWithFileAndLine)
{
    const std::string hist = histogram_text(source("D.NEF", 200, 200, 4, 4), 1, 1,
                                            {{9, 9, 9, 9}, {1, 2, 3, 4}, {5, 6, 7, 8}, {0, 0, 0, 1}});  // 7 lines
    std::string uneven = histogram_text(source("D.NEF", 200, 200, 4, 4), 1, 2, std::vector<std::vector<long>>(5, {1, 1, 1, 1}));
    uneven.replace(uneven.find("     3,"), 7, "     4,");  // bases 1, 4 (a width of 3), then 5 where 7 belongs
    const std::vector<std::vector<double>> v(10, {1, 2, 3, 4});
    const std::string src = source("F.NEF", 20, 8, 0, 0);
    const std::string prow = profile_text(true, src, 0, v);  // W = 20: 10 rows
    const std::string cut_row = profile_text(true, src, 0, {v.begin(), v.begin() + 6}) + profile_text(false, src, 0, {v.begin(), v.begin() + 4});
    const std::string dft = spectrum_text("Ave-row DFT coef mags", source("F.NEF", 8, 8, 0, 0), false, 0, 8, rows_of(3, 1));
    std::string gap = spectrum_text("Ave-row DFT coef mags", source("F.NEF", 16, 8, 0, 0), false, 0, 16, rows_of(5, 1));
    const size_t row_4 = gap.find("\n    4,");
    gap.erase(row_4, gap.find('\n', row_4 + 1) - row_4);  // f = 0, 2, 6, 8
    const struct {
        std::span<const TableKind> kinds;
        std::string text;
        size_t tables;
        std::string warning;
    } cases[] = {
        {hist_kinds, hist + hist.substr(0, hist.size() - 1), 1,
         "Warning:  REPORT.CSV line 8: Histogram data table cut off by the end of the file; skipped."},
        {profile_kinds, cut_row + prow, 2, "Warning:  REPORT.CSV line 1: Ave-row DN values table cut off at line 9; skipped."},
        // The last line cut inside a number: without its end of line it does not count.
        {profile_kinds, prow + prow.substr(0, prow.size() - 3), 1,
         "Warning:  REPORT.CSV line 13: Ave-row DN values table cut off by the end of the file; skipped."},
        {spectrum_kinds, dft + dft.substr(0, dft.rfind("  RMS:")), 1,
         "Warning:  REPORT.CSV line 7: Ave-row DFT coef mags table cut off by the end of the file; skipped."},
        {hist_kinds, uneven, 0, "Warning:  REPORT.CSV line 1: Histogram data table out of its form at line 6; skipped."},
        // Rows f = 0, 2, 4 do not reach the end of 0 .. 8.
        {spectrum_kinds, spectrum_text("Ave-row DFT coef mags", source("F.NEF", 16, 8, 0, 0), false, 0, 16, rows_of(3, 1)),
         0, "Warning:  REPORT.CSV line 1: Ave-row DFT coef mags table out of its form at line 6; skipped."},
        {spectrum_kinds, gap, 0, "Warning:  REPORT.CSV line 1: Ave-row DFT coef mags table out of its form at line 5; skipped."},
        // A header that is not the table's.
        {hist_kinds, "Histogram data" + source("D.NEF", 2, 2, 0, 0) + "Bin base, R\n", 0,
         "Warning:  REPORT.CSV line 1: Histogram data table cut off at line 2; skipped."},
    };
    for (const auto& c : cases) {
        std::vector<std::string> warnings;
        EXPECT_EQ(read_tables(c.text, c.kinds, &warnings).size(), c.tables) << c.warning;
        EXPECT_EQ(warnings, std::vector<std::string>{c.warning});
    }
    // The positions count every title, the skipped ones too.
    const std::vector<ReportTable> t = read_tables(cut_row + prow, profile_kinds);
    EXPECT_EQ(t.at(0).position, 2);
    EXPECT_EQ(t.at(1).position, 3);
}

TEST(ReportIndex, AFileOfAnySizeReadAsAStreamItsTablesPairedInLinearTime)
{
    // 300 MB without a line end (a sparse file), then 200,000 one-row profile
    // tables of one run, row, column, row ... (a quadratic pairing takes
    // minutes): the reader keeps neither the file nor the overlong line, and
    // each table pairs with the next.
    const ScratchDir dir;
    dir.put_text("RCDN.CSV", "");
    std::filesystem::resize_file("RCDN.CSV", 300u << 20);
    {
        std::ofstream out("RCDN.CSV", std::ios::app);
        const std::string row = profile_text(true, source("A.NEF", 2, 2, 0, 0), 0, {{1, 2, 3, 4}});
        const std::string col = profile_text(false, source("A.NEF", 2, 2, 0, 0), 0, {{1, 2, 3, 4}});
        out << '\n';
        for (int i = 0; i < 100000; ++i)
            out << row << col;
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    ReportIndex index;
    ASSERT_TRUE(index_report("RCDN.CSV", "RCDN.CSV", profile_kinds, index));
    const std::vector<TablePair> pairs = pair_tables(index, TableKind::profile_row, TableKind::profile_col);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    ASSERT_EQ(pairs.size(), 100000u);
    EXPECT_EQ(index.tables.at(pairs.front().row).line, 2);
    EXPECT_EQ(index.tables.at(pairs.back().col).line, 600001 - 2);
    EXPECT_EQ(index.sources.size(), 1u);
    ReportTable t;
    std::string warning;
    ASSERT_TRUE(load_table(index, index.tables.back(), t, warning));
    EXPECT_EQ(t.row_count(), 1u);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "kilobytes";
}

TEST(StatsLog, RecordsFindTheTablesOfTheirRun)
{
    // After the heading: names with commas as older records wrote them, and
    // as ';' as they are written now; a record cut short.
    const ScratchDir dir;
    dir.put_text("QUORVA.CSV",
                 "Image Statistics for Uncomp. 14-bit NEF files\nAve R, Ave G, Ave B, Sd R, Sd G, Sd B, Bclip, Wclip, "
                 "From Hist:, Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, Files, Window\n"
                 " 41.47, 61.22, 31.92,27.57,37.57,22.39, 7.1, 0.0, From Hist:,  40.36, 59.84, 30.48, 29.60, 40.43, "
                 "24.98, D,1.NEF minus D - 2.NEF, w200, h200, x4, y4\n"
                 "2099.86,3890.31,1498.18,38.48,57.60,37.23, 0.0, 0.0, , , , , , , , F;1.TIF, w40, h20, x3, y5\n"
                 "2099.86,3890.31,1498.18,38.48,57.60,37.23, 0.0, 0.0, From Hist:,  1.00\n");
    StatsRecords records;
    std::string warning;
    ASSERT_TRUE(records.read("QUORVA.CSV", "QUORVA.CSV", warning));
    TableSource pair, flat, other;
    ASSERT_TRUE(parse_table_source(", file D,1.NEF - D - 2.NEF, Window 200x200 at X=4 Y=4", pair));
    ASSERT_TRUE(parse_table_source(", file F,1.TIF, Window 40x20 at X=3 Y=5", flat));
    ASSERT_TRUE(parse_table_source(", file F,1.TIF, Window 40x20 at X=3 Y=6", other));
    const StatsRecord* fit = records.find(pair, true);
    ASSERT_NE(fit, nullptr);
    EXPECT_EQ(fit->line, 3);
    EXPECT_EQ(fit->hist_ave[1], 59.84);
    EXPECT_EQ(fit->hist_sd_text[0], "29.60");
    EXPECT_EQ(fit->sd[2], 22.39);
    ASSERT_NE(records.find(flat, false), nullptr);
    EXPECT_EQ(records.find(flat, false)->sd[1], 57.60);
    EXPECT_EQ(records.find(flat, true), nullptr);  // no histogram-derived figures
    EXPECT_EQ(records.find(other, false), nullptr);
}
