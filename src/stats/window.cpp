#include "stats/window.h"

#include <algorithm>

#include "input/raw_image_info.h"
#include "reports/report_texts.h"
#include "reports/text_out.h"

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

WindowSpec place_window(const WindowRules& rules, const WindowRequest& request, const RawImageInfo& info)
{
    WindowSpec window;
    window.W = size_dimension(request.W, info.width);
    window.H = size_dimension(request.H == 0 ? static_cast<int32_t>(window.W) : request.H, info.height);

    int64_t X = centred(request.X, window.W, info.width);
    int64_t Y = centred(request.Y, window.H, info.height);
    int64_t X2 = request.X2 == -1 ? X : request.X2;
    int64_t Y2 = request.Y2 == -1 ? Y : request.Y2;

    X = clamp_edge(X, window.W, info.width);
    Y = clamp_edge(Y, window.H, info.height);

    if (rules.even_origin) {
        X &= ~int64_t{1};
        Y &= ~int64_t{1};
        X2 = X;
        Y2 = Y;
    } else if (rules.second_window) {
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
    return window;
}

void print_window_line(const WindowRules& rules, Console& console, const RawImageInfo& info, const WindowSpec& window)
{
    const unsigned long width = info.width;
    const unsigned long height = info.height;
    const long W = static_cast<long>(window.W);
    const long H = static_cast<long>(window.H);
    const long X = static_cast<long>(window.X);
    const long Y = static_cast<long>(window.Y);
    if (rules.comma_line)
        say(console, "Image %lux%lu, Window %ldx%ld, X=%ld, Y=%ld\n", width, height, W, H, X, Y);
    else
        say(console, "Image %lux%lu, Window %ldx%ld at X=%ld Y=%ld\n", width, height, W, H, X, Y);
}

std::string table_source(const std::string& first, const std::string* second, const WindowSpec& window)
{
    TextBuffer text;
    add_text(text, report_texts::source_file, first.c_str());
    if (second)
        add_text(text, report_texts::source_second_file, second->c_str());
    add_text(text, report_texts::source_window, static_cast<long>(window.W), static_cast<long>(window.H),
             static_cast<long>(window.X), static_cast<long>(window.Y));
    return text.text;
}
