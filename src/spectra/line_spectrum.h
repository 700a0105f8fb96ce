// One value of the spectrum of a line: a DFT coefficient magnitude or a
// circular autocovariance, computed the literal way. Every faster form must
// give the same bits (the fast engine does).
#pragma once

#include <cstdint>

#include "stats/profiles.h"

// The kernel's mode for the whole run.
struct KernelMode {
    bool autocorr = false;  // autocovariance instead of DFT magnitude
    bool ft_coef = false;   // -F: the line holds tenths of DN; results in DN
};

// The sequence x[0..N-1] the kernel works on: one stored line, or two lines
// interleaved (x[2i] from the first, x[2i + 1] from the second, both at i).
struct LineSequence {
    const int32_t* first = nullptr;
    const int32_t* second = nullptr;  // null for a single line

    int32_t operator[](int32_t i) const
    {
        if (second == nullptr)
            return first[i];
        return (i & 1) != 0 ? second[i / 2] : first[i / 2];
    }
};

// cos and sin of the rotation step -2 pi b / N, evaluated as the kernel does.
void rotation_step(int32_t count, int32_t freq, double& c, double& s);

// |X[b]| of the sequence (not divided by N): the rotation e^(-2 pi i b k / N)
// advanced by complex multiplication from a single cos and sin, the sums in
// index order.
double dft_magnitude(const LineSequence& x, int32_t count, int32_t freq);

// Circular autocovariance at the lag, the sequence's own mean (the exact sum
// divided by N) removed; divided by N, so lag 0 is the population variance.
double autocovariance(const LineSequence& x, int32_t count, int32_t lag);

// The kernel's result from the raw magnitude or autocovariance: divided by N
// for the DFT; with -F in DN from a line of tenths (|value| / N / 10).
double kernel_value(KernelMode mode, double raw, int32_t count);

// Whether the kernel computes a value for these arguments (0 <= freq <= N/2,
// the sequence inside the store); when not, its value is 0.
bool kernel_in_range(int32_t line, int32_t pair_step, int32_t count, int32_t freq);

// lines: the store of eight lines (profile sums, or a pair's lines in 0..3);
// line: 0..7 of the store; pair_step: 0, or 2 to interleave line and line + 2
// (the combined green); count: N values in the sequence; freq: frequency
// index b, or the lag.
double SpectrumKernel(const ProfileSet& lines, KernelMode mode, int32_t line, int32_t pair_step, int32_t count,
                      int32_t freq);
