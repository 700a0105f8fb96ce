// The averaged spectra of the multi-line mode: the spectra of every row pair
// (or column pair) of the window added up, pair after pair.
#pragma once

#include <cstdint>
#include <vector>

#include "spectra/spectrum_plan.h"
#include "stats/row_pair_lines.h"

class SpectrumEngine;

// Per stored frequency k = f / 2: R, G1, B, G2 at k; the combined green at f
// and at f + 1. Each value is rounded to single precision before it is added.
struct MultiSums {
    float coef_sums[6][coef_entries] = {};
};

// Takes the lines of successive pairs and adds their spectra to the sums: per
// pair, the planes at f / 2 and the combined green (G1 interleaved with G2)
// at f and f + 1 for the plan's rows, in the order the pairs come. The pairs
// are collected in batches so that the engine can compute many at once.
class PairSpectra : public RowPairLines {
public:
    // Pairs held before their spectra are computed.
    static constexpr int32_t capacity = 32;

    PairSpectra(SpectrumEngine& engine, KernelMode mode, const DirectionPlan& plan, MultiSums& sums);

    PairLines& next_pair() override;
    void pair_done() override;
    void finish() override;

private:
    void flush();

    SpectrumEngine& engine_;
    KernelMode mode_;
    DirectionPlan plan_;
    MultiSums& sums_;
    FrequencyRange planes_;
    FrequencyRange green_;
    std::vector<PairLines> pairs_;
    int32_t filled_ = 0;
    std::vector<LineSequence> plane_sequences_;
    std::vector<LineSequence> green_sequences_;
    std::vector<double> plane_raw_;
    std::vector<double> green_raw_;
};
