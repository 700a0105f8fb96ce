#include "ptc/ptcfit_run.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "ptc/plan.h"
#include "ptc/ptc_fit.h"
#include "ptc/ptc_outputs.h"
#include "reports/text_out.h"
#include "stats/window.h"

namespace {

constexpr int status_refused = 1;
constexpr int status_output_failed = 3;

// Colours whose gains differ by more than this share are reported, and so is
// a point whose own net variance / net mean leaves the gain by more than that.
constexpr double colour_gain_tolerance = 0.05;
constexpr double linearity_tolerance = 0.03;

const char* const usage_text =
    "Usage:  ptcfit --plan PLAN.csv [-Wnnn -Hnnn -Xnnn -Ynnn] [--fit-max 0.7] [--min-points 5]\n"
    "               [--black-level B] [-o OUTDIR]\n";

struct Options {
    std::string plan_path;
    WindowRequest window;
    FitOptions fit;
    std::string out_dir = ".";
};

bool parse_number(const std::string& text, double& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && errno == 0 && std::isfinite(value);
}

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

// Returns 0, or the status of a usage error (its message printed).
int parse_options(int argc, const char* const* argv, Options& o, Console& console)
{
    auto fail = [&](const std::string& why) {
        say(console, "Error:  %s\n%s", why.c_str(), usage_text);
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
        if (arg == "--plan") {
            if (!value_of(o.plan_path))
                return fail("--plan needs a file name");
        } else if (arg == "-o") {
            if (!value_of(o.out_dir))
                return fail("-o needs a folder");
        } else if (arg == "--fit-max") {
            double share = 0;
            if (!value_of(v) || !parse_number(v, share) || !(share > 0 && share <= 1))
                return fail("--fit-max needs a share above 0 and at most 1");
            o.fit.fit_max = share;
        } else if (arg == "--min-points") {
            int32_t n = 0;
            if (!value_of(v) || !parse_int32(v, n) || n < 2)
                return fail("--min-points needs a whole number of at least 2");
            o.fit.min_points = n;
        } else if (arg == "--black-level") {
            double level = 0;
            if (!value_of(v) || !parse_number(v, level) || level < 0)
                return fail("--black-level needs a DN value");
            o.fit.black_level = level;
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
    if (o.plan_path.empty())
        return fail("no plan given (--plan PLAN.csv)");
    return 0;
}

bool read_text(const std::string& path, std::string& text)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// File names in the plan are relative to the plan's folder.
std::string beside(const std::string& plan_path, const std::string& name)
{
    if (!name.empty() && name[0] == '/')
        return name;
    const size_t slash = plan_path.rfind('/');
    return slash == std::string::npos ? name : plan_path.substr(0, slash + 1) + name;
}

// The series' clip level, per colour: its largest sample value, when that
// value piles up (a clipped sensor holds many samples at its white level);
// a lone brightest sample of noise is no clipping.
constexpr double pile_up_share = 0.001;

void mark_clipping(std::vector<PairStats>& flats)
{
    for (int c = 0; c < 3; ++c) {
        uint32_t top = 0;
        for (const PairStats& f : flats)
            top = std::max(top, f.top_value[c]);
        bool piles_up = false;
        for (const PairStats& f : flats)
            if (f.top_value[c] == top &&
                static_cast<double>(f.top_count[c]) >= pile_up_share * 2.0 * static_cast<double>(f.samples[c]))
                piles_up = true;
        for (PairStats& f : flats)
            f.max_share[c] = piles_up && f.top_value[c] == top
                                 ? static_cast<double>(f.top_count[c]) / (2.0 * static_cast<double>(f.samples[c]))
                                 : 0.0;
    }
}

}  // namespace

int run_ptcfit(const ReaderProfiles& readers, int argc, const char* const* argv, std::FILE* console_stream)
{
    Console console{console_stream};
    Options o;
    if (int status = parse_options(argc, argv, o, console)) {
        std::fflush(console_stream);
        return status;
    }

    std::string plan_text;
    if (!read_text(o.plan_path, plan_text)) {
        say(console, "Error:  Unable to read the plan %s.\n", o.plan_path.c_str());
        return status_refused;
    }
    std::string error;
    const std::optional<Plan> plan = parse_plan(plan_text, error);
    if (!plan) {
        say(console, "Error:  %s: %s.\n", o.plan_path.c_str(), error.c_str());
        return status_refused;
    }

    // Measure every pair in one window.
    WindowSpec window;
    bool window_set = false;
    std::vector<const PlanPair*> pairs{&plan->dark};
    for (const PlanPair& flat : plan->flats)
        pairs.push_back(&flat);
    std::vector<PairStats> measured;
    uint32_t width = 0, height = 0;
    for (const PlanPair* pair : pairs) {
        const PairResult r = measure_pair(readers, beside(o.plan_path, pair->file[0]),
                                          beside(o.plan_path, pair->file[1]), o.window, window, window_set);
        if (r.status != 0) {
            say(console, "%s", r.message.c_str());
            return r.status;
        }
        if (measured.empty()) {
            width = r.width;
            height = r.height;
        } else if (r.width != width || r.height != height) {
            say(console, "Error:  %s is %ux%u pixels, the dark pair %ux%u.\n", pair->file[0].c_str(), r.width,
                r.height, width, height);
            return status_refused;
        }
        measured.push_back(r.stats);
    }
    const PairStats& dark = measured[0];
    std::vector<PairStats> flats(measured.begin() + 1, measured.end());
    mark_clipping(flats);

    if (!o.fit.black_level) {
        // A dark frame clipped at 0 gives a biased mean and variance.
        for (int c = 0; c < 3; ++c)
            if (dark.zero_share[c] > 0.005) {
                say(console,
                    "Error:  %.2f percent of the dark pair's samples are 0: the black level is clipped. "
                    "Give it with --black-level.\n",
                    100.0 * dark.zero_share[c]);
                return status_refused;
            }
    }

    PtcResults results;
    results.window = window;
    results.plan = &*plan;
    results.flats = flats;
    for (int c = 0; c < 3; ++c) {
        if (!fit_colour(c, dark, flats, o.fit, results.colour[c], error)) {
            say(console, "Error:  %s.\n", error.c_str());
            return status_refused;
        }
    }

    // Warnings: colours whose gains disagree, points off the straight line.
    double k_min = results.colour[0].K, k_max = results.colour[0].K;
    for (const ColourFit& f : results.colour) {
        k_min = std::min(k_min, f.K);
        k_max = std::max(k_max, f.K);
    }
    if ((k_max - k_min) / k_min > colour_gain_tolerance) {
        char text[160];
        std::snprintf(text, sizeof text, "the colours' gains differ by %.1f percent", 100.0 * (k_max - k_min) / k_min);
        results.warnings.push_back(text);
    }
    static const char* const names[3] = {"Red", "Green", "Blue"};
    for (int c = 0; c < 3; ++c) {
        const ColourFit& f = results.colour[c];
        const double offset = f.read_noise_from_intercept ? f.free.intercept : 0.0;
        for (size_t i = 0; i < f.points.size(); ++i) {
            const PtcPoint& p = f.points[i];
            if (!p.in_fit)
                continue;
            const double local = (p.net_var - offset) / p.net_mu;
            if (std::fabs(local - f.K) / f.K > linearity_tolerance) {
                char text[200];
                std::snprintf(text, sizeof text, "%s flat pair %zu: net variance / net mean %.4f is %.1f percent from K",
                              names[c], i + 1, local, 100.0 * std::fabs(local - f.K) / f.K);
                results.warnings.push_back(text);
            }
        }
    }

    print_ptc_report(console, results);
    if (!write_ptc_outputs(o.out_dir, results, console))
        return status_output_failed;
    std::fflush(console_stream);
    return 0;
}
