// What ptcfit prints and writes: the console report, PTC_points.csv,
// PTC_results.json, the plots and the datasheet page.
#pragma once

#include <optional>
#include <string>

struct PtcResults;

std::string ptc_report(const PtcResults& results);

std::string ptc_points_csv(const PtcResults& results);
std::string ptc_results_json(const PtcResults& results);

// A value with its standard error, the decimals set by the error's two
// leading digits: "0.5012 +- 0.0021".
std::string with_se(double value, std::optional<double> se, int default_decimals = 3);

// Writes the files into the folder (created with its parents when missing),
// overwriting them. False, with "Error:  ..." appended, when one cannot be
// written.
bool write_ptc_outputs(const std::string& folder, const PtcResults& results, std::string& console);
