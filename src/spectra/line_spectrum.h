// One value of the spectrum of a stored line: a DFT coefficient magnitude or a
// circular autocovariance.
#pragma once

#include <cstdint>

struct ProfileSet;

// Single-precision averaging stores, indexed by f / 2, for windows up to 2048.
constexpr int coef_entries = 514;

struct SpectraState {
    int32_t span_x = 0;  // reported x frequencies: f from W/2 - span_x to W/2; 0 when off
    int32_t span_y = 0;
    float coef_sums[6][coef_entries] = {};  // R, G1, B, G2 at f/2; G at f; G at f + 1
    double power_sum[8] = {};               // per line, for the RMS lines
    double green_power_sum[2] = {};         // combined green along x (0) and y (1)
    double acf_scale[4] = {1.0, 1.0, 1.0, 1.0};
};

// The kernel's mode, from the run settings.
struct KernelMode {
    bool autocorr = false;  // autocovariance instead of DFT magnitude
    bool ft_coef = false;   // line holds tenths of DN; divide by 10, add to power sums
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

// Whether the kernel computes a value for these arguments; when not, it
// returns 0.0 and changes nothing.
bool kernel_in_range(int32_t line, int32_t pair_step, int32_t count, int32_t freq);

// cos and sin of the rotation step -2 pi b / N, evaluated as the kernel does.
void rotation_step(int32_t count, int32_t freq, double& c, double& s);

// line: 0..7; pair_step: 0, or 2 to interleave line and line + 2 (combined green);
// count: N values in the sequence; freq: frequency index b, or the lag.
//
// This is the reference form of the computation: one cos and one sin per call,
// the rotation carried by a recurrence, sums in index order. Any faster form
// must give the same bits (the fast kernels of fast_spectrum.h do).
double SpectrumKernel(const ProfileSet& lines, SpectraState& spectra, KernelMode mode, int32_t line,
                      int32_t pair_step, int32_t count, int32_t freq);

// The kernel's result from the raw DFT magnitude or autocovariance of a
// sequence, with the power-sum update of -F mode: what SpectrumKernel(line,
// pair_step, count, freq) returns and does after its sums. Shared by the
// literal kernel and the fast paths. Out-of-range arguments give 0.0 and
// change nothing.
double finish_kernel_value(KernelMode mode, SpectraState& spectra, double raw, int32_t line, int32_t pair_step,
                           int32_t count, int32_t freq);
