#include "ptc/ptc_fit.h"

#include <cmath>

namespace {

// Quantisation noise of rounding to whole DN, and the floor that keeps the
// read-noise estimate defined for very quiet sensors (DN^2).
constexpr double quantisation_variance = 1.0 / 12.0;
constexpr double min_dark_variance = 0.24;

const char* const colour_name[3] = {"Red", "Green", "Blue"};

}  // namespace

LineFitResult fit_through_origin(const std::vector<double>& x, const std::vector<double>& y,
                                 const std::vector<double>& weights)
{
    LineFitResult r;
    auto weight = [&](size_t i) { return weights.empty() ? 1.0 : weights[i]; };
    double sxx = 0, sxy = 0, sw = 0, swy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sxx += weight(i) * x[i] * x[i];
        sxy += weight(i) * x[i] * y[i];
        sw += weight(i);
        swy += weight(i) * y[i];
    }
    if (sxx <= 0)
        return r;
    r.slope = sxy / sxx;
    const double mean_y = swy / sw;
    double ss_res = 0, ss_tot = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double e = y[i] - r.slope * x[i];
        ss_res += weight(i) * e * e;
        ss_tot += weight(i) * (y[i] - mean_y) * (y[i] - mean_y);
    }
    if (x.size() > 1)
        r.slope_stderr = std::sqrt(ss_res / static_cast<double>(x.size() - 1) / sxx);
    r.r_squared = ss_tot > 0 ? 1.0 - ss_res / ss_tot : 1.0;
    return r;
}

LineFitResult fit_with_intercept(const std::vector<double>& x, const std::vector<double>& y,
                                 const std::vector<double>& weights)
{
    LineFitResult r;
    if (x.size() < 2)
        return r;
    auto weight = [&](size_t i) { return weights.empty() ? 1.0 : weights[i]; };
    double sw = 0, mx = 0, my = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sw += weight(i);
        mx += weight(i) * x[i];
        my += weight(i) * y[i];
    }
    mx /= sw;
    my /= sw;
    double sxx = 0, sxy = 0, syy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sxx += weight(i) * (x[i] - mx) * (x[i] - mx);
        sxy += weight(i) * (x[i] - mx) * (y[i] - my);
        syy += weight(i) * (y[i] - my) * (y[i] - my);
    }
    if (sxx <= 0)
        return r;
    r.slope = sxy / sxx;
    r.intercept = my - r.slope * mx;
    double ss_res = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double e = y[i] - (r.intercept + r.slope * x[i]);
        ss_res += weight(i) * e * e;
    }
    if (x.size() > 2)
        r.slope_stderr = std::sqrt(ss_res / static_cast<double>(x.size() - 2) / sxx);
    r.r_squared = syy > 0 ? 1.0 - ss_res / syy : 1.0;
    return r;
}

bool fit_colour(int colour, const PairStats& dark, const std::vector<PairStats>& flats, const FitOptions& options,
                ColourFit& fit, std::string& error)
{
    const std::string name = colour_name[colour];
    fit = ColourFit{};
    fit.read_noise_from_intercept = options.black_level.has_value();
    fit.dark_mu = options.black_level ? *options.black_level : dark.mu[colour];
    fit.dark_var = dark.var[colour];

    for (size_t i = 0; i < flats.size(); ++i) {
        const PairStats& f = flats[i];
        PtcPoint p;
        p.mu = f.mu[colour];
        p.var = f.var[colour];
        p.net_mu = p.mu - fit.dark_mu;
        // A clipped dark pair gives no usable dark variance: the fit's
        // intercept takes its place.
        p.net_var = fit.read_noise_from_intercept ? p.var : p.var - fit.dark_var;
        p.clipped = f.max_share[colour] > 0;
        if (i > 0 && p.mu < fit.points.back().mu) {
            error = name + ": the mean falls from " + std::to_string(fit.points.back().mu) + " to " +
                    std::to_string(p.mu) + " DN as the exposure rises (flat pair " + std::to_string(i + 1) + ")";
            return false;
        }
        fit.points.push_back(p);
    }
    if (fit.points.empty()) {
        error = "the plan has no flat pair";
        return false;
    }

    // Saturation: the largest variance, ties going to the brighter point.
    int sat = static_cast<int>(fit.points.size()) - 1;
    for (int i = sat - 1; i >= 0; --i)
        if (fit.points[static_cast<size_t>(i)].var > fit.points[static_cast<size_t>(sat)].var)
            sat = i;
    fit.saturation = sat;
    fit.saturation_reached = sat + 1 < static_cast<int>(fit.points.size());
    const double limit = options.fit_max * fit.points[static_cast<size_t>(sat)].net_mu;

    std::vector<double> x, y, weights;
    for (int i = 0; i <= sat; ++i) {
        PtcPoint& p = fit.points[static_cast<size_t>(i)];
        p.in_fit = !p.clipped && p.net_mu > 0 && p.net_mu <= limit;
        if (!p.in_fit)
            continue;
        if (p.net_var < 0) {
            error = name + ": negative net variance " + std::to_string(p.net_var) + " DN^2 at flat pair " +
                    std::to_string(i + 1) + " inside the fit range";
            return false;
        }
        x.push_back(p.net_mu);
        y.push_back(p.net_var);
        // A variance measured from n samples is uncertain in proportion to
        // itself: weighting by 1 / var^2 lets the quiet points set the intercept.
        weights.push_back(p.var > 0 ? 1.0 / (p.var * p.var) : 1.0);
    }
    fit.used = static_cast<int>(x.size());
    if (fit.used < options.min_points) {
        error = name + ": only " + std::to_string(fit.used) + " flat points in the fit range, at least " +
                std::to_string(options.min_points) + " needed";
        return false;
    }

    fit.origin = fit_through_origin(x, y, weights);
    fit.free = fit_with_intercept(x, y, weights);
    fit.K = fit.read_noise_from_intercept ? fit.free.slope : fit.origin.slope;
    if (!(fit.K > 0)) {
        error = name + ": the gain comes out as " + std::to_string(fit.K) + " DN per electron";
        return false;
    }
    for (PtcPoint& p : fit.points)
        p.residual = p.net_var - (fit.read_noise_from_intercept ? fit.free.intercept : 0.0) - fit.K * p.net_mu;

    const double read_variance = fit.read_noise_from_intercept ? fit.free.intercept : fit.dark_var;
    fit.sigma_y_dark = std::sqrt(std::max(read_variance, 0.0));
    fit.sigma_d = std::sqrt(std::max(read_variance, min_dark_variance) - quantisation_variance) / fit.K;
    if (fit.saturation_reached) {
        const double u = fit.points[static_cast<size_t>(sat)].net_mu / fit.K;
        fit.u_e_sat = u;
        fit.snr_max = std::sqrt(u);
        const double dr = u / fit.sigma_d;
        fit.dr_db = 20.0 * std::log10(dr);
        fit.dr_bits = std::log2(dr);
        fit.dr_stops = std::log2(dr);
    }
    return true;
}
