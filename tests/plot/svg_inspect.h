// A small strict XML reader (one root, matched tags, quoted unrepeated
// attributes, known entities) and helpers to look into drawn SVG.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plot_test {

struct XmlNode {
    std::string name, text;
    std::map<std::string, std::string> attributes;
    std::vector<XmlNode> children;

    std::string attr(const std::string& key) const { return attributes.count(key) ? attributes.at(key) : ""; }
    double number(const std::string& key) const { return std::strtod(attr(key).c_str(), nullptr); }
};

struct XmlDocument {
    bool ok = false;
    std::string error;
    XmlNode root;
};

// Builds the element tree; refuses mismatched or unclosed tags, unquoted
// attributes, a raw '<' in a value and unknown entities.
inline XmlDocument parse_xml(std::string_view s)
{
    constexpr auto npos = std::string_view::npos;
    auto fail = [](const char* why) { throw std::runtime_error(why); };
    auto decode = [&](std::string_view t) {
        static const std::map<std::string_view, char> known = {
            {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
        std::string out;
        for (size_t k = 0; k < t.size(); ++k) {
            const size_t e = t[k] == '&' ? t.find(';', k) : k;
            const std::string_view ref = e == npos ? "" : t.substr(k + 1, e - k - 1);
            if (t[k] == '<' || (e != k && !known.count(ref) && !(ref.size() > 1 && ref[0] == '#')))
                fail("'<' or an unknown entity in a value");
            out += e == k ? t[k] : ref[0] == '#' ? '?' : known.at(ref);
            k = e;
        }
        return out;
    };
    XmlDocument doc;
    std::vector<XmlNode*> open;  // the elements not yet closed, outermost first
    size_t i = s.substr(0, 2) == "<?" ? std::min(s.find("?>"), s.size() - 2) + 2 : 0;
    try {
        for (size_t lt; (lt = s.find('<', i)) != npos;) {
            if (!open.empty())
                open.back()->text += decode(s.substr(i, lt - i));
            i = s.find('>', lt) + 1;
            std::string_view tag = s.substr(lt + 1, i - lt - 2);
            if (i == 0 || tag.empty() || tag.find('<') != npos)
                fail("a broken tag");
            if (tag[0] == '/') {
                if (open.empty() || open.back()->name != tag.substr(1))
                    fail("a mismatched end tag");
                open.pop_back();
                continue;
            }
            if (open.empty() && !doc.root.name.empty())
                fail("a second root");
            XmlNode& node = open.empty() ? doc.root : open.back()->children.emplace_back();
            const bool empty = tag.back() == '/';
            tag = tag.substr(0, tag.size() - empty);
            size_t k = std::min(tag.find_first_of(" \n"), tag.size());
            node.name = tag.substr(0, k);
            for (size_t eq; (eq = tag.find('=', k)) != npos; k = tag.find('"', eq + 2) + 1) {
                if (tag.substr(eq + 1, 1) != "\"" || tag.find('"', eq + 2) == npos)
                    fail("an unquoted attribute");
                const size_t b = tag.find_first_not_of(" \n", k);
                node.attributes[std::string(tag.substr(b, eq - b))] = decode(tag.substr(eq + 2, tag.find('"', eq + 2) - eq - 2));
            }
            if (node.name.empty() || tag.find_first_not_of(" \n", k) != npos)
                fail("a name and attributes expected");
            if (!empty)
                open.push_back(&node);
        }
        if (!open.empty() || doc.root.name.empty())
            fail("an unclosed element");
        doc.ok = true;
    } catch (const std::runtime_error& e) {
        doc.error = e.what() + (" at byte " + std::to_string(i));
    }
    return doc;
}

template <typename Predicate>
std::vector<const XmlNode*> find_all(const XmlNode& node, Predicate keep, std::vector<const XmlNode*> out = {})
{
    if (keep(node))
        out.push_back(&node);
    for (const XmlNode& c : node.children)
        out = find_all(c, keep, std::move(out));
    return out;
}

inline std::vector<const XmlNode*> with_attr(const XmlNode& root, const std::string& key, const std::string& value)
{
    return find_all(root, [&](const XmlNode& n) { return n.attr(key) == value; });
}

inline std::vector<const XmlNode*> series_named(const XmlNode& root, const std::string& name)
{
    return find_all(root, [&](const XmlNode& n) { return n.attr("class") == "series" && n.attr("data-name") == name; });
}

// The elements of a series group's "markers" or "bars".
inline std::vector<const XmlNode*> parts_of(const XmlNode& series, const std::string& group)
{
    std::vector<const XmlNode*> out;
    for (const XmlNode& c : series.children)
        if (c.attr("class") == group)
            for (const XmlNode& m : c.children)
                out.push_back(&m);
    return out;
}

struct Point {
    double x = 0.0, y = 0.0;
};

// The vertices of a series group's curve (a path of M, L, H and V commands), one list per subpath.
inline std::vector<std::vector<Point>> curve_of(const XmlNode& series)
{
    std::vector<std::vector<Point>> out;
    Point p;
    for (const XmlNode* curve : with_attr(series, "class", "curve"))
        for (const char* c = curve->attributes.at("d").c_str(); *c;) {
            const char command = *c++;
            if (!std::strchr("MLHV", command))
                continue;
            char* end = nullptr;
            (command == 'V' ? p.y : p.x) = std::strtod(c, &end);
            if (command == 'M' || command == 'L')
                p.y = std::strtod(end, &end);
            c = end;
            if (command == 'M' || out.empty())
                out.emplace_back();
            out.back().push_back(p);
        }
    return out;
}

}  // namespace plot_test
