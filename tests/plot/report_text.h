// Report tables written the way quorva and veldix write them, and the worked
// examples' report files.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "plot/report_tables.h"
#include "support/run_capture.h"

namespace plot_test {

inline constexpr plot::TableKind hist_kinds[] = {plot::TableKind::histogram, plot::TableKind::normality};
inline constexpr plot::TableKind profile_kinds[] = {plot::TableKind::profile_row, plot::TableKind::profile_col};
inline constexpr plot::TableKind spectrum_kinds[] = {plot::TableKind::ft_row,    plot::TableKind::ft_col,
                                                     plot::TableKind::multi_row, plot::TableKind::multi_col,
                                                     plot::TableKind::acf_row,   plot::TableKind::acf_col};

__attribute__((format(printf, 1, 2))) inline std::string format(const char* f, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, f);
    std::vsnprintf(buffer, sizeof buffer, f, args);
    va_end(args);
    return buffer;
}

inline std::string source(const std::string& files, long w, long h, long x, long y)
{
    return format(", file %s, Window %ldx%ld at X=%ld Y=%ld\n", files.c_str(), w, h, x, y);
}

// counts[k] for k = 0 .. N + 1 (the outer counters first and last), four planes each.
inline std::string histogram_text(const std::string& src, int start, int width, const std::vector<std::vector<long>>& counts)
{
    std::string t = "Histogram data" + src + "Bin base,  Red cnt, Green1 cnt,  Blue cnt, Green2 cnt\n";
    for (size_t k = 0; k < counts.size(); ++k)
        t += format("%6d, %9ld, %9ld, %9ld, %9ld\n", k == 0 ? 0 : start + static_cast<int>(k - 1) * width, counts[k][0],
                    counts[k][1], counts[k][2], counts[k][3]);
    return t + "\n";
}

// One row per column (row) pair from origin: R, G1, B, G2.
inline std::string profile_text(bool rows, const std::string& src, long origin, const std::vector<std::vector<double>>& v)
{
    std::string t = std::string(rows ? "Ave-row DN values" : "Ave-col DN values") + src + (rows ? "  x" : "  y") +
                    ",        R,        G1,         B,        G2\n";
    for (size_t i = 0; i < v.size(); ++i) {
        t += format(" %4ld", origin + 2 * static_cast<long>(i));
        for (double d : v[i])
            t += format(",%10.3f", d);
        t += "\n";
    }
    return t;
}

// Rows f = first, first + 2 .. of {G(f), G(f + 1), R, G1, B, G2}; the last
// row's G(f + 1) beyond n / 2 is written 0; then the RMS line.
inline std::string spectrum_text(const std::string& title, const std::string& src, bool acf, int first, int n,
                                 const std::vector<std::vector<double>>& v, const std::vector<double>& rms = {1, 2, 3, 4, 5})
{
    const char* f_name = acf ? "n" : "f";
    std::string t = title + src +
                    format("   %s,       G,      %s,       G,       %s,       R,        G1,         B,        G2\n",
                           f_name, f_name, f_name);
    int f = first;
    for (const auto& r : v) {
        t += format(" %4d,%10.3f, %4d,%10.3f,  %4d", f, r[0], f + 1, f + 1 > n / 2 ? 0.0 : r[1], f / 2);
        for (size_t c = 2; c < 6; ++c)
            t += format(",%10.3f", r[c]);
        t += "\n";
        f += 2;
    }
    return t + format("  RMS:   ,      ,     ,%10.3lf,      ,%10.3lf,%10.3lf,%10.3lf,%10.3lf\n", rms[0], rms[1], rms[2],
                      rms[3], rms[4]);
}

inline std::string example(const std::string& run, const std::string& file)
{
    return read_file(std::string(EXAMPLES_DIR) + "/" + run + "/" + file);
}

}  // namespace plot_test
