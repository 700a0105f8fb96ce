#include "stats/sample_pass.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "run/run_state.h"
#include "spectra/fast_spectrum.h"
#include "spectra/parallel_work.h"
#include "spectra/row_spectra.h"
#include "stats/cfa.h"
#include "stats/window_reader.h"

namespace {

// Every value a 16-bit sample can take.
constexpr size_t dn_values = 65536;

// Doubles hold every whole number up to 2^53 exactly. While a running sum of
// whole numbers stays within that, adding the terms one by one in double
// precision gives exactly the whole-number sum, whatever the order.
constexpr uint64_t exact_double_limit = uint64_t{1} << 53;

// Copies of the counters that single samples are added to, used by turns
// along a row: a run of equal values (common in dark frames) then adds to
// different counters, which the processor can update without waiting.
constexpr size_t count_copies = 2;

// Bytes of one image read per request by each worker.
constexpr int64_t chunk_bytes = int64_t{1} << 17;

// Lane j of the two-image row sums takes the window columns k = j (mod
// sum_lanes), so even lanes hold the even columns. A row has at most 16382
// samples, so a lane adds at most 1024 values: sums of |d| and of DNs stay
// below 2^27 in 32 bits; d x d (< 2^32, exact in unsigned 32-bit arithmetic)
// is summed in 64 bits.
constexpr int sum_lanes = 16;

// What the pass computes, the same for every row.
struct PassShape {
    const RunState* run;
    bool two;
    bool per_column;
    bool per_row;
    bool multi_rows;
    bool row_steps;
    int64_t pairs;  // W / 2
    bool avx2;      // the processor runs the AVX2 loops
    bool hist;      // the histogram is counted
    uint32_t saturation;  // a green DN above this is saturated
};

// The sums of one worker's rows. They are whole numbers, so the parts of all
// workers add up to the same totals in any order. Image 1's own sums, its
// extremes, clipping counts and histogram follow from how often each DN
// occurs in each plane: the pass counts every sample at its DN.
struct PassPart {
    std::vector<uint32_t> dn_count;    // image 1: [copy][plane][DN]
    // Image 1, from the counts once all parts are merged:
    uint64_t sum_dn1[3] = {};          // sum of DN
    uint64_t sum_sq1[3] = {};          // sum of DN x DN
    uint32_t min_dn1[3] = {min_dn_start, min_dn_start, min_dn_start};
    uint32_t max_dn1[3] = {};
    int64_t zeros = 0;                 // green DNs equal to 0
    int64_t saturated = 0;             // green DNs above saturation
    int64_t sum_d[3] = {};             // two images: sum of d
    uint64_t sum_sq[3] = {};           // two images: sum of d x d
    uint64_t sum_dn2[3] = {};          // two images: sum of image 2's DN
    std::vector<int32_t> profile;      // [line][entry] when a profile is on
    ReadOutcome read;                  // the rows this part could not read

    explicit PassPart(const PassShape& shape) : dn_count(count_copies * 4 * dn_values, 0)
    {
        if (shape.per_column || shape.per_row)
            profile.assign(8 * static_cast<size_t>(line_capacity), 0);
    }
    int32_t* col_sums(int plane) { return profile.data() + plane * line_capacity; }
    int32_t* row_sums(int plane) { return profile.data() + (4 + plane) * line_capacity; }
};

// Sample k of a run as stored in the file, as a number.
template <bool Swap>
inline uint32_t dn_at(const uint16_t* run, int64_t k)
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
[[gnu::always_inline]] inline void two_image_sums(const uint16_t* a, const uint16_t* b, int64_t count,
                                                  RowSums& out)
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

template <bool Swap>
void two_image_sums_portable(const uint16_t* a, const uint16_t* b, int64_t count, RowSums& out)
{
    two_image_sums<Swap>(a, b, count, out);
}

#if defined(__x86_64__) || defined(__i386__)
template <bool Swap>
[[gnu::target("avx2")]] void two_image_sums_avx2(const uint16_t* a, const uint16_t* b, int64_t count, RowSums& out)
{
    two_image_sums<Swap>(a, b, count, out);
}

bool have_avx2()
{
    return __builtin_cpu_supports("avx2");
}
#else
template <bool Swap>
void two_image_sums_avx2(const uint16_t* a, const uint16_t* b, int64_t count, RowSums& out)
{
    two_image_sums<Swap>(a, b, count, out);
}

bool have_avx2()
{
    return false;
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
void pass_row(const PassShape& shape, const uint16_t* a, const uint16_t* b, CfaChannel even, CfaChannel odd,
              int64_t p, PassPart& part, int32_t (*lines)[line_capacity])
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
            lines[even][i] = d_at(2 * i);
            lines[odd][i] = d_at(2 * i + 1);
        }
    }
}

