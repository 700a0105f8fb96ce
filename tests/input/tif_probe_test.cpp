// The TIFF probe: header errors, missing entries, the second image's
// compatibility warnings and the file line.
#include <gtest/gtest.h>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

rawgen::Image flat(uint32_t width, uint32_t height, uint16_t value)
{
    return rawgen::make_image(width, height, [=](uint32_t, uint32_t) { return value; });
}

CapturedRun veldix(const ScratchDir&, std::vector<std::string> args)
{
    return run_captured(veldix_profile(), args);
}

TEST(TifProbe, HeaderFailuresAreNumberedCorruptionErrors)
{
    ScratchDir dir;
    rawgen::TiffOptions bad_mark;
    bad_mark.file_mark = 0x4949 + 1;
    dir.put("M.TIF", rawgen::make_tiff(flat(8, 8, 5), bad_mark));
    rawgen::TiffOptions bad_magic;
    bad_magic.file_magic = 43;
    dir.put("F.TIF", rawgen::make_tiff(flat(8, 8, 5), bad_magic));
    dir.put("S.TIF", {'I', 'I', 42, 0, 8, 0, 0, 0});  // under 40 bytes: the limit wraps
    for (const auto& [name, out] : std::vector<std::pair<std::string, std::string>>{
             {"m", "Error 1:  File corruption.\n"},
             {"f", "Error 2:  File corruption.\n"},
             {"s", "File:  S.TIF, TIF array size=0 bytes\nError 15:  Missing image parameter(s).\n"}}) {
        const CapturedRun run = veldix(dir, {name, "-L"});
        EXPECT_EQ(run.status, 1) << name;
        // The missing-parameter error comes before the file line.
        if (name == "s")
            EXPECT_EQ(run.out, "Error 15:  Missing image parameter(s).\n");
        else
            EXPECT_EQ(run.out, out);
    }
}

TEST(TifProbe, DirectoryMustLeaveFortyBytesBeforeTheEnd)
{
    ScratchDir dir;
    const auto bytes = rawgen::make_tiff(flat(4, 4, 5));
    for (const uint32_t offset : {static_cast<uint32_t>(bytes.size() - 40), static_cast<uint32_t>(bytes.size() - 39)}) {
        rawgen::TiffOptions options;
        options.ifd_offset = offset;
        dir.put("A.TIF", rawgen::make_tiff(flat(4, 4, 5), options));
        const CapturedRun run = veldix(dir, {"a"});
        // At the limit the header passes and the (empty) directory lacks everything.
        EXPECT_EQ(run.out, offset == bytes.size() - 40 ? "Error 15:  Missing image parameter(s).\n"
                                                      : "Error 3:  File corruption.\n");
        EXPECT_EQ(run.status, 1);
    }
}

TEST(TifProbe, MissingEntriesAreSummedByTheirBitValues)
{
    ScratchDir dir;
    rawgen::TiffOptions no_strips;
    no_strips.omit_strip_offset = true;
    no_strips.omit_byte_count = true;
    dir.put("A.TIF", rawgen::make_tiff(flat(4, 4, 5), no_strips));
    rawgen::TiffOptions no_height;
    no_height.omit_height = true;
    dir.put("B.TIF", rawgen::make_tiff(flat(4, 4, 5), no_height));
    EXPECT_EQ(veldix(dir, {"a"}).out, "Error 12:  Missing image parameter(s).\n");
    EXPECT_EQ(veldix(dir, {"b"}).out, "Error 2:  Missing image parameter(s).\n");
}

struct SecondImageCase {
    const char* name;
    rawgen::TiffOptions second;
    uint32_t width, height;
    int code;  // 0: accepted
};

class SecondImage : public testing::TestWithParam<SecondImageCase> {};

