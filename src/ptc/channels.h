// The five channels ptcfit characterises: the three colours of the reports
// (Green pooling both green planes) and each green plane on its own, so that
// a gain mismatch between them shows.
#pragma once

#include <array>

enum PtcChannel : int { ch_red = 0, ch_green = 1, ch_blue = 2, ch_green1 = 3, ch_green2 = 4 };

constexpr int channel_count = 5;

inline const char* channel_name(int channel)
{
    static constexpr const char* names[channel_count] = {"Red", "Green", "Blue", "Green1", "Green2"};
    return names[channel];
}

// The mosaic planes in table order R, G1, B, G2, and the channels each plane
// feeds (a green plane feeds its own channel and the pooled Green).
constexpr int plane_count = 4;

inline std::array<int, 2> channels_of_plane(int plane)
{
    static constexpr std::array<int, 2> feeds[plane_count] = {
        {ch_red, -1}, {ch_green1, ch_green}, {ch_blue, -1}, {ch_green2, ch_green}};
    return feeds[plane];
}
