#include "ptc/series_measure.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

#include "ptc/censored_dark.h"
#include "ptc/pair_stats.h"
#include "reports/text_out.h"

std::string plan_file_path(const SeriesRequest& request, const std::string& name)
{
    const std::filesystem::path file(name);
    if (file.is_absolute() || request.plan_folder.empty())
        return name;
    return (std::filesystem::path(request.plan_folder) / file).string();
}

namespace {

// Per channel, a dark pair clipped at 0 read as a normal distribution cut there.
using ChannelCuts = std::array<std::optional<CensoredNormal>, channel_count>;

// Reads and measures one pair; 0 or the exit status with the message.
int measure_pair(const SeriesRequest& request, const PlanPair& pair, std::optional<PairWindow>& window,
                 uint32_t size[2], PairStats& stats, std::string& console, ChannelCuts* cuts = nullptr)
{
    const bool first = !window;
    PairRead read = read_pair(*request.readers, plan_file_path(request, pair.file[0]), plan_file_path(request, pair.file[1]),
                              request.window, window);
    const std::string which = text_of("plan line %d (%s, %s)", pair.line, pair.file[0].c_str(), pair.file[1].c_str());
    if (read.status != 0) {
        console += read.message;
        add_text(console, "Error:  %s cannot be measured.\n", which.c_str());
        return read.status;
    }
    if (first) {
        size[0] = read.image_width;
        size[1] = read.image_height;
        const PairWindow& w = *window;
        if (w.width < min_window_side || w.height < min_window_side) {
            add_text(console,
                   "Error:  The window of %lldx%lld pixels is too small: ptcfit needs at least %lldx%lld (-W, -H).\n",
                   static_cast<long long>(w.width), static_cast<long long>(w.height),
                   static_cast<long long>(min_window_side), static_cast<long long>(min_window_side));
            return status_refused;
        }
    } else if (read.image_width != size[0] || read.image_height != size[1]) {
        add_text(console, "Error:  %s: the images are %ux%u pixels, the first pair's %ux%u.\n", which.c_str(),
               read.image_width, read.image_height, size[0], size[1]);
        return status_refused;
    }
    stats = pair_stats(read.pixels);
    for (const ChannelMoments& m : stats.channel)
        if (m.identical && m.at_top < 2 * m.n) {
            add_text(console, "Error:  %s: the two frames are identical (their difference has zero variance): a pair "
                            "needs two separate exposures.\n", which.c_str());
            return status_refused;
        }
    if (cuts) {
        std::array<std::vector<int64_t>, channel_count> counts;
        for (int ch = 0; ch < channel_count; ++ch) {
            const ChannelMoments& m = stats.channel[ch];
            if (static_cast<double>(m.zeros) <= zero_share_limit * 2.0 * static_cast<double>(m.n))
                continue;
            if (counts[0].empty())
                counts = value_counts(read.pixels);
            (*cuts)[static_cast<size_t>(ch)] = censored_normal(counts[static_cast<size_t>(ch)]);
        }
    }
    return 0;
}

}  // namespace

