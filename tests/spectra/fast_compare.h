// Runs a whole program twice, the usual way and on the reference path
// (sample pass sample by sample, every spectrum value by SpectrumKernel), each
// in a fresh directory, and compares everything the runs leave: exit status,
// console text and every report file, byte for byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run/run_sequence.h"
#include "support/run_capture.h"

namespace fast_compare {

struct InputFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

struct Outcome {
    int status = -1;
    std::string console;
    std::map<std::string, std::string> reports;  // every file the run created
};

inline Outcome run_once(const ProgramProfile& profile, const std::vector<InputFile>& inputs,
                        const std::vector<std::string>& args, bool reference)
{
    ScratchDir dir;
    std::set<std::string> input_names;
    for (const InputFile& f : inputs) {
        dir.put(f.name, f.bytes);
        input_names.insert(f.name);
    }
    std::vector<const char*> argv{"program"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);

    Outcome outcome;
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* console = ::open_memstream(&buffer, &size);
    RunOptions options;
    options.reference_path = reference;
    outcome.status = run_program(profile, static_cast<int>(args.size() + 1), argv.data(), console, options);
    std::fclose(console);
    outcome.console.assign(buffer, size);
    std::free(buffer);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (!input_names.count(name))
            outcome.reports[name] = read_file(entry.path().string());
    }
    return outcome;
}

inline std::string describe(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& a : args)
        text += a + " ";
    return text;
}

// Runs both ways and expects the same bytes everywhere. Returns the fast
// run's outcome, so that callers can check that the run did what it was meant
// to (wrote the table under test, say).
inline Outcome expect_same_runs(const ProgramProfile& profile, const std::vector<InputFile>& inputs,
                                const std::vector<std::string>& args)
{
    const Outcome fast = run_once(profile, inputs, args, false);
    const Outcome reference = run_once(profile, inputs, args, true);
    EXPECT_EQ(fast.status, reference.status) << describe(args);
    EXPECT_EQ(fast.console, reference.console) << describe(args);
    EXPECT_EQ(fast.reports.size(), reference.reports.size()) << describe(args);
    for (const auto& [name, text] : reference.reports) {
        const auto it = fast.reports.find(name);
        if (it == fast.reports.end()) {
            ADD_FAILURE() << name << " missing from the fast run: " << describe(args);
            continue;
        }
        EXPECT_EQ(it->second, text) << name << ": " << describe(args);
    }
    return fast;
}

}  // namespace fast_compare
