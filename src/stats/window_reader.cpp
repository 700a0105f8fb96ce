#include "stats/window_reader.h"

#include "input/tiff_stream.h"

void read_samples(std::FILE* file, uint64_t offset, int64_t count, bool big_endian, uint16_t* out,
                  std::vector<uint8_t>& scratch)
{
    const size_t bytes = 2 * static_cast<size_t>(count);
    if (scratch.size() < bytes)
        scratch.resize(bytes);
    seek_to(file, offset);
    const size_t got = std::fread(scratch.data(), 1, bytes, file);
    for (size_t i = got; i < bytes; ++i)
        scratch[i] = 0;
    const uint8_t* b = scratch.data();
    if (big_endian) {
        for (int64_t i = 0; i < count; ++i)
            out[i] = static_cast<uint16_t>((b[2 * i] << 8) | b[2 * i + 1]);
    } else {
        for (int64_t i = 0; i < count; ++i)
            out[i] = static_cast<uint16_t>((b[2 * i + 1] << 8) | b[2 * i]);
    }
}
