// Spectra along the columns in multi-line mode: a second read of the window,
// column pair by column pair, and the multi-column table.
#pragma once

#include "stats/window_reader.h"

struct RunState;

// False (with the image) when a sample of the window could not be read.
ReadOutcome column_pass(RunState& run);
void write_column_spectra(RunState& run);
