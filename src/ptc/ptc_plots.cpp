#include "ptc/ptc_plots.h"

#include <algorithm>
#include <cmath>

#include "plot/svg_plot.h"
#include "ptc/ptc_outputs.h"
#include "ptc/ptc_results.h"

namespace {

// The three colours of the plots (the green planes apart are in the table).
const int plotted[3] = {ch_red, ch_green, ch_blue};
const char* const colour_ink[3] = {"#d62728", "#2ca02c", "#1f77b4"};
constexpr plot::Marker colour_marker[3] = {plot::Marker::circle, plot::Marker::square, plot::Marker::diamond};
const char* const neutral_ink = "#555555";
const char* const model_dash = "6 3";
const char* const floor_dash = "2 3";

std::string figure_subtitle(const PtcResults& results)
{
    const PairWindow& w = results.window;
    return std::to_string(results.plan->flats.size()) + " flat pairs, window " + std::to_string(w.width) + "x" +
           std::to_string(w.height) + " at X=" + std::to_string(w.x) + " Y=" + std::to_string(w.y);
}

plot::Figure figure_of(const PtcResults& results, std::string title, std::string x_label, std::string y_label)
{
    plot::Figure figure;
    figure.title = std::move(title);
    figure.subtitle = figure_subtitle(results);
    figure.axes.x.label = std::move(x_label);
    figure.axes.y.label = std::move(y_label);
    return figure;
}

plot::Series series(const std::string& name, plot::SeriesKind kind, int c)
{
    plot::Series s;
    s.name = name;
    s.kind = kind;
    s.style.colour = colour_ink[c];
    s.style.marker = colour_marker[c];
    return s;
}

// A legend entry for lines drawn once per colour: one grey sample of the dash.
plot::LegendEntry neutral_entry(const std::string& text, plot::SeriesKind kind, const char* dash)
{
    plot::LegendEntry e;
    e.text = text;
    e.kind = kind;
    e.style.colour = neutral_ink;
    e.style.dash = dash;
    e.style.marker = plot::Marker::cross;
    return e;
}

// Net variance against net mean: the fitted pairs filled and their line over
// the fit range, the pairs left out as crosses, each colour's saturation.
std::string transfer_curve(const PtcResults& results)
{
    plot::Figure figure = figure_of(results, "Photon transfer curve", "net mean (DN)", "net temporal variance (DN^2)");
    plot::Axes& axes = figure.axes;
    plot::Series saturation;
    saturation.name = "saturation (the pair of largest variance)";
    saturation.kind = plot::SeriesKind::markers;
    saturation.style.marker = plot::Marker::triangle;
    saturation.style.marker_size = 5.0;
    bool left_out = false;
    for (int c = 0; c < 3; ++c) {
        const ChannelResult& f = results.channel[plotted[c]];
        const std::string name = channel_name(plotted[c]);
        plot::Series fitted = series("", plot::SeriesKind::markers, c);
        plot::Series other = series("", plot::SeriesKind::markers, c);
        other.style.marker = plot::Marker::cross;
        for (const PtcPoint& p : f.points) {
            plot::Series& s = p.in_fit ? fitted : other;
            s.x.push_back(p.net_mu);
            s.y.push_back(p.net_var);
        }
        left_out = left_out || !other.x.empty();
        if (f.ok) {
            // The line over the fit range, from 0 to its end.
            const double offset = results.options.black_level ? f.gain_fit.intercept : 0.0;
            double end = results.options.fit_max * f.range_reference;
            for (const PtcPoint& p : f.points)
                if (p.in_fit)
                    end = std::max(end, p.net_mu);
            plot::Series line = series("", plot::SeriesKind::line, c);
            line.style.dash = model_dash;
            line.x = {0.0, end};
            line.y = {offset, offset + f.K * end};
            axes.add(line);
            plot::LegendEntry entry;
            entry.text = name + ": K " + with_se(f.K, f.K_se, 4) + " DN/e-, fitted up to " +
                         plot::format_number(end, 0) + " DN";
            entry.kind = plot::SeriesKind::line_markers;
            entry.style = fitted.style;
            entry.style.dash = model_dash;
            axes.legend_entries.push_back(entry);
        }
        if (!fitted.x.empty())
            axes.add(fitted);
        if (!other.x.empty())
            axes.add(other);
        if (f.saturation_reached) {
            const PtcPoint& sat = f.points[static_cast<size_t>(f.saturation)];
            saturation.x.push_back(sat.net_mu);
            saturation.y.push_back(sat.net_var);
        }
    }
    if (!saturation.x.empty())
        axes.add(saturation);
    if (left_out)
        axes.legend_entries.push_back(
            neutral_entry("left out of the fit (clipped, or beyond the fit range)", plot::SeriesKind::markers, ""));
    return plot::render_svg(figure);
}

// Temporal noise against net signal on log-log axes, with each colour's
// shot-noise line sqrt(K x) and dark noise sigma_y.dark.
std::string noise_curve(const PtcResults& results)
{
    plot::Figure figure = figure_of(results, "Temporal noise against signal", "net mean (DN)", "temporal noise (DN)");
    plot::Axes& axes = figure.axes;
    axes.x.scale = axes.y.scale = plot::Scale::log10;
    bool models = false;
    for (int c = 0; c < 3; ++c) {
        const ChannelResult& f = results.channel[plotted[c]];
        const std::string name = channel_name(plotted[c]);
        plot::Series noise = series(name, plot::SeriesKind::line_markers, c);
        for (const PtcPoint& p : f.points)
            if (p.net_mu > 0) {
                noise.x.push_back(p.net_mu);
                noise.y.push_back(std::sqrt(std::max(p.var, 0.0)));
            }
        if (noise.x.empty())
            continue;
        axes.add(noise);
        if (!f.ok)
            continue;
        models = true;
        const double lo = *std::min_element(noise.x.begin(), noise.x.end());
        const double hi = *std::max_element(noise.x.begin(), noise.x.end());
        plot::Series shot = series("", plot::SeriesKind::line, c);
        shot.style.dash = model_dash;
        shot.x = {lo, hi};
        shot.y = {std::sqrt(f.K * lo), std::sqrt(f.K * hi)};
        axes.add(shot);
        if (f.sigma_y_dark && *f.sigma_y_dark > 0) {
            plot::Series floor = series("", plot::SeriesKind::line, c);
            floor.style.dash = floor_dash;
            floor.x = {lo, hi};
            floor.y = {*f.sigma_y_dark, *f.sigma_y_dark};
            axes.add(floor);
            axes.labels.push_back(plot::Label{lo, *f.sigma_y_dark, name + " " + plot::format_number(*f.sigma_y_dark, 2) + " DN",
                                              plot::Side::left, colour_ink[c]});
        }
    }
    if (models) {
        axes.legend_entries.push_back(neutral_entry("shot noise sqrt(K x net mean)", plot::SeriesKind::line, model_dash));
        axes.legend_entries.push_back(neutral_entry("dark noise sigma_y.dark", plot::SeriesKind::line, floor_dash));
    }
    return plot::render_svg(figure);
}

// SNR against signal in electrons up to saturation, with the model
// mu / sqrt(sigma_y.dark^2 / K^2 + mu) from where it is 1 (the least
// detectable signal) and the shot-noise limit sqrt(mu).
std::string snr_curve(const PtcResults& results)
{
    plot::Figure figure = figure_of(results, "Signal-to-noise ratio", "signal (electrons)", "SNR");
    plot::Axes& axes = figure.axes;
    axes.x.scale = axes.y.scale = plot::Scale::log10;
    double lo = INFINITY, hi = 0;
    for (int c = 0; c < 3; ++c) {
        const ChannelResult& f = results.channel[plotted[c]];
        if (!f.ok)
            continue;
        plot::Series measured = series(channel_name(plotted[c]), plot::SeriesKind::markers, c);
        for (size_t i = 0; i < f.points.size(); ++i) {
            const PtcPoint& p = f.points[i];
            if (p.net_mu > 0 && p.var > 0 && (!f.saturation_reached || static_cast<int>(i) <= f.saturation)) {
                measured.x.push_back(p.net_mu / f.K);
                measured.y.push_back(p.net_mu / std::sqrt(p.var));
            }
        }
        if (measured.x.empty())
            continue;
        axes.add(measured);
        const double dark_e2 = std::max(f.dark_var, 0.0) / (f.K * f.K);
        const double from = std::isfinite(f.u_e_min) ? f.u_e_min : *std::min_element(measured.x.begin(), measured.x.end());
        const double to = *std::max_element(measured.x.begin(), measured.x.end());
        plot::Series model = series("", plot::SeriesKind::line, c);
        for (int i = 0; i <= 60; ++i) {
            const double mu = from * std::pow(to / from, i / 60.0);
            model.x.push_back(mu);
            model.y.push_back(mu / std::sqrt(dark_e2 + mu));
        }
        axes.add(model);
        lo = std::min(lo, from);
        hi = std::max(hi, to);
    }
    if (hi > 0) {
        plot::LegendEntry model;
        model.text = "model: signal / sqrt(dark noise^2 + signal)";
        model.kind = plot::SeriesKind::line;
        model.style.colour = neutral_ink;
        axes.legend_entries.push_back(model);
        plot::Series limit;
        limit.name = "shot-noise limit sqrt(signal)";
        limit.style.colour = neutral_ink;
        limit.style.dash = model_dash;
        limit.style.line_width = 1.0;
        limit.x = {lo, hi};
        limit.y = {std::sqrt(lo), std::sqrt(hi)};
        axes.add(limit);
    }
    return plot::render_svg(figure);
}

// Deviation of the net mean from the straight line through the exposures.
std::string linearity_plot(const PtcResults& results)
{
    plot::Figure figure = figure_of(results, "Linearity: deviation from the line fitted from 5 to 95 % of saturation",
                                    "net mean (DN)", "deviation (%)");
    plot::Axes& axes = figure.axes;
    for (int c = 0; c < 3; ++c) {
        const ChannelResult& f = results.channel[plotted[c]];
        if (!f.linearity_error)
            continue;
        plot::Series dev = series(std::string(channel_name(plotted[c])) + ": LE " +
                                      with_se(*f.linearity_error, f.linearity_error_se) + " %",
                                  plot::SeriesKind::line_markers, c);
        for (const PtcPoint& p : f.points)
            if (!std::isnan(p.linearity_dev)) {
                dev.x.push_back(p.net_mu);
                dev.y.push_back(p.linearity_dev);
            }
        axes.add(dev);
    }
    plot::RefLine zero;
    zero.style.colour = neutral_ink;
    zero.style.line_width = 0.8;
    zero.label = "the fitted line";
    axes.ref_lines.push_back(zero);
    return plot::render_svg(figure);
}

// One spectrogram of a mean image: each colour's plane along the rows (or the
// columns), with its temporal floor.
std::string spectrogram_plot(const PtcResults& results, bool flat, bool along_rows)
{
    const SpectrogramSet& sp = results.spectra;
    const PlaneSpectrograms& s = flat ? sp.flat : sp.dark;
    const std::string what = flat ? "flat (PRNU), plan line " + std::to_string(sp.flat_line) + " less line " +
                                        std::to_string(sp.dark_line)
                                  : "dark (DSNU), plan line " + std::to_string(sp.dark_line);
    plot::Figure figure = figure_of(results, std::string("Spectrogram along the ") + (along_rows ? "rows" : "columns") +
                                                 " of the " + what,
                                    "spatial frequency (cycles per pixel of the plane)", "amplitude (DN)");
    plot::Axes& axes = figure.axes;
    axes.y.scale = plot::Scale::log10;
    const int planes[3] = {0, 1, 2};  // R, G1, B
    bool floors = false;
    for (int c = 0; c < 3; ++c) {
        const Spectrogram& line = (along_rows ? s.along_rows : s.along_columns)[planes[c]];
        if (line.frequency.empty())
            continue;
        const double floor = (flat ? sp.flat_floor : sp.dark_floor)[planes[c]];
        plot::Series spectrum = series(std::string(c == 1 ? "Green1" : channel_name(plotted[c])) + " (floor " +
                                           plot::format_number(floor, floor < 10 ? 2 : 1) + " DN)",
                                       plot::SeriesKind::line, c);
        spectrum.style.line_width = 1.0;
        spectrum.x = line.frequency;
        spectrum.y = line.amplitude;
        axes.add(spectrum);
        if (floor > 0) {
            plot::Series level = series("", plot::SeriesKind::line, c);
            level.style.dash = floor_dash;
            level.x = {line.frequency.front(), line.frequency.back()};
            level.y = {floor, floor};
            axes.add(level);
            floors = true;
        }
    }
    if (floors)
        axes.legend_entries.push_back(
            neutral_entry("temporal noise floor of the mean image", plot::SeriesKind::line, floor_dash));
    return plot::render_svg(figure);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ptc_plot_files(const PtcResults& results)
{
    std::vector<std::pair<std::string, std::string>> files = {{"ptc-curve.svg", transfer_curve(results)},
                                                              {"ptc-noise.svg", noise_curve(results)},
                                                              {"ptc-snr.svg", snr_curve(results)},
                                                              {"ptc-linearity.svg", linearity_plot(results)}};
    if (results.spectra.measured)
        for (bool flat : {false, true})
            for (bool rows : {true, false})
                files.push_back({std::string("ptc-spectrogram-") + (flat ? "flat" : "dark") + (rows ? "-rows" : "-columns") +
                                     ".svg",
                                 spectrogram_plot(results, flat, rows)});
    return files;
}
