#include "plot/report_tables.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace plot {

namespace {

struct Line {
    std::string_view text;  // without the end of line (and a carriage return before it)
    bool terminated = false;
};

std::vector<Line> split_lines(std::string_view text)
{
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        Line line;
        if (end == std::string_view::npos) {
            line.text = text.substr(start);
            start = text.size();
        } else {
            line.text = text.substr(start, end - start);
            line.terminated = true;
            start = end + 1;
        }
        if (!line.text.empty() && line.text.back() == '\r')
            line.text.remove_suffix(1);
        lines.push_back(line);
    }
    return lines;
}

std::string_view trim(std::string_view s)
{
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const size_t last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::vector<std::string_view> split_cells(std::string_view line)
{
    std::vector<std::string_view> cells;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            cells.push_back(trim(line.substr(start)));
            return cells;
        }
        cells.push_back(trim(line.substr(start, comma - start)));
        start = comma + 1;
    }
}

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
    return error == std::errc() && end == last;
}

bool to_long(std::string_view text, long& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool integral(double v)
{
    return std::isfinite(v) && v == std::floor(v);
}

// Takes the literal prefix off the text.
bool take(std::string_view& text, std::string_view prefix)
{
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

// Takes a run of digits, with a minus sign when allowed.
bool take_long(std::string_view& text, bool signed_value, long& value)
{
    size_t n = 0;
    if (signed_value && n < text.size() && text[n] == '-')
        ++n;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9')
        ++n;
    if (!to_long(text.substr(0, n), value))
        return false;
    text.remove_prefix(n);
    return true;
}

size_t column_count(TableKind kind)
{
    switch (kind) {
    case TableKind::histogram:
    case TableKind::profile_row:
    case TableKind::profile_col:
        return 5;
    case TableKind::normality:
        return 4;
    default:
        return 9;
    }
}

// First cell of the column header.
std::string_view header_start(TableKind kind)
{
    switch (kind) {
    case TableKind::histogram:
        return "Bin base";
    case TableKind::normality:
        return "DN";
    case TableKind::profile_row:
        return "x";
    case TableKind::profile_col:
        return "y";
    case TableKind::acf_row:
    case TableKind::acf_col:
        return "n";
    default:
        return "f";
    }
}

// Where a table stands while its lines are read.
enum class Progress { reading, complete, broken };

struct Pending {
    ReportTable table;
    bool header_seen = false;
};

bool add_row(ReportTable& t, std::string_view line)
{
    const std::vector<std::string_view> cells = split_cells(line);
    if (cells.size() != column_count(t.kind))
        return false;
    std::vector<std::string> texts;
    std::vector<double> values;
    for (const std::string_view c : cells) {
        double v = 0.0;
        if (!to_number(c, v))
            return false;
        texts.emplace_back(c);
        values.push_back(v);
    }
    t.cells.push_back(std::move(texts));
    t.values.push_back(std::move(values));
    return true;
}

Progress feed(Pending& p, const Line& line)
{
    if (!line.terminated)
        return Progress::broken;  // the last line of the file, cut short
    ReportTable& t = p.table;
    if (!p.header_seen) {
        const std::string_view first = trim(line.text.substr(0, line.text.find(',')));
        if (first != header_start(t.kind) || line.text.find(',') == std::string_view::npos)
            return Progress::broken;
        p.header_seen = true;
        if ((t.kind == TableKind::profile_row && t.source.width / 2 <= 0) ||
            (t.kind == TableKind::profile_col && t.source.height / 2 <= 0))
            return Progress::complete;
        return Progress::reading;
    }
    switch (t.kind) {
    case TableKind::histogram:
    case TableKind::normality:
        if (line.text.empty())
            return Progress::complete;
        return add_row(t, line.text) ? Progress::reading : Progress::broken;
    case TableKind::profile_row:
    case TableKind::profile_col: {
        if (!add_row(t, line.text))
            return Progress::broken;
        const long expected = (t.kind == TableKind::profile_row ? t.source.width : t.source.height) / 2;
        return static_cast<long>(t.values.size()) >= expected ? Progress::complete : Progress::reading;
    }
    default: {
        const std::vector<std::string_view> cells = split_cells(line.text);
        if (!cells.empty() && cells[0] == "RMS:") {
            if (cells.size() != 9)
                return Progress::broken;
            for (const size_t i : {3, 5, 6, 7, 8}) {
                double v = 0.0;
                if (!to_number(cells[i], v))
                    return Progress::broken;
                t.rms.emplace_back(cells[i]);
            }
            return Progress::complete;
        }
        return add_row(t, line.text) ? Progress::reading : Progress::broken;
    }
    }
}

// The checks of shape that a complete table must pass.
bool well_formed(const ReportTable& t)
{
    const auto& v = t.values;
    switch (t.kind) {
    case TableKind::histogram: {
        if (v.size() < 3 || v[0][0] != 0.0)
            return false;
        const double step = v[2][0] - v[1][0];
        if (step < 0.0)
            return false;
        for (size_t k = 1; k < v.size(); ++k)
            if (!integral(v[k][0]) || v[k][0] != v[1][0] + static_cast<double>(k - 1) * step)
                return false;
        return true;
    }
    case TableKind::normality: {
        if (v.empty() || v[0][0] != 0.0 || (v.size() > 1 && v[1][0] != 1.0))
            return false;
        const double step = v.size() > 2 ? v[2][0] - v[1][0] : 1.0;
        if (step < 1.0)
            return false;
        for (size_t j = 1; j < v.size(); ++j)
            if (v[j][0] != static_cast<double>(j - 1) * step + 1.0)
                return false;
        return true;
    }
    case TableKind::profile_row:
    case TableKind::profile_col: {
        const long origin = t.kind == TableKind::profile_row ? t.source.x : t.source.y;
        for (size_t i = 0; i < v.size(); ++i)
            if (v[i][0] != static_cast<double>(origin) + 2.0 * static_cast<double>(i))
                return false;
        return true;
    }
    default: {
        if (v.empty() || t.rms.size() != 5)
            return false;
        const long n = is_row_kind(t.kind) ? t.source.width : t.source.height;
        for (size_t i = 0; i < v.size(); ++i) {
            const double f = v[i][0];
            if (!integral(f) || f < 0.0 || v[i][2] != f + 1.0 || v[i][4] != std::floor(f / 2.0))
                return false;
            if (i > 0 && f != v[i - 1][0] + 2.0)
                return false;
        }
        const double last = v.back()[0];
        return last <= static_cast<double>(n / 2) && last + 2.0 > static_cast<double>(n / 2);
    }
    }
}

std::string warning_text(const ReportTable& t, const char* what)
{
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, " line %d: %s table ", t.line, table_title(t.kind));
    return "Warning:  " + t.report + buffer + what + "; skipped.";
}

}  // namespace

