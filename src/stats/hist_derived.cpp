#include "stats/hist_derived.h"

#include <cmath>
#include <limits>

#include "reports/report_texts.h"
#include "reports/text_out.h"
#include "stats/cfa.h"
#include "stats/channel_stats.h"
#include "stats/histograms.h"
#include "stats/sample_pass.h"

namespace {

// Fewer samples per plane than this give histograms too thin to fit.
constexpr double min_plane_samples = 9999.0;

// -D bit that lists the fitted green bins.
constexpr int32_t debug_fit_bit = 16;

// With -O, red and blue are counted compressed: R - (R + round) / 9, B - (B + 2) / 7.
constexpr uint32_t o_red_divisor = 9;
constexpr uint32_t o_blue_round = 2;
constexpr uint32_t o_blue_divisor = 7;

// The plane whose counters hold each colour in the second count: both greens
// pool in G1, blue goes to G2 and the B plane stays empty.
constexpr CfaChannel count_plane[3] = {R, G1, G2};

const char* const colour_label[3] = {" Red  ", " Green", " Blue "};

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

bool derived_stats_due(const DerivedRequest& request)
{
    if (!(request.n > min_plane_samples))
        return false;
    if (request.k_mode)
        return true;
    const ChannelResults& res = *request.results;
    for (int c = 0; c < 3; ++c)
        if (request.rules->clip_factor * res.sd[c] > res.ave[c])
            return true;
    return false;
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

// Counts image 1's window into the derived bins from how often each DN
// occurs; image 2 is never read.
void count_into_bins(const DerivedRequest& request, const std::vector<uint32_t>& counts, const HistogramSpec& layout,
                     HistogramCounts& histogram)
{
    const uint32_t red_round = request.rules->o_mode_red_round;
    for (int plane = 0; plane < 4; ++plane) {
        const CfaChannel channel = static_cast<CfaChannel>(plane);
        const uint32_t* count = counts.data() + static_cast<size_t>(plane) * dn_values;
        for (uint32_t dn = 0; dn < dn_values; ++dn)
            if (count[dn] != 0)
                histogram_add(layout, histogram, count_plane[colour_of(channel)],
                              counted_dn(channel, dn, request.o_mode, red_round), count[dn]);
    }
}

}  // namespace

DerivedFigures histogram_derived(const DerivedRequest& request)
{
    DerivedFigures figures;
    for (LineFit& fit : figures.fit)
        fit = {not_a_number, not_a_number};
    if (!derived_stats_due(request))
        return figures;
    figures.due = true;

    const ChannelResults& res = *request.results;
    figures.bins = derived_bins(request.K, res.sd[Green], res.ave[Green], res.zero_rate);
    const DerivedBins& bins = figures.bins;
    if (!bins.defined)
        return figures;

    // The counts do not depend on the order of the samples: those of the
    // pass serve, else the window is counted again.
    std::vector<uint32_t> counted_here;
    const std::vector<uint32_t>* counts = request.dn_counts;
    if (counts == nullptr || counts->size() != 4 * dn_values) {
        figures.read = count_window_values(*request.window, counted_here);
        if (!figures.read.ok())
            return figures;
        counts = &counted_here;
    }
    const HistogramSpec layout{1, bins.width, bins.bins};
    auto histogram = std::make_unique<HistogramCounts>();
    count_into_bins(request, *counts, layout, *histogram);

    // The count grows before each colour and keeps its growth; the step area
    // carries over from colour to colour.
    double n_work = request.n;
    double step_area = first_step_area;
    for (int c = 0; c < 3; ++c) {
        n_work = n_work + total_growth;
        const double total = c == Green ? 2.0 * n_work : n_work;
        normal_scores(histogram->counts[count_plane[c]], bins.bins, total, step_area, figures.z_table[c]);
    }

    const bool list_green = request.rules->debug_fit_lines && (request.debug_bits & debug_fit_bit) != 0;
    for (int c = 0; c < 3; ++c) {
        TextBuffer debug;
        figures.fit[c] = fit_normal_line(figures.z_table[c], bins.bins, bins.width, request.K, request.channel_scale[c],
                                         c == Green && list_green ? &debug : nullptr);
        figures.debug += debug.text;
    }
    return figures;
}

void print_derived(Console& console, const DerivedFigures& figures)
{
    if (!figures.due)
        return;
    say(console, "%s", figures.debug.c_str());
    say(console, "Histogram-derived:\n");
    for (int c = 0; c < 3; ++c)
        say(console, "%s ave %5.2lf, SD %5.2lf\n", colour_label[c], printable(figures.fit[c].ave),
            printable(figures.fit[c].sd));
}

void add_record_derived(TextBuffer& record, const DerivedFigures& figures)
{
    if (!figures.due) {
        add_text(record, ", , , , , , , ");
        return;
    }
    const LineFit* fit = figures.fit;
    add_text(record, ", %s, %6.2lf,%6.2lf,%6.2lf,%6.2lf,%6.2lf,%6.2lf", report_texts::record_from_hist,
             printable(fit[Red].ave), printable(fit[Green].ave), printable(fit[Blue].ave), printable(fit[Red].sd),
             printable(fit[Green].sd), printable(fit[Blue].sd));
}

std::string normality_table(const DerivedFigures& figures, const char* header, const std::string& source)
{
    TextBuffer table;
    add_text(table, "%s%s", report_texts::normality_title, source.c_str());
    add_text(table, "%s", header);
    for (int32_t j = 0; j < figures.bins.bins; ++j) {
        // The first DN of the bin; bin 0 holds DN 0 alone.
        const int64_t dn = j == 0 ? 0 : int64_t{j - 1} * figures.bins.width + 1;
        add_text(table, "%4ld, %10.3lf, %10.3lf, %10.3lf\n", static_cast<long>(dn),
                 static_cast<double>(figures.z_table[Red][j]), static_cast<double>(figures.z_table[Green][j]),
                 static_cast<double>(figures.z_table[Blue][j]));
    }
    add_text(table, "\n");
    return table.text;
}
