#include "ptc/pair_reader.h"

#include <cstdio>
#include <memory>

#include "run/run_state.h"
#include "stats/cfa.h"
#include "stats/window_reader.h"

namespace {

// Holds what a probe prints, to pass it on only when the probe fails.
struct CapturedConsole {
    std::FILE* stream = std::tmpfile();

    CapturedConsole() = default;
    CapturedConsole(const CapturedConsole&) = delete;
    CapturedConsole& operator=(const CapturedConsole&) = delete;
    ~CapturedConsole()
    {
        if (stream)
            std::fclose(stream);
    }
    std::string text() const
    {
        std::string out;
        if (!stream)
            return out;
        std::fflush(stream);
        std::rewind(stream);
        char chunk[512];
        for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, stream)) > 0;)
            out.append(chunk, got);
        return out;
    }
};

// Opens both files and runs a program's probe over them.
int probe_pair(RunState& run, const std::string& file1, const std::string& file2)
{
    RunSettings& s = run.settings;
    for (int f = 0; f < 2; ++f) {
        const std::string& name = f == 0 ? file1 : file2;
        if (!run.images[f].open(name)) {
            say(run.console, "Error:  Unable to open %s.\n", name.c_str());
            return 1;
        }
        s.file_name[f] = name;
        s.file_length[f] = run.images[f].length();
    }
    s.two_files = true;
    if (int status = run.profile.input.check_header(run))
        return status;
    if (int status = run.profile.input.probe(run))
        return status;
    if (!s.two_files) {
        say(run.console, "Error:  %s does not match %s.\n", file2.c_str(), file1.c_str());
        return 1;
    }
    if (run.info.width < 2 || run.info.height < 2) {
        say(run.console, "Error:  Image must be at least 2x2 pixels.\n");
        return 1;
    }
    if (run.profile.input.check_format)
        return run.profile.input.check_format(run);
    return 0;
}

// A probe's run, its console captured.
struct ProbedRun {
    CapturedConsole console;
    std::unique_ptr<RunState> run;
    int status = 0;

    ProbedRun(const ProgramProfile& profile, const std::string& file1, const std::string& file2)
        : run(std::make_unique<RunState>(profile, Console{console.stream}))
    {
        status = console.stream ? probe_pair(*run, file1, file2) : 1;
    }
};

}  // namespace

PairRead read_pair(const ReaderProfiles& readers, const std::string& file1, const std::string& file2,
                   const WindowRequest& request, std::optional<PairWindow>& window)
{
    PairRead result;
    // A file the NEF probe takes is a NEF; anything else goes to the TIFF probe.
    auto probed = std::make_unique<ProbedRun>(readers.nef, file1, file2);
    if (probed->status != 0) {
        auto tif = std::make_unique<ProbedRun>(readers.tif, file1, file2);
        if (tif->status != 0) {
            // Report the reader the file was meant for: a file with a NEF's
            // camera model is a damaged NEF; anything else a TIFF.
            const std::string nef_message = probed->console.text();
            const bool looks_nef = nef_message.find("Camera:  ") != std::string::npos;
            result.status = looks_nef ? probed->status : tif->status;
            result.message = looks_nef ? nef_message : tif->console.text();
            return result;
        }
        probed = std::move(tif);
    }
    RunState& run = *probed->run;
    result.image_width = run.info.width;
    result.image_height = run.info.height;

    if (!window) {
        RunSettings& s = run.settings;
        s.W = request.W;
        s.H = request.H;
        s.X = request.X;
        s.Y = request.Y;
        WindowSpec spec;
        size_window(s, run.info, spec);
        place_window(run.profile, s, run.info, spec);
        PairWindow placed;
        placed.width = spec.W;
        placed.height = spec.H;
        placed.x = spec.X;
        placed.y = spec.Y;
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c)
                placed.plane[r][c] = channel_at(spec.Y + r, spec.X + c);
        window = placed;
    }
    const PairWindow& w = *window;
    result.pixels.window = w;
    std::vector<uint8_t> scratch;
    for (int f = 0; f < 2; ++f) {
        std::vector<uint16_t>& out = result.pixels.frame[f];
        out.assign(static_cast<size_t>(w.width * w.height), 0);
        if (w.x + w.width > int64_t{run.info.width} || w.y + w.height > int64_t{run.info.height} ||
            !read_sample_rows(run.images[f], sample_offset(run.info.data_offset[f], run.info.row_stride, w.x, w.y),
                              run.info.row_stride, w.width, w.height, run.info.big_endian, out.data(), scratch)) {
            result.status = 1;
            result.message = "Error:  Unable to read " + (f == 0 ? file1 : file2) + ".\n";
            return result;
        }
    }
    return result;
}
