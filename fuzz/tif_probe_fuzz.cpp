// The TIFF probe on arbitrary bytes: header, the four directory entries, the
// file line and the sample-format test. Built twice: with the bytes as one
// image file, and (TIF_PAIR) cut into two images so that the checks of the
// second image against the first are reached.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "fuzz_support.h"
#include "input/tif_probe.h"
#include "program_profiles.h"
#include "run/run_state.h"

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
    auto run = std::make_unique<RunState>(veldix_profile(), Console{fuzzing::null_console()});
    RunSettings& s = run->settings;
    if (!fuzzing::open_bytes_as_image("FUZZ1.TIF", pair.first, run->images[0]))
        return 0;
    s.file_name[0] = "FUZZ1.TIF";
    s.file_length[0] = run->images[0].length();
#ifdef TIF_PAIR
    if (!fuzzing::open_bytes_as_image("FUZZ2.TIF", pair.second, run->images[1]))
        return 0;
    s.file_name[1] = "FUZZ2.TIF";
    s.file_length[1] = run->images[1].length();
    s.two_files = true;
#endif
    if (tif_check_header(*run) == 0 && tif_probe(*run) == 0)
        tif_check_format(*run);
    return 0;
}
