// Many runs at once in one directory, all appending to the same logs: every
// record line and every table must arrive whole.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "interop/outside_tools.h"  // lines_of
#include "program_profiles.h"
#include "raw_writer.h"
#include "run/run_sequence.h"
#include "support/report_reader.h"

namespace {

constexpr int instances = 32;

TEST(ParallelRuns, RecordsAndTablesOfConcurrentRunsNeverInterleave)
{
    ScratchDir dir;
    rawgen::Content content;
    for (auto& plane : content.plane)
        plane = {.level = 300, .noise_sd = 40};
    // Each run measures its own file, as its own process, so every record names its run.
    std::vector<pid_t> children;
    for (int i = 0; i < instances; ++i) {
        content.seed = static_cast<uint64_t>(i + 1);
        std::string name = "F";  // built step by step: g++ 12 warns falsely on "F" + ... + ".NEF"
        name += std::to_string(i);
        name += ".NEF";
        dir.put(name, rawgen::make_nef(rawgen::make_image(64, 48, content)));
        children.push_back(::fork());
        if (children.back() == 0) {
            const char* argv[] = {"quorva", name.c_str(), "-L", "-N40", "-S200", "-B5",
                                  "-R",     "-C",         "-F", "-W64", "-H48"};
            ::_exit(run_program(quorva_profile(), std::size(argv), argv, std::fopen("/dev/null", "w")));
        }
    }
    for (pid_t pid : children) {
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    // One heading, then one whole record per run.
    const std::vector<std::string> records = lines_of(dir.read("QUORVA.CSV"));
    ASSERT_EQ(records.size(), 2u + instances);
    EXPECT_EQ(records[0], "Image Statistics for Uncomp. 14-bit NEF files");
    const std::regex record(R"((\s*\d+\.\d\d,){3}(\s*\d+\.\d\d,){3}\s*\d+\.\d,\s*\d+\.\d, , , , , , , , F(\d+)\.NEF, w64, h48, x0, y0)");
    std::vector<int> seen(instances, 0);
    for (size_t i = 2; i < records.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(records[i], match, record)) << records[i];
        ++seen[static_cast<size_t>(std::stoi(match[3]))];
    }
    EXPECT_EQ(seen, std::vector<int>(instances, 1));

    // reportplot's reader finds every table whole (a line of another run
    // inside one cuts it off, with a warning), 32 of each kind.
    using plot::TableKind;
    for (const auto& [file, kinds] : std::vector<std::pair<std::string, std::vector<TableKind>>>{
             {"HQUORVA.CSV", {TableKind::histogram}},
             {"RCDN.CSV", {TableKind::profile_row, TableKind::profile_col}},
             {"DFT.CSV", {TableKind::ft_row, TableKind::ft_col}}}) {
        std::vector<std::string> warnings;
        const auto tables = read_tables(dir.read(file), kinds, &warnings);
        EXPECT_EQ(warnings, std::vector<std::string>{}) << file;
        for (const TableKind kind : kinds)
            EXPECT_EQ(std::count_if(tables.begin(), tables.end(), [&](const auto& t) { return t.kind == kind; }),
                      instances)
                << file;
    }
}

}  // namespace
