// What ptcfit prints and writes: the console blocks, PTC_points.csv,
// PTC_results.json and the two plots.
#pragma once

#include <string>
#include <vector>

#include "ptc/plan.h"
#include "ptc/ptc_fit.h"
#include "stats/window.h"

struct Console;

struct PtcResults {
    WindowSpec window;
    const Plan* plan = nullptr;
    std::vector<PairStats> flats;
    ColourFit colour[3];
    std::vector<std::string> warnings;
};

void print_ptc_report(Console& console, const PtcResults& results);

// Text of the two data files.
std::string ptc_points_csv(const PtcResults& results);
std::string ptc_results_json(const PtcResults& results);

// Writes the files into the folder (created when missing), overwriting them.
// False, with "Error:  ..." printed, when one cannot be written.
bool write_ptc_outputs(const std::string& folder, const PtcResults& results, Console& console);
