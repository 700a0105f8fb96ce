// The reportplot command: reads the report files of a directory, draws their
// tables as SVG files and shows them on one page, index.html.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace plot {

// Exit statuses: at least one plot written (or the usage text shown); no
// complete table found, or arguments not understood; an output file, the
// output directory or the console could not be written.
constexpr int status_plots_written = 0;
constexpr int status_no_table = 1;
constexpr int status_write_failed = 2;

// Runs the command with its arguments (without the program's name); messages
// go to the console stream, and a failure to write the console goes to the
// error stream. Returns the exit status.
int reportplot_main(const std::vector<std::string>& args, std::FILE* console, std::FILE* errors);

}  // namespace plot
