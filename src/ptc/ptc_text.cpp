#include "ptc/ptc_text.h"

#include <cstdarg>
#include <cstdio>

namespace {

void append_v(std::string& out, const char* format, va_list args)
{
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    if (length > 0) {
        const size_t old_size = out.size();
        out.resize(old_size + static_cast<size_t>(length) + 1);
        std::vsnprintf(out.data() + old_size, static_cast<size_t>(length) + 1, format, again);
        out.resize(old_size + static_cast<size_t>(length));
    }
    va_end(again);
}

}  // namespace

std::string text_of(const char* format, ...)
{
    std::string out;
    va_list args;
    va_start(args, format);
    append_v(out, format, args);
    va_end(args);
    return out;
}

void append(std::string& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    append_v(out, format, args);
    va_end(args);
}
