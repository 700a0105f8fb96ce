#include "run/run_plan.h"

#include "input/raw_image_info.h"
#include "run/program_profile.h"
#include "run/run_settings.h"

namespace {

// The spectrum and profile options that survive the window's size, and the
// directions the spectra take.
struct TableChoice {
    bool ft_coef, multi_line, row_lines, col_lines, rcdn_rows, rcdn_cols;
    bool disabled = false;
};

void apply_spectrum_limits(TableChoice& t, const WindowSpec& w)
{
    if (t.multi_line) {
        if (!t.row_lines && !t.col_lines)
            t.row_lines = t.col_lines = true;
        if (t.row_lines && w.W > MULTI_ARRAY_DIM) {
            t.row_lines = false;
            t.disabled = true;
        }
        if (t.col_lines && w.H > MULTI_ARRAY_DIM) {
            t.col_lines = false;
            t.disabled = true;
        }
        if (!t.row_lines && !t.col_lines) {
            t.multi_line = false;
        } else {
            // With -M, -R and -C only choose the directions, and -F gives way.
            t.rcdn_rows = t.rcdn_cols = false;
            t.ft_coef = false;
        }
    }
    if (t.ft_coef) {
        t.row_lines = t.col_lines = true;
        if (w.W > MATH_ARRAY_DIM) {
            t.row_lines = false;
            t.disabled = true;
        }
        if (w.H > MATH_ARRAY_DIM) {
            t.col_lines = false;
            t.disabled = true;
        }
        if (!t.row_lines && !t.col_lines)
            t.ft_coef = false;
    }
}

void apply_profile_limits(TableChoice& t, const WindowSpec& w)
{
    if (t.rcdn_rows && w.W > MATH_ARRAY_DIM) {
        t.rcdn_rows = false;
        t.disabled = true;
    }
    if (t.rcdn_cols && w.H > MATH_ARRAY_DIM) {
        t.rcdn_cols = false;
        t.disabled = true;
    }
}

}  // namespace

RunPlan plan_run(const ProgramProfile& profile, const RunSettings& s, const RawImageInfo& info)
{
    RunPlan plan;
    const WindowRequest request{s.W, s.H, s.X, s.Y, s.X2, s.Y2};
    plan.window = place_window(profile.window, request, info);
    if (s.hist_enabled)
        plan.histogram = normalise_histogram(profile.histogram, s.S, s.B, s.E, s.N);

    TableChoice t{s.ft_coef, s.multi_line, s.row_lines, s.col_lines, s.rcdn_rows, s.rcdn_cols};
    apply_spectrum_limits(t, plan.window);
    if (t.ft_coef || t.multi_line)
        plan.spectra = plan_spectra(KernelMode{s.autocorr, t.ft_coef}, s.ft_upper, t.row_lines, t.col_lines,
                                    plan.window.W, plan.window.H);
    plan.profile_log = t.rcdn_rows || t.rcdn_cols;
    apply_profile_limits(t, plan.window);

    plan.ft_coef = t.ft_coef;
    plan.multi_line = t.multi_line;
    plan.rcdn_rows = t.rcdn_rows;
    plan.rcdn_cols = t.rcdn_cols;
    plan.options_disabled = t.disabled;
    return plan;
}
