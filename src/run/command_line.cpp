#include "run/command_line.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "run/run_state.h"

namespace {

// An absolute path: '/' first and another '/' or a '.' later. Switches written
// with '/' ("/L", "/W300", "/X=5") have neither.
bool is_absolute_path(const std::string& arg)
{
    return arg.size() > 1 && arg[0] == '/' && arg.find_first_of("/.", 1) != std::string::npos;
}

void open_image_argument(RunState& run, const std::string& arg, bool& failed)
{
    RunSettings& s = run.settings;
    const int index = run.images[0].is_open() ? 1 : 0;
    const std::string name = shown_image_name(run.profile.naming, arg);
    if (index == 1) {
        run.images[1].close();
        s.two_files = false;
    }
    if (!open_named_image(run.profile.naming, arg, run.images[index])) {
        if (index == 0) {
            say(run.console, "\nError:  Unable to open %s.\n\n", name.c_str());
            failed = true;
        } else {
            say(run.console, "\nWarning:  Unable to open %s.\n%s\n", name.c_str(), run.profile.second_file_fallback);
        }
        return;
    }
    s.file_name[index] = name;
    s.file_length[index] = run.images[index].length();
    if (index == 1)
        s.two_files = true;
}

void apply_switch(RunState& run, char letter, bool has_value, int32_t value)
{
    RunSettings& s = run.settings;
    switch (letter) {
    case 'L':
        s.stats_log = true;
        break;
    case 'R':
        s.rcdn_rows = true;
        s.row_lines = true;
        break;
    case 'C':
        s.rcdn_cols = true;
        s.col_lines = true;
        break;
    case 'W':
        if (has_value)
            s.W = value;
        break;
    case 'H':
        if (has_value)
            s.H = value;
        break;
    case 'X':
        if (has_value)
            s.X = value;
        break;
    case 'Y':
        if (has_value)
            s.Y = value;
        break;
    case 'U':
        if (has_value && run.profile.has_second_window)
            s.X2 = value;
        break;
    case 'V':
        if (has_value && run.profile.has_second_window)
            s.Y2 = value;
        break;
    case 'S':
    case 'B':
    case 'E':
    case 'N':
        if (has_value) {
            int32_t& target = letter == 'S' ? s.S : letter == 'B' ? s.B : letter == 'E' ? s.E : s.N;
            target = value;
            s.hist_enabled = true;
        }
        break;
    case 'F':
        s.ft_coef = true;
        if (has_value)
            s.ft_upper = value;
        break;
    case 'M':
        s.multi_line = true;
        if (has_value)
            s.ft_upper = value;
        break;
    case 'A':
        s.multi_line = true;
        s.autocorr = true;
        if (has_value)
            s.ft_upper = value;
        break;
    case 'K':
        s.k_mode = true;
        if (has_value && value >= 15 && value <= 40)
            s.K = value / 10.0;
        break;
    case 'O':
        s.o_mode = true;
        s.channel_scale[0] = 1.125;
        s.channel_scale[2] = 1.16;
        break;
    case 'D':
        if (has_value)
            s.debug_bits = value;
        break;
    case 'T':
        if (has_value && value > 0)
            s.T = value;
        break;
    default:
        break;
    }
}

}  // namespace

int32_t switch_value(const char* text)
{
    errno = 0;
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

void print_usage(const ProgramProfile& profile, Console& console)
{
    for (const char* const* line = profile.usage_lines; *line; ++line)
        say(console, "%s", *line);
}

int parse_arguments(RunState& run, int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string original = argv[i] ? argv[i] : "";
        std::string arg = original;
        for (char& c : arg)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        const char c0 = arg.empty() ? '\0' : arg[0];
        const char c1 = arg.size() > 1 ? arg[1] : '\0';

        bool is_switch = false;
        if ((c0 == '-' || c0 == '/') && !is_absolute_path(arg)) {
            is_switch = true;
            if (c1 == '=')
                arg[1] = c0;
        } else if (c1 == '=') {
            is_switch = true;
            arg[1] = c0;
        }

        if (!is_switch) {
            bool failed = false;
            open_image_argument(run, original, failed);
            if (failed)
                return 1;
            continue;
        }

        const char letter = arg.size() > 1 ? arg[1] : '\0';
        if (letter == '?') {
            print_usage(run.profile, run.console);
            return 0;
        }
        const bool has_value = arg.size() > 2;
        const int32_t value = has_value ? switch_value(arg.c_str() + 2) : 0;
        apply_switch(run, letter, has_value, value);
    }
    if (!run.images[0].is_open()) {
        say(run.console, "%s", run.profile.no_image_error);
        return 1;
    }
    return continue_run;
}