// Rows [first, last) of the window, read in chunks. In multi-line mode the
// lines of each row pair go to the batch (and its spectra are added as it
// fills), or, without row steps, to `own_lines`.
void pass_rows(const PassShape& shape, int64_t first, int64_t last, PassPart& part, LineSpectraBatch* batch,
               int32_t (*own_lines)[line_capacity], SpectraState* spectra)
{
    const RunState& run = *shape.run;
    const WindowSpec& w = run.window;
    const RawImageInfo& info = run.info;
    const int64_t chunk_rows = std::max<int64_t>(1, chunk_bytes / (2 * w.W));
    std::vector<uint16_t> image1(static_cast<size_t>(chunk_rows * w.W));
    std::vector<uint16_t> image2(shape.two ? image1.size() : 0);
    std::vector<uint8_t> scratch;
    int32_t(*lines)[line_capacity] = nullptr;
    const bool swap = samples_need_swap(info.big_endian);

    for (int64_t r0 = first; r0 < last; r0 += chunk_rows) {
        const int64_t rows = std::min(chunk_rows, last - r0);
        if (!read_raw_sample_rows(run.images[0], sample_offset(info.data_offset[0], info.row_stride, w.X, w.Y + r0),
                                  info.row_stride, w.W, rows, image1.data(), scratch))
            part.read.fail(0);
        if (shape.two &&
            !read_raw_sample_rows(run.images[1], sample_offset(info.data_offset[1], info.row_stride, w.X2, w.Y2 + r0),
                                  info.row_stride, w.W, rows, image2.data(), scratch))
            part.read.fail(1);
        if (!part.read.ok())
            return;
        for (int64_t k = 0; k < rows; ++k) {
            const int64_t r = r0 + k;
            const int64_t image_row = w.Y + r;
            if (shape.multi_rows && (r & 1) == 0)
                lines = batch != nullptr ? batch->next_pair() : own_lines;
            const uint16_t* a = image1.data() + k * w.W;
            const uint16_t* b = shape.two ? image2.data() + k * w.W : nullptr;
            const CfaChannel even = channel_at(image_row, w.X);
            const CfaChannel odd = channel_at(image_row, w.X + 1);
            int32_t(*row_lines)[line_capacity] = shape.multi_rows ? lines : nullptr;
            if (swap)
                pass_row<true>(shape, a, b, even, odd, r / 2, part, row_lines);
            else
                pass_row<false>(shape, a, b, even, odd, r / 2, part, row_lines);
            if ((r & 1) != 0 && batch != nullptr && batch->full())
                batch->flush(*spectra);
        }
    }
    if (batch != nullptr)
        batch->flush(*spectra);
}

// The sum of d x d of one colour added sample by sample in file order, in
// double precision: the definition itself, for totals beyond 2^53.
double ordered_square_sum(const RunState& run, StatColour colour, ReadOutcome& read)
{
    const WindowSpec& w = run.window;
    const RawImageInfo& info = run.info;
    const bool two = run.settings.two_files;
    std::vector<uint16_t> row1(static_cast<size_t>(w.W));
    std::vector<uint16_t> row2(static_cast<size_t>(w.W), 0);
    std::vector<uint8_t> scratch;
    double sum = 0.0;
    for (int64_t r = 0; r < w.H; ++r) {
        const int64_t image_row = w.Y + r;
        if (!read_sample_rows(run.images[0], sample_offset(info.data_offset[0], info.row_stride, w.X, image_row),
                              info.row_stride, w.W, 1, info.big_endian, row1.data(), scratch))
            read.fail(0);
        if (two && !read_sample_rows(run.images[1], sample_offset(info.data_offset[1], info.row_stride, w.X2, w.Y2 + r),
                                     info.row_stride, w.W, 1, info.big_endian, row2.data(), scratch))
            read.fail(1);
        if (!read.ok())
            return 0.0;
        for (int64_t k = 0; k < w.W; ++k) {
            if (colour_of(channel_at(image_row, w.X + k)) != colour)
                continue;
            const double d =
                static_cast<double>(row1[static_cast<size_t>(k)]) - static_cast<double>(row2[static_cast<size_t>(k)]);
            sum += d * d;
        }
    }
    return sum;
}

