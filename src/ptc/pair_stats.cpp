#include "ptc/pair_stats.h"

#include <memory>
#include <vector>

#include "input/image_file.h"
#include "input/probe.h"
#include "reports/text_out.h"
#include "run/program_profile.h"
#include "stats/cfa.h"
#include "stats/sample_pass.h"
#include "stats/window_reader.h"

namespace {

// Both frames of a pair, opened and probed by one program's reader.
struct ProbedPair {
    ImageFile image[2];
    ProbeOutcome probe;
    std::string message;  // what the reader said, passed on only when it fails
};

// Opens both files and runs the program's probe over them; status completed
// when the pair can be measured.
ExitStatus probe_pair(const ProgramProfile& profile, const std::string& file1, const std::string& file2,
                      ProbedPair& pair)
{
    Console console;
    console.capture = &pair.message;
    const std::string* names[2] = {&file1, &file2};
    for (int f = 0; f < 2; ++f)
        if (!pair.image[f].open(*names[f])) {
            say(console, "Error:  Unable to open %s.\n", names[f]->c_str());
            return ExitStatus::failed;
        }
    ProbeInput input;
    input.image[0] = &pair.image[0];
    input.image[1] = &pair.image[1];
    input.name[0] = file1;
    input.name[1] = file2;
    input.fixed_saturation_level = profile.fixed_saturation_level;
    pair.probe = profile.probe(input, console);
    if (pair.probe.status != ExitStatus::completed)
        return pair.probe.status;
    if (pair.probe.second_dropped) {
        say(console, "Error:  %s does not match %s.\n", file2.c_str(), file1.c_str());
        return ExitStatus::failed;
    }
    const RawImageInfo& info = pair.probe.info;
    if (info.width < 2 || info.height < 2) {
        say(console, "Error:  Image must be at least 2x2 pixels.\n");
        return ExitStatus::failed;
    }
    if (profile.check_samples)
        return profile.check_samples(info, pair.image[0], console);
    return ExitStatus::completed;
}

// Shares of both frames' samples at 0, and their largest value with its count,
// per colour.
bool count_clipping(const ProbedPair& pair, const WindowSpec& w, PairStats& stats)
{
    const RawImageInfo& info = pair.probe.info;
    std::vector<uint16_t> row(static_cast<size_t>(w.W));
    std::vector<uint8_t> scratch;
    int64_t zeros[3] = {};
    for (int f = 0; f < 2; ++f) {
        for (int64_t r = 0; r < w.H; ++r) {
            if (!read_sample_rows(pair.image[f], sample_offset(info.data_offset[f], info.row_stride, w.X, w.Y + r),
                                  info.row_stride, w.W, 1, info.big_endian, row.data(), scratch))
                return false;
            for (int64_t k = 0; k < w.W; ++k) {
                const StatColour colour = colour_of(channel_at(w.Y + r, w.X + k));
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
    auto pair = std::make_unique<ProbedPair>();
    const ProgramProfile* profile = &readers.nef;
    ExitStatus status = probe_pair(readers.nef, file1, file2, *pair);
    if (status != ExitStatus::completed) {
        auto tif_pair = std::make_unique<ProbedPair>();
        const ExitStatus tif_status = probe_pair(readers.tif, file1, file2, *tif_pair);
        if (tif_status != ExitStatus::completed) {
            // Report the reader the file was meant for: a file with a NEF's
            // camera model is a damaged NEF; anything else a TIFF.
            const bool looks_nef = pair->probe.recognised;
            result.status = exit_code(looks_nef ? status : tif_status);
            result.message = looks_nef ? pair->message : tif_pair->message;
            return result;
        }
        pair = std::move(tif_pair);
        profile = &readers.tif;
    } else {
        result.nef = true;
    }
    const RawImageInfo& info = pair->probe.info;
    result.width = info.width;
    result.height = info.height;
    if (!window_set) {
        window = place_window(profile->window, request, info);
        window_set = true;
    }

    PassRequest pass;
    pass.image[0] = &pair->image[0];
    pass.image[1] = &pair->image[1];
    pass.info = info;
    pass.window = window;
    pass.window.X2 = window.X;
    pass.window.Y2 = window.Y;
    const std::unique_ptr<PassResult> measured = sample_pass(pass, nullptr);
    const ChannelStats& st = measured->stats;
    for (int c = 0; c < 3; ++c) {
        const double m = c == Green ? 2.0 * st.n : st.n;
        result.stats.samples[c] = static_cast<int64_t>(m);
        result.stats.mu[c] = st.sum_pair[c] / (2.0 * m);
        const double mean_diff = st.sum_diff[c] / m;
        result.stats.diff[c] = mean_diff;
        result.stats.var[c] = (st.sum_sq[c] / m - mean_diff * mean_diff) / 2.0;
    }
    if (!measured->read.ok() || !count_clipping(*pair, pass.window, result.stats)) {
        result.status = exit_code(ExitStatus::failed);
        result.message = "Error:  Unable to read " + (measured->read.failed_image == 1 ? file2 : file1) + ".\n";
    }
    return result;
}
