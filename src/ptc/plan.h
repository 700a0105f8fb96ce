// The measurement plan of a photon-transfer series: one dark pair and one
// flat pair per exposure level.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct PlanPair {
    bool dark = false;
    std::string file[2];
    std::optional<double> exposure_s;
    int line = 0;  // line in the plan file, for messages
};

struct Plan {
    PlanPair dark;
    std::vector<PlanPair> flats;  // in exposure order when exposures are given, else plan order
};

// Parses the plan text ("role,file1,file2[,exposure_s]" header, then one line
// per pair). On failure returns nothing and sets error to the message text.
std::optional<Plan> parse_plan(const std::string& text, std::string& error);