double square_sum(const RunState& run, StatColour colour, uint64_t exact, ReadOutcome& read)
{
    if (exact <= exact_double_limit)
        return static_cast<double>(exact);
    return ordered_square_sum(run, colour, read);
}

// Adds the counter copies `from` into the first `size` counters of `into`.
void add_copies(std::vector<uint32_t>& into, const std::vector<uint32_t>& from, size_t size, size_t first_copy)
{
    for (size_t k = first_copy; k * size < from.size(); ++k)
        for (size_t i = 0; i < size; ++i)
            into[i] += from[k * size + i];
}

// Adds up the workers' parts into the first, and the counter copies into
// the first copy.
void merge_parts(std::vector<std::unique_ptr<PassPart>>& parts)
{
    PassPart& total = *parts[0];
    add_copies(total.dn_count, total.dn_count, 4 * dn_values, 1);
    for (size_t w = 1; w < parts.size(); ++w) {
        const PassPart& part = *parts[w];
        add_copies(total.dn_count, part.dn_count, 4 * dn_values, 0);
        for (int c = 0; c < 3; ++c) {
            total.sum_d[c] += part.sum_d[c];
            total.sum_sq[c] += part.sum_sq[c];
            total.sum_dn2[c] += part.sum_dn2[c];
        }
        for (size_t i = 0; i < total.profile.size(); ++i)
            total.profile[i] += part.profile[i];
        total.read.add(part.read);
    }
}

// Image 1's sums, extremes, clipping counts and histogram from how often each
// DN occurs.
void sums_from_counts(RunState& run, const PassShape& shape, PassPart& total)
{
    const uint32_t saturation = shape.saturation;
    for (int plane = 0; plane < 4; ++plane) {
        const StatColour colour = colour_of(static_cast<CfaChannel>(plane));
        const bool green = plane == G1 || plane == G2;
        const uint32_t* count = total.dn_count.data() + static_cast<size_t>(plane) * dn_values;
        for (uint32_t dn = 0; dn < dn_values; ++dn) {
            const uint32_t n = count[dn];
            if (n == 0)
                continue;
            total.sum_dn1[colour] += uint64_t{dn} * n;
            total.sum_sq1[colour] += uint64_t{dn} * dn * n;
            total.min_dn1[colour] = std::min(total.min_dn1[colour], dn);
            total.max_dn1[colour] = std::max(total.max_dn1[colour], dn);
            if (green && dn == 0)
                total.zeros += n;
            if (green && dn > saturation)
                total.saturated += n;
            if (shape.hist)
                histogram_add_many(run.hist, static_cast<CfaChannel>(plane), dn, n);
        }
    }
}

// ChannelStats, the histogram and the profiles from the totals.
void store_results(RunState& run, const PassShape& shape, PassPart& total)
{
    ReadOutcome& read = total.read;
    ChannelStats& st = run.stats;
    sums_from_counts(run, shape, total);
    st.zero_count = static_cast<int32_t>(total.zeros);
    st.sat_count = static_cast<int32_t>(total.saturated);
    for (int c = 0; c < 3; ++c) {
        const StatColour colour = static_cast<StatColour>(c);
        if (shape.two) {
            st.sum_diff[c] = static_cast<double>(total.sum_d[c]);
            st.sum_sq[c] = square_sum(run, colour, total.sum_sq[c], read);
            st.sum_pair[c] = static_cast<double>(total.sum_dn1[c] + total.sum_dn2[c]);
        } else {
            st.sum_diff[c] = static_cast<double>(total.sum_dn1[c]);
            st.sum_sq[c] = square_sum(run, colour, total.sum_sq1[c], read);
            st.min_dn[c] = total.min_dn1[c];
            st.max_dn[c] = total.max_dn1[c];
        }
    }
    if (shape.per_column || shape.per_row) {
        for (int line = 0; line < 8; ++line)
            for (int32_t i = 0; i < line_capacity; ++i)
                run.profiles.line[line][i] += total.profile[static_cast<size_t>(line) * line_capacity + i];
    }
    st.dn_counts = std::move(total.dn_count);
    st.dn_counts.resize(4 * dn_values);
}

