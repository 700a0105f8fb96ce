// Whole programs on tiny synthetic files, expectations worked out by hand.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

using rawgen::make_planes;

const std::string heading =
    "Image Statistics for Uncomp. 14-bit NEF files\n"
    "Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, Bclip, Wclip, From Hist:, Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, "
    "Files, Window\n";

TEST(QuorvaRun, ConstantPlanesGiveExactAveragesSdsAndExtremes)
{
    ScratchDir dir;
    dir.put("FLAT.NEF", rawgen::make_nef(make_planes(8, 6, 100, 200, 300, 400)));
    const CapturedRun run = run_captured(quorva_profile(), {"flat", "-L"});
    EXPECT_EQ(run.status, 0);
    // The window shrinks to the image: 8 wide, then square capped by the height.
    // Green pools 200 and 400: mean 300, population SD 100.
    EXPECT_EQ(run.out,
              "Camera:  NIKON D800    File:  FLAT.NEF\n"
              "Image 8x6, Window 8x6 at X=0 Y=0\n"
              " Red   ave 100.5, SD 0.00, Max 100, Min 100\n"
              " Green ave 300.5, SD 100.00, Max 400, Min 200\n"
              " Blue  ave 300.5, SD 0.00, Max 300, Min 300\n"
              "\n");
    EXPECT_EQ(dir.read("QUORVA.CSV"),
              heading + "100.50,300.50,300.50, 0.00,100.00, 0.00, 0.0, 0.0, , , , , , , , FLAT.NEF, w8, h6, x0, y0\n");
}

TEST(QuorvaRun, TwoFilesMeasureTheDifferenceImage)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(make_planes(8, 6, 100, 200, 300, 400)));
    dir.put("B.NEF", rawgen::make_nef(make_planes(8, 6, 90, 200, 310, 380)));
    const CapturedRun run = run_captured(quorva_profile(), {"a", "b", "-L"});
    EXPECT_EQ(run.status, 0);
    // Red: d = 10 everywhere, SD 0, ave (100 + 90) / 2 + 0.5, SNR ave / 0.001.
    // Green: d = 0 (G1) and 20 (G2): variance 100, SD 10 / sqrt(2) = 7.07;
    // ave (200 + 200 + 400 + 380) / 4 + 0.5 = 295.5; SNR 295.5 / 7.0721 = 41.78.
    EXPECT_EQ(run.out,
              "Camera:  NIKON D800    File:  A.NEF minus B.NEF\n"
              "Image 8x6, Window 8x6 at X=0 Y=0\n"
              " Red   ave  95.5, SD 0.00, SNR 95500.0, diff =  10.0\n"
              " Green ave 295.5, SD 7.07, SNR 41.8, diff =  10.0\n"
              " Blue  ave 305.5, SD 0.00, SNR 305500.0, diff = -10.0\n"
              "\n");
    EXPECT_EQ(dir.read("QUORVA.CSV"),
              heading + " 95.50,295.50,305.50, 0.00, 7.07, 0.00, 0.0, 0.0, , , , , , , , A.NEF minus B.NEF, "
                        "w8, h6, x0, y0\n");
}

TEST(QuorvaRun, SameFileTwiceGivesZeroDifferenceAndOneFileAverage)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(make_planes(4, 4, 7, 8, 9, 10)));
    const CapturedRun run = run_captured(quorva_profile(), {"a", "A.NEF"});
    EXPECT_NE(run.out.find(" Red   ave   7.5, SD 0.00, SNR 7500.0, diff =   0.0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" Green ave   9.5, SD 0.00, SNR 9500.0, diff =   0.0\n"), std::string::npos) << run.out;
}

TEST(QuorvaRun, SmallestWindowHoldsOneSamplePerPlane)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(make_planes(10, 10, 1, 2, 3, 5)));
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-W1", "-X3", "-Y7"});
    // W 1 becomes 2, H follows; X and Y round down to even.
    EXPECT_EQ(run.out,
              "Camera:  NIKON D800    File:  A.NEF\n"
              "Image 10x10, Window 2x2 at X=2 Y=6\n"
              " Red   ave   1.5, SD 0.00, Max 1, Min 1\n"
              " Green ave   4.0, SD 1.50, Max 5, Min 2\n"
              " Blue  ave   3.5, SD 0.00, Max 3, Min 3\n"
              "\n");
}

