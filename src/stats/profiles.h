// Row and column DN profiles. Their storage is also the line store of the
// spectra: lines 0..3 are the column-pair sums (x direction) of R, G1, B, G2,
// lines 4..7 the row-pair sums (y direction).
#pragma once

#include <cstdint>

struct RunState;

// Values per line: 1000 column or row pairs for profiles and -F, up to 1024
// for the multi-line spectra of windows up to 2048 pixels.
constexpr int32_t line_capacity = 1024;

struct ProfileSet {
    int32_t line[8][line_capacity] = {};
    bool per_column = false;  // accumulate col_sums during the sample pass
    bool per_row = false;     // accumulate row_sums during the sample pass

    int32_t* col_sums(int channel) { return line[channel]; }
    int32_t* row_sums(int channel) { return line[4 + channel]; }
    const int32_t* col_sums(int channel) const { return line[channel]; }
    const int32_t* row_sums(int channel) const { return line[4 + channel]; }
};

void clear_profiles(ProfileSet& profiles);

// "Ave-row DN values" and "Ave-col DN values", appended to the profile log.
void write_profile_tables(RunState& run);
