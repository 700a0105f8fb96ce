#include "input/tif_probe.h"

#include "input/image_file.h"
#include "run/run_state.h"

namespace {

constexpr uint16_t tag_width = 256;
constexpr uint16_t tag_height = 257;
constexpr uint16_t tag_strip_offsets = 273;
constexpr uint16_t tag_strip_byte_counts = 279;

// Bytes of one sample in the strip.
constexpr uint64_t sample_bytes = 2;

// Bytes of a strip of 16-bit samples, or false when the number does not fit
// in 64 bits (no file holds that many: it is a mismatch like any other).
bool strip_bytes(uint32_t width, uint32_t height, uint64_t& bytes)
{
    return !__builtin_mul_overflow(sample_bytes * width, uint64_t{height}, &bytes);
}

// Whether a strip of that many bytes at the offset ends within the file.
bool strip_in_file(uint64_t offset, uint64_t bytes, uint64_t file_length)
{
    return bytes <= file_length && offset <= file_length - bytes;
}

// Code of the first failing check of image 2 against image 1, 0 when it fits.
int second_image_code(RunState& run, uint32_t first_offset)
{
    // Image 2 is read in image 1's byte order.
    TiffStream stream;
    stream.file = &run.images[1];
    stream.big_endian = run.stream.big_endian;
    stream.directory_offset = run.stream.directory_offset;
    int code = 0;

    const uint16_t mark = read_u16(stream);
    if (stream.big_endian && mark != tiff_mark_big)
        return 4;
    if (!stream.big_endian && mark != tiff_mark_little)
        return 5;

    if (read_u16(stream) != 42)
        code = 6;
    if (read_u32(stream) != first_offset)
        code = 7;
    if (code != 0)
        return code;

    if (!find_ifd_entry(stream, tag_width) || entry_value_by_type(stream, stream.entry) != run.info.width)
        code = 8;
    if (!find_ifd_entry(stream, tag_height) || entry_value_by_type(stream, stream.entry) != run.info.height)
        code = 9;
    if (!find_ifd_entry(stream, tag_strip_offsets))
        code = 10;
    else
        run.info.data_offset[1] = entry_value_by_type(stream, stream.entry);
    // Image 2's samples must all be in the file: a strip that runs past its
    // end would be measured as zeros.
    uint64_t bytes = 0;
    if (code == 0 && !(strip_bytes(run.info.width, run.info.height, bytes) &&
                       strip_in_file(run.info.data_offset[1], bytes, run.settings.file_length[1])))
        code = 11;
    return code;
}

}  // namespace

int tif_check_header(RunState& run)
{
    TiffStream& stream = run.stream;
    stream.file = &run.images[0];
    seek_to(stream, 0);
    // Unsigned 32-bit like the offset: a file under 40 bytes wraps to a huge
    // limit and fails later, at its directory.
    const uint64_t length = run.settings.file_length[0];
    const uint64_t limit = length >= tif_min_bytes_after_directory
                               ? length - tif_min_bytes_after_directory
                               : static_cast<uint32_t>(length - tif_min_bytes_after_directory);
    uint32_t offset = 0;
    const int code = check_tiff_header(stream, limit, offset);
    if (code != 0) {
        say(run.console, "Error %d:  File corruption.\n", code);
        return 1;
    }
    stream.directory_offset = offset;
    return 0;
}

int tif_probe(RunState& run)
{
    TiffStream& stream = run.stream;
    RawImageInfo& info = run.info;
    const uint32_t first_offset = static_cast<uint32_t>(stream.directory_offset);

    int missing = 0;
    uint32_t values[4] = {};
    const uint16_t tags[4] = {tag_width, tag_height, tag_strip_offsets, tag_strip_byte_counts};
    for (int i = 0; i < 4; ++i) {
        if (find_ifd_entry(stream, tags[i]))
            values[i] = entry_value_by_type(stream, stream.entry);
        else
            missing += 1 << i;
    }
    if (missing != 0) {
        say(run.console, "Error %d:  Missing image parameter(s).\n", missing);
        return 1;
    }
    info.width = values[0];
    info.height = values[1];
    info.data_offset[0] = values[2];
    info.array_size = values[3];
    info.row_stride = uint64_t{info.width} * 2;
    info.big_endian = stream.big_endian;
    info.saturation_level = run.profile.fixed_saturation_level;

    RunSettings& s = run.settings;
    if (s.two_files) {
        const int code = second_image_code(run, first_offset);
        if (code != 0) {
            say(run.console, "Warning %d:  File 2 incompatible.  Computing single-image data.\n", code);
            s.two_files = false;
        }
    }

    say(run.console, "File:  %s", s.file_name[0].c_str());
    if (s.two_files)
        say(run.console, " minus %s", s.file_name[1].c_str());
    say(run.console, ", TIF array size=%lu bytes\n", static_cast<unsigned long>(info.array_size));
    return 0;
}

int tif_check_format(RunState& run)
{
    const RawImageInfo& info = run.info;
    uint64_t bytes = 0;
    if (!strip_bytes(info.width, info.height, bytes) || bytes != info.array_size) {
        say(run.console, "Error:  TIF files must be monochrome 16-bit.\n");
        return 1;
    }
    // Every sample measured must be in the file.
    if (!strip_in_file(info.data_offset[0], info.array_size, run.settings.file_length[0])) {
        say(run.console, "Error:  Image data beyond the end of the file.\n");
        return 1;
    }
    return 0;
}
