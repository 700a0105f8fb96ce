// The NEF probe: header, camera model, EXIF and maker-note walk to the image
// size, and the raw samples located at the end of each file.
#pragma once

#include <cstdint>
#include <string>

#include "input/probe.h"

// Largest first-directory offset accepted in the file header and in the maker
// note's header: real files put their directories right behind the header.
constexpr uint32_t max_nef_directory_offset = 1000;

// The raw samples must leave at least this many bytes of header before them.
constexpr uint64_t min_nef_header_bytes = 10000;

// The failures of the walk, numbered as "EXIF Decode Error %d" shows them.
enum class NefDecodeError : int {
    none = 0,
    no_model = 4,
    not_nikon_d = 5,
    no_exif = 6,
    no_maker_note = 7,
    no_signature = 8,
    maker_header = 8,  // + the maker note's header failure, 1 to 3
    no_image_size = 12,
    image_size_form = 13,
};

// Saturation level of the camera named in the 12-character model text.
int32_t camera_saturation_level(const std::string& model_text);

// Cleans a model text read from the file into 12 printable characters.
std::string clean_model_text(const char* bytes, size_t length);

ProbeOutcome nef_probe(const ProbeInput& input, Console& console);
