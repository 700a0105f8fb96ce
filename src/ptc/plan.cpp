#include "ptc/plan.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> fields_of(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');)
        fields.push_back(trimmed(field));
    if (!line.empty() && line.back() == ',')
        fields.push_back("");
    return fields;
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string at_line(int number)
{
    return "plan line " + std::to_string(number);
}

// The name as the plan means it, for comparing lines.
std::string normal_name(const std::string& name)
{
    return std::filesystem::path(name).lexically_normal().generic_string();
}

}  // namespace

std::optional<double> parse_decimal(const std::string& text)
{
    size_t i = 0, digits = 0;
    auto skip_digits = [&] {
        size_t count = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++count;
        }
        return count;
    };
    digits += skip_digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        digits += skip_digits();
    }
    if (digits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (skip_digits() == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    const double value = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<Plan> parse_plan(const std::string& text, std::string& error)
{
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool header_seen = false;
    Plan plan;
    std::map<std::string, int> file_line;  // each file's first line
    std::map<std::pair<std::string, std::string>, int> pair_line;
    while (std::getline(in, line)) {
        ++number;
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> fields = fields_of(line);
        if (!header_seen) {
            header_seen = true;
            if (fields.size() < 3 || lower(fields[0]) != "role" || lower(fields[1]) != "file1" ||
                lower(fields[2]) != "file2") {
                error = at_line(number) + " must be the header \"role,file1,file2[,exposure_s]\"";
                return std::nullopt;
            }
            continue;
        }
        if (fields.size() < 3 || fields.size() > 4) {
            error = at_line(number) + " must hold role, file1, file2 and an optional exposure";
            return std::nullopt;
        }
        PlanPair pair;
        pair.line = number;
        const std::string role = lower(fields[0]);
        if (role != "dark" && role != "flat") {
            error = at_line(number) + ": role must be dark or flat, not \"" + fields[0] + "\"";
            return std::nullopt;
        }
        pair.dark = role == "dark";
        pair.file[0] = fields[1];
        pair.file[1] = fields[2];
        if (pair.file[0].empty() || pair.file[1].empty()) {
            error = at_line(number) + " names no file";
            return std::nullopt;
        }
        const std::string names[2] = {normal_name(pair.file[0]), normal_name(pair.file[1])};
        if (names[0] == names[1]) {
            error = at_line(number) + " names " + pair.file[0] + " twice: a pair needs two frames";
            return std::nullopt;
        }
        const auto key = std::minmax(names[0], names[1]);
        if (auto seen = pair_line.find(key); seen != pair_line.end()) {
            error = "plan lines " + std::to_string(seen->second) + " and " + std::to_string(number) +
                    " name the same pair of frames";
            return std::nullopt;
        }
        pair_line[key] = number;
        for (int f = 0; f < 2; ++f) {
            auto [seen, fresh] = file_line.emplace(names[f], number);
            if (!fresh)
                plan.notes.push_back(pair.file[f] + " is in the pairs of plan lines " + std::to_string(seen->second) +
                                     " and " + std::to_string(number) + ": pairs that share a frame are not independent");
        }
        if (fields.size() == 4 && !fields[3].empty()) {
            const std::optional<double> seconds = parse_decimal(fields[3]);
            if (!seconds) {
                error = at_line(number) + ": exposure \"" + fields[3] + "\" is not a time in seconds";
                return std::nullopt;
            }
            pair.exposure_s = *seconds;
        }
        (pair.dark ? plan.darks : plan.flats).push_back(pair);
    }
    if (!header_seen) {
        error = "the plan is empty";
        return std::nullopt;
    }
    if (plan.darks.empty()) {
        error = "the plan has no dark pair";
        return std::nullopt;
    }
    if (plan.flats.empty()) {
        error = "the plan has no flat pair";
        return std::nullopt;
    }
    const auto timed = [](const PlanPair& p) { return p.exposure_s.has_value(); };
    const auto untimed = std::find_if_not(plan.flats.begin(), plan.flats.end(), timed);
    plan.timed = untimed == plan.flats.end();
    if (!plan.timed && std::any_of(plan.flats.begin(), plan.flats.end(), timed)) {
        error = at_line(untimed->line) + " gives no exposure while other flat lines do: give it on every line or on none";
        return std::nullopt;
    }
    if (plan.darks.size() > 1) {
        const auto dark_untimed = std::find_if_not(plan.darks.begin(), plan.darks.end(), timed);
        if (dark_untimed != plan.darks.end()) {
            error = at_line(dark_untimed->line) + ": with several dark pairs each needs its exposure";
            return std::nullopt;
        }
        if (!plan.timed) {
            error = "with several dark pairs the flat lines need exposures, to be matched to them";
            return std::nullopt;
        }
    }
    const auto by_exposure = [](const PlanPair& a, const PlanPair& b) { return *a.exposure_s < *b.exposure_s; };
    if (plan.timed)
        std::stable_sort(plan.flats.begin(), plan.flats.end(), by_exposure);
    if (plan.darks.size() > 1) {
        std::stable_sort(plan.darks.begin(), plan.darks.end(), by_exposure);
        for (size_t i = 1; i < plan.darks.size(); ++i)
            if (*plan.darks[i].exposure_s == *plan.darks[i - 1].exposure_s) {
                error = "plan lines " + std::to_string(plan.darks[i - 1].line) + " and " +
                        std::to_string(plan.darks[i].line) + " are dark pairs of the same exposure";
                return std::nullopt;
            }
    }
    return plan;
}
