// What the spectrum tables of a run report: the kernel's mode and, along the
// rows (x) and the columns (y), the frequencies (or lags) of each table.
#pragma once

#include <cstdint>

#include "spectra/line_spectrum.h"

// Single-precision averaging stores, indexed by f / 2, for windows up to 2048.
constexpr int coef_entries = 514;

// One direction: sequences of N values (W along the rows, H along the
// columns); a table's rows are f = N/2 - span, N/2 - span + 2, ... <= N/2,
// each with the planes at f / 2 (sequences of N / 2) and the combined green
// at f and f + 1.
struct DirectionPlan {
    int32_t length = 0;  // N
    int32_t span = 0;    // 0: the direction is off

    bool on() const { return span > 1; }
    int32_t half() const { return length / 2; }
    int32_t first() const { return half() - span; }
};

template <class Row> void for_each_row(const DirectionPlan& plan, Row&& row)
{
    for (int32_t f = plan.first(); f <= plan.half(); f += 2)
        row(f);
}

// The frequencies a direction's table needs of the planes and of the green
// that lie in range (at most half the sequence's length); count 0 when none.
struct FrequencyRange {
    int32_t first = 0;
    int32_t count = 0;

    bool holds(int32_t f) const { return f >= first && f < first + count; }
};
FrequencyRange plane_range(const DirectionPlan& plan);
FrequencyRange green_range(const DirectionPlan& plan);

struct SpectrumPlan {
    KernelMode mode;
    int32_t ft_upper = 0;  // frequencies (lags) reported: the -F, -M or -A value doubled, at least 4
    DirectionPlan x;
    DirectionPlan y;
};

// ft_upper is doubled exactly (saturating at the largest 32-bit value), at
// least 4; a direction's span is the smaller of half its length and that.
SpectrumPlan plan_spectra(KernelMode mode, int32_t ft_upper, bool row_lines, bool col_lines, int64_t W, int64_t H);
