// One run of a program, from the arguments to the exit status.
#pragma once

#include <cstdio>

struct ProgramProfile;

// Runs the program described by the profile on the arguments, printing to the
// console stream, and returns the exit status. Report files are written in the
// current directory.
int run_program(const ProgramProfile& profile, int argc, const char* const* argv, std::FILE* console = stdout);

// How a run computes, for tests and benchmarks; the programs use the defaults.
struct RunOptions {
    bool reference_path = false;  // see RunState::reference_path
};

int run_program(const ProgramProfile& profile, int argc, const char* const* argv, std::FILE* console,
                const RunOptions& options);

// A program's main(): the run on standard output, which is known to be lost
// when it was closed at the start.
int run_main(const ProgramProfile& profile, int argc, const char* const* argv);
