#include "stats/channel_stats.h"

#include <cmath>

#include "run/report_files.h"
#include "run/run_state.h"
#include "stats/cfa.h"

namespace {

const char* const colour_label[3] = {" Red   ", " Green ", " Blue  "};

}  // namespace

void report_channel_stats(RunState& run)
{
    const ChannelStats& st = run.stats;
    ChannelResults& res = run.results;
    const bool two = run.settings.two_files;
    const double n = st.n;

    for (StatColour c : {Green, Red, Blue}) {
        const double m = c == Green ? 2.0 * n : n;
        res.mean[c] = st.sum_diff[c] / m;
        res.variance[c] = st.sum_sq[c] / m - res.mean[c] * res.mean[c];
        res.sd[c] = std::sqrt(res.variance[c]);
    }
    double pair_ave[3];
    pair_ave[Green] = st.sum_pair[Green] / (4.0 * n);
    pair_ave[Red] = st.sum_pair[Red] / (2.0 * n);
    pair_ave[Blue] = st.sum_pair[Blue] / (2.0 * n);
    res.zero_rate = st.zero_count / n * 50;
    res.sat_rate = st.sat_count / n * 50;

    for (int c = 0; c < 3; ++c) {
        if (two) {
            res.sd[c] = res.sd[c] / std::sqrt(2.0);
            res.ave[c] = pair_ave[c] + 0.5;
            res.snr[c] = res.ave[c] / (res.sd[c] + 0.001);
            res.diff[c] = res.mean[c];
        } else {
            res.ave[c] = res.mean[c] + 0.5;
        }
    }

    Console& out = run.console;
    for (int c = 0; c < 3; ++c) {
        if (two)
            say(out, "%s%s%5.1lf, SD %4.2lf, SNR %4.1lf, diff = %5.1lf\n", colour_label[c], run.profile.ave_label,
                printable_nan(res.ave[c]), printable_nan(res.sd[c]), printable_nan(res.snr[c]),
                printable_nan(res.diff[c]));
        else
            say(out, "%s%s%5.1lf, SD %4.2lf, Max %ld, Min %ld\n", colour_label[c], run.profile.ave_label,
                printable_nan(res.ave[c]), printable_nan(res.sd[c]), static_cast<long>(st.max_dn[c]),
                static_cast<long>(st.min_dn[c]));
    }
    const bool log = run.settings.stats_log && run.reports.stats.is_open();
    TextBuffer& record = run.reports.record;
    if (log)
        add_text(record, "%6.2lf,%6.2lf,%6.2lf,", printable_nan(res.ave[Red]), printable_nan(res.ave[Green]),
                 printable_nan(res.ave[Blue]));
    if (res.zero_rate >= 1.0)
        say(out, "Green DN=0 rate = %3.1lf percent\n", res.zero_rate);
    if (res.sat_rate >= 0.2)
        say(out, "Green Saturation rate = %3.1lf percent\n", res.sat_rate);
    if (log)
        add_text(record, "%5.2lf,%5.2lf,%5.2lf,%4.1lf,%4.1lf", printable_nan(res.sd[Red]),
                 printable_nan(res.sd[Green]), printable_nan(res.sd[Blue]), res.zero_rate, res.sat_rate);
}
