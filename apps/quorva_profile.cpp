// quorva: statistics of uncompressed 14-bit NEF raw files. Everything in which
// it differs from veldix is in this record.
#include "input/nef_probe.h"
#include "program_profiles.h"
#include "reports/report_texts.h"

namespace {

const char* const usage[] = {
    "QUORVA V.0.72, Apr. 2012.\n",
    "Calculates image statistics for Uncompressed 14-bit NEF files.\n\n",
    "> QUORVA filename1[.NEF] [filename2[.NEF]] [switches]\n\n",
    "Displays channel averages and SD values over selected window.  If two\n",
    " filenames are given, SDs are computed on difference between images.\n",
    "Switches are not case sensitive but must not contain spaces:\n",
    " -L or /L:  Append statistics in csv format to file QUORVA.CSV\n",
    " -R or /R, -C or /C: Write Ave row/col DN to RCDN.CSV. Max window dim 2000.\n",
    " -Wnnn or /Wnnn or W=nnn:  Set window width. Default 200.\n",
    " -Hnnn or /Hnnn or H=nnn:  Set window height. Default square window.\n",
    " -Xnnn or /Xnnn or X=nnn:  Set window X pos. Default image center.\n",
    " -Ynnn or /Ynnn or Y=nnn:  Set window Y pos. Default image center.\n",
    " [Note (X,Y) is position of upper left corner of window.]\n",
    "Histograms: Any switch enables 4-chan output to HQUORVA.CSV:\n",
    " -Snnn or /Snnn or S=nnn:  Set hist. start value. Default 1.\n",
    " -Bnnn or /Bnnn or B=nnn:  Set hist. bin width. Default 1.\n",
    " -Ennn or /Ennn or E=nnn:  Set hist. end value. Overrides -B.\n",
    " -Nnnn or /Nnnn or N=nnn:  Set number of bins. Default 50, max 512.\n",
    "DFT: 5-chan Horiz/Vert 1D for random or row/column-aligned patterns.\n",
    " -Fnnn or /Fnnn or F=nnn:  Write FT coef for upper nnn freq to DFT.CSV.\n",
    "Multi-row/col DFT -M or /M; Autocorrelation -A or /A: See user guide.\n",
    nullptr,
};

// Matched without regard to case when no name as typed opens.
const char* const lookup_extensions[] = {".NEF", nullptr};

const ProgramProfile profile = {
    .program_name = "QUORVA",
    .usage_lines = usage,
    .no_image_error = "\nError:  No image file specified.  To view usage, type QUORVA -?\n\n",
    .second_file_fallback = "Computing single-file statistics.",
    .stats_log_name = report_texts::quorva_stats_log,
    .hist_log_name = report_texts::quorva_hist_log,
    .naming = {".NEF", ".nef", lookup_extensions},
    .probe = nef_probe,
    .check_samples = nullptr,           // the probe's size test covers the samples
    .fixed_saturation_level = 15250,    // replaced by the camera table's level
    .window = {.even_origin = true,     // every window starts on an R sample
               .second_window = false,  // -U and -V are accepted and ignored
               .comma_line = false},
    .ave_label = "ave ",
    .histogram = {.start_floor = 1,
                  .end_extra = 0,  // E at least S + N - 1
                  .header = report_texts::quorva_histogram_header},
    .derived = {.clip_factor = 4.0,
                .o_mode_red_round = 5,
                .debug_fit_lines = true,
                .normality_header = report_texts::quorva_normality_header},
};

}  // namespace

const ProgramProfile& quorva_profile()
{
    return profile;
}
