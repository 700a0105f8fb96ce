#include "run/run_sequence.h"

#include <memory>

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
    sample_pass(run);

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
            column_pass(run);
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
    add_text(record, ", %s", s.file_name[0].c_str());
    if (s.two_files)
        add_text(record, " minus %s", s.file_name[1].c_str());
    add_text(record, ", w%ld, h%ld, x%ld, y%ld\n", static_cast<long>(run.window.W), static_cast<long>(run.window.H),
             static_cast<long>(run.window.X), static_cast<long>(run.window.Y));
    append_report(run, run.reports.stats, record);
}

}  // namespace

int run_program(const ProgramProfile& profile, int argc, const char* const* argv, std::FILE* console)
{
    return run_program(profile, argc, argv, console, RunOptions{});
}

int run_program(const ProgramProfile& profile, int argc, const char* const* argv, std::FILE* console,
                const RunOptions& options)
{
    auto run = std::make_unique<RunState>(profile, Console{console});
    run->reference_path = options.reference_path;
    bool reached_reports = false;
    int status = run_steps(*run, argc, argv, reached_reports);
    // A run that reached the reports completes its record line, also when the
    // normality curves could not be written (status 3).
    if (reached_reports && run->settings.stats_log && run->reports.stats.is_open())
        close_record(*run);
    if (reached_reports && status == 0)
        say(run->console, "\n");
    if (status == 0 && any_write_failed(run->reports))
        status = status_report_incomplete;
    std::fflush(console);
    return status;
}
