// An independent metadata reader (exiftool, Debian's libimage-exiftool-perl) walks
// the generated NEF and must find the model, the maker note and the maker note's
// image-size entry 0x001B where quorva takes them. Where quorva takes them is shown
// by changing the bytes exiftool points at and watching quorva's report change.
#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <sstream>

#include "outside_tools.h"
#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

struct FoundTag {
    std::string name;       // exiftool's name of the entry
    std::string directory;  // exiftool's name of the directory holding it
    std::string value;      // the value as exiftool prints it (without print conversion)
    size_t offset = 0;      // file offset of the value's bytes
};

// The number of '|' in the indentation of a line of exiftool's -v3 listing.
size_t depth_of(const std::string& line)
{
    size_t depth = 0;
    for (char c : line) {
        if (c == '|')
            ++depth;
        else if (c != ' ')
            break;
    }
    return depth;
}

// Reads exiftool's -v3 listing, in which every directory opens with a line
// "+ [NAME directory with N entries]" and every entry is printed as
//   | 2)  Name = value            (or "Name (SubDirectory) -->")
//   |     - Tag 0x0110 (10 bytes, string[10]):
//   |         005c: 4e 49 4b 4f ...
// An entry at depth d (its number of '|') belongs to the last directory opened at
// depth d - 1.
std::optional<FoundTag> find_tag(const std::string& listing, const std::string& tag)
{
    static const std::regex directory_line(R"(^[ |]*\+ \[(\w+) directory with \d+ entries\])");
    static const std::regex value_line(R"(^[ |]*\d+\)\s+(\w+)(?: = (.*)| \(SubDirectory\) -->)$)");
    static const std::regex tag_line(R"(^[ |]*- Tag (0x[0-9a-f]{4}) \()");
    static const std::regex dump_line(R"(^[ |]*([0-9a-f]+): [0-9a-f]{2})");
    std::vector<std::string> lines;
    std::istringstream in(listing);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);

    std::vector<std::string> open;  // directory names by depth
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        if (std::regex_search(lines[i], m, directory_line)) {
            open.resize(depth_of(lines[i]) + 1);
            open.back() = m[1];
            continue;
        }
        if (!std::regex_search(lines[i], m, tag_line) || m[1] != tag)
            continue;
        std::smatch value, dump;
        if (i == 0 || i + 1 >= lines.size() || !std::regex_search(lines[i - 1], value, value_line) ||
            !std::regex_search(lines[i + 1], dump, dump_line))
            return std::nullopt;
        FoundTag found;
        found.name = value[1];
        found.value = value[2];
        found.offset = std::stoul(dump[1], nullptr, 16);
        const size_t depth = depth_of(lines[i]);
        if (depth >= 1 && depth - 1 < open.size())
            found.directory = open[depth - 1];
        return found;
    }
    return std::nullopt;
}

std::string exiftool_listing(const std::string& file)
{
    const ToolRun run = run_tool("exiftool", {"-v3", file});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

void put_u16(std::vector<uint8_t>& bytes, size_t at, uint16_t value, bool big_endian)
{
    bytes.at(at + (big_endian ? 0 : 1)) = static_cast<uint8_t>(value >> 8);
    bytes.at(at + (big_endian ? 1 : 0)) = static_cast<uint8_t>(value);
}

rawgen::Image flat(uint32_t width, uint32_t height)
{
    return rawgen::make_image(width, height, [](uint32_t x, uint32_t y) { return static_cast<uint16_t>(500 + x + y); });
}

struct Orders {
    bool file_big, maker_big;
};

class ExiftoolReads : public testing::TestWithParam<Orders> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tool_on_path("exiftool", "libimage-exiftool-perl"));
        options.model = "NIKON D3X";
        options.file_big_endian = GetParam().file_big;
        options.maker_big_endian = GetParam().maker_big;
        nef = rawgen::make_nef(flat(40, 30), options);
        dir.put("A.NEF", nef);
        listing = exiftool_listing("A.NEF");
    }

    ScratchDir dir;
    rawgen::NefOptions options;
    std::vector<uint8_t> nef;
    std::string listing;
};

