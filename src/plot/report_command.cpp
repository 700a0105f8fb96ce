#include "plot/report_command.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>

#include "plot/report_index.h"
#include "plot/report_page.h"
#include "plot/report_plots.h"
#include "plot/stats_log.h"
#include "plot/svg_plot.h"
#include "reports/report_texts.h"

namespace plot {

namespace {

namespace fs = std::filesystem;

const char* const usage_text =
    "Usage: reportplot [-d DIR] [-o OUTDIR] [--all] [--nth K] [--linear-y] [--ev] [--dc] [--detrend] [--data]\n"
    "Draws the tables of the report files in DIR (default: the current directory) as SVG plots\n"
    "in OUTDIR (default: ./plots), with an index.html that shows them by run.\n"
    "  --all       every table, numbered by its position in its file\n"
    "  --nth K     the K-th table of each kind from the end (default 1, the last)\n"
    "  --linear-y  histogram counts on a linear axis\n"
    "  --ev        histogram DN as log2 DN\n"
    "  --dc        spectra keep their zero-frequency values\n"
    "  --detrend   profiles less each plane's mean\n"
    "  --data      each drawn table also as a tab-separated .tsv file\n";

struct Options {
    std::string dir = ".";
    std::string outdir = "plots";
    bool all = false;
    long nth = 1;
    bool nth_given = false;
    bool data = false;
    bool help = false;
    PlotOptions plot;
};

// Returns an error message, or nothing when the arguments are good.
std::optional<std::string> parse_options(const std::vector<std::string>& args, Options& o)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) -> bool {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        if (a == "-d") {
            if (!value(o.dir))
                return "-d needs a directory.";
        } else if (a == "-o") {
            if (!value(o.outdir))
                return "-o needs a directory.";
        } else if (a == "--nth") {
            std::string k;
            if (!value(k))
                return "--nth needs a number.";
            const auto [end, error] = std::from_chars(k.data(), k.data() + k.size(), o.nth);
            if (error != std::errc() || end != k.data() + k.size() || o.nth < 1)
                return "--nth needs a whole number from 1 up, not \"" + k + "\".";
            o.nth_given = true;
        } else if (a == "--all") {
            o.all = true;
        } else if (a == "--linear-y") {
            o.plot.linear_y = true;
        } else if (a == "--ev") {
            o.plot.ev = true;
        } else if (a == "--dc") {
            o.plot.dc = true;
        } else if (a == "--detrend") {
            o.plot.detrend = true;
        } else if (a == "--data") {
            o.data = true;
        } else if (a == "-?" || a == "-h" || a == "--help") {
            o.help = true;
        } else {
            return "unknown argument \"" + a + "\".";
        }
    }
    if (o.all && o.nth_given)
        return "--all and --nth cannot be used together.";
    return std::nullopt;
}

// The plots, in the order they are listed; report indexes the reports below.
struct Output {
    const char* stem;
    size_t report;
    TableKind kind;
    std::optional<TableKind> partner;  // the other direction of a row/column pair
};

constexpr TableKind hist_kinds[] = {TableKind::histogram, TableKind::normality};
constexpr TableKind profile_kinds[] = {TableKind::profile_row, TableKind::profile_col};
constexpr TableKind spectrum_kinds[] = {TableKind::ft_row,    TableKind::ft_col,  TableKind::multi_row,
                                        TableKind::multi_col, TableKind::acf_row, TableKind::acf_col};

