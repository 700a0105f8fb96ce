#include "run/report_files.h"

#include "platform/files.h"
#include "reports/report_texts.h"
#include "run/run_state.h"

namespace {

// A log shorter than this has no heading yet.
constexpr uint64_t heading_threshold = 8;

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
    if (!platform::append_text(file.handle, text.text))
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
