// Report tables written the way quorva and veldix write them, a temporary
// directory, and the worked examples' report files.
#pragma once

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace plot_test {

__attribute__((format(printf, 1, 2))) inline std::string format(const char* f, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, f);
    std::vsnprintf(buffer, sizeof buffer, f, args);
    va_end(args);
    return buffer;
}

// ", file A[ - B], Window WxH at X=x Y=y\n"
inline std::string source(const std::string& files, long w, long h, long x, long y)
{
    return ", file " + files + format(", Window %ldx%ld at X=%ld Y=%ld\n", w, h, x, y);
}

// counts[k] for k = 0 .. N + 1, four planes each.
inline std::string histogram_text(const std::string& src, int start, int width, const std::vector<std::vector<long>>& counts)
{
    std::string t = "Histogram data" + src + "Bin base,  Red cnt, Green1 cnt,  Blue cnt, Green2 cnt\n";
    const int bins = static_cast<int>(counts.size()) - 2;
    for (int k = 0; k < bins + 2; ++k) {
        const int base = k == 0 ? 0 : start + (k - 1) * width;
        t += format("%6d, %9ld, %9ld, %9ld, %9ld\n", base, counts[k][0], counts[k][1], counts[k][2], counts[k][3]);
    }
    return t + "\n";
}

// Scores of Red, Green, Blue for bins j = 0 .. N - 1 of width B.
inline std::string normality_text(const std::string& src, int width, const std::vector<std::vector<double>>& z)
{
    std::string t = "Normality curves" + src + "  DN,      Red,       Green,        Blue,  (SD's above Ave.)\n";
    for (size_t j = 0; j < z.size(); ++j) {
        const int dn = j == 0 ? 0 : (static_cast<int>(j) - 1) * width + 1;
        t += format("%4d, %10.3lf, %10.3lf, %10.3lf\n", dn, z[j][0], z[j][1], z[j][2]);
    }
    return t + "\n";
}

// One row per column (row) pair: R, G1, B, G2.
inline std::string profile_text(bool rows, const std::string& src, long origin, const std::vector<std::vector<double>>& v)
{
    std::string t = std::string(rows ? "Ave-row DN values" : "Ave-col DN values") + src +
                    (rows ? "  x,        R,        G1,         B,        G2\n" : "  y,        R,        G1,         B,        G2\n");
    for (size_t i = 0; i < v.size(); ++i) {
        t += format(" %4d", static_cast<int>(origin + 2 * static_cast<long>(i)));
        for (double d : v[i])
            t += format(",%10.3f", d);
        t += "\n";
    }
    return t;
}

// A spectrum or autocorrelation table: rows f = first, first + 2 .. while f <= n / 2,
// each {G(f), G(f + 1), R, G1, B, G2}; the last row's G(f + 1) beyond n / 2 is 0.
inline std::string spectrum_text(const std::string& title, const std::string& src, bool acf, int first, int n,
                                 const std::vector<std::vector<double>>& v, const std::vector<double>& rms)
{
    std::string t = title + src +
                    (acf ? "   n,       G,      n,       G,       n,       R,        G1,         B,        G2\n"
                         : "   f,       G,      f,       G,       f,       R,        G1,         B,        G2\n");
    int f = first;
    for (const auto& r : v) {
        const double g1 = f + 1 > n / 2 ? 0.0 : r[1];
        t += format(" %4d,%10.3f, %4d,%10.3f,  %4d", f, r[0], f + 1, g1, f / 2);
        for (size_t c = 2; c < 6; ++c)
            t += format(",%10.3f", r[c]);
        t += "\n";
        f += 2;
    }
    t += format("  RMS:   ,      ,     ,%10.3lf,      ,%10.3lf,%10.3lf,%10.3lf,%10.3lf\n", rms[0], rms[1], rms[2], rms[3],
                rms[4]);
    return t;
}

inline std::string read_text(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_text(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline std::string example(const std::string& run, const std::string& file)
{
    return read_text(std::filesystem::path(EXAMPLES_DIR) / run / file);
}

// A fresh directory, removed with its contents at the end of the scope.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/reportplot-test-XXXXXX";
        if (::mkdtemp(pattern) != nullptr)
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace plot_test
