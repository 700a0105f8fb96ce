// Planning a run once the image is known: the window, the histogram's bins,
// the spectrum plan and which tables the run writes.
#pragma once

#include "spectra/spectrum_plan.h"
#include "stats/histograms.h"
#include "stats/window.h"

struct ProgramProfile;
struct RawImageInfo;
struct RunSettings;

// Widths the profiles and the -F spectra can hold, and the multi-line spectra.
constexpr int64_t MATH_ARRAY_DIM = 2000;
constexpr int64_t MULTI_ARRAY_DIM = 2048;

struct RunPlan {
    WindowSpec window;
    HistogramSpec histogram;  // the bins, when a histogram switch was given

    // Tables, after the window limits (the run turns a kind off when its
    // report file cannot be opened).
    bool ft_coef = false;           // -F tables
    bool multi_line = false;        // -M/-A tables
    SpectrumPlan spectra;           // their frequencies, both directions
    bool profile_log = false;       // -R or -C survived the spectrum limits: the profile log is opened
    bool rcdn_rows = false;         // then, after the profile limit: the average-row table
    bool rcdn_cols = false;         // and the average-column table
    bool options_disabled = false;  // a window limit dropped an option
};

RunPlan plan_run(const ProgramProfile& profile, const RunSettings& settings, const RawImageInfo& info);