TEST_P(ExiftoolReads, TheFileWithoutWarnings)
{
    const ToolRun run = run_tool("exiftool", {"-a", "-Warning", "-Error", "A.NEF"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(listing.find("FileType = NEF"), std::string::npos) << listing;
}

TEST_P(ExiftoolReads, TheFieldsOfAnUncompressedFourteenBitFile)
{
    const ToolRun run =
        run_tool("exiftool", {"-s", "-n", "-Nikon:NEFCompression", "-Nikon:NEFBitDepth", "-Nikon:BlackLevel",
                              "-SubIFD:Compression", "-SubIFD:BitsPerSample", "-SubIFD:CFAPattern2", "A.NEF"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::string fields;
    for (const char* name : {"Compression", "BitsPerSample", "CFAPattern2", "NEFCompression", "NEFBitDepth",
                             "BlackLevel"}) {
        const std::regex line(std::string("(^|\n)") + name + " +: ([^\n]*)\n");
        std::smatch m;
        fields += name + std::string("=") + (std::regex_search(run.out, m, line) ? std::string(m[2]) : "?") + ";";
    }
    EXPECT_EQ(fields,
              "Compression=1;BitsPerSample=16;CFAPattern2=0 1 1 2;NEFCompression=2;NEFBitDepth=14 0 0 0;"
              "BlackLevel=0 0 0 0;")
        << run.out;
}

TEST_P(ExiftoolReads, TheModelWhereQuorvaTakesIt)
{
    const auto model = find_tag(listing, "0x0110");
    ASSERT_TRUE(model) << listing;
    EXPECT_EQ(model->directory, "IFD0");
    EXPECT_EQ(model->value, "NIKON D3X");
    EXPECT_EQ(std::string(nef.begin() + static_cast<std::ptrdiff_t>(model->offset),
                          nef.begin() + static_cast<std::ptrdiff_t>(model->offset) + 9),
              "NIKON D3X");
    // Another model at exactly those bytes is the camera quorva names.
    nef[model->offset + 8] = 'S';
    dir.put("A.NEF", nef);
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("Camera:  NIKON D3S     File:  A.NEF\n")) << run.out;
}

TEST_P(ExiftoolReads, TheMakerNoteWhereQuorvaTakesIt)
{
    const auto note = find_tag(listing, "0x927c");
    ASSERT_TRUE(note) << listing;
    EXPECT_EQ(note->directory, "ExifIFD");
    EXPECT_NE(note->name.find("MakerNote"), std::string::npos) << note->name;
    EXPECT_NE(listing.find("MakerNotes directory"), std::string::npos);
    // A signature other than "Nikon" at those bytes is what quorva refuses.
    ASSERT_EQ(nef.at(note->offset), 'N');
    nef[note->offset] = 'M';
    dir.put("A.NEF", nef);
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "Camera:  NIKON D3X     File:  A.NEF\nEXIF Decode Error 8\n");
}

TEST_P(ExiftoolReads, TheImageSizeWhereQuorvaTakesIt)
{
    const auto size = find_tag(listing, "0x001b");
    ASSERT_TRUE(size) << listing;
    EXPECT_EQ(size->directory, "MakerNotes");
    // Seven values; the fourth and fifth are the width and the height.
    EXPECT_EQ(size->value, "0 0 0 40 30 0 0");
    // Smaller figures at exactly those bytes are the image size quorva reports.
    put_u16(nef, size->offset + 6, 36, options.maker_big_endian);
    put_u16(nef, size->offset + 8, 24, options.maker_big_endian);
    dir.put("A.NEF", nef);
    const ToolRun again = run_tool("exiftool", {"-s3", "-n", "-CropHiSpeed", "A.NEF"});
    EXPECT_EQ(again.out, "0 0 0 36 24 0 0\n");
    const CapturedRun run = run_captured(quorva_profile(), {"a"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\nImage 36x24, Window 36x24 at X=0 Y=0\n"), std::string::npos) << run.out;
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, ExiftoolReads,
                         testing::Values(Orders{false, false}, Orders{true, true}, Orders{false, true},
                                         Orders{true, false}),
                         [](const testing::TestParamInfo<Orders>& param) {
                             return std::string(param.param.file_big ? "MM" : "II") + "_maker_" +
                                    (param.param.maker_big ? "MM" : "II");
                         });

}  // namespace
