// Whole runs in a fresh directory, and their report tables read back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "program_profiles.h"
#include "raw_writer.h"
#include "run/run_sequence.h"
#include "support/run_capture.h"

namespace spectra_test {

struct InputFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

struct Outcome {
    int status = -1;
    std::string console;
    std::map<std::string, std::string> reports;  // every file the run created

    std::string report(const std::string& name) const
    {
        const auto it = reports.find(name);
        return it == reports.end() ? "<missing>" : it->second;
    }
};

inline Outcome run_once(const ProgramProfile& profile, const std::vector<InputFile>& inputs,
                        const std::vector<std::string>& args)
{
    ScratchDir dir;
    for (const InputFile& f : inputs)
        dir.put(f.name, f.bytes);
    const CapturedRun run = run_captured(profile, args);
    Outcome outcome;
    outcome.status = run.status;
    outcome.console = run.out;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        outcome.reports[entry.path().filename().string()] = read_file(entry.path().string());
    for (const InputFile& f : inputs)
        outcome.reports.erase(f.name);
    return outcome;
}

using Cells = std::vector<std::string>;

// A table: its title (up to the first comma) and its rows after the header,
// split at the commas, blanks trimmed.
struct Table {
    std::string title;
    std::vector<Cells> rows;

    // The row whose first cell is the label (f, or "RMS:"), or null.
    const Cells* row(const std::string& label) const
    {
        for (const Cells& r : rows)
            if (r[0] == label)
                return &r;
        return nullptr;
    }
};

// Titles start in the first column, header and rows with a blank.
inline std::vector<Table> read_tables(const std::string& text)
{
    std::vector<Table> tables;
    std::istringstream lines(text);
    bool header_due = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != ' ') {
            tables.push_back(Table{line.substr(0, line.find(',')), {}});
            header_due = true;
        } else if (header_due || tables.empty()) {
            header_due = false;
        } else {
            Cells cells;
            std::istringstream fields(line);
            for (std::string cell; std::getline(fields, cell, ',');) {
                const size_t first = cell.find_first_not_of(' ');
                cells.push_back(first == std::string::npos ? "" : cell.substr(first, cell.find_last_not_of(' ') - first + 1));
            }
            tables.back().rows.push_back(cells);
        }
    }
    return tables;
}

inline std::vector<std::string> titles(const std::vector<Table>& tables)
{
    std::vector<std::string> out;
    for (const Table& t : tables)
        out.push_back(t.title);
    return out;
}

// Cells of a spectrum row; the RMS row keeps the positions.
enum Column { G_F = 1, G_F1 = 3, K = 4, COL_R = 5, COL_G1 = 6, COL_B = 7, COL_G2 = 8 };

// 1, 0, -1, 0, ...: a cosine of period 4 that is exact in integers.
inline int quarter_wave(int64_t i)
{
    static const int values[4] = {1, 0, -1, 0};
    return values[((i % 4) + 4) % 4];
}

}  // namespace spectra_test
