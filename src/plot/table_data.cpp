// A report table as tab-separated data, every value as written.
#include <cstdio>

#include "plot/report_plots.h"
#include "plot/text_metrics.h"

namespace plot {

std::string table_tsv(const ReportTable& t)
{
    std::string out = "# " + t.title_line + "\n# " + t.report + " line " + std::to_string(t.line) + "\n";
    const char* columns = "";
    double bin_width = 1.0;
    switch (t.kind) {
    case TableKind::histogram:
        out += "# The first row counts the DN below the range, the last row those at or above its end.\n";
        columns = "base\tR\tG1\tB\tG2";
        break;
    case TableKind::normality:
        bin_width = t.row_count() > 2 ? t.at(2, 0) - 1.0 : 1.0;
        out += "# DN is the first DN of each bin (bin j: (j - 1) x B + 1 to j x B, bin 0: DN 0; B = " +
               format_whole(bin_width) +
               "). Each score is the share of the samples up to the bin's end, so it belongs at the bin's upper "
               "edge, DN_upper = j x B + 1, where the plot puts it. Scores are in SDs from the average.\n";
        columns = "DN\tRed\tGreen\tBlue\tDN_upper";
        break;
    case TableKind::profile_row:
        columns = "x\tR\tG1\tB\tG2";
        break;
    case TableKind::profile_col:
        columns = "y\tR\tG1\tB\tG2";
        break;
    case TableKind::acf_row:
    case TableKind::acf_col:
        columns = "n\tG_n\tn1\tG_n1\tk\tR\tG1\tB\tG2";
        break;
    default:
        columns = "f\tG_f\tf1\tG_f1\tk\tR\tG1\tB\tG2";
        break;
    }
    out += columns;
    out += "\n";
    const double half = static_cast<double>((is_row_kind(t.kind) ? t.source.width : t.source.height) / 2);
    for (size_t i = 0; i < t.row_count(); ++i) {
        std::string row = t.rows[i];
        if (is_spectrum_kind(t.kind) && t.at(i, 2) > half) {
            // The fourth cell is the filler of a frequency beyond the spectrum.
            size_t start = 0;
            for (int tab = 0; tab < 3; ++tab)
                start = row.find('\t', start) + 1;
            row.replace(start, row.find('\t', start) - start, "nan");
        }
        if (t.kind == TableKind::normality)
        {
            row += '\t';
            row += format_whole(static_cast<double>(i) * bin_width + 1.0);
        }
        out += row;
        out += '\n';
    }
    if (!t.rms.empty())
        out += "# RMS\tG\t" + t.rms[0] + "\tR\t" + t.rms[1] + "\tG1\t" + t.rms[2] + "\tB\t" + t.rms[3] + "\tG2\t" +
               t.rms[4] + "\n";
    return out;
}

}  // namespace plot
