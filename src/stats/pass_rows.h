// The per-row work of the counting sample pass: each sample of image 1
// counted at its DN, the two-image sums of d, the profile sums and the lines
// of a row pair. Internal to the sample pass.
#pragma once

#include <cstdint>
#include <vector>

#include "stats/cfa.h"
#include "stats/profiles.h"
#include "stats/sample_pass.h"

// What the pass computes, the same for every row.
struct PassShape {
    const PassRequest* request;
    bool two;
    bool per_column;
    bool per_row;
    int64_t pairs;  // W / 2
    bool avx2;      // the processor runs the AVX2 loops
};

// Copies of the counters that single samples are added to, used by turns
// along a row: a run of equal values (common in dark frames) then adds to
// different counters, which the processor can update without waiting.
constexpr size_t count_copies = 2;

// The sums of one worker's rows. They are whole numbers, so the parts of all
// workers add up to the same totals in any order. Image 1's own sums, its
// extremes, clipping counts and histogram follow from how often each DN
// occurs in each plane: the pass counts every sample at its DN.
struct PassPart {
    std::vector<uint32_t> dn_count;  // image 1: [copy][plane][DN]
    int64_t sum_d[3] = {};           // two images: sum of d
    uint64_t sum_sq[3] = {};         // two images: sum of d x d
    uint64_t sum_dn2[3] = {};        // two images: sum of image 2's DN
    std::vector<int32_t> profile;    // [line][entry] when a profile is on
    ReadOutcome read;                // the rows this part could not read

    explicit PassPart(const PassShape& shape)
        : dn_count(count_copies * 4 * dn_values, 0)
    {
        if (shape.per_column || shape.per_row)
            profile.assign(8 * static_cast<size_t>(line_capacity), 0);
    }
    int32_t* col_sums(int plane) { return profile.data() + plane * line_capacity; }
    int32_t* row_sums(int plane) { return profile.data() + (4 + plane) * line_capacity; }
};

bool have_avx2();

// Rows [first, last) of the window, read in chunks; both bounds even. The
// lines of each row pair go to row_pairs when it is given.
void pass_rows(const PassShape& shape, int64_t first, int64_t last, PassPart& part, RowPairLines* row_pairs);
