// What only the Windows programs do, run under Wine: names in any language
// and with "\\" separators, offsets past 31 and 32 bits, sixteen runs
// appending to the same reports at once, a console that cannot be written.
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
#include "wine_runner.h"

namespace fs = std::filesystem;

namespace {

// Each plane constant; green pools 200 and 400: mean 300, population SD 100.
const rawgen::Image planes = rawgen::make_planes(8, 6, 100, 200, 300, 400);
constexpr size_t sample_bytes = 8 * 6 * 2;

std::string quorva_report(const std::string& shown)
{
    return "Camera:  NIKON D800    File:  " + shown +
           "\nImage 8x6, Window 8x6 at X=0 Y=0\n"
           " Red   ave 100.5, SD 0.00, Max 100, Min 100\n"
           " Green ave 300.5, SD 100.00, Max 400, Min 200\n"
           " Blue  ave 300.5, SD 0.00, Max 300, Min 300\n\n";
}

std::string veldix_report(const std::string& shown)
{
    return "File:  " + shown +
           ", TIF array size=96 bytes\nImage 8x6, Window 8x6, X=0, Y=0\n"
           " Red   ave = 100.5, SD 0.00, Max 100, Min 100\n"
           " Green ave = 300.5, SD 100.00, Max 400, Min 200\n"
           " Blue  ave = 300.5, SD 0.00, Max 300, Min 300\n\n";
}

std::string upper_ascii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

TEST(WindowsNames, NamesInAnyLanguageAreOpenedShownAndLogged)
{
    ScratchDir dir;
    dir.put("Übung_暗い.NEF", rawgen::make_nef(planes));
    const CapturedRun q = run_captured(quorva_profile(), {"Übung_暗い", "-L"});
    EXPECT_EQ(q.status, 0);
    // Only a-z are upper-cased; every other byte of the UTF-8 name stays.
    EXPECT_EQ(q.out, quorva_report("ÜBUNG_暗い.NEF"));
    EXPECT_TRUE(dir.read("QUORVA.CSV").ends_with(", ÜBUNG_暗い.NEF, w8, h6, x0, y0\n")) << dir.read("QUORVA.CSV");

    // ".TIF", ".tif" and the upper-cased name miss "Зерно.tiff": only the
    // directory's own listing, read as UTF-8, finds it.
    dir.put("Зерно.tiff", rawgen::make_tiff(planes));
    const CapturedRun v = run_captured(veldix_profile(), {"Зерно"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, veldix_report("Зерно.TIF"));
}

TEST(WindowsNames, BackslashEndsTheDirectoryPartAsSlashDoes)
{
    ScratchDir dir;
    fs::create_directory("raw.d");
    dir.put("raw.d/dark.NEF", rawgen::make_nef(planes));
    dir.put("raw.d/dsc_0002.tiff", rawgen::make_tiff(planes));
    // The last component, "dark", has no '.': the default extension is added
    // (the '.' of "raw.d" is in the directory part).
    EXPECT_EQ(run_captured(quorva_profile(), {"raw.d\\dark"}).out, quorva_report("RAW.D\\DARK.NEF"));
    // The lookup without regard to case searches the directory before the "\\".
    EXPECT_EQ(run_captured(veldix_profile(), {"raw.d\\dsc_0002"}).out, veldix_report("RAW.D\\DSC_0002.TIF"));
    // A drive letter and backslashes all the way (Wine shows "/" as drive Z:).
    std::string absolute = "Z:" + dir.path() + "\\raw.d\\dark.nef";
    std::replace(absolute.begin(), absolute.end(), '/', '\\');
    EXPECT_EQ(run_captured(quorva_profile(), {absolute}).out, quorva_report(upper_ascii(absolute)));
    // A directory is no image.
    fs::create_directory("D.NEF");
    const CapturedRun d = run_captured(quorva_profile(), {"d"});
    EXPECT_EQ(d.status, 1);
    EXPECT_EQ(d.out, "\nError:  Unable to open D.NEF.\n\n");
}

// Writes `head` at the start of a file of `length` bytes and `tail` at
// `tail_at`; the bytes between are a hole that reads as zeros.
void put_sparse(const std::string& name, const std::vector<uint8_t>& head, const std::vector<uint8_t>& tail,
                uint64_t tail_at, uint64_t length)
{
    {
        std::ofstream file(name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
        file.seekp(static_cast<std::streamoff>(tail_at));
        file.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
    }
    fs::resize_file(name, length);
}

std::vector<uint8_t> first(const std::vector<uint8_t>& bytes, size_t n) { return {bytes.begin(), bytes.begin() + n}; }
std::vector<uint8_t> last(const std::vector<uint8_t>& bytes, size_t n) { return {bytes.end() - n, bytes.end()}; }

TEST(WindowsFiles, SamplesAtOffsetsPast31And32BitsAreReadWhereTheyAre)
{
    ScratchDir dir;
    // The NEF's samples end the file: at 2^32 + 20000 - 96, where an offset
    // cut to 32 bits would read the zeros at 19904.
    const std::vector<uint8_t> nef = rawgen::make_nef(planes);
    const uint64_t nef_length = (uint64_t{1} << 32) + 20000;
    put_sparse("BIG.NEF", first(nef, nef.size() - sample_bytes), last(nef, sample_bytes), nef_length - sample_bytes,
               nef_length);
    const CapturedRun q = run_captured(quorva_profile(), {"big"});
    EXPECT_EQ(q.status, 0);
    EXPECT_EQ(q.out, quorva_report("BIG.NEF"));

    // TIFF strip offsets are 32-bit unsigned: from 2^31 on they are negative
    // as a 32-bit long.
    for (const uint32_t strip : {0x80000002u, 0xFFFFFF00u}) {
        const std::vector<uint8_t> tif = rawgen::make_tiff(planes, {.strip_offset = strip});
        put_sparse("BIG.TIF", first(tif, tif.size() - sample_bytes), last(tif, sample_bytes), strip,
                   uint64_t{strip} + sample_bytes);
        const CapturedRun v = run_captured(veldix_profile(), {"big"});
        EXPECT_EQ(v.status, 0) << strip;
        EXPECT_EQ(v.out, veldix_report("BIG.TIF")) << strip;
    }
}

// The statistics log's lines, and each other report's tables (a table starts
// at a line that does not begin with a blank), sorted.
std::vector<std::string> pieces(const std::string& text, bool tables)
{
    std::vector<std::string> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (out.empty() || !tables || (!line.empty() && line[0] != ' '))
            out.emplace_back();
        out.back() += line + "\n";
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(WindowsFiles, SixteenRunsAtOnceAppendEveryRecordAndTableWhole)
{
    constexpr int runs = 16;
    ScratchDir dir;
    fs::create_directory("alone");
    std::vector<std::vector<std::string>> args;
    for (int i = 0; i < runs; ++i) {
        rawgen::Content content;
        for (auto& plane : content.plane)
            plane = {.level = 300, .noise_sd = 40, .row_band_sd = 3};
        content.seed = static_cast<uint64_t>(i + 1);
        std::string name = "F";  // built step by step: g++ 12 warns falsely on "F" + std::to_string(i)
        name += std::to_string(i);
        const std::vector<uint8_t> bytes = rawgen::make_nef(rawgen::make_image(256, 192, content));
        dir.put(name + ".NEF", bytes);
        dir.put("alone/" + name + ".NEF", bytes);
        // Tables of several kB: the histogram, both profiles, both spectra.
        args.push_back({name, "-L", "-N400", "-S100", "-B1", "-R", "-C", "-F", "-W256", "-H192"});
    }

    std::vector<wine::Started> started;
    for (const auto& a : args)
        started.push_back(wine::start("quorva", a));
    std::vector<wine::ExeRun> together;
    for (const auto& s : started)
        together.push_back(wine::finish(s));

    fs::current_path("alone");
    for (int i = 0; i < runs; ++i) {
        const wine::ExeRun alone = wine::run("quorva", args[static_cast<size_t>(i)]);
        EXPECT_EQ(together[static_cast<size_t>(i)].status, 0) << i;
        EXPECT_EQ(together[static_cast<size_t>(i)].out, alone.out) << i;
    }
    fs::current_path(dir.path());

    for (const char* report : {"QUORVA.CSV", "HQUORVA.CSV", "RCDN.CSV", "DFT.CSV"}) {
        const std::string text = wine::from_windows_text(dir.read(report));
        const std::string alone = wine::from_windows_text(dir.read(std::string("alone/") + report));
        ASSERT_EQ(text.find("[LF without CR]"), std::string::npos) << report;
        ASSERT_EQ(alone.size(), text.size()) << report;
        const bool tables = report != std::string("QUORVA.CSV");
        EXPECT_TRUE(pieces(text, tables) == pieces(alone, tables)) << report << ":\n" << text;
    }
    // One heading, at the start.
    const std::string log = wine::from_windows_text(dir.read("QUORVA.CSV"));
    EXPECT_TRUE(log.starts_with("Image Statistics for Uncomp. 14-bit NEF files\nAve R, ")) << log;
    EXPECT_EQ(log.find("Image Statistics", 1), std::string::npos) << log;
}

TEST(WindowsFiles, AppendsFromProcessesAtOnceArriveWholeAndInOrder)
{
    constexpr int processes = 4, lines = 10000;
    ScratchDir dir;
    ASSERT_TRUE(fs::exists(wine::setup().exe_dir + "/files_helper.exe")) << "build it with `make windows`";
    std::vector<wine::Started> started;
    for (int p = 0; p < processes; ++p) {
        std::string tag = "P";  // built step by step: g++ 12 warns falsely on "P" + std::to_string(p)
        tag += std::to_string(p);
        started.push_back(wine::start("files_helper", {"append", "RACE.CSV", std::to_string(lines), tag}));
    }
    for (const auto& s : started)
        EXPECT_EQ(wine::finish(s).status, 0);
    // Each process's lines, in its own order, each "\r\n"-ended: nothing lost,
    // overwritten or cut.
    std::vector<int> next(processes, 0);
    std::istringstream text(dir.read("RACE.CSV"));
    for (std::string line; std::getline(text, line);) {
        ASSERT_TRUE(line.size() > 3 && line[0] == 'P' && line.back() == '\r') << line;
        const int p = line[1] - '0';
        ASSERT_TRUE(p >= 0 && p < processes) << line;
        std::string expected = "P";
        expected += std::to_string(p) + " " + std::to_string(next[static_cast<size_t>(p)]++) + "\r";
        ASSERT_EQ(line, expected);
    }
    EXPECT_EQ(next, std::vector<int>(processes, lines));
}

TEST(WindowsFiles, ARunWaitsWhileAnotherHoldsTheHeadingLock)
{
    using namespace std::chrono;
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(planes));
    ASSERT_TRUE(fs::exists(wine::setup().exe_dir + "/files_helper.exe")) << "build it with `make windows`";
    const std::string said = "/tmp/rawstats-lock-" + fs::path(dir.path()).filename().string();
    const wine::Started holder = wine::start("files_helper", {"lock", "QUORVA.CSV", "4000"}, said);
    for (const auto deadline = steady_clock::now() + seconds(60); read_file(said).find("locked") == std::string::npos;) {
        ASSERT_LT(steady_clock::now(), deadline) << "the lock holder never said \"locked\"";
        std::this_thread::sleep_for(milliseconds(5));
    }
    const auto start = steady_clock::now();
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-L"});
    const auto waited = steady_clock::now() - start;
    EXPECT_EQ(wine::finish(holder).status, 0);
    std::remove(said.c_str());
    EXPECT_EQ(run.status, 0);
    // The lock is held for 4 s after "locked"; a run takes a twentieth of that.
    EXPECT_GE(waited, seconds(2));
    EXPECT_TRUE(dir.read("QUORVA.CSV").starts_with("Image Statistics for Uncomp. 14-bit NEF files\n"));
}

TEST(WindowsConsole, StandardOutputClosedOrFullEndsWithStatus4AndSaysSo)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(planes));
    for (const std::string& output : {wine::closed_output, std::string("/dev/full")}) {
        const wine::ExeRun run = wine::finish(wine::start("quorva", {"a", "-L"}, output));
        EXPECT_EQ(run.status, 4) << output;
        EXPECT_EQ(run.err, "Warning:  Unable to write standard output.\r\n") << output;
    }
    // The log has its heading and both records, and none of the console's lines.
    const std::string record =
        "100.50,300.50,300.50, 0.00,100.00, 0.00, 0.0, 0.0, , , , , , , , A.NEF, w8, h6, x0, y0\r\n";
    EXPECT_EQ(dir.read("QUORVA.CSV"),
              "Image Statistics for Uncomp. 14-bit NEF files\r\n"
              "Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, Bclip, Wclip, From Hist:, Ave R, Ave G, Ave B, Sd R, Sd G, "
              "Sd B, Files, Window\r\n" +
                  record + record);
}

}  // namespace
