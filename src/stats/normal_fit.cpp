#include "stats/normal_fit.h"

#include <cmath>
#include <limits>

#include "reports/text_out.h"

namespace {

// Range: (K + 1.5) SDs above the average, widened for the share of green
// samples clipped at 0, spread over at most 254 bins.
constexpr double range_margin_sds = 1.5;
constexpr double percent = 100.0;
constexpr int32_t range_bins = 255;

// The sweep integrates the normal density from z = -6 in steps of 0.001,
// taking the density at the middle of each step. The area is kept times
// sqrt(2 pi); 2.47e-9 is the normal probability below -6 on that scale.
constexpr double sqrt_two_pi = 2.506628275;
constexpr double sweep_start_z = -6.0;
constexpr double sweep_start_area = 2.47e-9;
constexpr double sweep_step = 0.001;
constexpr double sweep_half_step = 0.0005;
constexpr double sweep_end_z = 6.0;

// Width of the fit band below K, in SDs.
constexpr double fit_band_width = 1.3;

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// Scores stay within a few units of the sweep for any proper fraction; the
// guard only keeps the narrowing defined.
float stored_score(double score)
{
    constexpr double largest = std::numeric_limits<float>::max();
    if (score > largest)
        return std::numeric_limits<float>::infinity();
    if (score < -largest)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(score);
}

}  // namespace

DerivedBins derived_bins(double K, double green_sd, double green_ave, double zero_rate)
{
    DerivedBins result;
    // All green samples at 0 leave nothing to size the range from.
    if (!(zero_rate < percent))
        return result;
    const double range = ((K + range_margin_sds) * green_sd * percent / (percent - zero_rate)) + green_ave + 1;
    // Truncation toward zero must land in the signed 32-bit range. A negative
    // range cannot come from a reported average (it includes + 0.5) and an SD.
    if (!(range > -1.0 && range < 2147483648.0))
        return result;
    result.defined = true;
    result.range = static_cast<int32_t>(range);
    result.width = result.range / range_bins + 1;
    result.bins = result.range / result.width;
    return result;
}

void normal_scores(const uint32_t* counts, int32_t bins, double total, double& step_area, float* scores)
{
    double z = sweep_start_z;
    double area = sweep_start_area;
    double running = 0;
    for (int32_t j = 0; j < bins; ++j) {
        running = running + counts[j];
        const double fraction = running / total;
        // z and area never go back: the sweep crosses -6 .. 6 once per colour.
        while (fraction > area / sqrt_two_pi && z < sweep_end_z) {
            const double t = z + sweep_half_step;
            step_area = std::exp(t * t / -2.0) * sweep_step;
            area = area + step_area;
            z = z + sweep_step;
        }
        scores[j] = stored_score(z - (area / sqrt_two_pi - fraction) / (step_area / sweep_step));
    }
}

LineFit fit_normal_line(const float* scores, int32_t bins, int32_t width, double K, double channel_scale,
                        TextBuffer* debug)
{
    const LineFit undefined{not_a_number, not_a_number};

    // Reference point: the first bin above the median.
    int32_t j0 = 0;
    while (j0 < bins && !(scores[j0] > 0))
        ++j0;
    if (j0 == bins)
        return undefined;
    const int64_t x0 = bin_fit_dn(j0, width);
    const double z0 = scores[j0];

    double weight_sum = 0;
    double hist_ave = 0;
    double hist_sd = 0;
    for (int32_t j = j0 + 1; j < bins; ++j) {
        const double zj = scores[j];
        if (!(K - fit_band_width < zj && zj < K))
            continue;
        const int64_t xj = bin_fit_dn(j, width);
        const double w = std::exp(zj * zj / -2.0);
        weight_sum += w;
        // A bin with the reference score gives a vertical line: no estimate.
        const double dz = zj - z0;
        const double s = dz != 0 ? static_cast<double>(xj - x0) / dz : not_a_number;
        hist_sd += s * w;
        const double m = static_cast<double>(x0) - z0 * s;
        hist_ave += m * w;
        if (debug)
            add_text(*debug, "j=%d, SD=%6.4lf, Mean=%6.3lf\n", j, printable(s), printable(m));
    }
    if (weight_sum == 0)
        return undefined;
    hist_sd = hist_sd / (weight_sum / channel_scale);
    hist_ave = hist_ave / (weight_sum / channel_scale);
    return {hist_ave, hist_sd};
}
