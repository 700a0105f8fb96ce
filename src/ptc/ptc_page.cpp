#include "ptc/ptc_page.h"

#include <cmath>

#include "ptc/ptc_outputs.h"
#include "ptc/ptc_results.h"
#include "reports/text_out.h"

namespace {

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

const char* const empty_cell = "<td class=\"na\">&ndash;</td>";

// A cell: the value with its error, a dash for what the series cannot give,
// and for a figure known only to lie below a limit, that limit.
std::string cell(std::optional<double> value, std::optional<double> se, int decimals,
                 std::optional<double> limit = std::nullopt)
{
    if (!value || !std::isfinite(*value))
        return empty_cell;
    // The error after the value, under it in a narrow window.
    std::string text = escaped(with_se(*value, se, decimals));
    if (const size_t pm = text.find(" +- "); pm != std::string::npos)
        text = text.substr(0, pm) + "<span class=\"se\"> &plusmn; " + text.substr(pm + 4) + "</span>";
    if (limit)
        text += text_of("<span class=\"limit\">below %.3g</span>", *limit);
    return "<td>" + text + "</td>";
}

std::string figure_rows(const PtcResults& r)
{
    std::string out;
    auto row = [&](const char* figure, const char* unit, auto make) {
        out += std::string("<tr><th scope=\"row\">") + figure + "</th><td class=\"unit\">" + unit + "</td>";
        for (int ch = 0; ch < channel_count; ++ch)
            out += make(r.channel[ch], r.spatial[ch]);
        out += "</tr>\n";
    };
    using C = const ChannelResult&;
    using S = const SpatialResult&;
    auto opt = [](bool ok, double v) { return ok ? std::optional<double>(v) : std::nullopt; };
    row("System gain K", "DN/e&minus;", [&](C c, S) { return cell(opt(c.ok, c.K), c.K_se, 5); });
    row("Dark noise &sigma;<sub>y.dark</sub>", "DN", [&](C c, S) { return cell(c.sigma_y_dark, c.sigma_y_dark_se, 3); });
    row("Dark noise &sigma;<sub>d</sub>", "e&minus;", [&](C c, S) {
        if (c.sigma_d_upper_limit)
            return text_of("<td>&lt; %.3f <span class=\"limit\">(upper limit)</span></td>", *c.sigma_d);
        return cell(c.sigma_d, c.sigma_d_se, 3);
    });
    row("Dark current (from the mean)", "e&minus;/s", [&](C c, S) { return cell(c.dark_current, c.dark_current_se, 3); });
    row("Dark current (from the variance)", "e&minus;/s",
        [&](C c, S) { return cell(c.dark_current_var, c.dark_current_var_se, 3); });
    row("Saturation capacity &mu;<sub>e.sat</sub>", "e&minus;", [&](C c, S) {
        if (c.ok && !c.saturation_reached)
            return std::string("<td class=\"na\">not reached</td>");
        return cell(c.u_e_sat, c.u_e_sat_se, 0);
    });
    auto snr_db_se = [](C c) {
        return c.snr_max && c.snr_max_se ? std::optional<double>(20 / std::log(10.0) * *c.snr_max_se / *c.snr_max)
                                         : std::nullopt;
    };
    row("SNR<sub>max</sub>", "dB", [&](C c, S) { return cell(c.snr_max_db, snr_db_se(c), 2); });
    row("SNR<sub>max</sub>", "bits", [&](C c, S) { return cell(c.snr_max_bits, std::nullopt, 2); });
    row("Dynamic range", "dB", [&](C c, S) { return cell(c.dr_db, c.dr_se_db, 2); });
    row("Dynamic range", "bits (stops)", [&](C c, S) {
        return cell(c.dr_bits, c.dr_se_db ? std::optional<double>(*c.dr_se_db / (20 * std::log10(2.0))) : std::nullopt, 2);
    });
    row("Linearity error LE", "%", [&](C c, S) { return cell(c.linearity_error, c.linearity_error_se, 3); });
    row("DSNU", "e&minus;", [&](C, S s) { return cell(s.dsnu_e, s.dsnu_e_se, 2, s.dsnu_limit_e); });
    row("PRNU", "%", [&](C, S s) { return cell(s.prnu_percent, s.prnu_percent_se, 3, s.prnu_limit_percent); });
    row("Hot / dead / weak / stuck pixels", "", [&](C, S s) {
        if (!s.measured)
            return std::string(empty_cell);
        return text_of("<td>%lld / %lld / %lld / %lld</td>", static_cast<long long>(s.hot), static_cast<long long>(s.dead),
                       static_cast<long long>(s.weak), static_cast<long long>(s.stuck));
    });
    row("Flat pairs in the fit", "", [&](C c, S) { return c.ok ? text_of("<td>%d</td>", c.used) : std::string(empty_cell); });
    return out;
}

// What the rows cannot say: where the dark noise comes from, why a channel
// is missing.
std::string table_notes(const PtcResults& r)
{
    std::string out;
    const ChannelResult& g = r.channel[ch_green];
    if (g.ok)
        out += "<li>Dark noise from " + escaped(g.dark_label) +
               (g.dark_at_zero ? "; &sigma;<sub>d</sub> at 0 s is the read noise."
                               : "; &sigma;<sub>d</sub> holds the dark current of that exposure (dark pairs at several "
                                 "exposures give the read noise at 0 s).") +
               (g.sigma_d_upper_limit ? " Upper limit: " + escaped(g.limit_reason) + "." : "") + "</li>\n";
    out += "<li>&plusmn; one standard error. A figure &ldquo;below&rdquo; a value is not resolved from the noise: it lies "
           "below that limit (two standard errors up).</li>\n";
    for (int ch = 0; ch < channel_count; ++ch)
        if (!r.channel[ch].ok)
            out += std::string("<li>") + channel_name(ch) + " not characterised: " + escaped(r.channel[ch].failure) +
                   ".</li>\n";
    return "<ul class=\"notes\">\n" + out + "</ul>\n";
}

std::string text_list(const char* id, const char* title, const std::vector<std::string>& texts)
{
    if (texts.empty())
        return "";
    std::string out = std::string("<h2 id=\"") + id + "\">" + title + "</h2>\n<ul class=\"" + id + "\">\n";
    for (const std::string& text : texts)
        out += "<li>" + escaped(text) + ".</li>\n";
    return out + "</ul>\n";
}

// The plot's own size (its width and height attributes), so that the page
// is laid out before the images load.
std::string size_of(const std::string& svg)
{
    std::string size;
    const size_t open = svg.find("<svg");
    for (const char* attr : {"width=\"", "height=\""}) {
        const size_t at = svg.find(attr, open);
        if (open != std::string::npos && at != std::string::npos) {
            size += ' ';
            size.append(svg, at, svg.find('"', at + std::string(attr).size()) + 1 - at);
        }
    }
    return size;
}

// Images at their own size, as many side by side as the window holds; a
// window narrower than a plot shrinks it.
const char* const style_sheet =
    "body{font-family:\"DejaVu Sans\",Verdana,Arial,sans-serif;margin:16px;color:#222}"
    "h1{font-size:1.35em;margin:0 0 0.3em}h2{font-size:1.1em;margin:1.2em 0 0.6em;padding-bottom:0.2em;"
    "border-bottom:1px solid #ccc}"
    "table{border-collapse:collapse;margin:0.5em 0}th,td{border:1px solid #bbb;padding:0.25em 0.6em;"
    "text-align:right;white-space:nowrap}th[scope=row]{text-align:left}td.unit{text-align:left;color:#555}"
    "th[scope=row]{white-space:normal;min-width:9em}td.na{color:#888;text-align:center}span.limit{display:block;font-size:0.85em;color:#8a4b00}.table-wrap{overflow-x:auto;max-width:100%}"
    "ul.notes{font-size:0.9em;color:#444}ul.warnings li{color:#8a4b00}"
    "div.plots{display:grid;gap:20px 24px;justify-content:start;"
    "grid-template-columns:repeat(auto-fill,minmax(min(100%,640px),640px))}"
    "figure{margin:0;min-width:0}figure img{display:block;max-width:100%;height:auto}"
    "figcaption{font-size:0.85em;color:#444;margin-top:0.3em;overflow-wrap:anywhere}"
    "@media (max-width:1000px){span.se{display:block;font-size:0.85em;color:#444}table{font-size:0.9em}"
    "th,td{padding:0.2em 0.35em}}";

}  // namespace

