// Reads 16- and 32-bit values, TIFF headers and directory entries from an image
// file in the byte order of the last header read, from a position of its own.
// Bytes past the end of a file read as zero: a short read is never an error
// here, callers range-check.
#pragma once

#include <cstddef>
#include <cstdint>

class ImageFile;

struct IfdEntry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t value = 0;  // the value-or-offset field as one 32-bit number
};

struct TiffStream {
    const ImageFile* file = nullptr;
    bool big_endian = true;  // "MM": most significant byte first
    uint64_t position = 0;   // of the next read
    uint64_t directory_offset = 0;
    IfdEntry entry;  // the entry read last
};

// The checks of a TIFF header, numbered as the programs' messages show them.
enum class HeaderCheck : int {
    ok = 0,
    bad_byte_order = 1,     // neither "II" nor "MM"
    bad_magic = 2,          // not 42
    directory_too_far = 3,  // the first directory lies beyond the limit
};

// A directory holding more entries than this is taken as damaged and searched
// no further: real directories of these files hold a few dozen.
constexpr uint16_t max_directory_entries = 200;

constexpr uint16_t tiff_type_short = 3;

constexpr uint16_t tiff_mark_big = 0x4D4D;     // "MM"
constexpr uint16_t tiff_mark_little = 0x4949;  // "II"

uint16_t read_u16(TiffStream& stream);
uint32_t read_u32(TiffStream& stream);

// Reads mark, 42 and first-directory offset from the current position. The
// mark sets the stream's byte order; on failure nothing more is read. The
// first directory is not range-checked (never directory_too_far).
HeaderCheck read_tiff_header(TiffStream& stream, uint32_t& first_offset);

// The same, and a first directory beyond the limit fails.
HeaderCheck check_tiff_header(TiffStream& stream, uint64_t limit, uint32_t& first_offset);

// Searches the directory at directory_offset for the first entry with the tag.
// On success the entry is in stream.entry and the position just behind it.
bool find_ifd_entry(TiffStream& stream, uint16_t tag);

// The entry's value read by its type: a SHORT with count 1 is its 16-bit value
// (the first two bytes of the value field), anything else the 32-bit field.
uint32_t entry_value_by_type(const TiffStream& stream, const IfdEntry& entry);

// Absolute positioning; positions past the end are fine (reads give zeros).
inline void seek_to(TiffStream& stream, uint64_t offset)
{
    stream.position = offset;
}

// Reads up to max_bytes bytes, stopping after a newline, as a line read does.
// Returns the number of bytes read (0 at the end of the file).
size_t read_text_line(TiffStream& stream, char* out, size_t max_bytes);
