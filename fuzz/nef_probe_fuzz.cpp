// The NEF probe on arbitrary bytes: header, model, EXIF and maker-note walk,
// size test. The bytes are the whole image file.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz_support.h"
#include "input/nef_probe.h"
#include "program_profiles.h"
#include "run/run_state.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::enter_private_directory("nef-probe-fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto run = std::make_unique<RunState>(quorva_profile(), Console{fuzzing::null_console()});
    if (!fuzzing::open_bytes_as_image("FUZZ.NEF", {reinterpret_cast<const char*>(data), size}, run->images[0]))
        return 0;
    run->settings.file_name[0] = "FUZZ.NEF";
    run->settings.file_length[0] = run->images[0].length();
    if (nef_check_header(*run) == 0)
        nef_probe(*run);
    return 0;
}
