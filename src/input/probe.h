// What a program's input probe is given and what it finds: the form every
// probe of the programs takes, so that the run (or ptcfit) can call one alone.
#pragma once

#include <cstdint>
#include <string>

#include "input/raw_image_info.h"
#include "reports/exit_status.h"

class ImageFile;
struct Console;

// The images of a run as the command line opened them.
struct ProbeInput {
    const ImageFile* image[2] = {nullptr, nullptr};  // image[1] null with one image
    std::string name[2];                             // the names every line shows
    int32_t fixed_saturation_level = 0;              // used when the file names no camera
};

struct ProbeOutcome {
    ExitStatus status = ExitStatus::completed;  // anything else ends the run (message printed)
    RawImageInfo info;
    bool second_dropped = false;  // image 2 does not match image 1: image 1 is measured alone
    bool recognised = false;      // the file is of the probe's kind, damaged or not
};

// Reads the file header and directories of image 1 (and of image 2 against
// it) and prints the file line; every failure prints its own message.
using ProbeFunction = ProbeOutcome (*)(const ProbeInput& input, Console& console);

// After the window line: whether the samples are in the form and in the place
// the probe found (may be null: the probe tested everything already).
using SampleCheck = ExitStatus (*)(const RawImageInfo& info, const ImageFile& image, Console& console);
