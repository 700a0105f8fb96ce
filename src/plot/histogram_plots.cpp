// The figures of the histogram log: histograms and normality curves.
#include <algorithm>
#include <cmath>

#include "plot/axis_scale.h"
#include "plot/figure_parts.h"
#include "plot/text_metrics.h"

namespace plot {

namespace {

using namespace parts;

// The normality plot: the sweep that makes the scores runs from -6 to 6, so a
// score at an end says only that the bin is below or above every sample.
constexpr double sweep_end = 5.99;
// With -O the programs count Red and Blue compressed and multiply their
// fitted figures by these.
constexpr double compressed_scale[3] = {1.125, 1.0, 1.16};

std::string count_text(double v)
{
    return format_whole(v);
}

// "R 10000, B 10000", the planes with a count in the row, as written; empty when none.
std::string outer_counts(const ReportTable& t, size_t row)
{
    std::string out;
    for (size_t c = 0; c < 4; ++c)
        if (t.at(row, c + 1) != 0.0) {
            out += out.empty() ? "" : ", ";
            out += plane_names[c];
            out += ' ';
            out += t.cell(row, c + 1);
        }
    return out;
}

// The points of a colour where its score moved: bin j's score at j x B + 1.
Series score_points(const ReportTable& t, size_t c, double bin_width, double scale)
{
    Series s = make_series(colour_names[c], SeriesKind::markers, colour_colours[c]);
    s.style.marker = c == 0 ? Marker::circle : c == 1 ? Marker::square : Marker::diamond;
    s.style.marker_size = 2.4;
    for (size_t j = 0; j < t.row_count(); ++j) {
        const double score = t.at(j, c + 1);
        if (j > 0 && score == t.at(j - 1, c + 1))
            continue;  // an empty bin: the score did not move
        if (!std::isfinite(score) || std::fabs(score) >= sweep_end)
            continue;
        s.x.push_back((static_cast<double>(j) * bin_width + 1.0) * scale);
        s.y.push_back(score);
    }
    return s;
}

// How far the points of Red and Blue lie from their fitted lines, squared,
// with the DN multiplied by the scale or not; over the scores 0 to 3, where
// the lines are fitted.
double distance_from_fit(const ReportTable& t, const StatsRecord& fit, double bin_width, bool scaled)
{
    double sum = 0.0;
    for (const size_t c : {0u, 2u}) {
        const Series s = score_points(t, c, bin_width, scaled ? compressed_scale[c] : 1.0);
        for (size_t i = 0; i < s.x.size(); ++i)
            if (s.y[i] >= 0.0 && s.y[i] <= 3.0) {
                const double d = s.x[i] - (fit.hist_ave[c] + s.y[i] * fit.hist_sd[c]);
                sum += d * d;
            }
    }
    return sum;
}

}  // namespace

double normal_quantile(double p)
{
    if (!(p > 0.0 && p < 1.0))
        return std::nan("");
    double lo = -40.0;
    double hi = 40.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2.0;
        if (0.5 * std::erfc(-mid / std::sqrt(2.0)) < p)
            lo = mid;
        else
            hi = mid;
    }
    return (lo + hi) / 2.0;
}

Figure histogram_figure(const ReportTable& t, const PlotOptions& options)
{
    Figure fig = titled(t);
    Axes& axes = fig.axes;
    const size_t rows = t.row_count();
    const size_t bins = rows - 2;
    auto position = [&](double dn) { return options.ev ? std::log2(std::max(dn, 0.5)) : dn; };
    std::vector<double> edges;
    for (size_t k = 1; k <= bins + 1; ++k)
        edges.push_back(position(t.at(k, 0)));
    std::vector<std::string> empty;
    for (size_t c = 0; c < 4; ++c) {
        Series s = make_series(plane_names[c], SeriesKind::step, plane_colours[c]);
        s.x = edges;
        bool counted = false;
        for (size_t k = 1; k <= bins; ++k) {
            s.y.push_back(t.at(k, c + 1));
            counted = counted || (std::isfinite(s.y.back()) && s.y.back() > 0.0);
        }
        s.style.line_width = 1.4;
        if (counted)
            axes.add(std::move(s));
        else
            empty.push_back(plane_names[c]);
    }
    const double first = t.at(1, 0);
    const double end = t.at(rows - 1, 0);
    const std::string range = count_text(first) + " to " + count_text(end - 1.0);
    if (!empty.empty())
        fig.notes.push_back("No counts from " + range + " in " + name_list(empty) + ".");
    const std::string below = outer_counts(t, 0);
    const std::string above = outer_counts(t, rows - 1);
    if (!below.empty() || !above.empty())
        fig.notes.push_back("Outside the range: below " + count_text(first) + " " + (below.empty() ? "none" : below) +
                            "; from " + count_text(end) + " up " + (above.empty() ? "none" : above) + ".");
    if (two_files(t))
        fig.notes.push_back("The histogram counts the first file's samples only.");
    axes.x.label = options.ev ? "log2 DN (EV)" : "DN";
    axes.y.label = "count";
    if (!options.linear_y)
        axes.y.scale = Scale::log10;
    return fig;
}

