// The fast spectrum kernels against SpectrumKernel itself: every value, and
// every power sum, must be the same double bit for bit.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "spectra/fast_spectrum.h"
#include "spectra/line_spectrum.h"
#include "spectra/row_spectra.h"
#include "stats/profiles.h"

namespace {

uint64_t bits(double v)
{
    return std::bit_cast<uint64_t>(v);
}

uint32_t bits(float v)
{
    return std::bit_cast<uint32_t>(v);
}

std::vector<SpectrumIsa> isas_here()
{
    std::vector<SpectrumIsa> isas;
    for (SpectrumIsa isa : {SpectrumIsa::portable, SpectrumIsa::avx2, SpectrumIsa::avx512})
        if (spectrum_isa_available(isa))
            isas.push_back(isa);
    return isas;
}

// Random line contents of the kinds the modes store: raw DNs (one image),
// differences of two images, and large -F profile values (tenths of DN sums).
void fill_lines(ProfileSet& lines, std::mt19937& rng, int kind)
{
    std::uniform_int_distribution<int32_t> dn(0, 16383);
    std::uniform_int_distribution<int32_t> diff(-65535, 65535);
    std::normal_distribution<double> noise(0.0, 30.0);
    std::uniform_int_distribution<int32_t> big(-2000000000, 2000000000);
    for (auto& line : lines.line)
        for (int32_t& v : line) {
            switch (kind) {
            case 0:
                v = 1000 + static_cast<int32_t>(noise(rng));
                break;
            case 1:
                v = diff(rng);
                break;
            case 2:
                v = big(rng);
                break;
            default:
                v = dn(rng);
            }
        }
}

// The frequencies checked for a sequence of length n: every one when n is
// small, otherwise the ends, both sides of each block boundary and a few at
// random; always a few beyond n/2, which give 0.
std::vector<int32_t> frequencies_for(int32_t n, std::mt19937& rng, bool all)
{
    std::vector<int32_t> f;
    const int32_t top = n / 2;
    if (all || n <= 64) {
        for (int32_t b = 0; b <= top + 2; ++b)
            f.push_back(b);
        return f;
    }
    for (int32_t b : {0, 1, 7, 8, 9, 16, 17, 64})
        f.push_back(b);
    for (int32_t b : {top - 1, top, top + 1, top + 2})
        f.push_back(b);
    std::uniform_int_distribution<int32_t> any(0, top);
    for (int k = 0; k < 4; ++k)
        f.push_back(any(rng));
    std::erase_if(f, [&](int32_t b) { return b < 0 || b > top + 2; });
    return f;
}

// Computes the values of one sequence (line, pair_step, n) with the fast
// kernels and returns them finished as the kernel would, for each frequency
// asked for; power sums go to `spectra`. With `whole`, one task covers
// frequencies 0 .. n/2; otherwise each frequency is computed in a short run
// of its own that puts it into a different lane.
std::vector<double> fast_values(const ProfileSet& lines, KernelMode mode, SpectraState& spectra, int32_t line,
                                int32_t pair_step, int32_t n, const std::vector<int32_t>& freqs, SpectrumIsa isa,
                                int workers, bool whole)
{
    SequenceBlock block(mode.autocorr, n, 1);
    LineSequence x;
    x.first = lines.line[line];
    if (pair_step != 0)
        x.second = lines.line[line + pair_step];
    block.load(0, x);
    std::vector<double> all;
    if (whole) {
        all.resize(static_cast<size_t>(n / 2 + 1));
        const SpectrumTask task{&block, 1, 0, n / 2 + 1, all.data()};
        compute_spectrum_tasks(&task, 1, workers, isa);
    }
    std::vector<double> out;
    for (int32_t b : freqs) {
        double r = 0.0;
        if (b <= n / 2 && whole) {
            r = all[static_cast<size_t>(b)];
        } else if (b <= n / 2) {
            const int32_t first = std::max(0, b - b % 3);
            const int32_t count = std::min(n / 2 - first + 1, 4);
            std::vector<double> raw(static_cast<size_t>(count));
            const SpectrumTask task{&block, 1, first, count, raw.data()};
            compute_spectrum_tasks(&task, 1, workers, isa);
            r = raw[static_cast<size_t>(b - first)];
        }
        out.push_back(finish_kernel_value(mode, spectra, r, line, pair_step, n, b));
    }
    return out;
}

struct LengthCase {
    bool autocorr;
    bool ft_coef;
    int32_t pair_step;
};

class FastKernelEveryLength : public testing::TestWithParam<LengthCase> {};

// Every sequence length the modes use: planes 1 .. 1024 (pair_step 0; -F
// planes and green lines of lines 4..7 are the same code), green 2 .. 2048
// (pair_step 2), and single lines up to 2048 values for good measure.
TEST_P(FastKernelEveryLength, MatchesTheLiteralKernelBitForBit)
{
    const LengthCase& c = GetParam();
    const KernelMode mode{c.autocorr, c.ft_coef};
    std::mt19937 rng(1234u + (c.autocorr ? 1u : 0u) + (c.ft_coef ? 2u : 0u) + static_cast<unsigned>(c.pair_step));
    auto lines = std::make_unique<ProfileSet>();
    const int32_t line = c.pair_step != 0 ? 1 : 0;
    const int32_t max_n = c.pair_step != 0 ? 2 * line_capacity : line_capacity;
    const std::vector<SpectrumIsa> isas = isas_here();
    int checked = 0;
    for (int32_t n = c.pair_step != 0 ? 2 : 1; n <= max_n; n += c.pair_step != 0 ? 2 : 1) {
        if (n % 97 == 1 || n < 8)
            fill_lines(*lines, rng, n % 4);
        const bool all = n < 80 || n % 251 == 0 || n == 1000 || n == 1024 || n == 2000 || n == 2048;
        const std::vector<int32_t> freqs = frequencies_for(n, rng, all);

        SpectraState literal_sums;
        std::vector<double> literal;
        for (int32_t b : freqs)
            literal.push_back(SpectrumKernel(*lines, literal_sums, mode, line, c.pair_step, n, b));

        for (size_t k = 0; k < isas.size(); ++k) {
            SpectraState fast_sums;
            const std::vector<double> fast = fast_values(*lines, mode, fast_sums, line, c.pair_step, n, freqs,
                                                         isas[k], n % 50 == 0 ? 2 : 1, all);
            ASSERT_EQ(fast.size(), literal.size());
            for (size_t j = 0; j < freqs.size(); ++j)
                ASSERT_EQ(bits(fast[j]), bits(literal[j]))
                    << "n=" << n << " b=" << freqs[j] << " isa=" << static_cast<int>(isas[k]) << " fast=" << fast[j]
                    << " literal=" << literal[j];
            for (int e = 0; e < 8; ++e)
                ASSERT_EQ(bits(fast_sums.power_sum[e]), bits(literal_sums.power_sum[e])) << "n=" << n;
            for (int e = 0; e < 2; ++e)
                ASSERT_EQ(bits(fast_sums.green_power_sum[e]), bits(literal_sums.green_power_sum[e])) << "n=" << n;
        }
        ++checked;
    }
    EXPECT_GT(checked, 1000);
}

INSTANTIATE_TEST_SUITE_P(AllModes, FastKernelEveryLength,
                         testing::Values(LengthCase{false, false, 0}, LengthCase{false, false, 2},
                                         LengthCase{true, false, 0}, LengthCase{true, false, 2},
                                         LengthCase{false, true, 0}, LengthCase{false, true, 2},
                                         LengthCase{true, true, 0}, LengthCase{true, true, 2}),
                         [](const testing::TestParamInfo<LengthCase>& param) {
                             return std::string(param.param.autocorr ? "Acf" : "Dft") +
                                    (param.param.ft_coef ? "FtCoef" : "Multi") +
                                    (param.param.pair_step != 0 ? "Green" : "Plane");
                         });

// A run of frequencies that starts inside the range, as in tables that do
// not start at 0.
TEST(FastKernel, StartsAtAnyFrequency)
{
    std::mt19937 rng(99);
    auto lines = std::make_unique<ProfileSet>();
    fill_lines(*lines, rng, 1);
    for (bool autocorr : {false, true}) {
        const KernelMode mode{autocorr, false};
        for (int32_t n : {9, 64, 333, 1024}) {
            SequenceBlock block(autocorr, n, 1);
            block.load(0, LineSequence{lines->line[2], nullptr});
            for (int32_t first : {1, 3, 5, n / 2 - 4, n / 2}) {
                const int32_t count = n / 2 - first + 1;
                for (SpectrumIsa isa : isas_here()) {
                    std::vector<double> raw(static_cast<size_t>(count));
                    const SpectrumTask task{&block, 1, first, count, raw.data()};
                    compute_spectrum_tasks(&task, 1, 2, isa);
                    SpectraState sums;
                    for (int32_t j = 0; j < count; ++j)
                        ASSERT_EQ(bits(finish_kernel_value(mode, sums, raw[static_cast<size_t>(j)], 2, 0, n, first + j)),
                                  bits(SpectrumKernel(*lines, sums, mode, 2, 0, n, first + j)))
                            << "n=" << n << " first=" << first << " b=" << first + j;
                }
            }
        }
    }
}

// Many sequences in one task: each is computed in a group with others (and
// filler lanes); no value may depend on its neighbours.
TEST(FastKernel, SequencesInGroupsDoNotInfluenceEachOther)
{
    std::mt19937 rng(7);
    constexpr int32_t n = 200;
    constexpr int32_t sequences = 13;  // not a multiple of any group size
    for (bool autocorr : {false, true}) {
        auto lines = std::make_unique<ProfileSet>();
        SequenceBlock block(autocorr, n, sequences);
        std::vector<std::vector<int32_t>> stored;
        for (int32_t s = 0; s < sequences; ++s) {
            fill_lines(*lines, rng, s % 4);
            block.load(s, LineSequence{lines->line[3], nullptr});
            stored.emplace_back(lines->line[3], lines->line[3] + n);
        }
        for (SpectrumIsa isa : isas_here()) {
            std::vector<double> raw(static_cast<size_t>(sequences) * (n / 2 + 1));
            const SpectrumTask task{&block, sequences, 0, n / 2 + 1, raw.data()};
            compute_spectrum_tasks(&task, 1, 2, isa);
            for (int32_t s = 0; s < sequences; ++s) {
                std::copy(stored[static_cast<size_t>(s)].begin(), stored[static_cast<size_t>(s)].end(),
                          lines->line[3]);
                SpectraState sums;
                const KernelMode mode{autocorr, false};
                for (int32_t b = 0; b <= n / 2; ++b) {
                    const double fast = finish_kernel_value(
                        mode, sums, raw[static_cast<size_t>(s) * (n / 2 + 1) + static_cast<size_t>(b)], 3, 0, n, b);
                    ASSERT_EQ(bits(fast), bits(SpectrumKernel(*lines, sums, mode, 3, 0, n, b)))
                        << "sequence " << s << " b=" << b;
                }
            }
        }
    }
}

// The batch against accumulate_line_spectra pair by pair: the averaging
// stores must hold the same floats, over more pairs than one batch holds.
struct BatchCase {
    bool autocorr;
    int32_t length;
    int32_t span;  // 0: the full span, length / 2
    int32_t pairs;
};

class FastBatch : public testing::TestWithParam<BatchCase> {};

TEST_P(FastBatch, AddsWhatThePlainStepAdds)
{
    const BatchCase& c = GetParam();
    const int32_t span = c.span == 0 ? c.length / 2 : c.span;
    const KernelMode mode{c.autocorr, false};
    std::mt19937 rng(static_cast<unsigned>(c.length * 31 + span));
    for (SpectrumIsa isa : isas_here()) {
        auto literal_lines = std::make_unique<ProfileSet>();
        auto literal = std::make_unique<SpectraState>();
        auto fast = std::make_unique<SpectraState>();
        LineSpectraBatch batch(mode, c.length, span, 2, isa);
        for (int32_t p = 0; p < c.pairs; ++p) {
            fill_lines(*literal_lines, rng, p % 3);
            int32_t(*lines)[line_capacity] = batch.next_pair();
            for (int k = 0; k < 4; ++k)
                std::copy(literal_lines->line[k], literal_lines->line[k] + line_capacity, lines[k]);
            // accumulate_line_spectra's own loop, one pair at a time.
            const int32_t half = c.length / 2;
            for (int32_t f = half - span; f <= half; f += 2) {
                const int32_t k = f / 2;
                for (int32_t plane = 0; plane < 4; ++plane)
                    literal->coef_sums[plane][k] +=
                        static_cast<float>(SpectrumKernel(*literal_lines, *literal, mode, plane, 0, half, k));
                literal->coef_sums[4][k] +=
                    static_cast<float>(SpectrumKernel(*literal_lines, *literal, mode, 1, 2, c.length, f));
                literal->coef_sums[5][k] +=
                    static_cast<float>(SpectrumKernel(*literal_lines, *literal, mode, 1, 2, c.length, f + 1));
            }
            if (batch.full())
                batch.flush(*fast);
        }
        batch.flush(*fast);
        for (int a = 0; a < 6; ++a)
            for (int k = 0; k < coef_entries; ++k)
                ASSERT_EQ(bits(fast->coef_sums[a][k]), bits(literal->coef_sums[a][k]))
                    << "store " << a << " entry " << k << " isa " << static_cast<int>(isa);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, FastBatch,
    testing::Values(BatchCase{false, 4, 0, 3}, BatchCase{true, 4, 0, 3}, BatchCase{false, 6, 0, 40},
                    BatchCase{true, 10, 0, 40}, BatchCase{false, 10, 4, 70}, BatchCase{true, 14, 5, 33},
                    BatchCase{false, 62, 0, 65}, BatchCase{true, 62, 0, 65}, BatchCase{false, 200, 7, 40},
                    BatchCase{false, 202, 0, 33}, BatchCase{true, 202, 0, 33}, BatchCase{false, 1000, 0, 3},
                    BatchCase{true, 1998, 0, 2}, BatchCase{false, 2046, 0, 2}, BatchCase{false, 2048, 0, 2},
                    BatchCase{true, 2048, 0, 2}, BatchCase{false, 2048, 5, 34}, BatchCase{true, 2048, 8, 34}));

// The batch keeps the last pair's lines for the line store.
TEST(FastBatch, RemembersTheLastPair)
{
    LineSpectraBatch batch(KernelMode{}, 8, 4, 1);
    SpectraState sums;
    for (int32_t p = 0; p < LineSpectraBatch::capacity + 3; ++p) {
        int32_t(*lines)[line_capacity] = batch.next_pair();
        for (int k = 0; k < 4; ++k)
            for (int i = 0; i < 4; ++i)
                lines[k][i] = 100 * p + 10 * k + i;
        if (batch.full())
            batch.flush(sums);
    }
    batch.flush(sums);
    const int32_t last = LineSpectraBatch::capacity + 2;
    EXPECT_EQ(batch.last_pair()[2][3], 100 * last + 23);
    EXPECT_EQ(batch.pending(), 0);
}

}  // namespace
