// The records of the statistics logs (QUORVA.CSV, VELDIX.CSV), which give
// the plots of a run its window's SDs and its histogram-derived figures.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

#include "plot/report_tables.h"

namespace plot {

struct StatsRecord {
    std::string log;  // the statistics log's name
    int line = 0;
    std::string files;  // "NAME" or "NAME minus NAME2"
    long width = 0;
    long height = 0;
    long x = 0;
    long y = 0;
    // The console's SDs of Red, Green, Blue (with two files: of the difference,
    // divided by the square root of 2), as numbers and as written.
    double sd[3] = {0, 0, 0};
    std::string sd_text[3];
    bool from_hist = false;
    // Histogram-derived averages and SDs of Red, Green, Blue.
    double hist_ave[3] = {0, 0, 0};
    double hist_sd[3] = {0, 0, 0};
    std::string hist_ave_text[3];
    std::string hist_sd_text[3];
};

// One record line; false for heading lines and lines of another form.
bool parse_stats_record(std::string_view line, StatsRecord& record);

// The last record of each run (files and window) in the statistics logs.
class StatsRecords {
public:
    // Reads a log line by line; false, with a warning, when it is there but
    // cannot be read.
    bool read(const std::filesystem::path& path, const std::string& name, std::string& warning);
    void add(StatsRecord record);

    // The last record of the table's files and window (with histogram-derived
    // figures, when asked for), or null.
    const StatsRecord* find(const TableSource& source, bool with_fit) const;

private:
    struct Latest {
        StatsRecord any;
        StatsRecord fit;
        bool has_fit = false;
    };
    std::unordered_map<std::string, Latest> runs_;
};

}  // namespace plot
