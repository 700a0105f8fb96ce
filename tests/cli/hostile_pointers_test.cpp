// Hostile inputs of the kinds the fuzz targets generate: directory pointers
// aimed back or far past the end of the file. Each run ends with the system's
// own message and status.
#include <gtest/gtest.h>

#include <algorithm>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

const rawgen::Image flat = rawgen::make_planes(8, 6, 100, 200, 300, 400);

struct Pointer {
    const char* name;
    std::vector<uint8_t> tag_and_type;  // of the big-endian entry whose value field is rewritten
    uint32_t value;
    int status;
    std::string out;
};

class PointerInNef : public testing::TestWithParam<Pointer> {};

TEST_P(PointerInNef, EndsWithTheProbesOwnMessage)
{
    const Pointer& c = GetParam();
    std::vector<uint8_t> nef = rawgen::make_nef(flat);
    const auto at = std::search(nef.begin(), nef.end(), c.tag_and_type.begin(), c.tag_and_type.end());
    ASSERT_NE(at, nef.end());
    for (int i = 0; i < 4; ++i)
        at[8 + i] = static_cast<uint8_t>(c.value >> (24 - 8 * i));
    ScratchDir dir;
    dir.put("A.NEF", nef);
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
}

const std::string camera = "Camera:  NIKON D800    File:  A.NEF\n";

INSTANTIATE_TEST_SUITE_P(
    Fuzzed, PointerInNef,
    testing::Values(
        // Nothing is read there: twelve blanks, no "NIKON D", code 5 without "Camera:".
        Pointer{"model_text_past_the_end", {0x01, 0x10, 0x00, 0x02}, 0xFFFFFFF0u, 2,
                "File:  A.NEF\nEXIF Decode Error 5\n"},
        // The EXIF pointer aimed back at the first directory: no maker note there.
        Pointer{"exif_pointer_at_the_first_directory", {0x87, 0x69, 0x00, 0x04}, 8, 2,
                camera + "EXIF Decode Error 7\n"},
        Pointer{"maker_note_past_the_end", {0x92, 0x7C, 0x00, 0x07}, 0xFFFFFFFFu, 2, camera + "EXIF Decode Error 8\n"},
        // Relative to the maker note's header, and added in 64 bits: no wrap back into
        // the file. Width and height read as 0, which passes the size test (no samples).
        Pointer{"size_values_past_the_end", {0x00, 0x1B, 0x00, 0x03, 0x00, 0x00, 0x00, 0x07}, 0xFFFFFFFFu, 1,
                camera + "Error:  Image must be at least 2x2 pixels.\n"}),
    [](const testing::TestParamInfo<Pointer>& param) { return std::string(param.param.name); });

}  // namespace