int measure_series(const SeriesRequest& request, const Plan& plan, PtcResults& results, std::string& console)
{
    const FitOptions& options = request.options;
    std::optional<PairWindow> window;
    uint32_t size[2] = {};
    std::vector<PairStats> dark_stats(plan.darks.size()), flat_stats(plan.flats.size());
    std::vector<ChannelCuts> dark_cuts(plan.darks.size());
    for (size_t i = 0; i < plan.darks.size(); ++i)
        if (int status = measure_pair(request, plan.darks[i], window, size, dark_stats[i], console,
                                      options.black_level ? nullptr : &dark_cuts[i]))
            return status;
    for (size_t i = 0; i < plan.flats.size(); ++i)
        if (int status = measure_pair(request, plan.flats[i], window, size, flat_stats[i], console))
            return status;
    results.window = *window;
    results.plan = &plan;

    std::vector<FlatLevel> flats[channel_count];
    double clipped_share = 0;  // the largest share of dark samples at 0
    for (int ch = 0; ch < channel_count; ++ch) {
        // The clip level: the largest sample of the series. Stuck pixels sit
        // there in every pair, dark ones included: only samples beyond theirs
        // count as clipped.
        uint16_t clip = 0;
        for (const auto* list : {&dark_stats, &flat_stats})
            for (const PairStats& s : *list)
                clip = std::max(clip, s.channel[ch].top);
        results.clip[ch] = clip;
        auto at_clip = [clip](const ChannelMoments& m) { return m.top == clip ? m.at_top : 0; };
        int64_t stuck = INT64_MAX;
        for (size_t i = 0; i < plan.darks.size(); ++i) {
            const ChannelMoments& m = dark_stats[i].channel[ch];
            stuck = std::min(stuck, at_clip(m));
            DarkLevel dark{plan.darks[i].exposure_s.value_or(NAN), m, plan.darks[i].line};
            const double zero_share = static_cast<double>(m.zeros) / (2.0 * static_cast<double>(m.n));
            if (!options.black_level && zero_share > zero_share_limit) {
                // A camera that writes black as 0 clips its dark frames there:
                // their mean and variance are those of the part above 0 (when
                // nearly all is 0, the quantisation floor bounds the noise).
                const std::optional<CensoredNormal>& cut = dark_cuts[i][static_cast<size_t>(ch)];
                dark.m.mean = cut ? cut->mean : 0.0;
                dark.mean_se = cut ? cut->mean_se : 0.0;
                dark.m.var = cut ? cut->variance : 0.0;
                dark.var_se = cut ? cut->variance_se : 0.0;
                dark.censored = true;
                clipped_share = std::max(clipped_share, zero_share);
            }
            results.darks[ch].push_back(dark);
        }
        for (size_t i = 0; i < plan.flats.size(); ++i) {
            const ChannelMoments& m = flat_stats[i].channel[ch];
            const double both = 2.0 * static_cast<double>(m.n);
            FlatLevel f{plan.flats[i].exposure_s.value_or(NAN), m, plan.flats[i].line,
                        static_cast<double>(std::max<int64_t>(at_clip(m) - stuck, 0)) / both,
                        static_cast<double>(m.zeros) / both};
            flats[ch].push_back(f);
        }
    }

    results.options = options;
    if (clipped_share > 0)
        results.notes.push_back(text_of(
            "the dark frames clip at 0 (up to %.1f %% of their samples): their mean and variance are taken as those "
            "of a normal distribution cut at 0, so the dark noise holds the dark's fixed pattern too and the read "
            "noise is an upper limit, and DSNU is not measured",
            100 * clipped_share));
    std::string error;
    for (int ch = 0; ch < channel_count; ++ch)
        if (!prepare_channel(ch, results.darks[ch], flats[ch], options, results.channel[ch], error)) {
            add_text(console, "Error:  %s.\n", error.c_str());
            return status_refused;
        }
    // A channel that never saturates takes its fit range from the first
    // channel that does: they share the converter's clip.
    double reference = 0;
    for (const ChannelResult& c : results.channel)
        if (c.failure.empty() && c.saturation_reached) {
            const double s = c.points[static_cast<size_t>(c.saturation)].net_mu;
            reference = reference > 0 ? std::min(reference, s) : s;
        }
    bool any = false;
    for (int ch = 0; ch < channel_count; ++ch) {
        fit_channel(ch, results.darks[ch], options, reference, results.channel[ch]);
        any = any || results.channel[ch].ok;
    }
    if (!any) {
        for (int ch = 0; ch < channel_count; ++ch)
            add_text(console, "Error:  %s: %s.\n", channel_name(ch), results.channel[ch].failure.c_str());
        return status_refused;
    }
    return 0;
}
