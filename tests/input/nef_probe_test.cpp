// The NEF probe: every failure code with its message and status, the camera
// table, and where the samples are taken from.
#include <gtest/gtest.h>

#include "input/nef_probe.h"
#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

rawgen::Image gradient(uint32_t width, uint32_t height)
{
    return rawgen::make_image(width, height,
                              [=](uint32_t x, uint32_t y) -> uint16_t { return static_cast<uint16_t>(100 + x + 10 * y); });
}

CapturedRun quorva(const std::vector<std::string>& args) { return run_captured(quorva_profile(), args); }

const std::string file_line = "Camera:  NIKON D800    File:  A.NEF\n";
std::string decode(int code) { return file_line + "EXIF Decode Error " + std::to_string(code) + "\n"; }

struct ProbeCase {
    const char* name;
    void (*corrupt)(rawgen::NefOptions&);
    int status;
    std::string out;
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

class NefProbeFailure : public testing::TestWithParam<ProbeCase> {};

TEST_P(NefProbeFailure, PrintsItsMessageAndEndsWithItsStatus)
{
    ScratchDir dir;
    rawgen::NefOptions options;
    GetParam().corrupt(options);
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6), options));
    const CapturedRun run = quorva({"a"});
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(run.out, GetParam().out);
}

using O = rawgen::NefOptions;
INSTANTIATE_TEST_SUITE_P(
    Codes, NefProbeFailure,
    testing::Values(
        ProbeCase{"bad_mark", [](O& o) { o.file_mark = 0x4A4A; }, 1, "Error:  File corruption 1, Exifbase 0.\n"},
        ProbeCase{"not_42", [](O& o) { o.file_magic = 43; }, 1, "Error:  File corruption 2, Exifbase 0.\n"},
        ProbeCase{"directory_past_1000", [](O& o) { o.first_ifd_offset = 1001; }, 1,
                  "Error:  File corruption 3, Exifbase 3e9.\n"},
        ProbeCase{"no_model", [](O& o) { o.omit_model = true; }, 2, "File:  A.NEF\nEXIF Decode Error 4\n"},
        ProbeCase{"other_maker", [](O& o) { o.model = "Canon EOS 5D"; }, 2, "File:  A.NEF\nEXIF Decode Error 5\n"},
        ProbeCase{"no_EXIF", [](O& o) { o.omit_exif_pointer = true; }, 2, decode(6)},
        ProbeCase{"no_maker_note", [](O& o) { o.omit_maker_note = true; }, 2, decode(7)},
        ProbeCase{"no_signature", [](O& o) { o.maker_signature = "Nokia"; }, 2, decode(8)},
        ProbeCase{"maker_mark", [](O& o) { o.maker_mark = 0x4D49; }, 2, decode(9)},
        ProbeCase{"maker_not_42", [](O& o) { o.maker_magic = 0; }, 2, decode(10)},
        ProbeCase{"maker_directory_past_1000", [](O& o) { o.maker_ifd_offset = 1001; }, 2, decode(11)},
        // At 1000 the directory is accepted and holds nothing the probe wants.
        ProbeCase{"maker_directory_at_1000", [](O& o) { o.maker_ifd_offset = 1000; }, 2, decode(12)},
        ProbeCase{"no_size_entry", [](O& o) { o.omit_size_entry = true; }, 2, decode(12)},
        ProbeCase{"size_entry_of_type_LONG", [](O& o) { o.size_entry_type = 4; }, 2, decode(13)},
        ProbeCase{"size_entry_of_6_values", [](O& o) { o.size_entry_count = 6; }, 2, decode(13)},
        ProbeCase{"samples_cut_short", [](O& o) { o.header_bytes = 10000; o.raw_bytes_delta = -1; }, 1,
                  file_line + "Error:  File must be Uncompressed 14-bit NEF.\n"}),
    [](const testing::TestParamInfo<ProbeCase>& param) { return param.param.name; });

TEST(NefProbe, FileOfExactlyRawSizePlus10000Passes)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6), {.header_bytes = 10000}));
    const CapturedRun run = quorva({"a", "-W2", "-X0", "-Y0"});
    EXPECT_EQ(run.status, 0) << run.out;
    // The samples start at byte 10000: the top-left pixels are 100, 101 / 110, 111.
    EXPECT_NE(run.out.find(" Red   ave 100.5, SD 0.00, Max 100, Min 100\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" Blue  ave 111.5, SD 0.00, Max 111, Min 111\n"), std::string::npos) << run.out;
}

TEST(NefProbe, SecondFileIsSizeTestedAndTakesItsSamplesFromItsOwnEnd)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6)));
    dir.put("B.NEF", rawgen::make_nef(gradient(8, 6), {.header_bytes = 9999}));
    const CapturedRun short_run = quorva({"a", "b"});
    EXPECT_EQ(short_run.status, 1);
    EXPECT_EQ(short_run.out, "Camera:  NIKON D800    File:  A.NEF minus B.NEF\n"
                             "Error:  File must be Uncompressed 14-bit NEF.\n");

    dir.put("B.NEF", rawgen::make_nef(rawgen::make_image(8, 6, [](uint32_t, uint32_t) -> uint16_t { return 100; }),
                                      {.header_bytes = 15000}));
    // Red of image 1 at (2, 0) is 102; image 2 is 100 everywhere.
    const CapturedRun run = quorva({"a", "b", "-W2", "-X2", "-Y0"});
    EXPECT_NE(run.out.find(" Red   ave 101.5, SD 0.00, SNR 101500.0, diff =   2.0\n"), std::string::npos) << run.out;
}

