// A minimal XML reader for the tests: checks that a document is well formed
// (one root, matched tags, quoted and unrepeated attributes, known entities,
// valid UTF-8) and returns its element tree for inspection.
#pragma once

#include <cctype>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace plot_test {

struct XmlNode {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<XmlNode> children;
    std::string text;  // character data directly inside, entities decoded

    const std::string& attr(const std::string& key) const
    {
        static const std::string none;
        const auto it = attributes.find(key);
        return it == attributes.end() ? none : it->second;
    }
};

struct XmlDocument {
    bool ok = false;
    std::string error;
    XmlNode root;
};

class XmlReader {
public:
    explicit XmlReader(std::string_view text) : s_(text) {}

    XmlDocument read()
    {
        XmlDocument doc;
        if (!valid_utf8()) {
            doc.error = "not UTF-8";
            return doc;
        }
        skip_misc();
        if (!element(doc.root)) {
            doc.error = error_ + " at byte " + std::to_string(i_);
            return doc;
        }
        skip_misc();
        if (i_ != s_.size()) {
            doc.error = "content after the root element at byte " + std::to_string(i_);
            return doc;
        }
        doc.ok = true;
        return doc;
    }

private:
    std::string_view s_;
    size_t i_ = 0;
    std::string error_;

    bool fail(const std::string& why)
    {
        error_ = why;
        return false;
    }

    bool valid_utf8() const
    {
        for (size_t k = 0; k < s_.size();) {
            const auto c = static_cast<unsigned char>(s_[k]);
            size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
            if (n == 0 || k + n > s_.size())
                return false;
            for (size_t j = 1; j < n; ++j)
                if ((static_cast<unsigned char>(s_[k + j]) & 0xC0) != 0x80)
                    return false;
            if (n == 1 && c < 0x20 && c != '\n' && c != '\r' && c != '\t')
                return false;
            k += n;
        }
        return true;
    }

    bool starts(std::string_view p) const { return s_.substr(i_, p.size()) == p; }

    void skip_space()
    {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
            ++i_;
    }

    // Declarations, processing instructions, comments and blanks outside the root.
    void skip_misc()
    {
        for (;;) {
            skip_space();
            if (starts("<?")) {
                const size_t end = s_.find("?>", i_);
                i_ = end == std::string_view::npos ? s_.size() : end + 2;
            } else if (starts("<!--")) {
                const size_t end = s_.find("-->", i_);
                i_ = end == std::string_view::npos ? s_.size() : end + 3;
            } else {
                return;
            }
        }
    }

    static bool name_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':'; }
    static bool name_char(char c)
    {
        return name_start(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.';
    }

    bool name(std::string& out)
    {
        if (i_ >= s_.size() || !name_start(s_[i_]))
            return fail("name expected");
        const size_t start = i_;
        while (i_ < s_.size() && name_char(s_[i_]))
            ++i_;
        out = std::string(s_.substr(start, i_ - start));
        return true;
    }

    // Character data up to the stop character, entities decoded.
    bool chars(char stop, std::string& out)
    {
        while (i_ < s_.size() && s_[i_] != stop) {
            const char c = s_[i_];
            if (c == '<')
                return fail("'<' in character data");
            if (c != '&') {
                out += c;
                ++i_;
                continue;
            }
            const size_t end = s_.find(';', i_);
            if (end == std::string_view::npos)
                return fail("unterminated entity");
            const std::string_view ref = s_.substr(i_ + 1, end - i_ - 1);
            if (ref == "amp")
                out += '&';
            else if (ref == "lt")
                out += '<';
            else if (ref == "gt")
                out += '>';
            else if (ref == "quot")
                out += '"';
            else if (ref == "apos")
                out += '\'';
            else if (ref.size() > 1 && ref[0] == '#') {
                const bool hex = ref[1] == 'x';
                const std::string digits(ref.substr(hex ? 2 : 1));
                if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                                          std::string::npos)
                    return fail("bad character reference");
                out += '?';
            } else {
                return fail("unknown entity &" + std::string(ref) + ";");
            }
            i_ = end + 1;
        }
        return true;
    }

    bool element(XmlNode& node)
    {
        if (!starts("<"))
            return fail("element expected");
        ++i_;
        if (!name(node.name))
            return false;
        for (;;) {
            const size_t before = i_;
            skip_space();
            if (starts("/>")) {
                i_ += 2;
                return true;
            }
            if (starts(">")) {
                ++i_;
                break;
            }
            if (i_ == before)
                return fail("blank expected before an attribute");
            std::string key;
            if (!name(key))
                return false;
            skip_space();
            if (!starts("="))
                return fail("'=' expected");
            ++i_;
            skip_space();
            if (i_ >= s_.size() || (s_[i_] != '"' && s_[i_] != '\''))
                return fail("quoted value expected");
            const char quote = s_[i_++];
            std::string value;
            if (!chars(quote, value))
                return false;
            if (i_ >= s_.size())
                return fail("unterminated attribute value");
            ++i_;
            if (!node.attributes.emplace(key, value).second)
                return fail("repeated attribute " + key);
        }
        for (;;) {
            if (i_ >= s_.size())
                return fail("unclosed element " + node.name);
            if (starts("</")) {
                i_ += 2;
                std::string end_name;
                if (!name(end_name))
                    return false;
                if (end_name != node.name)
                    return fail("</" + end_name + "> closes <" + node.name + ">");
                skip_space();
                if (!starts(">"))
                    return fail("'>' expected");
                ++i_;
                return true;
            }
            if (starts("<!--")) {
                const size_t end = s_.find("-->", i_);
                if (end == std::string_view::npos)
                    return fail("unterminated comment");
                i_ = end + 3;
            } else if (starts("<")) {
                node.children.emplace_back();
                if (!element(node.children.back()))
                    return false;
            } else if (!chars('<', node.text)) {
                return false;
            }
        }
    }
};

inline XmlDocument parse_xml(std::string_view text)
{
    return XmlReader(text).read();
}

// Every element of the tree, depth first, that satisfies the predicate.
template <typename Predicate>
void collect(const XmlNode& node, Predicate keep, std::vector<const XmlNode*>& out)
{
    if (keep(node))
        out.push_back(&node);
    for (const XmlNode& c : node.children)
        collect(c, keep, out);
}

}  // namespace plot_test
