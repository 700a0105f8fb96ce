// ptcfit: photon-transfer characterisation of a series of frame pairs.
#pragma once

#include <string>

#include "ptc/pair_reader.h"

// Runs ptcfit on the arguments (without the program name), appending what it
// prints to console, and returns the exit status: 0 done (or the usage
// asked for); 1 a refusal or an unreadable plan or image; 2 an image the NEF
// reader could not decode; 3 an output file could not be written.
int run_ptcfit(const ReaderProfiles& readers, int argc, const char* const* argv, std::string& console);