TEST_P(SecondImage, IncompatibleFileTurnsTwoFileModeOff)
{
    const SecondImageCase& c = GetParam();
    ScratchDir dir;
    dir.put("A.TIF", rawgen::make_tiff(flat(8, 8, 500)));
    dir.put("B.TIF", rawgen::make_tiff(flat(c.width, c.height, 400), c.second));
    const CapturedRun run = veldix(dir, {"a", "b", "-L"});
    EXPECT_EQ(run.status, 0);
    if (c.code == 0) {
        EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "File:  A.TIF minus B.TIF, TIF array size=128 bytes\n");
        EXPECT_NE(run.out.find("diff = 100.0"), std::string::npos) << run.out;
        EXPECT_NE(dir.read("VELDIX.CSV").find(", A.TIF minus B.TIF, w8, h8, x0, y0\n"), std::string::npos);
    } else {
        EXPECT_EQ(run.out.substr(0, run.out.find("Image")),
                  "Warning " + std::to_string(c.code) +
                      ":  File 2 incompatible.  Computing single-image data.\n"
                      "File:  A.TIF, TIF array size=128 bytes\n");
        EXPECT_NE(run.out.find("Max 500, Min 500"), std::string::npos) << run.out;
        EXPECT_NE(dir.read("VELDIX.CSV").find(", A.TIF, w8, h8, x0, y0\n"), std::string::npos);
    }
}

rawgen::TiffOptions with(void (*change)(rawgen::TiffOptions&))
{
    rawgen::TiffOptions options;
    change(options);
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SecondImage,
    testing::Values(
        SecondImageCase{"same", {}, 8, 8, 0},
        SecondImageCase{"other byte order", with([](rawgen::TiffOptions& o) { o.big_endian = true; }), 8, 8, 5},
        SecondImageCase{"not 42", with([](rawgen::TiffOptions& o) { o.file_magic = 7; }), 8, 8, 6},
        SecondImageCase{"not 42 and other offset",
                        with([](rawgen::TiffOptions& o) { o.file_magic = 7; o.ifd_offset = 12; }), 8, 8, 7},
        SecondImageCase{"directory elsewhere", with([](rawgen::TiffOptions& o) { o.ifd_offset = 12; }), 8, 8, 7},
        SecondImageCase{"other width", {}, 10, 8, 8},
        SecondImageCase{"other height", {}, 8, 10, 9},
        SecondImageCase{"other width and height", {}, 10, 10, 9},
        SecondImageCase{"no width entry", with([](rawgen::TiffOptions& o) { o.omit_width = true; }), 8, 8, 8},
        SecondImageCase{"no strip offset", with([](rawgen::TiffOptions& o) { o.omit_strip_offset = true; }), 8, 8, 10},
        SecondImageCase{"other height, no strip",
                        with([](rawgen::TiffOptions& o) { o.omit_strip_offset = true; }), 8, 10, 10},
        SecondImageCase{"byte count never compared",
                        with([](rawgen::TiffOptions& o) { o.strip_byte_count = 3; }), 8, 8, 0},
        SecondImageCase{"short entries", with([](rawgen::TiffOptions& o) { o.short_entries = true; }), 8, 8, 0}),
    [](const testing::TestParamInfo<SecondImageCase>& param) {
        std::string name = param.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(TifProbe, BigEndianPairIsAcceptedAndReadInItsOrder)
{
    ScratchDir dir;
    rawgen::TiffOptions big;
    big.big_endian = true;
    dir.put("A.TIF", rawgen::make_tiff(flat(6, 6, 0x1234), big));
    dir.put("B.TIF", rawgen::make_tiff(flat(6, 6, 0x1200), big));
    const CapturedRun run = veldix(dir, {"a", "b"});
    EXPECT_NE(run.out.find(" Red   ave = 4634.5, SD 0.00, SNR 4634500.0, diff =  52.0\n"), std::string::npos)
        << run.out;
}

TEST(TifProbe, SamplesBeyondTheEndOfTheFileReadAsZero)
{
    ScratchDir dir;
    rawgen::TiffOptions cut;
    cut.raw_bytes_delta = -2 * 8 * 4;  // the lower half of an 8 x 8 image is missing
    dir.put("A.TIF", rawgen::make_tiff(flat(8, 8, 10), cut));
    const CapturedRun run = veldix(dir, {"a"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(" Red   ave =   5.5, SD 5.00, Max 10, Min 0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Green DN=0 rate = 50.0 percent\n"), std::string::npos);
}

}  // namespace
