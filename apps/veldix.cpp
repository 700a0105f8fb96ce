#include "program_profiles.h"
#include "run/run_sequence.h"

int main(int argc, char** argv)
{
    return run_main(veldix_profile(), argc, argv);
}
