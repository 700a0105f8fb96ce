// The single read of the window that feeds every report: channel sums,
// histograms, profile sums and the line store of the multi-line spectra.
#pragma once

#include <cstdint>

struct RunState;

// Accumulators of the pass, per colour Red, Green, Blue.
struct ChannelStats {
    double n = 0;                 // samples per mosaic plane: W x H / 4
    double sum_diff[3] = {};      // sum of d
    double sum_sq[3] = {};        // sum of d x d
    double sum_pair[3] = {};      // two images: sum of DN1 + DN2
    uint32_t min_dn[3] = {};      // one image: smallest DN
    uint32_t max_dn[3] = {};      // one image: largest DN
    int32_t zero_count = 0;       // image 1 green samples equal to 0
    int32_t sat_count = 0;        // image 1 green samples above the saturation level
};

// Above every 16-bit value, so the first sample always sets the minimum.
constexpr uint32_t min_dn_start = 65536;

void reset_channel_stats(ChannelStats& stats, int64_t W, int64_t H);

void sample_pass(RunState& run);
