// The fast spectrum kernels against SpectrumKernel itself: every value, and
// every power sum, must be the same double bit for bit.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "spectra/fast_spectrum.h"
#include "spectra/line_spectrum.h"
#include "stats/profiles.h"

namespace {

uint64_t bits(double v)
{
    return std::bit_cast<uint64_t>(v);
}

std::vector<SpectrumIsa> isas_here()
{
    std::vector<SpectrumIsa> isas;
    for (SpectrumIsa isa : {SpectrumIsa::portable, SpectrumIsa::avx2, SpectrumIsa::avx512})
        if (spectrum_isa_available(isa))
            isas.push_back(isa);
    return isas;
}

// Line contents of the kinds the modes store: DNs near a level (one image),
// differences of two images, large -F profile values (tenths of DN sums), any DN.
void fill_lines(ProfileSet& lines, std::mt19937& rng, int kind)
{
    std::normal_distribution<double> noise(0.0, 30.0);
    const int32_t bound[4] = {0, 65535, 2000000000, 16383};
    std::uniform_int_distribution<int32_t> any(kind == 3 ? 0 : -bound[kind], bound[kind]);
    for (auto& line : lines.line)
        for (int32_t& v : line)
            v = kind == 0 ? 1000 + static_cast<int32_t>(noise(rng)) : any(rng);
}

// The frequencies checked for a sequence of length n: every one (and two
// beyond n/2, which give 0) when asked or when n is small; otherwise the ends,
// both sides of the block boundaries and a few at random.
std::vector<int32_t> frequencies_for(int32_t n, std::mt19937& rng, bool all)
{
    std::vector<int32_t> f;
    const int32_t top = n / 2;
    if (all || n <= 64) {
        for (int32_t b = 0; b <= top + 2; ++b)
            f.push_back(b);
        return f;
    }
    f = {0, 1, 7, 8, 9, 16, 17, 64, top - 1, top, top + 1, top + 2};
    for (int k = 0; k < 4; ++k)
        f.push_back(std::uniform_int_distribution<int32_t>(0, top)(rng));
    return f;
}

// The values of one sequence by the fast kernels, finished as the kernel
// finishes them (power sums go to `spectra`). With `whole`, one task covers
// frequencies 0 .. n/2; otherwise each frequency comes from a short run of
// its own, starting inside the range, that puts it into a different lane.
std::vector<double> fast_values(const ProfileSet& lines, KernelMode mode, SpectraState& spectra, int32_t line,
                                int32_t pair_step, int32_t n, const std::vector<int32_t>& freqs, SpectrumIsa isa,
                                int workers, bool whole)
{
    SequenceBlock block(mode.autocorr, n, 1);
    block.load(0, LineSequence{lines.line[line], pair_step != 0 ? lines.line[line + pair_step] : nullptr});
    std::vector<double> all(static_cast<size_t>(n / 2 + 1));
    if (whole) {
        const SpectrumTask task{&block, 1, 0, n / 2 + 1, all.data()};
        compute_spectrum_tasks(&task, 1, workers, isa);
    }
    std::vector<double> out;
    for (int32_t b : freqs) {
        double r = 0.0;
        if (b <= n / 2 && whole) {
            r = all[static_cast<size_t>(b)];
        } else if (b <= n / 2) {
            const int32_t first = b - b % 3, count = std::min(n / 2 - first + 1, 4);
            std::vector<double> raw(static_cast<size_t>(count));
            const SpectrumTask task{&block, 1, first, count, raw.data()};
            compute_spectrum_tasks(&task, 1, workers, isa);
            r = raw[static_cast<size_t>(b - first)];
        }
        out.push_back(finish_kernel_value(mode, spectra, r, line, pair_step, n, b));
    }
    return out;
}

// autocorr, ft_coef, pair_step
class FastKernelEveryLength : public testing::TestWithParam<std::tuple<bool, bool, int32_t>> {};

// Every sequence length the modes use: planes 1 .. 1024 (pair_step 0; -F
// planes and the green lines 4..7 run the same code), green 2 .. 2048 (pair_step 2).
TEST_P(FastKernelEveryLength, MatchesTheLiteralKernelBitForBit)
{
    const auto [autocorr, ft_coef, pair_step] = GetParam();
    const KernelMode mode{autocorr, ft_coef};
    std::mt19937 rng(1234u + (autocorr ? 1u : 0u) + (ft_coef ? 2u : 0u) + static_cast<unsigned>(pair_step));
    auto lines = std::make_unique<ProfileSet>();
    const int32_t line = pair_step != 0 ? 1 : 0, step = pair_step != 0 ? 2 : 1;
    for (int32_t n = step; n <= step * line_capacity; n += step) {
        if (n % 97 == 1 || n < 8)
            fill_lines(*lines, rng, n % 4);
        const bool all = n < 80 || n % 251 == 0 || n == 1000 || n == 1024 || n == 2000 || n == 2048;
        const std::vector<int32_t> freqs = frequencies_for(n, rng, all);
        SpectraState literal_sums;
        std::vector<double> literal;
        for (int32_t b : freqs)
            literal.push_back(SpectrumKernel(*lines, literal_sums, mode, line, pair_step, n, b));
        for (SpectrumIsa isa : isas_here()) {
            SpectraState fast_sums;
            const std::vector<double> fast =
                fast_values(*lines, mode, fast_sums, line, pair_step, n, freqs, isa, n % 50 == 0 ? 2 : 1, all);
            for (size_t j = 0; j < freqs.size(); ++j)
                ASSERT_EQ(bits(fast[j]), bits(literal[j])) << "n=" << n << " b=" << freqs[j]
                                                           << " isa=" << static_cast<int>(isa);
            for (int e = 0; e < 8; ++e)
                ASSERT_EQ(bits(fast_sums.power_sum[e]), bits(literal_sums.power_sum[e])) << "n=" << n;
            for (int e = 0; e < 2; ++e)
                ASSERT_EQ(bits(fast_sums.green_power_sum[e]), bits(literal_sums.green_power_sum[e])) << "n=" << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModes, FastKernelEveryLength,
                         testing::Combine(testing::Bool(), testing::Bool(), testing::Values(0, 2)),
                         [](const testing::TestParamInfo<std::tuple<bool, bool, int32_t>>& p) {
                             return std::string(std::get<0>(p.param) ? "Acf" : "Dft") +
                                    (std::get<1>(p.param) ? "FtCoef" : "Multi") +
                                    (std::get<2>(p.param) != 0 ? "Green" : "Plane");
                         });

}  // namespace
