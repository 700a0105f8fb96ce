#include "spectra/column_pass.h"

#include <algorithm>
#include <vector>

#include "input/image_file.h"
#include "stats/cfa.h"
#include "stats/row_pair_lines.h"

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

bool read_strip(const ImageFile& file, uint64_t data_offset, const RawImageInfo& info, int64_t rows, int64_t left,
                int64_t top, int64_t count, WindowStrip& strip, std::vector<uint8_t>& scratch)
{
    strip.columns = count;
    strip.samples.assign(static_cast<size_t>(rows * count), 0);
    return read_sample_rows(file, sample_offset(data_offset, info.row_stride, left, top), info.row_stride, count, rows,
                            info.big_endian, strip.samples.data(), scratch);
}

// Fills lines R, G1, B, G2 with column pair `pair` of the strip: entry p of
// each plane is its d in row pair p (window rows 2p and 2p + 1). Each
// sample's plane follows from its image position, in each image by that
// image's own window.
void load_column_pair(const WindowSpec& w, const WindowStrip& image1, const WindowStrip* image2, int64_t strip_left,
                      int64_t pair, PairLines& lines)
{
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

ReadOutcome column_pass(const ImageFile& image1, const ImageFile* image2, const RawImageInfo& info, const WindowSpec& w,
                        RowPairLines& pairs)
{
    WindowStrip strip1;
    WindowStrip strip2;
    std::vector<uint8_t> scratch;
    for (int64_t left = 0; left < w.W; left += strip_columns) {
        const int64_t count = std::min(strip_columns, w.W - left);
        ReadOutcome read;
        if (!read_strip(image1, info.data_offset[0], info, w.H, w.X + left, w.Y, count, strip1, scratch))
            read.fail(0);
        if (image2 && !read_strip(*image2, info.data_offset[1], info, w.H, w.X2 + left, w.Y2, count, strip2, scratch))
            read.fail(1);
        if (!read.ok())
            return read;
        for (int64_t pair = 0; pair < count / 2; ++pair) {
            load_column_pair(w, strip1, image2 ? &strip2 : nullptr, left, pair, pairs.next_pair());
            pairs.pair_done();
        }
    }
    pairs.finish();
    return {};
}
