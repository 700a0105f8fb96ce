// The figures of RCDN.CSV and DFT.CSV: profiles, spectra, autocorrelations,
// with the levels white noise gives in the spectra and autocorrelations.
#include <algorithm>
#include <cmath>

#include "plot/axis_scale.h"
#include "plot/figure_parts.h"
#include "plot/text_metrics.h"
#include "reports/report_texts.h"

namespace plot {

namespace {

using namespace parts;

constexpr double pi = 3.14159265358979323846;
// The -F profiles hold tenths of DN, cut toward zero: a rounding error spread
// evenly over 0.1 DN, of variance 0.1^2 / 12.
constexpr double tenths_variance = 0.01 / 12.0;

// Length of the sequence along the table's direction: W for rows, H for columns.
long direction_length(const ReportTable& t)
{
    return is_row_kind(t.kind) ? t.source.width : t.source.height;
}


// Leaves out the series that have nothing to draw and names them in a note.
void add_drawable(Figure& fig, std::vector<Series>& series, const char* why)
{
    std::vector<std::string> empty;
    for (Series& s : series) {
        const Scale scale = fig.axes.y.scale;
        const bool any = std::any_of(s.y.begin(), s.y.end(), [&](double v) { return usable(v, scale); });
        if (any)
            fig.axes.add(std::move(s));
        else
            empty.push_back(s.name.substr(0, s.name.find(' ')));
    }
    if (!empty.empty())
        fig.notes.push_back(name_list(empty) + ": " + why);
}

// G and the four planes of a spectrum or autocorrelation table, the RMS
// figures of the table in the legend.
std::vector<Series> channel_series(const ReportTable& t)
{
    std::vector<Series> out;
    for (size_t c = 0; c < 4; ++c) {
        out.push_back(make_series(std::string(plane_names[c]) + " (RMS " + t.rms[c + 1] + ")", SeriesKind::line_markers,
                                  plane_colours[c]));
        out.back().style.marker = plane_markers[c];
    }
    out.insert(out.begin(), make_series("G (RMS " + t.rms[0] + ")", SeriesKind::line_markers, colour_g));
    for (Series& s : out) {
        s.style.line_width = 1.1;
        s.style.marker_size = 2.2;
    }
    return out;
}

Series level_series(std::string name, const char* colour, const char* dash)
{
    Series s = make_series(std::move(name), SeriesKind::line, colour);
    s.style.dash = dash;
    s.style.line_width = 1.2;
    return s;
}

}  // namespace

double white_acf_percent(long n, long lag)
{
    if (n < 1)
        return std::nan("");
    const double count = static_cast<double>(n);
    return lag % n == 0 ? 100.0 * (count - 1.0) / count : -100.0 / count;
}

double white_dft_magnitude(double sd, long n, long b)
{
    if (n < 1 || b <= 0 || b > n / 2)
        return std::nan("");
    const double count = static_cast<double>(n);
    if (n % 2 == 0 && b == n / 2)
        return sd * std::sqrt(2.0 / (pi * count));
    return sd * std::sqrt(pi / (4.0 * count));
}

Figure profile_figure(const ReportTable& t, const PlotOptions& options)
{
    Figure fig = titled(t);
    std::vector<Series> series;
    for (size_t c = 0; c < 4; ++c) {
        // A running mean: no sum to overflow.
        double mean = 0.0;
        double n = 0.0;
        for (size_t i = 0; options.detrend && i < t.row_count(); ++i)
            if (usable(t.at(i, c + 1), Scale::linear))
                mean += (t.at(i, c + 1) - mean) / ++n;
        std::string name = plane_names[c];
        if (options.detrend)
            name += " (mean " + format_number(mean, 3) + ")";
        Series s = make_series(name, SeriesKind::line, plane_colours[c]);
        s.style.line_width = 1.3;
        for (size_t i = 0; i < t.row_count(); ++i) {
            s.x.push_back(t.at(i, 0));
            s.y.push_back(t.at(i, c + 1) - mean);
        }
        series.push_back(std::move(s));
    }
    add_drawable(fig, series, "no value that can be drawn.");
    fig.axes.x.label = t.kind == TableKind::profile_row ? "image column" : "image row";
    fig.axes.y.label = options.detrend ? "average DN less the plane mean" : "average DN";
    if (options.detrend)
        fig.axes.ref_lines.push_back(RefLine{false, 0.0, Style{"#888888", 1.0, "", Marker::circle, 3.0}, Side::left, ""});
    return fig;
}

Figure spectrum_figure(const ReportTable& t, const StatsRecord* record, const PlotOptions& options)
{
    Figure fig = titled(t);
    Axes& axes = fig.axes;
    axes.y.scale = Scale::log10;
    const long length = direction_length(t);
    const double n = static_cast<double>(length);
    std::vector<Series> series = channel_series(t);  // G, R, G1, B, G2
    std::vector<long> frequencies[2];                 // listed, above 0: of G, of the planes
    for (size_t i = 0; i < t.row_count(); ++i) {
        const double f = t.at(i, 0);
        const double f1 = t.at(i, 2);
        const double k = t.at(i, 4);
        if (f != 0.0 || options.dc) {
            series[0].x.push_back(f / n);
            series[0].y.push_back(t.at(i, 1));
        }
        if (f1 <= static_cast<double>(length / 2)) {  // beyond it the column holds a 0.000 filler
            series[0].x.push_back(f1 / n);
            series[0].y.push_back(t.at(i, 3));
        }
        for (const double g : {f, f1})
            if (g > 0.0 && g <= static_cast<double>(length / 2))
                frequencies[0].push_back(static_cast<long>(g));
        if (k != 0.0 || options.dc)
            for (size_t c = 0; c < 4; ++c) {
                series[c + 1].x.push_back(k / n);
                series[c + 1].y.push_back(t.at(i, 5 + c));
            }
        if (k > 0.0)
            frequencies[1].push_back(static_cast<long>(k));
    }
    add_drawable(fig, series, "no value above 0 to draw on the log scale.");

    const bool ft = t.kind == TableKind::ft_row || t.kind == TableKind::ft_col;
    if (record != nullptr) {
        // The noise of one sample: the console's SD, times the square root of
        // 2 with two files (the tables hold the plain difference). A -F value
        // averages the other direction's pairs first.
        const bool pair = record->files.find(report_texts::record_minus) != std::string::npos;
        const double pairs = static_cast<double>((is_row_kind(t.kind) ? t.source.height : t.source.width) / 2);
        auto sample_sd = [&](size_t colour) {
            const double sd = record->sd[colour] * (pair ? std::sqrt(2.0) : 1.0);
            return ft ? std::sqrt(sd * sd / std::max(1.0, pairs) + tenths_variance) : sd;
        };
        const char* names[4] = {"G", "R", "G1, G2", "B"};
        const char* colours[4] = {colour_g, colour_r, colour_g1, colour_b};
        const size_t colour_index[4] = {1, 0, 1, 2};
        for (size_t l = 0; l < 4; ++l) {
            const long count = l == 0 ? length : length / 2;
            const double sd = sample_sd(colour_index[l]);
            Series s = level_series(std::string(names[l]) + " white noise " + format_figure(white_dft_magnitude(sd, count, 1), 3),
                                    colours[l], l == 0 ? "7 4" : "3 3");
            for (const long b : frequencies[l == 0 ? 0 : 1]) {
                s.x.push_back(static_cast<double>(b) / n);
                s.y.push_back(white_dft_magnitude(sd, count, b));
            }
            if (!s.x.empty())
                axes.add(std::move(s));
        }
        fig.notes.push_back(std::string("Dashed: the mean magnitude white noise gives, SD ") +
                            format_figure(sample_sd(0), 4) + " (R), " + format_figure(sample_sd(1), 4) + " (G), " +
                            format_figure(sample_sd(2), 4) + " (B) DN per " + (ft ? "profile value" : "sample") +
                            ", from the SDs of " + record->log + " line " + std::to_string(record->line) +
                            (pair ? " times \xE2\x88\x9A" "2 (a pair's difference)" : "") + ".");
    } else {
        fig.notes.push_back("No white-noise level: no record of this file and window in the statistics log (run with -L).");
    }
    axes.x.label = "cycles per pixel";
    axes.y.label = ft ? "coefficient magnitude (DN)" : "average coefficient magnitude (DN)";
    return fig;
}

Figure acf_figure(const ReportTable& t)
{
    Figure fig = titled(t);
    Axes& axes = fig.axes;
    const long length = direction_length(t);
    std::vector<Series> series = channel_series(t);  // G, R, G1, B, G2
    // The green sequence has a sample per pixel; a plane a sample per two.
    Span lags[2];   // lags above 0: of G, of the planes
    Span values;    // at lags above 0
    std::string lag0[5];
    for (size_t i = 0; i < t.row_count(); ++i) {
        for (const size_t col : {0u, 2u}) {
            const double lag = t.at(i, col);
            if (lag > static_cast<double>(length / 2))
                continue;  // the 0.000 filler of the last row
            series[0].x.push_back(lag);
            series[0].y.push_back(t.at(i, col + 1));
            if (lag == 0.0)
                lag0[0] = t.cell(i, col + 1);
            else {
                lags[0].add(lag);
                if (usable(t.at(i, col + 1), Scale::linear))
                    values.add(t.at(i, col + 1));
            }
        }
        const double k = t.at(i, 4);
        for (size_t c = 0; c < 4; ++c) {
            series[c + 1].x.push_back(2.0 * k);
            series[c + 1].y.push_back(t.at(i, 5 + c));
            if (k == 0.0)
                lag0[c + 1] = t.cell(i, 5 + c);
            else if (usable(t.at(i, 5 + c), Scale::linear))
                values.add(t.at(i, 5 + c));
        }
        if (k > 0.0)
            lags[1].add(2.0 * k);
    }
    add_drawable(fig, series, "not a number (a window variance of 0).");

    // The white-noise level: -100 / N at every lag above 0.
    const long counts[2] = {length, length / 2};
    const char* names[2] = {"G", "R, G1, B, G2"};
    for (size_t l = 0; l < 2; ++l) {
        if (lags[l].empty())
            continue;
        const double level = white_acf_percent(counts[l], 1);
        Series s = level_series(std::string(names[l]) + " white noise " + format_figure(level, 3) + " %",
                                l == 0 ? colour_g : "#000000", l == 0 ? "7 4" : "3 3");
        s.x = {lags[l].lo, lags[l].hi};
        s.y = {level, level};
        values.add(level);
        axes.add(std::move(s));
    }
    // Lag 0 is near 100 by construction: when the other lags are small it is
    // left off the scale, so that they can be read, and its values noted.
    if (!lag0[0].empty() && !values.empty()) {
        const double largest = std::max(std::fabs(values.lo), std::fabs(values.hi));
        const double lag0_value = t.at(0, 1);
        if (largest < 50.0 && std::fabs(lag0_value) > 2.0 * largest) {
            const double room = std::max(0.5, (values.hi - values.lo) * axes.y.margin);
            axes.y.min = std::min(values.lo, 0.0) - room;
            axes.y.max = std::max(values.hi, 0.0) + room;
            fig.notes.push_back("Lag 0, off the scale: G " + lag0[0] + ", R " + lag0[1] + ", G1 " + lag0[2] + ", B " +
                                lag0[3] + ", G2 " + lag0[4] + " (white noise: " +
                                format_number(white_acf_percent(counts[0], 0), 2) + " and " +
                                format_number(white_acf_percent(counts[1], 0), 2) + ").");
        }
    }
    axes.ref_lines.push_back(RefLine{false, 0.0, Style{"#000000", 0.8, "", Marker::circle, 3.0}, Side::left, ""});
    axes.x.label = "lag (pixels)";
    axes.y.label = "percent of the window variance";
    return fig;
}

Figure report_figure(const ReportTable& t, const StatsRecord* record, const PlotOptions& options)
{
    switch (t.kind) {
    case TableKind::histogram:
        return histogram_figure(t, options);
    case TableKind::normality:
        return normality_figure(t, record);
    case TableKind::profile_row:
    case TableKind::profile_col:
        return profile_figure(t, options);
    case TableKind::acf_row:
    case TableKind::acf_col:
        return acf_figure(t);
    default:
        return spectrum_figure(t, record, options);
    }
}

}  // namespace plot
