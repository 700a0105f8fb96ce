#include "spectra/line_spectrum.h"

#include <cmath>

namespace {

// The line results of the -F tables are in tenths of DN.
constexpr double tenths_per_dn = 10.0;

// Whether the sequence stays inside the line store; anything else yields 0.
bool within_store(int32_t line, int32_t pair_step, int32_t count)
{
    if (line < 0 || line > 7 || pair_step < 0 || line + pair_step > 7)
        return false;
    const int64_t lines_used = pair_step == 0 ? 1 : 2;
    return count <= lines_used * line_capacity;
}

}  // namespace

void rotation_step(int32_t count, int32_t freq, double& c, double& s)
{
    const double n = static_cast<double>(count);
    // Evaluated in this order: ((b * acos(0)) * -4.0) / N.
    const double theta = ((static_cast<double>(freq) * std::acos(0.0)) * -4.0) / n;
    c = std::cos(theta);
    s = std::sin(theta);
}

double dft_magnitude(const LineSequence& x, int32_t count, int32_t freq)
{
    double c = 0.0;
    double s = 0.0;
    rotation_step(count, freq, c, s);
    double wr = 1.0;
    double wi = 0.0;
    double re = 0.0;
    double im = 0.0;
    for (int32_t i = 0; i < count; ++i) {
        const double v = static_cast<double>(x[i]);
        re += v * wr;
        im += v * wi;
        const double next_wr = wr * c - wi * s;
        wi = wr * s + wi * c;  // from the old wr
        wr = next_wr;
    }
    return std::sqrt(re * re + im * im);
}

double autocovariance(const LineSequence& x, int32_t count, int32_t lag)
{
    const double n = static_cast<double>(count);
    int64_t total = 0;  // exact: at most 2048 values of 32 bits
    for (int32_t i = 0; i < count; ++i)
        total += x[i];
    const double mean = static_cast<double>(total) / n;
    double sum = 0.0;
    for (int32_t i = 0; i < count; ++i) {
        int32_t j = i + lag;
        if (j >= count)
            j -= count;
        sum += (static_cast<double>(x[i]) - mean) * (static_cast<double>(x[j]) - mean);
    }
    return sum / n;
}

double kernel_value(KernelMode mode, double raw, int32_t count)
{
    const double n = static_cast<double>(count);
    if (!mode.ft_coef)
        return mode.autocorr ? raw : raw / n;
    const double r = mode.autocorr ? std::fabs(raw) : raw;
    return r / n / tenths_per_dn;
}

bool kernel_in_range(int32_t line, int32_t pair_step, int32_t count, int32_t freq)
{
    if (count < 1 || freq < 0 || freq > count / 2)
        return false;
    return within_store(line, pair_step, count);
}

double SpectrumKernel(const ProfileSet& lines, KernelMode mode, int32_t line, int32_t pair_step, int32_t count,
                      int32_t freq)
{
    if (!kernel_in_range(line, pair_step, count, freq))
        return 0.0;
    LineSequence x;
    x.first = lines.line[line];
    if (pair_step != 0)
        x.second = lines.line[line + pair_step];
    const double raw = mode.autocorr ? autocovariance(x, count, freq) : dft_magnitude(x, count, freq);
    return kernel_value(mode, raw, count);
}
