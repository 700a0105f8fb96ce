// Hostile inputs of the kinds the fuzz targets generate: empty second images and
// directory pointers aimed back or far past the end of the file. Each run ends
// with the system's own message and status.
#include <gtest/gtest.h>

#include <algorithm>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

const rawgen::Image flat = rawgen::make_planes(8, 6, 100, 200, 300, 400);

// The report of `flat` alone (green pools 200 and 400), by each program.
const std::string quorva_flat =
    "Camera:  NIKON D800    File:  A.NEF\nImage 8x6, Window 8x6 at X=0 Y=0\n"
    " Red   ave 100.5, SD 0.00, Max 100, Min 100\n"
    " Green ave 300.5, SD 100.00, Max 400, Min 200\n"
    " Blue  ave 300.5, SD 0.00, Max 300, Min 300\n\n";
const std::string veldix_flat =
    "File:  A.TIF, TIF array size=96 bytes\nImage 8x6, Window 8x6, X=0, Y=0\n"
    " Red   ave = 100.5, SD 0.00, Max 100, Min 100\n"
    " Green ave = 300.5, SD 100.00, Max 400, Min 200\n"
    " Blue  ave = 300.5, SD 0.00, Max 300, Min 300\n\n";

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

TEST(HostileInputs, EmptySecondImages)
{
    ScratchDir dir;
    dir.put("A.TIF", rawgen::make_tiff(flat));
    dir.put("B.TIF", {});
    // Image 1 is "II"; the empty image 2's mark reads as 0, not "II": warning 5.
    const CapturedRun v = run_captured(veldix_profile(), {"a", "b"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "Warning 5:  File 2 incompatible.  Computing single-image data.\n" + veldix_flat);

    // The empty second NEF has no header to walk: it is dropped, and the record
    // names image 1 alone.
    dir.put("A.NEF", rawgen::make_nef(flat));
    dir.put("B.NEF", {});
    const CapturedRun q = run_captured(quorva_profile(), {"a", "b", "-L"});
    EXPECT_EQ(q.status, 0);
    std::string dropped = quorva_flat;
    dropped.replace(dropped.find('\n'), 1,
                    " minus B.NEF\nWarning:  File 2 incompatible.  Computing single-file statistics.\n");
    EXPECT_EQ(q.out, dropped);
    EXPECT_TRUE(dir.read("QUORVA.CSV").ends_with(", A.NEF, w8, h6, x0, y0\n"));
}

}  // namespace
