// The spatial part of a series: non-uniformity, defects and spectrograms from
// the flat pair nearest half of saturation and its dark pair.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include "ptc/characterise.h"
#include "reports/text_out.h"
#include "ptc/series_measure.h"
#include "ptc/spatial.h"

namespace {

// The flat point nearest half of the channel's reference, unclipped and lit.
int half_point(const ChannelResult& c)
{
    int best = -1;
    for (size_t i = 0; i < c.points.size(); ++i) {
        const PtcPoint& p = c.points[i];
        if (p.clipped || p.zero_clipped || !(p.net_mu > 0))
            continue;
        if (c.saturation_reached && static_cast<int>(i) > c.saturation)
            continue;
        if (best < 0 || std::fabs(p.net_mu - 0.5 * c.range_reference) <
                            std::fabs(c.points[static_cast<size_t>(best)].net_mu - 0.5 * c.range_reference))
            best = static_cast<int>(i);
    }
    return best;
}

// The dark pair of the flat's exposure, or the nearest one.
size_t dark_for(const Plan& plan, const PlanPair& flat)
{
    size_t best = 0;
    if (!flat.exposure_s)
        return best;
    for (size_t i = 1; i < plan.darks.size(); ++i)
        if (std::fabs(*plan.darks[i].exposure_s - *flat.exposure_s) <
            std::fabs(*plan.darks[best].exposure_s - *flat.exposure_s))
            best = i;
    return best;
}

// Channel figures from the planes' (Green: the mean of both green planes).
double channel_value(int ch, const double plane_value[plane_count])
{
    switch (ch) {
    case ch_red: return plane_value[0];
    case ch_green1: return plane_value[1];
    case ch_blue: return plane_value[2];
    case ch_green2: return plane_value[3];
    default: return (plane_value[1] + plane_value[3]) / 2;
    }
}

double channel_se(int ch, const double plane_se[plane_count])
{
    return ch == ch_green ? std::hypot(plane_se[1], plane_se[3]) / 2 : channel_value(ch, plane_se);
}

// The root of a spatial variance v (with standard error se) over scale, and
// the limit below which it lies when v does not rise clearly above 0.
void root_figure(double v, double se, double scale, double scale_se, std::optional<double>& value,
                 std::optional<double>& value_se, std::optional<double>& limit)
{
    value = std::sqrt(std::max(v, 0.0)) / scale;
    value_se = std::hypot(root_se(v, se, scale), *value * scale_se / scale);
    if (v < 2 * se)
        limit = std::sqrt(std::max(v, 0.0) + 2 * se) / scale;
}

// dark_level: the dark mean the flat is measured from, when not the dark pair's own
// mean image (a black level given, or a dark clipped at 0).
void channel_spatial(int ch, const SpatialStats& flat, const SpatialStats& dark, const ChannelResult& c,
                     std::optional<double> dark_level, SpatialResult& s)
{
    auto pick = [&](const SpatialStats& st, double PlaneSpatial::*field) {
        double v[plane_count];
        for (int p = 0; p < plane_count; ++p)
            v[p] = st.plane[p].*field;
        return field == &PlaneSpatial::total_se ? channel_se(ch, v) : channel_value(ch, v);
    };
    // A dark pair clipped at 0 (or at the black level given) shows no DSNU.
    const bool dark_usable = !dark_level;
    const double dark_total = dark_usable ? pick(dark, &PlaneSpatial::total) : 0.0;
    const double dark_total_se = dark_usable ? pick(dark, &PlaneSpatial::total_se) : 0.0;
    const double flat_total = pick(flat, &PlaneSpatial::total), flat_total_se = pick(flat, &PlaneSpatial::total_se);
    const double net = pick(flat, &PlaneSpatial::mean) - dark_level.value_or(pick(dark, &PlaneSpatial::mean));
    auto root = [](double v) { return v >= 0 ? std::sqrt(v) : NAN; };
    double PlaneSpatial::*parts[3] = {&PlaneSpatial::row, &PlaneSpatial::column, &PlaneSpatial::pixel};
    if (dark_usable) {
        root_figure(dark_total, dark_total_se, c.K, c.K_se, s.dsnu_e, s.dsnu_e_se, s.dsnu_limit_e);
        for (int k = 0; k < 3; ++k)
            s.dsnu_parts_e[k] = root(pick(dark, parts[k])) / c.K;
    }
    if (net > 0) {
        root_figure(flat_total - dark_total, std::hypot(flat_total_se, dark_total_se), net / 100, 0.0,
                    s.prnu_percent, s.prnu_percent_se, s.prnu_limit_percent);
        for (int k = 0; k < 3; ++k)
            s.prnu_parts_percent[k] =
                100 * root(pick(flat, parts[k]) - (dark_usable ? pick(dark, parts[k]) : 0.0)) / net;
    }
}

void add_note(PtcResults& results, const std::string& note)
{
    if (std::find(results.notes.begin(), results.notes.end(), note) == results.notes.end())
        results.notes.push_back(note);
}

}  // namespace

