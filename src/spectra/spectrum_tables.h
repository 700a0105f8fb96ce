// The spectrum tables of the spectrum log: -F's spectra of the average row
// and column, and the averaged spectra (or autocorrelations) of -M and -A.
#pragma once

#include <string>

#include "spectra/line_spectra.h"
#include "spectra/spectrum_plan.h"
#include "stats/profiles.h"
#include "stats/window.h"

class SpectrumEngine;

// x: along the window's rows (lines of column pairs); y: along its columns.
enum class SpectrumAxis { x, y };

// "Ave-row DFT coef mags" (x) or "Ave-column DFT coef mags" (y): the spectrum
// of the profile of each plane and of the combined green, the profile sums
// taken in tenths of DN; closed by its RMS line.
std::string ft_table(const ProfileSet& profiles, SpectrumAxis axis, const SpectrumPlan& plan, const WindowSpec& window,
                     SpectrumEngine& engine, const std::string& source);

// What multiplies each plane's averaged values: 1, or with -A 100 / the
// window variance of the plane's colour (percent of the variance); NaN for a
// plane without variance, which has no defined autocorrelation.
struct AcfScales {
    double plane[4] = {1.0, 1.0, 1.0, 1.0};  // R, G1, B, G2
};
AcfScales acf_scales(bool autocorr, const double variance[3]);

// "Row-DFT ave. coef mags" / "Ave. Row-ACF" (x) or the column ones (y): the
// sums averaged over the pairs, in single precision, closed by the RMS line.
std::string multi_table(const MultiSums& sums, SpectrumAxis axis, const SpectrumPlan& plan, const WindowSpec& window,
                        const AcfScales& scales, const std::string& source);
