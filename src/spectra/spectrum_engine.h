// The one engine that computes a run's spectrum values, chosen once per run:
// the literal kernel value by value, or the fast sweeps on all workers, with
// the same bits.
#pragma once

#include <cstdint>
#include <memory>

#include "spectra/line_spectrum.h"

// Sequences of one length and the frequencies (lags) wanted of each, all at
// most N/2. out[s * freqs + j]: sequence s, frequency first + j; the raw value,
// the DFT magnitude not yet divided by N, or the autocovariance.
struct SpectrumJob {
    const LineSequence* sequences = nullptr;
    int32_t count = 0;   // sequences
    int32_t length = 0;  // N values each
    int32_t first = 0;
    int32_t freqs = 0;
    double* out = nullptr;
};

class SpectrumEngine {
public:
    virtual ~SpectrumEngine() = default;
    // Fills every job's out; autocorr: autocovariances instead of magnitudes.
    virtual void compute(bool autocorr, const SpectrumJob* jobs, int job_count) = 0;
};

enum class EngineKind {
    literal,  // the kernel itself, value by value, on one thread: the reference
    fast,     // many values per sweep, in vector registers, on all workers
};

std::unique_ptr<SpectrumEngine> make_spectrum_engine(EngineKind kind);

// The fast engine on that many workers with one instruction set (for the
// benchmarks and the tests that hold each set against the literal kernel).
enum class SpectrumIsa;
std::unique_ptr<SpectrumEngine> make_fast_engine(int workers, SpectrumIsa isa);
