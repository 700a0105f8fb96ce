// Spectra along the rows: mode selection, the per-row-pair step of the
// multi-line mode, the -F tables and the multi-row table.
#pragma once

#include <cstdint>

struct RunState;
struct RunSettings;
struct WindowSpec;
struct SpectraState;

// Derives ft_upper and the spans once the window is final (call when -F or -M is on).
void derive_spectrum_spans(RunSettings& settings, const WindowSpec& window, SpectraState& spectra);

// Adds the spectra of lines 0..3 and of their combined green sequence to the
// averaging stores: one row pair (length W) or one column pair (length H).
void accumulate_line_spectra(RunState& run, int32_t length, int32_t span);

// After each completed row pair in multi-line mode, when span_x > 1.
void row_pair_step(RunState& run);

// The "Ave-row DFT coef mags" and "Ave-column DFT coef mags" tables (-F).
void write_ft_tables(RunState& run);

// Scale factors and the multi-row table (-M, -A).
void write_row_spectra(RunState& run);

// The direction of a table: x along the window rows (lines 0..3, power sums
// 0..3 and green 0), y along the columns (power sums 4..7 and green 1).
enum class SpectrumAxis { x, y };

// A multi-line table from the averaging stores, closed by its RMS line.
void write_multi_table(RunState& run, SpectrumAxis axis);
