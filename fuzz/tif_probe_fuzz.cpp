// The TIFF probe on arbitrary bytes: header, the four directory entries, the
// file line and the sample-format test. Built twice: with the bytes as one
// image file, and (TIF_PAIR) cut into two images so that the checks of the
// second image against the first are reached.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "input/tif_probe.h"
#include "input/image_file.h"
#include "reports/text_out.h"

namespace {

std::string_view as_text(const uint8_t* data, size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::enter_private_directory("tif-probe-fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#ifdef TIF_PAIR
    const fuzzing::ImagePair pair = fuzzing::split_pair(as_text(data, size));
#else
    const fuzzing::ImagePair pair{as_text(data, size), {}};
#endif
    ImageFile images[2];
    ProbeInput input;
    if (!fuzzing::open_bytes_as_image("FUZZ1.TIF", pair.first, images[0]))
        return 0;
    input.image[0] = &images[0];
    input.name[0] = "FUZZ1.TIF";
    input.fixed_saturation_level = 15400;
#ifdef TIF_PAIR
    if (!fuzzing::open_bytes_as_image("FUZZ2.TIF", pair.second, images[1]))
        return 0;
    input.image[1] = &images[1];
    input.name[1] = "FUZZ2.TIF";
#endif
    Console console{fuzzing::null_console()};
    const ProbeOutcome outcome = tif_probe(input, console);
    if (outcome.status == ExitStatus::completed)
        tif_check_samples(outcome.info, images[0], console);
    return 0;
}
