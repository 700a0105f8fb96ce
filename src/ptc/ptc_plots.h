// The photon transfer curve and the noise-against-signal plot, as SVG texts.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct PtcResults;

// File name and SVG text of each plot.
std::vector<std::pair<std::string, std::string>> ptc_plot_files(const PtcResults& results);
