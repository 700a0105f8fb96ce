#include "stats/window.h"

#include <algorithm>

#include "input/raw_image_info.h"
#include "run/program_profile.h"
#include "run/run_settings.h"
#include "run/text_out.h"

namespace {

// One dimension: at least 2 and at most the image (compared unsigned, so a
// negative request acts as a huge one), capped, then rounded down to even.
int64_t size_dimension(int32_t requested, uint32_t image_size)
{
    uint64_t size = static_cast<uint32_t>(requested);
    if (size < 2)
        size = 2;
    if (size > image_size)
        size = image_size;
    size = std::min<uint64_t>(size, max_window_dim);
    return static_cast<int64_t>(size & ~uint64_t{1});
}

// Brings an edge into [0, image - size].
int64_t clamp_edge(int64_t edge, int64_t size, uint32_t image_size)
{
    if (edge < 0)
        edge = 0;
    if (edge + size > int64_t{image_size})
        edge = int64_t{image_size} - size;
    return edge;
}

int64_t centred(int32_t requested, int64_t size, uint32_t image_size)
{
    return requested == -1 ? (int64_t{image_size} - size) / 2 : requested;
}

bool is_odd(int64_t value)
{
    return (value & 1) != 0;
}

// Moves image 2's edge by one so both windows share the mosaic phase; back
// instead of forward when forward would leave the image.
int64_t match_phase(int64_t edge, int64_t edge2, int64_t size, uint32_t image_size)
{
    if (!is_odd(edge - edge2))
        return edge2;
    return edge2 + 1 + size > int64_t{image_size} ? edge2 - 1 : edge2 + 1;
}

}  // namespace

void size_window(const RunSettings& settings, const RawImageInfo& info, WindowSpec& window)
{
    window.W = size_dimension(settings.W, info.width);
    window.H = size_dimension(settings.H == 0 ? static_cast<int32_t>(window.W) : settings.H, info.height);
}

void place_window(const ProgramProfile& profile, const RunSettings& settings, const RawImageInfo& info,
                  WindowSpec& window)
{
    int64_t X = centred(settings.X, window.W, info.width);
    int64_t Y = centred(settings.Y, window.H, info.height);
    int64_t X2 = settings.X2 == -1 ? X : settings.X2;
    int64_t Y2 = settings.Y2 == -1 ? Y : settings.Y2;

    X = clamp_edge(X, window.W, info.width);
    Y = clamp_edge(Y, window.H, info.height);

    if (profile.even_window_origin) {
        X &= ~int64_t{1};
        Y &= ~int64_t{1};
        X2 = X;
        Y2 = Y;
    } else if (profile.has_second_window) {
        X2 = clamp_edge(X2, window.W, info.width);
        Y2 = clamp_edge(Y2, window.H, info.height);
        Y2 = match_phase(Y, Y2, window.H, info.height);
        X2 = match_phase(X, X2, window.W, info.width);
    } else {
        X2 = X;
        Y2 = Y;
    }
    window.X = X;
    window.Y = Y;
    window.X2 = X2;
    window.Y2 = Y2;
}

void apply_spectrum_limits(RunSettings& s, const WindowSpec& window)
{
    if (s.multi_line) {
        if (!s.row_lines && !s.col_lines)
            s.row_lines = s.col_lines = true;
        if (s.row_lines && window.W > MULTI_ARRAY_DIM) {
            s.row_lines = false;
            s.options_disabled = true;
        }
        if (s.col_lines && window.H > MULTI_ARRAY_DIM) {
            s.col_lines = false;
            s.options_disabled = true;
        }
        if (!s.row_lines && !s.col_lines) {
            s.multi_line = false;
        } else {
            // With -M, -R and -C only choose the directions, and -F gives way.
            s.rcdn_rows = s.rcdn_cols = false;
            s.ft_coef = false;
        }
    }
    if (s.ft_coef) {
        s.row_lines = s.col_lines = true;
        if (window.W > MATH_ARRAY_DIM) {
            s.row_lines = false;
            s.options_disabled = true;
        }
        if (window.H > MATH_ARRAY_DIM) {
            s.col_lines = false;
            s.options_disabled = true;
        }
        if (!s.row_lines && !s.col_lines)
            s.ft_coef = false;
    }
}

void apply_profile_limits(RunSettings& s, const WindowSpec& window)
{
    if (s.rcdn_rows && window.W > MATH_ARRAY_DIM) {
        s.rcdn_rows = false;
        s.options_disabled = true;
    }
    if (s.rcdn_cols && window.H > MATH_ARRAY_DIM) {
        s.rcdn_cols = false;
        s.options_disabled = true;
    }
}

void print_window_line(const ProgramProfile& profile, Console& console, const RawImageInfo& info,
                       const WindowSpec& window)
{
    const unsigned long width = info.width;
    const unsigned long height = info.height;
    const long W = static_cast<long>(window.W);
    const long H = static_cast<long>(window.H);
    const long X = static_cast<long>(window.X);
    const long Y = static_cast<long>(window.Y);
    if (profile.comma_window_line)
        say(console, "Image %lux%lu, Window %ldx%ld, X=%ld, Y=%ld\n", width, height, W, H, X, Y);
    else
        say(console, "Image %lux%lu, Window %ldx%ld at X=%ld Y=%ld\n", width, height, W, H, X, Y);
}
