#include "ptc/ptc_plots.h"

#include <cmath>

#include "plot/svg_plot.h"
#include "ptc/ptc_results.h"

namespace {

// The three colours of the plots (the green planes apart are in the table).
const int plotted[3] = {ch_red, ch_green, ch_blue};
const char* const colour_ink[3] = {"#d62728", "#2ca02c", "#1f77b4"};
constexpr plot::Marker colour_marker[3] = {plot::Marker::circle, plot::Marker::square, plot::Marker::diamond};

std::string figure_subtitle(const PtcResults& results)
{
    const PairWindow& w = results.window;
    return std::to_string(results.plan->flats.size()) + " flat pairs, window " + std::to_string(w.width) + "x" +
           std::to_string(w.height) + " at X=" + std::to_string(w.x) + " Y=" + std::to_string(w.y);
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

// Net variance against net mean: fitted pairs filled, the others as crosses,
// each colour's fitted line over the fit range and its saturation point.
std::string transfer_curve(const PtcResults& results)
{
    plot::Figure figure;
    figure.title = "Photon transfer curve";
    figure.subtitle = figure_subtitle(results);
    plot::Axes& axes = figure.axes;
    axes.x.label = "net mean (DN)";
    axes.y.label = "net temporal variance (DN^2)";
    axes.x.margin = axes.y.margin = 0.03;
    plot::Series saturation;
    saturation.name = "saturation (largest variance)";
    saturation.kind = plot::SeriesKind::markers;
    saturation.style.marker = plot::Marker::triangle;
    saturation.style.marker_size = 5.0;
    for (int c = 0; c < 3; ++c) {
        const ChannelResult& f = results.channel[plotted[c]];
        const std::string name = channel_name(plotted[c]);
        plot::Series fitted = series(name + " fitted", plot::SeriesKind::markers, c);
        plot::Series other = series(name + " left out of the fit", plot::SeriesKind::markers, c);
        other.style.marker = plot::Marker::cross;
        double fit_end = 0;
        for (const PtcPoint& p : f.points) {
            plot::Series& s = p.in_fit ? fitted : other;
            s.x.push_back(p.net_mu);
            s.y.push_back(p.net_var);
            if (p.in_fit)
                fit_end = std::max(fit_end, p.net_mu);
        }
        if (!fitted.x.empty())
            axes.add(fitted);
        if (!other.x.empty())
            axes.add(other);
        if (f.ok) {
            plot::Series line = series(name + " fit, K " + plot::format_number(f.K, 4) + " DN/e-", plot::SeriesKind::line, c);
            line.style.dash = "6 3";
            const double offset = results.options.black_level ? f.gain_fit.intercept : 0.0;
            line.x = {0.0, fit_end};
            line.y = {offset, offset + f.K * fit_end};
            line.sets_range = false;
            axes.add(line);
        }
        if (f.saturation_reached) {
            const PtcPoint& sat = f.points[static_cast<size_t>(f.saturation)];
            saturation.x.push_back(sat.net_mu);
            saturation.y.push_back(sat.net_var);
        }
    }
    if (!saturation.x.empty())
        axes.add(saturation);
    return plot::render_svg(figure);
}

// Temporal noise against net signal on log-log axes, with the shot-noise line
// sqrt(K x signal) and the dark noise floor.
std::string noise_curve(const PtcResults& results)
{
    plot::Figure figure;
    figure.title = "Temporal noise against signal";
    figure.subtitle = figure_subtitle(results);
    plot::Axes& axes = figure.axes;
    axes.x.label = "net mean (DN)";
    axes.y.label = "temporal noise (DN)";
    axes.x.scale = axes.y.scale = plot::Scale::log10;
    for (int c = 0; c < 3; ++c) {
        const ChannelResult& f = results.channel[plotted[c]];
        const std::string name = channel_name(plotted[c]);
        plot::Series noise = series(name + " measured", plot::SeriesKind::line_markers, c);
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
        plot::Series shot = series(name + " shot noise sqrt(K x)", plot::SeriesKind::line, c);
        shot.style.dash = "6 3";
        shot.sets_range = false;
        plot::Series floor = series(name + " dark noise " + plot::format_number(f.sigma_y_dark.value_or(NAN), 2) + " DN",
                                    plot::SeriesKind::line, c);
        floor.style.dash = "2 3";
        floor.sets_range = false;
        for (double x : {noise.x.front(), noise.x.back()}) {
            shot.x.push_back(x);
            shot.y.push_back(std::sqrt(f.K * x));
            floor.x.push_back(x);
            floor.y.push_back(f.sigma_y_dark.value_or(NAN));
        }
        axes.add(shot);
        if (f.sigma_y_dark && *f.sigma_y_dark > 0)
            axes.add(floor);
    }
    return plot::render_svg(figure);
}

// SNR against signal in electrons, with the model's curve
// mu / sqrt(sigma_y_dark^2 / K^2 + mu).
std::string snr_curve(const PtcResults& results)
{
    plot::Figure figure;
    figure.title = "Signal-to-noise ratio";
    figure.subtitle = figure_subtitle(results);
    plot::Axes& axes = figure.axes;
    axes.x.label = "signal (electrons)";
    axes.y.label = "SNR";
    axes.x.scale = axes.y.scale = plot::Scale::log10;
    for (int c = 0; c < 3; ++c) {
        const ChannelResult& f = results.channel[plotted[c]];
        if (!f.ok)
            continue;
        const std::string name = channel_name(plotted[c]);
        plot::Series measured = series(name + " measured", plot::SeriesKind::markers, c);
        for (const PtcPoint& p : f.points)
            if (p.net_mu > 0 && p.var > 0 && (!f.saturation_reached || &p - f.points.data() <= f.saturation)) {
                measured.x.push_back(p.net_mu / f.K);
                measured.y.push_back(p.net_mu / std::sqrt(p.var));
            }
        if (measured.x.empty())
            continue;
        axes.add(measured);
        plot::Series model = series(name + " model", plot::SeriesKind::line, c);
        model.sets_range = false;
        const double dark_e2 = std::max(f.dark_var, 0.0) / (f.K * f.K);
        const double lo = measured.x.front(), hi = measured.x.back();
        for (int i = 0; i <= 40; ++i) {
            const double mu = lo * std::pow(hi / lo, i / 40.0);
            model.x.push_back(mu);
            model.y.push_back(mu / std::sqrt(dark_e2 + mu));
        }
        axes.add(model);
    }
    return plot::render_svg(figure);
}

// Deviation of the net mean from the straight line through the exposures.
std::string linearity_plot(const PtcResults& results)
{
    plot::Figure figure;
    figure.title = "Linearity: deviation from the fitted line (5 to 95 % of saturation)";
    figure.subtitle = figure_subtitle(results);
    plot::Axes& axes = figure.axes;
    axes.x.label = "net mean (DN)";
    axes.y.label = "deviation (%)";
    axes.x.margin = axes.y.margin = 0.05;
    for (int c = 0; c < 3; ++c) {
        const ChannelResult& f = results.channel[plotted[c]];
        if (!f.linearity_error)
            continue;
        plot::Series dev = series(std::string(channel_name(plotted[c])) + " (LE " +
                                      plot::format_number(*f.linearity_error, 3) + " %)",
                                  plot::SeriesKind::line_markers, c);
        for (const PtcPoint& p : f.points)
            if (!std::isnan(p.linearity_dev)) {
                dev.x.push_back(p.net_mu);
                dev.y.push_back(p.linearity_dev);
            }
        axes.add(dev);
    }
    plot::RefLine zero;
    zero.value = 0;
    zero.style.colour = "#888888";
    zero.style.line_width = 0.8;
    axes.ref_lines.push_back(zero);
    return plot::render_svg(figure);
}

// Spectrograms of one mean image: each plane along rows (solid) and columns
// (dashed), and the temporal floor.
std::string spectrogram_plot(const PtcResults& results, bool flat)
{
    const SpectrogramSet& sp = results.spectra;
    const PlaneSpectrograms& s = flat ? sp.flat : sp.dark;
    plot::Figure figure;
    figure.title = flat ? "Spectrogram of the flat (PRNU): plan line " + std::to_string(sp.flat_line) + " less line " +
                              std::to_string(sp.dark_line)
                        : "Spectrogram of the dark (DSNU): plan line " + std::to_string(sp.dark_line);
    figure.subtitle = figure_subtitle(results);
    plot::Axes& axes = figure.axes;
    axes.x.label = "spatial frequency (cycles per pixel of the plane)";
    axes.y.label = "amplitude (DN)";
    axes.y.scale = plot::Scale::log10;
    const int planes[3] = {0, 1, 2};  // R, G1, B
    for (int c = 0; c < 3; ++c) {
        const char* name = c == 1 ? "Green1" : channel_name(plotted[c]);
        plot::Series rows = series(std::string(name) + " along rows", plot::SeriesKind::line, c);
        rows.x = s.along_rows[planes[c]].frequency;
        rows.y = s.along_rows[planes[c]].amplitude;
        plot::Series columns = series(std::string(name) + " along columns", plot::SeriesKind::line, c);
        columns.style.dash = "5 3";
        columns.x = s.along_columns[planes[c]].frequency;
        columns.y = s.along_columns[planes[c]].amplitude;
        if (!rows.x.empty())
            axes.add(rows);
        if (!columns.x.empty())
            axes.add(columns);
    }
    const double floor = flat ? sp.flat_floor[1] : sp.dark_floor[1];
    if (floor > 0 && !s.along_rows[1].frequency.empty()) {
        plot::Series line;
        line.name = "temporal floor (Green1) " + plot::format_number(floor, 3) + " DN";
        line.kind = plot::SeriesKind::line;
        line.style.colour = "#555555";
        line.style.dash = "2 3";
        line.x = {0.0, 0.5};
        line.y = {floor, floor};
        line.sets_range = false;
        axes.add(line);
    }
    return plot::render_svg(figure);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ptc_plot_files(const PtcResults& results)
{
    std::vector<std::pair<std::string, std::string>> files = {{"ptc-curve.svg", transfer_curve(results)},
                                                              {"ptc-noise.svg", noise_curve(results)},
                                                              {"ptc-snr.svg", snr_curve(results)},
                                                              {"ptc-linearity.svg", linearity_plot(results)}};
    if (results.spectra.measured) {
        files.push_back({"ptc-spectrogram-dark.svg", spectrogram_plot(results, false)});
        files.push_back({"ptc-spectrogram-flat.svg", spectrogram_plot(results, true)});
    }
    return files;
}
