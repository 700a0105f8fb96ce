// The fast engine against the literal one: every raw value the same double,
// bit for bit, for every sequence length the modes use, on every instruction
// set this processor runs.
#include <bit>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "spectra/fast_spectrum.h"
#include "spectra/spectrum_engine.h"
#include "stats/profiles.h"

namespace {

// Values of the kinds the lines hold: DNs near a level, differences of two
// images, large -F profile sums in tenths of DN, any DN.
std::vector<int32_t> random_line(std::mt19937& rng, int kind, int32_t n)
{
    std::normal_distribution<double> noise(0.0, 30.0);
    const int32_t bound[4] = {0, 65535, 2000000000, 16383};
    std::uniform_int_distribution<int32_t> any(kind == 3 ? 0 : -bound[kind], bound[kind]);
    std::vector<int32_t> v(static_cast<size_t>(n));
    for (int32_t& x : v)
        x = kind == 0 ? 1000 + static_cast<int32_t>(noise(rng)) : any(rng);
    return v;
}

// autocorr, green (two lines interleaved)
class FastEngineEveryLength : public testing::TestWithParam<std::tuple<bool, bool>> {};

TEST_P(FastEngineEveryLength, MatchesTheLiteralEngineBitForBit)
{
    const auto [autocorr, green] = GetParam();
    std::mt19937 rng(1234u + (autocorr ? 1u : 0u) + (green ? 2u : 0u));
    const auto literal = make_spectrum_engine(EngineKind::literal);
    const int32_t step = green ? 2 : 1;
    for (int32_t n = step; n <= step * line_capacity; n += step) {
        // Three sequences, so that lanes of one sweep belong to different ones.
        std::vector<std::vector<int32_t>> lines;
        for (int k = 0; k < 6; ++k)
            lines.push_back(random_line(rng, (n + k) % 4, line_capacity));
        std::vector<LineSequence> sequences;
        for (int k = 0; k < 3; ++k)
            sequences.push_back({lines[static_cast<size_t>(2 * k)].data(),
                                 green ? lines[static_cast<size_t>(2 * k + 1)].data() : nullptr});
        // Every frequency for short and a few long sequences; otherwise a run
        // starting at an odd place, so that each value sits in another lane.
        const bool every = n < 80 || n % 251 == 0 || n == step * line_capacity;
        const int32_t first = every ? 0 : (n / 2) / 3 + 1;
        const int32_t freqs = every ? n / 2 + 1 : std::min(n / 2 - first + 1, 19);
        std::vector<double> expected(static_cast<size_t>(3 * freqs)), got(expected.size());
        SpectrumJob job{sequences.data(), 3, n, first, freqs, expected.data()};
        literal->compute(autocorr, &job, 1);
        for (SpectrumIsa isa : {SpectrumIsa::portable, SpectrumIsa::avx2, SpectrumIsa::avx512}) {
            if (!spectrum_isa_available(isa))
                continue;
            job.out = got.data();
            make_fast_engine(n % 50 == 0 ? 2 : 1, isa)->compute(autocorr, &job, 1);
            for (size_t j = 0; j < got.size(); ++j)
                ASSERT_EQ(std::bit_cast<uint64_t>(got[j]), std::bit_cast<uint64_t>(expected[j]))
                    << "n=" << n << " value " << j << " isa " << static_cast<int>(isa);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, FastEngineEveryLength, testing::Combine(testing::Bool(), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<bool, bool>>& p) {
                             return std::string(std::get<0>(p.param) ? "Autocovariance" : "Dft") +
                                    (std::get<1>(p.param) ? "OfGreen" : "OfPlane");
                         });

}  // namespace
