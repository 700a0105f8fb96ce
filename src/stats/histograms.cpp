#include "stats/histograms.h"

#include <algorithm>

#include "run/report_files.h"
#include "run/run_state.h"
#include "reports/report_texts.h"

namespace {

// The histogram covers 14-bit data with room to spare.
constexpr int64_t dn_range = 16384;

int32_t to_int32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

void normalise_histogram(const ProgramProfile& profile, RunSettings& settings, HistogramSet& hist)
{
    // 64-bit throughout: switch values reach the whole 32-bit range.
    int64_t S = settings.S;
    int64_t B = settings.B;
    int64_t E = settings.E;
    int64_t N = settings.N;

    if (S < profile.hist_start_floor)
        S = profile.hist_start_floor;
    N = std::clamp<int64_t>(N, 1, max_histogram_bins);
    if (S + N > dn_range - 2)
        S = dn_range - 1 - N;
    if (E != 0) {
        const int64_t lowest_end = S + N - 1 + profile.hist_end_extra;
        if (E < lowest_end)
            E = lowest_end;
        B = (E - S + N / 2) / N;  // the nearest whole width
    } else {
        B = std::clamp<int64_t>(B, 1, dn_range);
        if (N * B > dn_range)
            N = dn_range / B;
        if (S + N * B > dn_range)
            S = dn_range - N * B;
    }

    settings.S = to_int32(S);
    settings.B = to_int32(B);
    settings.E = to_int32(E);
    settings.N = to_int32(N);
    hist.start = settings.S;
    hist.width = settings.B;
    hist.bins = settings.N;
    clear_histogram_counts(hist);
}

void clear_histogram_counts(HistogramSet& hist)
{
    for (auto& plane : hist.counts)
        std::fill(std::begin(plane), std::end(plane), 0u);
}

void write_histogram_table(RunState& run)
{
    const HistogramSet& hist = run.hist;
    TextBuffer table;
    add_text(table, "%s", report_texts::histogram_title);
    write_table_source(run, table);
    add_text(table, "%s", run.profile.hist_header);
    for (int32_t k = 0; k <= hist.bins + 1; ++k) {
        const int64_t base = k == 0 ? 0 : int64_t{hist.start} + int64_t{k - 1} * hist.width;
        add_text(table, "%6ld, %9ld, %9ld, %9ld, %9ld\n", static_cast<long>(base),
                 static_cast<long>(hist.counts[R][k]), static_cast<long>(hist.counts[G1][k]),
                 static_cast<long>(hist.counts[B][k]), static_cast<long>(hist.counts[G2][k]));
    }
    add_text(table, "\n");
    append_report(run, run.reports.hist, table);
}
