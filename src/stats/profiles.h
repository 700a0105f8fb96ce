// Row and column DN profiles: per plane, the sum of d over each column pair
// (x direction) and each row pair (y direction) of the window.
#pragma once

#include <cstdint>
#include <string>

// Values per line: 1000 column or row pairs for profiles and -F, up to 1024
// for the multi-line spectra of windows up to 2048 pixels.
constexpr int32_t line_capacity = 1024;

// The lines of one row pair (or column pair): R, G1, B, G2, one value per
// column pair (row pair).
using PairLines = int32_t[4][line_capacity];

struct ProfileSet {
    int32_t line[8][line_capacity] = {};  // 0..3 column-pair sums, 4..7 row-pair sums

    int32_t* col_sums(int channel) { return line[channel]; }
    int32_t* row_sums(int channel) { return line[4 + channel]; }
    const int32_t* col_sums(int channel) const { return line[channel]; }
    const int32_t* row_sums(int channel) const { return line[4 + channel]; }
};

// "Ave-row DN values" (along the window's columns, labelled by x) or
// "Ave-col DN values" (labelled by y): the mean of d per plane over the other
// dimension (sum x 2 / dimension, no offset).
enum class ProfileAxis { row, column };
std::string profile_table(const ProfileSet& profiles, ProfileAxis axis, int64_t first_label, int64_t pairs,
                          int64_t other_dimension, const std::string& source);