const Output outputs[] = {
    {"quorva-hist", 0, TableKind::histogram, std::nullopt},
    {"quorva-normality", 0, TableKind::normality, std::nullopt},
    {"veldix-hist", 1, TableKind::histogram, std::nullopt},
    {"veldix-normality", 1, TableKind::normality, std::nullopt},
    {"profile-row", 2, TableKind::profile_row, TableKind::profile_col},
    {"profile-col", 2, TableKind::profile_col, TableKind::profile_row},
    {"fdft-row", 3, TableKind::ft_row, TableKind::ft_col},
    {"fdft-col", 3, TableKind::ft_col, TableKind::ft_row},
    {"mdft-row", 3, TableKind::multi_row, TableKind::multi_col},
    {"mdft-col", 3, TableKind::multi_col, TableKind::multi_row},
    {"acf-row", 3, TableKind::acf_row, TableKind::acf_col},
    {"acf-col", 3, TableKind::acf_col, TableKind::acf_row},
};

struct Job {
    std::string stem;
    size_t report = 0;
    size_t entry = 0;  // into the report's index
    bool with_fit = false;
    std::optional<ReportTable> table;  // once read
};

// The tables an output may draw, in file order: all of its kind; with a
// partner kind, those that belong to a row/column pair, so that with --nth
// both plots of a pair come from one run.
std::vector<size_t> candidates(const ReportIndex& index, const Output& o, bool all)
{
    std::vector<size_t> list;
    if (o.partner && !all) {
        const bool row = is_row_kind(o.kind);
        for (const TablePair& p : pair_tables(index, row ? o.kind : *o.partner, row ? *o.partner : o.kind))
            if (const size_t t = row ? p.row : p.col; t != SIZE_MAX)
                list.push_back(t);
    } else {
        for (size_t i = 0; i < index.tables.size(); ++i)
            if (index.tables[i].kind == o.kind)
                list.push_back(i);
    }
    return list;
}

