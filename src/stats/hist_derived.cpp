#include "stats/hist_derived.h"

#include <cmath>
#include <limits>
#include <vector>

#include "run/report_files.h"
#include "run/run_state.h"
#include "stats/cfa.h"
#include "stats/window_reader.h"
#include "reports/report_texts.h"

namespace {

// Fewer samples per plane than this give histograms too thin to fit.
constexpr double min_plane_samples = 9999.0;

// Range: (K + 1.5) SDs above the average, widened for the share of green
// samples clipped at 0, spread over at most 254 bins.
constexpr double range_margin_sds = 1.5;
constexpr double percent = 100.0;
constexpr int32_t range_bins = 255;

// The sweep integrates the normal density from z = -6 in steps of 0.001,
// taking the density at the middle of each step. The area is kept times
// sqrt(2 pi); 2.47e-9 is the normal probability below -6 on that scale.
constexpr double sqrt_two_pi = 2.506628275;
constexpr double sweep_start_z = -6.0;
constexpr double sweep_start_area = 2.47e-9;
constexpr double sweep_step = 0.001;
constexpr double sweep_half_step = 0.0005;
constexpr double sweep_end_z = 6.0;

// Added to the sample count before each colour, cumulatively, so that no
// cumulative fraction reaches 1.
constexpr double total_growth = 0.1;

// Width of the fit band below K, in SDs.
constexpr double fit_band_width = 1.3;

// -D bit that lists the fitted green bins.
constexpr int32_t debug_fit_bit = 16;

// With -O, red and blue are counted compressed: R - (R + round) / 9, B - (B + 2) / 7.
constexpr uint32_t o_red_divisor = 9;
constexpr uint32_t o_blue_round = 2;
constexpr uint32_t o_blue_divisor = 7;

// The plane whose counters hold each colour in the second pass: both greens
// pool in G1, blue goes to G2 and the B plane stays empty.
constexpr CfaChannel count_plane[3] = {R, G1, G2};

const char* const colour_label[3] = {" Red  ", " Green", " Blue "};

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

// The DN at which a bin's normal score is fitted: its upper edge, j x B + 1
// (bin 0 holds DN 0 alone; bin j >= 1 holds DN (j - 1) B + 1 .. j B). The
// score is the share of samples up to the end of the bin, and with averages
// reported + 0.5 the edge sits half a DN above the bin's last DN.
int64_t bin_fit_dn(int32_t j, int32_t width)
{
    return int64_t{j} * width + 1;
}

bool derived_stats_due(const RunState& run)
{
    if (!(run.stats.n > min_plane_samples))
        return false;
    if (run.settings.k_mode)
        return true;
    const ChannelResults& res = run.results;
    for (int c = 0; c < 3; ++c)
        if (run.profile.clip_factor * res.sd[c] > res.ave[c])
            return true;
    return false;
}

// Scores stay within a few units of the sweep for any proper fraction; the
// guard only keeps the narrowing defined.
float stored_score(double score)
{
    constexpr double largest = std::numeric_limits<float>::max();
    if (score > largest)
        return std::numeric_limits<float>::infinity();
    if (score < -largest)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(score);
}

// A DN as it is counted: with -O, red and blue compressed.
uint32_t counted_dn(CfaChannel channel, uint32_t dn, bool o_mode, uint32_t red_round)
{
    if (o_mode) {
        if (channel == R)
            return dn - (dn + red_round) / o_red_divisor;
        if (channel == B)
            return dn - (dn + o_blue_round) / o_blue_divisor;
    }
    return dn;
}

// Counts image 1's window again into the derived bins; image 2 is never read.
ReadOutcome count_window(RunState& run)
{
    const bool o_mode = run.settings.o_mode;
    const uint32_t red_round = run.profile.o_mode_red_round;
    if (!run.reference_path) {
        // How often each DN occurs per plane decides every counter: the
        // counts do not depend on the order of the samples. The sample pass
        // has counted image 1's window already.
        constexpr uint32_t dn_values = 65536;
        std::vector<uint32_t> counted_here;
        const std::vector<uint32_t>* counts = &run.stats.dn_counts;
        if (counts->size() != 4 * size_t{dn_values}) {
            const ReadOutcome read = count_window_values(run, counted_here);
            if (!read.ok())
                return read;
            counts = &counted_here;
        }
        for (int plane = 0; plane < 4; ++plane) {
            const CfaChannel channel = static_cast<CfaChannel>(plane);
            const uint32_t* count = counts->data() + static_cast<size_t>(plane) * dn_values;
            for (uint32_t dn = 0; dn < dn_values; ++dn)
                if (count[dn] != 0)
                    histogram_add_many(run.hist, count_plane[colour_of(channel)],
                                       counted_dn(channel, dn, o_mode, red_round), count[dn]);
        }
        return {};
    }

    // Sample by sample, in file order.
    const WindowSpec& w = run.window;
    const RawImageInfo& info = run.info;
    std::vector<uint16_t> row(static_cast<size_t>(w.W));
    std::vector<uint8_t> scratch;
    for (int64_t r = 0; r < w.H; ++r) {
        const int64_t image_row = w.Y + r;
        if (!read_sample_rows(run.images[0], sample_offset(info.data_offset[0], info.row_stride, w.X, image_row),
                              info.row_stride, w.W, 1, info.big_endian, row.data(), scratch)) {
            ReadOutcome read;
            read.fail(0);
            return read;
        }
        for (int64_t k = 0; k < w.W; ++k) {
            const CfaChannel channel = channel_at(image_row, w.X + k);
            const uint32_t dn = counted_dn(channel, row[static_cast<size_t>(k)], o_mode, red_round);
            histogram_add(run.hist, count_plane[colour_of(channel)], dn);
        }
    }
    return {};
}

void write_normality_curves(RunState& run, const DerivedBins& bins, const float (*z_table)[max_derived_bins])
{
    TextBuffer table;
    add_text(table, "%s", report_texts::normality_title);
    write_table_source(run, table);
    add_text(table, "%s", run.profile.normality_header);
    for (int32_t j = 0; j < bins.bins; ++j) {
        // The first DN of the bin; bin 0 holds DN 0 alone.
        const int64_t dn = j == 0 ? 0 : int64_t{j - 1} * bins.width + 1;
        add_text(table, "%4ld, %10.3lf, %10.3lf, %10.3lf\n", static_cast<long>(dn),
                 static_cast<double>(z_table[Red][j]), static_cast<double>(z_table[Green][j]),
                 static_cast<double>(z_table[Blue][j]));
    }
    add_text(table, "\n");
    append_report(run, run.reports.hist, table);
}

}  // namespace

