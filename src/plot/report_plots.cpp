#include "plot/report_plots.h"

#include <algorithm>
#include <cmath>

namespace plot {

namespace {

constexpr const char* plane_names[4] = {"R", "G1", "B", "G2"};
constexpr const char* plane_colours[4] = {colour_r, colour_g1, colour_b, colour_g2};
constexpr Marker plane_markers[4] = {Marker::square, Marker::triangle, Marker::diamond, Marker::cross};
constexpr const char* colour_names[3] = {"Red", "Green", "Blue"};
constexpr const char* colour_colours[3] = {colour_r, colour_g1, colour_b};

// The normality plot's vertical range, in normal scores.
constexpr double z_limit = 4.5;

Figure titled(const ReportTable& t)
{
    Figure f;
    f.title = table_title(t.kind);
    std::string source = t.source.text;
    if (source.rfind(", ", 0) == 0)
        source.erase(0, 2);
    f.subtitle = source + "   (" + t.report + " line " + std::to_string(t.line) + ")";
    return f;
}

Series make_series(std::string name, SeriesKind kind, const char* colour)
{
    Series s;
    s.name = std::move(name);
    s.kind = kind;
    s.style.colour = colour;
    return s;
}

bool same_value(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Length of the sequence along the table's direction: W for rows, H for columns.
long direction_length(const ReportTable& t)
{
    return is_row_kind(t.kind) ? t.source.width : t.source.height;
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
    const auto& v = t.values;
    const size_t bins = v.size() - 2;
    const bool log_y = !options.linear_y;
    auto position = [&](double dn) { return options.ev ? std::log2(std::max(dn, 0.5)) : dn; };
    auto height = [&](double count) { return log_y && count == 0.0 ? 0.5 : count; };

    std::vector<double> edges;
    for (size_t k = 1; k <= bins + 1; ++k)
        edges.push_back(position(v[k][0]));
    for (int c = 0; c < 4; ++c) {
        Series s = make_series(plane_names[c], SeriesKind::step, plane_colours[c]);
        s.x = edges;
        for (size_t k = 1; k <= bins; ++k)
            s.y.push_back(height(v[k][c + 1]));
        s.style.line_width = 1.4;
        axes.add(std::move(s));
    }

    // The counters below and at or above the range: four thin bars at each
    // end, apart from the curves.
    const double first = edges.front();
    const double last = edges.back();
    const double span = last > first ? last - first : 1.0;
    const double width = span * 0.012;
    const double gap = span * 0.03;
    double left_top = 0.0;
    double right_top = 0.0;
    for (int c = 0; c < 4; ++c) {
        Series s = make_series("", SeriesKind::bars, plane_colours[c]);
        s.bar_width = width;
        s.x = {first - gap - (3 - c) * width - width / 2.0, last + gap + c * width + width / 2.0};
        s.y = {height(v.front()[c + 1]), height(v.back()[c + 1])};
        if (std::isfinite(s.y[0]))
            left_top = std::max(left_top, s.y[0]);
        if (std::isfinite(s.y[1]))
            right_top = std::max(right_top, s.y[1]);
        axes.add(std::move(s));
    }
    if (log_y) {
        left_top = std::max(left_top, 0.5);
        right_top = std::max(right_top, 0.5);
    }
    axes.notes.push_back(Note{first - gap - 2.0 * width, left_top, "< " + t.cells[1][0], Side::left, 0.0, -6.0,
                              "middle", "#000000"});
    axes.notes.push_back(Note{last + gap + 2.0 * width, right_top, "\xE2\x89\xA5 " + t.cells.back()[0], Side::left,
                              0.0, -6.0, "middle", "#000000"});

    axes.x.label = options.ev ? "log2 DN (EV)" : "DN";
    axes.y.label = "count";
    if (log_y) {
        axes.y.scale = Scale::log10;
        axes.y.min = 0.3;
    }
    return fig;
}

Figure normality_figure(const ReportTable& t, const StatsRecord* fit)
{
    Figure fig = titled(t);
    Axes& axes = fig.axes;
    const auto& v = t.values;
    // Bin j holds the DN from (j - 1) * B + 1 to j * B (bin 0 holds DN 0): its
    // score, the cumulative share up to it, belongs at its upper edge j * B + 1.
    const double step = v.size() > 2 ? v[2][0] - v[1][0] : 1.0;
    for (int c = 0; c < 3; ++c) {
        Series s = make_series(colour_names[c], SeriesKind::markers, colour_colours[c]);
        s.style.marker = c == 0 ? Marker::circle : c == 1 ? Marker::square : Marker::diamond;
        s.style.marker_size = 2.4;
        for (size_t j = 0; j < v.size(); ++j) {
            const double score = v[j][c + 1];
            if (j > 0 && same_value(score, v[j - 1][c + 1]))
                continue;  // an empty bin: the score did not move
            s.x.push_back(static_cast<double>(j) * step + 1.0);
            s.y.push_back(score);
        }
        axes.add(std::move(s));
    }
    if (fit != nullptr) {
        for (int c = 0; c < 3; ++c) {
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
            s.x = {ave - z_limit * sd, ave + z_limit * sd};
            s.y = {-z_limit, z_limit};
            axes.add(std::move(s));
        }
    }
    axes.x.label = "DN (upper edge of bin)";
    axes.y.label = "normal score z (SDs from the average)";
    axes.y.min = -z_limit;
    axes.y.max = z_limit;
    axes.use_y2 = true;
    axes.y2.label = "cumulative percent";
    axes.y2.min = -z_limit;
    axes.y2.max = z_limit;
    axes.y2.grid = false;
    struct Percent {
        double value;
        const char* label;
    };
    for (const Percent p : {Percent{0.001, "0.001%"}, Percent{0.01, "0.01%"}, Percent{0.1, "0.1%"}, Percent{1, "1%"},
                            Percent{5, "5%"}, Percent{10, "10%"}, Percent{25, "25%"}, Percent{50, "50%"},
                            Percent{75, "75%"}, Percent{90, "90%"}, Percent{95, "95%"}, Percent{99, "99%"},
                            Percent{99.9, "99.9%"}, Percent{99.99, "99.99%"}, Percent{99.999, "99.999%"}})
        axes.y2.ticks.push_back(Tick{normal_quantile(p.value / 100.0), p.label});
    return fig;
}

Figure profile_figure(const ReportTable& t, const PlotOptions& options)
{
    Figure fig = titled(t);
    Axes& axes = fig.axes;
    const auto& v = t.values;
    for (int c = 0; c < 4; ++c) {
        double mean = 0.0;
        if (options.detrend) {
            double sum = 0.0;
            size_t n = 0;
            for (const auto& row : v)
                if (std::isfinite(row[c + 1])) {
                    sum += row[c + 1];
                    ++n;
                }
            mean = n > 0 ? sum / static_cast<double>(n) : 0.0;
        }
        std::string name = plane_names[c];
        if (options.detrend)
            name += " (mean " + format_number(mean, 3) + ")";
        Series s = make_series(name, SeriesKind::line, plane_colours[c]);
        s.style.line_width = 1.3;
        for (const auto& row : v) {
            s.x.push_back(row[0]);
            s.y.push_back(row[c + 1] - mean);
        }
        axes.add(std::move(s));
    }
    axes.x.label = t.kind == TableKind::profile_row ? "image column" : "image row";
    axes.y.label = options.detrend ? "average DN less the plane mean" : "average DN";
    if (options.detrend)
        axes.ref_lines.push_back(RefLine{false, 0.0, Style{"#888888", 1.0, "", Marker::circle, 3.0}, Side::left});
    return fig;
}

// The five channels of a spectrum or autocorrelation table, their RMS
// figures in the legend.
void channel_series(const ReportTable& t, SeriesKind kind, Series& g, Series (&planes)[4])
{
    g = make_series("G (RMS " + t.rms[0] + ")", kind, colour_g);
    for (int c = 0; c < 4; ++c) {
        planes[c] = make_series(std::string(plane_names[c]) + " (RMS " + t.rms[c + 1] + ")", kind, plane_colours[c]);
        planes[c].style.marker = plane_markers[c];
    }
}

Figure spectrum_figure(const ReportTable& t, const PlotOptions& options)
{
    Figure fig = titled(t);
    Axes& axes = fig.axes;
    const double n = static_cast<double>(direction_length(t));
    const double half = static_cast<double>(direction_length(t) / 2);
    Series g;
    Series planes[4];
    channel_series(t, SeriesKind::line_markers, g, planes);
    for (const auto& row : t.values) {
        const double f = row[0];
        const double f1 = row[2];
        const double k = row[4];
        if (f != 0.0 || options.dc) {
            g.x.push_back(f / n);
            g.y.push_back(row[1]);
        }
        if (f1 <= half) {  // beyond it the column holds a 0.000 filler
            g.x.push_back(f1 / n);
            g.y.push_back(row[3]);
        }
        if (k != 0.0 || options.dc)
            for (int c = 0; c < 4; ++c) {
                planes[c].x.push_back(k / n);
                planes[c].y.push_back(row[5 + c]);
            }
    }
    for (Series* s : {&g, &planes[0], &planes[1], &planes[2], &planes[3]}) {
        s->style.line_width = 1.1;
        s->style.marker_size = 2.2;
        axes.add(std::move(*s));
    }
    axes.x.label = "cycles per pixel";
    axes.y.label = t.kind == TableKind::ft_row || t.kind == TableKind::ft_col ? "coefficient magnitude (DN)"
                                                                              : "average coefficient magnitude (DN)";
    axes.y.scale = Scale::log10;
    return fig;
}

Figure acf_figure(const ReportTable& t)
{
    Figure fig = titled(t);
    Axes& axes = fig.axes;
    const double half = static_cast<double>(direction_length(t) / 2);
    Series g;
    Series planes[4];
    channel_series(t, SeriesKind::markers, g, planes);
    // The green sequence has a sample per pixel; a plane a sample per two.
    for (const auto& row : t.values) {
        g.x.push_back(row[0]);
        g.y.push_back(row[1]);
        if (row[2] <= half) {
            g.x.push_back(row[2]);
            g.y.push_back(row[3]);
        }
        for (int c = 0; c < 4; ++c) {
            planes[c].x.push_back(2.0 * row[4]);
            planes[c].y.push_back(row[5 + c]);
        }
    }
    for (Series* s : {&g, &planes[0], &planes[1], &planes[2], &planes[3]}) {
        s->style.marker_size = 2.8;
        axes.add(std::move(*s));
    }
    axes.ref_lines.push_back(RefLine{false, 0.0, Style{"#000000", 1.0, "", Marker::circle, 3.0}, Side::left});
    axes.x.margin = 0.02;
    axes.y.margin = 0.02;
    axes.x.label = "lag (pixels)";
    axes.y.label = "percent of the window variance";
    return fig;
}

Figure report_figure(const ReportTable& t, const StatsRecord* fit, const PlotOptions& options)
{
    switch (t.kind) {
    case TableKind::histogram:
        return histogram_figure(t, options);
    case TableKind::normality:
        return normality_figure(t, fit);
    case TableKind::profile_row:
    case TableKind::profile_col:
        return profile_figure(t, options);
    case TableKind::acf_row:
    case TableKind::acf_col:
        return acf_figure(t);
    default:
        return spectrum_figure(t, options);
    }
}

std::string table_tsv(const ReportTable& t)
{
    std::string out = "# " + t.title_line + "\n# " + t.report + " line " + std::to_string(t.line) + "\n";
    const char* columns = "";
    switch (t.kind) {
    case TableKind::histogram:
        out += "# The first row counts the DN below the range, the last row those at or above its end.\n";
        columns = "base\tR\tG1\tB\tG2";
        break;
    case TableKind::normality:
        out += "# DN is the first DN of each bin; the scores are in SDs from the average.\n";
        columns = "DN\tRed\tGreen\tBlue";
        break;
    case TableKind::profile_row:
        columns = "x\tR\tG1\tB\tG2";
        break;
    case TableKind::profile_col:
        columns = "y\tR\tG1\tB\tG2";
        break;
    case TableKind::acf_row:
    case TableKind::acf_col:
        columns = "n\tG_n\tn1\tG_n1\tk\tR\tG1\tB\tG2";
        break;
    default:
        columns = "f\tG_f\tf1\tG_f1\tk\tR\tG1\tB\tG2";
        break;
    }
    out += columns;
    out += "\n";
    const long half = direction_length(t) / 2;
    for (size_t i = 0; i < t.cells.size(); ++i) {
        for (size_t c = 0; c < t.cells[i].size(); ++c) {
            if (c > 0)
                out += "\t";
            const bool filler = is_spectrum_kind(t.kind) && c == 3 && t.values[i][2] > static_cast<double>(half);
            out += filler ? "nan" : t.cells[i][c];
        }
        out += "\n";
    }
    if (!t.rms.empty())
        out += "# RMS\tG\t" + t.rms[0] + "\tR\t" + t.rms[1] + "\tG1\t" + t.rms[2] + "\tB\t" + t.rms[3] + "\tG2\t" +
               t.rms[4] + "\n";
    return out;
}

}  // namespace plot
