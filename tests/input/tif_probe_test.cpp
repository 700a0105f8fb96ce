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

CapturedRun veldix(const std::vector<std::string>& args) { return run_captured(veldix_profile(), args); }

TEST(TifProbe, HeaderErrorsAndMissingEntriesEndWithStatus1)
{
    ScratchDir dir;
    const auto bytes = rawgen::make_tiff(flat(4, 4, 5));
    const uint32_t limit = static_cast<uint32_t>(bytes.size() - 40);  // the directory must leave 40 bytes
    const std::string missing = "Missing image parameter(s).\n";
    for (const auto& [options, out] : std::vector<std::pair<rawgen::TiffOptions, std::string>>{
             {{.file_mark = 0x4949 + 1}, "Error 1:  File corruption.\n"},
             {{.file_magic = 43}, "Error 2:  File corruption.\n"},
             {{.ifd_offset = limit + 1}, "Error 3:  File corruption.\n"},
             // At the limit the header passes and the (empty) directory lacks everything.
             {{.ifd_offset = limit}, "Error 15:  " + missing},
             // Missing entries are summed by their bits: width 1, height 2, offset 4, count 8.
             {{.omit_height = true}, "Error 2:  " + missing},
             {{.omit_strip_offset = true, .omit_byte_count = true}, "Error 12:  " + missing}}) {
        dir.put("A.TIF", rawgen::make_tiff(flat(4, 4, 5), options));
        const CapturedRun run = veldix({"a", "-L"});
        EXPECT_EQ(run.status, 1) << out;
        EXPECT_EQ(run.out, out);
    }
    dir.put("A.TIF", {'I', 'I', 42, 0, 8, 0, 0, 0});  // under 40 bytes: the limit wraps
    EXPECT_EQ(veldix({"a"}).out, "Error 15:  " + missing);
}

struct SecondImageCase {
    const char* name;
    rawgen::TiffOptions first, second;
    uint32_t width, height;
    int code;  // 0: accepted
};

class SecondImage : public testing::TestWithParam<SecondImageCase> {};

TEST_P(SecondImage, IncompatibleFileTurnsTwoFileModeOff)
{
    const SecondImageCase& c = GetParam();
    ScratchDir dir;
    dir.put("A.TIF", rawgen::make_tiff(flat(8, 8, 500), c.first));
    dir.put("B.TIF", rawgen::make_tiff(flat(c.width, c.height, 400), c.second));
    const CapturedRun run = veldix({"a", "b", "-L"});
    EXPECT_EQ(run.status, 0);
    if (c.code == 0) {
        EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "File:  A.TIF minus B.TIF, TIF array size=128 bytes\n");
        EXPECT_NE(run.out.find(" Red   ave = 450.5, SD 0.00, SNR 450500.0, diff = 100.0\n"), std::string::npos)
            << run.out;
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

INSTANTIATE_TEST_SUITE_P(
    Codes, SecondImage,
    testing::Values(SecondImageCase{"same", {}, {}, 8, 8, 0},
                    SecondImageCase{"both_big_endian", {.big_endian = true}, {.big_endian = true}, 8, 8, 0},
                    SecondImageCase{"first_big_endian", {.big_endian = true}, {}, 8, 8, 4},
                    SecondImageCase{"second_big_endian", {}, {.big_endian = true}, 8, 8, 5},
                    SecondImageCase{"not_42", {}, {.file_magic = 7}, 8, 8, 6},
                    SecondImageCase{"not_42_and_other_offset", {}, {.file_magic = 7, .ifd_offset = 12}, 8, 8, 7},
                    SecondImageCase{"directory_elsewhere", {}, {.ifd_offset = 12}, 8, 8, 7},
                    SecondImageCase{"other_width", {}, {}, 10, 8, 8},
                    SecondImageCase{"other_height", {}, {}, 8, 10, 9},
                    SecondImageCase{"other_width_and_height", {}, {}, 10, 10, 9},
                    SecondImageCase{"no_width_entry", {}, {.omit_width = true}, 8, 8, 8},
                    SecondImageCase{"no_strip_offset", {}, {.omit_strip_offset = true}, 8, 8, 10},
                    SecondImageCase{"other_height_no_strip", {}, {.omit_strip_offset = true}, 8, 10, 10},
                    SecondImageCase{"byte_count_never_compared", {}, {.strip_byte_count = 3}, 8, 8, 0},
                    SecondImageCase{"short_entries", {}, {.short_entries = true}, 8, 8, 0},
                    // Its samples must be in the file, checked only once all else fits.
                    SecondImageCase{"strip_one_byte_short", {}, {.raw_bytes_delta = -1}, 8, 8, 11},
                    SecondImageCase{"strip_past_the_end", {}, {.strip_offset = 0xFFFFFF00u}, 8, 8, 11},
                    SecondImageCase{"other_height_and_strip_short", {}, {.raw_bytes_delta = -1}, 8, 10, 9}),
    [](const testing::TestParamInfo<SecondImageCase>& param) { return std::string(param.param.name); });

TEST(TifProbe, ImageDataBeyondTheEndOfTheFileIsNeverMeasured)
{
    ScratchDir dir;
    // The last byte missing, the strip one byte further on than its data, or
    // far past the end: after the format test, an error and nothing measured.
    for (const rawgen::TiffOptions& options : {rawgen::TiffOptions{.raw_bytes_delta = -1},
                                               rawgen::TiffOptions{.strip_offset = 1377, .data_at = 1376},
                                               rawgen::TiffOptions{.strip_offset = 0xFFFFFF00u}}) {
        dir.put("A.TIF", rawgen::make_tiff(flat(8, 8, 10), options));
        const CapturedRun run = veldix({"a", "-L"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "File:  A.TIF, TIF array size=128 bytes\n"
                           "Image 8x8, Window 8x8, X=0, Y=0\n"
                           "Error:  Image data beyond the end of the file.\n");
        EXPECT_FALSE(dir.read("VELDIX.CSV").ends_with("y0\n"));
    }
}

}  // namespace
