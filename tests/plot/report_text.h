// Report tables written by hand in the programs' layout, and the worked
// examples' report files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reports/text_out.h"
#include "support/report_reader.h"

namespace plot_test {

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

}  // namespace plot_test
