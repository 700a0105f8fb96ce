// The console report.
#include <cmath>

#include "ptc/ptc_outputs.h"
#include "ptc/ptc_results.h"
#include "reports/text_out.h"
#include "ptc/spatial.h"

namespace {

std::string lines_of(const ChannelResult& c)
{
    std::string out;
    int first = -1, previous = -1;
    auto close = [&] {
        if (first < 0)
            return;
        if (!out.empty())
            out += ", ";
        out += std::to_string(first);
        if (previous != first) {
            out += '-';
            out += std::to_string(previous);
        }
    };
    for (const PtcPoint& p : c.points) {
        if (!p.in_fit)
            continue;
        if (first >= 0 && p.line == previous + 1) {
            previous = p.line;
            continue;
        }
        close();
        first = previous = p.line;
    }
    close();
    return out;
}

void channel_block(std::string& out, int ch, const PtcResults& results)
{
    const ChannelResult& c = results.channel[ch];
    const SpatialResult& s = results.spatial[ch];
    add_text(out, "%s\n", channel_name(ch));
    if (!c.ok) {
        add_text(out, "  not characterised: %s\n", c.failure.c_str());
        return;
    }
    const std::string check = c.free_fit.ok && c.free_fit.dof > 0
                                  ? text_of("; with a free intercept K %s, intercept %s DN^2",
                                            with_se(c.free_fit.slope, c.free_fit.slope_se, 5).c_str(),
                                            with_se(c.free_fit.intercept, c.free_fit.intercept_se).c_str())
                                  : std::string();
    add_text(out, "  gain K            %s DN/e-  (%d pair%s, plan line%s %s%s)\n", with_se(c.K, c.K_se, 5).c_str(), c.used,
             c.used == 1 ? "" : "s", c.used == 1 ? "" : "s", lines_of(c).c_str(), check.c_str());
    // The standard's names: dark noise sigma_y.dark in DN, sigma_d in
    // electrons; at 0 s sigma_d is what is called the read noise.
    if (c.sigma_y_dark)
        add_text(out, "  dark noise        %s DN  (sigma_y.dark; %s)\n", with_se(*c.sigma_y_dark, c.sigma_y_dark_se).c_str(),
                 c.dark_label.c_str());
    else
        add_text(out, "  dark noise        not measurable (the dark variance, %s, is %s DN^2)\n", c.dark_label.c_str(),
                 with_se(c.dark_var, c.dark_var_se).c_str());
    if (c.sigma_d_upper_limit)
        add_text(out, "  dark noise (e-)   below %.3f e-  (sigma_d, an upper limit: %s)\n", *c.sigma_d, c.limit_reason.c_str());
    else if (c.sigma_d)
        add_text(out, "  dark noise (e-)   %s e-  (sigma_d %s)\n", with_se(*c.sigma_d, c.sigma_d_se).c_str(),
                 c.dark_at_zero ? "at 0 s: the read noise" : "with the dark current of that exposure");
    if (c.dark_current)
        add_text(out, "  dark current      %s e-/s from the mean, %s e-/s from the variance (%zu dark pairs)\n",
               with_se(*c.dark_current, c.dark_current_se).c_str(),
               with_se(c.dark_current_var.value_or(NAN), c.dark_current_var_se).c_str(), results.darks[ch].size());
    else
        add_text(out, "  dark current      not measured (needs dark pairs at several exposures)\n");
    if (c.saturation_reached) {
        const PtcPoint& sat = c.points[static_cast<size_t>(c.saturation)];
        add_text(out, "  saturation        plan line %d, net mean %.1f DN (%s)\n", sat.line, sat.net_mu,
               c.saturation_evidence.c_str());
    } else {
        add_text(out, "  saturation        not reached: no full well, SNR max or dynamic range\n");
    }
    if (c.u_e_sat) {
        add_text(out, "  full well         %s e-\n", with_se(*c.u_e_sat, c.u_e_sat_se, 0).c_str());
        add_text(out, "  SNR max           %s  (%.2f dB, %.2f bits)\n", with_se(*c.snr_max, c.snr_max_se, 1).c_str(),
               *c.snr_max_db, *c.snr_max_bits);
        add_text(out, "  dynamic range     %s dB  (%.1f : 1, %.2f bits; minimum signal %.2f e-)\n",
               with_se(*c.dr_db, c.dr_se_db, 2).c_str(), *c.dr, *c.dr_bits, c.u_e_min);
    }
    if (c.linearity_error)
        add_text(out, "  linearity error   %s %%  (5 to 95 %% of %s)\n", with_se(*c.linearity_error, c.linearity_error_se).c_str(),
                 c.range_reference_from.c_str());
    else
        add_text(out, "  linearity error   not measured (needs exposures and 3 pairs from 5 to 95 %% of saturation)\n");
    if (s.measured) {
        auto part = [](double v, int d) { return std::isnan(v) ? std::string("-") : text_of("%.*f", d, v); };
        auto limit = [](std::optional<double> v, const char* unit) {
            return v ? text_of("not resolved from the temporal noise: below %.3g%s; ", *v, unit) : std::string();
        };
        if (s.dsnu_e)
            add_text(out, "  DSNU              %s e-  (%srows %s, columns %s, pixels %s; dark pair of plan line %d)\n",
                     with_se(*s.dsnu_e, s.dsnu_e_se, 2).c_str(), limit(s.dsnu_limit_e, " e-").c_str(),
                     part(s.dsnu_parts_e[0], 2).c_str(), part(s.dsnu_parts_e[1], 2).c_str(),
                     part(s.dsnu_parts_e[2], 2).c_str(), s.dark_line);
        else
            add_text(out, "  DSNU              not measured (the dark frames clip)\n");
        if (s.prnu_percent)
            add_text(out, "  PRNU              %s %%  (%srows %s, columns %s, pixels %s; plan line %d at %.0f %% of %s)\n",
                     with_se(*s.prnu_percent, s.prnu_percent_se, 3).c_str(), limit(s.prnu_limit_percent, " %").c_str(),
                     part(s.prnu_parts_percent[0], 3).c_str(), part(s.prnu_parts_percent[1], 3).c_str(),
                     part(s.prnu_parts_percent[2], 3).c_str(), s.flat_line, 100 * s.flat_share,
                     c.range_reference_from.c_str());
        add_text(out, "  defect pixels     hot %lld, dead %lld, weak %lld, stuck %lld\n", static_cast<long long>(s.hot),
               static_cast<long long>(s.dead), static_cast<long long>(s.weak), static_cast<long long>(s.stuck));
    }
}

}  // namespace

