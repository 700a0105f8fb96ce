// Runs the Windows programs (the .exe files of the cross build) under Wine.
#pragma once

#include <string>
#include <vector>

namespace wine {

// The shell command that runs program.exe (e.g. "quorva") with the arguments
// in the current directory, ended when it takes over two minutes (a run
// takes well under a second).
std::string command(const std::string& program, const std::vector<std::string>& args);

}  // namespace wine
