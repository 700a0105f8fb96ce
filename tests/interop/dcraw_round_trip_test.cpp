// A generated NEF read two ways: quorva reads it directly, and veldix reads the
// TIFF that Debian's dcraw makes of it with "-D -4 -T". Both must report the same
// figures for the same window, which holds only if the NEF is laid out the way a
// real raw decoder expects and both programs read the mosaic alike.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "outside_tools.h"
#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

// dcraw's undemosaiced, unscaled 16-bit output, written to standard output.
std::string dcraw_tiff(const std::string& nef)
{
    const ToolRun run = run_tool("dcraw", {"-D", "-4", "-T", "-c", nef});
    EXPECT_EQ(run.status, 0) << nef << ": " << run.err;
    return run.out;
}

// dcraw reads the samples in the file header's byte order, the NEF probe in the
// maker note's: a file both read alike has one byte order throughout. D3X files
// are not cropped by the converter.
rawgen::NefOptions nef_options(bool big_endian, const std::string& model = "NIKON D3X")
{
    rawgen::NefOptions options;
    options.model = model;
    options.file_big_endian = big_endian;
    options.maker_big_endian = big_endian;
    return options;
}

// Every 16-bit value pattern, high byte and low byte varying independently.
rawgen::Image hashed(uint32_t width, uint32_t height)
{
    return rawgen::make_image(width, height, [](uint32_t x, uint32_t y) {
        return static_cast<uint16_t>(x * 40503u + y * 9973u + x * y * 7u);
    });
}

std::vector<uint16_t> as_vector(const std::string& tiff)
{
    return read_tiff_samples(tiff);
}

TEST(DcrawRoundTrip, KeepsEverySampleInBothByteOrdersAndSeveralSizes)
{
    ASSERT_TRUE(tool_on_path("dcraw", "dcraw"));
    ScratchDir dir;
    for (bool big : {false, true}) {
        for (auto [width, height] : {std::pair{22u, 22u}, {64u, 48u}, {251u, 203u}, {300u, 23u}}) {
            SCOPED_TRACE(testing::Message() << (big ? "MM " : "II ") << width << "x" << height);
            const rawgen::Image image = hashed(width, height);
            dir.put("H.NEF", rawgen::make_nef(image, nef_options(big)));
            const std::string tiff = dcraw_tiff("H.NEF");
            const TiffDirectory d = read_tiff_directory(tiff);
            EXPECT_EQ(d.single(256), width);
            EXPECT_EQ(d.single(257), height);
            EXPECT_EQ(d.single(258), 16u);
            EXPECT_EQ(d.single(259), 1u);  // no compression
            EXPECT_EQ(d.single(262), 1u);  // one grey channel, black is 0
            EXPECT_EQ(d.single(277), 1u);
            EXPECT_EQ(d.single(278), height);  // one strip
            EXPECT_EQ(d.single(279), 2 * width * height);
            EXPECT_EQ(as_vector(tiff), image.samples);
        }
    }
}

// The converter reads the samples in the order of the file header, so a maker note
// in the other order (which the NEF probe follows) gives byte-swapped values.
TEST(DcrawRoundTrip, ReadsSamplesInTheFileHeadersByteOrder)
{
    ASSERT_TRUE(tool_on_path("dcraw", "dcraw"));
    ScratchDir dir;
    const rawgen::Image image = hashed(40, 30);
    for (bool file_big : {false, true}) {
        rawgen::NefOptions options = nef_options(file_big);
        options.maker_big_endian = !file_big;
        dir.put("X.NEF", rawgen::make_nef(image, options));
        std::vector<uint16_t> swapped;
        for (uint16_t s : image.samples)
            swapped.push_back(static_cast<uint16_t>(s << 8 | s >> 8));
        EXPECT_EQ(as_vector(dcraw_tiff("X.NEF")), swapped) << "file MM " << file_big;
    }
}

// Models the converter crops by name: its TIFF is a band of the raw columns, so a
// window at column x of the TIFF is the window at column x + left of the NEF.
struct Crop {
    const char* model;
    uint32_t left, removed;
};

