#include "run/run_sequence.h"

#include <memory>

#include "platform/files.h"
#include "reports/report_texts.h"
#include "run/command_line.h"
#include "run/run_state.h"
#include "spectra/column_pass.h"
#include "spectra/row_spectra.h"
#include "stats/hist_derived.h"

namespace {

// Smallest image the window can cover: one whole mosaic cell.
constexpr uint32_t min_image_dim = 2;

void warn_unable_to_open(RunState& run, const char* name)
{
    say(run.console, "Warning:  Unable to open %s.\n", name);
}

// A name as the statistics record holds it: a ',' would add columns and a '"'
// open a quoted cell, so they become ';' and '\''.
std::string record_name(const std::string& name)
{
    std::string text = name;
    for (char& c : text) {
        if (c == ',')
            c = ';';
        else if (c == '"')
            c = '\'';
    }
    return text;
}

// Steps from the report files to the closing fields of the record.
int run_steps(RunState& run, int argc, const char* const* argv, bool& reached_reports)
{
    RunSettings& s = run.settings;
    const ProgramProfile& profile = run.profile;

    const int parsed = parse_arguments(run, argc, argv);
    if (parsed != continue_run)
        return parsed;

    if (s.stats_log && !open_stats_log(run.reports.stats, profile.stats_log_name, run.console)) {
        warn_unable_to_open(run, profile.stats_log_name);
        s.stats_log = false;
    }
    if (s.hist_enabled && !open_report(run.reports.hist, profile.hist_log_name)) {
        warn_unable_to_open(run, profile.hist_log_name);
        s.hist_enabled = false;
    }

    if (int status = profile.input.check_header(run))
        return status;
    if (int status = profile.input.probe(run))
        return status;
    if (run.info.width < min_image_dim || run.info.height < min_image_dim) {
        say(run.console, "Error:  Image must be at least 2x2 pixels.\n");
        return 1;
    }
    if (s.T > 0)
        run.info.saturation_level = s.T;

    size_window(s, run.info, run.window);
    if (s.hist_enabled)
        normalise_histogram(profile, s, run.hist);
    place_window(profile, s, run.info, run.window);
    apply_spectrum_limits(s, run.window);
    if (s.ft_coef) {
        run.profiles.per_column = s.row_lines;
        run.profiles.per_row = s.col_lines;
    }
    if (s.ft_coef || s.multi_line) {
        derive_spectrum_spans(s, run.window, run.spectra);
        if (!open_report(run.reports.spectrum, report_texts::spectrum_log)) {
            warn_unable_to_open(run, report_texts::spectrum_log);
            s.ft_coef = false;
            s.multi_line = false;
        }
    }
    if (s.rcdn_rows || s.rcdn_cols) {
        if (!open_report(run.reports.profile, report_texts::profile_log)) {
            warn_unable_to_open(run, report_texts::profile_log);
            s.rcdn_rows = s.rcdn_cols = false;
        }
        apply_profile_limits(s, run.window);
        if (s.rcdn_rows)
            run.profiles.per_column = true;
        if (s.rcdn_cols)
            run.profiles.per_row = true;
    }
    if (s.options_disabled)
        say(run.console, "Window exceeds Math array size; options disabled.\n");
    print_window_line(profile, run.console, run.info, run.window);
    if (profile.input.check_format)
        if (int status = profile.input.check_format(run))
            return status;

    reset_channel_stats(run.stats, run.window.W, run.window.H);
    clear_profiles(run.profiles);
    if (const ReadOutcome read = sample_pass(run); !read.ok())
        return unable_to_read(run, read);

    reached_reports = true;
    report_channel_stats(run);
    if (s.hist_enabled)
        write_histogram_table(run);
    if (s.rcdn_rows || s.rcdn_cols)
        write_profile_tables(run);
    if (s.ft_coef)
        write_ft_tables(run);
    if (s.multi_line) {
        write_row_spectra(run);
        if (run.spectra.span_y > 1) {
            if (const ReadOutcome read = column_pass(run); !read.ok())
                return unable_to_read(run, read);
            write_column_spectra(run);
        }
    }
    return histogram_derived(run);
}

// Record groups 4 to 6: the names and the window, ending the line.
void close_record(RunState& run)
{
    const RunSettings& s = run.settings;
    TextBuffer& record = run.reports.record;
    add_text(record, ", %s", record_name(s.file_name[0]).c_str());
    if (s.two_files)
        add_text(record, " minus %s", record_name(s.file_name[1]).c_str());
    add_text(record, ", w%ld, h%ld, x%ld, y%ld\n", static_cast<long>(run.window.W), static_cast<long>(run.window.H),
             static_cast<long>(run.window.X), static_cast<long>(run.window.Y));
    append_report(run, run.reports.stats, record);
}

// Whether everything printed reached the console.
bool console_written(Console& console)
{
    const bool flushed = std::fflush(console.stream) == 0 && !std::ferror(console.stream);
    return flushed && !console.lost;
}

int run_on_console(const ProgramProfile& profile, int argc, const char* const* argv, Console console,
                   const RunOptions& options)
{
    auto run = std::make_unique<RunState>(profile, console);
    run->reference_path = options.reference_path;
    bool reached_reports = false;
    int status = run_steps(*run, argc, argv, reached_reports);
    // A run that reached the reports completes its record line, also when the
    // normality curves could not be written (status 3); one that could not
    // read its samples appends nothing more.
    const bool completed = status == 0 || status == 3;
    if (reached_reports && completed && run->settings.stats_log && run->reports.stats.is_open())
        close_record(*run);
    if (reached_reports && status == 0)
        say(run->console, "\n");
    if (status == 0 && any_write_failed(run->reports))
        status = status_report_incomplete;
    // A report nobody can see is not a completed run.
    if (!console_written(run->console) && status == 0) {
        std::fputs("Warning:  Unable to write standard output.\n", stderr);
        status = status_report_incomplete;
    }
    return status;
}

}  // namespace

int unable_to_read(RunState& run, const ReadOutcome& read)
{
    say(run.console, "Error:  Unable to read %s.\n", run.settings.file_name[read.failed_image].c_str());
    return 1;
}

int run_program(const ProgramProfile& profile, int argc, const char* const* argv, std::FILE* console)
{
    return run_program(profile, argc, argv, console, RunOptions{});
}

int run_program(const ProgramProfile& profile, int argc, const char* const* argv, std::FILE* console,
                const RunOptions& options)
{
    return run_on_console(profile, argc, argv, Console{console}, options);
}

int run_main(const ProgramProfile& profile, int argc, const char* const* argv)
{
    Console console{stdout};
    console.lost = platform::reserve_standard_streams();
    return run_on_console(profile, argc, argv, console, RunOptions{});
}
