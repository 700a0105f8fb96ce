// The reportplot command: which tables it draws, the files it writes, its
// messages and exit statuses; and every plot rendered to a PNG image.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "plot/report_command.h"
#include "plot/report_text.h"
#include "plot/svg_inspect.h"
#include "plot/svg_plot.h"

using namespace plot;
using namespace plot_test;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string console;
};

Result run(const std::vector<std::string>& args)
{
    Result r;
    std::FILE* console = std::tmpfile();
    if (console == nullptr)
        return r;
    r.status = reportplot_main(args, console);
    std::rewind(console);
    for (int c = std::fgetc(console); c != EOF; c = std::fgetc(console))
        r.console += static_cast<char>(c);
    std::fclose(console);
    return r;
}

// The report files of several worked examples in one directory.
void put_examples(const TempDir& dir)
{
    write_text(dir / "HQUORVA.CSV", example("02-quorva-dark-pair", "HQUORVA.CSV") +
                                        example("03-quorva-dark-k-o-debug", "HQUORVA.CSV"));
    write_text(dir / "QUORVA.CSV", example("03-quorva-dark-k-o-debug", "QUORVA.CSV"));
    write_text(dir / "HVELDIX.CSV", example("07-veldix-odd-windows", "HVELDIX.CSV"));
    write_text(dir / "RCDN.CSV", example("04-quorva-profiles-ft", "RCDN.CSV"));
    write_text(dir / "DFT.CSV", example("04-quorva-profiles-ft", "DFT.CSV") + example("05-quorva-multi-dft", "DFT.CSV") +
                                    example("06-quorva-acf-two-files", "DFT.CSV"));
}

// The subtitle of a drawn plot: the source of the table it shows.
std::string subtitle_of(const fs::path& svg)
{
    const SvgView view(read_text(svg));
    std::vector<const XmlNode*> found;
    collect(view.doc.root, [](const XmlNode& n) { return n.attr("class") == "subtitle"; }, found);
    return found.empty() ? "" : found[0]->text;
}

std::string first_line_with(const std::string& text, const std::string& start)
{
    const size_t at = text.find(start);
    return at == std::string::npos ? "" : text.substr(at, text.find('\n', at) - at);
}

std::vector<std::vector<long>> counts(long v)
{
    return {{v, v, v, v}, {v, v, v, v}, {v, v, v, v}, {v, v, v, v}};
}

}  // namespace

