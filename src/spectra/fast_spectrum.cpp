#include "spectra/fast_spectrum.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "stats/parallel_work.h"

namespace {

// Filler entries after the rotation tables and after each doubled
// autocovariance sequence: the widest block of lanes reads this far past the
// last frequency (lag) it reports.
constexpr int32_t lane_filler = 64;

// Vectors of L doubles (GCC vector extensions: element-wise IEEE operations,
// compiled to whatever the function's instruction set offers).
template <int L> struct Vec;
template <> struct Vec<2> {
    typedef double type __attribute__((vector_size(16)));
};
template <> struct Vec<4> {
    typedef double type __attribute__((vector_size(32)));
};
template <> struct Vec<8> {
    typedef double type __attribute__((vector_size(64)));
};

// DFT magnitudes of S sequences at L frequencies in one sweep. Lane j of every
// vector belongs to frequency j and runs the kernel's recurrence: re += v wr,
// im += v wi, then the rotation by (c, s), each product rounded on its own.
// The S sequences share the rotation, which depends on the frequency alone.
template <int L, int S>
[[gnu::always_inline]] inline void dft_sweep(const double* const* seq, int32_t n, const double* cos_at,
                                             const double* sin_at, double* magnitude)
{
    using V = typename Vec<L>::type;
    V c;
    V s;
    std::memcpy(&c, cos_at, sizeof c);
    std::memcpy(&s, sin_at, sizeof s);
    V wr;
    for (int j = 0; j < L; ++j)
        wr[j] = 1.0;
    V wi = {};
    V re[S] = {};
    V im[S] = {};
    const double* x[S];
    for (int k = 0; k < S; ++k)
        x[k] = seq[k];
    for (int32_t i = 0; i < n; ++i) {
#pragma GCC unroll 16
        for (int k = 0; k < S; ++k) {
            const double v = x[k][i];
            re[k] = re[k] + v * wr;
            im[k] = im[k] + v * wi;
        }
        const V next_wr = wr * c - wi * s;
        wi = wr * s + wi * c;  // from the old wr
        wr = next_wr;
    }
    for (int k = 0; k < S; ++k)
        for (int j = 0; j < L; ++j)
            magnitude[k * L + j] = std::sqrt(re[k][j] * re[k][j] + im[k][j] * im[k][j]);
}

// Autocovariances of one centred, doubled sequence y at T x L consecutive
// lags from lag0: lane j of vector t sums y[i] y[i + lag] in index order.
template <int L, int T>
[[gnu::always_inline]] inline void acf_sweep(const double* y, int32_t n, int32_t lag0, double* out)
{
    using V = typename Vec<L>::type;
    V acc[T] = {};
    const double* shifted = y + lag0;
    for (int32_t i = 0; i < n; ++i) {
        const double a = y[i];
#pragma GCC unroll 16
        for (int t = 0; t < T; ++t) {
            V b;
            std::memcpy(&b, shifted + i + t * L, sizeof b);
            acc[t] = acc[t] + a * b;
        }
    }
    const double count = static_cast<double>(n);
    for (int t = 0; t < T; ++t)
        for (int j = 0; j < L; ++j)
            out[t * L + j] = acc[t][j] / count;
}

// Block sizes per instruction set: frequency lanes L, sequences S sharing a
// rotation, lag vectors T per sweep. They only group independent values.
constexpr int portable_lanes = 2;
constexpr int portable_sequences = 4;
constexpr int avx2_lanes = 4;
constexpr int avx2_sequences = 4;
constexpr int avx512_lanes = 8;
constexpr int avx512_sequences = 8;
constexpr int lag_vectors = 8;

void dft_portable(const double* const* seq, int32_t n, const double* c, const double* s, double* out)
{
    dft_sweep<portable_lanes, portable_sequences>(seq, n, c, s, out);
}

void acf_portable(const double* y, int32_t n, int32_t lag0, double* out)
{
    acf_sweep<portable_lanes, lag_vectors>(y, n, lag0, out);
}

#if defined(__x86_64__) || defined(__i386__)
#define RAWSTATS_X86_KERNELS 1

[[gnu::target("avx2")]] void dft_avx2(const double* const* seq, int32_t n, const double* c, const double* s,
                                      double* out)
{
    dft_sweep<avx2_lanes, avx2_sequences>(seq, n, c, s, out);
}

[[gnu::target("avx2")]] void acf_avx2(const double* y, int32_t n, int32_t lag0, double* out)
{
    acf_sweep<avx2_lanes, lag_vectors>(y, n, lag0, out);
}

[[gnu::target("avx512f")]] void dft_avx512(const double* const* seq, int32_t n, const double* c, const double* s,
                                           double* out)
{
    dft_sweep<avx512_lanes, avx512_sequences>(seq, n, c, s, out);
}

[[gnu::target("avx512f")]] void acf_avx512(const double* y, int32_t n, int32_t lag0, double* out)
{
    acf_sweep<avx512_lanes, lag_vectors>(y, n, lag0, out);
}
#endif

using DftSweep = void (*)(const double* const*, int32_t, const double*, const double*, double*);
using AcfSweep = void (*)(const double*, int32_t, int32_t, double*);

struct Kernels {
    DftSweep dft;
    AcfSweep acf;
    int lanes;
    int sequences;
};

SpectrumIsa resolve(SpectrumIsa isa)
{
    if (isa != SpectrumIsa::best)
        return spectrum_isa_available(isa) ? isa : SpectrumIsa::portable;
    if (spectrum_isa_available(SpectrumIsa::avx512))
        return SpectrumIsa::avx512;
    if (spectrum_isa_available(SpectrumIsa::avx2))
        return SpectrumIsa::avx2;
    return SpectrumIsa::portable;
}

Kernels kernels_for(SpectrumIsa isa)
{
    switch (resolve(isa)) {
#ifdef RAWSTATS_X86_KERNELS
    case SpectrumIsa::avx512:
        return {dft_avx512, acf_avx512, avx512_lanes, avx512_sequences};
    case SpectrumIsa::avx2:
        return {dft_avx2, acf_avx2, avx2_lanes, avx2_sequences};
#endif
    default:
        return {dft_portable, acf_portable, portable_lanes, portable_sequences};
    }
}

int32_t ceil_div(int32_t a, int32_t b)
{
    return (a + b - 1) / b;
}

// Work items of one task: DFT, a group of sequences times a block of
// frequency lanes (lanes fastest, so a group stays in cache); autocovariance,
// a sequence times a block of lag vectors.
int32_t items_of(const SpectrumTask& task, const Kernels& k)
{
    if (task.count <= 0 || task.freqs <= 0)
        return 0;
    if (task.block->autocorr())
        return task.count * ceil_div(task.freqs, lag_vectors * k.lanes);
    return ceil_div(task.count, k.sequences) * ceil_div(task.freqs, k.lanes);
}

void run_item(const SpectrumTask& task, const Kernels& k, int32_t item)
{
    const SequenceBlock& block = *task.block;
    const int32_t n = block.length();
    double results[avx512_sequences * lag_vectors * avx512_lanes];
    if (block.autocorr()) {
        const int32_t per_block = lag_vectors * k.lanes;
        const int32_t blocks = ceil_div(task.freqs, per_block);
        const int32_t s = item / blocks;
        const int32_t j0 = (item % blocks) * per_block;
        k.acf(block.values(s), n, task.first + j0, results);
        const int32_t used = std::min(per_block, task.freqs - j0);
        std::copy(results, results + used, task.out + static_cast<size_t>(s) * task.freqs + j0);
        return;
    }
    const int32_t blocks = ceil_div(task.freqs, k.lanes);
    const int32_t s0 = (item / blocks) * k.sequences;
    const int32_t j0 = (item % blocks) * k.lanes;
    const double* seq[avx512_sequences];
    for (int32_t q = 0; q < k.sequences; ++q)
        seq[q] = block.values(s0 + q < task.count ? s0 + q : block.capacity());
    const int32_t f0 = task.first + j0;
    k.dft(seq, n, block.cos_table() + f0, block.sin_table() + f0, results);
    const int32_t used_lanes = std::min(k.lanes, task.freqs - j0);
    const int32_t used_sequences = std::min(k.sequences, task.count - s0);
    for (int32_t q = 0; q < used_sequences; ++q)
        std::copy(results + q * k.lanes, results + q * k.lanes + used_lanes,
                  task.out + static_cast<size_t>(s0 + q) * task.freqs + j0);
}

}  // namespace

