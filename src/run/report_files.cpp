#include "run/report_files.h"

#include "platform/files.h"
#include "reports/report_texts.h"

namespace {

// A log shorter than this has no heading yet.
constexpr uint64_t heading_threshold = 8;

// A write that failed (a full disk) is reported once per file: the report is
// then incomplete.
void note_write_failure(ReportFile& file, Console& console)
{
    if (!file.write_failed)
        say(console, "Warning:  Unable to write %s.\n", file.name);
    file.write_failed = true;
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
    return platform::open_for_appending(name, file.handle);
}

void close_report(ReportFile& file)
{
    platform::close_file(file.handle);
}

bool open_stats_log(ReportFile& file, const char* name, Console& console)
{
    if (!open_report(file, name))
        return false;
    // Runs started together must not head the log twice: test and head under a lock.
    platform::lock_file(file.handle);
    uint64_t length = 0;
    if (platform::file_length(file.handle, length) && length < heading_threshold) {
        using namespace report_texts;
        TextBuffer heading;
        add_text(heading, "%s", stats_title);
        add_text(heading, stats_columns_format, stats_columns, stats_columns);
        if (!platform::append_text(file.handle, heading.text))
            note_write_failure(file, console);
    }
    platform::unlock_file(file.handle);
    return true;
}

void append_report(ReportFile& file, const std::string& text, Console& console)
{
    if (!file.is_open() || text.empty())
        return;
    if (!platform::append_text(file.handle, text))
        note_write_failure(file, console);
}

bool any_write_failed(const ReportFiles& files)
{
    return files.stats.write_failed || files.hist.write_failed || files.profile.write_failed ||
           files.spectrum.write_failed;
}
