// Reading the tables of a report file line by line.
#include "plot/report_tables.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "reports/report_texts.h"

namespace plot {

namespace {

// A whole cell as a number; "nan", "-nan", "inf" as the programs may print them.
bool to_number(std::string_view cell, double& value)
{
    if (cell.empty())
        return false;
    const char* first = cell.data();
    const char* last = cell.data() + cell.size();
    if (*first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return (error == std::errc() || error == std::errc::result_out_of_range) && end == last;
}

bool integral(double v)
{
    return std::isfinite(v) && v == std::floor(v);
}

// A text of report_texts without its end of line.
std::string_view line_of(const char* text)
{
    std::string_view s = text;
    return s.substr(0, s.find('\n'));
}

bool header_matches(TableKind kind, std::string_view line)
{
    using namespace report_texts;
    switch (kind) {
    case TableKind::histogram:
        return line == line_of(quorva_histogram_header) || line == line_of(veldix_histogram_header);
    case TableKind::normality:
        return line == line_of(quorva_normality_header) || line == line_of(veldix_normality_header);
    case TableKind::profile_row:
        return line == line_of(profile_row_header);
    case TableKind::profile_col:
        return line == line_of(profile_col_header);
    case TableKind::acf_row:
    case TableKind::acf_col:
        return line == line_of(lag_header);
    default:
        return line == line_of(frequency_header);
    }
}

}  // namespace

// A table while its lines are read, with what its shape check needs.
struct TableReader::Pending {
    ReportTable table;
    uint64_t offset = 0;
    bool header_seen = false;
    size_t rows = 0;
    double first = 0.0;     // the first value of row 1 (histogram: S)
    double step = 0.0;      // from rows 1 and 2: the bin width
    double previous = 0.0;  // the first value of the row before
};

namespace {

// Whether a row's first values continue the table's shape; row is its index.
bool row_fits(TableKind kind, const TableSource& source, size_t row, const double* v, double& first, double& step,
              double previous)
{
    const double r = static_cast<double>(row);
    switch (kind) {
    case TableKind::histogram:  // bases 0, then S, S + B, S + 2B ...
        if (row == 0)
            return v[0] == 0.0;
        if (row == 1) {
            first = v[0];
            return integral(v[0]);
        }
        if (row == 2) {
            step = v[0] - first;
            return integral(v[0]) && step >= 0.0;
        }
        return v[0] == first + (r - 1.0) * step;
    case TableKind::normality:  // DN 0, 1, then 1 + B, 1 + 2B ...
        if (row <= 1)
            return v[0] == r;
        if (row == 2) {
            step = v[0] - 1.0;
            return integral(v[0]) && step >= 1.0;
        }
        return v[0] == (r - 1.0) * step + 1.0;
    case TableKind::profile_row:
    case TableKind::profile_col:
        return v[0] == static_cast<double>(kind == TableKind::profile_row ? source.x : source.y) + 2.0 * r;
    default:  // f, f + 1, f / 2; f up by 2 from row to row
        return integral(v[0]) && v[0] >= 0.0 && v[2] == v[0] + 1.0 && v[4] == std::floor(v[0] / 2.0) &&
               (row == 0 || v[0] == previous + 2.0);
    }
}

}  // namespace

TableReader::TableReader(std::string report, std::span<const TableKind> kinds, Depth depth)
    : report_(std::move(report)),
      kinds_(kinds.begin(), kinds.end()),
      depth_(depth),
      pending_(std::make_unique<Pending>()),
      done_(std::make_unique<Pending>())
{
}

TableReader::~TableReader() = default;

ReportTable& TableReader::table()
{
    return done_->table;
}

uint64_t TableReader::table_offset() const
{
    return done_->offset;
}

TableReader::Event TableReader::complete()
{
    std::swap(pending_, done_);
    reading_ = false;
    return Event::complete;
}

TableReader::Event TableReader::cut_off(int at_line, bool shape)
{
    char where[96];
    if (shape)
        std::snprintf(where, sizeof where, "out of its form at line %d", at_line);
    else if (at_line > 0)
        std::snprintf(where, sizeof where, "cut off at line %d", at_line);
    else
        std::snprintf(where, sizeof where, "cut off by the end of the file");
    char text[160];
    std::snprintf(text, sizeof text, " line %d: %s table %s; skipped.", pending_->table.line,
                  table_title(pending_->table.kind), where);
    warning_ = "Warning:  " + report_ + text;
    reading_ = false;
    return Event::skipped;
}

TableReader::Event TableReader::finish()
{
    return reading_ ? cut_off(0) : Event::none;
}

TableReader::Event TableReader::feed(const Line& line)
{
    // Every title begins with a letter, no row does.
    const bool letter = !line.text.empty() && ((line.text[0] | 0x20) >= 'a' && (line.text[0] | 0x20) <= 'z');
    TableKind kind = TableKind::histogram;
    if (letter && parse_title_line(line.text, kinds_, kind, title_source_)) {
        Event event = reading_ ? cut_off(line.number) : Event::none;
        ++titles_;
        reading_ = true;
        // The pending table's storage is reused from table to table.
        Pending& p = *pending_;
        p.header_seen = false;
        p.rows = 0;
        p.first = p.step = p.previous = 0.0;
        p.offset = line.offset;
        ReportTable& t = p.table;
        t.kind = kind;
        t.line = line.number;
        t.position = titles_;
        t.source = title_source_;
        t.values.clear();
        t.rows.clear();
        t.rms.clear();
        if (depth_ == Depth::rows) {  // what a drawing needs, an outline not
            t.report = report_;
            t.title_line = std::string(line.text);
        }
        if (!line.terminated)
            event = cut_off(0);
        return event;
    }
    if (!reading_)
        return Event::none;  // a line outside any table
    if (!line.terminated)
        return cut_off(0);
    Pending& p = *pending_;
    ReportTable& t = p.table;
    const size_t profile_rows = static_cast<size_t>(
        std::max(0L, (t.kind == TableKind::profile_row ? t.source.width : t.source.height) / 2));
    if (!p.header_seen) {
        if (!header_matches(t.kind, line.text))
            return cut_off(line.number);
        p.header_seen = true;
        const bool profile = t.kind == TableKind::profile_row || t.kind == TableKind::profile_col;
        return profile && profile_rows == 0 ? complete() : Event::none;
    }

    if (depth_ == Depth::outline)
        return outline_row(line);

    // Cells: blanks trimmed; numbers, or the RMS line of a spectrum table.
    double v[9] = {};
    std::string_view cells[9];
    size_t n = 0;
    for (size_t start = 0;;) {
        const size_t comma = line.text.find(',', start);
        if (n == 9)
            return cut_off(line.number);
        cells[n++] = trim_cell(line.text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    const bool blank = n == 1 && cells[0].empty();
    if ((t.kind == TableKind::histogram || t.kind == TableKind::normality) && blank)
        return p.rows >= (t.kind == TableKind::histogram ? 3u : 1u) ? complete() : cut_off(line.number, true);
    if (is_spectrum_kind(t.kind) && n == 9 && cells[0] == report_texts::rms_label) {
        const long length = is_row_kind(t.kind) ? t.source.width : t.source.height;
        if (p.rows == 0 || p.previous > static_cast<double>(length / 2) || p.previous + 2.0 <= static_cast<double>(length / 2))
            return cut_off(line.number, true);
        for (const size_t i : {3, 5, 6, 7, 8}) {
            double figure = 0.0;
            if (!to_number(cells[i], figure))
                return cut_off(line.number);
            t.rms.emplace_back(cells[i]);
        }
        return complete();
    }
    if (n != column_count(t.kind))
        return cut_off(line.number);
    for (size_t i = 0; i < n; ++i)
        if (!to_number(cells[i], v[i]))
            return cut_off(line.number);
    if (!row_fits(t.kind, t.source, p.rows, v, p.first, p.step, p.previous))
        return cut_off(line.number, true);
    p.previous = v[0];
    ++p.rows;
    t.values.insert(t.values.end(), v, v + n);
    std::string text;
    for (size_t i = 0; i < n; ++i)
        (text += i ? "\t" : "") += cells[i];
    t.rows.push_back(std::move(text));
    const bool profile = t.kind == TableKind::profile_row || t.kind == TableKind::profile_col;
    return profile && p.rows >= profile_rows ? complete() : Event::none;
}

// A row seen only for the table's length and end: a blank line ends a
// histogram, the RMS line a spectrum, the last pair a profile.
TableReader::Event TableReader::outline_row(const Line& line)
{
    Pending& p = *pending_;
    const TableKind kind = p.table.kind;
    const size_t first = line.text.find_first_not_of(" \t");
    if (kind == TableKind::histogram || kind == TableKind::normality) {
        if (first == std::string_view::npos)
            return p.rows >= (kind == TableKind::histogram ? 3u : 1u) ? complete() : cut_off(line.number, true);
    } else if (is_spectrum_kind(kind)) {
        if (first != std::string_view::npos && line.text.substr(first, 4) == report_texts::rms_label)
            return p.rows > 0 ? complete() : cut_off(line.number, true);
    }
    ++p.rows;
    if (kind == TableKind::profile_row || kind == TableKind::profile_col) {
        const long pairs = (kind == TableKind::profile_row ? p.table.source.width : p.table.source.height) / 2;
        if (static_cast<long>(p.rows) >= pairs)
            return complete();
    }
    return Event::none;
}

}  // namespace plot
