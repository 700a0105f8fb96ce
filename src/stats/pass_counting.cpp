// The counting form of the sample pass: each worker counts its rows' samples
// of image 1 at their DN and adds up the two-image sums as whole numbers;
// image 1's sums, extremes, clipping counts and histogram then follow from the
// counts, in an order that cannot change a bit.
#include <algorithm>
#include <memory>
#include <vector>

#include "input/image_file.h"
#include "stats/parallel_work.h"
#include "stats/pass_rows.h"
#include "stats/sample_pass.h"

namespace {

// Doubles hold every whole number up to 2^53 exactly. While a running sum of
// whole numbers stays within that, adding the terms one by one in double
// precision gives exactly the whole-number sum, whatever the order.
constexpr uint64_t exact_double_limit = uint64_t{1} << 53;

// Image 1's sums and counts, from how often each DN occurs.
struct ImageOneSums {
    uint64_t sum_dn[3] = {};  // sum of DN
    uint64_t sum_sq[3] = {};  // sum of DN x DN
    uint32_t min_dn[3] = {min_dn_start, min_dn_start, min_dn_start};
    uint32_t max_dn[3] = {};
    int64_t zeros = 0;      // green DNs equal to 0
    int64_t saturated = 0;  // green DNs above saturation
};

// The sum of d x d of one colour added sample by sample in file order, in
// double precision: the definition itself, for totals beyond 2^53.
double ordered_square_sum(const PassRequest& request, StatColour colour, ReadOutcome& read)
{
    const WindowSpec& w = request.window;
    const RawImageInfo& info = request.info;
    const bool two = request.image[1] != nullptr;
    std::vector<uint16_t> row1(static_cast<size_t>(w.W));
    std::vector<uint16_t> row2(static_cast<size_t>(w.W), 0);
    std::vector<uint8_t> scratch;
    double sum = 0.0;
    for (int64_t r = 0; r < w.H; ++r) {
        const int64_t image_row = w.Y + r;
        if (!read_sample_rows(*request.image[0], sample_offset(info.data_offset[0], info.row_stride, w.X, image_row),
                              info.row_stride, w.W, 1, info.big_endian, row1.data(), scratch))
            read.fail(0);
        if (two &&
            !read_sample_rows(*request.image[1], sample_offset(info.data_offset[1], info.row_stride, w.X2, w.Y2 + r),
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

double square_sum(const PassRequest& request, StatColour colour, uint64_t exact, ReadOutcome& read)
{
    if (exact <= exact_double_limit)
        return static_cast<double>(exact);
    return ordered_square_sum(request, colour, read);
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
    total.dn_count.resize(4 * dn_values);
}

// Image 1's sums, extremes, clipping counts and histogram from the counts.
ImageOneSums sums_from_counts(const PassRequest& request, const std::vector<uint32_t>& counts,
                              HistogramCounts& histogram)
{
    ImageOneSums sums;
    const uint32_t saturation = static_cast<uint32_t>(request.info.saturation_level);
    for (int plane = 0; plane < 4; ++plane) {
        const StatColour colour = colour_of(static_cast<CfaChannel>(plane));
        const bool green = plane == G1 || plane == G2;
        const uint32_t* count = counts.data() + static_cast<size_t>(plane) * dn_values;
        for (uint32_t dn = 0; dn < dn_values; ++dn) {
            const uint32_t n = count[dn];
            if (n == 0)
                continue;
            sums.sum_dn[colour] += uint64_t{dn} * n;
            sums.sum_sq[colour] += uint64_t{dn} * dn * n;
            sums.min_dn[colour] = std::min(sums.min_dn[colour], dn);
            sums.max_dn[colour] = std::max(sums.max_dn[colour], dn);
            if (green && dn == 0)
                sums.zeros += n;
            if (green && dn > saturation)
                sums.saturated += n;
            if (request.histogram)
                histogram_add(*request.histogram, histogram, static_cast<CfaChannel>(plane), dn, n);
        }
    }
    return sums;
}

// The channel sums, histogram and profiles from the merged part.
void store_results(const PassRequest& request, PassPart& total, PassResult& result)
{
    const bool two = request.image[1] != nullptr;
    ChannelStats& st = result.stats;
    const ImageOneSums one = sums_from_counts(request, total.dn_count, result.histogram);
    st.zero_count = static_cast<int32_t>(one.zeros);
    st.sat_count = static_cast<int32_t>(one.saturated);
    for (int c = 0; c < 3; ++c) {
        const StatColour colour = static_cast<StatColour>(c);
        if (two) {
            st.sum_diff[c] = static_cast<double>(total.sum_d[c]);
            st.sum_sq[c] = square_sum(request, colour, total.sum_sq[c], result.read);
            st.sum_pair[c] = static_cast<double>(one.sum_dn[c] + total.sum_dn2[c]);
        } else {
            st.sum_diff[c] = static_cast<double>(one.sum_dn[c]);
            st.sum_sq[c] = square_sum(request, colour, one.sum_sq[c], result.read);
            st.min_dn[c] = one.min_dn[c];
            st.max_dn[c] = one.max_dn[c];
        }
    }
    if (!total.profile.empty())
        std::copy(total.profile.begin(), total.profile.end(), &result.profiles.line[0][0]);
    result.dn_counts = std::move(total.dn_count);
}

PassShape pass_shape(const PassRequest& request)
{
    PassShape shape{};
    shape.request = &request;
    shape.two = request.image[1] != nullptr;
    shape.per_column = request.per_column;
    shape.per_row = request.per_row;
    shape.pairs = request.window.W / 2;
    shape.avx2 = have_avx2();
    return shape;
}

// The parts of the window's rows, one per worker (whole row pairs each), or
// one part in row order when the row pairs are handed on.
std::vector<std::unique_ptr<PassPart>> count_parts(const PassShape& shape, RowPairLines* row_pairs)
{
    const WindowSpec& w = shape.request->window;
    std::vector<std::unique_ptr<PassPart>> parts;
    if (row_pairs != nullptr) {
        parts.push_back(std::make_unique<PassPart>(shape));
        pass_rows(shape, 0, w.H, *parts[0], row_pairs);
        return parts;
    }
    const int64_t row_pairs_in_window = w.H / 2;
    const int workers = static_cast<int>(std::min<int64_t>(worker_count(), std::max<int64_t>(row_pairs_in_window, 1)));
    for (int k = 0; k < workers; ++k)
        parts.push_back(std::make_unique<PassPart>(shape));
    run_workers(workers, [&](int k) {
        const int64_t first = 2 * (row_pairs_in_window * k / workers);
        const int64_t last = 2 * (row_pairs_in_window * (k + 1) / workers);
        pass_rows(shape, first, last, *parts[static_cast<size_t>(k)], nullptr);
    });
    return parts;
}

}  // namespace

void counting_sample_pass(const PassRequest& request, RowPairLines* row_pairs, PassResult& result)
{
    const WindowSpec& w = request.window;
    if (w.W <= 0 || w.H <= 0)
        return;
    const PassShape shape = pass_shape(request);
    std::vector<std::unique_ptr<PassPart>> parts = count_parts(shape, row_pairs);
    merge_parts(parts);
    result.read = parts[0]->read;
    if (!result.read.ok())
        return;
    store_results(request, *parts[0], result);
}

ReadOutcome count_window_values(const PassRequest& request, std::vector<uint32_t>& counts)
{
    PassRequest image_one = request;
    image_one.image[1] = nullptr;
    image_one.per_column = image_one.per_row = false;
    const PassShape shape = pass_shape(image_one);
    std::vector<std::unique_ptr<PassPart>> parts = count_parts(shape, nullptr);
    merge_parts(parts);
    counts = std::move(parts[0]->dn_count);
    return parts[0]->read;
}
