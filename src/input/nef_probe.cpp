#include "input/nef_probe.h"

#include <cstring>

#include "input/image_file.h"
#include "input/tiff_stream.h"
#include "reports/text_out.h"

namespace {

constexpr size_t model_text_length = 12;
constexpr size_t maker_signature_length = 9;
// The maker note's own TIFF header follows "Nikon\0" and four version bytes.
constexpr uint64_t maker_header_skip = 10;

constexpr uint16_t tag_model = 0x0110;
constexpr uint16_t tag_exif = 0x8769;
constexpr uint16_t tag_maker_note = 0x927C;
constexpr uint16_t tag_image_size = 0x001B;
constexpr uint32_t image_size_count = 7;

struct CameraLevel {
    const char* keys[2];
    int32_t level;
};

// Tested in order as substrings of the model text; a later match wins. The
// trailing blank keeps "D3 " from matching D3S and "D4 " from matching D4S.
constexpr CameraLevel camera_table[] = {
    {{"D300 ", "D300S "}, 15650}, {{"D3X ", nullptr}, 16100}, {{"D4 ", nullptr}, 15250},
    {{"D800 ", nullptr}, 15600},  {{"D3S ", nullptr}, 15400}, {{"D3 ", "D700 "}, 16000},
};
constexpr int32_t default_saturation_level = 15250;

int code_of(NefDecodeError error)
{
    return static_cast<int>(error);
}

ProbeOutcome decode_error(ProbeOutcome outcome, int code, Console& console)
{
    say(console, "EXIF Decode Error %d\n", code);
    outcome.status = ExitStatus::decode_error;
    return outcome;
}

// What the walk from the first directory to the maker note's image size finds.
struct NefLayout {
    uint32_t width = 0;
    uint32_t height = 0;
    bool big_endian = true;  // the maker note's byte order, which the samples share
};

// From the first directory (at stream.directory_offset) through the EXIF
// directory into the maker note, to entry 0x001B and the image size in it.
// Returns 0, or the decode error's code.
int walk_to_image_size(TiffStream& stream, NefLayout& layout)
{
    if (!find_ifd_entry(stream, tag_exif))
        return code_of(NefDecodeError::no_exif);
    stream.directory_offset = stream.entry.value;
    if (!find_ifd_entry(stream, tag_maker_note))
        return code_of(NefDecodeError::no_maker_note);
    const uint64_t maker_note = stream.entry.value;
    seek_to(stream, maker_note);
    char signature[maker_signature_length + 1] = {};
    read_text_line(stream, signature, maker_signature_length);
    if (std::strstr(signature, "Nikon") == nullptr)
        return code_of(NefDecodeError::no_signature);
    const uint64_t maker_base = maker_note + maker_header_skip;
    seek_to(stream, maker_base);

    // The maker note's own header; its byte order holds for the samples too.
    uint32_t maker_offset = 0;
    if (const HeaderCheck check = check_tiff_header(stream, max_nef_directory_offset, maker_offset);
        check != HeaderCheck::ok)
        return code_of(NefDecodeError::maker_header) + static_cast<int>(check);
    stream.directory_offset = maker_base + maker_offset;
    if (!find_ifd_entry(stream, tag_image_size))
        return code_of(NefDecodeError::no_image_size);
    if (stream.entry.type != tiff_type_short || stream.entry.count != image_size_count)
        return code_of(NefDecodeError::image_size_form);
    seek_to(stream, maker_base + stream.entry.value + 2);
    read_u16(stream);
    read_u16(stream);
    layout.width = read_u16(stream);
    layout.height = read_u16(stream);
    layout.big_endian = stream.big_endian;
    return 0;
}

// Whether image 2 is a NEF of image 1's size and sample byte order: its header
// and directories walked like image 1's, without a word on the console.
bool second_image_compatible(const ImageFile& file, const NefLayout& first)
{
    TiffStream stream;
    stream.file = &file;
    uint32_t offset = 0;
    if (check_tiff_header(stream, max_nef_directory_offset, offset) != HeaderCheck::ok)
        return false;
    stream.directory_offset = offset;
    NefLayout second;
    if (walk_to_image_size(stream, second) != 0)
        return false;
    return second.width == first.width && second.height == first.height && second.big_endian == first.big_endian;
}

}  // namespace

int32_t camera_saturation_level(const std::string& model_text)
{
    int32_t level = default_saturation_level;
    for (const CameraLevel& camera : camera_table)
        for (const char* key : camera.keys)
            if (key && model_text.find(key) != std::string::npos)
                level = camera.level;
    return level;
}

std::string clean_model_text(const char* bytes, size_t length)
{
    std::string text(model_text_length, ' ');
    for (size_t i = 0; i < length && i < model_text_length; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        text[i] = (c < 0x20 || c >= 0x80) ? ' ' : static_cast<char>(c);
    }
    return text;
}

ProbeOutcome nef_probe(const ProbeInput& input, Console& console)
{
    ProbeOutcome outcome;
    const ImageFile& file = *input.image[0];
    bool two = input.image[1] != nullptr;

    TiffStream stream;
    stream.file = &file;
    uint32_t first_offset = 0;
    if (const HeaderCheck check = check_tiff_header(stream, max_nef_directory_offset, first_offset);
        check != HeaderCheck::ok) {
        say(console, "Error:  File corruption %d, Exifbase %lx.\n", static_cast<int>(check),
            static_cast<unsigned long>(first_offset));
        outcome.status = ExitStatus::failed;
        return outcome;
    }
    stream.directory_offset = first_offset;

    // Model text, and with it the camera.
    int code = 0;
    std::string model;
    if (!find_ifd_entry(stream, tag_model)) {
        code = code_of(NefDecodeError::no_model);
    } else {
        seek_to(stream, stream.entry.value);
        char bytes[model_text_length];
        const size_t got = read_text_line(stream, bytes, model_text_length);
        model = clean_model_text(bytes, got);
        if (model.find("NIKON D") == std::string::npos)
            code = code_of(NefDecodeError::not_nikon_d);
    }
    if (code == 0) {
        outcome.recognised = true;
        outcome.info.saturation_level = camera_saturation_level(model);
        say(console, "Camera:  %s  ", model.c_str());
    }
    say(console, "File:  %s", input.name[0].c_str());
    if (two)
        say(console, " minus %s", input.name[1].c_str());
    say(console, "\n");
    if (code != 0)
        return decode_error(outcome, code, console);

    NefLayout layout;
    if (const int walk_code = walk_to_image_size(stream, layout))
        return decode_error(outcome, walk_code, console);

    // A second frame of another size or byte order would be subtracted out of
    // step with the first: measure the first alone.
    if (two && !second_image_compatible(*input.image[1], layout)) {
        say(console, "Warning:  File 2 incompatible.  Computing single-file statistics.\n");
        outcome.second_dropped = true;
        two = false;
    }

    // The samples, uncompressed at 16 bits, are the last bytes of each file.
    const uint64_t raw_size = uint64_t{layout.width} * layout.height * 2;
    for (int f = 0; f < (two ? 2 : 1); ++f) {
        const uint64_t length = input.image[f]->length();
        if (raw_size + min_nef_header_bytes > length) {
            say(console, "Error:  File must be Uncompressed 14-bit NEF.\n");
            outcome.status = ExitStatus::failed;
            return outcome;
        }
        outcome.info.data_offset[f] = length - raw_size;
    }
    outcome.info.width = layout.width;
    outcome.info.height = layout.height;
    outcome.info.row_stride = uint64_t{layout.width} * 2;
    outcome.info.big_endian = layout.big_endian;
    return outcome;
}
