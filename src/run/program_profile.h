// What distinguishes the two programs. Shared code asks the profile and never
// tests which program it is; each program defines its one profile record in
// apps/, where every difference can be read at a glance.
#pragma once

#include <cstdint>

#include "input/image_names.h"
#include "input/probe.h"
#include "stats/hist_derived.h"
#include "stats/histograms.h"
#include "stats/window.h"

struct ProgramProfile {
    const char* program_name;          // upper-case name in messages, e.g. "QUORVA"
    const char* const* usage_lines;    // null-terminated; printed one after the other
    const char* no_image_error;        // "\nError:  No image file specified. ..."
    const char* second_file_fallback;  // second line of the warning when image 2 cannot be opened
    const char* stats_log_name;        // statistics log file name
    const char* hist_log_name;         // histogram log file name
    ImageNaming naming;                // default extension and the names tried on disk

    // Input.
    ProbeFunction probe;             // header, directories, second image, file line
    SampleCheck check_samples;       // after the window line; may be null
    int32_t fixed_saturation_level;  // green saturation level when the file names no camera (-T overrides)

    // Window and console.
    WindowRules window;     // placement (and whether -U and -V mean anything)
    const char* ave_label;  // before each channel average: "ave " or "ave = "

    // Histograms and the histogram-derived statistics.
    HistogramRules histogram;
    DerivedRules derived;
};
