#include "ptc/ptc_page.h"

#include <cmath>

#include "ptc/ptc_outputs.h"
#include "ptc/ptc_results.h"
#include "ptc/ptc_text.h"

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

// A cell: the value with its error, "n/a" with the reason in a title.
std::string cell(std::optional<double> value, std::optional<double> se, int decimals)
{
    if (!value || !std::isfinite(*value))
        return "<td class=\"na\">&ndash;</td>";
    return "<td>" + escaped(with_se(*value, se, decimals)) + "</td>";
}

struct Row {
    const char* figure;
    const char* unit;
    std::string (*cells)(const PtcResults&, int);
};

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
    row("Read noise &sigma;<sub>d</sub>", "e&minus;", [&](C c, S) {
        if (c.sigma_d_upper_limit)
            return "<td>&lt; " + text_of("%.3f", *c.sigma_d) + " (limit)</td>";
        return cell(c.sigma_d, c.sigma_d_se, 3) ;
    });
    row("Dark current (mean)", "e&minus;/s", [&](C c, S) { return cell(c.dark_current, c.dark_current_se, 3); });
    row("Dark current (variance)", "e&minus;/s", [&](C c, S) { return cell(c.dark_current_var, c.dark_current_var_se, 3); });
    row("Saturation capacity &mu;<sub>e.sat</sub>", "e&minus;", [&](C c, S) { return cell(c.u_e_sat, c.u_e_sat_se, 0); });
    row("SNR<sub>max</sub>", "dB", [&](C c, S) {
        return cell(c.snr_max_db, c.snr_max && c.snr_max_se ? std::optional<double>(20 / std::log(10.0) * *c.snr_max_se / *c.snr_max) : std::nullopt, 2);
    });
    row("Dynamic range", "dB", [&](C c, S) { return cell(c.dr_db, c.dr_se_db, 2); });
    row("Dynamic range", "bits", [&](C c, S) { return cell(c.dr_bits, std::nullopt, 2); });
    row("Linearity error LE", "%", [&](C c, S) { return cell(c.linearity_error, std::nullopt, 3); });
    row("DSNU", "e&minus;", [&](C, S s) { return cell(s.dsnu_e, s.dsnu_e_se, 2); });
    row("PRNU", "%", [&](C, S s) { return cell(s.prnu_percent, s.prnu_percent_se, 3); });
    row("Hot / dead / weak / stuck pixels", "", [&](C, S s) {
        if (!s.measured)
            return std::string("<td class=\"na\">&ndash;</td>");
        return text_of("<td>%lld / %lld / %lld / %lld</td>", static_cast<long long>(s.hot), static_cast<long long>(s.dead),
                       static_cast<long long>(s.weak), static_cast<long long>(s.stuck));
    });
    return out;
}

const char* const style_sheet =
    "body{font-family:sans-serif;margin:1.5em;max-width:none;color:#111}"
    "table{border-collapse:collapse;margin:0.5em 0 1.5em}th,td{border:1px solid #bbb;padding:0.25em 0.6em;"
    "text-align:right;white-space:nowrap}th[scope=row]{text-align:left}td.unit{text-align:left;color:#555}"
    "td.na{color:#999;text-align:center}.plots{display:grid;grid-template-columns:repeat(auto-fill,minmax(min(100%,"
    "560px),1fr));gap:1.5em}figure{margin:0}figure img{width:100%;height:auto;border:1px solid #ddd}"
    "figcaption{font-size:0.9em;color:#333}.table-wrap{overflow-x:auto}ul.warnings li{color:#8a4b00}";

}  // namespace

std::string ptc_page(const PtcResults& results, const std::vector<std::pair<std::string, std::string>>& plots)
{
    const PairWindow& w = results.window;
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>Sensor characterisation</title>\n<style>";
    page += style_sheet;
    page += "</style>\n</head>\n<body>\n<h1>Sensor characterisation</h1>\n";
    append(page, "<p>%zu flat pairs and %zu dark pair%s, window %lld&times;%lld pixels at X=%lld Y=%lld. "
                 "Each figure with its standard error. Figures PTC_results.json holds as numbers; points in "
                 "PTC_points.csv.</p>\n",
           results.plan->flats.size(), results.plan->darks.size(), results.plan->darks.size() == 1 ? "" : "s",
           static_cast<long long>(w.width), static_cast<long long>(w.height), static_cast<long long>(w.x),
           static_cast<long long>(w.y));
    page += "<nav><h2>Contents</h2><ul><li><a href=\"#figures\">Figures</a></li>";
    if (!results.warnings.empty())
        page += "<li><a href=\"#warnings\">Warnings</a></li>";
    page += "<li><a href=\"#plots\">Plots</a><ul>";
    for (const auto& plot : plots)
        page += "<li><a href=\"#" + escaped(plot.first) + "\">" + escaped(plot.first) + "</a></li>";
    page += "</ul></li><li><a href=\"#limits\">What is not measured</a></li></ul></nav>\n";
    page += "<h2 id=\"figures\">Figures</h2>\n<div class=\"table-wrap\"><table>\n<tr><th>Figure</th><th>Unit</th>";
    for (int ch = 0; ch < channel_count; ++ch)
        page += std::string("<th>") + channel_name(ch) + "</th>";
    page += "</tr>\n" + figure_rows(results) + "</table></div>\n";
    if (!results.warnings.empty()) {
        page += "<h2 id=\"warnings\">Warnings</h2>\n<ul class=\"warnings\">\n";
        for (const std::string& warning : results.warnings)
            page += "<li>" + escaped(warning) + ".</li>\n";
        page += "</ul>\n";
    }
    page += "<h2 id=\"plots\">Plots</h2>\n<div class=\"plots\">\n";
    for (const auto& [name, svg] : plots) {
        // The plot's own size, so the browser can lay it out before it loads.
        std::string size;
        const size_t open = svg.find("<svg");
        for (const char* attr : {"width=\"", "height=\""}) {
            const size_t at = svg.find(attr, open);
            if (at != std::string::npos)
                size += " " + svg.substr(at, svg.find('"', at + std::string(attr).size()) + 1 - at);
        }
        page += "<figure id=\"" + escaped(name) + "\"><img src=\"" + escaped(name) + "\" alt=\"" + escaped(name) + "\"" +
                size + "><figcaption>" + escaped(name) + "</figcaption></figure>\n";
    }
    page += "</div>\n<h2 id=\"limits\">What is not measured</h2>\n<p>Quantum efficiency, responsivity and the "
            "absolute sensitivity threshold need the number of photons, which only a calibrated light source gives: "
            "these figures are in electrons, referred to the sensor's output.</p>\n</body>\n</html>\n";
    return page;
}
