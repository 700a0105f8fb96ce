// Average and SD estimated from the upper side of clipped histograms, and the
// normality curves.
#pragma once

struct RunState;

// Prints the figures when due, adds record group 3 (values or filler) and
// writes the normality curves with -K. Returns 0, or 3 when the histogram log
// is needed for the curves and cannot be opened.
int histogram_derived(RunState& run);
