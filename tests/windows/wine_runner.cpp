#include "wine_runner.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;

namespace wine {

namespace {

// A run of either program takes well under a second; this only ends a hang.
constexpr auto run_time_limit = std::chrono::seconds(120);
// Making a prefix takes about 15 seconds on two cores.
constexpr auto prefix_time_limit = std::chrono::seconds(600);

std::string on_path(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        start = end + 1;
    }
    return "";
}

std::string slurp(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string temp_name(const char* kind)
{
    static std::atomic<int> counter{0};
    return "/tmp/rawstats-wine-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + kind;
}

// Starts a program of the build machine (Wine's loader or server) with Wine's
// settings for this build in its environment.
int spawn(const std::vector<std::string>& argv, const std::string& out_path, const std::string& err_path)
{
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    const bool closed = out_path == closed_output;
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = closed ? -1 : ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || (!closed && out < 0) || err < 0 || ::dup2(in, 0) < 0 || ::dup2(err, 2) < 0)
        ::_exit(126);
    if (closed)
        ::close(1);
    else if (::dup2(out, 1) < 0)
        ::_exit(126);
    ::setenv("WINEPREFIX", setup().prefix.c_str(), 1);
    ::setenv("WINEDEBUG", "-all", 1);
    // No offers to install Wine's .NET and HTML engines while the prefix is made.
    ::setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    // Arguments are passed on as UTF-8.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

// Waits for the process; ends it when it takes longer than the limit.
int wait_for(int pid, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

const Setup& setup()
{
    static const Setup found = [] {
        Setup s;
        s.wine = on_path("wine");
        if (s.wine.empty() && ::access("/usr/lib/wine/wine64", X_OK) == 0)
            s.wine = "/usr/lib/wine/wine64";
        s.exe_dir = WINDOWS_EXE_DIR;
        s.prefix = s.exe_dir + "/wine-prefix";
        return s;
    }();
    return found;
}

bool ensure_prefix(std::string& reason)
{
    const Setup& s = setup();
    const std::string ready = s.prefix + "/.ready";
    if (::access(ready.c_str(), F_OK) == 0)
        return true;
    // Test processes started together make the prefix once: the others wait here.
    const int lock = ::open((s.exe_dir + "/wine-prefix.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0) {
        reason = "cannot create " + s.exe_dir + "/wine-prefix.lock";
        return false;
    }
    ::flock(lock, LOCK_EX);
    bool made = ::access(ready.c_str(), F_OK) == 0;
    if (!made) {
        const std::string out = temp_name(".out"), err = temp_name(".err");
        const int boot = wait_for(spawn({s.wine, "wineboot", "--init"}, out, err), prefix_time_limit);
        std::string server = on_path("wineserver");
        if (server.empty())
            server = "/usr/lib/wine/wineserver64";
        // Let the prefix's first start finish and its registry be saved.
        wait_for(spawn({server, "-w"}, out, err), prefix_time_limit);
        made = boot == 0;
        if (made)
            std::ofstream(ready) << "made by the Windows tests\n";
        else
            reason = "wineboot failed: " + slurp(err);
        std::remove(out.c_str());
        std::remove(err.c_str());
    }
    ::close(lock);
    return made;
}

Started start(const std::string& program, const std::vector<std::string>& args, const std::string& stdout_path)
{
    Started started;
    started.capture_out = stdout_path.empty();
    started.out_path = started.capture_out ? temp_name(".out") : stdout_path;
    started.err_path = temp_name(".err");
    std::vector<std::string> argv{setup().wine, setup().exe_dir + "/" + program + ".exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    started.pid = spawn(argv, started.out_path, started.err_path);
    return started;
}

ExeRun finish(const Started& started)
{
    ExeRun run;
    run.status = wait_for(started.pid, run_time_limit);
    if (started.capture_out) {
        run.out = slurp(started.out_path);
        std::remove(started.out_path.c_str());
    }
    run.err = slurp(started.err_path);
    std::remove(started.err_path.c_str());
    return run;
}

ExeRun run(const std::string& program, const std::vector<std::string>& args)
{
    // Every run that ends with a status other than 0 says why, on standard
    // output or standard error. Silence with such a status is Wine failing to
    // start the program (seen about once in a thousand starts on a loaded
    // machine): it is started again, at most twice.
    ExeRun result = finish(start(program, args));
    for (int again = 0; again < 2 && result.status != 0 && result.out.empty() && result.err.empty(); ++again)
        result = finish(start(program, args));
    return result;
}

std::string from_windows_text(const std::string& text)
{
    std::string lines;
    lines.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;  // the "\n" that follows is kept
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            lines += "[LF without CR]";
        lines += text[i];
    }
    return lines;
}

}  // namespace wine
