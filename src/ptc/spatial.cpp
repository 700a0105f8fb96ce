#include "ptc/spatial.h"

#include <algorithm>
#include <cmath>

#include "ptc/pair_reader.h"

namespace {

// Median of the values (reordered).
double median_of(std::vector<double>& v)
{
    if (v.empty())
        return 0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(mid), v.end());
    return v[mid];
}

template <typename Visit>
void for_plane(const PairPixels& pair, int plane, Visit visit)
{
    const PairWindow& w = pair.window;
    for (int64_t r = 0; r < w.height; ++r)
        for (int64_t c = 0; c < w.width; ++c)
            if (pair.plane_at(r, c) == plane)
                visit(r, c, static_cast<size_t>(r * w.width + c));
}

}  // namespace

std::vector<bool> stuck_pixels(const PairPixels& pair, const uint16_t clip[plane_count])
{
    const PairWindow& w = pair.window;
    std::vector<bool> stuck(static_cast<size_t>(w.width * w.height), false);
    for (int p = 0; p < plane_count; ++p)
        for_plane(pair, p, [&](int64_t, int64_t, size_t i) {
            stuck[i] = pair.frame[0][i] == clip[p] && pair.frame[1][i] == clip[p];
        });
    return stuck;
}

SpatialStats spatial_stats(const PairPixels& pair, const std::vector<bool>& stuck)
{
    SpatialStats out;
    const PairWindow& w = pair.window;
    for (int p = 0; p < plane_count; ++p) {
        PlaneSpatial& s = out.plane[p];
        // The plane's own grid: every other row and column of the window.
        const int64_t r0 = w.plane[0][0] == p || w.plane[0][1] == p ? 0 : 1;
        const int64_t c0 = w.plane[r0][0] == p ? 0 : 1;
        s.rows = (w.height - r0 + 1) / 2;
        s.columns = (w.width - c0 + 1) / 2;
        std::vector<double> image;
        double sum = 0, sum_d = 0, sum_d2 = 0;
        int64_t n = 0;
        for_plane(pair, p, [&](int64_t, int64_t, size_t i) {
            if (stuck[i])
                return;
            const double a = pair.frame[0][i], b = pair.frame[1][i];
            sum += a + b;
            sum_d += a - b;
            sum_d2 += (a - b) * (a - b);
            ++n;
        });
        s.n = n;
        if (n < 2 || s.rows < 2 || s.columns < 2)
            continue;
        const double nn = static_cast<double>(n);
        s.mean = sum / (2 * nn);
        s.temporal = sum_d2 / (2 * nn) - (sum_d / nn) * (sum_d / nn) / 2;
        // The mean image on the plane's grid, stuck pixels at the plane's mean.
        image.assign(static_cast<size_t>(s.rows * s.columns), s.mean);
        for_plane(pair, p, [&](int64_t r, int64_t c, size_t i) {
            if (!stuck[i])
                image[static_cast<size_t>((r / 2) * s.columns + c / 2)] = (pair.frame[0][i] + pair.frame[1][i]) / 2.0;
        });
        std::vector<double> row_means(static_cast<size_t>(s.rows), 0.0), column_means(static_cast<size_t>(s.columns), 0.0);
        for (int64_t r = 0; r < s.rows; ++r)
            for (int64_t c = 0; c < s.columns; ++c) {
                const double v = image[static_cast<size_t>(r * s.columns + c)];
                row_means[static_cast<size_t>(r)] += v / static_cast<double>(s.columns);
                column_means[static_cast<size_t>(c)] += v / static_cast<double>(s.rows);
            }
        // Two-way split of the sums of squares about the mean: rows, columns,
        // and what is left, each turned into an unbiased variance. The mean of
        // two frames holds half a frame's temporal variance, which acts as
        // pixel-to-pixel noise.
        const double M = static_cast<double>(s.rows), N = static_cast<double>(s.columns);
        double ss_total = 0, ss_rows = 0, ss_columns = 0;
        for (double v : image)
            ss_total += (v - s.mean) * (v - s.mean);
        for (double v : row_means)
            ss_rows += N * (v - s.mean) * (v - s.mean);
        for (double v : column_means)
            ss_columns += M * (v - s.mean) * (v - s.mean);
        s.pixel = (ss_total - ss_rows - ss_columns) / ((M - 1) * (N - 1)) - s.temporal / 2;
        s.row = ss_rows / (N * (M - 1)) - (s.pixel + s.temporal / 2) / N;
        s.column = ss_columns / (M * (N - 1)) - (s.pixel + s.temporal / 2) / M;
        s.total = s.row + s.column + s.pixel;
        // Both the mean image's variance and the temporal part taken out of
        // it are measured from n samples.
        s.total_se = std::hypot(ss_total / (M * N - 1), s.temporal / 2) * std::sqrt(2.0 / (nn - 1));
        s.median = median_of(image);
        for (double& v : image)
            v = std::fabs(v - s.median);
        s.spread = 1.4826 * median_of(image);
    }
    return out;
}

std::vector<bool> hot_pixels(const PairPixels& dark, const SpatialStats& dark_stats)
{
    std::vector<bool> hot(dark.frame[0].size(), false);
    for (int p = 0; p < plane_count; ++p) {
        const PlaneSpatial& d = dark_stats.plane[p];
        const double above = d.median + hot_threshold_spreads * std::max(d.spread, min_spread_dn);
        for_plane(dark, p, [&](int64_t, int64_t, size_t i) {
            hot[i] = (dark.frame[0][i] + dark.frame[1][i]) / 2.0 > above;
        });
    }
    return hot;
}

DefectCounts count_defects(const PairPixels& dark, const SpatialStats& dark_stats, const PairPixels& flat,
                           const SpatialStats& flat_stats, const std::vector<bool>& stuck)
{
    DefectCounts counts;
    const std::vector<bool> is_hot = hot_pixels(dark, dark_stats);
    for (int p = 0; p < plane_count; ++p) {
        const PlaneSpatial& d = dark_stats.plane[p];
        const PlaneSpatial& f = flat_stats.plane[p];
        const double net_median = f.median - d.median;
        int64_t hot = 0, dead = 0, weak = 0, stuck_count = 0;
        for_plane(flat, p, [&](int64_t, int64_t, size_t i) {
            if (stuck[i]) {
                ++stuck_count;
                return;
            }
            const double dark_value = (dark.frame[0][i] + dark.frame[1][i]) / 2.0;
            const double net = (flat.frame[0][i] + flat.frame[1][i]) / 2.0 - dark_value;
            hot += is_hot[i];
            if (net_median > 0) {
                dead += net < dead_share * net_median;
                weak += net >= dead_share * net_median && net < weak_share * net_median;
            }
        });
        for (int ch : channels_of_plane(p))
            if (ch >= 0) {
                counts.hot[ch] += hot;
                counts.dead[ch] += dead;
                counts.weak[ch] += weak;
                counts.stuck[ch] += stuck_count;
            }
    }
    return counts;
}
