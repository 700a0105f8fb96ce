// The reportplot command: which tables it draws, the files it writes, its
// messages and exit statuses; and every plot rendered to a PNG image.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "plot/report_command.h"
#include "plot/report_text.h"
#include "plot/svg_inspect.h"
#include "plot/svg_plot.h"

using namespace plot;
using namespace plot_test;
namespace fs = std::filesystem;

namespace {

CapturedRun run(const std::vector<std::string>& args)
{
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* console = ::open_memstream(&buffer, &size);
    CapturedRun r;
    r.status = reportplot_main(args, console);
    std::fclose(console);
    r.out.assign(buffer, size);
    std::free(buffer);
    return r;
}

// The report files of several worked examples, in the directory "in".
void put_examples(const ScratchDir& dir)
{
    fs::create_directory("in");
    dir.put_text("in/HQUORVA.CSV", example("02-quorva-dark-pair", "HQUORVA.CSV") +
                                       example("03-quorva-dark-k-o-debug", "HQUORVA.CSV"));
    dir.put_text("in/QUORVA.CSV", example("03-quorva-dark-k-o-debug", "QUORVA.CSV"));
    dir.put_text("in/HVELDIX.CSV", example("07-veldix-odd-windows", "HVELDIX.CSV"));
    dir.put_text("in/RCDN.CSV", example("04-quorva-profiles-ft", "RCDN.CSV"));
    dir.put_text("in/DFT.CSV", example("04-quorva-profiles-ft", "DFT.CSV") + example("05-quorva-multi-dft", "DFT.CSV") +
                                   example("06-quorva-acf-two-files", "DFT.CSV"));
}

// Whether a drawn plot's subtitle (the source of its table) starts so.
bool shows(const ScratchDir& dir, const std::string& svg, const std::string& start)
{
    const XmlDocument doc = parse_xml(dir.read(svg));
    const auto found = with_attr(doc.root, "class", "subtitle");
    return doc.ok && !found.empty() && found[0]->text.rfind(start, 0) == 0;
}

}  // namespace

TEST(ReportPlotCommand, DrawsTheLastTableOfEachKindAndListsThem)
{
    const ScratchDir dir;
    put_examples(dir);
    const CapturedRun r = run({"-d", "in", "-o", "p"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find("Warning:"), std::string::npos) << r.out;
    ASSERT_EQ(run({"-d", "in", "-o", "q", "--data"}).status, 0);
    const std::string index = dir.read("p/index.html");
    const char* const expected[][4] = {
        {"quorva-hist", "HQUORVA.CSV", "02-quorva-dark-pair", "Histogram data"},
        {"quorva-normality", "HQUORVA.CSV", "03-quorva-dark-k-o-debug", "Normality curves"},
        {"veldix-hist", "HVELDIX.CSV", "07-veldix-odd-windows", "Histogram data"},
        {"profile-row", "RCDN.CSV", "04-quorva-profiles-ft", "Ave-row DN values"},
        {"profile-col", "RCDN.CSV", "04-quorva-profiles-ft", "Ave-col DN values"},
        {"fdft-row", "DFT.CSV", "04-quorva-profiles-ft", "Ave-row DFT coef mags"},
        {"fdft-col", "DFT.CSV", "04-quorva-profiles-ft", "Ave-column DFT coef mags"},
        {"mdft-row", "DFT.CSV", "05-quorva-multi-dft", "Row-DFT ave. coef mags"},
        {"mdft-col", "DFT.CSV", "05-quorva-multi-dft", "Column-DFT ave. coef mags"},
        {"acf-row", "DFT.CSV", "06-quorva-acf-two-files", "Ave. Row-ACF"},
        {"acf-col", "DFT.CSV", "06-quorva-acf-two-files", "Ave. Column-ACF"},
    };
    for (const auto& [stem, report, run_name, title] : expected) {
        SCOPED_TRACE(stem);
        const std::string text = example(run_name, report);
        const size_t at = text.find(title);
        const std::string title_line = text.substr(at, text.find('\n', at) - at);
        // The plot shows the example's table: its title line's source, after ", ".
        EXPECT_TRUE(shows(dir, "p/" + std::string(stem) + ".svg", title_line.substr(std::string(title).size() + 2)));
        EXPECT_NE(index.find(xml_text(title_line)), std::string::npos);
        EXPECT_NE(index.find("src=\"" + std::string(stem) + ".svg\""), std::string::npos);
        // The same bytes on every run; with --data, the table beside it.
        EXPECT_EQ(dir.read("p/" + std::string(stem) + ".svg"), dir.read("q/" + std::string(stem) + ".svg"));
        EXPECT_EQ(dir.read("q/" + std::string(stem) + ".tsv").rfind("# " + title_line + "\n", 0), 0u);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator("p"), fs::directory_iterator{}), 11 + 1);  // and the index
    EXPECT_EQ(std::distance(fs::directory_iterator("q"), fs::directory_iterator{}), 2 * 11 + 1);
    EXPECT_NE(dir.read("q/index.html").find("href=\"profile-row.tsv\""), std::string::npos);
}

