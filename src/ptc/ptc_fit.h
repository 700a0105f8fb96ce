// The photon-transfer (mean-variance) fit of one colour: system gain, read
// noise, full well and dynamic range from a dark pair and flat pairs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ptc/pair_stats.h"

struct FitOptions {
    double fit_max = 0.7;              // fit range: net mean up to this share of saturation's
    int min_points = 5;                // fewest flat points in the fit range
    std::optional<double> black_level; // dark mean given; read noise then from the fit's intercept
};

// One flat point of one colour.
struct PtcPoint {
    double mu = 0;        // mean of both frames
    double var = 0;       // temporal variance (difference variance / 2)
    double net_mu = 0;    // mu - dark mean
    double net_var = 0;   // var - dark variance (with a black level: var)
    bool clipped = false; // samples at or above full scale in either frame
    bool in_fit = false;
    double residual = 0;  // net_var - K x net_mu
};

struct LineFitResult {
    double slope = 0;
    double intercept = 0;
    double slope_stderr = 0;
    double r_squared = 0;
};

struct ColourFit {
    std::vector<PtcPoint> points;
    double dark_mu = 0;
    double dark_var = 0;
    int saturation = -1;             // index of the saturation point
    bool saturation_reached = false; // a brighter point's variance falls again
    LineFitResult origin;            // slope through the origin, weighted by 1 / var^2: K
    LineFitResult free;              // free intercept, weighted by 1 / var^2
    bool read_noise_from_intercept = false;
    double K = 0;                    // DN per electron
    double sigma_y_dark = 0;         // DN
    double sigma_d = 0;              // electrons
    std::optional<double> u_e_sat;   // electrons
    std::optional<double> snr_max;
    std::optional<double> dr_db, dr_bits, dr_stops;
    int used = 0;                    // points in the fit
};

// Weighted least squares through the origin and with a free intercept (no
// weights: all equal).
LineFitResult fit_through_origin(const std::vector<double>& x, const std::vector<double>& y,
                                 const std::vector<double>& weights = {});
LineFitResult fit_with_intercept(const std::vector<double>& x, const std::vector<double>& y,
                                 const std::vector<double>& weights = {});

// Fits one colour (0 Red, 1 Green, 2 Blue). Returns false with the reason in
// error when the series cannot give a gain.
bool fit_colour(int colour, const PairStats& dark, const std::vector<PairStats>& flats, const FitOptions& options,
                ColourFit& fit, std::string& error);
