// The photon transfer points of a channel and its saturation.
#include <algorithm>
#include <cmath>

#include "ptc/characterise.h"
#include "reports/text_out.h"

namespace {

bool same_exposure(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

// Dark pairs at several exposures: mean and variance as straight lines in t.
void fit_darks(const std::vector<DarkLevel>& darks, LineFit& mean_fit, LineFit& var_fit)
{
    std::vector<double> t, mu, mu_se, var, var_se, relative;
    for (const DarkLevel& d : darks) {
        relative.push_back(d.m.var > 0 ? d.var_se / d.m.var : std::sqrt(2.0 / static_cast<double>(d.m.n - 1)));
        t.push_back(d.t);
        mu.push_back(d.m.mean);
        mu_se.push_back(std::max(d.mean_se, 1e-9));
        var.push_back(d.m.var);
        var_se.push_back(std::max(d.var_se, 1e-9));
    }
    mean_fit = fit_line(t, mu, mu_se, true);
    // Weights from the fitted variances, not the measured ones, so that a
    // point measured low does not weigh more.
    var_fit = fit_line(t, var, var_se, true);
    for (int pass = 0; pass < 3 && var_fit.ok; ++pass) {
        for (size_t i = 0; i < darks.size(); ++i)
            var_se[i] = std::max(var_fit.at(t[i]) * relative[i], 1e-9);
        var_fit = fit_line(t, var, var_se, true);
    }
}

std::string plan_line(int line)
{
    return text_of("plan line %d", line);
}

}  // namespace

bool prepare_channel(int channel, const std::vector<DarkLevel>& darks, const std::vector<FlatLevel>& flats,
                     const FitOptions& options, ChannelResult& r, std::string& error)
{
    const std::string name = channel_name(channel);
    r = ChannelResult{};
    r.dark_fits = darks.size() > 1;
    if (r.dark_fits)
        fit_darks(darks, r.dark_mean_fit, r.dark_var_fit);

    for (const FlatLevel& f : flats) {
        PtcPoint p;
        p.line = f.line;
        p.t = f.t;
        p.n = f.m.n;
        p.mu = f.m.mean;
        p.var = f.m.var;
        p.var_se = f.m.var_se();
        const DarkLevel* matched = darks.size() == 1 ? &darks[0] : nullptr;
        for (const DarkLevel& d : darks)
            if (!std::isnan(f.t) && !std::isnan(d.t) && same_exposure(f.t, d.t))
                matched = &d;
        if (options.black_level) {
            p.dark_mu = *options.black_level;
            p.dark_from = "black level";
        } else if (matched) {
            p.dark_mu = matched->m.mean;
            p.dark_var = matched->m.var;
            p.dark_var_se = matched->var_se;
            p.dark_from = plan_line(matched->line);
        } else {
            p.dark_mu = r.dark_mean_fit.at(f.t);
            p.dark_var = r.dark_var_fit.at(f.t);
            p.dark_var_se = r.dark_var_fit.se_at(f.t);
            p.dark_from = "dark fit";
        }
        p.net_mu = p.mu - p.dark_mu;
        p.net_mu_se = f.m.mean_se();
        p.net_var = p.var - p.dark_var;
        p.clip_share = f.clip_share;
        p.zero_share = f.zero_share;
        p.clipped = f.clip_share > clip_share_limit;
        p.zero_clipped = f.zero_share > zero_share_limit;
        r.points.push_back(p);
    }
    const int count = static_cast<int>(r.points.size());

    const bool lit = std::any_of(r.points.begin(), r.points.end(),
                                 [](const PtcPoint& p) { return p.net_mu > significant_z * p.net_mu_se; });
    if (!lit) {
        r.failure = "no flat pair is brighter than the dark: no light reached these pixels";
        return true;
    }

    // Saturation: the largest variance (ties going to the brighter pair),
    // taken as reached only on evidence: a brighter pair's variance lies
    // significantly below it, and the samples pile up at the clip level, or
    // the variance falls to half, or the signal falls behind the exposure.
    int m = count - 1;
    for (int i = count - 2; i >= 0; --i)
        if (r.points[static_cast<size_t>(i)].var > r.points[static_cast<size_t>(m)].var)
            m = i;
    r.saturation = m;
    const PtcPoint& top = r.points[static_cast<size_t>(m)];
    bool drop = false, half = false, pile_up = top.clipped, behind = false;
    std::vector<double> response;  // net mean per second below the maximum
    for (int i = 0; i < m; ++i) {
        const PtcPoint& p = r.points[static_cast<size_t>(i)];
        if (p.t > 0 && p.net_mu > significant_z * p.net_mu_se)
            response.push_back(p.net_mu / p.t);
    }
    std::sort(response.begin(), response.end());
    const double typical = response.empty() ? NAN : response[response.size() / 2];
    for (int j = m + 1; j < count; ++j) {
        const PtcPoint& p = r.points[static_cast<size_t>(j)];
        drop = drop || top.var - p.var > significant_z * std::hypot(top.var_se, p.var_se);
        half = half || p.var < 0.5 * top.var;
        pile_up = pile_up || p.clipped;
        behind = behind || (p.t > 0 && p.net_mu / p.t < 0.95 * typical);
    }
    r.saturation_reached = drop && (pile_up || half || behind);
    if (r.saturation_reached)
        r.saturation_evidence = pile_up ? "samples pile up at the clip level"
                                : half  ? "the variance falls to less than half"
                                        : "the signal falls behind the exposure";

    // Up to saturation the mean must rise with the exposure, within its scatter.
    const int last = r.saturation_reached ? m : count - 1;
    for (int i = 1; i <= last; ++i) {
        const PtcPoint& a = r.points[static_cast<size_t>(i - 1)];
        const PtcPoint& b = r.points[static_cast<size_t>(i)];
        const double allowance = significant_z * std::hypot(a.net_mu_se, b.net_mu_se) + 0.005 * std::fabs(a.net_mu);
        if (b.mu < a.mu - allowance) {
            error = text_of("%s: the mean falls from %.2f DN (%s) to %.2f DN (%s) below saturation: pairs out of "
                            "order, or a light that changed",
                            name.c_str(), a.mu, plan_line(a.line).c_str(), b.mu, plan_line(b.line).c_str());
            return false;
        }
    }
    // A dark pair noisier than a lit flat: the dark frames were not shot
    // like the flats (another ISO, another temperature).
    if (!options.black_level)
        for (int i = 0; i <= last; ++i) {
            const PtcPoint& p = r.points[static_cast<size_t>(i)];
            if (p.net_var < -significant_z * std::hypot(p.var_se, p.dark_var_se)) {
                error = text_of("%s: the flat pair of %s is less noisy than its dark (%s): variance %.3f against "
                                "%.3f DN^2; were the dark frames shot at the same settings?",
                                name.c_str(), plan_line(p.line).c_str(), p.dark_from.c_str(), p.var, p.dark_var);
                return false;
            }
        }
    return true;
}