std::string ptc_report(const PtcResults& results)
{
    std::string out;
    const PairWindow& w = results.window;
    add_text(out, "Photon transfer: %zu flat pairs, %zu dark pair%s, window %lldx%lld at X=%lld Y=%lld\n",
           results.plan->flats.size(), results.plan->darks.size(), results.plan->darks.size() == 1 ? "" : "s",
           static_cast<long long>(w.width), static_cast<long long>(w.height), static_cast<long long>(w.x),
           static_cast<long long>(w.y));
    for (int ch = 0; ch < channel_count; ++ch)
        channel_block(out, ch, results);
    add_text(out,
           "Defect pixels: hot, a dark mean more than %.0f robust SDs (at least %.1f DN each) above the median; dead, "
           "a net response below %.0f %% of the median, weak below %.0f %%; stuck, at the clip level in both frames.\n",
           hot_threshold_spreads, min_spread_dn, 100 * dead_share, 100 * weak_share);
    for (const std::string& note : results.notes)
        add_text(out, "Note:  %s.\n", note.c_str());
    for (const std::string& warning : results.warnings)
        add_text(out, "Warning:  %s.\n", warning.c_str());
    return out;
}

std::string with_se(double value, std::optional<double> se, int default_decimals)
{
    int decimals = default_decimals;
    if (se && std::isfinite(*se) && *se > 0)
        decimals = std::max(0, std::min(8, 1 - static_cast<int>(std::floor(std::log10(*se)))));
    std::string out = text_of("%.*f", decimals, value);
    if (se && std::isfinite(*se))
        add_text(out, " +- %.*f", decimals, *se);
    return out;
}
