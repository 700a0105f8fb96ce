// Measuring a planned series: every pair read in one window, the temporal
// characterisation of each channel, then the spatial one from the pairs
// nearest half of saturation.
#pragma once

#include <string>

#include "ptc/pair_reader.h"
#include "ptc/ptc_results.h"

// Exit statuses of a refusal or an unreadable input (the readers' own
// statuses pass through).
constexpr int status_refused = 1;

struct SeriesRequest {
    const ReaderProfiles* readers = nullptr;
    std::string plan_folder;  // the plan's names are relative to it
    WindowRequest window;
    FitOptions options;
};

// Smallest window: fewer samples give no usable variance.
constexpr int64_t min_window_side = 16;

// Returns 0, or the exit status with the message appended to console.
// A file name of the plan: relative ones are taken from the plan's folder.
std::string plan_file_path(const SeriesRequest& request, const std::string& name);

int measure_series(const SeriesRequest& request, const Plan& plan, PtcResults& results, std::string& console);

// The spatial part: re-reads the chosen pairs. Returns 0 or the exit status.
int measure_spatial(const SeriesRequest& request, PtcResults& results, std::string& console);
