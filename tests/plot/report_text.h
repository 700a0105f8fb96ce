// Report tables written the way quorva and veldix write them, the worked
// examples' report files, and checks of a drawing.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "plot/report_tables.h"
#include "plot/svg_plot.h"
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
                                 const std::vector<std::vector<double>>& v)
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
    return t + "  RMS:   ,      ,     ,     1.000,      ,     2.000,     3.000,     4.000,     5.000\n";
}

inline std::string example(const std::string& run, const std::string& file)
{
    return read_file(std::string(EXAMPLES_DIR) + "/" + run + "/" + file);
}

// The complete tables of the kinds in a report text.
inline std::vector<plot::ReportTable> read_tables(const std::string& text, std::span<const plot::TableKind> kinds,
                                                  std::vector<std::string>* warnings = nullptr)
{
    plot::TableReader reader("REPORT.CSV", kinds, plot::TableReader::Depth::rows);
    std::vector<plot::ReportTable> tables;
    size_t start = 0;
    int number = 1;
    auto note = [&](plot::TableReader::Event e) {
        if (e == plot::TableReader::Event::complete)
            tables.push_back(std::move(reader.table()));
        else if (e == plot::TableReader::Event::skipped && warnings)
            warnings->push_back(reader.warning());
    };
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        plot::Line line;
        line.text = std::string_view(text).substr(start, end == std::string::npos ? std::string::npos : end - start);
        line.terminated = end != std::string::npos;
        line.number = number++;
        line.offset = start;
        note(reader.feed(line));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    note(reader.finish());
    return tables;
}

// Every text inside the figure and apart from every other; the legend and
// the labels off the data.
inline void expect_clear_layout(const plot::Drawing& d, double width, double height)
{
    const plot::Rect page{0, 0, width, height};
    for (size_t i = 0; i < d.texts.size(); ++i) {
        EXPECT_TRUE(page.holds(d.texts[i].box)) << d.texts[i].text;
        for (size_t j = i + 1; j < d.texts.size(); ++j)
            EXPECT_FALSE(d.texts[i].box.overlaps(d.texts[j].box)) << d.texts[i].text << " | " << d.texts[j].text;
    }
    std::vector<plot::Rect> keep_off = {d.legend};
    for (const plot::TextBox& l : d.labels)
        keep_off.push_back(l.box);
    for (const auto& line : d.data)
        for (size_t i = 0; i < line.size(); ++i) {
            const plot::Point a = line[i];
            const plot::Point b = i + 1 < line.size() ? line[i + 1] : a;
            const int steps = 1 + static_cast<int>(std::hypot(b.x - a.x, b.y - a.y));
            for (int k = 0; k <= steps; ++k) {
                const double t = static_cast<double>(k) / steps;
                const plot::Rect dot{a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), 0.01, 0.01};
                for (const plot::Rect& r : keep_off)
                    ASSERT_FALSE(r.overlaps(dot)) << "data at " << dot.x << "," << dot.y;
            }
        }
}

}  // namespace plot_test
