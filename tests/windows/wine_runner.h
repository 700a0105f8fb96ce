// Runs the Windows programs (the .exe files of the cross build) under Wine,
// in the current directory, and reads what they write the way a Windows
// reader would: text with "\r\n" line ends.
#pragma once

#include <string>
#include <vector>

namespace wine {

// Wine and the cross-built programs, found once per process.
struct Setup {
    std::string wine;         // the Wine loader; empty when Wine is not installed
    std::string exe_dir;      // where quorva.exe and the others are
    std::string prefix;       // the Wine prefix of this build (WINEPREFIX)
};
const Setup& setup();

// Creates the Wine prefix when it is missing (once per build; other test
// processes wait for it). False with the reason when it cannot be made.
bool ensure_prefix(std::string& reason);

struct ExeRun {
    int status = -1;       // the exit status; -1 when it did not end by itself
    std::string out, err;  // standard output and standard error as written
};

// Starts program.exe (e.g. "quorva") with the arguments in the current
// directory. stdout_path: where its standard output goes instead of being
// captured ("" captures it, closed_output leaves it closed). finish() waits
// for it; run() does both.
inline const std::string closed_output = "<closed>";
struct Started {
    int pid = -1;
    std::string out_path, err_path;
    bool capture_out = true;
};
Started start(const std::string& program, const std::vector<std::string>& args,
              const std::string& stdout_path = "");
ExeRun finish(const Started& started);
ExeRun run(const std::string& program, const std::vector<std::string>& args);

// Text written in text mode on Windows, as the same text on POSIX: each
// "\r\n" becomes "\n". A "\n" without its "\r" is marked "[LF without CR]"
// so that it can never pass for a line end.
std::string from_windows_text(const std::string& text);

}  // namespace wine
