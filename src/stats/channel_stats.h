// Averages, SDs, SNR, differences and green clipping rates of the window.
#pragma once

#include <cstdint>

#include "stats/cfa.h"

struct Console;
struct TextBuffer;

// The sample pass's sums, per colour Red, Green, Blue.
struct ChannelStats {
    double n = 0;             // samples per mosaic plane: W x H / 4
    double sum_diff[3] = {};  // sum of d
    double sum_sq[3] = {};    // sum of d x d
    double sum_pair[3] = {};  // two images: sum of DN1 + DN2
    uint32_t min_dn[3] = {};  // one image: smallest DN
    uint32_t max_dn[3] = {};  // one image: largest DN
    int32_t zero_count = 0;   // image 1 green samples equal to 0
    int32_t sat_count = 0;    // image 1 green samples above the saturation level
};

// Above every 16-bit value, so the first sample always sets the minimum.
constexpr uint32_t min_dn_start = 65536;

// Cleared sums for a window of W x H samples.
ChannelStats empty_channel_stats(int64_t W, int64_t H);

struct ChannelResults {
    double mean[3] = {};      // mean of d
    double variance[3] = {};  // population variance of d (before any sqrt(2) scaling)
    double sd[3] = {};        // reported SD
    double ave[3] = {};       // reported average, + 0.5
    double snr[3] = {};       // two images only
    double diff[3] = {};      // two images only: mean of DN1 - DN2
    double zero_rate = 0;     // percent of green samples at 0
    double sat_rate = 0;      // percent of green samples above saturation
};

ChannelResults channel_results(const ChannelStats& stats, bool two);

// The three colour lines and the clipping-rate lines; ave_label goes before
// each average ("ave " or "ave = ").
void print_channel_report(Console& console, const char* ave_label, const ChannelStats& stats,
                          const ChannelResults& results, bool two);

// Record groups 1 and 2: averages, SDs and the green clipping rates.
void add_record_statistics(TextBuffer& record, const ChannelResults& results);
