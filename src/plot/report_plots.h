// The figures drawn from the report tables, and the tables as plain
// tab-separated data.
#pragma once

#include <string>

#include "plot/report_tables.h"
#include "plot/stats_log.h"
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

// R, G1, B, G2 as the outlines of their bins; a plane without a count in the
// range is left out and named in a note, as are the counts outside the range.
Figure histogram_figure(const ReportTable& table, const PlotOptions& options);
// A normal probability plot: each colour's score at its bin's upper edge
// j x B + 1, where the score changes; with a record's histogram-derived
// figures the line z = (DN - ave) / SD of each colour, points and lines on
// the scale of the figures (a record of a run with -O says so).
Figure normality_figure(const ReportTable& table, const StatsRecord* fit);
Figure profile_figure(const ReportTable& table, const PlotOptions& options);
// -F and -M spectra against cycles per pixel, log10 DN; with the run's record,
// the level white noise of the window's SD gives.
Figure spectrum_figure(const ReportTable& table, const StatsRecord* record, const PlotOptions& options);
// Autocorrelations against lag in pixels, percent of the window variance,
// with the level white noise gives.
Figure acf_figure(const ReportTable& table);
// The figure of any table kind; the record is used by the normality curves
// (its fit) and the spectra (its SDs).
Figure report_figure(const ReportTable& table, const StatsRecord* record, const PlotOptions& options);

// The levels white noise shows in the tables, from how they are computed.
// Autocorrelation in percent of the variance, each line of n samples less its
// own mean: lag 0 gives 100 (n - 1) / n, every other lag -100 / n.
double white_acf_percent(long n, long lag);
// Mean coefficient magnitude (the magnitude divided by n) at frequency b of n
// samples of white noise of SD sd: inside (0, n/2) the real and imaginary
// sums are normal with variance n sd^2 / 2 each, the magnitude is Rayleigh
// and its mean sd sqrt(pi / (4 n)); at b = n/2 the sum is real and the mean
// magnitude sd sqrt(2 / (pi n)). NaN at b = 0 (the line's mean) and beyond n/2.
double white_dft_magnitude(double sd, long n, long b);

// The table as tab-separated text: comment lines with its title and origin,
// a line of column names, the rows as written. In spectrum tables the 0.000
// that fills the last row's second green column is written as nan; normality
// tables get the DN each score belongs at.
std::string table_tsv(const ReportTable& table);

// The z at which the standard normal distribution reaches p (0 < p < 1).
double normal_quantile(double p);

}  // namespace plot
