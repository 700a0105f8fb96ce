#include "run/run_sequence.h"

#include <memory>
#include <optional>

#include "input/image_file.h"
#include "platform/files.h"
#include "reports/report_texts.h"
#include "reports/text_out.h"
#include "run/command_line.h"
#include "run/program_profile.h"
#include "run/report_files.h"
#include "run/run_plan.h"
#include "run/run_settings.h"
#include "spectra/column_pass.h"
#include "spectra/line_spectra.h"
#include "spectra/spectrum_engine.h"
#include "spectra/spectrum_tables.h"
#include "stats/channel_stats.h"
#include "stats/hist_derived.h"
#include "stats/sample_pass.h"

namespace {

// Smallest image the window can cover: one whole mosaic cell.
constexpr uint32_t min_image_dim = 2;

// The whole state of one run: plain records, owned by the run sequence alone,
// which hands each step what it reads and takes back what it finds.
struct RunState {
    RunState(const ProgramProfile& program, Console out, const RunOptions& options)
        : profile(program),
          console(out),
          pass_mode(options.reference_path ? PassMode::plain : PassMode::fast),
          engine(make_spectrum_engine(options.reference_path ? EngineKind::literal : EngineKind::fast))
    {
    }

    const ProgramProfile& profile;
    Console console;
    PassMode pass_mode;
    std::unique_ptr<SpectrumEngine> engine;

