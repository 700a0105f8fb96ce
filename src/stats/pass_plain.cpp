// The plain form of the sample pass, sample by sample in file order, and the
// choice between the two forms.
#include <vector>

#include "input/image_file.h"
#include "stats/row_pair_lines.h"
#include "stats/sample_pass.h"

void plain_sample_pass(const PassRequest& request, RowPairLines* row_pairs, PassResult& result)
{
    const WindowSpec& w = request.window;
    const RawImageInfo& info = request.info;
    ChannelStats& st = result.stats;
    ProfileSet& profiles = result.profiles;
    const bool two = request.image[1] != nullptr;
    const uint32_t saturation = static_cast<uint32_t>(info.saturation_level);

    std::vector<uint16_t> row1(static_cast<size_t>(w.W));
    std::vector<uint16_t> row2(static_cast<size_t>(w.W), 0);
    std::vector<uint8_t> scratch;
    PairLines* lines = nullptr;

    for (int64_t r = 0; r < w.H; ++r) {
        const int64_t image_row = w.Y + r;
        if (!read_sample_rows(*request.image[0], sample_offset(info.data_offset[0], info.row_stride, w.X, image_row),
                              info.row_stride, w.W, 1, info.big_endian, row1.data(), scratch))
            result.read.fail(0);
        if (two &&
            !read_sample_rows(*request.image[1], sample_offset(info.data_offset[1], info.row_stride, w.X2, w.Y2 + r),
                              info.row_stride, w.W, 1, info.big_endian, row2.data(), scratch))
            result.read.fail(1);
        if (!result.read.ok())
            return;
        if (row_pairs != nullptr && (r & 1) == 0)
            lines = &row_pairs->next_pair();
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
            if (request.histogram)
                histogram_add(*request.histogram, result.histogram, c, dn);
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
            if (request.per_column)
                profiles.col_sums(c)[i] += di;
            if (request.per_row)
                profiles.row_sums(c)[p] += di;
            if (lines != nullptr)
                (*lines)[c][i] = di;
        }
        if (row_pairs != nullptr && (r & 1) != 0)
            row_pairs->pair_done();
    }
}

std::unique_ptr<PassResult> sample_pass(const PassRequest& request, RowPairLines* row_pairs)
{
    // Below this many samples the fixed cost of the per-value counters and
    // the workers outweighs what they save: the plain pass is quicker.
    constexpr int64_t small_window_samples = int64_t{1} << 16;
    auto result = std::make_unique<PassResult>();
    result->stats = empty_channel_stats(request.window.W, request.window.H);
    if (request.mode == PassMode::plain || request.window.W * request.window.H < small_window_samples)
        plain_sample_pass(request, row_pairs, *result);
    else
        counting_sample_pass(request, row_pairs, *result);
    if (row_pairs != nullptr && result->read.ok())
        row_pairs->finish();
    return result;
}
