// The command line: switches into RunSettings, image names opened.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "reports/exit_status.h"
#include "run/run_settings.h"

class ImageFile;
struct ProgramProfile;
struct Console;

// Reads the arguments left to right, opening the images as they are named.
// Returns nothing when the run goes on (image 1 is open), or the status that
// ends it (after the usage text, or an error), its text already printed.
std::optional<ExitStatus> parse_arguments(const ProgramProfile& profile, int argc, const char* const* argv,
                                          RunSettings& settings, ImageFile (&images)[2], Console& console);

void print_usage(const ProgramProfile& profile, Console& console);

// One argument, classified: a switch ("-W300", "/W300" and "W=300" alike, not
// case sensitive; its value read from the third character on) or a file name.
struct SwitchArgument {
    bool is_switch = false;
    char letter = 0;  // upper case; 0 for "-" alone
    bool has_value = false;
    int32_t value = 0;
};
SwitchArgument read_switch_argument(const std::string& argument);

// The effects of a switch on the settings ('?' has none here: the usage text
// is the argument loop's).
void apply_switch(const ProgramProfile& profile, const SwitchArgument& sw, RunSettings& settings);

// strtol semantics from the value text, clamped to the 32-bit range.
int32_t switch_value(const char* text);
