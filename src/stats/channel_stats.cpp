#include "stats/channel_stats.h"

#include <cmath>

#include "reports/text_out.h"

namespace {

const char* const colour_label[3] = {" Red   ", " Green ", " Blue  "};

}  // namespace

ChannelStats empty_channel_stats(int64_t W, int64_t H)
{
    ChannelStats stats;
    // The 32-bit product shifted right by 2: W and H are even and at most 16382.
    stats.n = static_cast<double>(static_cast<int32_t>(W * H) >> 2);
    for (int c = 0; c < 3; ++c)
        stats.min_dn[c] = min_dn_start;
    return stats;
}

ChannelResults channel_results(const ChannelStats& st, bool two)
{
    ChannelResults res;
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
    return res;
}

void print_channel_report(Console& out, const char* ave_label, const ChannelStats& st, const ChannelResults& res,
                          bool two)
{
    for (int c = 0; c < 3; ++c) {
        if (two)
            say(out, "%s%s%5.1lf, SD %4.2lf, SNR %4.1lf, diff = %5.1lf\n", colour_label[c], ave_label,
                printable_nan(res.ave[c]), printable_nan(res.sd[c]), printable_nan(res.snr[c]),
                printable_nan(res.diff[c]));
        else
            say(out, "%s%s%5.1lf, SD %4.2lf, Max %ld, Min %ld\n", colour_label[c], ave_label, printable_nan(res.ave[c]),
                printable_nan(res.sd[c]), static_cast<long>(st.max_dn[c]), static_cast<long>(st.min_dn[c]));
    }
    if (res.zero_rate >= 1.0)
        say(out, "Green DN=0 rate = %3.1lf percent\n", res.zero_rate);
    if (res.sat_rate >= 0.2)
        say(out, "Green Saturation rate = %3.1lf percent\n", res.sat_rate);
}

void add_record_statistics(TextBuffer& record, const ChannelResults& res)
{
    add_text(record, "%6.2lf,%6.2lf,%6.2lf,", printable_nan(res.ave[Red]), printable_nan(res.ave[Green]),
             printable_nan(res.ave[Blue]));
    add_text(record, "%5.2lf,%5.2lf,%5.2lf,%4.1lf,%4.1lf", printable_nan(res.sd[Red]), printable_nan(res.sd[Green]),
             printable_nan(res.sd[Blue]), res.zero_rate, res.sat_rate);
}
