// The whole state of one run: plain records, owned by the run and passed by
// reference to each step.
#pragma once

#include "input/image_file.h"
#include "input/raw_image_info.h"
#include "input/tiff_stream.h"
#include "run/program_profile.h"
#include "run/report_files.h"
#include "run/run_settings.h"
#include "run/text_out.h"
#include "spectra/line_spectrum.h"
#include "stats/channel_stats.h"
#include "stats/histograms.h"
#include "stats/profiles.h"
#include "stats/sample_pass.h"
#include "stats/window.h"

struct RunState {
    const ProgramProfile& profile;
    Console console;
    RunSettings settings;
    ImageFile images[2];
    TiffStream stream;
    RawImageInfo info;
    WindowSpec window;
    HistogramSet hist;
    ChannelStats stats;
    ChannelResults results;
    ProfileSet profiles;
    SpectraState spectra;
    ReportFiles reports;
    // Computes everything the plain way: the sample pass sample by sample and
    // every spectrum value with SpectrumKernel itself, on one thread. Only
    // tests and benchmarks set it (through run_program's options), to hold
    // the fast paths against it; the results are the same bit for bit.
    bool reference_path = false;

    RunState(const ProgramProfile& program, Console out) : profile(program), console(out) {}
};

// Whole-run kernel mode of the spectrum kernel.
inline KernelMode kernel_mode(const RunSettings& settings)
{
    return KernelMode{settings.autocorr, settings.ft_coef};
}

// Ends a run whose pass could not read its samples: the message naming the
// image, then status 1.
int unable_to_read(RunState& run, const ReadOutcome& read);