TEST(QuorvaRun, GreenClippingCountsZerosAndValuesAboveTheCameraLevel)
{
    ScratchDir dir;
    // D800 saturates above 15600: G1 at 15600 does not count, G2 at 15601 does.
    dir.put("S.NEF", rawgen::make_nef(make_planes(4, 4, 0, 15600, 0, 15601)));
    dir.put("Z.NEF", rawgen::make_nef(make_planes(4, 4, 5, 0, 5, 9)));
    const CapturedRun sat = run_captured(quorva_profile(), {"s", "-L"});
    EXPECT_NE(sat.out.find("Green Saturation rate = 50.0 percent\n"), std::string::npos) << sat.out;
    EXPECT_EQ(sat.out.find("DN=0"), std::string::npos);  // only green zeros count
    const CapturedRun zero = run_captured(quorva_profile(), {"z", "-L"});
    EXPECT_NE(zero.out.find("Green DN=0 rate = 50.0 percent\n"), std::string::npos) << zero.out;
    EXPECT_EQ(dir.read("QUORVA.CSV"),
              heading + "  0.50,15601.00,  0.50, 0.00, 0.50, 0.00, 0.0,50.0, , , , , , , , S.NEF, w4, h4, x0, y0\n" +
                  "  5.50,  5.00,  5.50, 0.00, 4.50, 0.00,50.0, 0.0, , , , , , , , Z.NEF, w4, h4, x0, y0\n");
}

TEST(QuorvaRun, RateLinesAppearFromOnePercentAndFromPointTwoPercent)
{
    ScratchDir dir;
    // A 20 x 20 window: 200 green samples, n = 100. Two zeros make 1.0 percent.
    dir.put("Z2.NEF", rawgen::make_nef(rawgen::make_image(20, 20, [](uint32_t x, uint32_t y) -> uint16_t {
        return (y == 0 && (x == 1 || x == 3)) ? 0 : 50;
    })));
    dir.put("Z1.NEF", rawgen::make_nef(rawgen::make_image(20, 20, [](uint32_t x, uint32_t y) -> uint16_t {
        return (y == 0 && x == 1) ? 0 : 50;
    })));
    // A 50 x 20 window: n = 250; one saturated green is 0.2 percent.
    dir.put("S1.NEF", rawgen::make_nef(rawgen::make_image(50, 20, [](uint32_t x, uint32_t y) -> uint16_t {
        return (y == 1 && x == 0) ? 16000 : 50;
    })));
    EXPECT_NE(run_captured(quorva_profile(), {"z2"}).out.find("Green DN=0 rate = 1.0 percent\n"), std::string::npos);
    EXPECT_EQ(run_captured(quorva_profile(), {"z1"}).out.find("DN=0"), std::string::npos);
    EXPECT_NE(run_captured(quorva_profile(), {"s1"}).out.find("Green Saturation rate = 0.2 percent\n"),
              std::string::npos);
}

TEST(QuorvaRun, CameraTableSetsTheSaturationLevel)
{
    ScratchDir dir;
    rawgen::NefOptions d3x;
    d3x.model = "NIKON D3X";
    // 16100 for the D3X: 16050 is not saturated there, though above the default.
    dir.put("A.NEF", rawgen::make_nef(make_planes(4, 4, 0, 16050, 0, 16050), d3x));
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_NE(run.out.find("Camera:  NIKON D3X     File:  A.NEF\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Saturation"), std::string::npos);
}

