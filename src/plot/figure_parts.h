// What the figures of the report tables share: titles, colours, series.
#pragma once

#include <string>

#include "plot/report_plots.h"

namespace plot::parts {

inline constexpr const char* plane_names[4] = {"R", "G1", "B", "G2"};
inline constexpr const char* plane_colours[4] = {colour_r, colour_g1, colour_b, colour_g2};
inline constexpr Marker plane_markers[4] = {Marker::square, Marker::triangle, Marker::diamond, Marker::cross};
inline constexpr const char* colour_names[3] = {"Red", "Green", "Blue"};
inline constexpr const char* colour_colours[3] = {colour_r, colour_g1, colour_b};

// The table's title; under it its source and where it is in its report file.
inline Figure titled(const ReportTable& t)
{
    Figure f;
    f.title = table_title(t.kind);
    std::string source = t.source.text;
    if (source.rfind(", ", 0) == 0)
        source.erase(0, 2);
    f.subtitle = source + "   (" + t.report + " line " + std::to_string(t.line) + ")";
    return f;
}

inline Series make_series(std::string name, SeriesKind kind, const char* colour)
{
    Series s;
    s.name = std::move(name);
    s.kind = kind;
    s.style.colour = colour;
    return s;
}

// "R", "R and B", "R, G1 and B".
inline std::string name_list(const std::vector<std::string>& names)
{
    std::string out;
    for (size_t i = 0; i < names.size(); ++i)
        out += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    return out;
}

// Whether the title names two files ("A - B"); a name that holds " - "
// itself reads as two.
inline bool two_files(const ReportTable& t)
{
    return t.source.files.find(" - ") != std::string::npos;
}

}  // namespace plot::parts
