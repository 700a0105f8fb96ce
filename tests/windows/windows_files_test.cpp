// What only the Windows programs do, run under Wine: names in any language and
// with "\\" separators, offsets past 31 and 32 bits, many processes appending
// to the same files at once, the lock around the log's heading.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace fs = std::filesystem;

// The shell command that runs program.exe under Wine (see wine_runner.cpp).
namespace wine { std::string command(const std::string& program, const std::vector<std::string>& args); }

namespace {

// Each plane constant; green pools 200 and 400: mean 300, population SD 100.
const rawgen::Image planes = rawgen::make_planes(8, 6, 100, 200, 300, 400);

// What quorva (nef) or veldix prints for `planes` under the name it shows.
std::string report(bool nef, const std::string& shown)
{
    const std::string is = nef ? "" : "= ";
    return (nef ? "Camera:  NIKON D800    File:  " + shown + "\nImage 8x6, Window 8x6 at X=0 Y=0\n"
                : "File:  " + shown + ", TIF array size=96 bytes\nImage 8x6, Window 8x6, X=0, Y=0\n") +
           " Red   ave " + is + "100.5, SD 0.00, Max 100, Min 100\n Green ave " + is +
           "300.5, SD 100.00, Max 400, Min 200\n Blue  ave " + is + "300.5, SD 0.00, Max 300, Min 300\n\n";
}

TEST(WindowsNames, NamesInAnyLanguageAndWithBackslashesAreFoundAndShown)
{
    ScratchDir dir;
    fs::create_directories("raw.d/D.NEF");
    std::string z = "Z:" + dir.path(), z_shown;  // Wine shows "/" as drive Z:
    std::replace(z.begin(), z.end(), '/', '\\');
    std::transform(z.begin(), z.end(), std::back_inserter(z_shown), [](char c) { return std::toupper(c); });
    // Only a-z are upper-cased; only the directory's own listing, read as UTF-8,
    // finds "Зерно.tiff"; "\\" ends the directory part as "/" does, and the
    // lookup without regard to case searches the directory before it.
    const std::string cases[][3] = {  // the file, the argument, the name shown
        {"Übung_暗い.NEF", "Übung_暗い", "ÜBUNG_暗い.NEF"},
        {"Зерно.tiff", "Зерно", "Зерно.TIF"},
        {"raw.d/dark.NEF", "raw.d\\dark", "RAW.D\\DARK.NEF"},
        {"raw.d/dsc_0002.tiff", "raw.d\\dsc_0002", "RAW.D\\DSC_0002.TIF"},
        {"raw.d/dark.NEF", z + "\\raw.d\\dark.nef", z_shown + "\\RAW.D\\DARK.NEF"}};
    for (const auto& [file, arg, shown] : cases) {
        const bool nef = file.ends_with(".NEF");
        dir.put(file, nef ? rawgen::make_nef(planes) : rawgen::make_tiff(planes));
        const CapturedRun run = run_captured(nef ? quorva_profile() : veldix_profile(), {arg, "-L"});
        EXPECT_EQ(std::pair(run.status, run.out), std::pair(0, report(nef, shown))) << arg;
    }
    EXPECT_NE(dir.read("QUORVA.CSV").find(", ÜBUNG_暗い.NEF, w8, h6, x0, y0\n"), std::string::npos);
    // A directory is no image.
    const CapturedRun d = run_captured(quorva_profile(), {"raw.d\\d"});
    EXPECT_EQ(std::pair(d.status, d.out), std::pair(1, std::string("\nError:  Unable to open RAW.D\\D.NEF.\n\n")));
}

TEST(WindowsFiles, SamplesAtOffsetsPast31And32BitsAreReadWhereTheyAre)
{
    ScratchDir dir;
    constexpr size_t sample_bytes = 8 * 6 * 2;
    // The header at the start, the samples (the last bytes) at `at`, zeros between.
    const auto put_sparse = [](const char* name, const std::vector<uint8_t>& bytes, uint64_t at) {
        std::ofstream file(name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size() - sample_bytes));
        file.seekp(static_cast<std::streamoff>(at));
        file.write(reinterpret_cast<const char*>(&bytes[bytes.size() - sample_bytes]), sample_bytes);
    };
    // The NEF's samples end the file: at 2^32 + 20000 - 96, where an offset
    // cut to 32 bits would read the zeros at 19904.
    put_sparse("BIG.NEF", rawgen::make_nef(planes), (uint64_t{1} << 32) + 20000 - sample_bytes);
    const CapturedRun q = run_captured(quorva_profile(), {"big"});
    EXPECT_EQ(std::pair(q.status, q.out), std::pair(0, report(true, "BIG.NEF")));
    // TIFF strip offsets are 32-bit unsigned: from 2^31 on negative as a 32-bit long.
    for (const uint32_t strip : {0x80000002u, 0xFFFFFF00u}) {
        put_sparse("BIG.TIF", rawgen::make_tiff(planes, {.strip_offset = strip}), strip);
        const CapturedRun v = run_captured(veldix_profile(), {"big"});
        EXPECT_EQ(std::pair(v.status, v.out), std::pair(0, report(false, "BIG.TIF"))) << strip;
    }
}

