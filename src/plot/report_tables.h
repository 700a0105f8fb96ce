// The tables that quorva and veldix append to their report files, read back
// line by line: the histogram logs, RCDN.CSV and DFT.CSV.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plot/report_lines.h"

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
size_t column_count(TableKind kind);

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
    std::string report;      // the report file's name, e.g. "DFT.CSV"
    int line = 0;            // line number of the title, from 1
    int position = 0;        // among all titles of its file, from 1
    std::string title_line;  // without its end of line
    TableSource source;
    // The cells as numbers ("nan" is NaN), row by row, column_count(kind) to a row.
    std::vector<double> values;
    // The cells of each row as written, blanks trimmed, joined by tabs.
    std::vector<std::string> rows;
    // Spectrum tables: the figures of the RMS line, G, R, G1, B, G2, as written.
    std::vector<std::string> rms;

    size_t row_count() const { return rows.size(); }
    double at(size_t row, size_t column) const { return values[row * column_count(kind) + column]; }
    // A cell as written.
    std::string_view cell(size_t row, size_t column) const;
};

// Finds the complete tables of the given kinds among the lines of a report
// file. A table cut off (by the end of the file or by a line that does not
// belong to it) or out of shape is skipped with a warning that names the file
// and the line.
//
// Two ways of reading: `rows` checks and keeps every row; `outline` checks a
// table's title, header, length and end only, which is all the first reading
// of a large file can afford, and leaves its rows to the reading that draws it.
class TableReader {
public:
    enum class Event { none, complete, skipped };
    enum class Depth { outline, rows };

    TableReader(std::string report, std::span<const TableKind> kinds, Depth depth);
    ~TableReader();
    TableReader(const TableReader&) = delete;
    TableReader& operator=(const TableReader&) = delete;

    Event feed(const Line& line);
    Event finish();  // the end of the file

    // After complete: the table (its rows when they are read) and the byte
    // offset of its title line.
    ReportTable& table();
    uint64_t table_offset() const;
    // After skipped.
    const std::string& warning() const { return warning_; }

private:
    struct Pending;
    // The pending table is skipped: cut off at the line (0: by the end of the
    // file), or out of shape there.
    Event cut_off(int at_line, bool shape = false);
    Event outline_row(const Line& line);
    Event complete();

    std::string report_;
    std::vector<TableKind> kinds_;
    Depth depth_;
    int titles_ = 0;
    bool reading_ = false;  // a table is pending
    std::unique_ptr<Pending> pending_;
    std::unique_ptr<Pending> done_;
    TableSource title_source_;  // kept from line to line, so that a line costs no allocation
    std::string warning_;
};

}  // namespace plot