TEST(ReportPlotCommand, DrawsTheLastTableOfEachKindAndListsThem)
{
    const TempDir in;
    const TempDir out;
    put_examples(in);
    const std::string dft_before = read_text(in / "DFT.CSV");
    const Result r = run({"-d", in.path().string(), "-o", (out / "plots").string()});
    ASSERT_EQ(r.status, 0) << r.console;
    EXPECT_EQ(r.console.find("Warning:"), std::string::npos) << r.console;

    const fs::path plots = out / "plots";
    const std::string index = read_text(plots / "index.html");
    const struct {
        const char* stem;
        const char* report;
        const char* example;
        const char* title;
    } expected[] = {
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
    size_t listed = 0;
    for (const auto& e : expected) {
        const fs::path svg = plots / (std::string(e.stem) + ".svg");
        ASSERT_TRUE(fs::exists(svg)) << e.stem;
        const SvgView view(read_text(svg));
        EXPECT_TRUE(view.doc.ok) << e.stem << ": " << view.doc.error;
        // The plot shows the example's table: its title line's source.
        const std::string title_line = first_line_with(example(e.example, e.report), e.title);
        const std::string source = title_line.substr(std::string(e.title).size() + 2);  // after ", "
        EXPECT_EQ(subtitle_of(svg).rfind(source, 0), 0u) << e.stem;
        EXPECT_NE(index.find(xml_text(title_line)), std::string::npos) << e.stem;
        EXPECT_NE(index.find("src=\"" + std::string(e.stem) + ".svg\""), std::string::npos) << e.stem;
        ++listed;
    }
    EXPECT_EQ(listed, 11u);
    EXPECT_FALSE(fs::exists(plots / "veldix-normality.svg"));  // no such table
    EXPECT_FALSE(fs::exists(plots / "acf-row.tsv"));           // only with --data
    EXPECT_EQ(read_text(in / "DFT.CSV"), dft_before);
}

TEST(ReportPlotCommand, NthAndAllAndTruncatedTables)
{
    const TempDir in;
    const TempDir out;
    std::string text;
    for (const char* name : {"A.NEF", "B.NEF", "C.NEF"})
        text += histogram_text(source(name, 200, 200, 4, 4), 1, 1, counts(3));
    const std::string d = histogram_text(source("D.NEF", 200, 200, 4, 4), 1, 1, counts(3));
    text += d.substr(0, d.size() - 1);  // the last table lost its blank line
    write_text(in / "HQUORVA.CSV", text);
    const std::string o = (out / "p").string();

    Result r = run({"-d", in.path().string(), "-o", o});
    ASSERT_EQ(r.status, 0);
    // Each table is 2 + 4 + 1 lines: D's title is line 22.
    EXPECT_NE(r.console.find("Warning:  HQUORVA.CSV line 22: Histogram data table"), std::string::npos) << r.console;
    EXPECT_EQ(subtitle_of(out / "p/quorva-hist.svg").rfind("file C.NEF,", 0), 0u);

    r = run({"-d", in.path().string(), "-o", o, "--nth", "2"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(subtitle_of(out / "p/quorva-hist.svg").rfind("file B.NEF,", 0), 0u);

    r = run({"-d", in.path().string(), "-o", o, "--nth", "4"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.console.find("Error:  "), std::string::npos);

    r = run({"-d", in.path().string(), "-o", o, "--all"});
    ASSERT_EQ(r.status, 0);
    const char* names[] = {"A.NEF", "B.NEF", "C.NEF"};
    for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(subtitle_of(out / ("p/quorva-hist-" + std::to_string(k) + ".svg")).rfind(std::string("file ") + names[k - 1], 0), 0u);
    EXPECT_FALSE(fs::exists(out / "p/quorva-hist-4.svg"));
}

TEST(ReportPlotCommand, RowAndColumnPlotsComeFromTheSameRun)
{
    const TempDir in;
    const TempDir out;
    const std::string a = source("A.TIF", 8, 8, 1, 1);
    const std::string b = source("B.TIF", 8, 8, 1, 1);
    const std::vector<std::vector<double>> v(3, {1, 2, 3, 4, 5, 6});
    const std::vector<double> rms = {1, 2, 3, 4, 5};
    write_text(in / "DFT.CSV", spectrum_text("Ave. Row-ACF", a, true, 0, 8, v, rms) +
                                   spectrum_text("Ave. Row-ACF", b, true, 0, 8, v, rms) +
                                   spectrum_text("Ave. Column-ACF", b, true, 0, 8, v, rms) +
                                   spectrum_text("Ave. Column-ACF", a, true, 0, 8, v, rms));
    const std::string o = (out / "p").string();
    ASSERT_EQ(run({"-d", in.path().string(), "-o", o}).status, 0);
    EXPECT_EQ(subtitle_of(out / "p/acf-row.svg").rfind("file B.TIF,", 0), 0u);
    EXPECT_EQ(subtitle_of(out / "p/acf-col.svg").rfind("file B.TIF,", 0), 0u);
    ASSERT_EQ(run({"-d", in.path().string(), "-o", o, "--nth", "2"}).status, 0);
    EXPECT_EQ(subtitle_of(out / "p/acf-row.svg").rfind("file A.TIF,", 0), 0u);
    EXPECT_EQ(subtitle_of(out / "p/acf-col.svg").rfind("file A.TIF,", 0), 0u);
}

TEST(ReportPlotCommand, StatusesAndMessages)
{
    const TempDir in;
    const TempDir out;
    Result r = run({"-d", in.path().string(), "-o", (out / "p").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console.rfind("Error:  no complete report table found in ", 0), 0u) << r.console;
    EXPECT_FALSE(fs::exists(out / "p"));

    put_examples(in);
    write_text(out / "file", "not a directory");
    r = run({"-d", in.path().string(), "-o", (out / "file").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.console.find("Error:  cannot create the directory"), std::string::npos) << r.console;

    r = run({"--bogus"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.console.rfind("Error:  unknown argument \"--bogus\".", 0), 0u);
    EXPECT_EQ(run({"--nth", "0"}).status, 1);
    EXPECT_EQ(run({"--all", "--nth", "2"}).status, 1);
    r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.console.rfind("Usage: reportplot", 0), 0u);
}

TEST(ReportPlotCommand, DataFilesAndTheSameBytesEveryRun)
{
    const TempDir in;
    const TempDir out;
    put_examples(in);
    ASSERT_EQ(run({"-d", in.path().string(), "-o", (out / "a").string(), "--data"}).status, 0);
    ASSERT_EQ(run({"-d", in.path().string(), "-o", (out / "b").string(), "--data"}).status, 0);
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(out / "a")) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(read_text(entry.path()), read_text(out / "b" / name)) << name;
        ++files;
    }
    EXPECT_EQ(files, 11u * 2u + 1u);  // an SVG and a TSV per plot, and the index
    const std::string tsv = read_text(out / "a/profile-row.tsv");
    EXPECT_EQ(tsv.rfind("# " + first_line_with(example("04-quorva-profiles-ft", "RCDN.CSV"), "Ave-row DN values") + "\n", 0), 0u);
    EXPECT_NE(read_text(out / "a/index.html").find("href=\"profile-row.tsv\""), std::string::npos);
}

TEST(ReportPlotRendering, EveryPlotRendersToAnImage)
{
    if (std::system("command -v rsvg-convert >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "rsvg-convert is not installed (Debian package librsvg2-bin; make test installs it)";
    const TempDir in;
    const TempDir out;
    put_examples(in);
    write_text(in / "VELDIX.CSV", "");
    ASSERT_EQ(run({"-d", in.path().string(), "-o", (out / "p").string()}).status, 0);
    std::vector<std::string> images;
    for (const auto& entry : fs::directory_iterator(out / "p")) {
        if (entry.path().extension() != ".svg")
            continue;
        const fs::path png = fs::path(entry.path()).replace_extension(".png");
        const std::string command = "rsvg-convert -o '" + png.string() + "' '" + entry.path().string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string bytes = read_text(png);
        EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1A\n") << png;
        EXPECT_GT(bytes.size(), 10000u) << png;  // a blank 880 x 500 image is far smaller
        images.push_back(bytes);
    }
    EXPECT_EQ(images.size(), 11u);
    // Different data, different pictures.
    EXPECT_NE(read_text(out / "p/acf-row.png"), read_text(out / "p/acf-col.png"));
    EXPECT_NE(read_text(out / "p/quorva-hist.png"), read_text(out / "p/veldix-hist.png"));

    // A white page of the same size compresses to far less than any plot,
    // and every plot differs from empty axes.
    write_text(out / "white.svg",
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"880\" height=\"500\"><rect width=\"880\" "
               "height=\"500\" fill=\"#ffffff\"/></svg>");
    write_text(out / "axes.svg", render_svg(Figure{}));
    for (const char* name : {"white", "axes"}) {
        const std::string svg = (out / (std::string(name) + ".svg")).string();
        const std::string png = (out / (std::string(name) + ".png")).string();
        ASSERT_EQ(std::system(("rsvg-convert -o '" + png + "' '" + svg + "'").c_str()), 0);
    }
    const std::string white = read_text(out / "white.png");
    const std::string axes = read_text(out / "axes.png");
    ASSERT_GT(white.size(), 0u);
    for (const std::string& image : images) {
        EXPECT_GT(image.size(), 5 * white.size());
        EXPECT_NE(image, axes);
    }
}
