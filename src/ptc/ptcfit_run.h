// ptcfit: photon-transfer analysis of a series of frame pairs.
#pragma once

#include <cstdio>

#include "ptc/pair_stats.h"

// Runs ptcfit on the arguments (without the program name), printing to the
// console, and returns the exit status: 0 done; 1 a refusal or an unreadable
// plan or image; 2 an image the NEF reader could not decode; 3 an output file
// could not be written.
int run_ptcfit(const ReaderProfiles& readers, int argc, const char* const* argv, std::FILE* console = stdout);
