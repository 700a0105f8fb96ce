#include "run/text_out.h"

#include <cmath>
#include <cstdarg>
#include <limits>

void add_text(TextBuffer& buffer, const char* format, ...)
{
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
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

void say(Console& console, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(console.stream, format, args);
    va_end(args);
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
