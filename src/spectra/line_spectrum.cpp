#include "spectra/line_spectrum.h"

#include "stats/profiles.h"

double SpectrumKernel(const ProfileSet&, SpectraState&, KernelMode, int32_t, int32_t, int32_t, int32_t)
{
    return 0.0;
}
