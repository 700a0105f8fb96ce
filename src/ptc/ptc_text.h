// Text assembled in memory with printf-style formats the compiler checks.
#pragma once

#include <string>

#define PTC_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))

// The formatted text.
std::string text_of(const char* format, ...) PTC_PRINTF(1, 2);

// Appends the formatted text.
void append(std::string& out, const char* format, ...) PTC_PRINTF(2, 3);
