// The reportplot command: which tables it draws, the page that shows them,
// its messages and statuses, and hostile report files and outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plot/report_command.h"
#include "plot/report_text.h"
#include "plot/text_metrics.h"

using namespace plot;
using namespace plot_test;
namespace fs = std::filesystem;

namespace {

CapturedRun run(const std::vector<std::string>& args, std::FILE* console = nullptr)
{
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* memory = ::open_memstream(&buffer, &size);
    CapturedRun r;
    r.status = reportplot_main(args, console ? console : memory, memory);
    std::fclose(memory);
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
    // RCDN.CSV with "\r\n" line ends, as the Windows programs write it.
    std::string crlf = example("04-quorva-profiles-ft", "RCDN.CSV");
    for (size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.insert(at, "\r");
    dir.put_text("in/RCDN.CSV", crlf);
    dir.put_text("in/DFT.CSV", example("04-quorva-profiles-ft", "DFT.CSV") + example("05-quorva-multi-dft", "DFT.CSV") +
                                   example("06-quorva-acf-two-files", "DFT.CSV"));
}

// Where in the text the piece stands; npos fails the comparisons below.
size_t at(const std::string& text, const std::string& piece)
{
    const size_t found = text.find(piece);
    EXPECT_NE(found, std::string::npos) << piece;
    return found;
}

// The subtitle of a drawn plot: the source of its table.
bool shows(const ScratchDir& dir, const std::string& svg, const std::string& files)
{
    return dir.read(svg).find("class=\"subtitle\" x=\"8\" y=\"37\" font-size=\"11.5\" fill=\"#333333\">file " + files) !=
           std::string::npos;
}

}  // namespace

TEST(ReportPlotCommand, DrawsTheLastTableOfEachKindOnAPageByRun)
{
    const ScratchDir dir;
    put_examples(dir);
    const CapturedRun r = run({"-d", "in", "-o", "p", "--data"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "11 plots drawn, shown in p/index.html\n");
    const std::string page = dir.read("p/index.html");
    // Five runs, in the order of their first plot, each with its plots and,
    // beside each, the report file and line of its table.
    const struct {
        const char* heading;
        std::vector<std::pair<const char*, const char*>> plots;  // stem, "REPORT line N"
    } runs[] = {{"DARK1.NEF - DARK2.NEF \xC2\xB7 window 200 \xC3\x97 200 at X=4 Y=4", {{"quorva-hist", "HQUORVA.CSV line 1"}}},
                {"DARK1.NEF \xC2\xB7 window 200 \xC3\x97 200 at X=4 Y=4", {{"quorva-normality", "HQUORVA.CSV line 26"}}},
                {"FLAT1.TIF - FLAT3.TIF \xC2\xB7 window 40 \xC3\x97 20 at X=3 Y=5", {{"veldix-hist", "HVELDIX.CSV line 1"}}},
                {"FLAT1.NEF - FLAT2.NEF \xC2\xB7 window 40 \xC3\x97 24 at X=10 Y=8",
                 {{"profile-row", "RCDN.CSV line 1"}, {"profile-col", "RCDN.CSV line 23"},
                  {"fdft-row", "DFT.CSV line 1"}, {"fdft-col", "DFT.CSV line 9"}}},
                {"FLAT1.NEF \xC2\xB7 window 32 \xC3\x97 16 at X=32 Y=24", {{"mdft-row", "DFT.CSV line 17"}, {"mdft-col", "DFT.CSV line 29"}}},
                {"FLAT1.NEF - FLAT2.NEF \xC2\xB7 window 32 \xC3\x97 24 at X=32 Y=20", {{"acf-row", "DFT.CSV line 37"}, {"acf-col", "DFT.CSV line 44"}}}};
    const size_t contents_end = at(page, "</nav>");
    size_t body = contents_end;
    for (size_t i = 0; i < std::size(runs); ++i) {
        SCOPED_TRACE(runs[i].heading);
        EXPECT_LT(at(page, "<a href=\"#run-" + std::to_string(i + 1) + "\">" + xml_text(runs[i].heading)), contents_end);
        body = at(page, "<h2>" + xml_text(runs[i].heading) + "</h2>");
        for (const auto& [stem, from] : runs[i].plots) {
            const size_t figure = at(page, "<figure id=\"" + std::string(stem) + "\">\n<img src=\"" + stem +
                                               ".svg\" width=\"640\" height=\"420\" alt=\"");
            EXPECT_GT(figure, body);
            EXPECT_EQ(page.find(std::string("From ") + from + " ", figure), page.find("<figcaption>", figure) + 12);
            EXPECT_NE(dir.read("p/" + std::string(stem) + ".tsv").find("\n# " + std::string(from) + "\n"), std::string::npos);
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator("p"), fs::directory_iterator{}), 2 * 11 + 1);  // and the page
    EXPECT_EQ(page.find("<script"), std::string::npos);
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
    // Row and column tables of runs A (a name holding markup) and B interleaved.
    const std::vector<std::vector<double>> v(3, {1, 2, 3, 4, 5, 6});
    auto acf = [&](const char* title, const char* file) { return spectrum_text(title, source(file, 8, 8, 1, 1), true, 0, 8, v); };
    dir.put_text("in/DFT.CSV", acf("Ave. Row-ACF", "<A>.TIF") + acf("Ave. Row-ACF", "B.TIF") +
                                   acf("Ave. Column-ACF", "B.TIF") + acf("Ave. Column-ACF", "<A>.TIF"));
    const CapturedRun r = run({"-d", "in", "-o", "p"});
    ASSERT_EQ(r.status, 0);
    // Each table is 2 + 4 + 1 lines: D's title is line 22.
    EXPECT_NE(r.out.find("Warning:  HQUORVA.CSV line 22: Histogram data table cut off by the end of the file"), std::string::npos)
        << r.out;
    EXPECT_TRUE(shows(dir, "p/quorva-hist.svg", "C.NEF,"));
    EXPECT_TRUE(shows(dir, "p/acf-row.svg", "B.TIF,"));
    EXPECT_TRUE(shows(dir, "p/acf-col.svg", "B.TIF,"));
    ASSERT_EQ(run({"-d", "in", "-o", "p", "--nth", "2"}).status, 0);
    EXPECT_TRUE(shows(dir, "p/quorva-hist.svg", "B.NEF,"));
    EXPECT_TRUE(shows(dir, "p/acf-row.svg", "&lt;A&gt;.TIF,"));
    EXPECT_TRUE(shows(dir, "p/acf-col.svg", "&lt;A&gt;.TIF,"));
    EXPECT_NE(dir.read("p/index.html").find("<h2>&lt;A&gt;.TIF \xC2\xB7 window 8"), std::string::npos);
    ASSERT_EQ(run({"-d", "in", "-o", "p", "--all"}).status, 0);
    for (const char* name : {"A", "B", "C"})
        EXPECT_TRUE(shows(dir, "p/quorva-hist-" + std::to_string(*name - 'A' + 1) + ".svg", std::string(name)));
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
        {{"-d", "empty", "-o", "p"}, 1, "Error:  no complete report table found in empty.\n"},
        {{"-d", "file"}, 1, "Error:  file is not a directory.\n"},
        {{"-d", "in", "-o", "file"}, 2, "Error:  cannot create the directory file.\n"},
        {{"-d", "in", "-o", "n", "--nth", "4"}, 1, "Error:  no complete report table found in in at --nth 4.\n"},
        {{"--bogus"}, 1, "Error:  unknown argument \"--bogus\"."},
        {{"--nth", "0"}, 1, "Error:  --nth needs a whole number from 1 up, not \"0\"."},
        {{"--all", "--nth", "2"}, 1, "Error:  --all and --nth cannot be used together."},
        {{"--help"}, 0, "Usage: reportplot"},
    };
    for (const auto& c : cases) {
        const CapturedRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << r.out;
        EXPECT_EQ(r.out.rfind(c.message, 0), 0u) << r.out;
    }
    EXPECT_FALSE(dir.exists("p"));
    // A console that cannot be written: the plots are there, but the run failed.
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    const CapturedRun r = run({"-d", "in", "-o", "p"}, full);
    std::fclose(full);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "Error:  reportplot cannot write its messages to the console.\n");
}

