#include "ptc/ptcfit_run.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ptc/plan.h"
#include "ptc/ptc_outputs.h"
#include "ptc/ptc_text.h"
#include "ptc/series_measure.h"

namespace {

constexpr int status_output_failed = 3;

// Gains of the colours that differ by more than this share, and by more
// than their errors allow, are reported.
constexpr double colour_gain_tolerance = 0.02;

const char* const usage_text =
    "Usage:  ptcfit --plan PLAN.csv [-Wnnn -Hnnn -Xnnn -Ynnn] [--fit-max 0.7] [--min-points 1]\n"
    "               [--black-level B] [-o OUTDIR]\n"
    "        ptcfit --help\n";

struct Options {
    std::string plan_path;
    WindowRequest window;
    FitOptions fit;
    std::string out_dir = ".";
    bool help = false;
};

bool parse_int32(const std::string& text, int32_t& value)
{
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno != 0 || v < INT32_MIN || v > INT32_MAX)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

// Returns 0, or the status of a usage error (its message appended).
int parse_options(int argc, const char* const* argv, Options& o, std::string& console)
{
    auto fail = [&](const std::string& why) {
        append(console, "Error:  %s\n%s", why.c_str(), usage_text);
        return status_refused;
    };
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value_of = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h" || arg == "-?") {
            o.help = true;
        } else if (arg == "--plan") {
            if (!value_of(o.plan_path))
                return fail("--plan needs a file name");
        } else if (arg == "-o") {
            if (!value_of(o.out_dir) || o.out_dir.empty())
                return fail("-o needs a folder");
        } else if (arg == "--fit-max") {
            const std::optional<double> share = value_of(v) ? parse_decimal(v) : std::nullopt;
            if (!share || !(*share > 0 && *share <= 1))
                return fail("--fit-max needs a share above 0 and at most 1");
            o.fit.fit_max = *share;
        } else if (arg == "--min-points") {
            int32_t n = 0;
            if (!value_of(v) || !parse_int32(v, n) || n < 1)
                return fail("--min-points needs a whole number of at least 1");
            o.fit.min_points = n;
        } else if (arg == "--black-level") {
            const std::optional<double> level = value_of(v) ? parse_decimal(v) : std::nullopt;
            if (!level)
                return fail("--black-level needs a DN value");
            o.fit.black_level = *level;
        } else if (arg.size() >= 2 && arg[0] == '-' && std::string("WHXYwhxy").find(arg[1]) != std::string::npos) {
            std::string text = arg.substr(2);
            if (text.empty() && !value_of(text))
                return fail(arg + " needs a value");
            int32_t n = 0;
            if (!parse_int32(text, n))
                return fail("\"" + text + "\" is not a whole number for " + arg.substr(0, 2));
            switch (arg[1] | 0x20) {
            case 'w': o.window.W = n; break;
            case 'h': o.window.H = n; break;
            case 'x': o.window.X = n; break;
            default: o.window.Y = n; break;
            }
        } else {
            return fail("unknown argument \"" + arg + "\"");
        }
    }
    if (o.help)
        return 0;
    if (o.plan_path.empty())
        return fail("no plan given (--plan PLAN.csv)");
    return 0;
}

bool read_text(const std::string& path, std::string& text)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// What the channels together tell: gains that disagree, a black level that
// is not the dark level, frames shared by pairs.
void series_warnings(const Plan& plan, PtcResults& results)
{
    for (const std::string& note : plan.notes)
        results.warnings.push_back(note);
    auto differ = [](const ChannelResult& a, const ChannelResult& b) {
        const double gap = std::fabs(a.K - b.K);
        return a.ok && b.ok && gap > colour_gain_tolerance * std::min(a.K, b.K) &&
               gap > significant_z * std::hypot(a.K_se, b.K_se);
    };
    const ChannelResult* c = results.channel;
    if (differ(c[ch_red], c[ch_green]) || differ(c[ch_blue], c[ch_green]) || differ(c[ch_red], c[ch_blue]))
        results.warnings.push_back(text_of("the colours' gains differ (Red %.4f, Green %.4f, Blue %.4f DN/e-): uneven "
                                           "light over the mosaic, or a colour scaled in the raw data",
                                           c[ch_red].K, c[ch_green].K, c[ch_blue].K));
    if (differ(c[ch_green1], c[ch_green2]))
        results.warnings.push_back(text_of("the two green planes' gains differ: Green1 %.4f +- %.4f, Green2 %.4f +- "
                                           "%.4f DN/e-",
                                           c[ch_green1].K, c[ch_green1].K_se, c[ch_green2].K, c[ch_green2].K_se));
    for (int ch = 0; ch < channel_count; ++ch) {
        const ChannelResult& r = c[ch];
        if (!r.failure.empty())
            results.warnings.push_back(text_of("%s: %s", channel_name(ch), r.failure.c_str()));
        for (const std::string& w : r.warnings)
            results.warnings.push_back(w);
    }
    if (results.options.black_level) {
        for (const DarkLevel& d : results.darks[ch_green]) {
            const double share_zero = static_cast<double>(d.m.zeros) / (2.0 * static_cast<double>(d.m.n));
            const double gap = *results.options.black_level - d.m.mean;
            if (share_zero <= zero_share_limit && std::fabs(gap) > significant_z * d.m.mean_se() + 0.5) {
                results.warnings.push_back(text_of("the black level given (%.2f DN) is %.2f DN %s the mean of the "
                                                   "unclipped dark pair of plan line %d (%.2f DN): every net mean is "
                                                   "shifted by that",
                                                   *results.options.black_level, std::fabs(gap),
                                                   gap > 0 ? "above" : "below", d.line, d.m.mean));
                break;
            }
        }
    }
}

}  // namespace

int run_ptcfit(const ReaderProfiles& readers, int argc, const char* const* argv, std::string& console)
{
    Options o;
    if (int status = parse_options(argc, argv, o, console))
        return status;
    if (o.help) {
        console += usage_text;
        return 0;
    }
    std::string plan_text;
    if (!read_text(o.plan_path, plan_text)) {
        append(console, "Error:  Unable to read the plan %s.\n", o.plan_path.c_str());
        return status_refused;
    }
    std::string error;
    const std::optional<Plan> plan = parse_plan(plan_text, error);
    if (!plan) {
        append(console, "Error:  %s: %s.\n", o.plan_path.c_str(), error.c_str());
        return status_refused;
    }
    SeriesRequest request;
    request.readers = &readers;
    request.plan_folder = std::filesystem::path(o.plan_path).parent_path().string();
    request.window = o.window;
    request.options = o.fit;

    PtcResults results;
    if (int status = measure_series(request, *plan, results, console))
        return status;
    if (int status = measure_spatial(request, results, console))
        return status;
    series_warnings(*plan, results);
    console += ptc_report(results);
    if (!write_ptc_outputs(o.out_dir, results, console))
        return status_output_failed;
    return 0;
}