TEST(ReportPlotCommand, NthAllTruncatedAndRowColumnPairs)
{
    const ScratchDir dir;
    fs::create_directory("in");
    const std::vector<std::vector<long>> counts(4, {3, 3, 3, 3});
    std::string hist;
    for (const char* name : {"A.NEF", "B.NEF", "C.NEF", "D.NEF"})
        hist += histogram_text(source(name, 200, 200, 4, 4), 1, 1, counts);
    dir.put_text("in/HQUORVA.CSV", hist.substr(0, hist.size() - 1));  // the last table lost its blank line
    // Row and column tables of runs A and B interleaved.
    const std::vector<std::vector<double>> v(3, {1, 2, 3, 4, 5, 6});
    auto acf = [&](const char* title, const char* file) { return spectrum_text(title, source(file, 8, 8, 1, 1), true, 0, 8, v); };
    dir.put_text("in/DFT.CSV", acf("Ave. Row-ACF", "A.TIF") + acf("Ave. Row-ACF", "B.TIF") +
                                   acf("Ave. Column-ACF", "B.TIF") + acf("Ave. Column-ACF", "A.TIF"));
    const CapturedRun r = run({"-d", "in", "-o", "p"});
    ASSERT_EQ(r.status, 0);
    // Each table is 2 + 4 + 1 lines: D's title is line 22.
    EXPECT_NE(r.out.find("Warning:  HQUORVA.CSV line 22: Histogram data table"), std::string::npos) << r.out;
    EXPECT_TRUE(shows(dir, "p/quorva-hist.svg", "file C.NEF,"));
    EXPECT_TRUE(shows(dir, "p/acf-row.svg", "file B.TIF,"));
    EXPECT_TRUE(shows(dir, "p/acf-col.svg", "file B.TIF,"));
    ASSERT_EQ(run({"-d", "in", "-o", "p", "--nth", "2"}).status, 0);
    EXPECT_TRUE(shows(dir, "p/quorva-hist.svg", "file B.NEF,"));
    EXPECT_TRUE(shows(dir, "p/acf-row.svg", "file A.TIF,"));
    EXPECT_TRUE(shows(dir, "p/acf-col.svg", "file A.TIF,"));
    ASSERT_EQ(run({"-d", "in", "-o", "p", "--all"}).status, 0);
    for (const char* name : {"A", "B", "C"})
        EXPECT_TRUE(shows(dir, "p/quorva-hist-" + std::to_string(*name - 'A' + 1) + ".svg", "file " + std::string(name)));
    EXPECT_FALSE(dir.exists("p/quorva-hist-4.svg"));
}

TEST(ReportPlotCommand, StatusesAndMessages)
{
    const ScratchDir dir;
    put_examples(dir);
    fs::create_directory("empty");
    dir.put_text("file", "not a directory");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {{"-d", "empty", "-o", "p"}, 1, "Error:  no complete report table found in "},
        {{"-d", "in", "-o", "file"}, 2, "Error:  cannot create the directory"},
        {{"-d", "in", "-o", "n", "--nth", "4"}, 1, "Error:  "},
        {{"--bogus"}, 1, "Error:  unknown argument \"--bogus\"."},
        {{"--nth", "0"}, 1, "Error:  "},
        {{"--all", "--nth", "2"}, 1, "Error:  "},
        {{"--help"}, 0, "Usage: reportplot"},
    };
    for (const auto& c : cases) {
        const CapturedRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << r.out;
        EXPECT_EQ(r.out.rfind(c.message, 0), 0u) << r.out;
    }
    EXPECT_FALSE(dir.exists("p"));
}

TEST(ReportPlotRendering, EveryPlotRendersToAnImage)
{
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "rsvg-convert is not installed (Debian package librsvg2-bin)";
    const ScratchDir dir;
    put_examples(dir);
    ASSERT_EQ(run({"-d", "in", "-o", "p"}).status, 0);
    // For comparison: a white page of the same size, and empty axes.
    fs::create_directory("ref");
    dir.put_text("ref/white.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"880\" height=\"500\">"
                                  "<rect width=\"880\" height=\"500\" fill=\"#ffffff\"/></svg>");
    dir.put_text("ref/axes.svg", render_svg(Figure{}));
    std::vector<std::string> images;
    for (const char* folder : {"ref", "p"})
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".svg") {
                const std::string svg = entry.path().string(), png = svg.substr(0, svg.size() - 3) + "png";
                ASSERT_EQ(std::system(("rsvg-convert -o '" + png + "' '" + svg + "'").c_str()), 0) << svg;
                images.push_back(dir.read(png));
            }
    const std::string white = dir.read("ref/white.png");
    ASSERT_EQ(white.substr(0, 8), "\x89PNG\r\n\x1A\n");
    ASSERT_EQ(images.size(), 2u + 11u);
    for (size_t i = 2; i < images.size(); ++i) {
        EXPECT_EQ(images[i].substr(0, 8), white.substr(0, 8));
        EXPECT_GT(images[i].size(), 5 * white.size());  // far from a blank page
        EXPECT_NE(images[i], dir.read("ref/axes.png"));
    }
}