    RunSettings settings;  // as the command line gave them
    ImageFile images[2];
    bool two_files = false;  // image 2 open and matching image 1
    RawImageInfo info;
    RunPlan plan;
    std::string source;  // what completes every table's title
    ReportFiles reports;
    TextBuffer record;  // the statistics record, appended whole at the end
    bool reached_reports = false;
};

void warn_unable_to_open(RunState& run, const char* name)
{
    say(run.console, "Warning:  Unable to open %s.\n", name);
}

ExitStatus unable_to_read(RunState& run, const ReadOutcome& read)
{
    say(run.console, "Error:  Unable to read %s.\n", run.settings.file_name[read.failed_image].c_str());
    return ExitStatus::failed;
}

void append(RunState& run, ReportFile& file, const std::string& text)
{
    append_report(file, text, run.console);
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

// Steps 1 to 5: the arguments, the two logs, the probe.
std::optional<ExitStatus> open_and_probe(RunState& run, int argc, const char* const* argv)
{
    RunSettings& s = run.settings;
    const ProgramProfile& profile = run.profile;
    if (const auto ended = parse_arguments(profile, argc, argv, s, run.images, run.console))
        return ended;

    if (s.stats_log && !open_stats_log(run.reports.stats, profile.stats_log_name, run.console))
        warn_unable_to_open(run, profile.stats_log_name);
    if (s.hist_enabled && !open_report(run.reports.hist, profile.hist_log_name))
        warn_unable_to_open(run, profile.hist_log_name);

    ProbeInput input;
    input.image[0] = &run.images[0];
    input.image[1] = s.two_files ? &run.images[1] : nullptr;
    input.name[0] = s.file_name[0];
    input.name[1] = s.file_name[1];
    input.fixed_saturation_level = profile.fixed_saturation_level;
    const ProbeOutcome probe = profile.probe(input, run.console);
    if (probe.status != ExitStatus::completed)
        return probe.status;
    run.info = probe.info;
    run.two_files = s.two_files && !probe.second_dropped;
    if (run.info.width < min_image_dim || run.info.height < min_image_dim) {
        say(run.console, "Error:  Image must be at least 2x2 pixels.\n");
        return ExitStatus::failed;
    }
    if (s.T > 0)
        run.info.saturation_level = s.T;
    return std::nullopt;
}

// Steps 6 to 10: the plan, the spectrum and profile logs, the window line and
// the samples' format test.
std::optional<ExitStatus> plan_and_open(RunState& run)
{
    RunPlan& plan = run.plan;
    plan = plan_run(run.profile, run.settings, run.info);
    if ((plan.ft_coef || plan.multi_line) && !open_report(run.reports.spectrum, report_texts::spectrum_log)) {
        warn_unable_to_open(run, report_texts::spectrum_log);
        plan.ft_coef = plan.multi_line = false;
    }
    if (plan.profile_log && !open_report(run.reports.profile, report_texts::profile_log)) {
        warn_unable_to_open(run, report_texts::profile_log);
        plan.rcdn_rows = plan.rcdn_cols = false;
    }
    if (plan.options_disabled)
        say(run.console, "Window exceeds Math array size; options disabled.\n");
    print_window_line(run.profile.window, run.console, run.info, plan.window);
    if (run.profile.check_samples) {
        const ExitStatus status = run.profile.check_samples(run.info, run.images[0], run.console);
        if (status != ExitStatus::completed)
            return status;
    }
    const RunSettings& s = run.settings;
    run.source = table_source(s.file_name[0], run.two_files ? &s.file_name[1] : nullptr, plan.window);
    return std::nullopt;
}

PassRequest pass_request(const RunState& run)
{
    const RunPlan& plan = run.plan;
    PassRequest request;
    request.image[0] = &run.images[0];
    request.image[1] = run.two_files ? &run.images[1] : nullptr;
    request.info = run.info;
    request.window = plan.window;
    request.histogram = run.reports.hist.is_open() && run.settings.hist_enabled ? &plan.histogram : nullptr;
    request.per_column = plan.rcdn_rows || (plan.ft_coef && plan.spectra.x.on());
    request.per_row = plan.rcdn_cols || (plan.ft_coef && plan.spectra.y.on());
    request.mode = run.pass_mode;
    return request;
}

// The -F tables, or the -M/-A tables with the second pass along the columns.
std::optional<ExitStatus> spectrum_tables(RunState& run, const PassResult& pass, const MultiSums& row_sums,
                                          const ChannelResults& results)
{
    const RunPlan& plan = run.plan;
    const SpectrumPlan& spectra = plan.spectra;
    ReportFile& log = run.reports.spectrum;
    if (plan.ft_coef) {
        if (spectra.x.on())
            append(run, log, ft_table(pass.profiles, SpectrumAxis::x, spectra, plan.window, *run.engine, run.source));
        if (spectra.y.on())
            append(run, log, ft_table(pass.profiles, SpectrumAxis::y, spectra, plan.window, *run.engine, run.source));
    }
    if (!plan.multi_line)
        return std::nullopt;
    const AcfScales scales = acf_scales(spectra.mode.autocorr, results.variance);
    if (spectra.x.on())
        append(run, log, multi_table(row_sums, SpectrumAxis::x, spectra, plan.window, scales, run.source));
    if (spectra.y.on()) {
        auto column_sums = std::make_unique<MultiSums>();
        PairSpectra columns(*run.engine, spectra.mode, spectra.y, *column_sums);
        const ReadOutcome read =
            column_pass(run.images[0], run.two_files ? &run.images[1] : nullptr, run.info, plan.window, columns);
        if (!read.ok())
            return unable_to_read(run, read);
        append(run, log, multi_table(*column_sums, SpectrumAxis::y, spectra, plan.window, scales, run.source));
    }
    return std::nullopt;
}

// Steps 11 to 13: the pass and every report.
ExitStatus measure_and_report(RunState& run)
{
    const RunSettings& s = run.settings;
    const RunPlan& plan = run.plan;
    const PassRequest request = pass_request(run);

    auto row_sums = std::make_unique<MultiSums>();
    std::unique_ptr<PairSpectra> rows;
    if (plan.multi_line && plan.spectra.x.on())
        rows = std::make_unique<PairSpectra>(*run.engine, plan.spectra.mode, plan.spectra.x, *row_sums);
    const std::unique_ptr<PassResult> pass = sample_pass(request, rows.get());
    if (!pass->read.ok())
        return unable_to_read(run, pass->read);

    run.reached_reports = true;
    const ChannelResults results = channel_results(pass->stats, run.two_files);
    print_channel_report(run.console, run.profile.ave_label, pass->stats, results, run.two_files);
    add_record_statistics(run.record, results);
    if (request.histogram)
        append(run, run.reports.hist,
               histogram_table(plan.histogram, pass->histogram, run.source, run.profile.histogram.header));
    if (plan.rcdn_rows)
        append(run, run.reports.profile,
               profile_table(pass->profiles, ProfileAxis::row, plan.window.X, plan.window.W / 2, plan.window.H,
                             run.source));
    if (plan.rcdn_cols)
        append(run, run.reports.profile,
               profile_table(pass->profiles, ProfileAxis::column, plan.window.Y, plan.window.H / 2, plan.window.W,
                             run.source));
    if (const auto ended = spectrum_tables(run, *pass, *row_sums, results))
        return *ended;

    DerivedRequest derived;
    derived.rules = &run.profile.derived;
    derived.results = &results;
    derived.n = pass->stats.n;
    derived.k_mode = s.k_mode;
    derived.K = s.K;
    derived.o_mode = s.o_mode;
    derived.channel_scale = s.channel_scale;
    derived.debug_bits = s.debug_bits;
    derived.dn_counts = &pass->dn_counts;
    derived.window = &request;
    const DerivedFigures figures = histogram_derived(derived);
    if (!figures.read.ok())
        return unable_to_read(run, figures.read);
    print_derived(run.console, figures);
    add_record_derived(run.record, figures);
    if (!s.k_mode || !figures.bins.defined)
        return ExitStatus::completed;
    // The histogram log is open only when a histogram switch opened it.
    ReportFile& hist = run.reports.hist;
    if (!hist.is_open() && !open_report(hist, run.profile.hist_log_name))
        return ExitStatus::normality_unwritten;
    append(run, hist, normality_table(figures, run.profile.derived.normality_header, run.source));
    return ExitStatus::completed;
}

// Record groups 4 to 6: the names and the window, ending the line.
void close_record(RunState& run)
{
    const RunSettings& s = run.settings;
    const WindowSpec& w = run.plan.window;
    TextBuffer& record = run.record;
    add_text(record, ", %s", record_name(s.file_name[0]).c_str());
    if (run.two_files)
        add_text(record, "%s%s", report_texts::record_minus, record_name(s.file_name[1]).c_str());
    add_text(record, ", w%ld, h%ld, x%ld, y%ld\n", static_cast<long>(w.W), static_cast<long>(w.H),
             static_cast<long>(w.X), static_cast<long>(w.Y));
    append(run, run.reports.stats, record.text);
}

int run_on_console(const ProgramProfile& profile, int argc, const char* const* argv, Console console,
                   const RunOptions& options)
{
    auto run = std::make_unique<RunState>(profile, console, options);
    std::optional<ExitStatus> ended = open_and_probe(*run, argc, argv);
    if (!ended)
        ended = plan_and_open(*run);
    const ExitStatus status = ended ? *ended : measure_and_report(*run);
    // A run that reached the reports completes its record line, also when the
    // normality curves could not be written; one that could not read its
    // samples appends nothing more.
    const bool completed = status == ExitStatus::completed || status == ExitStatus::normality_unwritten;
    if (run->reached_reports && completed && run->reports.stats.is_open())
        close_record(*run);
    if (run->reached_reports && status == ExitStatus::completed)
        say(run->console, "\n");
    ExitStatus final_status = status;
    if (status == ExitStatus::completed && any_write_failed(run->reports))
        final_status = ExitStatus::report_incomplete;
    // A report nobody can see is not a completed run.
    if (!console_written(run->console) && final_status == ExitStatus::completed) {
        std::fputs("Warning:  Unable to write standard output.\n", stderr);
        final_status = ExitStatus::report_incomplete;
    }
    return exit_code(final_status);
}

}  // namespace

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