Figure normality_figure(const ReportTable& t, const StatsRecord* fit)
{
    Figure fig = titled(t);
    Axes& axes = fig.axes;
    // Bin j holds the DN from (j - 1) x B + 1 to j x B (bin 0 holds DN 0
    // alone): its score, the share of the samples up to it, belongs at its
    // upper edge j x B + 1. The table's DN column gives each bin's first DN.
    const double bin_width = t.row_count() > 2 ? t.at(2, 0) - 1.0 : 1.0;
    const bool compressed = fit != nullptr && distance_from_fit(t, *fit, bin_width, true) <
                                                  distance_from_fit(t, *fit, bin_width, false);
    std::vector<std::string> empty;
    for (size_t c = 0; c < 3; ++c) {
        Series s = score_points(t, c, bin_width, compressed ? compressed_scale[c] : 1.0);
        if (s.x.empty())
            empty.push_back(colour_names[c]);
        else
            axes.add(std::move(s));
    }
    if (!empty.empty())
        fig.notes.push_back(name_list(empty) + ": no score inside the range of the samples.");
    if (fit != nullptr) {
        for (size_t c = 0; c < 3; ++c) {
            const double ave = fit->hist_ave[c];
            const double sd = fit->hist_sd[c];
            if (!std::isfinite(ave) || !std::isfinite(sd) || sd <= 0.0)
                continue;
            Series s = make_series(std::string(colour_names[c]) + " fit: ave " + fit->hist_ave_text[c] + ", SD " +
                                       fit->hist_sd_text[c],
                                   SeriesKind::line, colour_colours[c]);
            s.style.dash = "6 4";
            s.style.line_width = 1.2;
            s.sets_range = false;
            s.x = {ave - 6.0 * sd, ave + 6.0 * sd};
            s.y = {-6.0, 6.0};
            axes.add(std::move(s));
        }
        fig.notes.push_back("Fitted lines: the histogram-derived figures of " + fit->log + " line " +
                            std::to_string(fit->line) + ".");
        if (compressed)
            fig.notes.push_back("Counted with -O: Red and Blue DN are shown multiplied by 1.125 and 1.16, the scale "
                                "of the fitted figures.");
    } else {
        fig.notes.push_back("No fitted lines: no record of this file and window with histogram-derived figures in "
                            "the statistics log (run with -L).");
    }
    if (two_files(t))
        fig.notes.push_back("The scores are of the first file's samples only.");
    axes.x.label = "DN at the upper edge of each bin (j \xC3\x97 B + 1, B = " + format_whole(bin_width) + ")";
    axes.y.label = "normal score z (SDs from the average)";
    axes.use_y2 = true;
    axes.y2.label = "cumulative percent";
    axes.y2.grid = false;
    // The right-hand axis shows the same range: set it once the range is known.
    struct Percent {
        double value;
        const char* label;
    };
    for (const Percent p : {Percent{0.001, "0.001%"}, Percent{0.01, "0.01%"}, Percent{0.1, "0.1%"}, Percent{1, "1%"},
                            Percent{5, "5%"}, Percent{10, "10%"}, Percent{25, "25%"}, Percent{50, "50%"},
                            Percent{75, "75%"}, Percent{90, "90%"}, Percent{95, "95%"}, Percent{99, "99%"},
                            Percent{99.9, "99.9%"}, Percent{99.99, "99.99%"}, Percent{99.999, "99.999%"}})
        axes.y2.ticks.push_back(Tick{normal_quantile(p.value / 100.0), p.label});
    Span scores;
    for (const Series& s : axes.series)
        if (s.sets_range)
            for (const double z : s.y)
                scores.add(z);
    if (!scores.empty()) {
        const double room = std::max(0.1, (scores.hi - scores.lo) * axes.y.margin);
        axes.y.min = axes.y2.min = scores.lo - room;
        axes.y.max = axes.y2.max = scores.hi + room;
    }
    return fig;
}

}  // namespace plot
