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

struct ProbeCase {
    const char* name;
    void (*corrupt)(rawgen::NefOptions&);
    int status;
    const char* out;
};

void PrintTo(const ProbeCase& c, std::ostream* os)
{
    *os << c.name;
}

const char* const file_line = "Camera:  NIKON D800    File:  A.NEF\n";

class NefProbeFailure : public testing::TestWithParam<ProbeCase> {};

TEST_P(NefProbeFailure, PrintsItsMessageAndEndsWithItsStatus)
{
    ScratchDir dir;
    rawgen::NefOptions options;
    GetParam().corrupt(options);
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6), options));
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_EQ(run.out, GetParam().out);
}

std::string after_file_line(const char* tail)
{
    return std::string(file_line) + tail;
}

const std::string decode6 = after_file_line("EXIF Decode Error 6\n");
const std::string decode7 = after_file_line("EXIF Decode Error 7\n");
const std::string decode8 = after_file_line("EXIF Decode Error 8\n");
const std::string decode9 = after_file_line("EXIF Decode Error 9\n");
const std::string decode10 = after_file_line("EXIF Decode Error 10\n");
const std::string decode11 = after_file_line("EXIF Decode Error 11\n");
const std::string decode12 = after_file_line("EXIF Decode Error 12\n");
const std::string decode13 = after_file_line("EXIF Decode Error 13\n");
const std::string too_short = after_file_line("Error:  File must be Uncompressed 14-bit NEF.\n");

INSTANTIATE_TEST_SUITE_P(
    Codes, NefProbeFailure,
    testing::Values(
        ProbeCase{"bad mark", [](rawgen::NefOptions& o) { o.file_mark = 0x4A4A; }, 1,
                  "Error:  File corruption 1, Exifbase 0.\n"},
        ProbeCase{"not 42", [](rawgen::NefOptions& o) { o.file_magic = 43; }, 1,
                  "Error:  File corruption 2, Exifbase 0.\n"},
        ProbeCase{"directory past 1000", [](rawgen::NefOptions& o) { o.first_ifd_offset = 1001; }, 1,
                  "Error:  File corruption 3, Exifbase 3e9.\n"},
        ProbeCase{"no model", [](rawgen::NefOptions& o) { o.omit_model = true; }, 2,
                  "File:  A.NEF\nEXIF Decode Error 4\n"},
        ProbeCase{"other maker", [](rawgen::NefOptions& o) { o.model = "Canon EOS 5D"; }, 2,
                  "File:  A.NEF\nEXIF Decode Error 5\n"},
        ProbeCase{"no EXIF", [](rawgen::NefOptions& o) { o.omit_exif_pointer = true; }, 2, decode6.c_str()},
        ProbeCase{"no maker note", [](rawgen::NefOptions& o) { o.omit_maker_note = true; }, 2, decode7.c_str()},
        ProbeCase{"no signature", [](rawgen::NefOptions& o) { o.maker_signature = "Nokia"; }, 2, decode8.c_str()},
        ProbeCase{"maker mark", [](rawgen::NefOptions& o) { o.maker_mark = 0x4D49; }, 2, decode9.c_str()},
        ProbeCase{"maker not 42", [](rawgen::NefOptions& o) { o.maker_magic = 0; }, 2, decode10.c_str()},
        ProbeCase{"maker directory past 1000", [](rawgen::NefOptions& o) { o.maker_ifd_offset = 1001; }, 2,
                  decode11.c_str()},
        ProbeCase{"no size entry", [](rawgen::NefOptions& o) { o.omit_size_entry = true; }, 2, decode12.c_str()},
        ProbeCase{"size entry of type LONG", [](rawgen::NefOptions& o) { o.size_entry_type = 4; }, 2,
                  decode13.c_str()},
        ProbeCase{"size entry of 6 values", [](rawgen::NefOptions& o) { o.size_entry_count = 6; }, 2,
                  decode13.c_str()},
        ProbeCase{"samples cut short", [](rawgen::NefOptions& o) { o.header_bytes = 10000; o.raw_bytes_delta = -1; },
                  1, too_short.c_str()}),
    [](const testing::TestParamInfo<ProbeCase>& param) {
        std::string name = param.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

TEST(NefProbe, AcceptsDirectoryOffsetsUpTo1000)
{
    ScratchDir dir;
    rawgen::NefOptions options;
    options.maker_ifd_offset = 1000;  // accepted; the directory then holds nothing the probe wants
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6), options));
    EXPECT_EQ(run_captured(quorva_profile(), {"a"}).out, decode12);
}

