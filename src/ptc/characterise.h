// The temporal part of the characterisation of one channel: the photon
// transfer points, saturation, the gain K, the dark noise and read noise,
// the dark current, full well, SNR, dynamic range and linearity, each with
// its standard error.
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "ptc/line_fit.h"
#include "ptc/pair_stats.h"

struct FitOptions {
    double fit_max = 0.7;               // fit range: net mean up to this share of saturation's
    int min_points = 1;                 // fewest flat points in the fit range
    std::optional<double> black_level;  // dark mean given; the dark variance then from the fit's intercept
};

// Shares of a pair's samples that mark it clipped: at the clip level (beyond
// the stuck pixels'), and at 0.
constexpr double clip_share_limit = 0.001;
constexpr double zero_share_limit = 0.005;
// When no pair lies below the fit range's end and none up to saturation is
// unclipped, K comes from pairs with at most this share at the clip level.
constexpr double fallback_clip_share = 0.02;
// Deviations beyond this many standard errors are taken as real.
constexpr double significant_z = 5.0;
// Below this dark variance (DN^2) the quantisation noise dominates and the
// read noise is only known as an upper limit.
constexpr double quantisation_floor = 0.24;
constexpr double quantisation_variance = 1.0 / 12.0;

struct DarkLevel {
    double t = NAN;  // exposure, s
    ChannelMoments m;
    int line = 0;
    double mean_se = m.mean_se(), var_se = m.var_se();
    // Samples clipped at 0: m.mean and m.var are those of the normal cut
    // there, and the variance holds the dark's fixed pattern too.
    bool censored = false;
};

struct FlatLevel {
    double t = NAN;
    ChannelMoments m;
    int line = 0;
    double clip_share = 0;  // share of samples at the clip level beyond the stuck pixels'
    double zero_share = 0;
};

// One flat point of one channel.
struct PtcPoint {
    int line = 0;
    double t = NAN;
    int64_t n = 0;  // pixels per frame
    double mu = 0, var = 0, var_se = 0;
    double dark_mu = 0, dark_var = 0, dark_var_se = 0;
    std::string dark_from;  // "line N", "dark fit" or "black level"
    double net_mu = 0, net_mu_se = 0;
    double net_var = 0;
    double clip_share = 0, zero_share = 0;
    bool clipped = false, zero_clipped = false;
    bool in_fit = false;
    double residual = 0;  // net_var - the fitted line
    double residual_z = 0;
    double linearity_dev = NAN;  // percent, for the points of the linearity fit
};

struct ChannelResult {
    bool ok = false;
    std::string failure;  // why no gain could be found
    std::vector<PtcPoint> points;

    int saturation = -1;  // index of the variance maximum
    bool saturation_reached = false;
    std::string saturation_evidence;
    double range_reference = 0;   // net mean the fit range is a share of, DN
    std::string range_reference_from;

    LineFit gain_fit;    // through the origin, or with an intercept for a given black level
    LineFit free_fit;    // always with an intercept: a check that it comes out near 0
    double K = 0, K_se = 0;
    int used = 0;

    // Dark noise: the variance (DN^2) the read noise comes from, and what it is.
    double dark_var = NAN, dark_var_se = NAN;
    std::string dark_label;
    bool dark_at_zero = false;  // read noise proper (t = 0 or the fit's intercept), not dark noise at an exposure
    std::optional<double> sigma_y_dark, sigma_y_dark_se;
    std::optional<double> sigma_d, sigma_d_se;
    bool sigma_d_upper_limit = false;
    std::string limit_reason;  // why sigma_d is only an upper limit

    bool dark_fits = false;  // dark pairs at several exposures
    LineFit dark_mean_fit, dark_var_fit;
    std::optional<double> dark_current, dark_current_se;          // e-/s, from the mean
    std::optional<double> dark_current_var, dark_current_var_se;  // e-/s, from the variance

    std::optional<double> u_e_sat, u_e_sat_se;
    std::optional<double> snr_max, snr_max_se, snr_max_db, snr_max_bits;
    double u_e_min = NAN;
    std::optional<double> dr, dr_db, dr_bits, dr_se_db;

    std::optional<double> linearity_error, linearity_error_se;  // percent
    LineFit linearity_fit;                  // net mean against exposure

    std::vector<std::string> warnings;
};

// Assembles the points (each flat with its dark) and finds the saturation.
// Returns false, with the reason, for what ends the run: the means fall
// before saturation, or a dark pair is noisier than a flat.
bool prepare_channel(int channel, const std::vector<DarkLevel>& darks, const std::vector<FlatLevel>& flats,
                     const FitOptions& options, ChannelResult& result, std::string& error);

// The standard error of sqrt(x) / scale for x measured with standard error
// se: half the change over x +- se, which stays honest where x is near 0
// and the slope of the root runs away.
double root_se(double x, double se, double scale);

// The fit and every figure. reference: the saturation net mean of another
// channel, for the fit range of one that never saturates (0: none).
void fit_channel(int channel, const std::vector<DarkLevel>& darks, const FitOptions& options, double reference,
                 ChannelResult& result);