struct SecondNefCase {
    const char* name;
    uint32_t width, height;
    void (*change)(rawgen::NefOptions&);
    bool compatible;
};

class SecondNef : public testing::TestWithParam<SecondNefCase> {};

// Image 2 is walked like image 1, silently; one that is no NEF of image 1's
// size and sample byte order is dropped with a warning, never subtracted.
TEST_P(SecondNef, IsSubtractedOnlyWhenItMatchesTheFirst)
{
    const SecondNefCase& c = GetParam();
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6)));
    rawgen::NefOptions options;
    options.model = "NIKON D3X";  // another camera's model is never looked at
    c.change(options);
    dir.put("B.NEF", rawgen::make_nef(gradient(c.width, c.height), options));
    const CapturedRun run = quorva({"a", "b", "-L"});
    EXPECT_EQ(run.status, 0);
    const std::string head = "Camera:  NIKON D800    File:  A.NEF minus B.NEF\n";
    const std::string log = dir.read("QUORVA.CSV");
    if (c.compatible) {
        EXPECT_EQ(run.out.substr(0, head.size() + 5), head + "Image") << run.out;
        EXPECT_TRUE(log.ends_with(", A.NEF minus B.NEF, w8, h6, x0, y0\n")) << log;
    } else {
        EXPECT_EQ(run.out.substr(0, run.out.find("Image")),
                  head + "Warning:  File 2 incompatible.  Computing single-file statistics.\n");
        // Image 1 alone: red at x = 0, 2, 4, 6 and y = 0, 2, 4 is 100 + x + 10 y.
        EXPECT_NE(run.out.find(" Red   ave 123.5, SD 16.48, Max 146, Min 100\n"), std::string::npos) << run.out;
        EXPECT_TRUE(log.ends_with(", A.NEF, w8, h6, x0, y0\n")) << log;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Walk, SecondNef,
    testing::Values(SecondNefCase{"same", 8, 6, [](rawgen::NefOptions&) {}, true},
                    SecondNefCase{"other_file_order", 8, 6, [](rawgen::NefOptions& o) { o.file_big_endian = false; },
                                  true},
                    SecondNefCase{"wider", 10, 6, [](rawgen::NefOptions&) {}, false},
                    SecondNefCase{"taller", 8, 8, [](rawgen::NefOptions&) {}, false},
                    SecondNefCase{"other_sample_order", 8, 6,
                                  [](rawgen::NefOptions& o) { o.maker_big_endian = false; }, false},
                    SecondNefCase{"bad_header", 8, 6, [](rawgen::NefOptions& o) { o.file_magic = 43; }, false},
                    SecondNefCase{"directory_past_1000", 8, 6,
                                  [](rawgen::NefOptions& o) { o.first_ifd_offset = 1001; }, false},
                    SecondNefCase{"no_maker_note", 8, 6, [](rawgen::NefOptions& o) { o.omit_maker_note = true; },
                                  false},
                    SecondNefCase{"maker_directory_past_1000", 8, 6,
                                  [](rawgen::NefOptions& o) { o.maker_ifd_offset = 1001; }, false},
                    SecondNefCase{"size_entry_of_6_values", 8, 6,
                                  [](rawgen::NefOptions& o) { o.size_entry_count = 6; }, false}),
    [](const testing::TestParamInfo<SecondNefCase>& param) { return param.param.name; });

TEST(NefProbe, ModelTextGivesTheSaturationLevel)
{
    for (const auto& [model, level] :
         {std::pair{"NIKON D3S", 15400}, {"NIKON D3X", 16100}, {"NIKON D3", 16000}, {"NIKON D700", 16000},
          {"NIKON D300S", 15650}, {"NIKON D300", 15650}, {"NIKON D4", 15250}, {"NIKON D800", 15600},
          {"NIKON D800E", 15250}, {"NIKON D4S", 15250}, {"NIKON D810", 15250}, {"NIKON D3000", 15250},
          {"NIKON D5", 15250}}) {
        const std::string text = model;
        EXPECT_EQ(camera_saturation_level(clean_model_text(text.c_str(), text.size() + 1)), level) << model;
    }
}

TEST(NefProbe, ModelTextIsCleanedToTwelvePrintableCharacters)
{
    const char with_garbage[] = {'N', 'I', 'K', 'O', 'N', ' ', 'D', '4', '\0', 'x', '\n', '\x90'};
    EXPECT_EQ(clean_model_text(with_garbage, 12), "NIKON D4 x  ");
    EXPECT_EQ(clean_model_text("NIKON D4", 5), "NIKON       ");  // positions not reached are blanks
    EXPECT_EQ(clean_model_text("", 0), "            ");

    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6), {.model = "NIKON D3 PROTOTYPE"}));  // no terminator read
    EXPECT_EQ(quorva({"a"}).out.substr(0, 35), "Camera:  NIKON D3 PRO  File:  A.NEF");
    // The read stops after a line end: "D3X" beyond it is not part of the model.
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6), {.model = "NIKON D\nD3X"}));
    EXPECT_EQ(quorva({"a"}).out.substr(0, 35), "Camera:  NIKON D       File:  A.NEF");
}

}  // namespace
