#include "run_capture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

#include "input/image_file.h"
#include "reports/text_out.h"
#include "run/run_sequence.h"
#include "stats/window_reader.h"

namespace fs = std::filesystem;

ScratchDir::ScratchDir()
{
    char pattern[] = "/tmp/rawstats-test-XXXXXX";
    if (!::mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    previous_ = fs::current_path().string();
    fs::current_path(path_);
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    // Undo any read-only permissions a test set, then remove.
    for (const auto& entry : fs::recursive_directory_iterator(path_, ignored))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

void ScratchDir::put(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    std::ofstream file(path_ + "/" + name, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void ScratchDir::put_text(const std::string& name, const std::string& text) const
{
    std::ofstream file(path_ + "/" + name, std::ios::binary);
    file << text;
}

std::string ScratchDir::read(const std::string& name) const
{
    if (!exists(name))
        return "<missing>";
    return read_file(path_ + "/" + name);
}

bool ScratchDir::exists(const std::string& name) const
{
    return fs::exists(path_ + "/" + name);
}

std::string read_file(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

CapturedRun run_captured(const ProgramProfile& profile, const std::vector<std::string>& args, bool reference)
{
    std::vector<const char*> argv;
    argv.push_back("program");
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);

    CapturedRun result;
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* console = ::open_memstream(&buffer, &size);
    RunOptions options;
    options.reference_path = reference;
    result.status = run_program(profile, static_cast<int>(args.size() + 1), argv.data(), console, options);
    std::fclose(console);
    result.out.assign(buffer, size);
    std::free(buffer);
    return result;
}

ProbedFile probe_file(ProbeFunction probe, const std::string& path)
{
    ImageFile file;
    file.open(path);
    ProbeInput input;
    input.image[0] = &file;
    input.name[0] = path;
    ProbedFile probed;
    Console console;
    console.capture = &probed.said;
    probed.outcome = probe(input, console);
    const RawImageInfo& info = probed.outcome.info;
    probed.samples.resize(size_t{info.width} * info.height);
    std::vector<uint8_t> scratch;
    if (!read_sample_rows(file, info.data_offset[0], info.row_stride, info.width, info.height, info.big_endian,
                          probed.samples.data(), scratch))
        probed.samples.clear();
    return probed;
}
