// Reads runs of 16-bit samples of an image row in bulk.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Reads count samples starting at the byte offset, in the given byte order.
// Samples past the end of the file read as zero (a sample cut in half keeps
// the byte that is there).
void read_samples(std::FILE* file, uint64_t offset, int64_t count, bool big_endian, uint16_t* out,
                  std::vector<uint8_t>& scratch);

// Reads `rows` runs of `count` samples, the first at the byte offset and each
// next one `stride` bytes further on, into out (rows x count samples, run
// after run), as read_samples would one run at a time. Positional reads that
// leave the file position alone: several threads may read one file at once.
// Runs close together are read with one request, gaps included.
void read_sample_rows(std::FILE* file, uint64_t offset, uint64_t stride, int64_t count, int64_t rows,
                      bool big_endian, uint16_t* out, std::vector<uint8_t>& scratch);

// The same, leaving the samples in the file's byte order (for callers that
// swap them on the fly; see samples_need_swap).
void read_raw_sample_rows(std::FILE* file, uint64_t offset, uint64_t stride, int64_t count, int64_t rows,
                          uint16_t* out, std::vector<uint8_t>& scratch);

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
