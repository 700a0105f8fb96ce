// Average and SD estimated from the upper side of clipped histograms, and the
// normality curves.
#pragma once

#include <cstdint>

struct RunState;
struct TextBuffer;

// Prints the figures when due, adds record group 3 (values or filler) and
// writes the normality curves with -K. Returns 0, or 3 when the histogram log
// is needed for the curves and cannot be opened.
int histogram_derived(RunState& run);

// The bins are sized so that there are fewer than 255 of them.
constexpr int32_t max_derived_bins = 254;

// Bins of the second pass: start 1, width and count sized from Green.
struct DerivedBins {
    bool defined = false;  // false: the range is not a finite number that fits 32 bits
    int32_t range = 0;
    int32_t width = 0;     // B
    int32_t bins = 0;      // N, 0 .. max_derived_bins
};

// Range from Green's reported average, SD and zero rate (percent); K is the
// upper edge of the fit band in SDs.
DerivedBins derived_bins(double K, double green_sd, double green_ave, double zero_rate);

// Before the first step of a run the sweep has no step of its own; the score
// correction then uses this nominal step area.
constexpr double first_step_area = 0.001;

// Normal scores of bins 0 .. bins - 1 of one colour: the z at which the
// standard normal distribution function reaches each bin's cumulative
// fraction of total. step_area carries the area of the latest sweep step from
// one colour to the next.
void normal_scores(const uint32_t* counts, int32_t bins, double total, double& step_area, float* scores);

// Average and SD from the straight line DN = average + SD x z through the
// reference bin (first positive score) and each later bin whose score lies
// in the band K - 1.3 < z < K, weighted by the normal density. A bin's score
// is placed at its upper edge, DN j x width + 1. NaN when there
// is no reference bin or no bin in the band. With debug set, one line per
// fitted bin is added to it.
struct LineFit {
    double ave;
    double sd;
};
LineFit fit_normal_line(const float* scores, int32_t bins, int32_t width, double K, double channel_scale,
                        TextBuffer* debug);
