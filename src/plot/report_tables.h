// Reading the tables back out of the report files that quorva and veldix
// append to: the histogram logs, RCDN.CSV and DFT.CSV, and the records of the
// statistics logs.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plot {

enum class TableKind {
    histogram,    // "Histogram data"
    normality,    // "Normality curves"
    profile_row,  // "Ave-row DN values"
    profile_col,  // "Ave-col DN values"
    ft_row,       // "Ave-row DFT coef mags"
    ft_col,       // "Ave-column DFT coef mags"
    multi_row,    // "Row-DFT ave. coef mags"
    multi_col,    // "Column-DFT ave. coef mags"
    acf_row,      // "Ave. Row-ACF"
    acf_col,      // "Ave. Column-ACF"
};

const char* table_title(TableKind kind);
// The tables of the row direction: average-row profile and spectra along rows.
bool is_row_kind(TableKind kind);
bool is_spectrum_kind(TableKind kind);  // the -F and -M tables and the autocorrelations

// What a title line says after its title text:
// ", file NAME[ - NAME2], Window WxH at X=x Y=y".
struct TableSource {
    std::string text;   // all of it, from the first comma on
    std::string files;  // "NAME" or "NAME - NAME2", as written
    long width = 0;
    long height = 0;
    long x = 0;
    long y = 0;
};

// Reads the source part of a title line from the right, window first, so
// that file names may hold commas. False when it is not in that form.
bool parse_table_source(std::string_view rest, TableSource& source);
// A whole title line of one of the kinds; false for any other line.
bool parse_title_line(std::string_view line, std::span<const TableKind> kinds, TableKind& kind, TableSource& source);

struct ReportTable {
    TableKind kind = TableKind::histogram;
    std::string report;     // the report file's name, e.g. "DFT.CSV"
    int line = 0;           // line number of the title, from 1
    int position = 0;       // among all titles of its file, from 1
    std::string title_line; // without its end of line
    TableSource source;
    std::vector<std::vector<std::string>> cells;  // per row, blanks trimmed
    std::vector<std::vector<double>> values;      // the same cells as numbers ("nan" is NaN)
    // Spectrum tables: the figures of the RMS line, G, R, G1, B, G2, as text.
    std::vector<std::string> rms;
};

struct ParsedReport {
    std::vector<ReportTable> tables;     // the complete ones, in file order
    std::vector<std::string> warnings;   // "Warning:  ..." lines, one per table skipped
};

// Finds the tables of the given kinds in a report file's text. A table cut off
// (by the end of the file or by a line that does not belong to it) or out of
// shape is skipped with a warning that names the file and the line.
ParsedReport parse_report(std::string_view report_name, std::string_view text, std::span<const TableKind> kinds);

// One record line of a statistics log.
struct StatsRecord {
    int line = 0;
    std::string files;  // "NAME" or "NAME minus NAME2"
    long width = 0;
    long height = 0;
    long x = 0;
    long y = 0;
    bool from_hist = false;
    // Histogram-derived averages and SDs of Red, Green, Blue, as numbers and as written.
    double hist_ave[3] = {0, 0, 0};
    double hist_sd[3] = {0, 0, 0};
    std::string hist_ave_text[3];
    std::string hist_sd_text[3];
};

// The complete record lines of a statistics log; heading lines and lines of
// another form are passed over.
std::vector<StatsRecord> parse_stats_log(std::string_view text);

// Whether a record and a table title describe the same files and window.
bool same_source(const TableSource& source, const StatsRecord& record);

// The last record of the same files and window with histogram-derived
// figures, or null.
const StatsRecord* find_fit_record(const std::vector<StatsRecord>& records, const TableSource& source);

// The row and column tables of one run: paired by identical source text, the
// i-th row table of a source with the i-th column table of the same source,
// so that runs interleaving whole tables still pair up. Either may be null.
struct TablePair {
    const ReportTable* row = nullptr;
    const ReportTable* col = nullptr;
};
// In the order of each pair's first table.
std::vector<TablePair> pair_tables(const std::vector<ReportTable>& tables, TableKind row_kind, TableKind col_kind);

}  // namespace plot
