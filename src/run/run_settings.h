// Everything the command line asks for, filled once from the arguments and
// only read afterwards.
#pragma once

#include <cstdint>
#include <string>

struct RunSettings {
    // Window request, in image pixels (-1: centred; H 0: square).
    int32_t W = 200;
    int32_t H = 0;
    int32_t X = -1;
    int32_t Y = -1;
    int32_t X2 = -1;  // second image's window (programs with a second window only)
    int32_t Y2 = -1;

    // Histogram: start, bin width, end (0: not given), bin count.
    int32_t S = 1;
    int32_t B = 1;
    int32_t E = 0;
    int32_t N = 50;
    bool hist_enabled = false;

    bool stats_log = false;

    // Histogram-derived statistics: forced by -K, upper edge of the fit band in SDs.
    bool k_mode = false;
    double K = 2.8;

    // Spectra.
    bool ft_coef = false;
    bool multi_line = false;
    bool autocorr = false;
    int32_t ft_upper = 1000;
    bool row_lines = false;  // x direction wanted
    bool col_lines = false;  // y direction wanted

    // Profiles.
    bool rcdn_rows = false;
    bool rcdn_cols = false;

    // Red and blue rescaling of the histogram-derived pass.
    bool o_mode = false;
    double channel_scale[3] = {1.0, 1.0, 1.0};  // red, green, blue

    int32_t debug_bits = 0;

    // -T: the level above which a green DN counts as saturated, instead of
    // the program's own (quorva: the camera table's); 0 keeps that.
    int32_t T = 0;

    // Images: a second one was named and opened; the names as shown
    // (upper-cased, default extension added, control characters as '?').
    bool two_files = false;
    std::string file_name[2];
};