const char* table_title(TableKind kind)
{
    switch (kind) {
    case TableKind::histogram:
        return "Histogram data";
    case TableKind::normality:
        return "Normality curves";
    case TableKind::profile_row:
        return "Ave-row DN values";
    case TableKind::profile_col:
        return "Ave-col DN values";
    case TableKind::ft_row:
        return "Ave-row DFT coef mags";
    case TableKind::ft_col:
        return "Ave-column DFT coef mags";
    case TableKind::multi_row:
        return "Row-DFT ave. coef mags";
    case TableKind::multi_col:
        return "Column-DFT ave. coef mags";
    case TableKind::acf_row:
        return "Ave. Row-ACF";
    case TableKind::acf_col:
        return "Ave. Column-ACF";
    }
    return "";
}

bool is_row_kind(TableKind kind)
{
    return kind == TableKind::profile_row || kind == TableKind::ft_row || kind == TableKind::multi_row ||
           kind == TableKind::acf_row;
}

bool is_spectrum_kind(TableKind kind)
{
    return kind != TableKind::histogram && kind != TableKind::normality && kind != TableKind::profile_row &&
           kind != TableKind::profile_col;
}

bool parse_table_source(std::string_view rest, TableSource& source)
{
    const size_t at = rest.rfind(", Window ");
    if (at == std::string_view::npos)
        return false;
    std::string_view window = rest.substr(at + 9);
    TableSource s;
    if (!take_long(window, false, s.width) || !take(window, "x") || !take_long(window, false, s.height) ||
        !take(window, " at X=") || !take_long(window, true, s.x) || !take(window, " Y=") ||
        !take_long(window, true, s.y) || !window.empty())
        return false;
    std::string_view head = rest.substr(0, at);
    if (!take(head, ", file ") || head.empty())
        return false;
    s.files = std::string(head);
    s.text = std::string(rest);
    source = std::move(s);
    return true;
}

bool parse_title_line(std::string_view line, std::span<const TableKind> kinds, TableKind& kind, TableSource& source)
{
    for (const TableKind k : kinds) {
        const std::string_view title = table_title(k);
        if (line.substr(0, title.size()) == title && parse_table_source(line.substr(title.size()), source)) {
            kind = k;
            return true;
        }
    }
    return false;
}

