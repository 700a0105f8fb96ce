#include "input/tiff_stream.h"

#include "input/image_file.h"

namespace {

// Reads n bytes at the stream's position and moves past them; bytes missing
// at the end of the file are zero.
void read_bytes_zero_filled(TiffStream& stream, unsigned char* bytes, size_t n)
{
    const size_t got = stream.file->read_at(stream.position, bytes, n);
    for (size_t i = got; i < n; ++i)
        bytes[i] = 0;
    stream.position += n;
}

}  // namespace

uint16_t read_u16(TiffStream& stream)
{
    unsigned char b[2];
    read_bytes_zero_filled(stream, b, 2);
    if (stream.big_endian)
        return static_cast<uint16_t>((b[0] << 8) | b[1]);
    return static_cast<uint16_t>((b[1] << 8) | b[0]);
}

uint32_t read_u32(TiffStream& stream)
{
    unsigned char b[4];
    read_bytes_zero_filled(stream, b, 4);
    if (stream.big_endian)
        return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
    return (uint32_t{b[3]} << 24) | (uint32_t{b[2]} << 16) | (uint32_t{b[1]} << 8) | b[0];
}

HeaderCheck read_tiff_header(TiffStream& stream, uint32_t& first_offset)
{
    const uint16_t mark = read_u16(stream);
    if (mark == tiff_mark_little)
        stream.big_endian = false;
    else if (mark == tiff_mark_big)
        stream.big_endian = true;
    else
        return HeaderCheck::bad_byte_order;
    if (read_u16(stream) != 42)
        return HeaderCheck::bad_magic;
    first_offset = read_u32(stream);
    return HeaderCheck::ok;
}

HeaderCheck check_tiff_header(TiffStream& stream, uint64_t limit, uint32_t& first_offset)
{
    const HeaderCheck check = read_tiff_header(stream, first_offset);
    if (check == HeaderCheck::ok && first_offset > limit)
        return HeaderCheck::directory_too_far;
    return check;
}

bool find_ifd_entry(TiffStream& stream, uint16_t tag)
{
    seek_to(stream, stream.directory_offset);
    const uint16_t count = read_u16(stream);
    if (count == 0 || count > max_directory_entries)
        return false;
    for (uint16_t i = 0; i < count; ++i) {
        stream.entry.tag = read_u16(stream);
        stream.entry.type = read_u16(stream);
        stream.entry.count = read_u32(stream);
        stream.entry.value = read_u32(stream);
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

size_t read_text_line(TiffStream& stream, char* out, size_t max_bytes)
{
    const size_t got = stream.file->read_at(stream.position, out, max_bytes);
    size_t n = 0;
    while (n < got) {
        if (out[n++] == '\n')
            break;
    }
    stream.position += n;
    return n;
}