TEST(VeldixRun, OddWindowOriginCreditsEachSampleToItsOwnPlane)
{
    ScratchDir dir;
    dir.put("A.TIF", rawgen::make_tiff(make_planes(8, 8, 10, 20, 30, 40)));
    const CapturedRun run = run_captured(veldix_profile(), {"a", "-W4", "-H2", "-X3", "-Y1"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "File:  A.TIF, TIF array size=128 bytes\n"
              "Image 8x8, Window 4x2, X=3, Y=1\n"
              " Red   ave =  10.5, SD 0.00, Max 10, Min 10\n"
              " Green ave =  30.5, SD 10.00, Max 40, Min 20\n"
              " Blue  ave =  30.5, SD 0.00, Max 30, Min 30\n"
              "\n");
}

TEST(VeldixRun, SecondWindowFollowsTheFirstWindowsMosaicPhase)
{
    ScratchDir dir;
    dir.put("A.TIF", rawgen::make_tiff(make_planes(8, 8, 10, 20, 30, 40)));
    // Image 2 has a gradient along x, so its window position shows in the difference.
    dir.put("B.TIF", rawgen::make_tiff(rawgen::make_image(8, 8, [](uint32_t x, uint32_t) -> uint16_t {
        return static_cast<uint16_t>(x);
    })));
    // U = 5 is clamped to 4; X = 3 is an odd distance away, and moving image 2's
    // window forward to 5 would leave the image (5 + 4 > 8): it moves back to 3.
    const CapturedRun run = run_captured(veldix_profile(), {"a", "b", "-W4", "-H2", "-X3", "-Y0", "-U5"});
    // Red samples of image 1 (10) at columns 4, 6 meet image 2's 4 and 6: d = 6, 4.
    EXPECT_NE(run.out.find(" Red   ave =   8.0, SD 0.71, SNR 11.3, diff =   5.0\n"), std::string::npos) << run.out;
}

TEST(VeldixRun, SampleFormatErrorComesAfterTheWindowLine)
{
    ScratchDir dir;
    rawgen::TiffOptions eight_bit;
    eight_bit.strip_byte_count = 64;  // one byte per pixel
    dir.put("A.TIF", rawgen::make_tiff(make_planes(8, 8, 1, 2, 3, 4), eight_bit));
    const CapturedRun run = run_captured(veldix_profile(), {"a", "-R"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "File:  A.TIF, TIF array size=64 bytes\n"
              "Image 8x8, Window 8x8, X=0, Y=0\n"
              "Error:  TIF files must be monochrome 16-bit.\n");
    EXPECT_EQ(dir.read("RCDN.CSV"), "");  // opened before the test, left empty
}

TEST(VeldixRun, ReadsShortEntriesByTheirType)
{
    ScratchDir dir;
    rawgen::TiffOptions big_short;
    big_short.big_endian = true;
    big_short.short_entries = true;
    dir.put("A.TIF", rawgen::make_tiff(make_planes(6, 4, 1, 2, 3, 4), big_short));
    const CapturedRun run = run_captured(veldix_profile(), {"a"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("Image 6x4, Window 6x4, X=0, Y=0\n"), std::string::npos) << run.out;
}

TEST(RunSequence, ReadOnlyImageIsMeasured)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(make_planes(4, 4, 1, 2, 3, 4)));
    ASSERT_EQ(::chmod((dir.path() + "/A.NEF").c_str(), 0444), 0);
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(" Red   ave   1.5"), std::string::npos);
}

