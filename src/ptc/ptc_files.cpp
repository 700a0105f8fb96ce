// PTC_points.csv and PTC_results.json, and writing every output file.
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "ptc/ptc_outputs.h"
#include "ptc/ptc_page.h"
#include "ptc/ptc_plots.h"
#include "ptc/ptc_results.h"
#include "reports/text_out.h"
#include "ptc/spatial.h"

namespace {

// A JSON number, or null for a figure that could not be determined.
std::string json_number(std::optional<double> value)
{
    if (!value || !std::isfinite(*value))
        return "null";
    return text_of("%.9g", *value);
}

std::string json_string(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            add_text(out, "\\u%04x", c);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string json_bool(bool value)
{
    return value ? "true" : "false";
}

bool write_text(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

std::string channel_json(int ch, const PtcResults& results)
{
    const ChannelResult& c = results.channel[ch];
    const SpatialResult& s = results.spatial[ch];
    auto ok = [&](double v) { return c.ok ? std::optional<double>(v) : std::nullopt; };
    auto count = [&](int64_t v) { return s.measured ? std::to_string(v) : std::string("null"); };
    std::string j = "{";
    j += "\"K\": " + json_number(ok(c.K));
    j += ", \"K_stderr\": " + json_number(ok(c.K_se));
    j += ", \"sigma_y_dark\": " + json_number(c.ok ? c.sigma_y_dark : std::nullopt);
    j += ", \"sigma_y_dark_stderr\": " + json_number(c.ok ? c.sigma_y_dark_se : std::nullopt);
    j += ", \"sigma_d\": " + json_number(c.sigma_d);
    j += ", \"sigma_d_stderr\": " + json_number(c.sigma_d_se);
    j += ", \"sigma_d_upper_limit\": " + json_bool(c.sigma_d_upper_limit);
    j += ", \"sigma_d_is_read_noise\": " + json_bool(c.ok && c.dark_at_zero);
    j += ", \"u_e_sat\": " + json_number(c.u_e_sat);
    j += ", \"u_e_sat_stderr\": " + json_number(c.u_e_sat_se);
    j += ", \"saturation_reached\": " + json_bool(c.saturation_reached);
    j += ", \"snr_max\": " + json_number(c.snr_max);
    j += ", \"snr_max_stderr\": " + json_number(c.snr_max_se);
    j += ", \"snr_max_db\": " + json_number(c.snr_max_db);
    j += ", \"snr_max_bits\": " + json_number(c.snr_max_bits);
    j += ", \"dr_db\": " + json_number(c.dr_db);
    j += ", \"dr_stderr_db\": " + json_number(c.dr_se_db);
    j += ", \"dr_bits\": " + json_number(c.dr_bits);
    j += ", \"dr_stops\": " + json_number(c.dr_bits);
    j += ", \"linearity_error_percent\": " + json_number(c.linearity_error);
    j += ", \"linearity_error_percent_stderr\": " + json_number(c.linearity_error_se);
    j += ", \"dark_current_e_per_s\": " + json_number(c.dark_current);
    j += ", \"dark_current_e_per_s_stderr\": " + json_number(c.dark_current_se);
    j += ", \"dark_current_from_variance_e_per_s\": " + json_number(c.dark_current_var);
    j += ", \"dark_current_from_variance_e_per_s_stderr\": " + json_number(c.dark_current_var_se);
    j += ", \"dsnu_e\": " + json_number(s.dsnu_e);
    j += ", \"dsnu_e_stderr\": " + json_number(s.dsnu_e_se);
    j += ", \"dsnu_e_upper_limit\": " + json_number(s.dsnu_limit_e);
    j += ", \"prnu_percent\": " + json_number(s.prnu_percent);
    j += ", \"prnu_percent_stderr\": " + json_number(s.prnu_percent_se);
    j += ", \"prnu_percent_upper_limit\": " + json_number(s.prnu_limit_percent);
    j += ", \"hot_pixels\": " + count(s.hot);
    j += ", \"dead_pixels\": " + count(s.dead);
    j += ", \"weak_pixels\": " + count(s.weak);
    j += ", \"stuck_pixels\": " + count(s.stuck);
    j += ", \"points\": " + std::to_string(c.ok ? c.used : 0);
    j += ", \"read_noise_from\": " + json_string(c.ok ? c.dark_label : "");
    j += ", \"failure\": " + (c.failure.empty() ? std::string("null") : json_string(c.failure));
    return j + "}";
}

}  // namespace

std::string ptc_points_csv(const PtcResults& results)
{
    std::string csv =
        "pair,colour,exposure_s,mu,var,net_mu,net_var,zero_share,max_share,in_fit,residual,plan_line,var_stderr,"
        "dark_mu,dark_var,dark_from,residual_z,linearity_dev_percent\n";
    const size_t pairs = results.plan->flats.size();
    for (size_t i = 0; i < pairs; ++i)
        for (int ch = 0; ch < channel_count; ++ch) {
            const ChannelResult& c = results.channel[ch];
            if (i >= c.points.size())
                continue;
            const PtcPoint& p = c.points[i];
            const std::string t = std::isnan(p.t) ? "" : json_number(p.t);
            const std::string dev = std::isnan(p.linearity_dev) ? "" : text_of("%.4f", p.linearity_dev);
            add_text(csv, "%zu,%s,%s,%.4f,%.4f,%.4f,%.4f,%.6f,%.6f,%d,%.4f,%d,%.4f,%.4f,%.4f,%s,%.3f,%s\n", i + 1,
                   channel_name(ch), t.c_str(), p.mu, p.var, p.net_mu, p.net_var, p.zero_share, p.clip_share,
                   p.in_fit ? 1 : 0, p.residual, p.line, p.var_se, p.dark_mu, p.dark_var, p.dark_from.c_str(),
                   p.residual_z, dev.c_str());
        }
    return csv;
}

std::string ptc_results_json(const PtcResults& results)
{
    std::string json = "{\n";
    for (int ch = 0; ch < channel_count; ++ch)
        json += "  " + json_string(channel_name(ch)) + ": " + channel_json(ch, results) + ",\n";
    const PairWindow& w = results.window;
    json += text_of("  \"series\": {\"flat_pairs\": %zu, \"dark_pairs\": %zu, \"window\": {\"width\": %lld, "
                    "\"height\": %lld, \"x\": %lld, \"y\": %lld}, \"clip_level\": [%u, %u, %u, %u, %u], \"thresholds\": "
                    "{\"clipped_share\": %g, \"zero_share\": %g, \"significance_z\": %g, \"hot_robust_sd\": %g, "
                    "\"dead_share\": %g, \"weak_share\": %g}},\n",
                    results.plan->flats.size(), results.plan->darks.size(), static_cast<long long>(w.width),
                    static_cast<long long>(w.height), static_cast<long long>(w.x), static_cast<long long>(w.y),
                    results.clip[0], results.clip[1], results.clip[2], results.clip[3], results.clip[4],
                    clip_share_limit, zero_share_limit, significant_z, hot_threshold_spreads, dead_share, weak_share);
    auto list = [](const std::vector<std::string>& texts) {
        std::string out = "[";
        for (size_t i = 0; i < texts.size(); ++i)
            out += (i ? ", " : "") + json_string(texts[i]);
        return out + "]";
    };
    json += "  \"notes\": " + list(results.notes) + ",\n  \"warnings\": " + list(results.warnings) + "\n}\n";
    return json;
}

bool write_ptc_outputs(const std::string& folder, const PtcResults& results, std::string& console)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec && !std::filesystem::is_directory(folder)) {
        add_text(console, "Error:  Unable to create the folder %s.\n", folder.c_str());
        return false;
    }
    const std::filesystem::path base(folder);
    std::vector<std::pair<std::string, std::string>> outputs = {{"PTC_points.csv", ptc_points_csv(results)},
                                                                {"PTC_results.json", ptc_results_json(results)}};
    const std::vector<std::pair<std::string, std::string>> plots = ptc_plot_files(results);
    outputs.insert(outputs.end(), plots.begin(), plots.end());
    outputs.push_back({"PTC_datasheet.html", ptc_page(results, plots)});
    for (const auto& [name, text] : outputs)
        if (!write_text((base / name).string(), text)) {
            add_text(console, "Error:  Unable to write %s.\n", (base / name).string().c_str());
            return false;
        }
    return true;
}
