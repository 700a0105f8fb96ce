// What a report table is: its kinds, their titles, and the source part of
// a title line.
#include "plot/report_tables.h"

#include <charconv>

#include "reports/report_texts.h"

namespace plot {

namespace {

bool to_long(std::string_view text, long& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

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

}  // namespace

const char* table_title(TableKind kind)
{
    using namespace report_texts;
    switch (kind) {
    case TableKind::histogram:
        return histogram_title;
    case TableKind::normality:
        return normality_title;
    case TableKind::profile_row:
        return profile_row_title;
    case TableKind::profile_col:
        return profile_col_title;
    case TableKind::ft_row:
        return ft_row_title;
    case TableKind::ft_col:
        return ft_col_title;
    case TableKind::multi_row:
        return multi_row_title;
    case TableKind::multi_col:
        return multi_col_title;
    case TableKind::acf_row:
        return acf_row_title;
    case TableKind::acf_col:
        return acf_col_title;
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

std::string_view ReportTable::cell(size_t row, size_t column) const
{
    std::string_view text = rows[row];
    for (size_t c = 0; c < column; ++c)
        text.remove_prefix(std::min(text.size(), text.find('\t') + 1));
    return text.substr(0, text.find('\t'));
}

bool parse_table_source(std::string_view rest, TableSource& source)
{
    const size_t at = rest.rfind(", Window ");
    if (at == std::string_view::npos)
        return false;
    std::string_view window = rest.substr(at + 9);
    long w = 0, h = 0, x = 0, y = 0;
    if (!take_long(window, false, w) || !take(window, "x") || !take_long(window, false, h) || !take(window, " at X=") ||
        !take_long(window, true, x) || !take(window, " Y=") || !take_long(window, true, y) || !window.empty())
        return false;
    std::string_view head = rest.substr(0, at);
    if (!take(head, ", file ") || head.empty())
        return false;
    // Assigned in place: a reused source costs no allocation.
    source.files.assign(head);
    source.text.assign(rest);
    source.width = w;
    source.height = h;
    source.x = x;
    source.y = y;
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

}  // namespace plot
