#include "outside_tools.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "support/run_capture.h"

ToolRun run_tool(const std::string& program, const std::vector<std::string>& args)
{
    // Output goes to files, not pipes, so a tool writing much to both streams cannot block.
    const std::string out = "/tmp/rawstats-tool-" + std::to_string(::getpid()), err = out + ".err";
    std::string command = "exec '" + program + "'";
    for (const std::string& a : args)
        command += " '" + replace_all(a, "'", "'\\''") + "'";
    command += " </dev/null >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    ToolRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return run;
}

testing::AssertionResult tool_on_path(const std::string& program, const std::string& package)
{
    if (run_tool("sh", {"-c", "command -v \"$0\"", program}).status == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << program << " is not on PATH: install the Debian package " << package;
}

ProgramOutput run_and_collect(const ProgramProfile& profile, const std::vector<std::string>& args)
{
    static const char* const names[] = {"QUORVA.CSV", "VELDIX.CSV", "HQUORVA.CSV",
                                        "HVELDIX.CSV", "RCDN.CSV",   "DFT.CSV"};
    for (const char* name : names)
        EXPECT_FALSE(std::filesystem::exists(name)) << name << " is left from an earlier run";
    const CapturedRun run = run_captured(profile, args);
    ProgramOutput output{run.status, run.out, {}};
    for (const char* name : names)
        if (std::filesystem::exists(name)) {
            output.reports[name] = read_file(name);
            std::filesystem::remove(name);
        }
    return output;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
