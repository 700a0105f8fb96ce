#include "plot/report_command.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "plot/report_plots.h"
#include "plot/report_tables.h"
#include "plot/svg_plot.h"

namespace plot {

namespace {

namespace fs = std::filesystem;

const char* const usage_text =
    "Usage: reportplot [-d DIR] [-o OUTDIR] [--all] [--nth K] [--linear-y] [--ev] [--dc] [--detrend] [--data]\n"
    "Draws the tables of the report files in DIR (default: the current directory) as SVG plots\n"
    "in OUTDIR (default: ./plots), with an index.html that lists them.\n"
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

struct Report {
    const char* name;
    std::vector<TableKind> kinds;
    ParsedReport parsed;
    bool present = false;
};

// The plots, in the order they are written and listed.
struct Output {
    const char* stem;
    size_t report;  // index into the reports
    TableKind kind;
    std::optional<TableKind> partner;  // the other direction of a row/column pair
};

struct Job {
    std::string stem;
    const ReportTable* table = nullptr;
    const StatsRecord* fit = nullptr;
};

// Reads a whole file; nothing when it does not exist, an error when it
// exists but cannot be read.
bool read_whole(const fs::path& path, std::string& text, bool& present)
{
    std::error_code ec;
    present = fs::exists(path, ec);
    if (!present)
        return true;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool write_whole(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

std::vector<const ReportTable*> tables_of(const ParsedReport& r, TableKind kind)
{
    std::vector<const ReportTable*> out;
    for (const ReportTable& t : r.tables)
        if (t.kind == kind)
            out.push_back(&t);
    return out;
}

// The K-th table of a kind from the end; with a partner kind, the K-th of
// the row/column pairs that hold this kind, so both plots come from one run.
const ReportTable* pick(const ParsedReport& r, const Output& o, long nth)
{
    if (!o.partner) {
        const std::vector<const ReportTable*> list = tables_of(r, o.kind);
        return nth <= static_cast<long>(list.size()) ? list[list.size() - static_cast<size_t>(nth)] : nullptr;
    }
    const bool row = is_row_kind(o.kind);
    const std::vector<TablePair> pairs = pair_tables(r.tables, row ? o.kind : *o.partner, row ? *o.partner : o.kind);
    std::vector<const ReportTable*> list;
    for (const TablePair& p : pairs)
        if (const ReportTable* t = row ? p.row : p.col)
            list.push_back(t);
    return nth <= static_cast<long>(list.size()) ? list[list.size() - static_cast<size_t>(nth)] : nullptr;
}

std::string index_html(const std::vector<Job>& jobs, bool data)
{
    std::ostringstream html;
    html << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Report plots</title>\n"
            "<style>\nbody { font-family: sans-serif; margin: 1.5em; }\nsection { margin-bottom: 2.5em; }\n"
            "h2 { font-size: 1.05em; margin: 0 0 0.3em 0; }\n"
            "p.source { font-family: monospace; margin: 0 0 0.6em 0; }\n"
            "img { max-width: 100%; height: auto; border: 1px solid #cccccc; }\n</style>\n</head>\n<body>\n"
            "<h1>Report plots</h1>\n";
    for (const Job& j : jobs) {
        const std::string svg = j.stem + ".svg";
        html << "<section id=\"" << j.stem << "\">\n<h2><a href=\"" << svg << "\">" << svg << "</a></h2>\n"
             << "<p class=\"source\">" << xml_text(j.table->title_line) << "<br>" << xml_text(j.table->report)
             << " line " << j.table->line;
        if (data)
            html << " [<a href=\"" << j.stem << ".tsv\">data</a>]";
        html << "</p>\n<img src=\"" << svg << "\" alt=\"" << xml_text(table_title(j.table->kind)) << "\">\n</section>\n";
    }
    html << "</body>\n</html>\n";
    return html.str();
}

}  // namespace

int reportplot_main(const std::vector<std::string>& args, std::FILE* console)
{
    Options options;
    if (const auto error = parse_options(args, options)) {
        std::fprintf(console, "Error:  %s\n%s", error->c_str(), usage_text);
        return status_no_table;
    }
    if (options.help) {
        std::fputs(usage_text, console);
        return status_plots_written;
    }

    std::vector<Report> reports = {
        {"HQUORVA.CSV", {TableKind::histogram, TableKind::normality}, {}, false},
        {"HVELDIX.CSV", {TableKind::histogram, TableKind::normality}, {}, false},
        {"RCDN.CSV", {TableKind::profile_row, TableKind::profile_col}, {}, false},
        {"DFT.CSV",
         {TableKind::ft_row, TableKind::ft_col, TableKind::multi_row, TableKind::multi_col, TableKind::acf_row,
          TableKind::acf_col},
         {},
         false},
    };
    const fs::path dir(options.dir);
    for (Report& r : reports) {
        std::string text;
        if (!read_whole(dir / r.name, text, r.present)) {
            std::fprintf(console, "Warning:  cannot read %s.\n", (dir / r.name).string().c_str());
            continue;
        }
        if (!r.present)
            continue;
        r.parsed = parse_report(r.name, text, r.kinds);
        for (const std::string& w : r.parsed.warnings)
            std::fprintf(console, "%s\n", w.c_str());
    }
    // The statistics logs, for the histogram-derived figures of normality curves.
    std::vector<StatsRecord> stats[2];
    const char* const stats_names[2] = {"QUORVA.CSV", "VELDIX.CSV"};
    for (size_t i = 0; i < 2; ++i) {
        std::string text;
        bool present = false;
        if (!read_whole(dir / stats_names[i], text, present))
            std::fprintf(console, "Warning:  cannot read %s.\n", (dir / stats_names[i]).string().c_str());
        else if (present)
            stats[i] = parse_stats_log(text);
    }

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
    std::vector<Job> jobs;
    for (const Output& o : outputs) {
        const ParsedReport& parsed = reports[o.report].parsed;
        std::vector<const ReportTable*> chosen;
        if (options.all) {
            chosen = tables_of(parsed, o.kind);
        } else if (const ReportTable* t = pick(parsed, o, options.nth)) {
            chosen.push_back(t);
        }
        for (const ReportTable* t : chosen) {
            Job job;
            job.stem = options.all ? std::string(o.stem) + "-" + std::to_string(t->position) : o.stem;
            job.table = t;
            if (o.kind == TableKind::normality)
                job.fit = find_fit_record(stats[o.report], t->source);
            jobs.push_back(std::move(job));
        }
    }
    if (jobs.empty()) {
        if (options.nth > 1)
            std::fprintf(console, "Error:  no complete report table found in %s at --nth %ld.\n", options.dir.c_str(),
                         options.nth);
        else
            std::fprintf(console, "Error:  no complete report table found in %s.\n", options.dir.c_str());
        return status_no_table;
    }

    const fs::path outdir(options.outdir);
    std::error_code ec;
    fs::create_directories(outdir, ec);
    if (!fs::is_directory(outdir, ec)) {
        std::fprintf(console, "Error:  cannot create the directory %s.\n", outdir.string().c_str());
        return status_write_failed;
    }
    int status = status_plots_written;
    std::vector<Job> written;
    for (const Job& j : jobs) {
        const fs::path svg = outdir / (j.stem + ".svg");
        if (!write_whole(svg, render_svg(report_figure(*j.table, j.fit, options.plot)))) {
            std::fprintf(console, "Error:  cannot write %s.\n", svg.string().c_str());
            status = status_write_failed;
            continue;
        }
        if (options.data) {
            const fs::path tsv = outdir / (j.stem + ".tsv");
            if (!write_whole(tsv, table_tsv(*j.table))) {
                std::fprintf(console, "Error:  cannot write %s.\n", tsv.string().c_str());
                status = status_write_failed;
            }
        }
        written.push_back(j);
    }
    const fs::path index = outdir / "index.html";
    if (!write_whole(index, index_html(written, options.data))) {
        std::fprintf(console, "Error:  cannot write %s.\n", index.string().c_str());
        return status_write_failed;
    }
    std::fprintf(console, "%zu plot%s drawn, listed in %s\n", written.size(), written.size() == 1 ? "" : "s",
                 index.string().c_str());
    return status;
}

}  // namespace plot
