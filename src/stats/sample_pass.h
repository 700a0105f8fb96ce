// The single read of the window that feeds every report: channel sums,
// histograms, profile sums and the line store of the multi-line spectra.
#pragma once

#include <cstdint>
#include <vector>

#include "stats/cfa.h"
#include "stats/window_reader.h"

struct HistogramSet;
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
    // How often each DN of image 1 occurs in the window, per plane:
    // [plane x 65536 + DN]. Filled by the fast pass (the histogram-derived
    // pass counts from it instead of reading the window again); the plain
    // pass leaves it empty.
    std::vector<uint32_t> dn_counts;
};

// Above every 16-bit value, so the first sample always sets the minimum.
constexpr uint32_t min_dn_start = 65536;

void reset_channel_stats(ChannelStats& stats, int64_t W, int64_t H);

// False (with the image) when a sample of the window could not be read.
ReadOutcome sample_pass(RunState& run);

// The two forms of the pass, with the same results bit for bit: counting
// every sample of image 1 at its value, on all workers (large windows); and
// each sample read, used and dropped in file order (small windows, and the
// reference the other is held against).
ReadOutcome counting_sample_pass(RunState& run);
ReadOutcome plain_sample_pass(RunState& run);

// How often each DN occurs in image 1's window, per plane:
// counts[plane x 65536 + DN]. Read as the sample pass reads, on all workers.
ReadOutcome count_window_values(const RunState& run, std::vector<uint32_t>& counts);

// Adds n samples of the DN to the plane's counters: n calls of histogram_add.
void histogram_add_many(HistogramSet& hist, CfaChannel plane, int64_t dn, uint32_t n);
