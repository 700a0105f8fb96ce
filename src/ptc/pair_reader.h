// Reads the window's pixels of both frames of a pair. The one place where
// ptcfit calls the programs' readers: their probes recognise the file, their
// window rules place the window, and the window reader fetches the samples.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stats/window.h"

struct ProgramProfile;

// Which program reads which file: NEF files through the NEF probe, others
// through the TIFF probe.
struct ReaderProfiles {
    const ProgramProfile& nef;
    const ProgramProfile& tif;
};

// The window in image pixels, and the mosaic plane (0 R, 1 G1, 2 B, 3 G2) of
// each parity of window row and column.
struct PairWindow {
    int64_t width = 0;
    int64_t height = 0;
    int64_t x = 0;
    int64_t y = 0;
    int plane[2][2] = {{0, 1}, {3, 2}};
};

// Both frames' samples of the window, row after row.
struct PairPixels {
    PairWindow window;
    std::vector<uint16_t> frame[2];

    int plane_at(int64_t row, int64_t column) const { return window.plane[row & 1][column & 1]; }
};

struct PairRead {
    int status = 0;        // 0, or the exit status that ends the run
    std::string message;   // the reader's message when status != 0
    uint32_t image_width = 0;
    uint32_t image_height = 0;
    PairPixels pixels;
};

// Reads the pair in the window: placed by the request on the first pair's
// image when `window` is empty (and stored there), reused as it is after.
PairRead read_pair(const ReaderProfiles& readers, const std::string& file1, const std::string& file2,
                   const WindowRequest& request, std::optional<PairWindow>& window);
