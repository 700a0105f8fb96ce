#include "ptc/ptc_plots.h"

#include <cmath>

#include "plot/svg_plot.h"
#include "ptc/ptc_outputs.h"

namespace {

const char* const colour_name[3] = {"Red", "Green", "Blue"};
const char* const colour_ink[3] = {"#d62728", "#2ca02c", "#1f77b4"};
constexpr plot::Marker colour_marker[3] = {plot::Marker::circle, plot::Marker::square, plot::Marker::diamond};

std::string figure_subtitle(const PtcResults& results)
{
    const WindowSpec& w = results.window;
    return std::to_string(results.flats.size()) + " flat pairs, window " + std::to_string(w.W) + "x" +
           std::to_string(w.H) + " at X=" + std::to_string(w.X) + " Y=" + std::to_string(w.Y);
}

// Net variance against net mean, fitted points filled, the others hollow
// (crosses), with each colour's fitted line over the fit range and its
// saturation point marked.
std::string transfer_curve(const PtcResults& results)
{
    plot::Figure figure;
    figure.title = "Photon transfer curve";
    figure.subtitle = figure_subtitle(results);
    plot::Axes& axes = figure.axes;
    axes.x.label = "net mean (DN)";
    axes.y.label = "net variance (DN^2)";
    axes.x.min = 0.0;
    axes.x.margin = 0.02;
    axes.y.margin = 0.02;
    plot::Series saturation;
    saturation.name = "saturation";
    saturation.kind = plot::SeriesKind::markers;
    saturation.style.colour = "#000000";
    saturation.style.marker = plot::Marker::triangle;
    saturation.style.marker_size = 5.0;
    for (int c = 0; c < 3; ++c) {
        const ColourFit& f = results.colour[c];
        plot::Series fitted, other, line;
        fitted.name = std::string(colour_name[c]) + " (K " + plot::format_number(f.K, 4) + " DN/e-)";
        fitted.kind = plot::SeriesKind::markers;
        fitted.style.colour = colour_ink[c];
        fitted.style.marker = colour_marker[c];
        other.kind = plot::SeriesKind::markers;
        other.style.colour = colour_ink[c];
        other.style.marker = plot::Marker::cross;
        double fit_end = 0;
        for (const PtcPoint& p : f.points) {
            plot::Series& s = p.in_fit ? fitted : other;
            s.x.push_back(p.net_mu);
            s.y.push_back(p.net_var);
            if (p.in_fit)
                fit_end = std::max(fit_end, p.net_mu);
        }
        const double offset = f.read_noise_from_intercept ? f.free.intercept : 0.0;
        line.kind = plot::SeriesKind::line;
        line.style.colour = colour_ink[c];
        line.style.dash = "6 3";
        line.x = {0.0, fit_end};
        line.y = {offset, offset + f.K * fit_end};
        line.sets_range = false;
        if (f.saturation_reached) {
            const PtcPoint& sat = f.points[static_cast<size_t>(f.saturation)];
            saturation.x.push_back(sat.net_mu);
            saturation.y.push_back(sat.net_var);
        }
        axes.add(fitted);
        if (!other.x.empty())
            axes.add(other);
        axes.add(line);
        // The end of the fit range.
        plot::RefLine range;
        range.vertical = true;
        range.value = fit_end;
        range.style.colour = colour_ink[c];
        range.style.line_width = 0.8;
        range.style.dash = "2 4";
        axes.ref_lines.push_back(range);
    }
    if (!saturation.x.empty())
        axes.add(saturation);
    return plot::render_svg(figure);
}

// Temporal noise (square root of each pair's variance, read noise included)
// against net signal on log-log axes, with the shot-noise line sqrt(K x
// signal) and each colour's read-noise floor in DN.
std::string noise_curve(const PtcResults& results)
{
    plot::Figure figure;
    figure.title = "Noise against signal";
    figure.subtitle = figure_subtitle(results);
    plot::Axes& axes = figure.axes;
    axes.x.label = "net mean (DN)";
    axes.y.label = "noise (DN)";
    axes.x.scale = plot::Scale::log10;
    axes.y.scale = plot::Scale::log10;
    for (int c = 0; c < 3; ++c) {
        const ColourFit& f = results.colour[c];
        plot::Series noise, shot;
        noise.name = colour_name[c];
        noise.kind = plot::SeriesKind::line_markers;
        noise.style.colour = colour_ink[c];
        noise.style.marker = colour_marker[c];
        for (const PtcPoint& p : f.points) {
            noise.x.push_back(p.net_mu);
            noise.y.push_back(std::sqrt(p.var));  // total temporal noise; the floor is the read noise
        }
        axes.add(noise);
        // The shot-noise line sqrt(K x signal) over the measured signals.
        shot.kind = plot::SeriesKind::line;
        shot.style.colour = colour_ink[c];
        shot.style.dash = "6 3";
        shot.sets_range = false;
        for (const PtcPoint& p : f.points)
            if (p.net_mu > 0) {
                shot.x.push_back(p.net_mu);
                shot.y.push_back(std::sqrt(f.K * p.net_mu));
            }
        axes.add(shot);
        plot::RefLine floor;
        floor.value = f.sigma_y_dark;
        floor.style.colour = colour_ink[c];
        floor.style.line_width = 0.8;
        floor.style.dash = "2 4";
        axes.ref_lines.push_back(floor);
        plot::Label label;
        label.x = noise.x.empty() ? 1.0 : noise.x.front();
        label.y = f.sigma_y_dark;
        label.colour = colour_ink[c];
        label.text = std::string(colour_name[c]) + " read noise " + plot::format_number(f.sigma_y_dark, 2) + " DN";
        if (f.sigma_y_dark > 0)
            axes.labels.push_back(label);
    }
    return plot::render_svg(figure);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ptc_plot_files(const PtcResults& results)
{
    return {{"ptc-curve.svg", transfer_curve(results)}, {"ptc-noise.svg", noise_curve(results)}};
}
