// Report tables written by hand in the programs' layout, the worked examples'
// report files, and tables read back through reportplot's own reader.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plot/report_index.h"
#include "reports/text_out.h"
#include "support/run_capture.h"

namespace plot_test {

inline constexpr plot::TableKind hist_kinds[] = {plot::TableKind::histogram, plot::TableKind::normality};
inline constexpr plot::TableKind profile_kinds[] = {plot::TableKind::profile_row, plot::TableKind::profile_col};
inline constexpr plot::TableKind spectrum_kinds[] = {plot::TableKind::ft_row,    plot::TableKind::ft_col,
                                                     plot::TableKind::multi_row, plot::TableKind::multi_col,
                                                     plot::TableKind::acf_row,   plot::TableKind::acf_col};

inline std::string source(const std::string& files, long w, long h, long x, long y)
{
    return text_of(", file %s, Window %ldx%ld at X=%ld Y=%ld\n", files.c_str(), w, h, x, y);
}

// counts[k] for k = 0 .. N + 1 (the outer counters first and last), four planes each.
inline std::string histogram_text(const std::string& src, int start, int width, const std::vector<std::vector<long>>& counts)
{
    std::string t = "Histogram data" + src + "Bin base,  Red cnt, Green1 cnt,  Blue cnt, Green2 cnt\n";
    for (size_t k = 0; k < counts.size(); ++k)
        t += text_of("%6d, %9ld, %9ld, %9ld, %9ld\n", k == 0 ? 0 : start + static_cast<int>(k - 1) * width, counts[k][0],
                     counts[k][1], counts[k][2], counts[k][3]);
    return t + "\n";
}

// One row per column (row) pair from origin: R, G1, B, G2.
inline std::string profile_text(bool rows, const std::string& src, long origin, const std::vector<std::vector<double>>& v)
{
    std::string t = std::string(rows ? "Ave-row DN values" : "Ave-col DN values") + src + (rows ? "  x" : "  y") +
                    ",        R,        G1,         B,        G2\n";
    for (size_t i = 0; i < v.size(); ++i)
        t += text_of(" %4ld,%10.3f,%10.3f,%10.3f,%10.3f\n", origin + 2 * static_cast<long>(i), v[i][0], v[i][1], v[i][2], v[i][3]);
    return t;
}

// Rows f = first, first + 2 .. of {G(f), G(f + 1), R, G1, B, G2}; the last
// row's G(f + 1) beyond n / 2 is written 0; then the RMS line (G 1, R 2, G1 3,
// B 4, G2 5).
inline std::string spectrum_text(const std::string& title, const std::string& src, bool acf, int first, int n,
                                 const std::vector<std::vector<double>>& v)
{
    const char* f_name = acf ? "n" : "f";
    std::string t = title + src +
                    text_of("   %s,       G,      %s,       G,       %s,       R,        G1,         B,        G2\n",
                            f_name, f_name, f_name);
    for (int f = first; const auto& r : v) {
        t += text_of(" %4d,%10.3f, %4d,%10.3f,  %4d,%10.3f,%10.3f,%10.3f,%10.3f\n", f, r[0], f + 1, f + 1 > n / 2 ? 0.0 : r[1],
                     f / 2, r[2], r[3], r[4], r[5]);
        f += 2;
    }
    return t + "  RMS:   ,      ,     ,     1.000,      ,     2.000,     3.000,     4.000,     5.000\n";
}

inline std::string example(const std::string& run, const std::string& file)
{
    return read_file(std::string(EXAMPLES_DIR) + "/" + run + "/" + file);
}

// The complete tables of the kinds in a report text, as reportplot reads
// them: the file indexed once, then each table read again with its rows.
// The warnings of both readings, in that order.
inline std::vector<plot::ReportTable> read_tables(const std::string& text, std::span<const plot::TableKind> kinds,
                                                  std::vector<std::string>* warnings = nullptr)
{
    const ScratchDir dir;
    dir.put_text("REPORT.CSV", text);
    plot::ReportIndex index;
    EXPECT_TRUE(plot::index_report("REPORT.CSV", "REPORT.CSV", kinds, index));
    std::vector<plot::ReportTable> tables;
    std::vector<std::string> said = index.warnings;
    for (const plot::TableEntry& entry : index.tables) {
        std::string warning;
        if (!plot::load_table(index, entry, tables.emplace_back(), warning)) {
            tables.pop_back();
            said.push_back(warning);
        }
    }
    if (warnings)
        *warnings = said;
    return tables;
}

}  // namespace plot_test
