// Whole programs on tiny synthetic files, expectations worked out by hand.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string heading =
    "Image Statistics for Uncomp. 14-bit NEF files\n"
    "Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, Bclip, Wclip, From Hist:, Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, "
    "Files, Window\n";

Bytes nef(uint32_t w, uint32_t h, uint16_t r, uint16_t g1, uint16_t b, uint16_t g2, rawgen::NefOptions o = {})
{
    return rawgen::make_nef(rawgen::make_planes(w, h, r, g1, b, g2), o);
}

Bytes tif(uint32_t w, uint32_t h, uint16_t r, uint16_t g1, uint16_t b, uint16_t g2, rawgen::TiffOptions o = {})
{
    return rawgen::make_tiff(rawgen::make_planes(w, h, r, g1, b, g2), o);
}

struct WholeRun {
    const char* name;
    const ProgramProfile& (*profile)();
    std::map<std::string, Bytes> files;
    std::vector<std::string> args;
    int status;
    std::string out;
    std::map<std::string, std::string> logs = {};  // report files after the run
};

class WholeRuns : public testing::TestWithParam<WholeRun> {};

TEST_P(WholeRuns, PrintAndLogExactlyTheHandWorkedFigures)
{
    const WholeRun& c = GetParam();
    ScratchDir dir;
    for (const auto& [name, bytes] : c.files)
        dir.put(name, bytes);
    const CapturedRun run = run_captured(c.profile(), c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    for (const auto& [name, text] : c.logs)
        EXPECT_EQ(dir.read(name), text) << name;
}

const std::string d800 = "Camera:  NIKON D800    File:  A.NEF";

INSTANTIATE_TEST_SUITE_P(
    HandWorked, WholeRuns,
    testing::Values(
        // The window shrinks to the image: 8 wide, then square capped by the height.
        // Green pools 200 and 400: mean 300, population SD 100.
        WholeRun{"constant_planes", quorva_profile, {{"A.NEF", nef(8, 6, 100, 200, 300, 400)}}, {"a", "-L"}, 0,
                 d800 + "\nImage 8x6, Window 8x6 at X=0 Y=0\n"
                        " Red   ave 100.5, SD 0.00, Max 100, Min 100\n"
                        " Green ave 300.5, SD 100.00, Max 400, Min 200\n"
                        " Blue  ave 300.5, SD 0.00, Max 300, Min 300\n\n",
                 {{"QUORVA.CSV", heading + "100.50,300.50,300.50, 0.00,100.00, 0.00, 0.0, 0.0, , , , , , , , "
                                           "A.NEF, w8, h6, x0, y0\n"}}},
        // Red: d = 10 everywhere, SD 0, ave (100 + 90) / 2 + 0.5, SNR ave / 0.001.
        // Green: d = 0 (G1) and 20 (G2): variance 100, SD 10 / sqrt(2) = 7.07;
        // ave (200 + 200 + 400 + 380) / 4 + 0.5 = 295.5; SNR 295.5 / 7.0711 = 41.8.
        WholeRun{"pair_difference", quorva_profile,
                 {{"A.NEF", nef(8, 6, 100, 200, 300, 400)}, {"B.NEF", nef(8, 6, 90, 200, 310, 380)}},
                 {"a", "b", "-L"}, 0,
                 d800 + " minus B.NEF\nImage 8x6, Window 8x6 at X=0 Y=0\n"
                        " Red   ave  95.5, SD 0.00, SNR 95500.0, diff =  10.0\n"
                        " Green ave 295.5, SD 7.07, SNR 41.8, diff =  10.0\n"
                        " Blue  ave 305.5, SD 0.00, SNR 305500.0, diff = -10.0\n\n",
                 {{"QUORVA.CSV", heading + " 95.50,295.50,305.50, 0.00, 7.07, 0.00, 0.0, 0.0, , , , , , , , "
                                           "A.NEF minus B.NEF, w8, h6, x0, y0\n"}}},
        // The profile log is opened before the image is examined, and left empty.
        WholeRun{"wide_window_drops_profiles", quorva_profile, {{"A.NEF", nef(2004, 4, 1, 2, 3, 4)}},
                 {"a", "-R", "-W2002"}, 0,
                 d800 + "\nWindow exceeds Math array size; options disabled.\n"
                        "Image 2004x4, Window 2002x4 at X=0 Y=0\n"
                        " Red   ave   1.5, SD 0.00, Max 1, Min 1\n"
                        " Green ave   3.5, SD 1.00, Max 4, Min 2\n"
                        " Blue  ave   3.5, SD 0.00, Max 3, Min 3\n\n",
                 {{"RCDN.CSV", ""}}},
        WholeRun{"decode_error_leaves_the_heading", quorva_profile,
                 {{"A.NEF", nef(4, 4, 1, 2, 3, 4, {.omit_exif_pointer = true})}}, {"a", "-L", "-S3"}, 2,
                 d800 + "\nEXIF Decode Error 6\n", {{"QUORVA.CSV", heading}, {"HQUORVA.CSV", ""}}},
        WholeRun{"tiny_nef", quorva_profile, {{"A.NEF", nef(1, 8, 1, 1, 1, 1)}}, {"a", "-L"}, 1,
                 d800 + "\nError:  Image must be at least 2x2 pixels.\n"},
        WholeRun{"veldix_odd_window_origin_credits_each_sample_to_its_plane", veldix_profile,
                 {{"A.TIF", tif(8, 8, 10, 20, 30, 40)}}, {"a", "-W4", "-H2", "-X3", "-Y1"}, 0,
                 "File:  A.TIF, TIF array size=128 bytes\n"
                 "Image 8x8, Window 4x2, X=3, Y=1\n"
                 " Red   ave =  10.5, SD 0.00, Max 10, Min 10\n"
                 " Green ave =  30.5, SD 10.00, Max 40, Min 20\n"
                 " Blue  ave =  30.5, SD 0.00, Max 30, Min 30\n\n"},
        WholeRun{"veldix_sample_format_error_after_the_window_line", veldix_profile,
                 {{"A.TIF", tif(8, 8, 1, 2, 3, 4, {.strip_byte_count = 64})}}, {"a", "-R"}, 1,
                 "File:  A.TIF, TIF array size=64 bytes\n"
                 "Image 8x8, Window 8x8, X=0, Y=0\n"
                 "Error:  TIF files must be monochrome 16-bit.\n",
                 {{"RCDN.CSV", ""}}},
        // A control character shows as '?' everywhere; in the record a ',' would
        // add columns and a '"' open a quoted cell. Profiles: each plane's mean
        // over the window's 4 rows (two samples of 1, 2, 3 or 4 per column pair).
        WholeRun{"names_that_would_break_the_reports", quorva_profile,
                 {{"a,b\"c\x01" "d.NEF", nef(4, 4, 1, 2, 3, 4)}}, {"a,b\"c\x01" "d", "-L", "-R"}, 0,
                 "Camera:  NIKON D800    File:  A,B\"C?D.NEF\nImage 4x4, Window 4x4 at X=0 Y=0\n"
                 " Red   ave   1.5, SD 0.00, Max 1, Min 1\n"
                 " Green ave   3.5, SD 1.00, Max 4, Min 2\n"
                 " Blue  ave   3.5, SD 0.00, Max 3, Min 3\n\n",
                 {{"QUORVA.CSV", heading + "  1.50,  3.50,  3.50, 0.00, 1.00, 0.00, 0.0, 0.0, , , , , , , , "
                                           "A;B'C?D.NEF, w4, h4, x0, y0\n"},
                  {"RCDN.CSV", "Ave-row DN values, file A,B\"C?D.NEF, Window 4x4 at X=0 Y=0\n"
                               "  x,        R,        G1,         B,        G2\n"
                               "    0,     1.000,     2.000,     3.000,     4.000\n"
                               "    2,     1.000,     2.000,     3.000,     4.000\n"}}}),
    [](const testing::TestParamInfo<WholeRun>& param) { return std::string(param.param.name); });

TEST(QuorvaRun, ClippingCountsGreenZerosAndValuesAboveTheCameraLevel)
{
    ScratchDir dir;
    // D800 saturates above 15600: G1 at 15600 does not count, G2 at 15601 does.
    dir.put("S.NEF", nef(4, 4, 0, 15600, 0, 15601));
    dir.put("Z.NEF", nef(4, 4, 5, 0, 5, 9));
    const CapturedRun sat = run_captured(quorva_profile(), {"s", "-L"});
    EXPECT_NE(sat.out.find("Green Saturation rate = 50.0 percent\n"), std::string::npos) << sat.out;
    EXPECT_EQ(sat.out.find("DN=0"), std::string::npos);  // only green zeros count
    // -T puts the level elsewhere: Z's G2 at 9 is above 8.
    EXPECT_NE(run_captured(quorva_profile(), {"z", "-T8"}).out.find("Green Saturation rate = 50.0 percent\n"),
              std::string::npos);
    const CapturedRun zero = run_captured(quorva_profile(), {"z", "-L"});
    EXPECT_NE(zero.out.find("Green DN=0 rate = 50.0 percent\n"), std::string::npos) << zero.out;
    EXPECT_EQ(dir.read("QUORVA.CSV"),
              heading + "  0.50,15601.00,  0.50, 0.00, 0.50, 0.00, 0.0,50.0, , , , , , , , S.NEF, w4, h4, x0, y0\n" +
                  "  5.50,  5.00,  5.50, 0.00, 4.50, 0.00,50.0, 0.0, , , , , , , , Z.NEF, w4, h4, x0, y0\n");
}

TEST(QuorvaRun, RateLinesAppearFromOnePercentAndFromPointTwoPercent)
{
    ScratchDir dir;
    const auto put = [&](const char* name, uint32_t width, std::vector<std::pair<uint32_t, uint32_t>> at, uint16_t v) {
        rawgen::Image image = rawgen::make_planes(width, 20, 50, 50, 50, 50);
        for (auto [x, y] : at)
            image.samples[y * width + x] = v;
        dir.put(name, rawgen::make_nef(image));
    };
    // A 20 x 20 window: 200 green samples, n = 100. Two zeros make 1.0 percent.
    put("Z2.NEF", 20, {{1, 0}, {3, 0}}, 0);
    put("Z1.NEF", 20, {{1, 0}}, 0);
    // A 50 x 20 window: n = 250; one saturated green is 0.2 percent.
    put("S1.NEF", 50, {{0, 1}}, 16000);
    EXPECT_NE(run_captured(quorva_profile(), {"z2"}).out.find("Green DN=0 rate = 1.0 percent\n"), std::string::npos);
    EXPECT_EQ(run_captured(quorva_profile(), {"z1"}).out.find("DN=0"), std::string::npos);
    EXPECT_NE(run_captured(quorva_profile(), {"s1"}).out.find("Green Saturation rate = 0.2 percent\n"),
              std::string::npos);
}

TEST(RunSequence, StatsLogIsHeadedOnlyWhileShorterThanEightBytes)
{
    ScratchDir dir;
    dir.put("A.NEF", nef(4, 4, 1, 2, 3, 4));
    const std::string record =
        "  1.50,  3.50,  3.50, 0.00, 1.00, 0.00, 0.0, 0.0, , , , , , , , A.NEF, w4, h4, x0, y0\n";
    dir.put_text("QUORVA.CSV", "1234567");
    run_captured(quorva_profile(), {"a", "-L"});
    EXPECT_EQ(dir.read("QUORVA.CSV"), "1234567" + heading + record);
    dir.put_text("QUORVA.CSV", "12345678");
    run_captured(quorva_profile(), {"a", "/l"});
    EXPECT_EQ(dir.read("QUORVA.CSV"), "12345678" + record);
}

}  // namespace
