// The whole-program tests of tests/ against the Windows programs: run_captured runs
// quorva.exe or veldix.exe under Wine. What they write in text mode (the console,
// the reports) must have "\r\n" line ends; it is turned back into "\n" text.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "program_profiles.h"
#include "support/run_capture.h"

namespace fs = std::filesystem;

namespace {

// A word for the shell, quoted so that it stays one word whatever it holds.
std::string quoted(const std::string& word)
{
    std::string q = "'";
    for (const char c : word)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Wine's settings: this build's prefix, no debug output, no display, arguments
// as UTF-8, no offers to install Wine's .NET and HTML engines.
const std::string wine_env = "env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX=" WINDOWS_EXE_DIR "/wine-prefix WINEDEBUG=-all "
                             "WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8 ";

// Text written in text mode on Windows as the same text on POSIX: "\r\n" becomes
// "\n"; a "\n" without its "\r" is marked, so that it never passes for a line end.
std::string from_windows_text(const std::string& text)
{
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            lines += "[LF without CR]\n";
        else if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n')
            lines += text[i];
    return lines;
}

}  // namespace

// The shell command that runs program.exe (e.g. "quorva") with the arguments in
// the current directory, ended after two minutes (a run takes under a second).
namespace wine {
std::string command(const std::string& program, const std::vector<std::string>& args)
{
    std::string line = "timeout -s KILL 120 " + wine_env + "wine " + quoted(WINDOWS_EXE_DIR "/" + program + ".exe");
    for (const std::string& a : args)
        (line += ' ') += quoted(a);
    return line + " </dev/null";
}
}  // namespace wine

// The in-process runner of the other tests, under another name (see CMakeLists.txt).
CapturedRun run_in_process(const ProgramProfile& profile, const std::vector<std::string>& args, bool reference);

CapturedRun run_captured(const ProgramProfile& profile, const std::vector<std::string>& args, bool reference)
{
    // The plain computation on the build machine: what the programs must match.
    if (reference)
        return run_in_process(profile, args, true);
    std::map<fs::path, uintmax_t> before;
    for (const auto& entry : fs::directory_iterator(fs::current_path()))
        if (entry.is_regular_file())
            before[entry.path()] = entry.file_size();
    const std::string out = "/tmp/rawstats-wine-" + std::to_string(::getpid());
    const std::string line = wine::command(&profile == &quorva_profile() ? "quorva" : "veldix", args) + " >" + out;
    // A failed run says why; silence is Wine failing to start the program (once
    // in a thousand starts on a loaded machine): it is started again, twice at most.
    CapturedRun run;
    for (int start = 0; start == 0 || (start < 3 && run.status != 0 && run.out.empty()); ++start) {
        const int waited = std::system(line.c_str());  // 137: ended by the time limit
        run = {WIFEXITED(waited) && WEXITSTATUS(waited) != 137 ? WEXITSTATUS(waited) : -1, read_file(out)};
    }
    std::remove(out.c_str());
    // What the run appended to each file (the programs only append), turned
    // back into "\n" text in place.
    for (const auto& entry : fs::directory_iterator(fs::current_path())) {
        const uintmax_t kept = before[entry.path()];  // 0 for a new file
        if (!entry.is_regular_file() || entry.file_size() == kept)
            continue;
        const std::string text = read_file(entry.path().string());
        std::ofstream(entry.path(), std::ios::binary | std::ios::trunc) << text.substr(0, kept) << from_windows_text(text.substr(kept));
    }
    return CapturedRun{run.status, from_windows_text(run.out)};
}

namespace {

// Tests left out here, with the reason:
const char* const not_run_here =
    // '"' and control characters are not allowed in Windows file names.
    "HandWorked/WholeRuns.PrintAndLogExactlyTheHandWorkedFigures/names_that_would_break_the_reports:"
    // A link to /dev/full is a device there, refused; the others run in-process.
    "ReportFailures.FullDiskWarnsOncePerFileAndEndsWithStatus4:"
    "ReportFailures.ReadOnlyDirectoryWarnsForEveryReportAndReadOnlyImageIsMeasured:"
    "ReportFailures.ConsoleThatCannotBeWrittenEndsWithStatus4AndSaysSoOnStandardError:"
    // Steps called alone, and outside tools alone: no program runs in them.
    "Table/DerivedBinsTest.*:NormalScores.*:FitNormalLine.*:Bands/FitBandTest.*";

class WineEnvironment : public testing::Environment {
    void SetUp() override
    {
        for (const std::string program : {"quorva", "veldix", "files_helper"})
            ASSERT_TRUE(fs::exists(WINDOWS_EXE_DIR "/" + program + ".exe"))
                << WINDOWS_EXE_DIR "/" << program << ".exe is missing: build it with `make windows`.";
        // Made once per build (about 15 s; test processes started together wait
        // for it); the Wine server is waited for, so that its registry is saved.
        const std::string ready = WINDOWS_EXE_DIR "/wine-prefix/.ready";
        const std::string make = wine_env + "wine wineboot --init && " + wine_env + "wineserver -w && touch " + ready;
        const std::string line = "flock " WINDOWS_EXE_DIR "/wine-prefix.lock sh -c " +
                                 quoted("test -e " + ready + " || { " + make + "; }") + " >/dev/null";
        ASSERT_EQ(std::system(line.c_str()), 0) << "No Wine prefix in " WINDOWS_EXE_DIR;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (std::system("command -v wine >/dev/null") != 0 && !testing::GTEST_FLAG(list_tests)) {
        std::printf("Skipped: Wine is not installed, so the Windows build is not tested here "
                    "(as root, `make test` installs it: tools/check-deps test).\n");
        return 77;  // ctest's mark of a skipped test (SKIP_RETURN_CODE)
    }
    std::string filter = testing::GTEST_FLAG(filter);
    testing::GTEST_FLAG(filter) = filter + (filter.find('-') == std::string::npos ? "-" : ":") + not_run_here;
    testing::AddGlobalTestEnvironment(new WineEnvironment);
    return RUN_ALL_TESTS();
}
