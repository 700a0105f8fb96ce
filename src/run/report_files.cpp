#include "run/report_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run/run_state.h"
#include "reports/report_texts.h"

namespace {

// A log shorter than this has no heading yet.
constexpr off_t heading_threshold = 8;

bool write_all(int fd, const std::string& text)
{
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t done = ::write(fd, data, left);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (done == 0)
            return false;
        data += done;
        left -= static_cast<size_t>(done);
    }
    return true;
}

}  // namespace

ReportFiles::~ReportFiles()
{
    close_report(stats);
    close_report(hist);
    close_report(profile);
    close_report(spectrum);
}

bool open_report(ReportFile& file, const char* name)
{
    file.name = name;
    file.fd = ::open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    return file.fd >= 0;
}

void close_report(ReportFile& file)
{
    if (file.fd >= 0)
        ::close(file.fd);
    file.fd = -1;
}

bool open_stats_log(ReportFile& file, const char* name, Console& console)
{
    if (!open_report(file, name))
        return false;
    // Runs started together must not head the log twice: test and head under a lock.
    ::flock(file.fd, LOCK_EX);
    struct stat info {};
    if (::fstat(file.fd, &info) == 0 && info.st_size < heading_threshold) {
        using namespace report_texts;
        TextBuffer heading;
        add_text(heading, "%s", stats_title);
        add_text(heading, stats_columns_format, stats_columns, stats_columns);
        if (!write_all(file.fd, heading.text))
            note_write_failure(file, console);
    }
    ::flock(file.fd, LOCK_UN);
    return true;
}

void note_write_failure(ReportFile& file, Console& console)
{
    if (!file.write_failed)
        say(console, "Warning:  Unable to write %s.\n", file.name);
    file.write_failed = true;
}

void append_report(RunState& run, ReportFile& file, const TextBuffer& text)
{
    if (!file.is_open() || text.text.empty())
        return;
    if (!write_all(file.fd, text.text))
        note_write_failure(file, run.console);
}

bool any_write_failed(const ReportFiles& files)
{
    return files.stats.write_failed || files.hist.write_failed || files.profile.write_failed ||
           files.spectrum.write_failed;
}

void write_table_source(const RunState& run, TextBuffer& text)
{
    const RunSettings& s = run.settings;
    add_text(text, report_texts::source_file, s.file_name[0].c_str());
    if (s.two_files)
        add_text(text, report_texts::source_second_file, s.file_name[1].c_str());
    add_text(text, report_texts::source_window, static_cast<long>(run.window.W),
             static_cast<long>(run.window.H), static_cast<long>(run.window.X), static_cast<long>(run.window.Y));
}
