// Spatial non-uniformity and defect pixels from the mean image of a pair
// (the two frames averaged), per mosaic plane: the spatial variance with the
// temporal part removed, split into row, column and pixel parts.
#pragma once

#include <cstdint>
#include <vector>

#include "ptc/channels.h"

struct PairPixels;

struct PlaneSpatial {
    int64_t rows = 0, columns = 0, n = 0;  // n: pixels measured (stuck ones left out)
    double mean = 0;                       // of the mean image, DN
    double temporal = 0;                   // temporal variance of one frame, DN^2
    double total = 0;                      // spatial variance, DN^2, temporal part removed
    double total_se = 0;
    double row = 0, column = 0, pixel = 0; // its parts: row offsets, column offsets, pixel to pixel
    double median = 0;                     // of the mean image
    double spread = 0;                     // robust standard deviation of the mean image (1.4826 MAD)
};

struct SpatialStats {
    PlaneSpatial plane[plane_count];
};

// stuck: per window pixel, true to leave it out (it takes its plane's mean).
SpatialStats spatial_stats(const PairPixels& pair, const std::vector<bool>& stuck);

// Pixels at the clip level in both frames; clip per plane.
std::vector<bool> stuck_pixels(const PairPixels& pair, const uint16_t clip[plane_count]);

// Counts per channel (Green pooling G1 and G2).
struct DefectCounts {
    int64_t hot[channel_count] = {};
    int64_t dead[channel_count] = {};
    int64_t weak[channel_count] = {};
    int64_t stuck[channel_count] = {};
};

// Thresholds, stated with the results.
constexpr double hot_threshold_spreads = 10.0;  // dark mean above the median by this many robust SDs
constexpr double min_spread_dn = 0.5;           // the SD never taken below this (a quiet, rounded image)
constexpr double dead_share = 0.1;              // net response below this share of the median
constexpr double weak_share = 0.5;

// Pixels whose dark mean lies above the hot threshold.
std::vector<bool> hot_pixels(const PairPixels& dark, const SpatialStats& dark_stats);

// Hot pixels from the dark pair's mean image; dead and weak from the flat's
// net response (flat mean image - dark mean image); stuck as given.
DefectCounts count_defects(const PairPixels& dark, const SpatialStats& dark_stats, const PairPixels& flat,
                           const SpatialStats& flat_stats, const std::vector<bool>& stuck);
