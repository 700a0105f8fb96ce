// What distinguishes the two programs. Shared code asks the profile and never
// tests which program it is; each program defines its one profile record in
// apps/, where every difference can be read at a glance.
#pragma once

#include <cstdint>

#include "input/image_names.h"

struct RunState;

// The input probe of a program, as three steps of the run sequence. Each
// returns 0 to go on, or the exit status that ends the run (its message
// already printed).
struct InputProbe {
    int (*check_header)(RunState& run);  // file header of image 1
    int (*probe)(RunState& run);         // directories, second image, file line
    int (*check_format)(RunState& run);  // after the window line; may be null
};

struct ProgramProfile {
    const char* program_name;        // upper-case name in messages, e.g. "QUORVA"
    ImageNaming naming;              // default extension and the names tried on disk
    const char* const* usage_lines;  // null-terminated; printed one after the other
    const char* no_image_error;      // "\nError:  No image file specified. ..."
    const char* second_file_fallback; // second line of the warning when image 2 cannot be opened
    const char* stats_log_name;      // statistics log file name
    const char* hist_log_name;       // histogram log file name
    bool has_second_window;          // U and V place image 2's window apart
    bool even_window_origin;         // X and Y rounded down to even
    InputProbe input;
    int32_t fixed_saturation_level;  // green saturation level when the probe does not name one (-T overrides)

    // Console lines.
    const char* ave_label;           // before each channel average: "ave " or "ave = "
    bool comma_window_line;          // "Image WxH, Window WxH, X=x, Y=y" instead of "... at X=x Y=y"

    // Histograms.
    int32_t hist_start_floor;        // S is raised to at least this
    int32_t hist_end_extra;          // E is raised to at least S + N - 1 + this
    const char* hist_header;         // column header of the histogram table

    // Histogram-derived statistics.
    double clip_factor;              // a colour with factor * SD > average is clipped
    uint32_t o_mode_red_round;       // R becomes R - (R + this) / 9 with -O
    bool debug_fit_lines;            // -D16 prints each fitted green bin
    const char* normality_header;    // column header of the normality table
};
