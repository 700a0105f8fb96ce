// index.html: the plots of a reportplot run as one page, grouped by run.
#pragma once

#include <string>
#include <vector>

#include "plot/report_tables.h"

namespace plot {

struct PagePlot {
    std::string stem;   // the plot is stem.svg, its data stem.tsv
    std::string title;  // the table's title
    std::string report;
    int line = 0;       // of the table's title in its report file
    TableSource source;
    double width = 0.0;  // of the SVG, in pixels
    double height = 0.0;
    bool data = false;   // a .tsv was written beside it
};

// A contents list, then one section per run (file or files and window, in the
// order of each run's first plot), each a grid of its plots at their own size
// that uses the width of the window; beside each plot the report file and
// line it was drawn from. Plain HTML and CSS, no script.
std::string report_page(const std::vector<PagePlot>& plots, const std::string& source_dir);

}  // namespace plot