DerivedBins derived_bins(double K, double green_sd, double green_ave, double zero_rate)
{
    DerivedBins result;
    // All green samples at 0 leave nothing to size the range from.
    if (!(zero_rate < percent))
        return result;
    const double range = ((K + range_margin_sds) * green_sd * percent / (percent - zero_rate)) + green_ave + 1;
    // Truncation toward zero must land in the signed 32-bit range. A negative
    // range cannot come from a reported average (it includes + 0.5) and an SD.
    if (!(range > -1.0 && range < 2147483648.0))
        return result;
    result.defined = true;
    result.range = static_cast<int32_t>(range);
    result.width = result.range / range_bins + 1;
    result.bins = result.range / result.width;
    return result;
}

void normal_scores(const uint32_t* counts, int32_t bins, double total, double& step_area, float* scores)
{
    double z = sweep_start_z;
    double area = sweep_start_area;
    double running = 0;
    for (int32_t j = 0; j < bins; ++j) {
        running = running + counts[j];
        const double fraction = running / total;
        // z and area never go back: the sweep crosses -6 .. 6 once per colour.
        while (fraction > area / sqrt_two_pi && z < sweep_end_z) {
            const double t = z + sweep_half_step;
            step_area = std::exp(t * t / -2.0) * sweep_step;
            area = area + step_area;
            z = z + sweep_step;
        }
        scores[j] = stored_score(z - (area / sqrt_two_pi - fraction) / (step_area / sweep_step));
    }
}

