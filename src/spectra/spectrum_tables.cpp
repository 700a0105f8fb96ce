#include "spectra/spectrum_tables.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "reports/report_texts.h"
#include "reports/text_out.h"
#include "spectra/spectrum_engine.h"
#include "stats/cfa.h"

namespace {

// The -F lines hold ten times the average d: sum x 20 / window dimension.
constexpr int64_t tenths_scale = 20;

// Percent of the window variance.
constexpr double acf_percent = 100.0;

// The combined green: G1 interleaved with G2, two lines on.
constexpr int green_pair_step = 2;

// The RMS line: square roots of the plain sums of squares, under the second
// G column and the four plane columns.
void add_rms_line(TextBuffer& table, double green_power, const double* power)
{
    add_text(table, "  RMS:   ,      ,     ,%10.3lf,      ,%10.3lf,%10.3lf,%10.3lf,%10.3lf\n",
             printable(std::sqrt(green_power)), printable(std::sqrt(power[0])), printable(std::sqrt(power[1])),
             printable(std::sqrt(power[2])), printable(std::sqrt(power[3])));
}

// One line rescaled: (v x 20) / dimension, the product in 64 bits (tall
// windows pass 2^31) and the quotient truncated toward zero.
void rescale_to_tenths(const int32_t* values, int32_t* out, int64_t count, int64_t dimension)
{
    for (int64_t i = 0; i < count; ++i)
        out[i] = static_cast<int32_t>((int64_t{values[i]} * tenths_scale) / dimension);
}

}  // namespace

std::string ft_table(const ProfileSet& profiles, SpectrumAxis axis, const SpectrumPlan& plan, const WindowSpec& w,
                     SpectrumEngine& engine, const std::string& source)
{
    const bool y = axis == SpectrumAxis::y;
    const DirectionPlan& direction = y ? plan.y : plan.x;
    const KernelMode mode = plan.mode;

    // The profile of each plane in tenths of DN: the column-pair sums over H
    // (x), the row-pair sums over W (y); entries the window does not fill stay 0.
    const int first_line = y ? 4 : 0;
    const int64_t entries = std::min<int64_t>(y ? w.H / 2 : w.W / 2, line_capacity);
    auto tenths = std::make_unique<ProfileSet>();
    for (int c = 0; c < 4; ++c)
        rescale_to_tenths(profiles.line[first_line + c], tenths->line[c], entries, y ? w.W : w.H);

    const FrequencyRange planes = plane_range(direction);
    const FrequencyRange green = green_range(direction);
    std::vector<LineSequence> plane_sequences;
    for (int c = 0; c < 4; ++c)
        plane_sequences.push_back({tenths->line[c], nullptr});
    const LineSequence green_sequence{tenths->line[1], tenths->line[1 + green_pair_step]};
    std::vector<double> plane_raw(4 * static_cast<size_t>(std::max(planes.count, 0)));
    std::vector<double> green_raw(static_cast<size_t>(std::max(green.count, 0)));
    const SpectrumJob jobs[2] = {
        {&green_sequence, 1, direction.length, green.first, green.count, green_raw.data()},
        {plane_sequences.data(), 4, direction.half(), planes.first, planes.count, plane_raw.data()},
    };
    if (planes.count > 0)
        engine.compute(mode.autocorr, jobs, 2);

    // Each value at a frequency above 0 adds its square to its column's sum.
    double green_power = 0.0;
    double power[4] = {};
    auto green_value = [&](int32_t f) {
        if (!green.holds(f))
            return 0.0;
        const double v = kernel_value(mode, green_raw[static_cast<size_t>(f - green.first)], direction.length);
        if (f != 0)
            green_power += v * v;
        return v;
    };
    auto plane_value = [&](int c, int32_t k) {
        if (!planes.holds(k))
            return 0.0;
        const double v =
            kernel_value(mode, plane_raw[static_cast<size_t>(c * planes.count + k - planes.first)], direction.half());
        if (k != 0)
            power[c] += v * v;
        return v;
    };

    TextBuffer table;
    add_text(table, "%s%s", y ? report_texts::ft_col_title : report_texts::ft_row_title, source.c_str());
    add_text(table, "%s", report_texts::frequency_header);
    for_each_row(direction, [&](int32_t f) {
        const double g0 = green_value(f);
        const double g1 = green_value(f + 1);
        add_text(table, " %4d,%10.3lf, %4d,%10.3lf,  %4d", f, printable(g0), f + 1, printable(g1), f / 2);
        for (int c = 0; c < 4; ++c)
            add_text(table, ",%10.3lf", printable(plane_value(c, f / 2)));
        add_text(table, "\n");
    });
    add_rms_line(table, green_power, power);
    return table.text;
}

AcfScales acf_scales(bool autocorr, const double variance[3])
{
    AcfScales scales;
    if (!autocorr)
        return scales;
    // A plane without variance has no defined ACF: NaN carries that to every
    // value and to the RMS cell of its columns.
    auto scale_for = [](double v) { return v > 0.0 ? acf_percent / v : std::numeric_limits<double>::quiet_NaN(); };
    scales.plane[R] = scale_for(variance[Red]);
    scales.plane[G1] = scale_for(variance[Green]);
    scales.plane[B] = scale_for(variance[Blue]);
    scales.plane[G2] = scale_for(variance[Green]);
    return scales;
}

std::string multi_table(const MultiSums& sums, SpectrumAxis axis, const SpectrumPlan& plan, const WindowSpec& w,
                        const AcfScales& scales, const std::string& source)
{
    using namespace report_texts;
    const bool y = axis == SpectrumAxis::y;
    const bool acf = plan.mode.autocorr;
    const DirectionPlan& direction = y ? plan.y : plan.x;
    // The sums hold one value per row pair (x) or column pair (y): x 2.0 / the
    // other dimension averages them.
    const double other = static_cast<double>(y ? w.W : w.H);
    double green_power = 0.0;
    double power[4] = {};

    TextBuffer table;
    if (y)
        add_text(table, "%s%s", acf ? acf_col_title : multi_col_title, source.c_str());
    else
        add_text(table, "%s%s", acf ? acf_row_title : multi_row_title, source.c_str());
    add_text(table, "%s", acf ? lag_header : frequency_header);
    for_each_row(direction, [&](int32_t f) {
        const int32_t k = f / 2;
        // Printed and squared as single-precision values.
        const float g0 = static_cast<float>(sums.coef_sums[4][k] * scales.plane[G1] * 2.0 / other);
        const float g1 = static_cast<float>(sums.coef_sums[5][k] * scales.plane[G1] * 2.0 / other);
        add_text(table, " %4d,%10.3f, %4d,%10.3f,  %4d", f, printable(g0), f + 1, printable(g1), k);
        if (f != 0)
            green_power += static_cast<double>(g0) * static_cast<double>(g0);
        green_power += static_cast<double>(g1) * static_cast<double>(g1);
        for (int32_t c = 0; c < 4; ++c) {
            const float v = static_cast<float>(sums.coef_sums[c][k] * scales.plane[c] * 2.0 / other);
            add_text(table, ",%10.3f", printable(v));
            if (f != 0)
                power[c] += static_cast<double>(v) * static_cast<double>(v);
        }
        add_text(table, "\n");
    });
    add_rms_line(table, green_power, power);
    return table.text;
}
