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

uint32_t TiffDirectory::single(uint16_t tag) const
{
    const auto e = entries.find(tag);
    if (e == entries.end() || e->second.values.size() != 1) {
        ADD_FAILURE() << "entry " << tag << " missing or not single-valued";
        return 0;
    }
    return e->second.values[0];
}

TiffDirectory read_tiff_directory(const std::string& bytes, size_t at)
{
    if (bytes.size() < 8 || !(bytes.starts_with("II") || bytes.starts_with("MM")))
        throw std::runtime_error("not a TIFF file");
    TiffDirectory d;
    d.big_endian = bytes[0] == 'M';
    const auto byte = [&](size_t p) -> uint32_t {
        if (p >= bytes.size())
            throw std::runtime_error("TIFF value beyond the end of the file");
        return static_cast<uint8_t>(bytes[p]);
    };
    const auto u16 = [&](size_t p) { return d.big_endian ? byte(p) << 8 | byte(p + 1) : byte(p + 1) << 8 | byte(p); };
    const auto u32 = [&](size_t p) { return d.big_endian ? u16(p) << 16 | u16(p + 2) : u16(p + 2) << 16 | u16(p); };
    if (u16(2) != 42)
        throw std::runtime_error("not a TIFF file");
    if (at == 0)
        at = u32(4);
    for (uint32_t i = 0, n = u16(at); i < n; ++i) {
        const size_t e = at + 2 + 12 * size_t{i};
        TiffEntry entry{static_cast<uint16_t>(u16(e + 2)), u32(e + 4), u32(e + 8), {}};
        const size_t size = entry.type == 1 ? 1 : entry.type == 3 ? 2 : entry.type == 4 ? 4 : 0;
        const size_t values_at = size * entry.count <= 4 ? e + 8 : entry.field;
        for (uint32_t k = 0; size != 0 && k < entry.count; ++k) {
            const size_t p = values_at + size * k;
            entry.values.push_back(size == 1 ? byte(p) : size == 2 ? u16(p) : u32(p));
        }
        d.entries[static_cast<uint16_t>(u16(e))] = entry;
    }
    return d;
}

std::vector<uint16_t> read_tiff_samples(const std::string& bytes)
{
    const TiffDirectory d = read_tiff_directory(bytes);
    const uint32_t width = d.single(256), height = d.single(257), at = d.single(273);
    EXPECT_EQ(d.single(258), 16u);
    EXPECT_EQ(d.single(277), 1u);
    EXPECT_EQ(d.single(279), 2u * width * height);
    std::vector<uint16_t> samples(size_t{width} * height);
    if (size_t{at} + 2 * samples.size() > bytes.size())
        throw std::runtime_error("strip beyond the end of the file");
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto b = [&](size_t p) { return static_cast<uint8_t>(bytes[at + 2 * i + p]); };
        samples[i] = static_cast<uint16_t>(d.big_endian ? b(0) << 8 | b(1) : b(1) << 8 | b(0));
    }
    return samples;
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