int measure_spatial(const SeriesRequest& request, PtcResults& results, std::string& console)
{
    const Plan& plan = *results.plan;
    std::map<int, std::vector<int>> channels_of_flat;  // flat index -> channels that use it
    for (int ch = 0; ch < channel_count; ++ch)
        if (results.channel[ch].ok)
            if (int i = half_point(results.channel[ch]); i >= 0)
                channels_of_flat[i].push_back(ch);
    const int green_flat = results.channel[ch_green].ok ? half_point(results.channel[ch_green]) : -1;
    uint16_t plane_clip[plane_count] = {results.clip[ch_red], results.clip[ch_green1], results.clip[ch_blue],
                                        results.clip[ch_green2]};
    for (const auto& [flat_index, channels] : channels_of_flat) {
        const PlanPair& flat_pair = plan.flats[static_cast<size_t>(flat_index)];
        const size_t dark_index = dark_for(plan, flat_pair);
        const PlanPair& dark_pair = plan.darks[dark_index];
        std::optional<PairWindow> window = results.window;
        PairRead flat = read_pair(*request.readers, plan_file_path(request, flat_pair.file[0]),
                                  plan_file_path(request, flat_pair.file[1]), request.window, window);
        PairRead dark = read_pair(*request.readers, plan_file_path(request, dark_pair.file[0]),
                                  plan_file_path(request, dark_pair.file[1]), request.window, window);
        for (const PairRead* r : {&flat, &dark})
            if (r->status != 0) {
                console += r->message;
                return r->status;
            }
        std::vector<bool> stuck = stuck_pixels(flat.pixels, plane_clip);
        const std::vector<bool> dark_stuck = stuck_pixels(dark.pixels, plane_clip);
        for (size_t i = 0; i < stuck.size(); ++i)
            stuck[i] = stuck[i] || dark_stuck[i];
        SpatialStats flat_stats = spatial_stats(flat.pixels, stuck);
        SpatialStats dark_stats = spatial_stats(dark.pixels, stuck);
        const DefectCounts defects = count_defects(dark.pixels, dark_stats, flat.pixels, flat_stats, stuck);
        // A dark pair of another exposure does not hold the flat's dark
        // signal of hot pixels: they would count as PRNU, so they are left
        // out of both.
        const bool same_time = flat_pair.exposure_s && dark_pair.exposure_s &&
                               std::fabs(*flat_pair.exposure_s - *dark_pair.exposure_s) <=
                                   1e-9 * std::fabs(*flat_pair.exposure_s);
        if (!same_time) {
            const std::vector<bool> hot = hot_pixels(dark.pixels, dark_stats);
            if (std::find(hot.begin(), hot.end(), true) != hot.end()) {
                for (size_t i = 0; i < stuck.size(); ++i)
                    stuck[i] = stuck[i] || hot[i];
                flat_stats = spatial_stats(flat.pixels, stuck);
                dark_stats = spatial_stats(dark.pixels, stuck);
                add_note(results, "hot pixels are left out of DSNU, PRNU and the spectrograms: the dark pair is of "
                                  "another exposure than the flat, so their dark signal there is not known");
            }
        }
        for (int ch : channels) {
            SpatialResult& s = results.spatial[ch];
            const ChannelResult& c = results.channel[ch];
            s.measured = true;
            s.flat_line = flat_pair.line;
            s.dark_line = dark_pair.line;
            s.flat_share = c.points[static_cast<size_t>(flat_index)].net_mu / c.range_reference;
            s.hot = defects.hot[ch];
            s.dead = defects.dead[ch];
            s.weak = defects.weak[ch];
            s.stuck = defects.stuck[ch];
            const DarkLevel& d = results.darks[ch][dark_index];
            channel_spatial(ch, flat_stats, dark_stats, c,
                            d.censored ? std::optional<double>(d.m.mean) : results.options.black_level, s);
        }
        if (flat_index == green_flat) {
            SpectrogramSet& sp = results.spectra;
            sp.measured = true;
            sp.flat_line = flat_pair.line;
            sp.dark_line = dark_pair.line;
            sp.flat = spectrograms(flat.pixels, &dark.pixels, stuck);
            sp.dark = spectrograms(dark.pixels, nullptr, stuck);
            for (int p = 0; p < plane_count; ++p) {
                sp.flat_floor[p] = std::sqrt(std::max(flat_stats.plane[p].temporal + dark_stats.plane[p].temporal, 0.0) / 2);
                sp.dark_floor[p] = std::sqrt(std::max(dark_stats.plane[p].temporal, 0.0) / 2);
            }
        }
    }
    return 0;
}
