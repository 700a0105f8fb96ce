// The whole-program tests, run against the Windows programs: run_captured
// starts quorva.exe or veldix.exe under Wine instead of running the code
// in-process. Everything the program writes in text mode (the console, the
// report files) must have "\r\n" line ends and otherwise the bytes the
// tests expect; it is turned back into "\n" text for them, and a "\n"
// without its "\r" is marked so that it fails every comparison.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "program_profiles.h"
#include "support/run_capture.h"
#include "wine_runner.h"

namespace fs = std::filesystem;

// The in-process runner of the other tests, under another name (see CMakeLists.txt).
CapturedRun run_in_process(const ProgramProfile& profile, const std::vector<std::string>& args, bool reference);

namespace {

// The size of every regular file in the current directory.
std::map<std::string, uintmax_t> sizes_here()
{
    std::map<std::string, uintmax_t> sizes;
    for (const auto& entry : fs::directory_iterator(fs::current_path()))
        if (entry.is_regular_file())
            sizes[entry.path().filename().string()] = entry.file_size();
    return sizes;
}

// What a run appended to each file, turned back into "\n" text in place.
// The programs only ever append, so the bytes before the old end stay.
void convert_appended_text(const std::map<std::string, uintmax_t>& before)
{
    for (const auto& [name, size] : sizes_here()) {
        const auto old = before.find(name);
        const uintmax_t kept = old == before.end() ? 0 : old->second;
        if (old != before.end() && size == kept)
            continue;
        const std::string text = read_file(name);
        if (text.size() < kept) {
            ADD_FAILURE() << name << " shrank during the run";
            continue;
        }
        std::ofstream(name, std::ios::binary | std::ios::trunc)
            << text.substr(0, kept) << wine::from_windows_text(text.substr(kept));
    }
}

}  // namespace

CapturedRun run_captured(const ProgramProfile& profile, const std::vector<std::string>& args, bool reference)
{
    // The plain computation on the build machine: what the programs must match.
    if (reference)
        return run_in_process(profile, args, true);
    const std::string program = &profile == &quorva_profile() ? "quorva" : "veldix";
    const auto before = sizes_here();
    const wine::ExeRun run = wine::run(program, args);
    convert_appended_text(before);
    return CapturedRun{run.status, wine::from_windows_text(run.out)};
}

namespace {

class WineEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        const wine::Setup& s = wine::setup();
        for (const char* program : {"quorva", "veldix"})
            ASSERT_TRUE(fs::exists(s.exe_dir + "/" + program + ".exe"))
                << s.exe_dir << "/" << program << ".exe is missing: build it with `make windows`.";
        std::string reason;
        ASSERT_TRUE(wine::ensure_prefix(reason)) << "No Wine prefix in " << s.prefix << ": " << reason;
    }
};

// Tests left out here, with the reason:
const char* const not_run_here =
    // Arguments reach a Windows program as UTF-16 text: bytes that are not
    // UTF-8 (0xE9, 0xFF) cannot be passed at all.
    "HostileInputs.BytesAboveAsciiAreNeitherSwitchesNorUpperCased:"
    // '"' and control characters are not allowed in Windows file names.
    "HandWorked/WholeRuns.PrintAndLogExactlyTheHandWorkedFigures/names_that_would_break_the_reports:"
    // A symbolic link to /dev/full is a device on Windows, refused when opened;
    // the other two run the code in-process in a child without root's rights.
    "ReportFailures.FullDiskWarnsOncePerFileAndEndsWithStatus4:"
    "ReportFailures.ReadOnlyDirectoryWarnsForEveryReportAndReadOnlyImageIsMeasured:"
    "ReportFailures.ConsoleThatCannotBeWrittenEndsWithStatus4AndSaysSoOnStandardError:"
    // Steps called alone, and outside tools alone: no program runs in them.
    "Table/DerivedBinsTest.*:NormalScores.*:FitNormalLine.*:Bands/FitBandTest.*:"
    "DcrawRoundTrip.KeepsEverySampleInTheFileHeadersByteOrder:ByteOrders/ExiftoolReads.AnUncompressed*";

}  // namespace

// ctest reports the tests as skipped when the driver ends with this status.
constexpr int status_skipped = 77;

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (wine::setup().wine.empty() && !testing::GTEST_FLAG(list_tests)) {
        std::printf("Skipped: Wine is not installed, so the Windows build is not tested here "
                    "(as root, `make test` installs it: tools/check-deps test).\n");
        return status_skipped;
    }
    std::string filter = testing::GTEST_FLAG(filter);
    filter += filter.find('-') == std::string::npos ? "-" : ":";
    testing::GTEST_FLAG(filter) = filter + not_run_here;
    testing::AddGlobalTestEnvironment(new WineEnvironment);
    return RUN_ALL_TESTS();
}
