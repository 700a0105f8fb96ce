#include "fuzz_support.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "input/image_file.h"
#include "run/command_line.h"
#include "run/run_sequence.h"

namespace fuzzing {

namespace {

constexpr size_t max_arguments = 6;
constexpr uint8_t argument_count_bits = 0x07;
constexpr uint8_t two_images_bit = 0x08;

// Work bounds of bounded_work, in samples and in samples times spectrum values:
// each well under a second in the sanitizer build.
constexpr uint64_t max_window_area = 1100000;
constexpr uint64_t max_spectrum_work = 4500000;
constexpr uint64_t max_lag_work = 1200000;

// A requested window dimension as the window sizing sees it: unsigned, so a
// negative request is a huge one.
uint64_t requested_dimension(long long value)
{
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

}  // namespace

std::FILE* null_console()
{
    static std::FILE* const console = std::fopen("/dev/null", "w");
    return console;
}

bool open_bytes_as_image(const char* name, std::string_view bytes, ImageFile& image)
{
    return write_bytes(name, bytes) && image.open(name);
}

ImagePair split_pair(std::string_view data)
{
    ImagePair pair;
    if (data.size() < 2) {
        pair.first = data;
        return pair;
    }
    const size_t length = static_cast<uint8_t>(data[0]) | (size_t{static_cast<uint8_t>(data[1])} << 8);
    const std::string_view rest = data.substr(2);
    pair.first = rest.substr(0, length);
    pair.second = rest.substr(pair.first.size());
    return pair;
}

ProgramInput decode_program_input(std::string_view data)
{
    ProgramInput input;
    if (data.empty())
        return input;
    const uint8_t control = static_cast<uint8_t>(data[0]);
    size_t count = control & argument_count_bits;
    if (count > max_arguments)
        count = max_arguments;
    input.two_images = (control & two_images_bit) != 0;
    data.remove_prefix(1);
    for (size_t i = 0; i < count && !data.empty(); ++i) {
        const size_t end = data.find('\0');
        if (end == std::string_view::npos) {
            input.args.push_back(confined_argument(std::string(data)));
            data = {};
            break;
        }
        input.args.push_back(confined_argument(std::string(data.substr(0, end))));
        data.remove_prefix(end + 1);
    }
    if (input.two_images) {
        const ImagePair pair = split_pair(data);
        input.image[0] = pair.first;
        input.image[1] = pair.second;
    } else {
        input.image[0] = data;
    }
    return input;
}

std::string confined_argument(std::string argument)
{
    for (size_t i = 1; i < argument.size(); ++i)
        if (argument[i] == '/')
            argument[i] = '_';
    if (!argument.empty() && argument[0] == '/' && argument.find('.') != std::string::npos)
        argument[0] = '-';
    return argument;
}

bool bounded_work(const ProgramProfile& profile, const std::vector<std::string>& args)
{
    // The switches read as the program reads them.
    RunSettings settings;
    for (const std::string& arg : args) {
        const SwitchArgument sw = read_switch_argument(arg);
        if (sw.letter == '?')
            return true;  // nothing is analysed after the usage text
        if (sw.is_switch)
            apply_switch(profile, sw, settings);
    }
    const bool multi = settings.multi_line;
    const bool autocorr = settings.autocorr;
    const long long ft_upper = settings.ft_upper;
    const uint64_t width = requested_dimension(settings.W);
    const uint64_t height = settings.H == 0 ? width : requested_dimension(settings.H);
    const uint64_t area = width * height;
    if (area > max_window_area)
        return false;
    if (!multi)
        return true;
    // Each row (column) pair of the multi-line spectra costs the window width
    // (height) times the number of frequencies or lags taken: twice the upper
    // count, at least 4, at most half the line; lags cost more than
    // frequencies.
    const uint64_t values = ft_upper <= 2 ? 4 : static_cast<uint64_t>(ft_upper) * 2;
    const uint64_t half_line = (width > height ? width : height) / 2;
    const uint64_t work = area * ((values < half_line ? values : half_line) + 2);
    return work <= (autocorr ? max_lag_work : max_spectrum_work);
}

namespace {

// Made on the first call, with the tag in its name; later calls return it.
const std::string& private_directory(const char* tag)
{
    static const std::string directory = [tag] {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/" + tag + "-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return directory;
}

void remove_private_directory()
{
    std::error_code ignored;
    std::filesystem::remove_all(private_directory(""), ignored);
}

}  // namespace

void enter_private_directory(const char* tag)
{
    const std::string& directory = private_directory(tag);
    if (::chdir(directory.c_str()) != 0)
        std::abort();
    std::atexit(remove_private_directory);
    std::fprintf(stderr, "%s: working in %s; corpus, -dict and -artifact_prefix need absolute paths\n", tag,
                 directory.c_str());
}

bool write_bytes(const char* name, std::string_view bytes)
{
    std::FILE* file = std::fopen(name, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

void clear_directory(const std::vector<const char*>& names)
{
    for (const char* name : names)
        ::unlink(name);
}

int run_whole_program(const ProgramProfile& profile, const std::vector<std::string>& args)
{
    std::vector<const char*> argv;
    argv.push_back("fuzz");
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    return run_program(profile, static_cast<int>(args.size() + 1), argv.data(), null_console());
}

}  // namespace fuzzing
