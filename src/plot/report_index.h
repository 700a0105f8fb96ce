// Where the tables of a report file are: one quick reading of the file keeps
// the place of each complete table (checked in outline), not its rows, so that
// a file of any size takes little memory and time; the tables to be drawn are
// then read again one by one, every row checked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "plot/report_tables.h"

namespace plot {

struct TableEntry {
    TableKind kind = TableKind::histogram;
    int line = 0;         // of the title, from 1
    int position = 0;     // among all titles of its file, from 1
    uint64_t offset = 0;  // of the title line
    size_t source = 0;    // into ReportIndex::sources
};

struct ReportIndex {
    std::string name;                  // e.g. "DFT.CSV"
    std::filesystem::path path;
    std::vector<TableSource> sources;  // each distinct source once
    std::vector<TableEntry> tables;    // the complete ones, in file order
    std::vector<std::string> warnings;
    size_t warnings_left_out = 0;      // beyond the first max_warnings
};

inline constexpr size_t max_warnings = 20;

// Reads the file once, in outline. Returns false, with a warning, when the file is there
// but cannot be read (it is not a regular file, or reading fails); a missing
// file gives an empty index.
bool index_report(const std::filesystem::path& path, const std::string& name, std::span<const TableKind> kinds,
                  ReportIndex& index);

// Reads one indexed table again, every row checked. False, with the warning,
// when a row is out of its form or the file no longer holds the table there.
bool load_table(const ReportIndex& index, const TableEntry& entry, ReportTable& table, std::string& warning);

// The row and column tables of one run: the i-th row table of a source with
// the i-th column table of the same source, so that runs interleaving whole
// tables still pair up. Either may be missing (SIZE_MAX).
struct TablePair {
    size_t row = SIZE_MAX;  // into ReportIndex::tables
    size_t col = SIZE_MAX;
};
// In the order of each pair's first table; linear in the number of tables.
std::vector<TablePair> pair_tables(const ReportIndex& index, TableKind row_kind, TableKind col_kind);

}  // namespace plot
