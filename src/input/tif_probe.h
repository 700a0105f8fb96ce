// The TIFF probe: a one-strip 16-bit monochrome TIFF as the converter writes it
// with "-D -4 -T", and the compatibility of a second such file.
#pragma once

struct RunState;

// Room for at least a directory behind the header offset.
constexpr unsigned tif_min_bytes_after_directory = 40;

int tif_check_header(RunState& run);
int tif_probe(RunState& run);
int tif_check_format(RunState& run);
