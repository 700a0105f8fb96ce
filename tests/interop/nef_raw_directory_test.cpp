// The raw-image directory of the generated NEF, which raw decoders follow and the
// NEF probe never reads: it must describe the same samples the probe takes from
// the end of the file.
#include <gtest/gtest.h>

#include "outside_tools.h"
#include "raw_writer.h"

namespace {

std::string nef_text(const rawgen::Image& image, const rawgen::NefOptions& options)
{
    const std::vector<uint8_t> bytes = rawgen::make_nef(image, options);
    return std::string(bytes.begin(), bytes.end());
}

rawgen::Image gradient(uint32_t width, uint32_t height)
{
    return rawgen::make_image(width, height, [](uint32_t x, uint32_t y) { return static_cast<uint16_t>(x + 100 * y); });
}

TEST(NefRawDirectory, DescribesTheStripAtTheEndOfTheFile)
{
    for (bool file_big : {false, true}) {
        for (uint32_t header : {10000u, 12000u, 15001u}) {
            SCOPED_TRACE(testing::Message() << "file MM " << file_big << ", header " << header);
            rawgen::NefOptions options;
            options.file_big_endian = file_big;
            options.maker_big_endian = !file_big;
            options.header_bytes = header;
            const std::string nef = nef_text(gradient(30, 24), options);
            const TiffDirectory first = read_tiff_directory(nef);
            EXPECT_EQ(first.big_endian, file_big);
            ASSERT_TRUE(first.entries.contains(0x014A));
            const TiffDirectory raw = read_tiff_directory_at(nef, first.single(0x014A));
            EXPECT_EQ(raw.single(0x00FE), 0u);  // the full-resolution image
            EXPECT_EQ(raw.single(256), 30u);
            EXPECT_EQ(raw.single(257), 24u);
            EXPECT_EQ(raw.single(258), 16u);
            EXPECT_EQ(raw.single(259), 1u);
            EXPECT_EQ(raw.single(262), 32803u);  // colour filter array
            EXPECT_EQ(raw.single(277), 1u);
            EXPECT_EQ(raw.single(278), 24u);
            EXPECT_EQ(raw.single(279), 30u * 24 * 2);
            // Where the probe takes the samples: the last width * height * 2 bytes.
            EXPECT_EQ(raw.single(273), nef.size() - 30 * 24 * 2);
            EXPECT_EQ(raw.single(273), header);
            EXPECT_EQ(raw.entries.at(0x828D).values, (std::vector<uint32_t>{2, 2}));
            EXPECT_EQ(raw.entries.at(0x828E).values, (std::vector<uint32_t>{0, 1, 1, 2}));  // R G / G B
        }
    }
}

TEST(NefRawDirectory, KeepsTheTrueSizeWhenTheMakerNoteDeclaresAnother)
{
    rawgen::NefOptions options;
    options.declared_width = 28;
    options.declared_height = 20;
    const std::string nef = nef_text(gradient(30, 24), options);
    const TiffDirectory raw = read_tiff_directory_at(nef, read_tiff_directory(nef).single(0x014A));
    EXPECT_EQ(raw.single(256), 30u);
    EXPECT_EQ(raw.single(257), 24u);
}

TEST(NefRawDirectory, BareSamplesAreTheStripAlone)
{
    const rawgen::Image image = gradient(5, 3);
    for (bool big : {false, true}) {
        rawgen::NefOptions options;
        options.maker_big_endian = big;
        const std::vector<uint8_t> nef = rawgen::make_nef(image, options);
        EXPECT_EQ(rawgen::make_bare(image, big), std::vector<uint8_t>(nef.end() - 30, nef.end()));
    }
    EXPECT_EQ(rawgen::make_bare(image, true)[3], 1);  // sample (1, 0) = 1, low byte second
    EXPECT_EQ(rawgen::make_bare(image, false)[2], 1);
}

}  // namespace
