#include "plot/report_page.h"

#include <unordered_map>

#include "plot/text_metrics.h"

namespace plot {

namespace {

const char* const page_style = R"(body { font-family: "DejaVu Sans", Verdana, Arial, sans-serif; margin: 16px; color: #222222; }
h1 { font-size: 1.35em; margin: 0 0 0.3em 0; }
p.about { margin: 0 0 1em 0; color: #444444; }
nav { margin: 0 0 1.5em 0; }
nav ol { margin: 0.3em 0 0 0; padding-left: 1.6em; }
nav ul { margin: 0.1em 0 0.4em 0; padding-left: 1.2em; }
section.run { margin: 0 0 2em 0; }
h2 { font-size: 1.1em; margin: 0 0 0.6em 0; padding-bottom: 0.2em; border-bottom: 1px solid #cccccc;
     overflow-wrap: anywhere; }
div.plots { display: grid; gap: 20px 24px; justify-content: start;
            grid-template-columns: repeat(auto-fill, minmax(min(100%, var(--plot-width)), var(--plot-width))); }
figure { margin: 0; min-width: 0; }
figure img { display: block; max-width: 100%; height: auto; }
figcaption { font-size: 0.85em; color: #444444; margin-top: 0.3em; overflow-wrap: anywhere; }
)";

std::string escape(const std::string& text)
{
    return xml_text(text);
}

std::string run_heading(const TableSource& s)
{
    return s.files + " \xC2\xB7 window " + std::to_string(s.width) + " \xC3\x97 " + std::to_string(s.height) + " at X=" +
           std::to_string(s.x) + " Y=" + std::to_string(s.y);
}

std::string number(double v)
{
    return format_whole(v);
}

}  // namespace

std::string report_page(const std::vector<PagePlot>& plots, const std::string& source_dir)
{
    // Runs in the order of their first plot.
    std::vector<std::vector<const PagePlot*>> runs;
    std::unordered_map<std::string, size_t> run_of;
    double widest = 0.0;
    for (const PagePlot& p : plots) {
        const auto [at, added] = run_of.try_emplace(p.source.text, runs.size());
        if (added)
            runs.emplace_back();
        runs[at->second].push_back(&p);
        widest = std::max(widest, p.width);
    }

    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>Report plots</title>\n<style>\n:root { --plot-width: " +
                       number(widest) + "px; }\n" + page_style + "</style>\n</head>\n<body>\n<h1>Report plots</h1>\n";
    html += "<p class=\"about\">" + std::to_string(plots.size()) + " plot" + (plots.size() == 1 ? "" : "s") +
            " of the report tables in " + (source_dir == "." ? std::string("the current directory") : escape(source_dir)) +
            ", by run: the file or files and the window.</p>\n";
    html += "<nav>\n<strong>Contents</strong>\n<ol>\n";
    for (size_t r = 0; r < runs.size(); ++r) {
        html += "<li><a href=\"#run-" + std::to_string(r + 1) + "\">" + escape(run_heading(runs[r][0]->source)) +
                "</a>\n<ul>\n";
        for (const PagePlot* p : runs[r])
            html += "<li><a href=\"#" + escape(p->stem) + "\">" + escape(p->title) + "</a> (" + escape(p->report) +
                    ")</li>\n";
        html += "</ul></li>\n";
    }
    html += "</ol>\n</nav>\n";
    for (size_t r = 0; r < runs.size(); ++r) {
        html += "<section class=\"run\" id=\"run-" + std::to_string(r + 1) + "\">\n<h2>" +
                escape(run_heading(runs[r][0]->source)) + "</h2>\n<div class=\"plots\">\n";
        for (const PagePlot* p : runs[r]) {
            const std::string svg = escape(p->stem) + ".svg";
            html += "<figure id=\"" + escape(p->stem) + "\">\n<img src=\"" + svg + "\" width=\"" + number(p->width) +
                    "\" height=\"" + number(p->height) + "\" alt=\"" + escape(p->title) + "\">\n<figcaption>From " +
                    escape(p->report) + " line " + std::to_string(p->line) + " \xC2\xB7 <a href=\"" + svg + "\">" + svg +
                    "</a>";
            if (p->data)
                html += " \xC2\xB7 <a href=\"" + escape(p->stem) + ".tsv\">data</a>";
            html += "</figcaption>\n</figure>\n";
        }
        html += "</div>\n</section>\n";
    }
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace plot
