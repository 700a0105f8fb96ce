// The measurement plan of a photon-transfer series: dark pairs (one, or one
// per exposure time) and one flat pair per exposure level.
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
    std::vector<PlanPair> darks;  // in exposure order when there are several
    std::vector<PlanPair> flats;  // in exposure order when exposures are given, else plan order
    bool timed = false;           // every flat has an exposure
    std::vector<std::string> notes;  // what the reader should know (a frame in two pairs)
};

// Parses the plan text ("role,file1,file2[,exposure_s]" header, then one line
// per pair). On failure returns nothing and sets error to the message text.
std::optional<Plan> parse_plan(const std::string& text, std::string& error);

// A decimal number as a plan or a switch writes it: digits with an optional
// point and exponent, no sign, no hexadecimal, finite.
std::optional<double> parse_decimal(const std::string& text);
