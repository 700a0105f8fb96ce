// The histogram-derived statistics: average and SD estimated from the upper
// side of clipped histograms of image 1, and the normality curves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stats/normal_fit.h"
#include "stats/window_reader.h"

struct ChannelResults;
struct Console;
struct PassRequest;

// Where the programs differ.
struct DerivedRules {
    double clip_factor;            // a colour with factor x SD > average is clipped
    uint32_t o_mode_red_round;     // -O: red DN R is counted as R - (R + this) / 9
    bool debug_fit_lines;          // -D16 prints each fitted green bin
    const char* normality_header;  // column header line of the normality table
};

struct DerivedRequest {
    const DerivedRules* rules = nullptr;
    const ChannelResults* results = nullptr;  // of the sample pass
    double n = 0;                             // samples per plane
    bool k_mode = false;                      // -K: computed whenever the window is large enough
    double K = 2.8;                           // upper edge of the fit band, in SDs
    bool o_mode = false;                      // -O: red and blue counted compressed
    const double* channel_scale = nullptr;    // red, green, blue factors of the results
    int32_t debug_bits = 0;
    // Image 1's window: how often each DN occurs per plane (empty when the
    // pass did not count them), and where to count them otherwise.
    const std::vector<uint32_t>* dn_counts = nullptr;
    const PassRequest* window = nullptr;
};

struct DerivedFigures {
    bool due = false;  // computed at all: else record group 3 is the filler
    DerivedBins bins;
    LineFit fit[3] = {};
    float z_table[3][max_derived_bins] = {};
    std::string debug;  // the -D16 lines of the fitted green bins
    ReadOutcome read;   // counting image 1 anew failed
};

DerivedFigures histogram_derived(const DerivedRequest& request);

// The -D16 lines, then "Histogram-derived:" and a line per colour (when due).
void print_derived(Console& console, const DerivedFigures& figures);
// Record group 3: the figures, or the filler of seven empty cells.
void add_record_derived(TextBuffer& record, const DerivedFigures& figures);
// The "Normality curves" table: each bin's first DN and the three scores.
std::string normality_table(const DerivedFigures& figures, const char* header, const std::string& source);
