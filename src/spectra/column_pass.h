// Spectra along the columns in multi-line mode: a second read of the window,
// column pair by column pair, and the multi-column table.
#pragma once

struct RunState;

void column_pass(RunState& run);
void write_column_spectra(RunState& run);
