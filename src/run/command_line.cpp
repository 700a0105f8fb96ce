#include "run/command_line.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "input/image_file.h"
#include "input/image_names.h"
#include "reports/text_out.h"
#include "run/program_profile.h"

namespace {

// An absolute path: '/' first and another '/' or a '.' later. Switches written
// with '/' ("/L", "/W300", "/X=5") have neither.
bool is_absolute_path(const std::string& arg)
{
    return arg.size() > 1 && arg[0] == '/' && arg.find_first_of("/.", 1) != std::string::npos;
}

// Opens image 1, or (once image 1 is open) image 2; false when image 1
// cannot be opened (the error printed).
bool open_image_argument(const ProgramProfile& profile, const std::string& arg, RunSettings& s, ImageFile (&images)[2],
                         Console& console)
{
    const int index = images[0].is_open() ? 1 : 0;
    const std::string name = shown_image_name(profile.naming, arg);
    if (index == 1) {
        images[1].close();
        s.two_files = false;
    }
    if (!open_named_image(profile.naming, arg, images[index])) {
        if (index == 0) {
            say(console, "\nError:  Unable to open %s.\n\n", name.c_str());
            return false;
        }
        say(console, "\nWarning:  Unable to open %s.\n%s\n", name.c_str(), profile.second_file_fallback);
        return true;
    }
    s.file_name[index] = name;
    if (index == 1)
        s.two_files = true;
    return true;
}

}  // namespace

SwitchArgument read_switch_argument(const std::string& original)
{
    std::string arg = original;
    for (char& c : arg)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    const char c0 = arg.empty() ? '\0' : arg[0];
    const char c1 = arg.size() > 1 ? arg[1] : '\0';

    SwitchArgument sw;
    if ((c0 == '-' || c0 == '/') && !is_absolute_path(arg)) {
        sw.is_switch = true;
        if (c1 == '=')
            arg[1] = c0;
    } else if (c1 == '=') {
        sw.is_switch = true;
        arg[1] = c0;
    }
    if (!sw.is_switch)
        return sw;
    sw.letter = arg.size() > 1 ? arg[1] : '\0';
    sw.has_value = arg.size() > 2;
    sw.value = sw.has_value ? switch_value(arg.c_str() + 2) : 0;
    return sw;
}

void apply_switch(const ProgramProfile& profile, const SwitchArgument& sw, RunSettings& s)
{
    const bool has_value = sw.has_value;
    const int32_t value = sw.value;
    switch (sw.letter) {
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
        if (has_value && profile.window.second_window)
            s.X2 = value;
        break;
    case 'V':
        if (has_value && profile.window.second_window)
            s.Y2 = value;
        break;
    case 'S':
    case 'B':
    case 'E':
    case 'N':
        if (has_value) {
            int32_t& target = sw.letter == 'S' ? s.S : sw.letter == 'B' ? s.B : sw.letter == 'E' ? s.E : s.N;
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

std::optional<ExitStatus> parse_arguments(const ProgramProfile& profile, int argc, const char* const* argv,
                                          RunSettings& settings, ImageFile (&images)[2], Console& console)
{
    for (int i = 1; i < argc; ++i) {
        const std::string original = argv[i] ? argv[i] : "";
        const SwitchArgument sw = read_switch_argument(original);
        if (!sw.is_switch) {
            if (!open_image_argument(profile, original, settings, images, console))
                return ExitStatus::failed;
            continue;
        }
        if (sw.letter == '?') {
            print_usage(profile, console);
            return ExitStatus::completed;
        }
        apply_switch(profile, sw, settings);
    }
    if (!images[0].is_open()) {
        say(console, "%s", profile.no_image_error);
        return ExitStatus::failed;
    }
    return std::nullopt;
}