PassShape pass_shape(const RunState& run)
{
    const RunSettings& s = run.settings;
    PassShape shape{};
    shape.run = &run;
    shape.two = s.two_files;
    shape.per_column = run.profiles.per_column;
    shape.per_row = run.profiles.per_row;
    shape.multi_rows = s.multi_line && s.row_lines;
    shape.row_steps = shape.multi_rows && run.spectra.span_x > 1;
    shape.pairs = run.window.W / 2;
    shape.avx2 = have_avx2();
    shape.hist = s.hist_enabled;
    shape.saturation = static_cast<uint32_t>(run.info.saturation_level);
    return shape;
}

}  // namespace

ReadOutcome counting_sample_pass(RunState& run)
{
    const RunSettings& s = run.settings;
    const WindowSpec& w = run.window;
    if (w.W <= 0 || w.H <= 0)
        return {};
    const PassShape shape = pass_shape(run);

    std::vector<std::unique_ptr<PassPart>> parts;
    if (shape.multi_rows) {
        // Row pair after row pair: the spectra of each pair are added in
        // order (the batch computes them on all workers).
        parts.push_back(std::make_unique<PassPart>(shape));
        int32_t last_lines[4][line_capacity] = {};
        std::unique_ptr<LineSpectraBatch> batch;
        if (shape.row_steps)
            batch = std::make_unique<LineSpectraBatch>(kernel_mode(s), static_cast<int32_t>(w.W), run.spectra.span_x,
                                                       worker_count());
        pass_rows(shape, 0, w.H, *parts[0], batch.get(), last_lines, &run.spectra);
        // The line store holds the last row pair, as after the plain pass.
        const int32_t(*last)[line_capacity] = last_lines;
        if (batch != nullptr)
            last = batch->last_pair();
        for (int c = 0; c < 4; ++c)
            std::copy(last[c], last[c] + shape.pairs, run.profiles.line[c]);
    } else {
        // Each worker takes an equal share of the rows (whole row pairs).
        const int workers = static_cast<int>(std::min<int64_t>(worker_count(), std::max<int64_t>(w.H / 2, 1)));
        for (int k = 0; k < workers; ++k)
            parts.push_back(std::make_unique<PassPart>(shape));
        const int64_t row_pairs = w.H / 2;
        run_workers(workers, [&](int k) {
            const int64_t first = 2 * (row_pairs * k / workers);
            const int64_t last = 2 * (row_pairs * (k + 1) / workers);
            pass_rows(shape, first, last, *parts[static_cast<size_t>(k)], nullptr, nullptr, nullptr);
        });
    }
    merge_parts(parts);
    if (!parts[0]->read.ok())
        return parts[0]->read;
    store_results(run, shape, *parts[0]);
    return parts[0]->read;
}

