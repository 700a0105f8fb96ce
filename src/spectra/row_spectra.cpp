#include "spectra/row_spectra.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "run/run_state.h"
#include "spectra/fast_spectrum.h"
#include "spectra/parallel_work.h"
#include "stats/cfa.h"
#include "reports/report_texts.h"

namespace {

// Fewest frequencies a table reports.
constexpr int64_t min_ft_upper = 4;

// The -F lines hold ten times the average d: sum x 20 / window dimension.
constexpr int64_t tenths_scale = 20;

// Percent of the window variance.
constexpr double acf_percent = 100.0;

// Line of the combined green sequence (G1 interleaved with G2 two lines on).
constexpr int32_t green_line_x = 1;
constexpr int32_t green_line_y = 5;
constexpr int32_t green_pair_step = 2;


// The RMS line: square roots of the plain sums of squares, under the second
// G column and the four plane columns.
void add_rms_line(TextBuffer& table, double green_power, const double* power)
{
    add_text(table, "  RMS:   ,      ,     ,%10.3lf,      ,%10.3lf,%10.3lf,%10.3lf,%10.3lf\n",
             printable(std::sqrt(green_power)), printable(std::sqrt(power[0])), printable(std::sqrt(power[1])),
             printable(std::sqrt(power[2])), printable(std::sqrt(power[3])));
}

// Rescales one line in place: (v x 20) / dimension, the product in 64 bits
// (tall windows pass 2^31) and the quotient truncated toward zero.
void rescale_to_tenths(int32_t* values, int64_t count, int64_t dimension)
{
    for (int64_t i = 0; i < count; ++i)
        values[i] = static_cast<int32_t>((int64_t{values[i]} * tenths_scale) / dimension);
}

// The raw values (fast_spectrum.h) of one -F table, computed in one go: the
// combined green sequence at f and f + 1 and the four planes at f / 2, for
// every row of the table.
class FtTableValues {
public:
    FtTableValues(const ProfileSet& lines, KernelMode mode, int32_t first_line, int32_t green, int32_t length,
                  int32_t span)
        : half_(length / 2),
          green_block_(mode.autocorr, std::max(length, 1), 1),
          plane_block_(mode.autocorr, std::max(half_, 1), 4)
    {
        const int32_t f0 = half_ - span;
        if (f0 < 0 || half_ < 1 || half_ > line_capacity)
            return;
        const int32_t f_last = f0 + 2 * ((half_ - f0) / 2);
        green_first_ = f0;
        green_freqs_ = std::min(f_last + 1, length / 2) - f0 + 1;
        plane_first_ = f0 / 2;
        plane_freqs_ = f_last / 2 - plane_first_ + 1;
        green_raw_.assign(static_cast<size_t>(green_freqs_), 0.0);
        plane_raw_.assign(static_cast<size_t>(4 * plane_freqs_), 0.0);
        green_block_.load(0, LineSequence{lines.line[green], lines.line[green + green_pair_step]});
        for (int32_t c = 0; c < 4; ++c)
            plane_block_.load(c, LineSequence{lines.line[first_line + c], nullptr});
        const SpectrumTask tasks[2] = {
            {&green_block_, 1, green_first_, green_freqs_, green_raw_.data()},
            {&plane_block_, 4, plane_first_, plane_freqs_, plane_raw_.data()},
        };
        compute_spectrum_tasks(tasks, 2, worker_count());
    }

    double green_raw(int32_t f) const { return pick(green_raw_, 0, green_first_, green_freqs_, f); }
    double plane_raw(int32_t c, int32_t k) const { return pick(plane_raw_, c, plane_first_, plane_freqs_, k); }

private:
    static double pick(const std::vector<double>& raw, int32_t row, int32_t first, int32_t freqs, int32_t f)
    {
        const int32_t j = f - first;
        if (j < 0 || j >= freqs)
            return 0.0;
        return raw[static_cast<size_t>(row * freqs + j)];
    }

