// Averages, SDs, SNR, differences and green clipping rates from the pass.
#pragma once

struct RunState;

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

// Computes the results, prints them and writes record groups 1 and 2.
void report_channel_stats(RunState& run);
