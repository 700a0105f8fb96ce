#include "spectra/column_pass.h"

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

// Window columns held in memory at a time. Windows up to this width (every
// window with both directions on) are read in one go; a wider one, allowed
// when only the column direction is on, is read in strips of this many, so
// at most 2 images x 2048 x 2048 samples are held.
constexpr int64_t strip_columns = 2048;

// A run of window columns of one image, all window rows, row after row.
struct WindowStrip {
    std::vector<uint16_t> samples;
    int64_t columns = 0;

    uint16_t at(int64_t row, int64_t column) const { return samples[static_cast<size_t>(row * columns + column)]; }
};

bool read_strip(const ImageFile& file, uint64_t data_offset, const RunState& run, int64_t left, int64_t top,
                int64_t count, WindowStrip& strip, std::vector<uint8_t>& scratch)
{
    const int64_t rows = run.window.H;
    strip.columns = count;
    strip.samples.assign(static_cast<size_t>(rows * count), 0);
    if (!run.reference_path)
        return read_sample_rows(file, sample_offset(data_offset, run.info.row_stride, left, top),
                                run.info.row_stride, count, rows, run.info.big_endian, strip.samples.data(), scratch);
    for (int64_t r = 0; r < rows; ++r)
        if (!read_sample_rows(file, sample_offset(data_offset, run.info.row_stride, left, top + r),
                              run.info.row_stride, count, 1, run.info.big_endian, strip.samples.data() + r * count,
                              scratch))
            return false;
    return true;
}

// Fills lines 0..3 (R, G1, B, G2) with column pair `pair` of the strip: entry
// p of each plane is its d in row pair p (window rows 2p and 2p + 1). Each
// sample's plane follows from its image position, in each image by that
// image's own window.
void load_column_pair(const RunState& run, const WindowStrip& image1, const WindowStrip* image2,
                      int64_t strip_left, int64_t pair, int32_t (*lines)[line_capacity])
{
    const WindowSpec& w = run.window;
    for (int64_t y = 0; y < w.H; ++y) {
        int32_t first[4] = {};
        int32_t second[4] = {};  // 0 with one image: d is the DN
        CfaChannel planes[2];
        for (int64_t k = 0; k < 2; ++k) {
            const int64_t in_strip = 2 * pair + k;
            const int64_t column = strip_left + in_strip;
            planes[k] = channel_at(w.Y + y, w.X + column);
            first[planes[k]] = image1.at(y, in_strip);
            if (image2 != nullptr)
                second[channel_at(w.Y2 + y, w.X2 + column)] = image2->at(y, in_strip);
        }
        for (const CfaChannel c : planes)
            lines[c][y / 2] = first[c] - second[c];
    }
}

}  // namespace

ReadOutcome column_pass(RunState& run)
{
    const WindowSpec& w = run.window;
    const RawImageInfo& info = run.info;
    const bool two = run.settings.two_files;
    for (auto& sums : run.spectra.coef_sums)
        std::fill(std::begin(sums), std::end(sums), 0.0f);

    // The fast path collects column pairs and computes their spectra on all
    // workers; the sums still receive them pair by pair, in order.
    std::unique_ptr<LineSpectraBatch> batch;
    if (!run.reference_path)
        batch = std::make_unique<LineSpectraBatch>(kernel_mode(run.settings), static_cast<int32_t>(w.H),
                                                   run.spectra.span_y, worker_count());

    WindowStrip image1;
    WindowStrip image2;
    std::vector<uint8_t> scratch;
    for (int64_t left = 0; left < w.W; left += strip_columns) {
        const int64_t count = std::min(strip_columns, w.W - left);
        ReadOutcome read;
        if (!read_strip(run.images[0], info.data_offset[0], run, w.X + left, w.Y, count, image1, scratch))
            read.fail(0);
        if (two && !read_strip(run.images[1], info.data_offset[1], run, w.X2 + left, w.Y2, count, image2, scratch))
            read.fail(1);
        if (!read.ok())
            return read;
        for (int64_t pair = 0; pair < count / 2; ++pair) {
            if (batch == nullptr) {
                load_column_pair(run, image1, two ? &image2 : nullptr, left, pair, run.profiles.line);
                accumulate_line_spectra(run, static_cast<int32_t>(w.H), run.spectra.span_y);
                continue;
            }
            load_column_pair(run, image1, two ? &image2 : nullptr, left, pair, batch->next_pair());
            if (batch->full())
                batch->flush(run.spectra);
        }
        if (batch != nullptr)
            batch->flush(run.spectra);
    }
    // The line store holds the last column pair, as after the plain pass.
    if (batch != nullptr && w.W >= 2) {
        const int32_t(*last)[line_capacity] = batch->last_pair();
        for (int c = 0; c < 4; ++c)
            std::copy(last[c], last[c] + w.H / 2, run.profiles.line[c]);
    }
    return {};
}

void write_column_spectra(RunState& run)
{
    write_multi_table(run, SpectrumAxis::y);
}
