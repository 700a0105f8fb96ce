#include "ptc/plan.h"

#include <algorithm>
#include <cstdlib>
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
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

std::optional<Plan> parse_plan(const std::string& text, std::string& error)
{
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool header_seen = false;
    std::vector<PlanPair> darks;
    Plan plan;
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
                error = "plan line " + std::to_string(number) + " must be the header \"role,file1,file2[,exposure_s]\"";
                return std::nullopt;
            }
            continue;
        }
        if (fields.size() < 3 || fields.size() > 4) {
            error = "plan line " + std::to_string(number) + " must hold role, file1, file2 and an optional exposure";
            return std::nullopt;
        }
        PlanPair pair;
        pair.line = number;
        const std::string role = lower(fields[0]);
        if (role != "dark" && role != "flat") {
            error = "plan line " + std::to_string(number) + ": role must be dark or flat, not \"" + fields[0] + "\"";
            return std::nullopt;
        }
        pair.dark = role == "dark";
        pair.file[0] = fields[1];
        pair.file[1] = fields[2];
        if (pair.file[0].empty() || pair.file[1].empty()) {
            error = "plan line " + std::to_string(number) + " names no file";
            return std::nullopt;
        }
        if (fields.size() == 4 && !fields[3].empty()) {
            char* end = nullptr;
            const double seconds = std::strtod(fields[3].c_str(), &end);
            if (end == fields[3].c_str() || *end != '\0' || !(seconds >= 0)) {
                error = "plan line " + std::to_string(number) + ": exposure \"" + fields[3] + "\" is not a time";
                return std::nullopt;
            }
            pair.exposure_s = seconds;
        }
        (pair.dark ? darks : plan.flats).push_back(pair);
    }
    if (!header_seen) {
        error = "the plan is empty";
        return std::nullopt;
    }
    if (darks.size() != 1) {
        error = darks.empty() ? "the plan has no dark pair" : "the plan has more than one dark pair";
        return std::nullopt;
    }
    plan.dark = darks[0];
    const bool timed = std::all_of(plan.flats.begin(), plan.flats.end(),
                                   [](const PlanPair& p) { return p.exposure_s.has_value(); });
    if (timed)
        std::stable_sort(plan.flats.begin(), plan.flats.end(),
                         [](const PlanPair& a, const PlanPair& b) { return *a.exposure_s < *b.exposure_s; });
    return plan;
}
