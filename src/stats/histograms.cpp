#include "stats/histograms.h"

#include <algorithm>

#include "reports/report_texts.h"
#include "reports/text_out.h"

namespace {

// The histogram covers 14-bit data with room to spare.
constexpr int64_t dn_range = 16384;

int32_t to_int32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

HistogramSpec normalise_histogram(const HistogramRules& rules, int32_t S_value, int32_t B_value, int32_t E_value,
                                  int32_t N_value)
{
    // 64-bit throughout: switch values reach the whole 32-bit range.
    int64_t S = S_value;
    int64_t B = B_value;
    int64_t E = E_value;
    int64_t N = N_value;

    if (S < rules.start_floor)
        S = rules.start_floor;
    N = std::clamp<int64_t>(N, 1, max_histogram_bins);
    if (S + N > dn_range - 2)
        S = dn_range - 1 - N;
    if (E != 0) {
        const int64_t lowest_end = S + N - 1 + rules.end_extra;
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
    return HistogramSpec{to_int32(S), to_int32(B), to_int32(N)};
}

std::string histogram_table(const HistogramSpec& layout, const HistogramCounts& counts, const std::string& source,
                            const char* header)
{
    TextBuffer table;
    add_text(table, "%s%s", report_texts::histogram_title, source.c_str());
    add_text(table, "%s", header);
    for (int32_t k = 0; k <= layout.bins + 1; ++k) {
        const int64_t base = k == 0 ? 0 : int64_t{layout.start} + int64_t{k - 1} * layout.width;
        add_text(table, "%6ld, %9ld, %9ld, %9ld, %9ld\n", static_cast<long>(base),
                 static_cast<long>(counts.counts[R][k]), static_cast<long>(counts.counts[G1][k]),
                 static_cast<long>(counts.counts[B][k]), static_cast<long>(counts.counts[G2][k]));
    }
    add_text(table, "\n");
    return table.text;
}
