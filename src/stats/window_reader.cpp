#include "stats/window_reader.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <unistd.h>

#include "input/tiff_stream.h"

namespace {

// Reads up to `bytes` bytes at the offset; the rest of `out` is zeroed.
void read_at(int fd, uint64_t offset, uint8_t* out, size_t bytes)
{
    size_t got = 0;
    constexpr uint64_t largest_offset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    while (got < bytes && offset <= largest_offset - got) {
        const ssize_t n = ::pread(fd, out + got, bytes - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    std::memset(out + got, 0, bytes - got);
}


// Gaps between runs up to this size are read rather than skipped: a request
// costs more than copying a few kilobytes.
constexpr uint64_t gap_read_limit = 8192;

}  // namespace

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

bool samples_need_swap(bool big_endian)
{
    return big_endian != (std::endian::native == std::endian::big);
}

void read_sample_rows(std::FILE* file, uint64_t offset, uint64_t stride, int64_t count, int64_t rows,
                      bool big_endian, uint16_t* out, std::vector<uint8_t>& scratch)
{
    read_raw_sample_rows(file, offset, stride, count, rows, out, scratch);
    if (count <= 0 || rows <= 0 || !samples_need_swap(big_endian))
        return;
    const size_t samples = static_cast<size_t>(count) * static_cast<size_t>(rows);
    for (size_t i = 0; i < samples; ++i)
        out[i] = swapped_sample(out[i]);
}

void read_raw_sample_rows(std::FILE* file, uint64_t offset, uint64_t stride, int64_t count, int64_t rows,
                          uint16_t* out, std::vector<uint8_t>& scratch)
{
    if (count <= 0 || rows <= 0)
        return;
    const int fd = ::fileno(file);
    const uint64_t run_bytes = 2 * static_cast<uint64_t>(count);
    const size_t samples = static_cast<size_t>(count) * static_cast<size_t>(rows);
    auto* bytes_out = reinterpret_cast<uint8_t*>(out);
    if (stride == run_bytes || rows == 1) {
        read_at(fd, offset, bytes_out, samples * 2);
    } else if (stride > run_bytes && stride - run_bytes <= gap_read_limit) {
        const size_t span = static_cast<size_t>(stride * static_cast<uint64_t>(rows - 1) + run_bytes);
        if (scratch.size() < span)
            scratch.resize(span);
        read_at(fd, offset, scratch.data(), span);
        for (int64_t r = 0; r < rows; ++r)
            std::memcpy(bytes_out + static_cast<size_t>(r) * run_bytes,
                        scratch.data() + static_cast<size_t>(r) * stride, run_bytes);
    } else {
        for (int64_t r = 0; r < rows; ++r)
            read_at(fd, offset + static_cast<uint64_t>(r) * stride, bytes_out + static_cast<size_t>(r) * run_bytes,
                    run_bytes);
    }
}
