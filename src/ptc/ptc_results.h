// Everything a ptcfit run finds, for the console report, the data files, the
// plots and the page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ptc/characterise.h"
#include "ptc/pair_reader.h"
#include "ptc/plan.h"
#include "ptc/spectrogram.h"

// Spatial non-uniformity and defects of one channel.
struct SpatialResult {
    bool measured = false;
    int flat_line = 0, dark_line = 0;  // the pairs used
    double flat_share = 0;             // the flat's net mean, share of the fit range's reference
    std::optional<double> dsnu_e, dsnu_e_se;
    std::optional<double> prnu_percent, prnu_percent_se;
    // When the spatial variance does not rise clearly (two standard errors)
    // above 0: the figure is then only known to lie below this.
    std::optional<double> dsnu_limit_e, prnu_limit_percent;
    // Parts (row, column, pixel), DN^2 for the dark, percent for PRNU; NaN when negative.
    double dsnu_parts_e[3] = {NAN, NAN, NAN};
    double prnu_parts_percent[3] = {NAN, NAN, NAN};
    int64_t hot = 0, dead = 0, weak = 0, stuck = 0;
};

struct SpectrogramSet {
    bool measured = false;
    int flat_line = 0, dark_line = 0;
    PlaneSpectrograms flat;           // flat mean image less the dark mean image
    PlaneSpectrograms dark;
    double flat_floor[plane_count] = {};  // temporal noise of the difference of mean images, DN
    double dark_floor[plane_count] = {};
};

struct PtcResults {
    PairWindow window;
    const Plan* plan = nullptr;
    FitOptions options;
    uint16_t clip[channel_count] = {};  // the series' clip level per channel
    std::vector<DarkLevel> darks[channel_count];
    ChannelResult channel[channel_count];
    SpatialResult spatial[channel_count];
    SpectrogramSet spectra;
    std::vector<std::string> notes;     // how the series was read, where it is not the usual way
    std::vector<std::string> warnings;  // what may be wrong with the series or the sensor
};
