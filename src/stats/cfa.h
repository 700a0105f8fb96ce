// The four planes of the Bayer mosaic and the three colours of the reports.
#pragma once

#include <cstdint>

// Table column order R, G1, B, G2; the plane follows from the parity of the
// sample's image row and column.
enum CfaChannel : int { R = 0, G1 = 1, B = 2, G2 = 3 };

// Red, Green (G1 and G2 pooled) and Blue.
enum StatColour : int { Red = 0, Green = 1, Blue = 2 };

inline CfaChannel channel_at(int64_t row, int64_t column)
{
    const bool odd_row = (row & 1) != 0;
    const bool odd_column = (column & 1) != 0;
    if (!odd_row)
        return odd_column ? G1 : R;
    return odd_column ? B : G2;
}

inline StatColour colour_of(CfaChannel channel)
{
    static constexpr StatColour colour[4] = {Red, Green, Blue, Green};
    return colour[channel];
}
