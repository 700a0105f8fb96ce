#include "plot/text_metrics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace plot {

namespace {

// Advance widths of DejaVu Sans and DejaVu Sans Bold for the characters 32 to
// 126, in 1/2048 of the font size.
constexpr uint16_t book_advance[95] = {
    651, 821, 942, 1716, 1303, 1946, 1597, 563, 799, 799, 1024, 1716, 651, 739, 651, 690,
    1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 1303, 690, 690, 1716, 1716, 1716, 1087,
    2048, 1401, 1405, 1430, 1577, 1294, 1178, 1587, 1540, 604, 604, 1343, 1141, 1767, 1532, 1612,
    1235, 1612, 1423, 1300, 1251, 1499, 1401, 2025, 1403, 1251, 1403, 799, 690, 799, 1716, 1024,
    1024, 1255, 1300, 1126, 1300, 1260, 721, 1300, 1298, 569, 569, 1186, 569, 1995, 1298, 1253,
    1300, 1300, 842, 1067, 803, 1298, 1212, 1675, 1212, 1212, 1075, 1303, 690, 1303, 1716,
};
constexpr uint16_t bold_advance[95] = {
    713, 934, 1067, 1716, 1425, 2052, 1786, 627, 936, 936, 1071, 1716, 778, 850, 778, 748,
    1425, 1425, 1425, 1425, 1425, 1425, 1425, 1425, 1425, 1425, 819, 819, 1716, 1716, 1716, 1188,
    2048, 1585, 1561, 1503, 1700, 1399, 1399, 1681, 1714, 762, 762, 1587, 1305, 2038, 1714, 1741,
    1501, 1741, 1577, 1475, 1397, 1663, 1585, 2259, 1579, 1483, 1485, 936, 748, 936, 1716, 1024,
    1024, 1382, 1466, 1214, 1466, 1389, 891, 1466, 1458, 702, 702, 1362, 702, 2134, 1458, 1407,
    1466, 1466, 1010, 1219, 979, 1458, 1335, 1892, 1321, 1335, 1192, 1458, 748, 1458, 1716,
};
// Any other character (the plots use a few: ≥, −, ×, …): a whole em, the
// widest a character of the font gets.
constexpr uint16_t other_advance = 2048;
// The character '?' that xml_text puts in place of a control character.
constexpr unsigned char question_mark = '?';

uint16_t advance(unsigned char c, bool bold)
{
    if (c < 32 || c > 126)
        c = question_mark;
    return (bold ? bold_advance : book_advance)[c - 32];
}

const char* const ellipsis = "\xE2\x80\xA6";

// Byte length of the UTF-8 character that starts with c (1 for a stray byte).
size_t sequence_length(unsigned char c)
{
    return c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
}

}  // namespace

double text_width(std::string_view text, double font_size, bool bold)
{
    double units = 0.0;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            units += advance(c, bold);
            ++i;
        } else {
            units += other_advance;
            i += std::min(sequence_length(c), text.size() - i);
        }
    }
    return units * font_size / 2048.0;
}

std::string fit_text(std::string_view text, double font_size, double width, bool bold)
{
    if (text_width(text, font_size, bold) <= width)
        return std::string(text);
    // Character starts, so that a cut never splits a UTF-8 sequence.
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); i += std::min(sequence_length(static_cast<unsigned char>(text[i])), text.size() - i))
        starts.push_back(i);
    // Keep the first and the last characters, fewer each round.
    const size_t n = starts.size();
    if (n == 0)
        return {};
    for (size_t keep = n - 1; keep > 0; --keep) {
        const size_t head = (keep + 1) / 2;
        const size_t tail = keep / 2;
        std::string s = std::string(text.substr(0, starts[head])) + ellipsis;
        if (tail > 0)
            s += text.substr(starts[n - tail]);
        if (text_width(s, font_size, bold) <= width)
            return s;
    }
    return ellipsis;
}

std::vector<std::string> wrap_text(std::string_view text, double font_size, double width)
{
    std::vector<std::string> lines;
    std::string line;
    size_t i = 0;
    while (i < text.size()) {
        const size_t blank = text.find(' ', i);
        const std::string_view word = text.substr(i, blank == std::string_view::npos ? std::string_view::npos : blank - i);
        i = blank == std::string_view::npos ? text.size() : blank + 1;
        if (word.empty())
            continue;
        const std::string candidate = line.empty() ? std::string(word) : line + " " + std::string(word);
        if (text_width(candidate, font_size) <= width || line.empty()) {
            line = candidate;
        } else {
            lines.push_back(fit_text(line, font_size, width));
            line = std::string(word);
        }
    }
    if (!line.empty() || lines.empty())
        lines.push_back(fit_text(line, font_size, width));
    return lines;
}

std::string format_number(double v, int decimals)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v > 0 ? "inf" : "-inf";
    decimals = std::clamp(decimals, 0, 17);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    std::string s(buffer);
    // A negative value that rounds to zero prints as "-0.00": drop the sign.
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos)
        s.erase(0, 1);
    return s;
}

std::string format_figure(double v, int digits)
{
    if (!std::isfinite(v) || v == 0.0 || std::fabs(v) < 1e-3 || std::fabs(v) >= 1e7) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*g", std::max(1, digits), v);
        return buffer;
    }
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(v))));
    return format_number(v, std::max(0, digits - 1 - magnitude));
}

std::string format_whole(double v)
{
    if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
        return format_number(v, 0);
    return format_figure(v, 6);
}

std::string xml_text(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += (c < 0x20 && c != '\t') || c == 0x7F ? '?' : static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A well-formed UTF-8 sequence is copied; anything else becomes '?'.
        size_t length = 0;
        uint32_t code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07u;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned char cc = static_cast<unsigned char>(text[i + k]);
            valid = (cc & 0xC0) == 0x80;
            code = (code << 6) | (cc & 0x3Fu);
        }
        if (valid) {
            const uint32_t least = length == 2 ? 0x80u : length == 3 ? 0x800u : 0x10000u;
            valid = code >= least && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE &&
                    code != 0xFFFF;
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += '?';
            ++i;
        }
    }
    return out;
}

}  // namespace plot