// Writes a whole output file; never into anything but a regular file (a
// named pipe in its place would wait for a reader).
bool write_file(const fs::path& path, const std::string& text)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() != fs::file_type::not_found && status.type() != fs::file_type::regular)
        return false;
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int reportplot_main(const std::vector<std::string>& args, std::FILE* console, std::FILE* errors)
{
    Options options;
    int status = status_plots_written;
    auto finish = [&](int result) {
        // A report nobody can read is not a success.
        if ((std::fflush(console) != 0 || std::ferror(console)) && result == status_plots_written) {
            std::fputs("Error:  reportplot cannot write its messages to the console.\n", errors);
            result = status_write_failed;
        }
        return result;
    };
    if (const auto error = parse_options(args, options)) {
        std::fprintf(console, "Error:  %s\n%s", error->c_str(), usage_text);
        return finish(status_no_table);
    }
    if (options.help) {
        std::fputs(usage_text, console);
        return finish(status_plots_written);
    }
    const fs::path dir(options.dir);
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        std::fprintf(console, "Error:  %s is not a directory.\n", options.dir.c_str());
        return finish(status_no_table);
    }

    using namespace report_texts;
    const std::pair<const char*, std::span<const TableKind>> report_files[] = {
        {quorva_hist_log, hist_kinds}, {veldix_hist_log, hist_kinds}, {profile_log, profile_kinds},
        {spectrum_log, spectrum_kinds}};
    std::vector<ReportIndex> reports(4);
    for (size_t r = 0; r < 4; ++r) {
        index_report(dir / report_files[r].first, report_files[r].first, report_files[r].second, reports[r]);
        for (const std::string& w : reports[r].warnings)
            std::fprintf(console, "%s\n", w.c_str());
        if (reports[r].warnings_left_out > 0)
            std::fprintf(console, "Warning:  %s: %zu more tables skipped.\n", report_files[r].first,
                         reports[r].warnings_left_out);
    }
    // The statistics logs: the histogram-derived figures of the normality
    // curves, the SDs of the white-noise levels of the spectra.
    StatsRecords records[2];
    const char* const stats_names[2] = {quorva_stats_log, veldix_stats_log};
    for (size_t i = 0; i < 2; ++i) {
        std::string warning;
        if (!records[i].read(dir / stats_names[i], stats_names[i], warning))
            std::fprintf(console, "%s\n", warning.c_str());
    }

    std::vector<Job> jobs;
    for (const Output& o : outputs) {
        const ReportIndex& index = reports[o.report];
        auto job_for = [&](size_t entry) {
            Job job;
            job.stem = options.all ? std::string(o.stem) + "-" + std::to_string(index.tables[entry].position) : o.stem;
            job.report = o.report;
            job.entry = entry;
            job.with_fit = o.kind == TableKind::normality;
            return job;
        };
        const std::vector<size_t> list = candidates(index, o, options.all);
        if (options.all) {
            for (const size_t entry : list)
                jobs.push_back(job_for(entry));
            continue;
        }
        long found = 0;
        for (size_t k = list.size(); k-- > 0;) {
            Job job = job_for(list[k]);
            std::string warning;
            if (!load_table(index, index.tables[list[k]], job.table.emplace(), warning)) {
                std::fprintf(console, "%s\n", warning.c_str());
                continue;
            }
            if (++found == options.nth) {
                jobs.push_back(std::move(job));
                break;
            }
        }
    }
    if (jobs.empty()) {
        if (options.nth > 1)
            std::fprintf(console, "Error:  no complete report table found in %s at --nth %ld.\n", options.dir.c_str(),
                         options.nth);
        else
            std::fprintf(console, "Error:  no complete report table found in %s.\n", options.dir.c_str());
        return finish(status_no_table);
    }

    const fs::path outdir(options.outdir);
    fs::create_directories(outdir, ec);
    if (!fs::is_directory(outdir, ec)) {
        std::fprintf(console, "Error:  cannot create the directory %s.\n", outdir.string().c_str());
        return finish(status_write_failed);
    }
    // Each table is read again, drawn and let go; in file order, so that
    // each report file is read from front to back.
    std::vector<size_t> order(jobs.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return std::make_pair(jobs[a].report, jobs[a].entry) < std::make_pair(jobs[b].report, jobs[b].entry);
    });
    std::vector<std::optional<PagePlot>> page(jobs.size());
    for (const size_t i : order) {
        Job& j = jobs[i];
        const ReportIndex& index = reports[j.report];
        std::string warning;
        if (!j.table && !load_table(index, index.tables[j.entry], j.table.emplace(), warning)) {
            std::fprintf(console, "%s\n", warning.c_str());
            continue;
        }
        ReportTable table = std::move(*j.table);
        j.table.reset();
        const StatsRecord* record = nullptr;
        for (size_t s = 0; s < 2 && record == nullptr; ++s)
            if (j.report == 3 || j.report == s)  // the histogram logs: their own program's log
                record = records[s].find(table.source, j.with_fit);
        const Figure figure = report_figure(table, record, options.plot);
        const fs::path svg = outdir / (j.stem + ".svg");
        if (!write_file(svg, render_svg(figure))) {
            std::fprintf(console, "Error:  cannot write %s.\n", svg.string().c_str());
            status = status_write_failed;
            continue;
        }
        if (options.data) {
            const fs::path tsv = outdir / (j.stem + ".tsv");
            if (!write_file(tsv, table_tsv(table))) {
                std::fprintf(console, "Error:  cannot write %s.\n", tsv.string().c_str());
                status = status_write_failed;
            }
        }
        page[i] = PagePlot{j.stem, table_title(table.kind), table.report, table.line, table.source,
                           figure.width,  figure.height,         options.data};
    }
    std::vector<PagePlot> written;
    for (std::optional<PagePlot>& p : page)
        if (p)
            written.push_back(std::move(*p));
    const fs::path index = outdir / "index.html";
    if (!write_file(index, report_page(written, options.dir))) {
        std::fprintf(console, "Error:  cannot write %s.\n", index.string().c_str());
        return finish(status_write_failed);
    }
    std::fprintf(console, "%zu plot%s drawn, shown in %s\n", written.size(), written.size() == 1 ? "" : "s",
                 index.string().c_str());
    return finish(status);
}

}  // namespace plot
