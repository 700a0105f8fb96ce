#include "input/tif_probe.h"

#include "input/image_file.h"
#include "input/tiff_stream.h"
#include "reports/text_out.h"

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

// The first failing check of image 2 against image 1. Image 2 is read in
// image 1's byte order, its directory where image 1's is.
SecondTifMismatch second_image_mismatch(const ImageFile& file, const TiffStream& first, uint32_t first_offset,
                                        RawImageInfo& info)
{
    using enum SecondTifMismatch;
    TiffStream stream;
    stream.file = &file;
    stream.big_endian = first.big_endian;
    stream.directory_offset = first_offset;
    SecondTifMismatch mismatch = none;

    const uint16_t mark = read_u16(stream);
    if (stream.big_endian && mark != tiff_mark_big)
        return not_big_endian;
    if (!stream.big_endian && mark != tiff_mark_little)
        return not_little_endian;
    if (read_u16(stream) != 42)
        mismatch = not_42;
    if (read_u32(stream) != first_offset)
        mismatch = other_directory;
    if (mismatch != none)
        return mismatch;

    if (!find_ifd_entry(stream, tag_width) || entry_value_by_type(stream, stream.entry) != info.width)
        mismatch = other_width;
    if (!find_ifd_entry(stream, tag_height) || entry_value_by_type(stream, stream.entry) != info.height)
        mismatch = other_height;
    if (!find_ifd_entry(stream, tag_strip_offsets))
        mismatch = no_strip;
    else
        info.data_offset[1] = entry_value_by_type(stream, stream.entry);
    // Its samples must all be in the file: a strip that runs past its end
    // would be measured as zeros.
    uint64_t bytes = 0;
    if (mismatch == none &&
        !(strip_bytes(info.width, info.height, bytes) && strip_in_file(info.data_offset[1], bytes, file.length())))
        mismatch = strip_past_end;
    return mismatch;
}

}  // namespace

ProbeOutcome tif_probe(const ProbeInput& input, Console& console)
{
    ProbeOutcome outcome;
    RawImageInfo& info = outcome.info;
    const ImageFile& file = *input.image[0];

    TiffStream stream;
    stream.file = &file;
    // Unsigned 32-bit like the offset: a file under 40 bytes wraps to a huge
    // limit and fails later, at its directory.
    const uint64_t length = file.length();
    const uint64_t limit = length >= tif_min_bytes_after_directory
                               ? length - tif_min_bytes_after_directory
                               : static_cast<uint32_t>(length - tif_min_bytes_after_directory);
    uint32_t first_offset = 0;
    if (const HeaderCheck check = check_tiff_header(stream, limit, first_offset); check != HeaderCheck::ok) {
        say(console, "Error %d:  File corruption.\n", static_cast<int>(check));
        outcome.status = ExitStatus::failed;
        return outcome;
    }
    outcome.recognised = true;
    stream.directory_offset = first_offset;

    // Bit i of the error number: the i-th of the four entries is missing.
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
        say(console, "Error %d:  Missing image parameter(s).\n", missing);
        outcome.status = ExitStatus::failed;
        return outcome;
    }
    info.width = values[0];
    info.height = values[1];
    info.data_offset[0] = values[2];
    info.array_size = values[3];
    info.row_stride = uint64_t{info.width} * 2;
    info.big_endian = stream.big_endian;
    info.saturation_level = input.fixed_saturation_level;

    bool two = input.image[1] != nullptr;
    if (two) {
        const SecondTifMismatch mismatch = second_image_mismatch(*input.image[1], stream, first_offset, info);
        if (mismatch != SecondTifMismatch::none) {
            say(console, "Warning %d:  File 2 incompatible.  Computing single-image data.\n",
                static_cast<int>(mismatch));
            outcome.second_dropped = true;
            two = false;
        }
    }

    say(console, "File:  %s", input.name[0].c_str());
    if (two)
        say(console, " minus %s", input.name[1].c_str());
    say(console, ", TIF array size=%lu bytes\n", static_cast<unsigned long>(info.array_size));
    return outcome;
}

ExitStatus tif_check_samples(const RawImageInfo& info, const ImageFile& image, Console& console)
{
    uint64_t bytes = 0;
    if (!strip_bytes(info.width, info.height, bytes) || bytes != info.array_size) {
        say(console, "Error:  TIF files must be monochrome 16-bit.\n");
        return ExitStatus::failed;
    }
    // Every sample measured must be in the file.
    if (!strip_in_file(info.data_offset[0], info.array_size, image.length())) {
        say(console, "Error:  Image data beyond the end of the file.\n");
        return ExitStatus::failed;
    }
    return ExitStatus::completed;
}
