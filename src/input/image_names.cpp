#include "input/image_names.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "input/image_file.h"
#include "platform/files.h"

namespace {

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upper_cased(const std::string& text)
{
    std::string result = text;
    std::transform(result.begin(), result.end(), result.begin(), upper);
    return result;
}

// Where the last path component begins.
size_t last_component_start(const std::string& path)
{
    const size_t separator = path.find_last_of(platform::path_separators());
    return separator == std::string::npos ? 0 : separator + 1;
}

bool last_component_has_dot(const std::string& path)
{
    return path.find('.', last_component_start(path)) != std::string::npos;
}

bool same_ignoring_case(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return upper(x) == upper(y); });
}

// The regular files of a directory, in byte order of their names.
std::vector<std::string> regular_files(const std::string& directory)
{
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator it(directory.empty() ? std::string(".") : directory, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code kind_error;
        if (it->is_regular_file(kind_error))
            names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The last resort: the first regular file of the argument's directory whose
// name is one of the wanted names, case aside.
bool open_ignoring_case(const ImageNaming& naming, const std::string& argument, ImageFile& file)
{
    const size_t start = last_component_start(argument);
    const std::string directory = argument.substr(0, start);
    const std::string component = argument.substr(start);
    std::vector<std::string> wanted;
    if (last_component_has_dot(argument)) {
        wanted.push_back(component);
    } else {
        for (const char* const* extension = naming.lookup_extensions; *extension; ++extension)
            wanted.push_back(component + *extension);
    }
    for (const std::string& name : regular_files(directory)) {
        const bool match = std::any_of(wanted.begin(), wanted.end(),
                                       [&](const std::string& w) { return same_ignoring_case(name, w); });
        if (match && file.open(directory + name))
            return true;
    }
    return false;
}

}  // namespace

std::string shown_image_name(const ImageNaming& naming, const std::string& argument)
{
    std::string name = upper_cased(argument);
    if (!last_component_has_dot(argument))
        name += naming.default_extension;
    for (char& c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            c = '?';
    }
    return name;
}

bool open_named_image(const ImageNaming& naming, const std::string& argument, ImageFile& file)
{
    const bool plain = !last_component_has_dot(argument);
    if (file.open(plain ? argument + naming.default_extension : argument))
        return true;
    if (plain && file.open(argument + naming.lower_extension))
        return true;
    std::string upper_name = upper_cased(argument);
    if (plain)
        upper_name += naming.default_extension;
    if (file.open(upper_name))
        return true;
    return open_ignoring_case(naming, argument, file);
}
