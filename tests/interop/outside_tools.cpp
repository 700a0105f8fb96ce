#include "outside_tools.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/run_capture.h"

extern char** environ;

namespace {

// A temporary file outside the working directory, removed at the end of the scope.
class TempFile {
public:
    TempFile()
    {
        char pattern[] = "/tmp/rawstats-tool-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd < 0)
            throw std::runtime_error("mkstemp failed");
        ::close(fd);
        path_ = pattern;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

ToolRun run_tool(const std::string& program, const std::vector<std::string>& args)
{
    // Output goes to files rather than pipes, so a tool that writes a lot to both
    // streams cannot block.
    TempFile out, err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.path().c_str(), O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.path().c_str(), O_WRONLY | O_TRUNC, 0);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    ToolRun run;
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.err = program + ": cannot be started";
        return run;
    }
    int wait_status = 0;
    pid_t waited;
    do
        waited = ::waitpid(pid, &wait_status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited < 0)
        return run;
    run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    run.out = read_file(out.path());
    run.err = read_file(err.path());
    return run;
}

testing::AssertionResult tool_on_path(const std::string& program, const std::string& package)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        if (::access((dir + "/" + program).c_str(), X_OK) == 0)
            return testing::AssertionSuccess();
        start = end + 1;
    }
    return testing::AssertionFailure() << program << " is not on PATH: install the Debian package " << package
                                       << " (make test does so when run as root)";
}

// ---------------------------------------------------------------------------

namespace {

struct Reader {
    const std::string& b;
    bool big;
    uint32_t byte(size_t p) const
    {
        if (p >= b.size())
            throw std::runtime_error("TIFF value beyond the end of the file");
        return static_cast<uint8_t>(b[p]);
    }
    uint32_t u16(size_t p) const { return big ? byte(p) << 8 | byte(p + 1) : byte(p + 1) << 8 | byte(p); }
    uint32_t u32(size_t p) const { return big ? u16(p) << 16 | u16(p + 2) : u16(p + 2) << 16 | u16(p); }
};

}  // namespace

uint32_t TiffDirectory::single(uint16_t tag) const
{
    const auto e = entries.find(tag);
    if (e == entries.end()) {
        ADD_FAILURE() << "no entry " << tag;
        return 0;
    }
    EXPECT_EQ(e->second.values.size(), 1u) << "entry " << tag;
    return e->second.values.empty() ? 0 : e->second.values[0];
}

TiffDirectory read_tiff_directory(const std::string& bytes)
{
    if (bytes.size() < 8 || !(bytes.starts_with("II") || bytes.starts_with("MM")))
        throw std::runtime_error("not a TIFF file");
    const Reader r{bytes, bytes[0] == 'M'};
    if (r.u16(2) != 42)
        throw std::runtime_error("not a TIFF file");
    return read_tiff_directory_at(bytes, r.u32(4));
}

TiffDirectory read_tiff_directory_at(const std::string& bytes, size_t at)
{
    if (bytes.size() < 8 || !(bytes.starts_with("II") || bytes.starts_with("MM")))
        throw std::runtime_error("not a TIFF file");
    TiffDirectory d;
    d.big_endian = bytes[0] == 'M';
    const Reader r{bytes, d.big_endian};
    const uint32_t n = r.u16(at);
    for (uint32_t i = 0; i < n; ++i) {
        const size_t e = at + 2 + 12 * size_t{i};
        TiffEntry entry;
        entry.type = static_cast<uint16_t>(r.u16(e + 2));
        entry.count = r.u32(e + 4);
        const size_t size = entry.type == 1 ? 1 : entry.type == 3 ? 2 : entry.type == 4 ? 4 : 0;
        if (size != 0) {
            const size_t values_at = size * entry.count <= 4 ? e + 8 : r.u32(e + 8);
            for (uint32_t k = 0; k < entry.count; ++k) {
                const size_t p = values_at + size * k;
                entry.values.push_back(size == 1 ? r.byte(p) : size == 2 ? r.u16(p) : r.u32(p));
            }
        }
        d.entries[static_cast<uint16_t>(r.u16(e))] = entry;
    }
    return d;
}

std::vector<uint16_t> read_tiff_samples(const std::string& bytes)
{
    const TiffDirectory d = read_tiff_directory(bytes);
    const uint32_t width = d.single(256), height = d.single(257);
    EXPECT_EQ(d.single(258), 16u);
    EXPECT_EQ(d.single(277), 1u);
    EXPECT_EQ(d.single(279), 2u * width * height);
    const Reader r{bytes, d.big_endian};
    std::vector<uint16_t> samples(size_t{width} * height);
    const size_t at = d.single(273);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<uint16_t>(r.u16(at + 2 * i));
    return samples;
}

// ---------------------------------------------------------------------------

ProgramOutput run_and_collect(const ProgramProfile& profile, const std::vector<std::string>& args)
{
    static const char* const report_names[] = {"QUORVA.CSV", "VELDIX.CSV", "HQUORVA.CSV",
                                               "HVELDIX.CSV", "RCDN.CSV",   "DFT.CSV"};
    for (const char* name : report_names)
        EXPECT_FALSE(std::filesystem::exists(name)) << name << " is left from an earlier run";
    const CapturedRun run = run_captured(profile, args);
    ProgramOutput output;
    output.status = run.status;
    output.console = run.out;
    for (const char* name : report_names) {
        if (std::filesystem::exists(name)) {
            output.reports[name] = read_file(name);
            std::filesystem::remove(name);
        }
    }
    return output;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}
