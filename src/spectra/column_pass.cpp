#include "spectra/column_pass.h"

#include "run/run_state.h"

void column_pass(RunState&) {}
void write_column_spectra(RunState&) {}
