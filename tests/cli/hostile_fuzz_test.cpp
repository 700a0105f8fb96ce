// Hostile inputs of the kinds the fuzz targets generate: empty second images,
// directory pointers far past the end of the file, arguments that are empty or
// not ASCII. Each run ends with the system's own message and status.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

using rawgen::make_planes;

// A valid big-endian 8x6 NEF with constant planes.
std::vector<uint8_t> flat_nef()
{
    return rawgen::make_nef(make_planes(8, 6, 100, 200, 300, 400));
}

// Rewrites the value field of the first big-endian directory entry that
// begins with the given tag and type bytes.
void point_entry(std::vector<uint8_t>& file, const std::vector<uint8_t>& tag_and_type, uint32_t value)
{
    const auto at = std::search(file.begin(), file.end(), tag_and_type.begin(), tag_and_type.end());
    ASSERT_NE(at, file.end());
    const size_t value_at = static_cast<size_t>(at - file.begin()) + 8;
    ASSERT_LE(value_at + 4, file.size());
    for (int i = 0; i < 4; ++i)
        file[value_at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// Tag and type bytes of the entries the NEF probe follows (big-endian).
const std::vector<uint8_t> model_entry = {0x01, 0x10, 0x00, 0x02};       // 0x0110 ASCII
const std::vector<uint8_t> maker_note_entry = {0x92, 0x7C, 0x00, 0x07};  // 0x927C UNDEFINED
const std::vector<uint8_t> size_entry = {0x00, 0x1B, 0x00, 0x03, 0x00, 0x00, 0x00, 0x07};  // 0x001B SHORT x 7

TEST(HostileInputs, AnEmptySecondTiffIsIncompatibleAndTheFirstIsMeasuredAlone)
{
    ScratchDir dir;
    dir.put("A.TIF", rawgen::make_tiff(make_planes(8, 6, 100, 200, 300, 400)));
    dir.put("B.TIF", {});
    const CapturedRun run = run_captured(veldix_profile(), {"a", "b"});
    EXPECT_EQ(run.status, 0);
    // Image 1 is "II"; the empty image 2's mark reads as 0, not "II": warning 5.
    // The window then covers image 1 alone: green pools 200 and 400.
    EXPECT_EQ(run.out,
              "Warning 5:  File 2 incompatible.  Computing single-image data.\n"
              "File:  A.TIF, TIF array size=96 bytes\n"
              "Image 8x6, Window 8x6, X=0, Y=0\n"
              " Red   ave = 100.5, SD 0.00, Max 100, Min 100\n"
              " Green ave = 300.5, SD 100.00, Max 400, Min 200\n"
              " Blue  ave = 300.5, SD 0.00, Max 300, Min 300\n"
              "\n");
}

TEST(HostileInputs, AnEmptySecondNefFailsTheSizeTest)
{
    ScratchDir dir;
    dir.put("A.NEF", flat_nef());
    dir.put("B.NEF", {});
    const CapturedRun run = run_captured(quorva_profile(), {"a", "b", "-L"});
    // The second file is only tested for size: 8 x 6 x 2 + 10000 bytes do not
    // fit in 0. The statistics log was opened and headed, and gets no record.
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Camera:  NIKON D800    File:  A.NEF minus B.NEF\n"
                       "Error:  File must be Uncompressed 14-bit NEF.\n");
    EXPECT_EQ(dir.read("QUORVA.CSV"),
              "Image Statistics for Uncomp. 14-bit NEF files\n"
              "Ave R, Ave G, Ave B, Sd R, Sd G, Sd B, Bclip, Wclip, From Hist:, Ave R, Ave G, Ave B, Sd R, Sd G, "
              "Sd B, Files, Window\n");
}

TEST(HostileInputs, AModelTextPastTheEndReadsAsBlanks)
{
    ScratchDir dir;
    std::vector<uint8_t> nef = flat_nef();
    point_entry(nef, model_entry, 0xFFFFFFF0u);
    dir.put("A.NEF", nef);
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    // Nothing is read there: twelve blanks, no "NIKON D", code 5 without "Camera:".
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "File:  A.NEF\nEXIF Decode Error 5\n");
}

TEST(HostileInputs, AMakerNotePastTheEndHasNoSignature)
{
    ScratchDir dir;
    std::vector<uint8_t> nef = flat_nef();
    point_entry(nef, maker_note_entry, 0xFFFFFFFFu);
    dir.put("A.NEF", nef);
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "Camera:  NIKON D800    File:  A.NEF\nEXIF Decode Error 8\n");
}

TEST(HostileInputs, ASizeEntryPastTheEndGivesAnEmptyImage)
{
    ScratchDir dir;
    std::vector<uint8_t> nef = flat_nef();
    // Relative to the maker note's header, and added in 64 bits: no wrap back
    // into the file. Width and height read as 0, which passes the size test
    // (no samples) and is then too small.
    point_entry(nef, size_entry, 0xFFFFFFFFu);
    dir.put("A.NEF", nef);
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Camera:  NIKON D800    File:  A.NEF\nError:  Image must be at least 2x2 pixels.\n");
}

TEST(HostileInputs, AnEmptyArgumentIsAFileName)
{
    ScratchDir dir;
    dir.put("A.NEF", flat_nef());
    // Taken as image 1 before "a" is seen: ".NEF" does not exist.
    const CapturedRun first = run_captured(quorva_profile(), {"", "a"});
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(first.out, "\nError:  Unable to open .NEF.\n\n");
    // As image 2 it is only a warning, and image 1 is measured alone.
    dir.put("A.TIF", rawgen::make_tiff(make_planes(8, 6, 100, 200, 300, 400)));
    const CapturedRun second = run_captured(veldix_profile(), {"a", ""});
    EXPECT_EQ(second.status, 0);
    EXPECT_EQ(second.out, "\nWarning:  Unable to open .TIF.\nComputing single-image data.\n"
                          "File:  A.TIF, TIF array size=96 bytes\n"
                          "Image 8x6, Window 8x6, X=0, Y=0\n"
                          " Red   ave = 100.5, SD 0.00, Max 100, Min 100\n"
                          " Green ave = 300.5, SD 100.00, Max 400, Min 200\n"
                          " Blue  ave = 300.5, SD 0.00, Max 300, Min 300\n"
                          "\n");
}

TEST(HostileInputs, BytesAboveAsciiAreNeitherSwitchesNorUpperCased)
{
    ScratchDir dir;
    dir.put("A.NEF", flat_nef());
    // "\xE9=5" has '=' second: a switch with the letter 0xE9, which matches
    // nothing. "-\xE9" is a switch with that letter too. "\xE9\xFF" is a name,
    // shown with its bytes unchanged and the default extension.
    const CapturedRun run = run_captured(quorva_profile(), {"a", "\xE9=5", "-\xE9", "\xE9\xFF"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "\nWarning:  Unable to open \xE9\xFF.NEF.\nComputing single-file statistics.\n"
                       "Camera:  NIKON D800    File:  A.NEF\n"
                       "Image 8x6, Window 8x6 at X=0 Y=0\n"
                       " Red   ave 100.5, SD 0.00, Max 100, Min 100\n"
                       " Green ave 300.5, SD 100.00, Max 400, Min 200\n"
                       " Blue  ave 300.5, SD 0.00, Max 300, Min 300\n"
                       "\n");
}

}  // namespace
