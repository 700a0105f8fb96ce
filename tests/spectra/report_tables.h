// Reading report tables back, and running a program on synthetic images.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/run_capture.h"

namespace spectra_test {

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

struct Output {
    int status = -1;
    std::string console;
    std::string dft;  // "<missing>" when the run did not create it
    std::string rcdn;
};

// Runs the program in a fresh directory holding the named files.
inline Output run_on(const ProgramProfile& profile, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files,
                     const std::vector<std::string>& args)
{
    ScratchDir dir;
    for (const auto& [name, bytes] : files)
        dir.put(name, bytes);
    const CapturedRun run = run_captured(profile, args);
    return Output{run.status, run.out, dir.read("DFT.CSV"), dir.read("RCDN.CSV")};
}

// 1, 0, -1, 0, ...: a cosine of period 4 that is exact in integers.
inline int quarter_wave(int64_t i)
{
    static const int values[4] = {1, 0, -1, 0};
    return values[((i % 4) + 4) % 4];
}

}  // namespace spectra_test
