// Reads runs of 16-bit samples of the window's rows in bulk. A measurement is
// never made of bytes that are not in the file: every read here either gets
// all its samples or fails.
#pragma once

#include <cstdint>
#include <vector>

class ImageFile;

// Reads `rows` runs of `count` samples, the first at the byte offset and each
// next one `stride` bytes further on, into out (rows x count samples, run
// after run), leaving the samples in the file's byte order (callers swap them
// on the fly; see samples_need_swap). Positional reads: several threads may
// read one file at once. Runs close together are read with one request, gaps
// included. False when the file does not hold every sample asked for.
bool read_raw_sample_rows(const ImageFile& file, uint64_t offset, uint64_t stride, int64_t count, int64_t rows,
                          uint16_t* out, std::vector<uint8_t>& scratch);

// The same, the samples turned into numbers (stored in the given byte order).
bool read_sample_rows(const ImageFile& file, uint64_t offset, uint64_t stride, int64_t count, int64_t rows,
                      bool big_endian, uint16_t* out, std::vector<uint8_t>& scratch);

// Whether samples stored in this byte order must have their bytes swapped to
// be read as numbers on this machine.
bool samples_need_swap(bool big_endian);

inline uint16_t swapped_sample(uint16_t v)
{
    return static_cast<uint16_t>((v >> 8) | (v << 8));
}

// Byte offset of the sample at image column x, row y.
inline uint64_t sample_offset(uint64_t data_offset, uint64_t row_stride, int64_t x, int64_t y)
{
    return data_offset + row_stride * static_cast<uint64_t>(y) + 2 * static_cast<uint64_t>(x);
}

// Whether a pass read every sample it needed, and if not, of which image
// (0 or 1; image 1's failure is the one reported when both fail).
struct ReadOutcome {
    int failed_image = -1;

    bool ok() const { return failed_image < 0; }
    void fail(int image)
    {
        if (failed_image < 0 || image < failed_image)
            failed_image = image;
    }
    void add(const ReadOutcome& other)
    {
        if (!other.ok())
            fail(other.failed_image);
    }
};
