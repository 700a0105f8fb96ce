// The worked examples: each folder holds a command line, its exit status, the
// exact console output and every report file the run created, computed
// independently of this code. Each runs here in a fresh directory holding
// copies of the inputs, and must match byte for byte.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "program_profiles.h"
#include "support/run_capture.h"

namespace fs = std::filesystem;

namespace {

struct Example {
    std::string program;
    std::vector<std::string> args;
    int status = -1;
};

Example parse_command(const std::string& text)
{
    Example example;
    std::istringstream lines(text);
    std::string command;
    std::getline(lines, command);
    std::istringstream words(command);
    words >> example.program;
    for (std::string word; words >> word;)
        example.args.push_back(word);
    std::string status_line;
    std::getline(lines, status_line);
    example.status = std::stoi(status_line.substr(status_line.rfind(' ') + 1));
    return example;
}

class WorkedExample : public testing::TestWithParam<std::string> {};

TEST_P(WorkedExample, MatchesConsoleStatusAndReportsByteForByte)
{
    const fs::path folder = fs::path(EXAMPLES_DIR) / GetParam();
    const Example example = parse_command(read_file((folder / "command.txt").string()));

    ScratchDir dir;
    for (const auto& input : fs::directory_iterator(fs::path(EXAMPLES_DIR) / "inputs"))
        fs::copy_file(input.path(), fs::path(dir.path()) / input.path().filename());

    const ProgramProfile& profile = example.program == "quorva" ? quorva_profile() : veldix_profile();
    const CapturedRun run = run_captured(profile, example.args);

    EXPECT_EQ(run.status, example.status);
    EXPECT_EQ(run.out, read_file((folder / "stdout.txt").string()));
    for (const char* report : {"QUORVA.CSV", "HQUORVA.CSV", "VELDIX.CSV", "HVELDIX.CSV", "RCDN.CSV", "DFT.CSV"}) {
        const fs::path expected = folder / report;
        if (fs::exists(expected))
            EXPECT_EQ(dir.read(report), read_file(expected.string())) << report;
        else
            EXPECT_FALSE(dir.exists(report)) << report << " should not be created";
    }
}

std::vector<std::string> example_names()
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(EXAMPLES_DIR))
        if (entry.is_directory() && entry.path().filename() != "inputs")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string test_name(const testing::TestParamInfo<std::string>& info)
{
    std::string name = "Example" + info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Examples, WorkedExample, testing::ValuesIn(example_names()), test_name);

}  // namespace
