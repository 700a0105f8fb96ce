// Many values of the line spectrum at once, each bit for bit the value that
// the literal kernel (line_spectrum.h) computes alone.
//
// The kernel's cost is a chain of dependent steps per value: the rotation of
// step i + 1 waits for that of step i. Here many frequencies (and, for the
// DFT, many sequences sharing one rotation) are carried through one sweep
// over the sequence, so the processor overlaps their chains; each value still
// sees exactly the kernel's operations in the kernel's order: the same cos and
// sin of the same angle, the same rotation recurrence, the same products
// summed in index order, with no fused multiply-adds. Values of different
// frequencies share vector registers, never arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "spectra/line_spectrum.h"

// Instruction sets of the fast kernels; `best` is the widest this processor runs.
enum class SpectrumIsa { portable, avx2, avx512, best };

bool spectrum_isa_available(SpectrumIsa isa);

// Sequences of one length N, made ready for the fast kernels: the values as
// doubles (for the DFT), or centred on their own mean and stored twice in a
// row so that a circular lag needs no wrap (for the autocovariance).
class SequenceBlock {
public:
    SequenceBlock(bool autocorr, int32_t length, int32_t capacity);

    // Stores the sequence x[0 .. N - 1] in slot `index` (0 .. capacity - 1).
    void load(int32_t index, const LineSequence& x);

    bool autocorr() const { return autocorr_; }
    int32_t length() const { return length_; }
    int32_t capacity() const { return capacity_; }

    // Slot `index`; slot `capacity` holds zeros (filler for unused lanes).
    const double* values(int32_t index) const { return values_.data() + static_cast<std::size_t>(index) * stride_; }
    // cos and sin of the rotation step of frequencies 0 .. N/2 (and a few more
    // entries of filler).
    const double* cos_table() const { return cos_.data(); }
    const double* sin_table() const { return sin_.data(); }

private:
    bool autocorr_;
    int32_t length_;
    int32_t capacity_;
    std::size_t stride_;
    std::vector<double> values_;
    std::vector<double> cos_;
    std::vector<double> sin_;
};

// Sequences 0 .. count - 1 of a block, frequencies (lags) first .. first +
// freqs - 1, all at most N/2. The results are the kernel's before its final
// scaling: the DFT magnitude sqrt(re^2 + im^2) (not yet divided by N), or the
// autocovariance itself; out[s * freqs + j] for sequence s, frequency first + j.
struct SpectrumTask {
    const SequenceBlock* block = nullptr;
    int32_t count = 0;
    int32_t first = 0;
    int32_t freqs = 0;
    double* out = nullptr;
};

void compute_spectrum_tasks(const SpectrumTask* tasks, int task_count, int workers,
                            SpectrumIsa isa = SpectrumIsa::best);
