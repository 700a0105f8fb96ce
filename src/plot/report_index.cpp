#include "plot/report_index.h"

#include <deque>
#include <unordered_map>

namespace plot {

bool index_report(const std::filesystem::path& path, const std::string& name, std::span<const TableKind> kinds,
                  ReportIndex& index)
{
    index = ReportIndex{};
    index.name = name;
    index.path = path;
    ReportFile file(path);
    switch (file.state()) {
    case ReportFile::State::missing:
        return true;
    case ReportFile::State::not_regular:
        index.warnings.push_back("Warning:  " + path.string() + " is not a regular file; skipped.");
        return false;
    case ReportFile::State::unreadable:
        index.warnings.push_back("Warning:  cannot read " + path.string() + "; skipped.");
        return false;
    case ReportFile::State::open:
        break;
    }
    std::unordered_map<std::string, size_t> source_ids;
    TableReader reader(name, kinds, TableReader::Depth::outline);
    LineReader lines(file.stream(), 0, 1);
    auto note = [&](TableReader::Event event) {
        if (event == TableReader::Event::skipped) {
            if (index.warnings.size() < max_warnings)
                index.warnings.push_back(reader.warning());
            else
                ++index.warnings_left_out;
        } else if (event == TableReader::Event::complete) {
            ReportTable& t = reader.table();
            const auto [at, added] = source_ids.try_emplace(t.source.text, index.sources.size());
            if (added)
                index.sources.push_back(std::move(t.source));
            index.tables.push_back({t.kind, t.line, t.position, reader.table_offset(), at->second});
        }
    };
    Line line;
    while (lines.next(line))
        note(reader.feed(line));
    note(reader.finish());
    if (lines.failed()) {
        index.warnings.push_back("Warning:  cannot read " + path.string() + " to its end.");
        return false;
    }
    return true;
}

bool load_table(const ReportIndex& index, const TableEntry& entry, ReportTable& table, std::string& warning)
{
    ReportFile file(index.path);
    const TableKind kinds[] = {entry.kind};
    TableReader reader(index.name, kinds, TableReader::Depth::rows);
    if (file.state() == ReportFile::State::open) {
        LineReader lines(file.stream(), entry.offset, entry.line);
        Line line;
        TableReader::Event event = TableReader::Event::none;
        while (event == TableReader::Event::none && lines.next(line))
            event = reader.feed(line);
        if (event == TableReader::Event::none)
            event = reader.finish();
        if (event == TableReader::Event::complete && reader.table().line == entry.line) {
            table = std::move(reader.table());
            table.position = entry.position;
            return true;
        }
        if (event == TableReader::Event::skipped) {
            warning = reader.warning();
            return false;
        }
    }
    warning = "Warning:  " + index.name + " changed while it was read; the table of line " + std::to_string(entry.line) +
              " is not drawn.";
    return false;
}

std::vector<TablePair> pair_tables(const ReportIndex& index, TableKind row_kind, TableKind col_kind)
{
    std::vector<TablePair> pairs;
    // Per source, the pairs that wait for their row (column) table, oldest first.
    std::vector<std::deque<size_t>> need_row(index.sources.size());
    std::vector<std::deque<size_t>> need_col(index.sources.size());
    for (size_t i = 0; i < index.tables.size(); ++i) {
        const TableEntry& t = index.tables[i];
        if (t.kind != row_kind && t.kind != col_kind)
            continue;
        const bool row = t.kind == row_kind;
        std::deque<size_t>& waiting = row ? need_row[t.source] : need_col[t.source];
        if (!waiting.empty()) {
            (row ? pairs[waiting.front()].row : pairs[waiting.front()].col) = i;
            waiting.pop_front();
            continue;
        }
        pairs.push_back(row ? TablePair{i, SIZE_MAX} : TablePair{SIZE_MAX, i});
        (row ? need_col[t.source] : need_row[t.source]).push_back(pairs.size() - 1);
    }
    return pairs;
}

}  // namespace plot
