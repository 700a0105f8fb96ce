#include "spectra/line_spectra.h"

#include "spectra/spectrum_engine.h"

namespace {

// The combined green: G1 (line 1) interleaved with G2 (line 3).
constexpr int green_first_line = 1;
constexpr int green_second_line = 3;

}  // namespace

PairSpectra::PairSpectra(SpectrumEngine& engine, KernelMode mode, const DirectionPlan& plan, MultiSums& sums)
    : engine_(engine),
      mode_(mode),
      plan_(plan),
      sums_(sums),
      planes_(plane_range(plan)),
      green_(green_range(plan)),
      pairs_(capacity),
      plane_sequences_(4 * capacity),
      green_sequences_(capacity),
      plane_raw_(static_cast<size_t>(4 * capacity) * static_cast<size_t>(planes_.count)),
      green_raw_(static_cast<size_t>(capacity) * static_cast<size_t>(green_.count))
{
}

PairLines& PairSpectra::next_pair()
{
    return pairs_[static_cast<size_t>(filled_)];
}

void PairSpectra::pair_done()
{
    if (++filled_ == capacity)
        flush();
}

void PairSpectra::finish()
{
    flush();
}

void PairSpectra::flush()
{
    const int32_t pairs = filled_;
    filled_ = 0;
    if (pairs == 0 || planes_.count <= 0)
        return;
    for (int32_t p = 0; p < pairs; ++p) {
        const PairLines& lines = pairs_[static_cast<size_t>(p)];
        for (int32_t c = 0; c < 4; ++c)
            plane_sequences_[static_cast<size_t>(4 * p + c)] = LineSequence{lines[c], nullptr};
        green_sequences_[static_cast<size_t>(p)] = LineSequence{lines[green_first_line], lines[green_second_line]};
    }
    const SpectrumJob jobs[2] = {
        {plane_sequences_.data(), 4 * pairs, plan_.half(), planes_.first, planes_.count, plane_raw_.data()},
        {green_sequences_.data(), pairs, plan_.length, green_.first, green_.count, green_raw_.data()},
    };
    engine_.compute(mode_.autocorr, jobs, 2);

    // Pair after pair, each value rounded to single precision and added.
    for (int32_t p = 0; p < pairs; ++p) {
        const double* green = green_raw_.data() + static_cast<size_t>(p) * green_.count;
        auto green_value = [&](int32_t f) {
            return green_.holds(f) ? kernel_value(mode_, green[f - green_.first], plan_.length) : 0.0;
        };
        for_each_row(plan_, [&](int32_t f) {
            const int32_t k = f / 2;
            for (int32_t c = 0; c < 4; ++c) {
                const double raw =
                    plane_raw_[static_cast<size_t>(4 * p + c) * planes_.count + static_cast<size_t>(k - planes_.first)];
                sums_.coef_sums[c][k] += static_cast<float>(kernel_value(mode_, raw, plan_.half()));
            }
            sums_.coef_sums[4][k] += static_cast<float>(green_value(f));
            sums_.coef_sums[5][k] += static_cast<float>(green_value(f + 1));
        });
    }
}