    int32_t half_;
    SequenceBlock green_block_;
    SequenceBlock plane_block_;
    int32_t green_first_ = 0;
    int32_t green_freqs_ = 0;
    int32_t plane_first_ = 0;
    int32_t plane_freqs_ = 0;
    std::vector<double> green_raw_;
    std::vector<double> plane_raw_;
};

// One -F table: the average row (x) or the average column (y).
void write_ft_table(RunState& run, SpectrumAxis axis)
{
    const bool y = axis == SpectrumAxis::y;
    const int32_t length = static_cast<int32_t>(y ? run.window.H : run.window.W);
    const int32_t span = y ? run.spectra.span_y : run.spectra.span_x;
    const int32_t green_line = y ? green_line_y : green_line_x;
    const int32_t first_line = y ? 4 : 0;
    const int32_t half = length / 2;
    const KernelMode mode = kernel_mode(run.settings);
    const ProfileSet& lines = run.profiles;
    SpectraState& sp = run.spectra;

    // The fast path computes every value first; the power sums are still
    // added value by value in the order below.
    std::unique_ptr<FtTableValues> fast;
    if (!run.reference_path)
        fast = std::make_unique<FtTableValues>(lines, mode, first_line, green_line, length, span);
    auto green_value = [&](int32_t f) {
        if (!fast)
            return SpectrumKernel(lines, sp, mode, green_line, green_pair_step, length, f);
        return finish_kernel_value(mode, sp, fast->green_raw(f), green_line, green_pair_step, length, f);
    };
    auto plane_value = [&](int32_t c, int32_t k) {
        if (!fast)
            return SpectrumKernel(lines, sp, mode, first_line + c, 0, half, k);
        return finish_kernel_value(mode, sp, fast->plane_raw(c, k), first_line + c, 0, half, k);
    };

    TextBuffer table;
    add_text(table, "%s", y ? report_texts::ft_col_title : report_texts::ft_row_title);
    write_table_source(run, table);
    add_text(table, "%s", report_texts::frequency_header);
    for (int32_t f = half - span; f <= half; f += 2) {
        // The kernel adds to the power sums, so the calls keep the column order.
        const double g0 = green_value(f);
        const double g1 = green_value(f + 1);
        add_text(table, " %4d,%10.3lf, %4d,%10.3lf,  %4d", f, printable(g0), f + 1, printable(g1), f / 2);
        for (int32_t c = 0; c < 4; ++c) {
            const double v = plane_value(c, f / 2);
            add_text(table, ",%10.3lf", printable(v));
        }
        add_text(table, "\n");
    }
    add_rms_line(table, sp.green_power_sum[y ? 1 : 0], sp.power_sum + first_line);
    append_report(run, run.reports.spectrum, table);
}

// 100 / variance; a plane without variance has no defined ACF, and NaN carries
// that to every value and to the RMS cell of its columns.
double acf_scale_for(double variance)
{
    if (variance > 0.0)
        return acf_percent / variance;
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

void derive_spectrum_spans(RunSettings& settings, const WindowSpec& window, SpectraState& spectra)
{
    // Doubled exactly, saturating instead of wrapping.
    int64_t upper = std::min<int64_t>(int64_t{2} * settings.ft_upper, INT32_MAX);
    if (upper < min_ft_upper)
        upper = min_ft_upper;
    settings.ft_upper = static_cast<int32_t>(upper);
    spectra.span_x = settings.row_lines ? static_cast<int32_t>(std::min<int64_t>(window.W / 2, upper)) : 0;
    spectra.span_y = settings.col_lines ? static_cast<int32_t>(std::min<int64_t>(window.H / 2, upper)) : 0;
}

void accumulate_line_spectra(RunState& run, int32_t length, int32_t span)
{
    const KernelMode mode = kernel_mode(run.settings);
    const ProfileSet& lines = run.profiles;
    SpectraState& sp = run.spectra;
    const int32_t half = length / 2;
    for (int32_t f = half - span; f <= half; f += 2) {
        const int32_t k = f / 2;
        // Each result is rounded to single precision before it is added.
        for (int32_t c = 0; c < 4; ++c)
            sp.coef_sums[c][k] += static_cast<float>(SpectrumKernel(lines, sp, mode, c, 0, half, k));
        sp.coef_sums[4][k] +=
            static_cast<float>(SpectrumKernel(lines, sp, mode, green_line_x, green_pair_step, length, f));
        sp.coef_sums[5][k] +=
            static_cast<float>(SpectrumKernel(lines, sp, mode, green_line_x, green_pair_step, length, f + 1));
    }
}

void row_pair_step(RunState& run)
{
    accumulate_line_spectra(run, static_cast<int32_t>(run.window.W), run.spectra.span_x);
}

void write_ft_tables(RunState& run)
{
    const WindowSpec& w = run.window;
    // Only the entries the window fills; the rest are 0 and stay 0.
    const int64_t columns = std::min<int64_t>(w.W / 2, line_capacity);
    const int64_t rows = std::min<int64_t>(w.H / 2, line_capacity);
    for (int c = 0; c < 4; ++c) {
        rescale_to_tenths(run.profiles.col_sums(c), columns, w.H);
        rescale_to_tenths(run.profiles.row_sums(c), rows, w.W);
    }
    if (run.spectra.span_x > 1)
        write_ft_table(run, SpectrumAxis::x);
    if (run.spectra.span_y > 1)
        write_ft_table(run, SpectrumAxis::y);
}

void write_row_spectra(RunState& run)
{
    SpectraState& sp = run.spectra;
    // Set here also when there is no row table: the column table uses them.
    if (run.settings.autocorr) {
        const double* variance = run.results.variance;
        sp.acf_scale[R] = acf_scale_for(variance[Red]);
        sp.acf_scale[G1] = acf_scale_for(variance[Green]);
        sp.acf_scale[B] = acf_scale_for(variance[Blue]);
        sp.acf_scale[G2] = acf_scale_for(variance[Green]);
    } else {
        for (double& scale : sp.acf_scale)
            scale = 1.0;
    }
    if (sp.span_x > 1)
        write_multi_table(run, SpectrumAxis::x);
}

void write_multi_table(RunState& run, SpectrumAxis axis)
{
    const bool y = axis == SpectrumAxis::y;
    const bool acf = run.settings.autocorr;
    const int32_t length = static_cast<int32_t>(y ? run.window.H : run.window.W);
    // The sums hold one value per row pair (x) or column pair (y): x 2.0 / the
    // other dimension averages them.
    const double other = static_cast<double>(y ? run.window.W : run.window.H);
    const int32_t span = y ? run.spectra.span_y : run.spectra.span_x;
    const int32_t half = length / 2;
    SpectraState& sp = run.spectra;
    double& green_power = sp.green_power_sum[y ? 1 : 0];
    double* power = sp.power_sum + (y ? 4 : 0);

    TextBuffer table;
    if (y)
        add_text(table, "%s", acf ? report_texts::acf_col_title : report_texts::multi_col_title);
    else
        add_text(table, "%s", acf ? report_texts::acf_row_title : report_texts::multi_row_title);
    write_table_source(run, table);
    add_text(table, "%s", acf ? report_texts::lag_header : report_texts::frequency_header);
    for (int32_t f = half - span; f <= half; f += 2) {
        const int32_t k = f / 2;
        // Printed and squared as single-precision values.
        const float g0 = static_cast<float>(sp.coef_sums[4][k] * sp.acf_scale[G1] * 2.0 / other);
        const float g1 = static_cast<float>(sp.coef_sums[5][k] * sp.acf_scale[G1] * 2.0 / other);
        add_text(table, " %4d,%10.3f, %4d,%10.3f,  %4d", f, printable(g0), f + 1, printable(g1), k);
        if (f != 0)
            green_power += static_cast<double>(g0) * static_cast<double>(g0);
        green_power += static_cast<double>(g1) * static_cast<double>(g1);
        for (int32_t c = 0; c < 4; ++c) {
            const float v = static_cast<float>(sp.coef_sums[c][k] * sp.acf_scale[c] * 2.0 / other);
            add_text(table, ",%10.3f", printable(v));
            if (f != 0)
                power[c] += static_cast<double>(v) * static_cast<double>(v);
        }
        add_text(table, "\n");
    }
    add_rms_line(table, green_power, power);
    append_report(run, run.reports.spectrum, table);
}
