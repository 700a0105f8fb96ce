// A whole program run in-process: an argument list and one or two image files
// taken from the input (see fuzzing::decode_program_input), run in a private
// working directory, the files removed again after each run. Built once per
// program (PROGRAM_VELDIX selects veldix).
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "program_profiles.h"

namespace {

#ifdef PROGRAM_VELDIX
const ProgramProfile& profile() { return veldix_profile(); }
constexpr const char* image_names[2] = {"A.TIF", "B.TIF"};
constexpr const char* directory_tag = "veldix-fuzz";
#else
const ProgramProfile& profile() { return quorva_profile(); }
constexpr const char* image_names[2] = {"A.NEF", "B.NEF"};
constexpr const char* directory_tag = "quorva-fuzz";
#endif

// Everything a run can leave behind.
const std::vector<const char*>& leftovers()
{
    static const std::vector<const char*> names = {image_names[0], image_names[1], "QUORVA.CSV", "HQUORVA.CSV",
                                                   "VELDIX.CSV",   "HVELDIX.CSV",  "RCDN.CSV",   "DFT.CSV"};
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzing::enter_private_directory(directory_tag);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzzing::ProgramInput input =
        fuzzing::decode_program_input(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!fuzzing::bounded_work(profile(), input.args))
        return -1;
    fuzzing::clear_directory(leftovers());
    fuzzing::write_bytes(image_names[0], input.image[0]);
    if (input.two_images)
        fuzzing::write_bytes(image_names[1], input.image[1]);
    fuzzing::run_whole_program(profile(), input.args);
    fuzzing::clear_directory(leftovers());
    return 0;
}
