// Where and how the raw samples of the image(s) lie, as the probe found them.
#pragma once

#include <cstdint>

struct RawImageInfo {
    uint32_t width = 0;                // samples per image row
    uint32_t height = 0;               // image rows
    uint64_t data_offset[2] = {0, 0};  // first sample of image 1 and image 2
    uint64_t row_stride = 0;           // bytes per image row (2 x width)
    bool big_endian = true;            // byte order of every sample of both images
    int32_t saturation_level = 0;      // a green DN above this counts as saturated
    uint32_t array_size = 0;           // declared bytes of sample data (TIFF probe)
};