ParsedReport parse_report(std::string_view report_name, std::string_view text, std::span<const TableKind> kinds)
{
    ParsedReport out;
    const std::vector<Line> lines = split_lines(text);
    std::optional<Pending> pending;
    int position = 0;

    auto cut_off = [&](int at_line) {
        std::string what = at_line > 0 ? "cut off at line " + std::to_string(at_line) : "cut off by the end of the file";
        out.warnings.push_back(warning_text(pending->table, what.c_str()));
        pending.reset();
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        TableKind kind = TableKind::histogram;
        TableSource source;
        if (parse_title_line(lines[i].text, kinds, kind, source)) {
            if (pending)
                cut_off(number);
            ++position;
            Pending p;
            p.table.kind = kind;
            p.table.report = std::string(report_name);
            p.table.line = number;
            p.table.position = position;
            p.table.title_line = std::string(lines[i].text);
            p.table.source = std::move(source);
            pending = std::move(p);
            if (!lines[i].terminated)
                cut_off(0);
            continue;
        }
        if (!pending)
            continue;  // a line outside any table
        switch (feed(*pending, lines[i])) {
        case Progress::reading:
            break;
        case Progress::broken:
            cut_off(lines[i].terminated ? number : 0);
            break;
        case Progress::complete:
            if (well_formed(pending->table))
                out.tables.push_back(std::move(pending->table));
            else
                out.warnings.push_back(warning_text(pending->table, "is not in the expected form"));
            pending.reset();
            break;
        }
    }
    if (pending)
        cut_off(0);
    return out;
}

std::vector<StatsRecord> parse_stats_log(std::string_view text)
{
    std::vector<StatsRecord> records;
    const std::vector<Line> lines = split_lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].terminated)
            continue;
        const std::vector<std::string_view> cells = split_cells(lines[i].text);
        // 8 figures, 7 cells of histogram-derived figures or filler, at least
        // one cell of names, 4 of window.
        if (cells.size() < 20)
            continue;
        bool figures = true;
        for (size_t k = 0; k < 8; ++k) {
            double v = 0.0;
            figures = figures && to_number(cells[k], v);
        }
        if (!figures)
            continue;
        StatsRecord r;
        r.line = static_cast<int>(i) + 1;
        if (cells[8] == "From Hist:") {
            bool ok = true;
            for (size_t k = 0; k < 3; ++k) {
                ok = ok && to_number(cells[9 + k], r.hist_ave[k]) && to_number(cells[12 + k], r.hist_sd[k]);
                r.hist_ave_text[k] = std::string(cells[9 + k]);
                r.hist_sd_text[k] = std::string(cells[12 + k]);
            }
            if (!ok)
                continue;
            r.from_hist = true;
        } else {
            bool empty = true;
            for (size_t k = 8; k < 15; ++k)
                empty = empty && cells[k].empty();
            if (!empty)
                continue;
        }
        const size_t n = cells.size();
        std::string_view w = cells[n - 4];
        std::string_view h = cells[n - 3];
        std::string_view x = cells[n - 2];
        std::string_view y = cells[n - 1];
        if (!take(w, "w") || !take(h, "h") || !take(x, "x") || !take(y, "y") || !to_long(w, r.width) ||
            !to_long(h, r.height) || !to_long(x, r.x) || !to_long(y, r.y))
            continue;
        // The names are everything between, commas included: find the start
        // of cell 15 and the end of cell n - 5 in the line itself.
        const std::string_view line = lines[i].text;
        size_t start = 0;
        for (int commas = 0; commas < 15; ++commas)
            start = line.find(',', start) + 1;
        size_t end = line.size();
        for (int commas = 0; commas < 4; ++commas)
            end = line.rfind(',', end - 1);
        if (end < start)
            continue;
        std::string_view names = line.substr(start, end - start);
        if (!names.empty() && names.front() == ' ')
            names.remove_prefix(1);
        r.files = std::string(names);
        records.push_back(std::move(r));
    }
    return records;
}

bool same_source(const TableSource& source, const StatsRecord& record)
{
    if (source.width != record.width || source.height != record.height || source.x != record.x ||
        source.y != record.y)
        return false;
    if (record.files == source.files)
        return true;
    // Two files: the title joins the names with " - ", the record with
    // " minus ". Names may hold " - " themselves, so try each place.
    for (size_t at = source.files.find(" - "); at != std::string::npos; at = source.files.find(" - ", at + 1)) {
        std::string joined = source.files;
        joined.replace(at, 3, " minus ");
        if (joined == record.files)
            return true;
    }
    return false;
}

const StatsRecord* find_fit_record(const std::vector<StatsRecord>& records, const TableSource& source)
{
    for (auto r = records.rbegin(); r != records.rend(); ++r)
        if (r->from_hist && same_source(source, *r))
            return &*r;
    return nullptr;
}

std::vector<TablePair> pair_tables(const std::vector<ReportTable>& tables, TableKind row_kind, TableKind col_kind)
{
    std::vector<TablePair> pairs;
    for (const ReportTable& t : tables) {
        if (t.kind != row_kind && t.kind != col_kind)
            continue;
        const bool row = t.kind == row_kind;
        bool placed = false;
        for (TablePair& p : pairs) {
            const ReportTable* other = row ? p.col : p.row;
            const ReportTable*& slot = row ? p.row : p.col;
            if (slot == nullptr && other != nullptr && other->source.text == t.source.text) {
                slot = &t;
                placed = true;
                break;
            }
        }
        if (!placed)
            pairs.push_back(row ? TablePair{&t, nullptr} : TablePair{nullptr, &t});
    }
    return pairs;
}

}  // namespace plot