// The lines of the statistics log, or the tables of another report (a table
// starts at a line that does not begin with a blank), sorted.
std::vector<std::string> pieces(const std::string& text, bool tables)
{
    std::vector<std::string> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line); out.back() += line + "\n")
        if (out.empty() || !tables || line[0] != ' ')
            out.emplace_back();
    std::sort(out.begin(), out.end());
    return out;
}

TEST(WindowsFiles, SixteenRunsAndFourHelpersAtOnceAppendEveryRecordAndTableWhole)
{
    ScratchDir dir;
    fs::create_directory("alone");
    std::string together, alone;
    const rawgen::PlaneContent noisy{.level = 300, .noise_sd = 40, .row_band_sd = 3};
    for (char i = 'A'; i < 'A' + 16; ++i) {
        const std::string name = {'F', i};
        const auto bytes = rawgen::make_nef(rawgen::make_image(256, 192, {{noisy, noisy, noisy, noisy}, uint64_t(i)}));
        dir.put(name + ".NEF", bytes);
        dir.put("alone/" + name + ".NEF", bytes);
        // Tables of several kB: the histogram, both profiles, both spectra.
        const std::string run = wine::command("quorva", {name, "-L", "-N400", "-S100", "-B1", "-R", "-C", "-F", "-W256", "-H192"});
        together += "{ " + run + " || touch FAILED; } >/dev/null & ";
        alone += run + " >/dev/null; ";
    }
    // Meanwhile files_helper.exe makes many more appends through the file layer.
    for (const std::string tag : {"P0", "P1", "P2", "P3"})
        together += "{ " + wine::command("files_helper", {"RACE.CSV", "10000", tag}) + " || touch FAILED; } & ";
    ASSERT_EQ(std::system((together + "wait").c_str()), 0);
    EXPECT_FALSE(dir.exists("FAILED"));
    // The same runs one after the other append the same pieces.
    EXPECT_EQ(std::system(("cd alone && " + alone).c_str()), 0);
    for (const std::string report : {"QUORVA.CSV", "HQUORVA.CSV", "RCDN.CSV", "DFT.CSV"})
        EXPECT_TRUE(pieces(dir.read(report), report != "QUORVA.CSV") ==
                    pieces(dir.read("alone/" + report), report != "QUORVA.CSV"))
            << report;
    // One heading, at the start.
    EXPECT_EQ(dir.read("QUORVA.CSV").rfind("Image Statistics for Uncomp. 14-bit NEF files\r\n"), 0) << dir.read("QUORVA.CSV");
    // Each helper's lines in its own order, "\r\n"-ended: nothing lost, overwritten or cut.
    std::vector<int> next(4, 0);
    std::istringstream text(dir.read("RACE.CSV"));
    for (std::string line; std::getline(text, line);) {
        const size_t p = line.size() > 3 ? static_cast<size_t>(line[1] - '0') : 4;
        ASSERT_TRUE(p < 4 && line[0] == 'P') << line;
        ASSERT_EQ(line, line.substr(0, 2) + ' ' + std::to_string(next[p]++) + '\r');
    }
    EXPECT_EQ(next, std::vector<int>(4, 10000));
}

TEST(WindowsFiles, ARunWaitsWhileAnotherHoldsTheHeadingLock)
{
    using namespace std::chrono;
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(planes));
    // The helper says "locked" once it holds the lock, then holds it 4 s (its
    // console goes to a directory of its own: run_captured converts files here).
    fs::create_directory("h");
    ASSERT_EQ(std::system((wine::command("files_helper", {"QUORVA.CSV", "4000"}) + " >h/said &").c_str()), 0);
    for (int wait = 0; wait < 12000 && dir.read("h/said").find("locked") == std::string::npos; ++wait)
        std::this_thread::sleep_for(milliseconds(5));
    ASSERT_NE(dir.read("h/said").find("locked"), std::string::npos) << "the lock holder never said \"locked\"";
    const auto start = steady_clock::now();
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-L"});
    EXPECT_GE(steady_clock::now() - start, seconds(2));  // a run takes a twentieth of that
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(dir.read("QUORVA.CSV").starts_with("Image Statistics for Uncomp. 14-bit NEF files\n"));
}

}  // namespace
