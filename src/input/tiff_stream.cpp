#include "input/tiff_stream.h"

#include <climits>

namespace {

// Reads n bytes; missing bytes (end of file) are zero.
void read_bytes_zero_filled(std::FILE* file, unsigned char* bytes, size_t n)
{
    const size_t got = std::fread(bytes, 1, n, file);
    for (size_t i = got; i < n; ++i)
        bytes[i] = 0;
}

}  // namespace

uint16_t read_u16(TiffStream& stream, std::FILE* file)
{
    unsigned char b[2];
    read_bytes_zero_filled(file, b, 2);
    if (stream.big_endian)
        return static_cast<uint16_t>((b[0] << 8) | b[1]);
    return static_cast<uint16_t>((b[1] << 8) | b[0]);
}

uint32_t read_u32(TiffStream& stream, std::FILE* file)
{
    unsigned char b[4];
    read_bytes_zero_filled(file, b, 4);
    if (stream.big_endian)
        return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    return (uint32_t{b[3]} << 24) | (uint32_t{b[2]} << 16) | (uint32_t{b[1]} << 8) | b[0];
}

HeaderResult read_tiff_header(TiffStream& stream, std::FILE* file, uint32_t& first_offset)
{
    const uint16_t mark = read_u16(stream, file);
    if (mark == 0x4949)
        stream.big_endian = false;
    else if (mark == 0x4D4D)
        stream.big_endian = true;
    else
        return HeaderResult::bad_byte_order;
    if (read_u16(stream, file) != 42)
        return HeaderResult::bad_magic;
    first_offset = read_u32(stream, file);
    return HeaderResult::ok;
}

int check_tiff_header(TiffStream& stream, std::FILE* file, uint64_t limit, uint32_t& first_offset)
{
    switch (read_tiff_header(stream, file, first_offset)) {
    case HeaderResult::bad_byte_order:
        return 1;
    case HeaderResult::bad_magic:
        return 2;
    case HeaderResult::ok:
        break;
    }
    return first_offset > limit ? 3 : 0;
}

bool find_ifd_entry(TiffStream& stream, std::FILE* file, uint16_t tag)
{
    seek_to(file, stream.directory_offset);
    const uint16_t count = read_u16(stream, file);
    if (count == 0 || count > max_directory_entries)
        return false;
    for (uint16_t i = 0; i < count; ++i) {
        stream.entry.tag = read_u16(stream, file);
        stream.entry.type = read_u16(stream, file);
        stream.entry.count = read_u32(stream, file);
        stream.entry.value = read_u32(stream, file);
        if (stream.entry.tag == tag)
            return true;
    }
    return false;
}

uint32_t entry_value_by_type(const TiffStream& stream, const IfdEntry& entry)
{
    if (entry.type == tiff_type_short && entry.count == 1)
        return stream.big_endian ? entry.value >> 16 : entry.value & 0xFFFFu;
    return entry.value;
}

void seek_to(std::FILE* file, uint64_t offset)
{
    // A position the stream cannot take lies past every real file: park at the
    // end, so that reads give zeros as they do past the end.
    std::clearerr(file);
    if (offset > static_cast<uint64_t>(LLONG_MAX) || fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0)
        fseeko(file, 0, SEEK_END);
}

size_t read_text_line(std::FILE* file, char* out, size_t max_bytes)
{
    size_t n = 0;
    while (n < max_bytes) {
        const int c = std::getc(file);
        if (c == EOF)
            break;
        out[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    return n;
}
