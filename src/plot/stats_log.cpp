#include "plot/stats_log.h"

#include <charconv>
#include <string>
#include <vector>

#include "plot/report_lines.h"
#include "reports/report_texts.h"

namespace plot {

namespace {

bool to_number(std::string_view cell, double& value)
{
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    return !cell.empty() && (error == std::errc() || error == std::errc::result_out_of_range) &&
           end == cell.data() + cell.size();
}

bool to_long(std::string_view cell, std::string_view prefix, long& value)
{
    if (cell.substr(0, prefix.size()) != prefix || cell.size() == prefix.size())
        return false;
    cell.remove_prefix(prefix.size());
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    return error == std::errc() && end == cell.data() + cell.size();
}

// Names as a record writes them: a comma becomes ';' and a double quote '\'',
// so that every record keeps its columns.
std::string record_names(std::string_view files)
{
    std::string out(files);
    for (char& c : out)
        c = c == ',' ? ';' : c == '"' ? '\'' : c;
    return out;
}

std::string run_key(std::string_view files, long w, long h, long x, long y)
{
    return record_names(files) + "\n" + std::to_string(w) + " " + std::to_string(h) + " " + std::to_string(x) + " " +
           std::to_string(y);
}

}  // namespace

bool parse_stats_record(std::string_view line, StatsRecord& r)
{
    std::vector<std::string_view> cells;
    for (size_t start = 0;;) {
        const size_t comma = line.find(',', start);
        cells.push_back(trim_cell(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    // 8 figures, 7 cells of histogram-derived figures or filler, at least one
    // cell of names, 4 of the window.
    if (cells.size() < 20)
        return false;
    double figure = 0.0;
    for (size_t k = 0; k < 8; ++k)
        if (!to_number(cells[k], figure))
            return false;
    StatsRecord out;
    for (size_t k = 0; k < 3; ++k) {
        to_number(cells[3 + k], out.sd[k]);
        out.sd_text[k] = std::string(cells[3 + k]);
    }
    if (cells[8] == report_texts::record_from_hist) {
        for (size_t k = 0; k < 3; ++k) {
            if (!to_number(cells[9 + k], out.hist_ave[k]) || !to_number(cells[12 + k], out.hist_sd[k]))
                return false;
            out.hist_ave_text[k] = std::string(cells[9 + k]);
            out.hist_sd_text[k] = std::string(cells[12 + k]);
        }
        out.from_hist = true;
    } else {
        for (size_t k = 8; k < 15; ++k)
            if (!cells[k].empty())
                return false;
    }
    const size_t n = cells.size();
    if (!to_long(cells[n - 4], "w", out.width) || !to_long(cells[n - 3], "h", out.height) ||
        !to_long(cells[n - 2], "x", out.x) || !to_long(cells[n - 1], "y", out.y))
        return false;
    // The names are everything between, commas included (older records kept
    // them): from the start of cell 15 to the end of cell n - 5.
    size_t start = 0;
    for (int commas = 0; commas < 15; ++commas)
        start = line.find(',', start) + 1;
    size_t end = line.size();
    for (int commas = 0; commas < 4; ++commas)
        end = line.rfind(',', end - 1);
    if (end < start)
        return false;
    out.files = std::string(trim_cell(line.substr(start, end - start)));
    out.log = r.log;
    out.line = r.line;
    r = std::move(out);
    return true;
}

bool StatsRecords::read(const std::filesystem::path& path, const std::string& name, std::string& warning)
{
    ReportFile file(path);
    if (file.state() == ReportFile::State::missing)
        return true;
    if (file.state() != ReportFile::State::open) {
        warning = "Warning:  " + path.string() +
                  (file.state() == ReportFile::State::not_regular ? " is not a regular file; skipped." : " cannot be read; skipped.");
        return false;
    }
    LineReader lines(file.stream(), 0, 1);
    Line line;
    while (lines.next(line)) {
        StatsRecord r;
        r.log = name;
        r.line = line.number;
        if (line.terminated && parse_stats_record(line.text, r))
            add(std::move(r));
    }
    return true;
}

void StatsRecords::add(StatsRecord record)
{
    Latest& latest = runs_[run_key(record.files, record.width, record.height, record.x, record.y)];
    if (record.from_hist) {
        latest.fit = record;
        latest.has_fit = true;
    }
    latest.any = std::move(record);
}

const StatsRecord* StatsRecords::find(const TableSource& source, bool with_fit) const
{
    // One file: the name as it is. Two: the title joins the names with " - ",
    // the record with " minus "; names may hold " - " themselves, so each
    // place is tried.
    std::vector<std::string> candidates = {source.files};
    const std::string_view minus = report_texts::record_minus;
    for (size_t at = source.files.find(" - "); at != std::string::npos; at = source.files.find(" - ", at + 1))
        candidates.push_back(source.files.substr(0, at) + std::string(minus) + source.files.substr(at + 3));
    for (const std::string& files : candidates) {
        const auto found = runs_.find(run_key(files, source.width, source.height, source.x, source.y));
        if (found == runs_.end())
            continue;
        if (!with_fit)
            return &found->second.any;
        if (found->second.has_fit)
            return &found->second.fit;
    }
    return nullptr;
}

}  // namespace plot
