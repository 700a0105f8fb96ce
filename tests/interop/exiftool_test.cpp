// An independent metadata reader (exiftool, Debian's libimage-exiftool-perl) walks
// the generated NEF and must find the model, the maker note and the maker note's
// image-size entry 0x001B where quorva takes them. Where quorva takes them is shown
// by changing the bytes exiftool points at and watching quorva's report change.
#include <gtest/gtest.h>

#include <optional>
#include <regex>

#include "outside_tools.h"
#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

struct FoundTag {
    std::string name, directory, value;  // as exiftool names and prints them
    size_t offset = 0;                    // file offset of the value's bytes
};

// In exiftool's -v3 listing an entry is printed as
//   | | 1)  Model = NIKON D3X          (or "Name (SubDirectory) -->")
//   | |     - Tag 0x0110 (10 bytes, string[10]):
//   | |         005c: 4e 49 4b 4f ...
// and its directory opened above it with "| + [IFD0 directory with 5 entries]".
std::optional<FoundTag> find_tag(const std::string& listing, const std::string& tag)
{
    static const std::regex value_line(R"(^([ |]*)\| \d+\)\s+(\w+)(?: = (.*)| \(SubDirectory\) -->)$)");
    static const std::regex dump_line(R"(^[ |]*([0-9a-f]+): [0-9a-f]{2})");
    const std::vector<std::string> lines = lines_of(listing);
    for (size_t i = 1; i + 1 < lines.size(); ++i) {
        std::smatch value, dump;
        if (lines[i].find("- Tag " + tag + " (") == std::string::npos ||
            !std::regex_search(lines[i - 1], value, value_line) || !std::regex_search(lines[i + 1], dump, dump_line))
            continue;
        FoundTag found{value[2], "", value[3], std::stoul(dump[1], nullptr, 16)};
        const std::string open = value[1].str() + "+ [";
        for (size_t k = i; k-- > 0 && found.directory.empty();)
            if (lines[k].starts_with(open))
                found.directory = lines[k].substr(open.size(), lines[k].find(' ', open.size()) - open.size());
        return found;
    }
    return std::nullopt;
}

struct Orders {
    bool file_big, maker_big;
};

class ExiftoolReads : public testing::TestWithParam<Orders> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tool_on_path("exiftool", "libimage-exiftool-perl"));
        nef = rawgen::make_nef(rawgen::make_image(40, 30, [](uint32_t x, uint32_t y) { return uint16_t(500 + x + y); }),
                               {.model = "NIKON D3X", .file_big_endian = GetParam().file_big,
                                .maker_big_endian = GetParam().maker_big});
        dir.put("A.NEF", nef);
    }
    ScratchDir dir;
    std::vector<uint8_t> nef;
};

TEST_P(ExiftoolReads, TheModelMakerNoteAndImageSizeWhereQuorvaTakesThem)
{
    const std::string listing = run_tool("exiftool", {"-v3", "A.NEF"}).out;
    const auto model = find_tag(listing, "0x0110"), note = find_tag(listing, "0x927c");
    const auto size = find_tag(listing, "0x001b");
    ASSERT_TRUE(model && note && size) << listing;
    EXPECT_EQ(model->directory + ": " + model->value, "IFD0: NIKON D3X");
    EXPECT_EQ(note->directory, "ExifIFD");
    EXPECT_NE(note->name.find("MakerNote"), std::string::npos) << note->name;
    EXPECT_EQ(size->directory + ": " + size->value, "MakerNotes: 0 0 0 40 30 0 0");  // width and height 4th, 5th

    // Other bytes exactly there are what quorva reports.
    const auto quorva_with = [&](size_t at, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> changed = nef;
        std::copy(bytes.begin(), bytes.end(), changed.begin() + static_cast<std::ptrdiff_t>(at));
        dir.put("A.NEF", changed);
        return run_captured(quorva_profile(), {"a"});
    };
    EXPECT_TRUE(quorva_with(model->offset + 8, {'S'}).out.starts_with("Camera:  NIKON D3S     File:  A.NEF\n"));
    ASSERT_EQ(nef.at(note->offset), 'N');
    const CapturedRun unsigned_note = quorva_with(note->offset, {'M'});
    EXPECT_EQ(unsigned_note.status, 2);
    EXPECT_EQ(unsigned_note.out, "Camera:  NIKON D3X     File:  A.NEF\nEXIF Decode Error 8\n");
    const bool big = GetParam().maker_big;
    const CapturedRun resized = quorva_with(size->offset + 6, big ? std::vector<uint8_t>{0, 36, 0, 24}
                                                                  : std::vector<uint8_t>{36, 0, 24, 0});
    EXPECT_EQ(resized.status, 0);
    EXPECT_NE(resized.out.find("\nImage 36x24, Window 36x24 at X=0 Y=0\n"), std::string::npos) << resized.out;
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, ExiftoolReads,
                         testing::Values(Orders{false, false}, Orders{true, true}, Orders{false, true},
                                         Orders{true, false}),
                         [](const testing::TestParamInfo<Orders>& param) {
                             return std::string(param.param.file_big ? "MM" : "II") + "_maker_" +
                                    (param.param.maker_big ? "MM" : "II");
                         });

}  // namespace
