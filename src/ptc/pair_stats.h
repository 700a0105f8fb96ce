// Mean and temporal variance of one pair of frames, per colour, through the
// programs' own probes, window placement and sample pass.
#pragma once

#include <cstdint>
#include <string>

#include "stats/window.h"

struct ProgramProfile;

struct PairStats {
    double mu[3] = {};         // mean of both frames (no +0.5), Red, Green, Blue
    double var[3] = {};        // population variance of the difference, / 2
    double diff[3] = {};       // mean of frame 1 - frame 2
    double zero_share[3] = {}; // share of both frames' samples at 0
    double max_share[3] = {};  // share of both frames' samples at the series' clip level (set by the caller)
    uint32_t top_value[3] = {};// largest sample of both frames
    int64_t top_count[3] = {}; // how many samples of both frames hold it
    int64_t samples[3] = {};   // samples per frame and colour
};

// Which program reads which file: NEF files through the NEF probe, others
// through the TIFF probe.
struct ReaderProfiles {
    const ProgramProfile& nef;
    const ProgramProfile& tif;
};

struct PairResult {
    int status = 0;            // 0, or the exit status that ends the run
    std::string message;       // the reader's message when status != 0
    PairStats stats;
    uint32_t width = 0;        // image size
    uint32_t height = 0;
    bool nef = false;
};

// Measures the pair in the window placed by the request (the first pair's
// placement is reused for all: window is in/out; window_set tells).
PairResult measure_pair(const ReaderProfiles& readers, const std::string& file1, const std::string& file2,
                        const WindowRequest& request, WindowSpec& window, bool& window_set);
