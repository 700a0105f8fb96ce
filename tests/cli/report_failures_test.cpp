// Report files that cannot be written: the loss is reported, never silent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "program_profiles.h"
#include "run/run_sequence.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace {

const rawgen::Image planes = rawgen::make_planes(8, 8, 100, 101, 103, 102);

TEST(ReportFailures, FullDiskWarnsOncePerFileAndEndsWithStatus4)
{
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full here";
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(planes));
    ASSERT_EQ(::symlink("/dev/full", (dir.path() + "/QUORVA.CSV").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/full", (dir.path() + "/RCDN.CSV").c_str()), 0);
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-L", "-R", "-C"});
    EXPECT_EQ(run.status, 4);
    // The heading fails first; the record and the second profile table fail
    // silently after it, once each file has been reported.
    EXPECT_EQ(run.out,
              "Warning:  Unable to write QUORVA.CSV.\n"
              "Camera:  NIKON D800    File:  A.NEF\n"
              "Image 8x8, Window 8x8 at X=0 Y=0\n"
              " Red   ave 100.5, SD 0.00, Max 100, Min 100\n"
              " Green ave 102.0, SD 0.50, Max 102, Min 101\n"
              " Blue  ave 103.5, SD 0.00, Max 103, Min 103\n"
              "Warning:  Unable to write RCDN.CSV.\n"
              "\n");
}

// Runs body(file) in a child process; its exit status and what it wrote to the
// file (opened before the child starts).
template <typename Body>
CapturedRun in_child(Body body)
{
    std::FILE* file = std::tmpfile();
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body(file));
    int status = -1;
    ::waitpid(pid, &status, 0);
    CapturedRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ""};
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        run.out += static_cast<char>(c);
    std::fclose(file);
    return run;
}

// quorva's console, in a child that gives up root's rights (root writes into
// read-only directories).
CapturedRun run_unprivileged(std::vector<const char*> argv)
{
    return in_child([&](std::FILE* console) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 99;
        const int status = run_program(quorva_profile(), static_cast<int>(argv.size()), argv.data(), console);
        std::fflush(console);
        return status;
    });
}

TEST(ReportFailures, ReadOnlyDirectoryWarnsForEveryReportAndReadOnlyImageIsMeasured)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(planes));
    ASSERT_EQ(::chmod((dir.path() + "/A.NEF").c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    const CapturedRun run = run_unprivileged({"quorva", "a", "-L", "-N5", "-R", "-M"});
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.substr(0, run.out.find("Image")),
              "Warning:  Unable to open QUORVA.CSV.\n"
              "Warning:  Unable to open HQUORVA.CSV.\n"
              "Camera:  NIKON D800    File:  A.NEF\n"
              "Warning:  Unable to open DFT.CSV.\n");
    EXPECT_NE(run.out.find(" Red   ave 100.5"), std::string::npos);
    EXPECT_FALSE(dir.exists("QUORVA.CSV"));
}

TEST(ReportFailures, UnwritableHistogramLogForNormalityCurvesEndsWithStatus3AndAWholeRecord)
{
    ScratchDir dir;
    rawgen::Content dark;
    for (auto& plane : dark.plane)
        plane = {.level = 20, .noise_sd = 20};
    dir.put("A.NEF", rawgen::make_nef(rawgen::make_image(200, 200, dark)));
    ASSERT_EQ(::mkdir((dir.path() + "/HQUORVA.CSV").c_str(), 0755), 0);
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-L", "-K"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.out.find("Histogram-derived:\n"), std::string::npos);
    EXPECT_NE(run.out.substr(run.out.size() - 2), "\n\n");  // no closing blank line
    const std::string log = dir.read("QUORVA.CSV");
    const std::string end = ", A.NEF, w200, h200, x0, y0\n";
    ASSERT_GT(log.size(), end.size());
    EXPECT_EQ(log.substr(log.size() - end.size()), end);
    EXPECT_NE(log.find(", From Hist:, "), std::string::npos);
}

TEST(ReportFailures, NamedPipeWithoutReaderIsAReportThatCannotBeOpened)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(planes));
    for (const char* name : {"QUORVA.CSV", "RCDN.CSV"})
        ASSERT_EQ(::mkfifo((dir.path() + "/" + name).c_str(), 0644), 0);
    const CapturedRun run = run_captured(quorva_profile(), {"a", "-L", "-R"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find("Image")),
              "Warning:  Unable to open QUORVA.CSV.\n"
              "Camera:  NIKON D800    File:  A.NEF\n"
              "Warning:  Unable to open RCDN.CSV.\n");
}

// quorva on A.NEF with standard output the file given, or closed (null,
// standard input too): its status and what it said on standard error.
CapturedRun run_with_stdout(const char* path)
{
    return in_child([&](std::FILE* errors) {
        ::dup2(::fileno(errors), 2);
        ::close(1);
        if (!path)
            ::close(0);
        else if (::open(path, O_WRONLY) != 1)
            return 99;
        const char* argv[] = {"quorva", "a", "-L", nullptr};
        return run_main(quorva_profile(), 3, argv);
    });
}

TEST(ReportFailures, ConsoleThatCannotBeWrittenEndsWithStatus4AndSaysSoOnStandardError)
{
    ScratchDir dir;
    dir.put("A.NEF", rawgen::make_nef(planes));
    const std::string said = "Warning:  Unable to write standard output.\n";
    if (::access("/dev/full", W_OK) == 0) {
        const CapturedRun full = run_with_stdout("/dev/full");
        EXPECT_EQ(std::pair(full.status, full.out), std::pair(4, said));
    }
    // Closed: nothing the run opens may take its place (the image would take
    // standard input's, the log standard output's, and get the console's lines).
    const CapturedRun closed = run_with_stdout(nullptr);
    EXPECT_EQ(std::pair(closed.status, closed.out), std::pair(4, said));
    EXPECT_EQ(dir.read("QUORVA.CSV").find("Camera"), std::string::npos);
    const CapturedRun null = run_with_stdout("/dev/null");
    EXPECT_EQ(std::pair(null.status, null.out), std::pair(0, std::string()));
}

}  // namespace
