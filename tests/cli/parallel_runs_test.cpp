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
#include "support/run_capture.h"

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

    // Each table is its title, its header and its rows (given by title: count), with nothing between.
    const auto check_tables = [&](const std::string& file, const std::map<std::string, size_t>& rows,
                                  const std::regex& row) {
        std::map<std::string, int> counts;
        const std::vector<std::string> lines = lines_of(dir.read(file));
        for (size_t i = 0; i < lines.size();) {
            const std::string title = lines[i].substr(0, lines[i].find(", file F"));
            ASSERT_TRUE(rows.contains(title)) << file << " line " << i << ": " << lines[i];
            ASSERT_LE(i + 2 + rows.at(title), lines.size()) << file;
            for (size_t k = i + 2; k < i + 2 + rows.at(title); ++k)
                ASSERT_TRUE(std::regex_match(lines[k], row)) << file << ": " << lines[k];
            i += 2 + rows.at(title);
            ++counts[title];
        }
        for (const auto& [title, n] : rows)
            EXPECT_EQ(counts[title], instances) << file << " " << title;
    };
    // 40 bins plus the two outer counters, then an empty line.
    check_tables("HQUORVA.CSV", {{"Histogram data", 43}}, std::regex(R"((\s*\d+,){4}\s*\d+|)"));
    // One row per column pair (32) and per row pair (24).
    check_tables("RCDN.CSV", {{"Ave-row DN values", 32}, {"Ave-col DN values", 24}},
                 std::regex(R"(\s*\d+(,\s*-?\d+\.\d{3}){4})"));
    // Frequencies 0, 2, .. W/2 (17 rows) and 0, 2, .. H/2 (13 rows), then the RMS line.
    check_tables("DFT.CSV", {{"Ave-row DFT coef mags", 18}, {"Ave-column DFT coef mags", 14}},
                 std::regex(R"((\s*\d+,\s*\d+\.\d{3},\s*\d+,\s*\d+\.\d{3},\s*\d+(,\s*\d+\.\d{3}){4})|)"
                            R"((  RMS:   ,      ,     ,\s*\d+\.\d{3},      (,\s*\d+\.\d{3}){4}))"));
}

}  // namespace
