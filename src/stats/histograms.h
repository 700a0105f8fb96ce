// Four-channel histograms of image 1's DN values.
#pragma once

#include <cstdint>

#include "stats/cfa.h"

struct ProgramProfile;
struct RunSettings;
struct RunState;

// Bins plus the counters below and above the range.
constexpr int32_t max_histogram_bins = 512;

struct HistogramSet {
    int32_t start = 1;   // S: lower edge of bin 1
    int32_t width = 1;   // B: bin width in DN
    int32_t bins = 50;   // N: regular bins
    // Per plane: [0] below S, [1..N] the bins, [N + 1] at or above S + N x B.
    uint32_t counts[4][max_histogram_bins + 2] = {};
};

// Brings S, B, E and N into range, stores them in the set and clears the counters.
void normalise_histogram(const ProgramProfile& profile, RunSettings& settings, HistogramSet& hist);

// The counter a DN belongs to: below the range, a bin, or at or above the range.
inline int64_t histogram_index(const HistogramSet& hist, int64_t dn)
{
    // 64-bit: S + N x B may pass 2^31 for a zero-width range.
    const int64_t start = hist.start;
    const int64_t end = start + int64_t{hist.bins} * hist.width;
    if (dn < start)
        return 0;
    if (dn >= end)
        return hist.bins + 1;
    return 1 + (dn - start) / hist.width;
}

inline void histogram_add(HistogramSet& hist, CfaChannel channel, int64_t dn)
{
    ++hist.counts[channel][histogram_index(hist, dn)];
}

void clear_histogram_counts(HistogramSet& hist);

// The "Histogram data" table, appended to the histogram log.
void write_histogram_table(RunState& run);