TEST(NefProbe, FileOfExactlyRawSizePlus10000Passes)
{
    ScratchDir dir;
    rawgen::NefOptions options;
    options.header_bytes = 10000;
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6), options));
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-W2", "-X0", "-Y0"});
    EXPECT_EQ(run.status, 0) << run.out;
    // The samples start at byte 10000: the top-left pixels are 100, 101 / 110, 111.
    EXPECT_NE(run.out.find(" Red   ave 100.5, SD 0.00, Max 100, Min 100\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" Blue  ave 111.5, SD 0.00, Max 111, Min 111\n"), std::string::npos) << run.out;
}

TEST(NefProbe, SecondFileTooShortStopsTheRun)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6)));
    rawgen::NefOptions short_header;
    short_header.header_bytes = 9999;
    dir.put("B.NEF", rawgen::make_nef(gradient(8, 6), short_header));
    const CapturedRun run = run_captured(quorva_profile(), {"a", "b"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Camera:  NIKON D800    File:  A.NEF minus B.NEF\n"
                       "Error:  File must be Uncompressed 14-bit NEF.\n");
}

TEST(NefProbe, SecondFileTakesItsOwnSamplesFromItsOwnEnd)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6)));
    rawgen::NefOptions longer;
    longer.header_bytes = 15000;
    dir.put("B.NEF", rawgen::make_nef(rawgen::make_image(8, 6, [](uint32_t, uint32_t) -> uint16_t { return 100; }),
                                      longer));
    const CapturedRun run = run_captured(quorva_profile(), {"a", "b", "-W2", "-X2", "-Y0"});
    // Red of image 1 at (2, 0) is 102; image 2 is 100 everywhere.
    EXPECT_NE(run.out.find(" Red   ave 101.5, SD 0.00, SNR 101500.0, diff =   2.0\n"), std::string::npos) << run.out;
}

TEST(NefProbe, SamplesAreReadInTheMakerNotesByteOrder)
{
    for (bool file_big : {true, false})
        for (bool maker_big : {true, false}) {
            ScratchDir dir;
            rawgen::NefOptions options;
            options.file_big_endian = file_big;
            options.maker_big_endian = maker_big;
            dir.put("A.NEF", rawgen::make_nef(gradient(8, 6), options));
            const CapturedRun run = run_captured(quorva_profile(), {"a", "-W2", "-X4", "-Y2"});
            EXPECT_EQ(run.status, 0);
            // (4, 2) = 124, (5, 2) = 125, (4, 3) = 134, (5, 3) = 135.
            EXPECT_NE(run.out.find(" Red   ave 124.5"), std::string::npos) << file_big << maker_big << run.out;
            EXPECT_NE(run.out.find(" Green ave 130.0, SD 4.50, Max 134, Min 125\n"), std::string::npos) << run.out;
        }
}

struct CameraCase {
    const char* model;
    int32_t level;
};

class CameraTable : public testing::TestWithParam<CameraCase> {};

TEST_P(CameraTable, ModelTextGivesTheSaturationLevel)
{
    std::string text = GetParam().model;
    EXPECT_EQ(camera_saturation_level(clean_model_text(text.c_str(), text.size() + 1)), GetParam().level)
        << GetParam().model;
}

INSTANTIATE_TEST_SUITE_P(Models, CameraTable,
                         testing::Values(CameraCase{"NIKON D3S", 15400}, CameraCase{"NIKON D3X", 16100},
                                         CameraCase{"NIKON D3", 16000}, CameraCase{"NIKON D700", 16000},
                                         CameraCase{"NIKON D300S", 15650}, CameraCase{"NIKON D300", 15650},
                                         CameraCase{"NIKON D4", 15250}, CameraCase{"NIKON D800", 15600},
                                         CameraCase{"NIKON D800E", 15250}, CameraCase{"NIKON D4S", 15250},
                                         CameraCase{"NIKON D810", 15250}, CameraCase{"NIKON D3000", 15250},
                                         CameraCase{"NIKON D5", 15250}));

TEST(NefProbe, ModelTextIsCleanedToTwelvePrintableCharacters)
{
    const char with_garbage[] = {'N', 'I', 'K', 'O', 'N', ' ', 'D', '4', '\0', 'x', '\n', '\x90'};
    EXPECT_EQ(clean_model_text(with_garbage, 12), "NIKON D4 x  ");
    EXPECT_EQ(clean_model_text("NIKON D4", 5), "NIKON       ");  // positions not reached are blanks
    EXPECT_EQ(clean_model_text("", 0), "            ");
}

TEST(NefProbe, ModelWithoutTerminatorKeepsTwelveCharacters)
{
    ScratchDir dir;
    rawgen::NefOptions options;
    options.model = "NIKON D3 PROTOTYPE";  // longer than the text read
    dir.put("A.NEF", rawgen::make_nef(gradient(8, 6), options));
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_EQ(run.out.substr(0, 35), "Camera:  NIKON D3 PRO  File:  A.NEF");
}

}  // namespace
