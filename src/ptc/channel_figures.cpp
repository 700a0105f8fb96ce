// The gain and the figures that follow from it.
#include <algorithm>
#include <cmath>

#include "ptc/characterise.h"
#include "ptc/ptc_outputs.h"
#include "reports/text_out.h"

namespace {

// Standard error of a pair's variance where the model puts it.
double model_var_se(double variance, int64_t n)
{
    return std::max(variance, 1e-12) * std::sqrt(2.0 / static_cast<double>(n - 1));
}

// K by weighted least squares, the weights from the fitted model (K x +
// dark variance), iterated: weights from the measured variances would favour
// the points that happen to come out low and bias K down.
void fit_gain(ChannelResult& r, bool with_intercept, double shared_dark_se)
{
    std::vector<size_t> index;
    std::vector<double> x, y, se;
    for (size_t i = 0; i < r.points.size(); ++i)
        if (r.points[i].in_fit) {
            index.push_back(i);
            x.push_back(r.points[i].net_mu);
            y.push_back(with_intercept ? r.points[i].var : r.points[i].net_var);
        }
    r.used = static_cast<int>(x.size());
    LineFit fit = fit_line(x, y, {}, with_intercept);
    se.assign(x.size(), 1.0);
    for (int pass = 0; pass < 6 && fit.ok; ++pass) {
        for (size_t k = 0; k < x.size(); ++k) {
            const PtcPoint& p = r.points[index[k]];
            const double var = (with_intercept ? fit.intercept : p.dark_var) + fit.slope * x[k];
            double v = model_var_se(var, p.n);
            // A dark pair of this point's own adds its error; one shared by all
            // points shifts them together and is counted below.
            if (!with_intercept && shared_dark_se == 0)
                v = std::hypot(v, p.dark_var_se);
            se[k] = v;
        }
        fit = fit_line(x, y, se, with_intercept);
    }
    r.gain_fit = fit;
    r.free_fit = with_intercept ? fit : fit_line(x, y, se, true);
    r.K = fit.slope;
    r.K_se = fit.slope_se;
    if (!with_intercept && shared_dark_se > 0 && fit.ok) {
        double swx = 0, swxx = 0;
        for (size_t k = 0; k < x.size(); ++k) {
            swx += x[k] / (se[k] * se[k]);
            swxx += x[k] * x[k] / (se[k] * se[k]);
        }
        r.K_se = std::hypot(r.K_se, shared_dark_se * swx / swxx);
    }
    for (size_t k = 0; k < x.size(); ++k) {
        PtcPoint& p = r.points[index[k]];
        p.residual_z = (y[k] - fit.at(x[k])) / se[k];
    }
    for (PtcPoint& p : r.points)
        p.residual = (with_intercept ? p.var : p.net_var) - fit.at(p.net_mu);
}

void dark_noise(const std::string& name, ChannelResult& r, const std::vector<DarkLevel>& darks,
                const FitOptions& options)
{
    if (options.black_level) {
        r.dark_var = r.gain_fit.intercept;
        r.dark_var_se = r.gain_fit.intercept_se;
        r.dark_label = "the intercept of the fit (black level given)";
        r.dark_at_zero = true;
    } else if (r.dark_fits) {
        r.dark_var = r.dark_var_fit.intercept;
        r.dark_var_se = r.dark_var_fit.intercept_se;
        r.dark_label = "at 0 s: the intercept of the dark pairs against exposure";
        r.dark_at_zero = true;
    } else {
        const DarkLevel& d = darks[0];
        r.dark_var = d.m.var;
        r.dark_var_se = d.var_se;
        r.dark_label = std::isnan(d.t) ? "the dark pair" : text_of("the dark pair at %g s", d.t);
    }
    const double K = r.K, v = r.dark_var, se = r.dark_var_se;
    if (v + 3 * se < 0)
        r.warnings.push_back(text_of("%s: the dark variance comes out below 0 (%.3f +- %.3f DN^2)%s", name.c_str(), v,
                                     se, options.black_level ? ": is the black level given too low?" : ""));
    if (v >= 0) {
        r.sigma_y_dark = std::sqrt(v);
        r.sigma_y_dark_se = root_se(v, se, 1.0);
    }
    const bool censored = std::any_of(darks.begin(), darks.end(), [](const DarkLevel& d) { return d.censored; });
    if (censored || v - 2 * se < quantisation_floor) {
        // Only a limit is known (two standard errors up): the variance of a
        // dark cut at 0 holds its fixed pattern too, and a variance that does
        // not rise clearly above the quantisation floor holds mostly rounding.
        r.sigma_d = std::sqrt(std::max(v + 2 * se, quantisation_floor) - quantisation_variance) / K;
        r.sigma_d_upper_limit = true;
        r.limit_reason = censored ? "the dark frames clip at 0: their variance holds the dark's fixed pattern too"
                                  : text_of("the dark variance %s DN^2 does not rise clearly above %.2f, where "
                                            "quantisation dominates",
                                            with_se(v, se).c_str(), quantisation_floor);
        return;
    }
    auto sigma_d = [](const std::vector<double>& a) { return std::sqrt(std::max(a[0] - quantisation_variance, 0.0)) / a[1]; };
    r.sigma_d = sigma_d({v, K});
    r.sigma_d_se = propagated_se(sigma_d, {v, K}, {se, r.K_se});
}

void dark_current(ChannelResult& r)
{
    if (!r.dark_fits || !r.dark_mean_fit.ok)
        return;
    auto per_k = [](const std::vector<double>& a) { return a[0] / a[1]; };
    auto per_k2 = [](const std::vector<double>& a) { return a[0] / (a[1] * a[1]); };
    r.dark_current = per_k({r.dark_mean_fit.slope, r.K});
    r.dark_current_se = propagated_se(per_k, {r.dark_mean_fit.slope, r.K}, {r.dark_mean_fit.slope_se, r.K_se});
    if (r.dark_var_fit.ok) {
        r.dark_current_var = per_k2({r.dark_var_fit.slope, r.K});
        r.dark_current_var_se =
            propagated_se(per_k2, {r.dark_var_fit.slope, r.K}, {r.dark_var_fit.slope_se, r.K_se});
    }
}

// Full well, SNR max and dynamic range. The variance maximum lies somewhere
// between the levels next to the one that shows it: its standard error is
// that spacing's, as of a uniform spread.
void saturation_figures(ChannelResult& r)
{
    if (!r.saturation_reached)
        return;
    const size_t m = static_cast<size_t>(r.saturation);
    const PtcPoint& s = r.points[m];
    const PtcPoint* below = m > 0 ? &r.points[m - 1] : nullptr;
    const PtcPoint* above = m + 1 < r.points.size() ? &r.points[m + 1] : nullptr;
    double spacing = 0;  // DN, of the net signal
    if (s.t > 0 && below && above)
        spacing = s.net_mu * (above->t - below->t) / (2 * s.t);
    else if (s.t > 0 && above)
        spacing = s.net_mu * (above->t - s.t) / s.t;
    else if (below)
        spacing = s.net_mu - below->net_mu;
    const double grid_se = spacing / std::sqrt(12.0);
    const double K = r.K, v = r.dark_var;
    auto u_sat = [](const std::vector<double>& a) { return a[0] / a[1]; };
    auto u_min = [](double k, double var) { return 0.5 + std::sqrt(0.25 + std::max(var, 0.0) / (k * k)); };
    auto dr = [&](const std::vector<double>& a) { return a[0] / a[1] / u_min(a[1], a[2]); };
    auto dr_db = [&](const std::vector<double>& a) { return 20 * std::log10(dr(a)); };
    r.u_e_sat = u_sat({s.net_mu, K});
    r.u_e_sat_se = propagated_se(u_sat, {s.net_mu, K}, {grid_se, r.K_se});
    r.snr_max = std::sqrt(*r.u_e_sat);
    r.snr_max_se = *r.u_e_sat_se / (2 * *r.snr_max);
    r.snr_max_db = 20 * std::log10(*r.snr_max);
    r.snr_max_bits = std::log2(*r.snr_max);
    if (!(v >= 0))
        return;
    r.u_e_min = u_min(K, v);
    r.dr = dr({s.net_mu, K, v});
    r.dr_db = 20 * std::log10(*r.dr);
    r.dr_bits = std::log2(*r.dr);
    r.dr_se_db = propagated_se(dr_db, {s.net_mu, K, v}, {grid_se, r.K_se, r.dark_var_se});
}

// Net mean against exposure over 5 to 95 % of saturation: the deviations from
// the fitted line, in percent of it, and half their range.
void linearity(ChannelResult& r)
{
    if (!(r.range_reference > 0))
        return;
    std::vector<size_t> index;
    std::vector<double> t, y;
    const size_t end = r.saturation_reached ? static_cast<size_t>(r.saturation) + 1 : r.points.size();
    for (size_t i = 0; i < end; ++i) {
        const PtcPoint& p = r.points[i];
        if (std::isnan(p.t) || p.net_mu < 0.05 * r.range_reference || p.net_mu > 0.95 * r.range_reference)
            continue;
        index.push_back(i);
        t.push_back(p.t);
        y.push_back(p.net_mu);
    }
    if (index.size() < 3)
        return;
    r.linearity_fit = fit_line(t, y, {}, true);
    if (!r.linearity_fit.ok)
        return;
    double low = INFINITY, high = -INFINITY, low_se = 0, high_se = 0;
    for (size_t k = 0; k < index.size(); ++k) {
        const double fitted = r.linearity_fit.at(t[k]);
        const double dev = 100.0 * (y[k] - fitted) / fitted;
        const double dev_se = 100.0 * r.points[index[k]].net_mu_se / fitted;
        r.points[index[k]].linearity_dev = dev;
        if (dev < low) {
            low = dev;
            low_se = dev_se;
        }
        if (dev > high) {
            high = dev;
            high_se = dev_se;
        }
    }
    r.linearity_error = (high - low) / 2;
    r.linearity_error_se = std::hypot(high_se, low_se) / 2;
}

}  // namespace

