#include "ptc/censored_dark.h"

#include <cmath>
#include <numbers>

namespace {

// The share of the samples above which the values are not used, and how far
// above the mean a sample is no longer of the distribution.
constexpr double top_share = 0.99;
constexpr double outlier_sds = 6.0;

double density(double z)
{
    return std::exp(-z * z / 2) / std::sqrt(2 * std::numbers::pi);
}

double inverse_cumulative(double p)
{
    double lo = -40, hi = 40;
    for (int i = 0; i < 100; ++i) {
        const double z = (lo + hi) / 2;
        (std::erfc(-z / std::sqrt(2.0)) / 2 < p ? lo : hi) = z;
    }
    return (lo + hi) / 2;
}

// The straight line through the edges below the top share, the shares taken
// of `total` samples: value k covers the signals from k - 1/2 to k + 1/2, so
// the share F below k + 1/2 puts that edge at mean + sd x z(F); each edge is
// weighted as its share is known (binomially).
struct EdgeFit {
    int edges = 0;
    double mean = 0, sd = 0;
};

EdgeFit fit_edges(const std::vector<int64_t>& counts, double total)
{
    double below = 0, sw = 0, sz = 0, szz = 0, sx = 0, szx = 0;
    EdgeFit fit;
    for (size_t k = 0; k + 1 < counts.size(); ++k) {
        below += static_cast<double>(counts[k]);
        const double F = below / total;
        if (!(F > 0 && F < top_share))
            continue;
        const double z = inverse_cumulative(F), x = static_cast<double>(k) + 0.5;
        const double w = density(z) * density(z) / (F * (1 - F));
        sw += w;
        sz += w * z;
        szz += w * z * z;
        sx += w * x;
        szx += w * z * x;
        ++fit.edges;
    }
    const double det = sw * szz - sz * sz;
    if (fit.edges >= 2 && det > 0) {
        fit.sd = (sw * szx - sz * sx) / det;
        fit.mean = (sx - fit.sd * sz) / sw;
    }
    return fit;
}

}  // namespace

std::optional<CensoredNormal> censored_normal(const std::vector<int64_t>& counts)
{
    double total = 0;
    for (int64_t c : counts)
        total += static_cast<double>(c);
    const double zeros = counts.empty() ? 0.0 : static_cast<double>(counts[0]);
    CensoredNormal out;
    EdgeFit fit = fit_edges(counts, total);
    if (fit.edges == 1 && zeros > total / 2) {
        // Nearly every sample is 0 (a noise well below 1 DN): with the black
        // level at 0, the share of zeros alone gives the spread.
        const double F = zeros / total;
        const double z = inverse_cumulative(F);
        const double sd = 0.5 / z;
        const double sd_se = sd / z * std::sqrt(F * (1 - F) / total) / density(z);
        out.variance = sd * sd + 1.0 / 12;
        out.variance_se = 2 * sd * sd_se;
        out.mean_se = sd_se;
        return out;
    }
    // Samples far above the distribution (hot and stuck pixels) would lower
    // every share: they are taken out of the total and the line fitted again.
    for (int pass = 0; pass < 3 && fit.sd > 0; ++pass) {
        double far = 0;
        for (size_t k = 0; k < counts.size(); ++k)
            if (static_cast<double>(k) - 0.5 > fit.mean + outlier_sds * fit.sd)
                far += static_cast<double>(counts[k]);
        fit = fit_edges(counts, total - far);
    }
    if (!(fit.sd > 0))
        return std::nullopt;
    // Errors as of a normal sample of the values above the cut, a tenth wider
    // (what repeated series show).
    const double above = total - zeros;
    out.mean = fit.mean;
    out.mean_se = fit.sd * std::sqrt(2.0 / above);
    out.variance = fit.sd * fit.sd + 1.0 / 12;
    out.variance_se = fit.sd * fit.sd * std::sqrt(2.4 / above);
    return out;
}
