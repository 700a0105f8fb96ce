// Damaged and hostile inputs: every run ends with one of the system's own
// messages and statuses, in bounded time, without reading out of bounds.
#include <gtest/gtest.h>

#include <regex>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

rawgen::Image noise(uint32_t width, uint32_t height)
{
    rawgen::Content content;
    for (auto& plane : content.plane)
        plane = {.level = 40, .noise_sd = 30};
    return rawgen::make_image(width, height, content);
}

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t length)
{
    bytes.resize(length);
    return bytes;
}

// The endings a damaged NEF may have: a header error, a decode error after
// the file line, or the size test.
const std::regex nef_failure(
    "Error:  File corruption [123], Exifbase [0-9a-f]+\\.\\n|"
    "(Camera:  .{12}  )?File:  A\\.NEF\\n(EXIF Decode Error ([4-9]|1[0-3])\\n|"
    "Error:  File must be Uncompressed 14-bit NEF\\.\\n)");

TEST(DamagedFiles, NefCutAtEveryByteOfItsDirectoriesEndsWithAnError)
{
    ScratchDir dir;
    const std::vector<uint8_t> whole = rawgen::make_nef(noise(24, 24));
    // The directories and the maker note lie in the first few hundred bytes.
    for (size_t length = 0; length <= 400; ++length) {
        dir.put("A.NEF", cut(whole, length));
        const CapturedRun run = run_captured(quorva_profile(), {"a", "-L"});
        ASSERT_TRUE(run.status == 1 || run.status == 2) << length;
        ASSERT_TRUE(std::regex_match(run.out, nef_failure)) << length << ": " << run.out;
        // Everything the probe reads lies in the first 300 bytes: then only the samples are missing.
        if (length >= 300) {
            EXPECT_NE(run.out.find("Uncompressed"), std::string::npos) << length << ": " << run.out;
        }
    }
}

TEST(DamagedFiles, TiffCutAnywhereBeforeItsSamplesEndsCleanly)
{
    ScratchDir dir;
    const std::vector<uint8_t> whole = rawgen::make_tiff(noise(24, 24));
    const std::regex tif_failure(
        "Error [123]:  File corruption\\.\\n|Error ([1-9]|1[0-5]):  Missing image parameter\\(s\\)\\.\\n|"
        "File:  A\\.TIF, TIF array size=\\d+ bytes\\n(Image 24x24, Window 24x24, X=0, Y=0\\n"
        "Error:  (TIF files must be monochrome 16-bit|Image data beyond the end of the file)\\.\\n|"
        "Error:  Image must be at least 2x2 pixels\\.\\n)");
    for (size_t length = 0; length <= 1400; length += (length < 200 ? 1 : 37)) {
        dir.put("A.TIF", cut(whole, length));
        const CapturedRun run = run_captured(veldix_profile(), {"a"});
        ASSERT_TRUE(std::regex_match(run.out, tif_failure)) << length << ": " << run.out;
        ASSERT_EQ(run.status, 1) << length;
    }
}

TEST(DamagedFiles, ExtremeImageSizes)
{
    ScratchDir dir;
    dir.put("H.NEF", rawgen::make_nef(noise(8, 6), {.declared_width = 65535, .declared_height = 65535}));
    const CapturedRun h = run_captured(quorva_profile(), {"h"});
    EXPECT_EQ(h.status, 1);
    EXPECT_EQ(h.out, "Camera:  NIKON D800    File:  H.NEF\nError:  File must be Uncompressed 14-bit NEF.\n");
    // 2 x width x height must equal the byte count; 4294967295 wide never does.
    dir.put("W.TIF", rawgen::make_tiff(noise(8, 8), {.declared_width = 4294967295u, .declared_height = 2}));
    const CapturedRun w = run_captured(veldix_profile(), {"w"});
    EXPECT_EQ(w.status, 1);
    EXPECT_EQ(w.out, "File:  W.TIF, TIF array size=128 bytes\n"
                     "Image 4294967295x2, Window 200x2, X=2147483547, Y=0\n"
                     "Error:  TIF files must be monochrome 16-bit.\n");
}

TEST(DamagedFiles, HugeDeclaredTiffOverAFewHundredBytesIsRefused)
{
    ScratchDir dir;
    // 2 x 40000 x 40000 bytes: the format test passes, but the samples are not
    // in the file, and none is measured.
    std::vector<uint8_t> bytes = rawgen::make_tiff(
        noise(4, 4), {.declared_width = 40000, .declared_height = 40000, .strip_byte_count = 3200000000u});
    bytes.resize(600);
    dir.put("A.TIF", bytes);
    const CapturedRun run = run_captured(veldix_profile(), {"a", "-W3000", "-H3000", "-K", "-M", "-L"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "File:  A.TIF, TIF array size=3200000000 bytes\n"
                       "Window exceeds Math array size; options disabled.\n"
                       "Image 40000x40000, Window 3000x3000, X=18500, Y=18500\n"
                       "Error:  Image data beyond the end of the file.\n");
}

}  // namespace
