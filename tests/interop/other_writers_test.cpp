// veldix reads any 16-bit, one-strip, one-sample-per-pixel TIFF, not only the
// converter's: a file written by the TIFF library's own tools (raw2tiff, tiffcp)
// in either byte order measures exactly like the converter's file of the same
// samples. A file of several strips or of 8-bit samples is refused after the window
// line.
#include <gtest/gtest.h>

#include <regex>

#include "outside_tools.h"
#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

constexpr uint32_t kWidth = 96, kHeight = 64;

rawgen::Image scene(uint64_t seed)
{
    rawgen::Content c;
    const double level[4] = {900, 2400, 700, 2400};
    for (size_t p = 0; p < 4; ++p)
        c.plane[p] = {.level = level[p], .noise_sd = 30, .col_band_sd = 2, .sine_amp = 5, .sine_period = 12,
                      .sine_along_y = true};
    c.seed = seed;
    return rawgen::make_image(kWidth, kHeight, c);
}

std::string tool_output_file(const std::string& program, const std::vector<std::string>& args,
                             const std::string& output)
{
    const ToolRun run = run_tool(program, args);
    EXPECT_EQ(run.status, 0) << program << ": " << run.err;
    return read_file(output);
}

// The same image written three ways: by the converter from a NEF (DC*.TIF), by
// raw2tiff from the bare samples in the machine's byte order (LE*.TIF on this
// little-endian machine; the test reads the mark), and by tiffcp rewriting that
// file big-endian (BE*.TIF).
class OtherWriters : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tool_on_path("dcraw", "dcraw"));
        ASSERT_TRUE(tool_on_path("raw2tiff", "libtiff-tools"));
        ASSERT_TRUE(tool_on_path("tiffcp", "libtiff-tools"));
        for (int k = 1; k <= 2; ++k) {
            const std::string n = std::to_string(k);
            const rawgen::Image image = scene(static_cast<uint64_t>(40 + k));
            rawgen::NefOptions options;
            options.model = "NIKON D3X";
            options.file_big_endian = options.maker_big_endian = false;
            dir.put("DC" + n + ".NEF", rawgen::make_nef(image, options));
            const ToolRun dcraw = run_tool("dcraw", {"-D", "-4", "-T", "-c", "DC" + n + ".NEF"});
            ASSERT_EQ(dcraw.status, 0) << dcraw.err;
            dir.put("DC" + n + ".TIF", std::vector<uint8_t>(dcraw.out.begin(), dcraw.out.end()));

            const uint16_t one = 1;
            const bool host_big = *reinterpret_cast<const uint8_t*>(&one) == 0;
            dir.put("LE" + n + ".RAW", rawgen::make_bare(image, host_big));
            const std::string le = tool_output_file(
                "raw2tiff",
                {"-M", "-w", std::to_string(kWidth), "-l", std::to_string(kHeight), "-d", "short", "-b", "1", "-p",
                 "minisblack", "-c", "none", "-r", std::to_string(kHeight), "LE" + n + ".RAW", "LE" + n + ".TIF"},
                "LE" + n + ".TIF");
            const std::string be = tool_output_file(
                "tiffcp", {"-B", "-c", "none", "-r", std::to_string(kHeight), "LE" + n + ".TIF", "BE" + n + ".TIF"},
                "BE" + n + ".TIF");
            ASSERT_EQ(read_tiff_samples(le), image.samples);
            ASSERT_EQ(read_tiff_samples(be), image.samples);
            images.push_back(image);
        }
    }

    ScratchDir dir;
    std::vector<rawgen::Image> images;
};

TEST_F(OtherWriters, WriteTheSizesAsShortEntriesInBothByteOrders)
{
    // What makes these files a test of veldix's reading by entry type: the library
    // writes small sizes as SHORT, the converter as LONG.
    for (const char* name : {"LE1.TIF", "BE1.TIF"}) {
        const TiffDirectory d = read_tiff_directory(read_file(name));
        EXPECT_EQ(d.entries.at(256).type, 3) << name;
        EXPECT_EQ(d.entries.at(257).type, 3) << name;
        EXPECT_EQ(d.entries.at(273).count, 1u) << name;
        EXPECT_EQ(d.single(279), 2 * kWidth * kHeight) << name;
    }
    EXPECT_TRUE(read_tiff_directory(read_file("BE1.TIF")).big_endian);
    const TiffDirectory dc = read_tiff_directory(read_file("DC1.TIF"));
    EXPECT_EQ(dc.entries.at(256).type, 4);
    EXPECT_EQ(dc.entries.at(279).type, 4);
}