TEST(DcrawRoundTrip, CropsSomeModelsByName)
{
    ASSERT_TRUE(tool_on_path("dcraw", "dcraw"));
    ScratchDir dir;
    const rawgen::Image image = hashed(120, 40);
    for (const Crop& crop : {Crop{"NIKON D3X", 0, 0}, Crop{"NIKON D810", 0, 0}, Crop{"NIKON D5", 0, 0},
                             Crop{"NIKON D800", 0, 46}, Crop{"NIKON D800E", 0, 46}, Crop{"NIKON D4", 2, 52},
                             Crop{"NIKON D3", 2, 4}, Crop{"NIKON D3S", 2, 4}, Crop{"NIKON D700", 2, 4},
                             Crop{"NIKON D300", 0, 32}, Crop{"NIKON D300S", 0, 32}}) {
        SCOPED_TRACE(crop.model);
        dir.put("C.NEF", rawgen::make_nef(image, nef_options(true, crop.model)));
        const std::string tiff = dcraw_tiff("C.NEF");
        const uint32_t width = 120 - crop.removed;
        ASSERT_EQ(read_tiff_directory(tiff).single(256), width);
        std::vector<uint16_t> band;
        for (uint32_t y = 0; y < 40; ++y)
            for (uint32_t x = crop.left; x < crop.left + width; ++x)
                band.push_back(image.at(x, y));
        EXPECT_EQ(as_vector(tiff), band);
    }
}

// ---------------------------------------------------------------------------
// Both programs on the same scene

enum class Scene { Bright, Dark };

rawgen::Image scene(Scene kind, uint32_t width, uint32_t height, uint64_t seed)
{
    rawgen::Content c;
    const double bright[4] = {2100, 3900, 1500, 3900};
    for (size_t p = 0; p < 4; ++p) {
        if (kind == Scene::Bright)
            c.plane[p] = {.level = bright[p], .noise_sd = 45, .row_band_sd = 3, .sine_amp = 6, .sine_period = 32};
        else
            c.plane[p] = {.level = 60, .noise_sd = 38};
    }
    c.seed = seed;
    return rawgen::make_image(width, height, c);
}

struct RoundTrip {
    const char* name;
    Scene scene;
    uint32_t width, height;
    bool big_endian;
    bool two_files;
    std::vector<std::string> switches;
    std::vector<std::string> reports;  // quorva's names of the report files the run writes
};