double root_se(double x, double se, double scale)
{
    if (!(se > 0))
        return 0;
    // Never 0 for x at or below 0: the root is then known only to lie
    // below sqrt(se).
    return (std::sqrt(std::max(x, 0.0) + se) - std::sqrt(std::max(x - se, 0.0))) / (2 * scale);
}

void fit_channel(int channel, const std::vector<DarkLevel>& darks, const FitOptions& options, double reference,
                 ChannelResult& r)
{
    if (!r.failure.empty())
        return;
    const std::string name = channel_name(channel);
    if (r.saturation_reached) {
        r.range_reference = r.points[static_cast<size_t>(r.saturation)].net_mu;
        r.range_reference_from = "its saturation";
    } else if (reference > 0) {
        r.range_reference = reference;
        r.range_reference_from = "another channel's saturation";
    } else {
        for (const PtcPoint& p : r.points)
            r.range_reference = std::max(r.range_reference, p.net_mu);
        r.range_reference_from = "the brightest pair";
    }
    const double limit = options.fit_max * r.range_reference;
    const size_t end = r.saturation_reached ? static_cast<size_t>(r.saturation) + 1 : r.points.size();
    auto usable = [&](size_t i) {
        const PtcPoint& p = r.points[i];
        return i < end && !p.clipped && !p.zero_clipped && p.net_mu > 0;
    };
    int in_range = 0;
    for (size_t i = 0; i < r.points.size(); ++i) {
        r.points[i].in_fit = usable(i) && r.points[i].net_mu <= limit;
        in_range += r.points[i].in_fit;
    }
    const bool with_intercept = options.black_level.has_value();
    const int needed = std::max(options.min_points, with_intercept ? 3 : 1);
    const bool widened = in_range == 0;
    if (widened) {
        // No pair below the fit range's end (a coarse series whose first
        // level is already near saturation): the pairs up to saturation are
        // what the data give, unclipped ones if there are any, else those
        // with a few samples at the clip level.
        double worst = 0;
        for (const double share : {clip_share_limit, fallback_clip_share}) {
            for (size_t i = 0; i < end; ++i) {
                PtcPoint& p = r.points[i];
                p.in_fit = !p.zero_clipped && p.net_mu > 0 && p.clip_share <= share;
                in_range += p.in_fit;
                if (p.in_fit)
                    worst = std::max(worst, p.clip_share);
            }
            if (in_range > 0)
                break;
        }
        if (in_range >= needed)
            r.warnings.push_back(text_of("%s: no flat pair below %.0f %% of %s: K from the %d pair%s up to "
                                         "saturation, where the response may already bend%s (shoot lower levels)",
                                         name.c_str(), 100 * options.fit_max, r.range_reference_from.c_str(),
                                         in_range, in_range == 1 ? "" : "s",
                                         worst > clip_share_limit
                                             ? text_of(" and %.2f %% of the samples sit at the clip level", 100 * worst).c_str()
                                             : ""));
    }
    if (in_range < needed) {
        r.failure = text_of("only %d flat pair%s in the fit range (net mean above 0 and up to %.0f DN, %.0f %% of "
                            "%s), at least %d needed",
                            in_range, in_range == 1 ? "" : "s", limit, 100 * options.fit_max,
                            r.range_reference_from.c_str(), needed);
        return;
    }
    // One dark pair for every flat: its error moves all points together.
    const bool shared_dark = !with_intercept && darks.size() == 1;
    fit_gain(r, with_intercept, shared_dark ? darks[0].var_se : 0.0);
    if (!r.gain_fit.ok || !(r.K > 0)) {
        r.failure = text_of("the fitted gain is not above 0 (%.6g DN per electron): the variance does not grow "
                            "with the signal",
                            r.K);
        return;
    }
    r.ok = true;
    if (r.used == 1 && !widened)
        r.warnings.push_back(text_of("%s: K rests on one flat pair: nothing shows that the variance grows in "
                                     "proportion to the signal (shoot more levels below %.0f %% of saturation)",
                                     name.c_str(), 100 * options.fit_max));
    dark_noise(name, r, darks, options);
    dark_current(r);
    saturation_figures(r);
    linearity(r);
    for (const PtcPoint& p : r.points)
        if (p.in_fit && std::fabs(p.residual_z) > significant_z)
            r.warnings.push_back(text_of("%s flat pair of plan line %d: net variance / net mean %.4f is %.1f %% from "
                                         "K, %.1f standard errors: the response is not linear there",
                                         name.c_str(), p.line, (p.net_var - (with_intercept ? r.gain_fit.intercept : 0)) / p.net_mu,
                                         100 * std::fabs(p.residual / p.net_mu) / r.K, std::fabs(p.residual_z)));
}
