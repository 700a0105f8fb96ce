// A generated NEF read two ways: quorva reads it directly, and veldix reads the
// TIFF that Debian's dcraw makes of it with "-D -4 -T". Both must report the same
// figures for the same window, which holds only if the NEF is laid out the way a
// real raw decoder expects and both programs read the mosaic alike.
#include <gtest/gtest.h>

#include <regex>

#include "outside_tools.h"
#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

// dcraw reads the samples in the file header's byte order, the NEF probe in the
// maker note's: both the same here. The converter crops some models by name,
// but not the D3X.
rawgen::NefOptions nef_options(bool big_endian)
{
    return {.model = "NIKON D3X", .file_big_endian = big_endian, .maker_big_endian = big_endian};
}

enum class Scene { Bright, Dark };

rawgen::Image scene(Scene kind, uint32_t width, uint32_t height, uint64_t seed)
{
    rawgen::Content c;
    c.seed = seed;
    const double bright[4] = {2100, 3900, 1500, 3900};
    for (size_t p = 0; p < 4; ++p)
        c.plane[p] = kind == Scene::Dark ? rawgen::PlaneContent{.level = 60, .noise_sd = 38}
                                         : rawgen::PlaneContent{.level = bright[p], .noise_sd = 45, .row_band_sd = 3,
                                                                .sine_amp = 6, .sine_period = 32};
    return rawgen::make_image(width, height, c);
}

struct RoundTrip {
    const char* name;
    Scene scene;
    uint32_t width, height;
    bool big_endian, two_files;
    std::vector<std::string> switches;
    std::vector<std::string> reports;  // quorva's names of the report files the run writes
};

void PrintTo(const RoundTrip& c, std::ostream* os) { *os << c.name; }

// The console without the file line (it differs by design), with veldix's wording
// of the window line and the averages brought to quorva's.
std::string common_console(const std::string& console)
{
    static const std::regex veldix_window("^Image (\\d+)x(\\d+), Window (\\d+)x(\\d+), X=(\\d+), Y=(\\d+)$");
    std::string common;
    for (const std::string& line : lines_of(console))
        if (!line.starts_with("Camera:") && !line.starts_with("File:"))
            common += replace_all(std::regex_replace(line, veldix_window, "Image $1x$2, Window $3x$4 at X=$5 Y=$6"),
                                  "ave = ", "ave ") + "\n";
    return common;
}

// Report files by their common role, with the file names and the column headers
// that differ by design made equal.
std::map<std::string, std::string> common_reports(const ProgramOutput& output, const ProgramProfile& profile,
                                                  const char* extension)
{
    const ProgramProfile &q = quorva_profile(), &v = veldix_profile();
    std::map<std::string, std::string> common;
    for (const auto& [file, text] : output.reports) {
        const std::string name = file == profile.stats_log_name  ? "statistics log"
                                 : file == profile.hist_log_name ? "histogram log"
                                                                 : file;
        common[name] = replace_all(replace_all(replace_all(text, extension, ".IMG"), q.histogram.header, v.histogram.header),
                                   q.derived.normality_header, v.derived.normality_header);
    }
    return common;
}

class BothPrograms : public testing::TestWithParam<RoundTrip> {};

TEST_P(BothPrograms, ReportTheSameFiguresForTheSameWindow)
{
    ASSERT_TRUE(tool_on_path("dcraw", "dcraw"));
    const RoundTrip& c = GetParam();
    ScratchDir dir;
    // The programs upper-case the names and add their own extension.
    std::vector<std::string> args = {"scene1"};
    if (c.two_files)
        args.push_back("scene2");
    for (size_t k = 0; k < args.size(); ++k) {
        const std::string stem = "SCENE" + std::to_string(k + 1);
        dir.put(stem + ".NEF", rawgen::make_nef(scene(c.scene, c.width, c.height, 11 + k), nef_options(c.big_endian)));
        const ToolRun tiff = run_tool("dcraw", {"-D", "-4", "-T", "-c", stem + ".NEF"});
        ASSERT_EQ(tiff.status, 0) << tiff.err;
        dir.put(stem + ".TIF", std::vector<uint8_t>(tiff.out.begin(), tiff.out.end()));
    }
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    const ProgramOutput q = run_and_collect(quorva_profile(), args);
    const ProgramOutput v = run_and_collect(veldix_profile(), args);
    ASSERT_EQ(q.status, 0) << q.console;
    ASSERT_EQ(v.status, 0) << v.console;

    // The file lines say what each program read.
    const std::string files = c.two_files ? "SCENE1.NEF minus SCENE2.NEF" : "SCENE1.NEF";
    EXPECT_TRUE(q.console.starts_with("Camera:  NIKON D3X     File:  " + files + "\n")) << q.console;
    EXPECT_TRUE(v.console.starts_with("File:  " + replace_all(files, ".NEF", ".TIF") + ", TIF array size=" +
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
    EXPECT_EQ(common_reports(q, quorva_profile(), ".NEF"), common_reports(v, veldix_profile(), ".TIF"));
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, BothPrograms,
    testing::Values(
        RoundTrip{"bright_pair_profiles_and_average_line_spectra", Scene::Bright, 256, 200, false, true,
                  {"-L", "-R", "-C", "-F8", "-W64", "-H32", "-X20", "-Y10"}, {"DFT.CSV", "QUORVA.CSV", "RCDN.CSV"}},
        RoundTrip{"bright_pair_autocorrelation", Scene::Bright, 180, 150, true, true,
                  {"-A5", "-W48", "-H40", "-X8", "-Y6", "-L"}, {"DFT.CSV", "QUORVA.CSV"}},
        RoundTrip{"dark_pair_histogram_and_normality_curves", Scene::Dark, 240, 220, true, true,
                  {"-L", "-K", "-S1", "-B2", "-N40", "-X20", "-Y10"}, {"HQUORVA.CSV", "QUORVA.CSV"}},
        RoundTrip{"dark_fit_band_moved_in_an_odd_sized_image", Scene::Dark, 251, 203, true, false,
                  {"-L", "-K25", "-W200", "-H200", "-X50", "-Y2"}, {"HQUORVA.CSV", "QUORVA.CSV"}},
        RoundTrip{"smallest_image_the_converter_reads", Scene::Bright, 22, 22, true, false, {"-L", "-R", "-C", "-F"},
                  {"DFT.CSV", "QUORVA.CSV", "RCDN.CSV"}}),
    [](const testing::TestParamInfo<RoundTrip>& param) { return std::string(param.param.name); });

}  // namespace
