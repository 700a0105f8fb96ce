// The datasheet page: one HTML file beside the JSON that shows every figure
// with its uncertainty and every plot, readable without scripts.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct PtcResults;

// plots: file name and SVG text of each plot, shown in that order.
std::string ptc_page(const PtcResults& results, const std::vector<std::pair<std::string, std::string>>& plots);
