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

// Byte offset of the sample at image column x, row y.
inline uint64_t sample_offset(uint64_t data_offset, uint64_t row_stride, int64_t x, int64_t y)
{
    return data_offset + row_stride * static_cast<uint64_t>(y) + 2 * static_cast<uint64_t>(x);
}
