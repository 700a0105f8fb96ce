#include "stats/sample_pass.h"

#include <vector>

#include "run/run_state.h"
#include "spectra/row_spectra.h"
#include "stats/cfa.h"
#include "stats/window_reader.h"

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

void sample_pass(RunState& run)
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
        read_samples(run.images.file[0], sample_offset(info.data_offset[0], info.row_stride, w.X, image_row), w.W,
                     info.big_endian, row1.data(), scratch);
        if (two)
            read_samples(run.images.file[1],
                         sample_offset(info.data_offset[1], info.row_stride, w.X2, w.Y2 + r), w.W,
                         info.big_endian, row2.data(), scratch);
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
}
