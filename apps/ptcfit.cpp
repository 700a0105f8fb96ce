#include <cstdio>
#include <string>

#include "platform/files.h"
#include "program_profiles.h"
#include "ptc/ptcfit_run.h"

namespace {

// Status when the report cannot reach standard output, as the programs'.
constexpr int status_console_lost = 4;

}  // namespace

int main(int argc, char** argv)
{
    const bool lost = platform::reserve_standard_streams();
    const ReaderProfiles readers{quorva_profile(), veldix_profile()};
    std::string console;
    int status = run_ptcfit(readers, argc - 1, argv + 1, console);
    const bool written = std::fwrite(console.data(), 1, console.size(), stdout) == console.size() &&
                         std::fflush(stdout) == 0 && !std::ferror(stdout);
    if ((lost || !written) && status == 0) {
        std::fputs("Warning:  Unable to write standard output.\n", stderr);
        status = status_console_lost;
    }
    return status;
}
