#include "ptc/pair_stats.h"

#include <algorithm>
#include <cmath>

#include "ptc/pair_reader.h"

namespace {

// Exact integer sums of one plane or channel.
struct Sums {
    int64_t n = 0;
    int64_t sum_a = 0, sum_b = 0;
    uint64_t sum_d2 = 0;  // sum of (a - b)^2: below 2^63 for any window of 16382 x 16382
    int64_t zeros = 0;
    uint16_t top = 0;
    int64_t at_top = 0, both_at_top = 0;

    void add(const Sums& o)
    {
        n += o.n;
        sum_a += o.sum_a;
        sum_b += o.sum_b;
        sum_d2 += o.sum_d2;
        zeros += o.zeros;
        if (o.top > top) {
            top = o.top;
            at_top = both_at_top = 0;
        }
        if (o.top == top) {
            at_top += o.at_top;
            both_at_top += o.both_at_top;
        }
    }
};

ChannelMoments moments_of(const Sums& s)
{
    ChannelMoments m;
    m.n = s.n;
    m.zeros = s.zeros;
    m.top = s.top;
    m.at_top = s.at_top;
    m.both_at_top = s.both_at_top;
    m.identical = s.n > 0 && s.sum_d2 == 0;
    if (s.n == 0)
        return m;
    const double n = static_cast<double>(s.n);
    m.mean = static_cast<double>(s.sum_a + s.sum_b) / (2.0 * n);
    m.mean_diff = static_cast<double>(s.sum_a - s.sum_b) / n;
    m.var = static_cast<double>(s.sum_d2) / (2.0 * n) - m.mean_diff * m.mean_diff / 2.0;
    return m;
}

}  // namespace

double ChannelMoments::mean_se() const
{
    return n > 0 ? std::sqrt(std::max(var, 0.0) / (2.0 * static_cast<double>(n))) : 0.0;
}

double ChannelMoments::var_se() const
{
    return n > 1 ? std::max(var, 0.0) * std::sqrt(2.0 / static_cast<double>(n - 1)) : 0.0;
}

PairStats pair_stats(const PairPixels& pixels)
{
    const PairWindow& w = pixels.window;
    Sums plane[plane_count];
    for (int64_t r = 0; r < w.height; ++r) {
        const uint16_t* a = pixels.frame[0].data() + r * w.width;
        const uint16_t* b = pixels.frame[1].data() + r * w.width;
        for (int64_t c = 0; c < w.width; ++c) {
            Sums& s = plane[pixels.plane_at(r, c)];
            const int64_t d = int64_t{a[c]} - int64_t{b[c]};
            ++s.n;
            s.sum_a += a[c];
            s.sum_b += b[c];
            s.sum_d2 += static_cast<uint64_t>(d * d);
            s.zeros += (a[c] == 0) + (b[c] == 0);
            const uint16_t high = std::max(a[c], b[c]);
            if (high > s.top) {
                s.top = high;
                s.at_top = s.both_at_top = 0;
            }
            if (high == s.top) {
                s.at_top += (a[c] == high) + (b[c] == high);
                s.both_at_top += a[c] == b[c];
            }
        }
    }
    Sums channel[channel_count];
    for (int p = 0; p < plane_count; ++p)
        for (int ch : channels_of_plane(p))
            if (ch >= 0)
                channel[ch].add(plane[p]);
    PairStats stats;
    for (int ch = 0; ch < channel_count; ++ch)
        stats.channel[ch] = moments_of(channel[ch]);
    return stats;
}

std::array<std::vector<int64_t>, channel_count> value_counts(const PairPixels& pixels)
{
    std::array<std::vector<int64_t>, plane_count> plane;
    for (auto& counts : plane)
        counts.assign(counted_values, 0);
    const PairWindow& w = pixels.window;
    for (const std::vector<uint16_t>& frame : pixels.frame)
        for (int64_t r = 0; r < w.height; ++r)
            for (int64_t c = 0; c < w.width; ++c)
                ++plane[static_cast<size_t>(pixels.plane_at(r, c))]
                       [std::min<size_t>(frame[static_cast<size_t>(r * w.width + c)], counted_values - 1)];
    std::array<std::vector<int64_t>, channel_count> channel;
    for (auto& counts : channel)
        counts.assign(counted_values, 0);
    for (int p = 0; p < plane_count; ++p)
        for (int ch : channels_of_plane(p))
            if (ch >= 0)
                for (size_t k = 0; k < counted_values; ++k)
                    channel[static_cast<size_t>(ch)][k] += plane[static_cast<size_t>(p)][k];
    return channel;
}