std::string ptc_page(const PtcResults& results, const std::vector<std::pair<std::string, std::string>>& plots)
{
    const PairWindow& w = results.window;
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>Sensor characterisation</title>\n<style>";
    page += style_sheet;
    page += "</style>\n</head>\n<body>\n<h1>Sensor characterisation</h1>\n";
    add_text(page, "<p>%zu flat pairs and %zu dark pair%s, window %lld&times;%lld pixels at X=%lld Y=%lld. "
                   "The figures as numbers are in PTC_results.json, the pairs in PTC_points.csv.</p>\n",
             results.plan->flats.size(), results.plan->darks.size(), results.plan->darks.size() == 1 ? "" : "s",
             static_cast<long long>(w.width), static_cast<long long>(w.height), static_cast<long long>(w.x),
             static_cast<long long>(w.y));
    page += "<nav><strong>Contents</strong><ul><li><a href=\"#figures\">Figures</a></li>";
    if (!results.notes.empty())
        page += "<li><a href=\"#notes\">Notes</a></li>";
    if (!results.warnings.empty())
        page += "<li><a href=\"#warnings\">Warnings</a></li>";
    page += "<li><a href=\"#plots\">Plots</a><ul>";
    for (const auto& plot : plots)
        page += "<li><a href=\"#" + escaped(plot.first) + "\">" + escaped(plot.first) + "</a></li>";
    page += "</ul></li><li><a href=\"#limits\">What is not measured</a></li></ul></nav>\n";
    page += "<h2 id=\"figures\">Figures</h2>\n<div class=\"table-wrap\"><table>\n<tr><th>Figure</th><th>Unit</th>";
    for (int ch = 0; ch < channel_count; ++ch)
        page += std::string("<th>") + channel_name(ch) + "</th>";
    page += "</tr>\n" + figure_rows(results) + "</table></div>\n" + table_notes(results);
    page += text_list("notes", "Notes", results.notes);
    page += text_list("warnings", "Warnings", results.warnings);
    page += "<h2 id=\"plots\">Plots</h2>\n<div class=\"plots\">\n";
    for (const auto& [name, svg] : plots)
        page += "<figure id=\"" + escaped(name) + "\"><img src=\"" + escaped(name) + "\" alt=\"" + escaped(name) + "\"" +
                size_of(svg) + "><figcaption>" + escaped(name) + "</figcaption></figure>\n";
    page += "</div>\n<h2 id=\"limits\">What is not measured</h2>\n<p>Quantum efficiency, responsivity and the "
            "absolute sensitivity threshold need the number of photons, which only a calibrated light source gives: "
            "these figures are in electrons, referred to the sensor's output through the gain K.</p>\n</body>\n</html>\n";
    return page;
}
