// The outside tools both programs meet in practice (the raw converter, a metadata
// reader, the TIFF library's tools), run from PATH in the current directory (a
// ScratchDir), and a small TIFF reader of our own for what they write.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct ProgramProfile;

struct ToolRun {
    int status = -1;  // exit status; 127 when not found, -1 when killed by a signal
    std::string out, err;
};
// Runs `program` from PATH with the arguments and no standard input.
ToolRun run_tool(const std::string& program, const std::vector<std::string>& args);
// Fails naming the Debian package when `program` is not on PATH (make test installs them).
testing::AssertionResult tool_on_path(const std::string& program, const std::string& package);

// A TIFF directory; BYTE, SHORT and LONG values are decoded by type.
struct TiffEntry {
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t field = 0;  // the value field read as a LONG (the values' offset when they do not fit)
    std::vector<uint32_t> values;
};
struct TiffDirectory {
    bool big_endian = false;
    std::map<uint16_t, TiffEntry> entries;
    uint32_t single(uint16_t tag) const;  // fails the test unless the entry has exactly one value
};
// The directory at `offset`, or the first one when 0; throws std::runtime_error when
// the bytes are not a TIFF file.
TiffDirectory read_tiff_directory(const std::string& bytes, size_t offset = 0);
// The samples of a one-strip, 16-bit, one-sample-per-pixel TIFF file.
std::vector<uint16_t> read_tiff_samples(const std::string& bytes);

// What one program run printed and every report file it left; the report files are
// removed afterwards, so the next run in the same directory starts without them.
struct ProgramOutput {
    int status = -1;
    std::string console;
    std::map<std::string, std::string> reports;  // file name: contents
};
ProgramOutput run_and_collect(const ProgramProfile& profile, const std::vector<std::string>& args);

std::string replace_all(std::string text, const std::string& from, const std::string& to);
std::vector<std::string> lines_of(const std::string& text);
