#include "ptc/pair_stats.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "run/run_state.h"
#include "stats/cfa.h"
#include "stats/window_reader.h"

namespace {

// Captures what a probe prints, to pass it on only when it fails.
struct CapturedConsole {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* stream = nullptr;

    CapturedConsole() { stream = ::open_memstream(&buffer, &size); }
    ~CapturedConsole()
    {
        if (stream)
            std::fclose(stream);
        std::free(buffer);
    }
    std::string text()
    {
        std::fflush(stream);
        return std::string(buffer, size);
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

// Shares of both frames' samples at 0, and their largest value with its count,
// per colour.
bool count_clipping(RunState& run, PairStats& stats)
{
    const WindowSpec& w = run.window;
    const RawImageInfo& info = run.info;
    std::vector<uint16_t> row(static_cast<size_t>(w.W));
    std::vector<uint8_t> scratch;
    int64_t zeros[3] = {};
    for (int f = 0; f < 2; ++f) {
        const int64_t x0 = f == 0 ? w.X : w.X2;
        const int64_t y0 = f == 0 ? w.Y : w.Y2;
        for (int64_t r = 0; r < w.H; ++r) {
            if (!read_sample_rows(run.images[f], sample_offset(info.data_offset[f], info.row_stride, x0, y0 + r),
                                  info.row_stride, w.W, 1, info.big_endian, row.data(), scratch))
                return false;
            for (int64_t k = 0; k < w.W; ++k) {
                const StatColour colour = colour_of(channel_at(y0 + r, x0 + k));
                const uint16_t dn = row[static_cast<size_t>(k)];
                zeros[colour] += dn == 0;
                if (dn > stats.top_value[colour]) {
                    stats.top_value[colour] = dn;
                    stats.top_count[colour] = 0;
                }
                stats.top_count[colour] += dn == stats.top_value[colour];
            }
        }
    }
    for (int c = 0; c < 3; ++c) {
        const double both = 2.0 * static_cast<double>(stats.samples[c]);
        stats.zero_share[c] = static_cast<double>(zeros[c]) / both;
    }
    return true;
}

}  // namespace

PairResult measure_pair(const ReaderProfiles& readers, const std::string& file1, const std::string& file2,
                        const WindowRequest& request, WindowSpec& window, bool& window_set)
{
    PairResult result;
    // A file the NEF probe takes is a NEF; anything else goes to the TIFF probe.
    CapturedConsole nef_console;
    auto run = std::make_unique<RunState>(readers.nef, Console{nef_console.stream});
    int status = probe_pair(*run, file1, file2);
    if (status != 0) {
        const std::string nef_message = nef_console.text();
        CapturedConsole tif_console;
        auto tif_run = std::make_unique<RunState>(readers.tif, Console{tif_console.stream});
        const int tif_status = probe_pair(*tif_run, file1, file2);
        if (tif_status != 0) {
            // Report the reader the file was meant for: a file with a NEF's
            // camera model is a damaged NEF; anything else a TIFF.
            const bool looks_nef = nef_message.find("Camera:  ") != std::string::npos;
            result.status = looks_nef ? status : tif_status;
            result.message = looks_nef ? nef_message : tif_console.text();
            return result;
        }
        run = std::move(tif_run);
    } else {
        result.nef = true;
    }
    result.width = run->info.width;
    result.height = run->info.height;

    RunSettings& s = run->settings;
    s.W = request.W;
    s.H = request.H;
    s.X = request.X;
    s.Y = request.Y;
    if (!window_set) {
        size_window(s, run->info, window);
        place_window(run->profile, s, run->info, window);
        window_set = true;
    }
    run->window = window;
    run->window.X2 = window.X;
    run->window.Y2 = window.Y;

    reset_channel_stats(run->stats, window.W, window.H);
    clear_profiles(run->profiles);
    const ReadOutcome read = sample_pass(*run);
    if (!read.ok() || !count_clipping(*run, result.stats)) {
        result.status = 1;
        result.message = "Error:  Unable to read " + (read.failed_image == 1 ? file2 : file1) + ".\n";
        return result;
    }

    const ChannelStats& st = run->stats;
    for (int c = 0; c < 3; ++c) {
        const double m = c == Green ? 2.0 * st.n : st.n;
        result.stats.samples[c] = static_cast<int64_t>(m);
        result.stats.mu[c] = st.sum_pair[c] / (2.0 * m);
        const double mean_diff = st.sum_diff[c] / m;
        result.stats.diff[c] = mean_diff;
        result.stats.var[c] = (st.sum_sq[c] / m - mean_diff * mean_diff) / 2.0;
    }
    return result;
}
