// The figures drawn from the report tables, and the tables as plain
// tab-separated data.
#pragma once

#include <string>

#include "plot/report_tables.h"
#include "plot/svg_plot.h"

namespace plot {

struct PlotOptions {
    bool linear_y = false;  // histogram counts on a linear axis instead of log10
    bool ev = false;        // histogram DN as log2 DN
    bool dc = false;        // spectra keep their zero-frequency values
    bool detrend = false;   // profiles less each plane's mean
};

// Colours of the mosaic planes and of the combined green sequence.
inline constexpr const char* colour_r = "#d62728";
inline constexpr const char* colour_g1 = "#2ca02c";
inline constexpr const char* colour_b = "#1f77b4";
inline constexpr const char* colour_g2 = "#17becf";
inline constexpr const char* colour_g = "#444444";

// R, G1, B, G2 as steps over their bins; the outer counters as bars apart
// from the curves at both ends. Empty bins stand at 0.5 on the log axis.
Figure histogram_figure(const ReportTable& table, const PlotOptions& options);
// A normal probability plot: each colour's score at its bin's upper edge,
// where the score changes; with a record's histogram-derived figures the line
// z = (DN - ave) / SD of each colour.
Figure normality_figure(const ReportTable& table, const StatsRecord* fit);
Figure profile_figure(const ReportTable& table, const PlotOptions& options);
// -F and -M spectra against cycles per pixel, log10 DN.
Figure spectrum_figure(const ReportTable& table, const PlotOptions& options);
// Autocorrelations against lag in pixels, percent of the window variance.
Figure acf_figure(const ReportTable& table);
// The figure of any table kind; fit is used by normality curves only.
Figure report_figure(const ReportTable& table, const StatsRecord* fit, const PlotOptions& options);

// The table as tab-separated text: comment lines with its title and origin,
// a line of column names, the rows as written. In spectrum tables the 0.000
// that fills the last row's second green column is written as nan.
std::string table_tsv(const ReportTable& table);

// The z at which the standard normal distribution reaches p (0 < p < 1).
double normal_quantile(double p);

}  // namespace plot
