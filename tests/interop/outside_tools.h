// The outside tools both programs meet in practice: the raw converter that
// writes veldix's input, a metadata reader, the TIFF library's tools. Tests run
// them from PATH in the current directory (a ScratchDir) and read what they
// write with a small TIFF reader of their own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct ProgramProfile;

struct ToolRun {
    int status = -1;  // exit status; -1 when the tool could not be started or died of a signal
    std::string out;  // standard output, byte for byte
    std::string err;  // standard error
};

// Runs `program`, looked up on PATH, with the arguments, in the current directory,
// with no standard input.
ToolRun run_tool(const std::string& program, const std::vector<std::string>& args);

// Succeeds when `program` is on PATH; otherwise fails naming the Debian package that
// has it. `make test` installs these packages (tools/check-deps).
testing::AssertionResult tool_on_path(const std::string& program, const std::string& package);

// The first directory of a TIFF file, each entry decoded by its type.
struct TiffEntry {
    uint16_t type = 0;
    uint32_t count = 0;
    std::vector<uint32_t> values;  // BYTE, SHORT and LONG values; empty for other types
};
struct TiffDirectory {
    bool big_endian = false;
    std::map<uint16_t, TiffEntry> entries;
    // The only value of a single-valued entry; fails the test when it is missing or has several.
    uint32_t single(uint16_t tag) const;
};
// Throws std::runtime_error when the bytes are not a TIFF file.
TiffDirectory read_tiff_directory(const std::string& bytes);
// The directory at an absolute offset, values at absolute offsets, in the file's
// byte order.
TiffDirectory read_tiff_directory_at(const std::string& bytes, size_t offset);
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
