// Mean and temporal variance of one pair of frames, per channel, with the
// counts the clipping and defect checks need.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ptc/channels.h"

struct PairPixels;

struct ChannelMoments {
    int64_t n = 0;             // pixels per frame
    double mean = 0;           // mean of both frames, DN
    double mean_diff = 0;      // mean of frame 1 - frame 2, DN
    double var = 0;            // temporal variance of one frame: sum (a - b)^2 / 2n - mean_diff^2 / 2, DN^2
    int64_t zeros = 0;         // samples of both frames at 0
    uint16_t top = 0;          // largest sample of both frames
    int64_t at_top = 0;        // samples of both frames at `top`
    int64_t both_at_top = 0;   // pixels at `top` in both frames
    bool identical = false;    // the frames are equal sample for sample

    // Standard errors of the mean and of the variance (a variance from n
    // samples has a relative standard error of sqrt(2 / (n - 1))).
    double mean_se() const;
    double var_se() const;
};

struct PairStats {
    ChannelMoments channel[channel_count];
};

PairStats pair_stats(const PairPixels& pixels);

// Counts of the sample values of both frames per channel: entry k for value
// k, the last entry for every value from there up (a dark frame that clips at
// 0 needs only its low values).
constexpr size_t counted_values = 16384;
std::array<std::vector<int64_t>, channel_count> value_counts(const PairPixels& pixels);
