// Looking into drawn SVG documents: the plot area, the series groups, the
// vertices of their paths, their markers and bars, the tick labels.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "plot/xml_check.h"

namespace plot_test {

struct Point {
    double x = 0.0;
    double y = 0.0;
};

using Subpaths = std::vector<std::vector<Point>>;

// The vertices of a path made of M, L, H and V commands, one list per subpath.
inline Subpaths path_vertices(const std::string& d)
{
    Subpaths out;
    Point at;
    size_t i = 0;
    auto number = [&]() {
        char* end = nullptr;
        const double v = std::strtod(d.c_str() + i, &end);
        i = static_cast<size_t>(end - d.c_str());
        while (i < d.size() && d[i] == ' ')
            ++i;
        return v;
    };
    while (i < d.size()) {
        const char command = d[i++];
        if (command == 'M' || command == 'L') {
            at.x = number();
            at.y = number();
        } else if (command == 'H') {
            at.x = number();
        } else if (command == 'V') {
            at.y = number();
        } else {
            continue;  // Z and blanks
        }
        if (command == 'M' || out.empty())
            out.emplace_back();
        out.back().push_back(at);
    }
    return out;
}

inline size_t vertex_count(const Subpaths& paths)
{
    size_t n = 0;
    for (const auto& p : paths)
        n += p.size();
    return n;
}

inline double number_attr(const XmlNode& n, const std::string& key)
{
    return std::strtod(n.attr(key).c_str(), nullptr);
}

struct Area {
    double x = 0, y = 0, width = 0, height = 0;
};

struct SvgView {
    XmlDocument doc;

    explicit SvgView(const std::string& svg) : doc(parse_xml(svg)) {}

    const XmlNode* by_id(const std::string& id) const
    {
        std::vector<const XmlNode*> found;
        collect(doc.root, [&](const XmlNode& n) { return n.attr("id") == id; }, found);
        return found.empty() ? nullptr : found.front();
    }

    Area area() const
    {
        const XmlNode* r = by_id("plot-area");
        if (r == nullptr)
            return {};
        return Area{number_attr(*r, "x"), number_attr(*r, "y"), number_attr(*r, "width"), number_attr(*r, "height")};
    }

    std::vector<const XmlNode*> series() const
    {
        std::vector<const XmlNode*> found;
        collect(doc.root, [](const XmlNode& n) { return n.attr("class") == "series"; }, found);
        return found;
    }

    std::vector<const XmlNode*> series_named(const std::string& name) const
    {
        std::vector<const XmlNode*> out;
        for (const XmlNode* s : series())
            if (s->attr("data-name") == name)
                out.push_back(s);
        return out;
    }

    // Tick labels of an axis group ("x-axis", "y-axis", "y2-axis"): text and position.
    std::vector<std::pair<std::string, Point>> tick_labels(const std::string& axis) const
    {
        std::vector<std::pair<std::string, Point>> out;
        const XmlNode* g = by_id(axis);
        if (g == nullptr)
            return out;
        for (const XmlNode& c : g->children)
            if (c.attr("class") == "tick")
                out.emplace_back(c.text, Point{number_attr(c, "x"), number_attr(c, "y")});
        return out;
    }
};

// The vertices of a series group's curve.
inline Subpaths curve_of(const XmlNode& series)
{
    for (const XmlNode& c : series.children)
        if (c.attr("class") == "curve")
            return path_vertices(c.attr("d"));
    return {};
}

// The elements of a series group's markers or bars ("markers", "bars").
inline std::vector<const XmlNode*> parts_of(const XmlNode& series, const std::string& group)
{
    std::vector<const XmlNode*> out;
    for (const XmlNode& c : series.children)
        if (c.attr("class") == group)
            for (const XmlNode& m : c.children)
                out.push_back(&m);
    return out;
}

// The centre of a marker element (circle, rect or path).
inline Point marker_centre(const XmlNode& m)
{
    if (m.name == "circle")
        return Point{number_attr(m, "cx"), number_attr(m, "cy")};
    if (m.name == "rect")
        return Point{number_attr(m, "x") + number_attr(m, "width") / 2, number_attr(m, "y") + number_attr(m, "height") / 2};
    const Subpaths p = path_vertices(m.attr("d"));
    double sx = 0, sy = 0;
    size_t n = 0;
    for (const auto& sub : p)
        for (const Point& v : sub) {
            sx += v.x;
            sy += v.y;
            ++n;
        }
    return n ? Point{sx / static_cast<double>(n), sy / static_cast<double>(n)} : Point{};
}

}  // namespace plot_test
