// The TIFF probe: a one-strip 16-bit monochrome TIFF as the converter writes it
// with "-D -4 -T", and the compatibility of a second such file.
#pragma once

#include "input/probe.h"

// Room for at least a directory behind the header offset.
constexpr unsigned tif_min_bytes_after_directory = 40;

// Why image 2 does not match image 1, numbered as "Warning %d" shows it.
enum class SecondTifMismatch : int {
    none = 0,
    not_big_endian = 4,     // image 1 is "MM", image 2 is not
    not_little_endian = 5,  // image 1 is "II", image 2 is not
    not_42 = 6,
    other_directory = 7,  // its first directory is not where image 1's is
    other_width = 8,
    other_height = 9,
    no_strip = 10,
    strip_past_end = 11,  // its samples do not all lie in the file
};

ProbeOutcome tif_probe(const ProbeInput& input, Console& console);

// The samples are one strip of 16-bit values that ends within the file.
ExitStatus tif_check_samples(const RawImageInfo& info, const ImageFile& image, Console& console);