void PrintTo(const RoundTrip& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The console without the file line (it differs by design), with veldix's wording
// of the window line and the averages brought to quorva's.
std::string common_console(const std::string& console)
{
    static const std::regex veldix_window("^Image (\\d+)x(\\d+), Window (\\d+)x(\\d+), X=(\\d+), Y=(\\d+)$");
    std::string common;
    for (const std::string& line : lines_of(console)) {
        if (line.starts_with("Camera:") || line.starts_with("File:"))
            continue;
        common += replace_all(std::regex_replace(line, veldix_window, "Image $1x$2, Window $3x$4 at X=$5 Y=$6"),
                              "ave = ", "ave ") +
                  "\n";
    }
    return common;
}

// Report files by their common role, contents with the file names and the column
// headers that differ by design made equal.
std::map<std::string, std::string> common_reports(const ProgramOutput& output, const ProgramProfile& profile,
                                                  const char* extension)
{
    const ProgramProfile& q = quorva_profile();
    const ProgramProfile& v = veldix_profile();
    std::map<std::string, std::string> common;
    for (const auto& [file, contents] : output.reports) {
        std::string name = file, text = contents;
        if (name == profile.stats_log_name)
            name = "statistics log";
        else if (name == profile.hist_log_name)
            name = "histogram log";
        text = replace_all(text, extension, ".IMG");
        text = replace_all(text, q.hist_header, v.hist_header);
        text = replace_all(text, q.normality_header, v.normality_header);
        common[name] = text;
    }
    return common;
}

class BothPrograms : public testing::TestWithParam<RoundTrip> {};

TEST_P(BothPrograms, ReportTheSameFiguresForTheSameWindow)
{
    ASSERT_TRUE(tool_on_path("dcraw", "dcraw"));
    const RoundTrip& c = GetParam();
    ScratchDir dir;
    const std::vector<std::string> stems = c.two_files ? std::vector<std::string>{"SCENE1", "SCENE2"}
                                                       : std::vector<std::string>{"SCENE1"};
    uint64_t seed = 11;
    for (const std::string& stem : stems) {
        dir.put(stem + ".NEF", rawgen::make_nef(scene(c.scene, c.width, c.height, seed++), nef_options(c.big_endian)));
        const std::string tiff = dcraw_tiff(stem + ".NEF");
        ASSERT_FALSE(tiff.empty());
        dir.put(stem + ".TIF", std::vector<uint8_t>(tiff.begin(), tiff.end()));
    }

    // The programs upper-case the names and add their own extension.
    std::vector<std::string> args = c.two_files ? std::vector<std::string>{"scene1", "scene2"}
                                                : std::vector<std::string>{"scene1"};
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    const ProgramOutput q = run_and_collect(quorva_profile(), args);
    const ProgramOutput v = run_and_collect(veldix_profile(), args);
    ASSERT_EQ(q.status, 0) << q.console;
    ASSERT_EQ(v.status, 0) << v.console;

    // The file lines say what each program read.
    const std::string q_files = c.two_files ? "SCENE1.NEF minus SCENE2.NEF" : "SCENE1.NEF";
    const std::string v_files = c.two_files ? "SCENE1.TIF minus SCENE2.TIF" : "SCENE1.TIF";
    EXPECT_TRUE(q.console.starts_with("Camera:  NIKON D3X     File:  " + q_files + "\n")) << q.console;
    EXPECT_TRUE(v.console.starts_with("File:  " + v_files + ", TIF array size=" +
                                      std::to_string(2 * c.width * c.height) + " bytes\n"))
        << v.console;

    const std::string console = common_console(q.console);
    EXPECT_NE(console.find(" Red   ave "), std::string::npos) << console;
    EXPECT_EQ(console, common_console(v.console));

    std::vector<std::string> written;
    for (const auto& [name, text] : q.reports) {
        written.push_back(name);
        EXPECT_NE(text.find('\n'), std::string::npos) << name << " is empty";
    }
    EXPECT_EQ(written, c.reports);
    const auto q_reports = common_reports(q, quorva_profile(), ".NEF");
    const auto v_reports = common_reports(v, veldix_profile(), ".TIF");
    EXPECT_EQ(q_reports.size(), v_reports.size());
    for (const auto& [name, text] : q_reports) {
        const auto other = v_reports.find(name);
        ASSERT_NE(other, v_reports.end()) << "veldix wrote no " << name;
        EXPECT_EQ(text, other->second) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, BothPrograms,
    testing::Values(
        RoundTrip{"bright_pair_profiles_and_average_line_spectra", Scene::Bright, 256, 200, false, true,
                  {"-L", "-R", "-C", "-F8", "-W64", "-H32", "-X20", "-Y10"},
                  {"DFT.CSV", "QUORVA.CSV", "RCDN.CSV"}},
        RoundTrip{"bright_centred_multi_row_spectra", Scene::Bright, 256, 200, true, false,
                  {"-M", "-W64", "-H32"}, {"DFT.CSV"}},
        RoundTrip{"bright_pair_autocorrelation", Scene::Bright, 180, 150, true, true,
                  {"-A5", "-W48", "-H40", "-X8", "-Y6", "-L"}, {"DFT.CSV", "QUORVA.CSV"}},
        RoundTrip{"bright_histogram_by_end_value", Scene::Bright, 256, 200, false, false,
                  {"-L", "-S1000", "-E5000", "-N64", "-W100", "-H60", "-X2", "-Y4"},
                  {"HQUORVA.CSV", "QUORVA.CSV"}},
        RoundTrip{"dark_pair_histogram_and_normality_curves", Scene::Dark, 240, 220, true, true,
                  {"-L", "-K", "-S1", "-B2", "-N40", "-X20", "-Y10"}, {"HQUORVA.CSV", "QUORVA.CSV"}},
        RoundTrip{"dark_histogram_derived_figures_of_a_clipped_window", Scene::Dark, 240, 220, false, false,
                  {"-L", "-X40", "-Y20"}, {"QUORVA.CSV"}},
        RoundTrip{"dark_fit_band_moved_in_an_odd_sized_image", Scene::Dark, 251, 203, true,
                  false, {"-L", "-K25", "-W200", "-H200", "-X50", "-Y2"}, {"HQUORVA.CSV", "QUORVA.CSV"}},
        RoundTrip{"smallest_image_the_converter_reads", Scene::Bright, 22, 22, true, false,
                  {"-L", "-R", "-C", "-F"}, {"DFT.CSV", "QUORVA.CSV", "RCDN.CSV"}}));

}  // namespace
