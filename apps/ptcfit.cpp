#include "program_profiles.h"
#include "ptc/ptcfit_run.h"

int main(int argc, char** argv)
{
    const ReaderProfiles readers{quorva_profile(), veldix_profile()};
    return run_ptcfit(readers, argc - 1, argv + 1);
}
