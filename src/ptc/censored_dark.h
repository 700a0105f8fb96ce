// A dark pair whose samples clip at 0: the camera wrote its black level as 0,
// so part of the dark noise is cut off. Taking the signal before rounding as
// a normal distribution, of which everything below half a DN reads 0, its mean
// and standard deviation are the straight line through the share of samples
// below each value, on the normal's scale. Samples far above the distribution
// (hot and stuck pixels) are left out of the shares, and the top 1 % of the
// rest is not used.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

struct CensoredNormal {
    double mean = 0, mean_se = 0;          // before the cut, DN: the black level
    double variance = 0, variance_se = 0;  // DN^2: the temporal noise, the dark's fixed pattern and the rounding (1/12)
};

// counts[k]: samples of value k (the last entry also holds every larger
// value). Nothing when no value lies within the shares used; the black level
// taken as 0 when only the share of zeros does.
std::optional<CensoredNormal> censored_normal(const std::vector<int64_t>& counts);
