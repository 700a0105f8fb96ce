#include "ptc/pair_reader.h"

#include <memory>

#include "input/image_file.h"
#include "input/probe.h"
#include "reports/text_out.h"
#include "run/program_profile.h"
#include "stats/cfa.h"
#include "stats/window_reader.h"

namespace {

// Both frames of a pair, opened and probed by one program's reader.
struct ProbedPair {
    ImageFile image[2];
    ProbeOutcome probe;
    std::string message;  // what the reader said, passed on only when it fails
    ExitStatus status = ExitStatus::completed;
};

// Opens both files and runs the program's probe over them; the pair can be
// read when the status is completed.
void probe_pair(const ProgramProfile& profile, const std::string& file1, const std::string& file2,
                ProbedPair& pair)
{
    Console console;
    console.capture = &pair.message;
    const std::string* names[2] = {&file1, &file2};
    for (int f = 0; f < 2; ++f)
        if (!pair.image[f].open(*names[f])) {
            say(console, "Error:  Unable to open %s.\n", names[f]->c_str());
            pair.status = ExitStatus::failed;
            return;
        }
    ProbeInput input;
    input.image[0] = &pair.image[0];
    input.image[1] = &pair.image[1];
    input.name[0] = file1;
    input.name[1] = file2;
    input.fixed_saturation_level = profile.fixed_saturation_level;
    pair.probe = profile.probe(input, console);
    pair.status = pair.probe.status;
    if (pair.status != ExitStatus::completed)
        return;
    const RawImageInfo& info = pair.probe.info;
    if (pair.probe.second_dropped) {
        say(console, "Error:  %s does not match %s.\n", file2.c_str(), file1.c_str());
        pair.status = ExitStatus::failed;
    } else if (info.width < 2 || info.height < 2) {
        say(console, "Error:  Image must be at least 2x2 pixels.\n");
        pair.status = ExitStatus::failed;
    } else if (profile.check_samples) {
        pair.status = profile.check_samples(info, pair.image[0], console);
    }
}

}  // namespace

PairRead read_pair(const ReaderProfiles& readers, const std::string& file1, const std::string& file2,
                   const WindowRequest& request, std::optional<PairWindow>& window)
{
    PairRead result;
    // A file the NEF probe takes is a NEF; anything else goes to the TIFF probe.
    const ProgramProfile* profile = &readers.nef;
    auto probed = std::make_unique<ProbedPair>();
    probe_pair(readers.nef, file1, file2, *probed);
    if (probed->status != ExitStatus::completed) {
        auto tif = std::make_unique<ProbedPair>();
        probe_pair(readers.tif, file1, file2, *tif);
        if (tif->status != ExitStatus::completed) {
            // Report the reader the file was meant for: a file with a NEF's
            // camera model is a damaged NEF; anything else a TIFF.
            const ProbedPair& meant = probed->probe.recognised ? *probed : *tif;
            result.status = exit_code(meant.status);
            result.message = meant.message;
            return result;
        }
        probed = std::move(tif);
        profile = &readers.tif;
    }
    const RawImageInfo& info = probed->probe.info;
    result.image_width = info.width;
    result.image_height = info.height;

    if (!window) {
        const WindowSpec placement = place_window(profile->window, request, info);
        PairWindow placed;
        placed.width = placement.W;
        placed.height = placement.H;
        placed.x = placement.X;
        placed.y = placement.Y;
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c)
                placed.plane[r][c] = channel_at(placement.Y + r, placement.X + c);
        window = placed;
    }
    const PairWindow& w = *window;
    result.pixels.window = w;
    std::vector<uint8_t> scratch;
    for (int f = 0; f < 2; ++f) {
        std::vector<uint16_t>& out = result.pixels.frame[f];
        out.assign(static_cast<size_t>(w.width * w.height), 0);
        if (w.x + w.width > int64_t{info.width} || w.y + w.height > int64_t{info.height} ||
            !read_sample_rows(probed->image[f], sample_offset(info.data_offset[f], info.row_stride, w.x, w.y),
                              info.row_stride, w.width, w.height, info.big_endian, out.data(), scratch)) {
            result.status = exit_code(ExitStatus::failed);
            result.message = "Error:  Unable to read " + (f == 0 ? file1 : file2) + ".\n";
            return result;
        }
    }
    return result;
}
