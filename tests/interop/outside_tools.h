// The outside tools both programs meet in practice (the raw converter, a metadata
// reader), run from PATH in the current directory (a ScratchDir).
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
