// Many runs at once in one directory, all appending to the same logs: every
// record line and every table must arrive whole.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <sstream>

#include "program_profiles.h"
#include "raw_writer.h"
#include "run/run_sequence.h"
#include "support/run_capture.h"

namespace {

constexpr int instances = 32;

// Starts one run per argument list as its own process and waits for all.
std::vector<int> run_concurrently(const ProgramProfile& profile, const std::vector<std::vector<std::string>>& runs)
{
    std::vector<pid_t> children;
    for (const auto& args : runs) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::vector<const char*> argv{"program"};
            for (const std::string& a : args)
                argv.push_back(a.c_str());
            std::FILE* quiet = std::fopen("/dev/null", "w");
            const int status = run_program(profile, static_cast<int>(argv.size()), argv.data(), quiet);
            ::_exit(status);
        }
        children.push_back(pid);
    }
    std::vector<int> statuses;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        statuses.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return statuses;
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(ParallelRuns, RecordsAndTablesOfConcurrentRunsNeverInterleave)
{
    ScratchDir dir;
    rawgen::Content content;
    for (auto& plane : content.plane) {
        plane.level = 300;
        plane.noise_sd = 40;
    }
    // Each run measures its own file, so every record names its run.
    std::vector<std::vector<std::string>> runs;
    for (int i = 0; i < instances; ++i) {
        content.seed = static_cast<uint64_t>(i + 1);
        std::string name = "F";  // built step by step: g++ 12 warns falsely on "F" + ... + ".NEF"
        name += std::to_string(i);
        name += ".NEF";
        dir.put(name, rawgen::make_nef(rawgen::make_image(64, 48, content)));
        runs.push_back({name, "-L", "-N40", "-S200", "-B5", "-R", "-C", "-F", "-W64", "-H48"});
    }
    const std::vector<int> statuses = run_concurrently(quorva_profile(), runs);
    for (int status : statuses)
        EXPECT_EQ(status, 0);

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
    for (int count : seen)
        EXPECT_EQ(count, 1);

    // Each table is its title, its header and its rows, with nothing between.
    struct TableKind {
        std::string title;
        size_t lines;  // after the title and the header
    };
    auto check_tables = [&](const std::string& file, const std::vector<TableKind>& kinds, const std::regex& row) {
        const std::vector<std::string> lines = lines_of(dir.read(file));
        std::vector<int> counts(kinds.size(), 0);
        for (size_t i = 0; i < lines.size();) {
            size_t kind = 0;
            while (kind < kinds.size() && lines[i].rfind(kinds[kind].title + ", file F", 0) != 0)
                ++kind;
            ASSERT_LT(kind, kinds.size()) << file << " line " << i << ": " << lines[i];
            ASSERT_LE(i + 2 + kinds[kind].lines, lines.size()) << file;
            for (size_t k = 0; k < kinds[kind].lines; ++k)
                ASSERT_TRUE(std::regex_match(lines[i + 2 + k], row)) << file << ": " << lines[i + 2 + k];
            i += 2 + kinds[kind].lines;
            ++counts[kind];
        }
        for (size_t kind = 0; kind < kinds.size(); ++kind)
            EXPECT_EQ(counts[kind], instances) << file << " " << kinds[kind].title;
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
