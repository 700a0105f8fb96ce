// The normal fit behind the histogram-derived figures: bins sized from the
// green statistics, the normal score of each bin, and the straight line
// DN = average + SD x z through the scores of the upper side.
#pragma once

#include <cstdint>

struct TextBuffer;

// The bins are sized so that there are fewer than 255 of them.
constexpr int32_t max_derived_bins = 254;

// Bins of the second pass: start 1, width and count sized from Green.
struct DerivedBins {
    bool defined = false;  // false: the range is not a finite number that fits 32 bits
    int32_t range = 0;
    int32_t width = 0;  // B
    int32_t bins = 0;   // N, 0 .. max_derived_bins
};

// Range from Green's reported average, SD and zero rate (percent); K is the
// upper edge of the fit band in SDs.
DerivedBins derived_bins(double K, double green_sd, double green_ave, double zero_rate);

// Before the first step of a run the sweep has no step of its own; the score
// correction then uses this nominal step area.
constexpr double first_step_area = 0.001;

// Added to the sample count before each colour, cumulatively, so that no
// cumulative fraction reaches 1.
constexpr double total_growth = 0.1;

// Normal scores of bins 0 .. bins - 1 of one colour: the z at which the
// standard normal distribution function reaches each bin's cumulative
// fraction of total. step_area carries the area of the latest sweep step from
// one colour to the next.
void normal_scores(const uint32_t* counts, int32_t bins, double total, double& step_area, float* scores);

// The DN at which bin j's score is fitted: its upper edge, j x B + 1 (bin 0
// holds DN 0 alone; bin j >= 1 holds DN (j - 1) B + 1 .. j B). The score is
// the share of samples up to the end of the bin, and with averages reported
// + 0.5 the edge sits half a DN above the bin's last DN.
inline int64_t bin_fit_dn(int32_t j, int32_t width)
{
    return int64_t{j} * width + 1;
}

// Average and SD from the straight line DN = average + SD x z through the
// reference bin (first positive score) and each later bin whose score lies
// in the band K - 1.3 < z < K, weighted by the normal density, each at
// bin_fit_dn. NaN when there is no reference bin or no bin in the band. With
// debug set, one line per fitted bin is added to it.
struct LineFit {
    double ave;
    double sd;
};
LineFit fit_normal_line(const float* scores, int32_t bins, int32_t width, double K, double channel_scale,
                        TextBuffer* debug);