TEST(ReportPlotCommand, HostileReportFilesAndOutputs)
{
    const ScratchDir dir;
    fs::create_directory("in");
    // A directory and a named pipe in the place of report files: skipped, no wait.
    fs::create_directory("in/DFT.CSV");
    ASSERT_EQ(::mkfifo("in/RCDN.CSV", 0600), 0);
    ASSERT_EQ(::mkfifo("in/QUORVA.CSV", 0600), 0);
    // Values no plot can place, and a histogram of 500,000 bins with one peak.
    std::string hist = "Histogram data" + source("H.NEF", 200, 200, 4, 4) + "Bin base,  Red cnt, Green1 cnt,  Blue cnt, Green2 cnt\n";
    hist += "0, 0, 0, 0, 0\n";
    for (int k = 0; k < 500000; ++k)
        hist += std::to_string(1 + k) + ", " + (k == 250000 ? "90000" : k % 3 ? "1e308" : "inf") + ", 5, nan, 7\n";
    dir.put_text("in/HQUORVA.CSV", hist + "500001, 0, 0, 0, 0\n\n");
    const CapturedRun r = run({"-d", "in", "-o", "p", "--data"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Warning:  in/RCDN.CSV is not a regular file; skipped.\n"
                     "Warning:  in/DFT.CSV is not a regular file; skipped.\n"
                     "Warning:  in/QUORVA.CSV is not a regular file; skipped.\n"
                     "1 plot drawn, shown in p/index.html\n");
    const std::string svg = dir.read("p/quorva-hist.svg");
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(svg.find("inf"), std::string::npos);
    EXPECT_LT(svg.size(), 100000u);
    // Every row is in the data.
    const std::string tsv = dir.read("p/quorva-hist.tsv");
    EXPECT_EQ(std::count(tsv.begin(), tsv.end(), '\n'), 3 + 1 + 500002);  // 3 comments, the column names
    EXPECT_NE(tsv.find("\n250001\t90000\t5\tnan\t7\n"), std::string::npos);
    // A named pipe where a plot goes is not written into (a reader waits on
    // it, so that writing would not hang but succeed).
    fs::remove("p/quorva-hist.svg");
    ASSERT_EQ(::mkfifo("p/quorva-hist.svg", 0600), 0);
    const int reader = ::open("p/quorva-hist.svg", O_RDONLY | O_NONBLOCK);
    const CapturedRun blocked = run({"-d", "in", "-o", "p"});
    ::close(reader);
    EXPECT_EQ(blocked.status, 2);
    EXPECT_NE(blocked.out.find("Error:  cannot write p/quorva-hist.svg.\n"), std::string::npos);
}
