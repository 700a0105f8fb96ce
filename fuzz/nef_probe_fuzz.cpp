// The NEF probe on arbitrary bytes: header, model, EXIF and maker-note walk,
// size test. The bytes are the whole image file.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "input/image_file.h"
#include "input/nef_probe.h"
#include "reports/text_out.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::enter_private_directory("nef-probe-fuzz");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ImageFile image;
    if (!fuzzing::open_bytes_as_image("FUZZ.NEF", {reinterpret_cast<const char*>(data), size}, image))
        return 0;
    ProbeInput input;
    input.image[0] = &image;
    input.name[0] = "FUZZ.NEF";
    Console console{fuzzing::null_console()};
    nef_probe(input, console);
    return 0;
}