LineFit fit_normal_line(const float* scores, int32_t bins, int32_t width, double K, double channel_scale,
                        TextBuffer* debug)
{
    const LineFit undefined{not_a_number, not_a_number};

    // Reference point: the first bin above the median.
    int32_t j0 = 0;
    while (j0 < bins && !(scores[j0] > 0))
        ++j0;
    if (j0 == bins)
        return undefined;
    const int64_t x0 = bin_fit_dn(j0, width);
    const double z0 = scores[j0];

    double weight_sum = 0;
    double hist_ave = 0;
    double hist_sd = 0;
    for (int32_t j = j0 + 1; j < bins; ++j) {
        const double zj = scores[j];
        if (!(K - fit_band_width < zj && zj < K))
            continue;
        const int64_t xj = bin_fit_dn(j, width);
        const double w = std::exp(zj * zj / -2.0);
        weight_sum += w;
        // A bin with the reference score gives a vertical line: no estimate.
        const double dz = zj - z0;
        const double s = dz != 0 ? static_cast<double>(xj - x0) / dz : not_a_number;
        hist_sd += s * w;
        const double m = static_cast<double>(x0) - z0 * s;
        hist_ave += m * w;
        if (debug)
            add_text(*debug, "j=%d, SD=%6.4lf, Mean=%6.3lf\n", j, printable(s), printable(m));
    }
    if (weight_sum == 0)
        return undefined;
    hist_sd = hist_sd / (weight_sum / channel_scale);
    hist_ave = hist_ave / (weight_sum / channel_scale);
    return {hist_ave, hist_sd};
}

int histogram_derived(RunState& run)
{
    const RunSettings& s = run.settings;
    const ChannelResults& res = run.results;
    const bool log = s.stats_log && run.reports.stats.is_open();
    TextBuffer& record = run.reports.record;

    if (!derived_stats_due(run)) {
        if (log)
            add_text(record, ", , , , , , , ");
        return 0;
    }

    const DerivedBins bins = derived_bins(s.K, res.sd[Green], res.ave[Green], res.zero_rate);
    LineFit fit[3] = {{not_a_number, not_a_number}, {not_a_number, not_a_number}, {not_a_number, not_a_number}};
    float z_table[3][max_derived_bins] = {};
    if (bins.defined) {
        HistogramSet& hist = run.hist;
        hist.start = 1;
        hist.width = bins.width;
        hist.bins = bins.bins;
        clear_histogram_counts(hist);
        const ReadOutcome read = count_window(run);
        if (!read.ok())
            return unable_to_read(run, read);

        // The count grows before each colour and keeps its growth; the step
        // area carries over from colour to colour.
        double n_work = run.stats.n;
        double step_area = first_step_area;
        for (int c = 0; c < 3; ++c) {
            n_work = n_work + total_growth;
            const double total = c == Green ? 2.0 * n_work : n_work;
            normal_scores(hist.counts[count_plane[c]], bins.bins, total, step_area, z_table[c]);
        }

        const bool list_green = run.profile.debug_fit_lines && (s.debug_bits & debug_fit_bit) != 0;
        for (int c = 0; c < 3; ++c) {
            TextBuffer debug;
            fit[c] = fit_normal_line(z_table[c], bins.bins, bins.width, s.K, s.channel_scale[c],
                                     c == Green && list_green ? &debug : nullptr);
            if (!debug.text.empty())
                say(run.console, "%s", debug.text.c_str());
        }
    }

    say(run.console, "Histogram-derived:\n");
    for (int c = 0; c < 3; ++c)
        say(run.console, "%s ave %5.2lf, SD %5.2lf\n", colour_label[c], printable(fit[c].ave), printable(fit[c].sd));
    if (log)
        add_text(record, ", From Hist:, %6.2lf,%6.2lf,%6.2lf,%6.2lf,%6.2lf,%6.2lf", printable(fit[Red].ave),
                 printable(fit[Green].ave), printable(fit[Blue].ave), printable(fit[Red].sd),
                 printable(fit[Green].sd), printable(fit[Blue].sd));

    if (!s.k_mode || !bins.defined)
        return 0;
    // The histogram log is open only when a histogram switch opened it.
    if (!run.reports.hist.is_open() && !open_report(run.reports.hist, run.profile.hist_log_name))
        return 3;
    write_normality_curves(run, bins, z_table);
    return 0;
}
