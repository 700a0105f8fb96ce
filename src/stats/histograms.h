// Four-channel histograms of image 1's DN values.
#pragma once

#include <cstdint>
#include <string>

#include "stats/cfa.h"

// Bins plus the counters below and above the range.
constexpr int32_t max_histogram_bins = 512;

// Where a program puts the histogram's range.
struct HistogramRules {
    int32_t start_floor;  // S is raised to at least this
    int32_t end_extra;    // E is raised to at least S + N - 1 + this
    const char* header;   // column header line of the table
};

// The bins: start S (lower edge of bin 1), width B, count N.
struct HistogramSpec {
    int32_t start = 1;
    int32_t width = 1;
    int32_t bins = 50;
};

// Per plane: [0] below S, [1..N] the bins, [N + 1] at or above S + N x B.
struct HistogramCounts {
    uint32_t counts[4][max_histogram_bins + 2] = {};
};

// The bins the switches -S, -B, -E and -N ask for, brought into range.
HistogramSpec normalise_histogram(const HistogramRules& rules, int32_t S, int32_t B, int32_t E, int32_t N);

// The counter a DN belongs to: below the range, a bin, or at or above the range.
inline int64_t histogram_index(const HistogramSpec& layout, int64_t dn)
{
    // 64-bit: S + N x B may pass 2^31 for a zero-width range.
    const int64_t start = layout.start;
    const int64_t end = start + int64_t{layout.bins} * layout.width;
    if (dn < start)
        return 0;
    if (dn >= end)
        return layout.bins + 1;
    return 1 + (dn - start) / layout.width;
}

// Adds n samples of the DN to the plane's counters.
inline void histogram_add(const HistogramSpec& layout, HistogramCounts& counts, CfaChannel plane, int64_t dn,
                          uint32_t n = 1)
{
    counts.counts[plane][histogram_index(layout, dn)] += n;
}

// The "Histogram data" table; source completes its title line.
std::string histogram_table(const HistogramSpec& layout, const HistogramCounts& counts, const std::string& source,
                            const char* header);
