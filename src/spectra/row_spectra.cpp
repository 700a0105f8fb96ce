#include "spectra/row_spectra.h"

#include <algorithm>

#include "run/run_state.h"

namespace {

// Fewest frequencies a table reports.
constexpr int64_t min_ft_upper = 4;

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

void row_pair_step(RunState&) {}
void write_ft_tables(RunState&) {}
void write_row_spectra(RunState&) {}
