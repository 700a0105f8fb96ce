// veldix reads any 16-bit, one-strip, one-sample-per-pixel TIFF, not only the
// converter's: a file written by the TIFF library's own tools (raw2tiff, tiffcp)
// in either byte order measures exactly like the converter's file of the same
// samples. A file of several strips or of 8-bit samples is refused after the window
// line.
#include <gtest/gtest.h>

#include <bit>
#include <regex>

#include "outside_tools.h"
#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

const std::string W = "96", H = "64";

void run_ok(const std::string& program, const std::vector<std::string>& args)
{
    const ToolRun run = run_tool(program, args);
    ASSERT_EQ(run.status, 0) << program << ": " << run.err;
}

// The same image written three ways: by the converter from a NEF (DC*.TIF), by
// raw2tiff from the bare samples in the machine's byte order (LE*.TIF on a
// little-endian machine), and by tiffcp rewriting that file big-endian (BE*.TIF).
class OtherWriters : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tool_on_path("dcraw", "dcraw"));
        ASSERT_TRUE(tool_on_path("raw2tiff", "libtiff-tools"));
        ASSERT_TRUE(tool_on_path("tiffcp", "libtiff-tools"));
        for (const std::string n : {"1", "2"}) {
            rawgen::Content c;
            const double level[4] = {900, 2400, 700, 2400};
            for (size_t p = 0; p < 4; ++p)
                c.plane[p] = {.level = level[p], .noise_sd = 30, .col_band_sd = 2, .sine_amp = 5, .sine_period = 12,
                              .sine_along_y = true};
            c.seed = 40 + std::stoul(n);
            const rawgen::Image image = rawgen::make_image(96, 64, c);
            dir.put("DC" + n + ".NEF", rawgen::make_nef(image, {.model = "NIKON D3X", .file_big_endian = false,
                                                                .maker_big_endian = false}));
            const ToolRun dcraw = run_tool("dcraw", {"-D", "-4", "-T", "-c", "DC" + n + ".NEF"});
            ASSERT_EQ(dcraw.status, 0) << dcraw.err;
            dir.put("DC" + n + ".TIF", std::vector<uint8_t>(dcraw.out.begin(), dcraw.out.end()));
            dir.put("LE" + n + ".RAW", rawgen::make_bare(image, std::endian::native == std::endian::big));
            run_ok("raw2tiff", {"-M", "-w", W, "-l", H, "-d", "short", "-b", "1", "-p", "minisblack", "-c", "none",
                                "-r", H, "LE" + n + ".RAW", "LE" + n + ".TIF"});
            run_ok("tiffcp", {"-B", "-c", "none", "-r", H, "LE" + n + ".TIF", "BE" + n + ".TIF"});
            ASSERT_EQ(read_tiff_samples(read_file("LE" + n + ".TIF")), image.samples);
            ASSERT_EQ(read_tiff_samples(read_file("BE" + n + ".TIF")), image.samples);
            images.push_back(image);
        }
    }
    ScratchDir dir;
    std::vector<rawgen::Image> images;
};

// veldix's console and reports with the names of the files made equal.
std::pair<std::string, std::map<std::string, std::string>> measured(const std::string& prefix,
                                                                    std::vector<std::string> args)
{
    const ProgramOutput out = run_and_collect(veldix_profile(), args);
    EXPECT_EQ(out.status, 0) << prefix << ": " << out.console;
    const auto unnamed = [&](const std::string& text) {
        return replace_all(replace_all(text, prefix + "1.", "XX1."), prefix + "2.", "XX2.");
    };
    std::map<std::string, std::string> reports;
    for (const auto& [name, text] : out.reports)
        reports[name] = unnamed(text);
    return {unnamed(out.console), reports};
}

TEST_F(OtherWriters, MeasureLikeTheConvertersFileInBothByteOrders)
{
    // What makes these files a test of veldix's reading by entry type: the library
    // writes small sizes as SHORT, the converter as LONG.
    for (const char* name : {"LE1.TIF", "BE1.TIF", "DC1.TIF"}) {
        const TiffDirectory d = read_tiff_directory(read_file(name));
        EXPECT_EQ(d.big_endian, name[0] == 'B') << name;
        EXPECT_EQ(d.entries.at(256).type, name[0] == 'D' ? 4 : 3) << name;
        EXPECT_EQ(d.entries.at(257).type, name[0] == 'D' ? 4 : 3) << name;
    }
    for (const std::vector<std::string>& switches :
         {std::vector<std::string>{"-L", "-R", "-C", "-F6", "-W40", "-H24", "-X11", "-Y7"},
          {"-L", "-S100", "-B50", "-N60", "-W96", "-H64"},
          {"-L", "-A4", "-W48", "-H32", "-X3", "-Y2"},
          {"-L", "-M", "-W64", "-H40", "-X16", "-Y8"}}) {
        for (bool two_files : {false, true}) {
            SCOPED_TRACE(testing::Message() << (two_files ? "two files, " : "one file, ") << switches[1]);
            const auto args = [&](const std::string& prefix) {
                std::vector<std::string> a = {prefix + "1"};
                if (two_files)
                    a.push_back(prefix + "2");
                a.insert(a.end(), switches.begin(), switches.end());
                return a;
            };
            const auto dc = measured("DC", args("DC"));
            EXPECT_NE(dc.first.find(" Red   ave = "), std::string::npos) << dc.first;
            EXPECT_GE(dc.second.size(), 2u);
            for (const char* prefix : {"LE", "BE"})
                EXPECT_EQ(measured(prefix, args(prefix)), dc) << prefix;
        }
    }
}

TEST_F(OtherWriters, SeveralStripsOrEightBitSamplesAreRefusedAfterTheWindowLine)
{
    std::vector<uint8_t> bytes;
    for (uint16_t s : images[0].samples)
        bytes.push_back(static_cast<uint8_t>(s >> 4));
    dir.put("E8.RAW", bytes);
    run_ok("raw2tiff", {"-M", "-w", W, "-l", H, "-d", "byte", "-c", "none", "-r", H, "E8.RAW", "E8.TIF"});
    for (const char* order : {"-L", "-B"}) {
        run_ok("tiffcp", {order, "-c", "none", "-r", "8", "LE1.TIF", "MS.TIF"});
        ASSERT_EQ(read_tiff_directory(read_file("MS.TIF")).entries.at(273).count, 64u / 8);
        const ProgramOutput strips = run_and_collect(veldix_profile(), {"ms", "-L"});
        EXPECT_EQ(strips.status, 1) << order;
        EXPECT_TRUE(std::regex_match(strips.console, std::regex("File:  MS\\.TIF, TIF array size=\\d+ bytes\n"
                                                                "Image 96x64, Window 96x64, X=0, Y=0\n"
                                                                "Error:  TIF files must be monochrome 16-bit\\.\n")))
            << order << "\n" << strips.console;
        // The statistics log was opened and headed before the image was examined.
        EXPECT_EQ(strips.reports.size(), 1u);

        run_ok("tiffcp", {order, "-c", "none", "E8.TIF", "EIGHT.TIF"});
        ASSERT_EQ(read_tiff_directory(read_file("EIGHT.TIF")).single(258), 8u);
        const CapturedRun eight = run_captured(veldix_profile(), {"eight", "-W20", "-X3"});
        EXPECT_EQ(eight.status, 1) << order;
        EXPECT_EQ(eight.out, "File:  EIGHT.TIF, TIF array size=6144 bytes\n"
                             "Image 96x64, Window 20x20, X=3, Y=22\n"
                             "Error:  TIF files must be monochrome 16-bit.\n")
            << order;
    }
}

}  // namespace
