// The single read of the window that feeds every report: channel sums,
// histograms, profile sums, and the lines of each row pair for the spectra.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "input/raw_image_info.h"
#include "stats/channel_stats.h"
#include "stats/histograms.h"
#include "stats/profiles.h"
#include "stats/window.h"
#include "stats/window_reader.h"

class ImageFile;
class RowPairLines;

// How the pass computes; the results are the same bit for bit.
enum class PassMode {
    // Counting every sample of image 1 at its value, on all workers, for
    // windows large enough to gain from it; else as `plain`.
    fast,
    // Each sample read, used and dropped in file order: the reference the
    // counting pass is held against.
    plain,
};

struct PassRequest {
    const ImageFile* image[2] = {nullptr, nullptr};  // image[1] null: one image
    RawImageInfo info;
    WindowSpec window;
    const HistogramSpec* histogram = nullptr;  // the bins to count, or null
    bool per_column = false;                   // column-pair profile sums
    bool per_row = false;                      // row-pair profile sums
    PassMode mode = PassMode::fast;
};

// Every value a 16-bit sample can take.
constexpr size_t dn_values = 65536;

struct PassResult {
    ReadOutcome read;  // when not ok, nothing else is to be used
    ChannelStats stats;
    HistogramCounts histogram;
    ProfileSet profiles;
    // How often each DN of image 1 occurs in the window, per plane:
    // [plane x 65536 + DN]. Filled by the counting pass; empty otherwise.
    std::vector<uint32_t> dn_counts;
};

// Reads the window once. The lines of each row pair go to row_pairs when it
// is given (the spectra along the rows), pair after pair.
std::unique_ptr<PassResult> sample_pass(const PassRequest& request, RowPairLines* row_pairs);

// The two forms of the pass (sample_pass picks one by the mode and the size).
void counting_sample_pass(const PassRequest& request, RowPairLines* row_pairs, PassResult& result);
void plain_sample_pass(const PassRequest& request, RowPairLines* row_pairs, PassResult& result);

// How often each DN occurs in image 1's window, per plane:
// counts[plane x 65536 + DN], read as the counting pass reads, on all workers.
ReadOutcome count_window_values(const PassRequest& request, std::vector<uint32_t>& counts);
