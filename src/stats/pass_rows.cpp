#include "stats/pass_rows.h"

#include <algorithm>

#include "stats/row_pair_lines.h"

namespace {

// Bytes of one image read per request by each worker.
constexpr int64_t chunk_bytes = int64_t{1} << 17;

// Lane j of the two-image row sums takes the window columns k = j (mod
// sum_lanes), so even lanes hold the even columns. A row has at most 16382
// samples, so a lane adds at most 1024 values: sums of |d| and of DNs stay
// below 2^27 in 32 bits; d x d (< 2^32, exact in unsigned 32-bit arithmetic)
// is summed in 64 bits.
constexpr int sum_lanes = 16;

// Sample k of a run as stored in the file, as a number.
template <bool Swap> inline uint32_t dn_at(const uint16_t* run, int64_t k)
{
    return Swap ? swapped_sample(run[k]) : run[k];
}

// Sums of one row of two images by column parity (index 0: even window
// columns): d = DN1 - DN2, d x d and DN2.
struct RowSums {
    int64_t d[2] = {};
    uint64_t sq_d[2] = {};
    uint64_t dn2[2] = {};
};

template <bool Swap>
[[gnu::always_inline]] inline void two_image_sums(const uint16_t* a, const uint16_t* b, int64_t count, RowSums& out)
{
    int32_t d[sum_lanes] = {};
    uint32_t dn2[sum_lanes] = {};
    uint64_t sq[sum_lanes] = {};
    auto add = [&](int j, int64_t k) {
        const uint32_t x = dn_at<Swap>(a, k);
        const uint32_t y = dn_at<Swap>(b, k);
        const int32_t diff = static_cast<int32_t>(x) - static_cast<int32_t>(y);
        const uint32_t u = static_cast<uint32_t>(diff);
        d[j] += diff;
        dn2[j] += y;
        sq[j] += u * u;
    };
    int64_t k = 0;
    for (; k + sum_lanes <= count; k += sum_lanes)
        for (int j = 0; j < sum_lanes; ++j)
            add(j, k + j);
    for (int j = 0; k < count; ++j, ++k)
        add(j, k);
    for (int j = 0; j < sum_lanes; ++j) {
        out.d[j & 1] += d[j];
        out.dn2[j & 1] += dn2[j];
        out.sq_d[j & 1] += sq[j];
    }
}

template <bool Swap> void two_image_sums_portable(const uint16_t* a, const uint16_t* b, int64_t count, RowSums& out)
{
    two_image_sums<Swap>(a, b, count, out);
}

#if defined(__x86_64__) || defined(__i386__)
template <bool Swap>
[[gnu::target("avx2")]] void two_image_sums_avx2(const uint16_t* a, const uint16_t* b, int64_t count, RowSums& out)
{
    two_image_sums<Swap>(a, b, count, out);
}

#else
template <bool Swap> void two_image_sums_avx2(const uint16_t* a, const uint16_t* b, int64_t count, RowSums& out)
{
    two_image_sums<Swap>(a, b, count, out);
}

#endif

// Counts each sample of a row at its DN, in the counters of its plane (the
// copies by turns).
template <bool Swap>
inline void scatter_row(const uint16_t* a, int64_t pairs, uint32_t* even_0, uint32_t* odd_0, uint32_t* even_1,
                        uint32_t* odd_1)
{
    int64_t i = 0;
    for (; i + 1 < pairs; i += 2) {
        ++even_0[dn_at<Swap>(a, 2 * i)];
        ++odd_0[dn_at<Swap>(a, 2 * i + 1)];
        ++even_1[dn_at<Swap>(a, 2 * i + 2)];
        ++odd_1[dn_at<Swap>(a, 2 * i + 3)];
    }
    if (i < pairs) {
        ++even_0[dn_at<Swap>(a, 2 * i)];
        ++odd_0[dn_at<Swap>(a, 2 * i + 1)];
    }
}

// The per-sample work of one window row: planes `even` and `odd` at the
// row's even and odd window columns, row pair p. The samples are in the
// file's byte order (Swap: not the machine's).
template <bool Swap>
void pass_row(const PassShape& shape, const uint16_t* a, const uint16_t* b, CfaChannel even, CfaChannel odd, int64_t p,
              PassPart& part, PairLines* lines)
{
    const int64_t pairs = shape.pairs;
    const int64_t count = 2 * pairs;
    const StatColour colour[2] = {colour_of(even), colour_of(odd)};
    uint32_t* even_0 = part.dn_count.data() + static_cast<size_t>(even) * dn_values;
    uint32_t* odd_0 = part.dn_count.data() + static_cast<size_t>(odd) * dn_values;
    constexpr size_t copy = 4 * dn_values;
    scatter_row<Swap>(a, pairs, even_0, odd_0, even_0 + copy, odd_0 + copy);
    if (shape.two) {
        RowSums sums;
        if (shape.avx2)
            two_image_sums_avx2<Swap>(a, b, count, sums);
        else
            two_image_sums_portable<Swap>(a, b, count, sums);
        for (int parity = 0; parity < 2; ++parity) {
            part.sum_d[colour[parity]] += sums.d[parity];
            part.sum_sq[colour[parity]] += sums.sq_d[parity];
            part.sum_dn2[colour[parity]] += sums.dn2[parity];
        }
    }

    if (!shape.per_column && !shape.per_row && lines == nullptr)
        return;
    // d of the sample at window column k as a 32-bit integer.
    auto d_at = [&](int64_t k) {
        return static_cast<int32_t>(dn_at<Swap>(a, k)) - (b != nullptr ? static_cast<int32_t>(dn_at<Swap>(b, k)) : 0);
    };
    if (shape.per_column) {
        int32_t* col_even = part.col_sums(even);
        int32_t* col_odd = part.col_sums(odd);
        for (int64_t i = 0; i < pairs; ++i) {
            col_even[i] += d_at(2 * i);
            col_odd[i] += d_at(2 * i + 1);
        }
    }
    if (shape.per_row) {
        int64_t row_even = 0;
        int64_t row_odd = 0;
        for (int64_t i = 0; i < pairs; ++i) {
            row_even += d_at(2 * i);
            row_odd += d_at(2 * i + 1);
        }
        part.row_sums(even)[p] += static_cast<int32_t>(row_even);
        part.row_sums(odd)[p] += static_cast<int32_t>(row_odd);
    }
    if (lines != nullptr) {
        for (int64_t i = 0; i < pairs; ++i) {
            (*lines)[even][i] = d_at(2 * i);
            (*lines)[odd][i] = d_at(2 * i + 1);
        }
    }
}

}  // namespace