TEST(RunSequence, StatsLogIsHeadedOnlyWhileShorterThanEightBytes)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(make_planes(4, 4, 1, 2, 3, 4)));
    const std::string record = "  1.50,  3.50,  3.50, 0.00, 1.00, 0.00, 0.0, 0.0, , , , , , , , A.NEF, w4, h4, x0, y0\n";
    dir.put_text("QUORVA.CSV", "1234567");
    run_captured(quorva_profile(), {"a", "-L"});
    EXPECT_EQ(dir.read("QUORVA.CSV"), "1234567" + heading + record);

    dir.put_text("QUORVA.CSV", "12345678");
    run_captured(quorva_profile(), {"a", "/l"});
    EXPECT_EQ(dir.read("QUORVA.CSV"), "12345678" + record);
}

TEST(RunSequence, UnopenableLogsWarnAndTheRunGoesOn)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(make_planes(4, 4, 1, 2, 3, 4)));
    ASSERT_EQ(::mkdir((dir.path() + "/QUORVA.CSV").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir.path() + "/HQUORVA.CSV").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir.path() + "/RCDN.CSV").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir.path() + "/DFT.CSV").c_str(), 0755), 0);
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-L", "-N5", "-R", "-F"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "Warning:  Unable to open QUORVA.CSV.\n"
              "Warning:  Unable to open HQUORVA.CSV.\n"
              "Camera:  NIKON D800    File:  A.NEF\n"
              "Warning:  Unable to open DFT.CSV.\n"
              "Warning:  Unable to open RCDN.CSV.\n"
              "Image 4x4, Window 4x4 at X=0 Y=0\n"
              " Red   ave   1.5, SD 0.00, Max 1, Min 1\n"
              " Green ave   3.5, SD 1.00, Max 4, Min 2\n"
              " Blue  ave   3.5, SD 0.00, Max 3, Min 3\n"
              "\n");
}

TEST(RunSequence, WideWindowDropsProfilesButStillCreatesTheProfileLog)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(make_planes(2004, 4, 1, 2, 3, 4)));
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-R", "-W2002"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("Camera:  NIKON D800    File:  A.NEF\n"
                           "Window exceeds Math array size; options disabled.\n"
                           "Image 2004x4, Window 2002x4 at X=0 Y=0\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(dir.read("RCDN.CSV"), "");
}

TEST(RunSequence, DecodeErrorLeavesOnlyTheHeadingInANewLog)
{
    ScratchDir dir;
    rawgen::NefOptions no_exif;
    no_exif.omit_exif_pointer = true;
    dir.put("A.NEF", rawgen::make_nef(make_planes(4, 4, 1, 2, 3, 4), no_exif));
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-L", "-S3"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "Camera:  NIKON D800    File:  A.NEF\nEXIF Decode Error 6\n");
    EXPECT_EQ(dir.read("QUORVA.CSV"), heading);
    EXPECT_EQ(dir.read("HQUORVA.CSV"), "");  // opened before the image was examined
}

TEST(RunSequence, UsageAfterAnImageNameEndsTheRunWithoutReports)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(make_planes(4, 4, 1, 2, 3, 4)));
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-L", "-?", "-R"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("QUORVA V.0.72, Apr. 2012.\n", 0), 0u);
    EXPECT_FALSE(dir.exists("QUORVA.CSV"));
}

TEST(RunSequence, TinyImageIsRefusedAfterTheProbe)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(rawgen::make_image(1, 8, [](uint32_t, uint32_t) -> uint16_t { return 1; })));
    dir.put("A.TIF", rawgen::make_tiff(rawgen::make_image(8, 1, [](uint32_t, uint32_t) -> uint16_t { return 1; })));
    const CapturedRun q = run_captured(quorva_profile(), {"a", "-L"});
    EXPECT_EQ(q.status, 1);
    EXPECT_EQ(q.out, "Camera:  NIKON D800    File:  A.NEF\nError:  Image must be at least 2x2 pixels.\n");
    const CapturedRun v = run_captured(veldix_profile(), {"a"});
    EXPECT_EQ(v.status, 1);
    EXPECT_EQ(v.out, "File:  A.TIF, TIF array size=16 bytes\nError:  Image must be at least 2x2 pixels.\n");
}

}  // namespace
