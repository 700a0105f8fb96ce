#include "ptc/ptc_outputs.h"

#include <cmath>
#include <cstdio>
#include <sys/stat.h>

#include "ptc/ptc_plots.h"
#include "reports/text_out.h"

namespace {

const char* const colour_name[3] = {"Red", "Green", "Blue"};

// A JSON number, or null for a figure that could not be determined.
std::string json_number(std::optional<double> value)
{
    if (!value || !std::isfinite(*value))
        return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", *value);
    return text;
}

std::string json_string(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool write_text(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && written;
}

// A figure with its decimals and unit, or why it is missing.
std::string optional_figure(std::optional<double> value, int decimals, const char* unit)
{
    if (!value)
        return "not reached";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f%s", decimals, *value, unit);
    return text;
}

}  // namespace

void print_ptc_report(Console& console, const PtcResults& results)
{
    const WindowSpec& w = results.window;
    say(console, "Photon transfer: %zu flat pairs, window %ldx%ld at X=%ld Y=%ld\n", results.flats.size(),
        static_cast<long>(w.W), static_cast<long>(w.H), static_cast<long>(w.X), static_cast<long>(w.Y));
    for (int c = 0; c < 3; ++c) {
        const ColourFit& f = results.colour[c];
        say(console, "%s\n", colour_name[c]);
        say(console, "  gain K          %.5f DN/e-  (std. error %.5f, R^2 %.5f)\n", f.K,
            f.read_noise_from_intercept ? f.free.slope_stderr : f.origin.slope_stderr,
            f.read_noise_from_intercept ? f.free.r_squared : f.origin.r_squared);
        say(console, "  free intercept  K %.5f DN/e-, intercept %.3f DN^2\n", f.free.slope, f.free.intercept);
        say(console, "  dark noise      %.3f DN%s\n", f.sigma_y_dark,
            f.read_noise_from_intercept ? " (from the fit's intercept)" : "");
        say(console, "  read noise      %.3f e-%s\n", f.sigma_d,
            f.read_noise_from_intercept ? " (from the fit's intercept)" : "");
        say(console, "  full well       %s\n", optional_figure(f.u_e_sat, 0, " e-").c_str());
        say(console, "  SNR max         %s\n", optional_figure(f.snr_max, 1, "").c_str());
        if (f.dr_db)
            say(console, "  dynamic range   %.2f dB, %.2f bits, %.2f stops\n", *f.dr_db, *f.dr_bits, *f.dr_stops);
        else
            say(console, "  dynamic range   not reached\n");
        std::string used;
        for (size_t i = 0; i < f.points.size(); ++i)
            if (f.points[i].in_fit)
                used += (used.empty() ? "" : ", ") + std::to_string(i + 1);
        say(console, "  points          %s (%d of %zu flat pairs; saturation at pair %d%s)\n", used.c_str(), f.used,
            f.points.size(), f.saturation + 1, f.saturation_reached ? "" : ", not reached");
    }
    for (const std::string& warning : results.warnings)
        say(console, "Warning:  %s.\n", warning.c_str());
}

std::string ptc_points_csv(const PtcResults& results)
{
    TextBuffer csv;
    add_text(csv, "pair,colour,exposure_s,mu,var,net_mu,net_var,zero_share,max_share,in_fit,residual\n");
    for (size_t i = 0; i < results.flats.size(); ++i) {
        const PlanPair& pair = results.plan->flats[i];
        for (int c = 0; c < 3; ++c) {
            const PtcPoint& p = results.colour[c].points[i];
            const std::string exposure = pair.exposure_s ? json_number(*pair.exposure_s) : "";
            add_text(csv, "%zu,%s,%s,%.4f,%.4f,%.4f,%.4f,%.6f,%.6f,%d,%.4f\n", i + 1, colour_name[c],
                     exposure.c_str(), p.mu, p.var, p.net_mu, p.net_var, results.flats[i].zero_share[c],
                     results.flats[i].max_share[c], p.in_fit ? 1 : 0, p.residual);
        }
    }
    return csv.text;
}

std::string ptc_results_json(const PtcResults& results)
{
    std::string json = "{\n";
    for (int c = 0; c < 3; ++c) {
        const ColourFit& f = results.colour[c];
        const double stderr_k = f.read_noise_from_intercept ? f.free.slope_stderr : f.origin.slope_stderr;
        json += "  " + json_string(colour_name[c]) + ": {";
        json += "\"K\": " + json_number(f.K);
        json += ", \"K_stderr\": " + json_number(stderr_k);
        json += ", \"sigma_y_dark\": " + json_number(f.sigma_y_dark);
        json += ", \"sigma_d\": " + json_number(f.sigma_d);
        json += ", \"u_e_sat\": " + json_number(f.u_e_sat);
        json += ", \"snr_max\": " + json_number(f.snr_max);
        json += ", \"dr_db\": " + json_number(f.dr_db);
        json += ", \"dr_bits\": " + json_number(f.dr_bits);
        json += ", \"dr_stops\": " + json_number(f.dr_stops);
        json += ", \"points\": " + std::to_string(f.used);
        json += ", \"read_noise_from\": " + json_string(f.read_noise_from_intercept ? "fit intercept" : "dark pair");
        json += "},\n";
    }
    json += "  \"warnings\": [";
    for (size_t i = 0; i < results.warnings.size(); ++i)
        json += (i ? ", " : "") + json_string(results.warnings[i]);
    json += "]\n}\n";
    return json;
}

bool write_ptc_outputs(const std::string& folder, const PtcResults& results, Console& console)
{
    ::mkdir(folder.c_str(), 0777);
    const std::string base = folder.empty() ? "" : folder + "/";
    struct Output {
        std::string name;
        std::string text;
    };
    std::vector<Output> outputs = {{"PTC_points.csv", ptc_points_csv(results)},
                                   {"PTC_results.json", ptc_results_json(results)}};
    for (auto& [name, text] : ptc_plot_files(results))
        outputs.push_back({name, text});
    for (const Output& out : outputs)
        if (!write_text(base + out.name, out.text)) {
            say(console, "Error:  Unable to write %s.\n", (base + out.name).c_str());
            return false;
        }
    return true;
}