bool have_avx2()
{
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

void pass_rows(const PassShape& shape, int64_t first, int64_t last, PassPart& part, RowPairLines* row_pairs)
{
    const PassRequest& request = *shape.request;
    const WindowSpec& w = request.window;
    const RawImageInfo& info = request.info;
    const int64_t chunk_rows = std::max<int64_t>(1, chunk_bytes / (2 * w.W));
    std::vector<uint16_t> image1(static_cast<size_t>(chunk_rows * w.W));
    std::vector<uint16_t> image2(shape.two ? image1.size() : 0);
    std::vector<uint8_t> scratch;
    PairLines* lines = nullptr;
    const bool swap = samples_need_swap(info.big_endian);

    for (int64_t r0 = first; r0 < last; r0 += chunk_rows) {
        const int64_t rows = std::min(chunk_rows, last - r0);
        if (!read_raw_sample_rows(*request.image[0], sample_offset(info.data_offset[0], info.row_stride, w.X, w.Y + r0),
                                  info.row_stride, w.W, rows, image1.data(), scratch))
            part.read.fail(0);
        if (shape.two && !read_raw_sample_rows(*request.image[1],
                                               sample_offset(info.data_offset[1], info.row_stride, w.X2, w.Y2 + r0),
                                               info.row_stride, w.W, rows, image2.data(), scratch))
            part.read.fail(1);
        if (!part.read.ok())
            return;
        for (int64_t k = 0; k < rows; ++k) {
            const int64_t r = r0 + k;
            const int64_t image_row = w.Y + r;
            if (row_pairs != nullptr && (r & 1) == 0)
                lines = &row_pairs->next_pair();
            const uint16_t* a = image1.data() + k * w.W;
            const uint16_t* b = shape.two ? image2.data() + k * w.W : nullptr;
            const CfaChannel even = channel_at(image_row, w.X);
            const CfaChannel odd = channel_at(image_row, w.X + 1);
            if (swap)
                pass_row<true>(shape, a, b, even, odd, r / 2, part, lines);
            else
                pass_row<false>(shape, a, b, even, odd, r / 2, part, lines);
            if (row_pairs != nullptr && (r & 1) != 0)
                row_pairs->pair_done();
        }
    }
}