bool spectrum_isa_available(SpectrumIsa isa)
{
    switch (isa) {
    case SpectrumIsa::portable:
    case SpectrumIsa::best:
        return true;
#ifdef RAWSTATS_X86_KERNELS
    case SpectrumIsa::avx2:
        return __builtin_cpu_supports("avx2");
    case SpectrumIsa::avx512:
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

SequenceBlock::SequenceBlock(bool autocorr, int32_t length, int32_t capacity)
    : autocorr_(autocorr),
      length_(std::max(length, 1)),
      capacity_(std::max(capacity, 0)),
      stride_(autocorr ? 2 * static_cast<size_t>(length_) + lane_filler : static_cast<size_t>(length_)),
      values_(stride_ * (static_cast<size_t>(capacity_) + 1), 0.0)
{
    if (autocorr_)
        return;
    // Frequencies 0 .. N/2, then filler copies of frequency 0.
    const int32_t top = length_ / 2;
    cos_.assign(static_cast<size_t>(top) + 1 + lane_filler, 1.0);
    sin_.assign(cos_.size(), 0.0);
    for (int32_t b = 0; b <= top; ++b)
        rotation_step(length_, b, cos_[static_cast<size_t>(b)], sin_[static_cast<size_t>(b)]);
}

void SequenceBlock::load(int32_t index, const LineSequence& x)
{
    double* out = values_.data() + static_cast<size_t>(index) * stride_;
    const int32_t n = length_;
    if (!autocorr_) {
        for (int32_t i = 0; i < n; ++i)
            out[i] = static_cast<double>(x[i]);
        return;
    }
    // As the kernel: the exact sum divided by N, then x[i] - mean.
    int64_t total = 0;
    for (int32_t i = 0; i < n; ++i)
        total += x[i];
    const double mean = static_cast<double>(total) / static_cast<double>(n);
    for (int32_t i = 0; i < n; ++i)
        out[i] = static_cast<double>(x[i]) - mean;
    std::copy(out, out + n, out + n);
}

void compute_spectrum_tasks(const SpectrumTask* tasks, int task_count, int workers, SpectrumIsa isa)
{
    const Kernels k = kernels_for(isa);
    std::vector<int32_t> first_item(static_cast<size_t>(task_count) + 1, 0);
    for (int t = 0; t < task_count; ++t)
        first_item[static_cast<size_t>(t) + 1] = first_item[static_cast<size_t>(t)] + items_of(tasks[t], k);
    const int32_t items = first_item.back();
    for_each_item(items, workers, [&](int item) {
        const auto after = std::upper_bound(first_item.begin(), first_item.end(), item);
        const size_t t = static_cast<size_t>(after - first_item.begin()) - 1;
        run_item(tasks[t], k, item - first_item[t]);
    });
}
