// Formatted text output: the console and report tables are assembled through
// these printf-style functions, checked by the compiler against their formats.
#pragma once

#include <cstdio>
#include <string>

// On Windows the C99 printf of mingw-w64 does the formatting, so formats are
// checked as C99 formats there too, not as the system printf's.
#ifdef __MINGW32__
#define RAWSTATS_PRINTF(fmt_index, first_arg) __attribute__((format(gnu_printf, fmt_index, first_arg)))
#else
#define RAWSTATS_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#endif

// Text assembled in memory, so that a whole table or record line can be
// appended to its report file with a single write.
struct TextBuffer {
    std::string text;
};

void add_text(TextBuffer& buffer, const char* format, ...) RAWSTATS_PRINTF(2, 3);

// The console a run prints to: standard output for the programs, any stream
// for tests that run a whole program in-process, or a string (a caller that
// passes a step's messages on only when it fails).
struct Console {
    std::FILE* stream = stdout;
    bool lost = false;               // known not to reach anyone: standard output was closed
    std::string* capture = nullptr;  // when set, the text goes here instead of the stream
};

// Whether everything said so far reached the console.
bool console_written(Console& console);

void say(Console& console, const char* format, ...) RAWSTATS_PRINTF(2, 3);

// A floating-point value made safe for printf: every NaN (whatever its sign)
// and every infinity prints as "nan", never "-nan" or "inf".
double printable(double value);
// Only NaN is replaced; infinities stay as they are.
double printable_nan(double value);
