#include "reports/text_out.h"

#include <cmath>
#include <cstdarg>
#include <limits>

namespace {

RAWSTATS_PRINTF(2, 0) void add_text_v(TextBuffer& buffer, const char* format, va_list args)
{
    char small[256];
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(length) < sizeof small) {
        buffer.text.append(small, static_cast<size_t>(length));
    } else {
        const size_t old_size = buffer.text.size();
        buffer.text.resize(old_size + static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.text.data() + old_size, static_cast<size_t>(length) + 1, format, again);
        buffer.text.resize(old_size + static_cast<size_t>(length));
    }
    va_end(again);
}

}  // namespace

void add_text(TextBuffer& buffer, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    add_text_v(buffer, format, args);
    va_end(args);
}

void say(Console& console, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    if (console.capture) {
        TextBuffer text;
        add_text_v(text, format, args);
        *console.capture += text.text;
    } else {
        std::vfprintf(console.stream, format, args);
    }
    va_end(args);
}

bool console_written(Console& console)
{
    if (console.capture)
        return true;
    const bool flushed = std::fflush(console.stream) == 0 && !std::ferror(console.stream);
    return flushed && !console.lost;
}

double printable(double value)
{
    if (std::isnan(value) || std::isinf(value))
        return std::numeric_limits<double>::quiet_NaN();
    return value;
}

double printable_nan(double value)
{
    if (std::isnan(value))
        return std::numeric_limits<double>::quiet_NaN();
    return value;
}
