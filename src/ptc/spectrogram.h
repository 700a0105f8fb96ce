// Spectrograms of a mean image: the amplitude spectrum of each row (or each
// column) of a mosaic plane, averaged in power over the rows (columns). A
// white pattern of variance s^2 gives a flat spectrogram at s, so the
// temporal floor and the non-uniformity read on the same scale.
#pragma once

#include <vector>

#include "ptc/channels.h"

struct PairPixels;

struct Spectrogram {
    std::vector<double> frequency;  // cycles per pixel of the plane, 1/N .. 1/2
    std::vector<double> amplitude;  // DN, square root of the mean power
};

struct PlaneSpectrograms {
    Spectrogram along_rows[plane_count];
    Spectrogram along_columns[plane_count];
};

// Of the mean image of `image`, less the mean image of `dark` when given.
// Pixels marked stuck take their plane's mean.
PlaneSpectrograms spectrograms(const PairPixels& image, const PairPixels* dark, const std::vector<bool>& stuck);
