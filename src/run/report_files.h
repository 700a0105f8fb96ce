// The four report files: opened for appending only when needed, each table or
// record line appended whole with a single write.
#pragma once

#include <cstdint>
#include <string>

#include "platform/files.h"
#include "reports/text_out.h"

struct ReportFile {
    platform::FileHandle handle;
    const char* name = "";
    bool write_failed = false;

    bool is_open() const { return handle.valid(); }
};

struct ReportFiles {
    ReportFile stats;     // statistics log
    ReportFile hist;      // histogram log
    ReportFile profile;   // RCDN.CSV
    ReportFile spectrum;  // DFT.CSV

    ReportFiles() = default;
    ReportFiles(const ReportFiles&) = delete;
    ReportFiles& operator=(const ReportFiles&) = delete;
    ~ReportFiles();
};

// Opens (creating when missing) for appending; false when it cannot be opened
// (a named pipe without a reader among them: the open never waits).
bool open_report(ReportFile& file, const char* name);
void close_report(ReportFile& file);

// Opens the statistics log and heads it while it is shorter than 8 bytes.
bool open_stats_log(ReportFile& file, const char* name, Console& console);

// Appends the text in one write. A failure (a full disk) is remembered and
// reported once per file: the report is then incomplete.
void append_report(ReportFile& file, const std::string& text, Console& console);
bool any_write_failed(const ReportFiles& files);