ReadOutcome plain_sample_pass(RunState& run)
{
    const RunSettings& s = run.settings;
    const WindowSpec& w = run.window;
    const RawImageInfo& info = run.info;
    ChannelStats& st = run.stats;
    const bool two = s.two_files;
    const bool hist = s.hist_enabled;
    const bool per_column = run.profiles.per_column;
    const bool per_row = run.profiles.per_row;
    const bool multi_rows = s.multi_line && s.row_lines;
    const bool row_steps = multi_rows && run.spectra.span_x > 1;
    const uint32_t saturation = static_cast<uint32_t>(run.info.saturation_level);

    std::vector<uint16_t> row1(static_cast<size_t>(w.W));
    std::vector<uint16_t> row2(static_cast<size_t>(w.W), 0);
    std::vector<uint8_t> scratch;

    for (int64_t r = 0; r < w.H; ++r) {
        const int64_t image_row = w.Y + r;
        ReadOutcome read;
        if (!read_sample_rows(run.images[0], sample_offset(info.data_offset[0], info.row_stride, w.X, image_row),
                              info.row_stride, w.W, 1, info.big_endian, row1.data(), scratch))
            read.fail(0);
        if (two && !read_sample_rows(run.images[1], sample_offset(info.data_offset[1], info.row_stride, w.X2, w.Y2 + r),
                                     info.row_stride, w.W, 1, info.big_endian, row2.data(), scratch))
            read.fail(1);
        if (!read.ok())
            return read;
        const int64_t p = r / 2;
        for (int64_t k = 0; k < w.W; ++k) {
            const CfaChannel c = channel_at(image_row, w.X + k);
            const StatColour colour = colour_of(c);
            const uint32_t dn = row1[static_cast<size_t>(k)];
            const uint32_t dn2 = row2[static_cast<size_t>(k)];
            const int64_t i = k / 2;

            if (c == G1 || c == G2) {
                if (dn == 0)
                    ++st.zero_count;
                if (dn > saturation)
                    ++st.sat_count;
            }
            if (hist)
                histogram_add(run.hist, c, dn);
            if (two) {
                st.sum_pair[colour] += static_cast<double>(dn) + static_cast<double>(dn2);
            } else {
                if (dn < st.min_dn[colour])
                    st.min_dn[colour] = dn;
                if (dn > st.max_dn[colour])
                    st.max_dn[colour] = dn;
            }
            const double d = static_cast<double>(dn) - static_cast<double>(dn2);
            st.sum_diff[colour] += d;
            st.sum_sq[colour] += d * d;
            const int32_t di = static_cast<int32_t>(dn) - static_cast<int32_t>(dn2);
            if (per_column)
                run.profiles.col_sums(c)[i] += di;
            if (per_row)
                run.profiles.row_sums(c)[p] += di;
            if (multi_rows)
                run.profiles.col_sums(c)[i] = di;
        }
        if ((r & 1) != 0 && row_steps)
            row_pair_step(run);
    }
    return {};
}


void reset_channel_stats(ChannelStats& stats, int64_t W, int64_t H)
{
    stats = ChannelStats{};
    // The 32-bit product shifted right by 2: W and H are even and at most 16382.
    stats.n = static_cast<double>(static_cast<int32_t>(W * H) >> 2);
    for (int c = 0; c < 3; ++c) {
        stats.min_dn[c] = min_dn_start;
        stats.max_dn[c] = 0;
    }
}

ReadOutcome sample_pass(RunState& run)
{
    // Below this many samples the fixed cost of the per-value counters and
    // the workers outweighs what they save: the plain pass is quicker.
    constexpr int64_t small_window_samples = int64_t{1} << 16;
    if (run.reference_path || run.window.W * run.window.H < small_window_samples)
        return plain_sample_pass(run);
    return counting_sample_pass(run);
}

ReadOutcome count_window_values(const RunState& run, std::vector<uint32_t>& counts)
{
    PassShape shape{};
    shape.run = &run;
    shape.pairs = run.window.W / 2;
    const int64_t row_pairs = run.window.H / 2;
    const int workers = static_cast<int>(std::min<int64_t>(worker_count(), std::max<int64_t>(row_pairs, 1)));
    std::vector<std::unique_ptr<PassPart>> parts;
    for (int k = 0; k < workers; ++k)
        parts.push_back(std::make_unique<PassPart>(shape));
    run_workers(workers, [&](int k) {
        const int64_t first = 2 * (row_pairs * k / workers);
        const int64_t last = 2 * (row_pairs * (k + 1) / workers);
        pass_rows(shape, first, last, *parts[static_cast<size_t>(k)], nullptr, nullptr, nullptr);
    });
    merge_parts(parts);
    counts = std::move(parts[0]->dn_count);
    counts.resize(4 * dn_values);
    return parts[0]->read;
}

void histogram_add_many(HistogramSet& hist, CfaChannel plane, int64_t dn, uint32_t n)
{
    hist.counts[plane][histogram_index(hist, dn)] += n;
}
