// The command line: switches into RunSettings, image names opened.
#pragma once

#include <string>

struct RunState;
struct ProgramProfile;
struct Console;

// Sentinel of parse_arguments: the arguments were read and the run goes on.
constexpr int continue_run = -1;

// Reads the arguments left to right, opening the images as they are named.
// Returns continue_run, or the exit status that ends the run (0 after the usage
// text, 1 after an error), its text already printed.
int parse_arguments(RunState& run, int argc, const char* const* argv);

void print_usage(const ProgramProfile& profile, Console& console);

// strtol semantics from the value text, clamped to the 32-bit range.
int32_t switch_value(const char* text);
