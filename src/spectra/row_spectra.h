// Spectra along the rows: mode selection, the per-row-pair step of the
// multi-line mode, the -F tables and the multi-row table.
#pragma once

struct RunState;
struct RunSettings;
struct WindowSpec;
struct SpectraState;

// Derives ft_upper and the spans once the window is final (call when -F or -M is on).
void derive_spectrum_spans(RunSettings& settings, const WindowSpec& window, SpectraState& spectra);

// After each completed row pair in multi-line mode, when span_x > 1.
void row_pair_step(RunState& run);

// The "Ave-row DFT coef mags" and "Ave-column DFT coef mags" tables (-F).
void write_ft_tables(RunState& run);

// Scale factors and the multi-row table (-M, -A).
void write_row_spectra(RunState& run);
