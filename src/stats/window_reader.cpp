#include "stats/window_reader.h"

#include <bit>
#include <cstring>

#include "input/image_file.h"

namespace {

// Gaps between runs up to this size are read rather than skipped: a request
// costs more than copying a few kilobytes.
constexpr uint64_t gap_read_limit = 8192;

bool read_whole(const ImageFile& file, uint64_t offset, uint8_t* out, size_t bytes)
{
    return file.read_at(offset, out, bytes) == bytes;
}

}  // namespace

bool samples_need_swap(bool big_endian)
{
    return big_endian != (std::endian::native == std::endian::big);
}

bool read_sample_rows(const ImageFile& file, uint64_t offset, uint64_t stride, int64_t count, int64_t rows,
                      bool big_endian, uint16_t* out, std::vector<uint8_t>& scratch)
{
    if (!read_raw_sample_rows(file, offset, stride, count, rows, out, scratch))
        return false;
    if (count <= 0 || rows <= 0 || !samples_need_swap(big_endian))
        return true;
    const size_t samples = static_cast<size_t>(count) * static_cast<size_t>(rows);
    for (size_t i = 0; i < samples; ++i)
        out[i] = swapped_sample(out[i]);
    return true;
}

bool read_raw_sample_rows(const ImageFile& file, uint64_t offset, uint64_t stride, int64_t count, int64_t rows,
                          uint16_t* out, std::vector<uint8_t>& scratch)
{
    if (count <= 0 || rows <= 0)
        return true;
    const uint64_t run_bytes = 2 * static_cast<uint64_t>(count);
    const size_t samples = static_cast<size_t>(count) * static_cast<size_t>(rows);
    auto* bytes_out = reinterpret_cast<uint8_t*>(out);
    if (stride == run_bytes || rows == 1)
        return read_whole(file, offset, bytes_out, samples * 2);
    if (stride > run_bytes && stride - run_bytes <= gap_read_limit) {
        const size_t span = static_cast<size_t>(stride * static_cast<uint64_t>(rows - 1) + run_bytes);
        if (scratch.size() < span)
            scratch.resize(span);
        if (!read_whole(file, offset, scratch.data(), span))
            return false;
        for (int64_t r = 0; r < rows; ++r)
            std::memcpy(bytes_out + static_cast<size_t>(r) * run_bytes,
                        scratch.data() + static_cast<size_t>(r) * stride, run_bytes);
        return true;
    }
    for (int64_t r = 0; r < rows; ++r)
        if (!read_whole(file, offset + static_cast<uint64_t>(r) * stride,
                        bytes_out + static_cast<size_t>(r) * run_bytes, run_bytes))
            return false;
    return true;
}