// veldix's report with the names of the files made equal.
struct Named {
    std::string console;
    std::map<std::string, std::string> reports;
};

Named measured(const std::string& prefix, const std::vector<std::string>& switches, bool two_files)
{
    std::vector<std::string> args = {prefix + "1"};
    if (two_files)
        args.push_back(prefix + "2");
    args.insert(args.end(), switches.begin(), switches.end());
    const ProgramOutput out = run_and_collect(veldix_profile(), args);
    EXPECT_EQ(out.status, 0) << prefix << ": " << out.console;
    const auto unnamed = [&](std::string text) {
        return replace_all(replace_all(text, prefix + "1.", "XX1."), prefix + "2.", "XX2.");
    };
    Named named;
    named.console = unnamed(out.console);
    for (const auto& [name, text] : out.reports)
        named.reports[name] = unnamed(text);
    return named;
}

TEST_F(OtherWriters, MeasureLikeTheConvertersFileInBothByteOrders)
{
    const std::vector<std::vector<std::string>> switch_sets = {
        {"-L", "-R", "-C", "-F6", "-W40", "-H24", "-X11", "-Y7"},
        {"-L", "-S100", "-B50", "-N60", "-W96", "-H64"},
        {"-L", "-A4", "-W48", "-H32", "-X3", "-Y2"},
        {"-L", "-M", "-W64", "-H40", "-X16", "-Y8"},
    };
    for (bool two_files : {false, true}) {
        for (const auto& switches : switch_sets) {
            SCOPED_TRACE(testing::Message() << (two_files ? "two files, " : "one file, ") << switches[1]);
            const Named dc = measured("DC", switches, two_files);
            EXPECT_NE(dc.console.find(" Red   ave = "), std::string::npos) << dc.console;
            EXPECT_GE(dc.reports.size(), 2u);
            for (const char* prefix : {"LE", "BE"}) {
                const Named other = measured(prefix, switches, two_files);
                EXPECT_EQ(other.console, dc.console) << prefix;
                EXPECT_EQ(other.reports, dc.reports) << prefix;
            }
        }
    }
}

TEST_F(OtherWriters, SeveralStripsAreRefusedAfterTheWindowLine)
{
    for (const char* order : {"-L", "-B"}) {
        const ToolRun run = run_tool("tiffcp", {order, "-c", "none", "-r", "8", "LE1.TIF", "MS.TIF"});
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(read_tiff_directory(read_file("MS.TIF")).entries.at(273).count, kHeight / 8);
        const ProgramOutput out = run_and_collect(veldix_profile(), {"ms", "-L"});
        EXPECT_EQ(out.status, 1) << order;
        EXPECT_TRUE(std::regex_match(out.console,
                                     std::regex("File:  MS\\.TIF, TIF array size=\\d+ bytes\n"
                                                "Image 96x64, Window 96x64, X=0, Y=0\n"
                                                "Error:  TIF files must be monochrome 16-bit\\.\n")))
            << order << "\n"
            << out.console;
        // The statistics log was opened and headed before the image was examined.
        EXPECT_EQ(out.reports.size(), 1u);
    }
}

TEST_F(OtherWriters, EightBitSamplesAreRefusedAfterTheWindowLine)
{
    std::vector<uint8_t> bytes;
    for (uint16_t s : images[0].samples)
        bytes.push_back(static_cast<uint8_t>(s >> 4));
    dir.put("E8.RAW", bytes);
    for (const char* order : {"-L", "-B"}) {
        const ToolRun raw = run_tool("raw2tiff", {"-M", "-w", "96", "-l", "64", "-d", "byte", "-c", "none", "-r", "64",
                                                  "E8.RAW", "E8.TIF"});
        ASSERT_EQ(raw.status, 0) << raw.err;
        const ToolRun copy = run_tool("tiffcp", {order, "-c", "none", "E8.TIF", "EIGHT.TIF"});
        ASSERT_EQ(copy.status, 0) << copy.err;
        ASSERT_EQ(read_tiff_directory(read_file("EIGHT.TIF")).single(258), 8u);
        const CapturedRun run = run_captured(veldix_profile(), {"eight", "-W20", "-X3"});
        EXPECT_EQ(run.status, 1) << order;
        EXPECT_EQ(run.out,
                  "File:  EIGHT.TIF, TIF array size=6144 bytes\n"
                  "Image 96x64, Window 20x20, X=3, Y=22\n"
                  "Error:  TIF files must be monochrome 16-bit.\n")
            << order;
    }
}

}  // namespace
