// Runs a whole program in-process, in a fresh temporary directory, and
// captures what it prints and the report files it leaves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/probe.h"

struct ProgramProfile;

struct CapturedRun {
    int status = -1;
    std::string out;  // console output
};

// A temporary working directory, removed with everything in it at the end of
// the scope. The process works in it while the object lives.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // Writes a file in the directory.
    void put(const std::string& name, const std::vector<uint8_t>& bytes) const;
    void put_text(const std::string& name, const std::string& text) const;
    // The file's contents, or "<missing>" when it does not exist.
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

private:
    std::string path_;
    std::string previous_;
};

// Runs the program with the arguments (without the program name) in the
// current directory; reference: the plain computation (see RunOptions).
CapturedRun run_captured(const ProgramProfile& profile, const std::vector<std::string>& args,
                         bool reference = false);

std::string read_file(const std::string& path);

// A file as a program's probe finds it, with the samples it points at (empty
// when they cannot all be read) and what the probe said.
struct ProbedFile {
    ProbeOutcome outcome;
    std::vector<uint16_t> samples;
    std::string said;
};
ProbedFile probe_file(ProbeFunction probe, const std::string& path);
