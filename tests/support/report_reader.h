// Report tables read back through reportplot's own reader: the text indexed
// once, then each complete table read again with its rows.
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "plot/report_index.h"
#include "support/run_capture.h"

inline constexpr plot::TableKind hist_kinds[] = {plot::TableKind::histogram, plot::TableKind::normality};
inline constexpr plot::TableKind profile_kinds[] = {plot::TableKind::profile_row, plot::TableKind::profile_col};
inline constexpr plot::TableKind spectrum_kinds[] = {plot::TableKind::ft_row,    plot::TableKind::ft_col,
                                                     plot::TableKind::multi_row, plot::TableKind::multi_col,
                                                     plot::TableKind::acf_row,   plot::TableKind::acf_col};

// The complete tables of the kinds in a report text, and the warnings of both
// readings, in that order.
inline std::vector<plot::ReportTable> read_tables(const std::string& text, std::span<const plot::TableKind> kinds,
                                                  std::vector<std::string>* warnings = nullptr)
{
    const ScratchDir dir;
    dir.put_text("REPORT.CSV", text);
    plot::ReportIndex index;
    EXPECT_TRUE(plot::index_report("REPORT.CSV", "REPORT.CSV", kinds, index));
    std::vector<plot::ReportTable> tables;
    std::vector<std::string> said = index.warnings;
    for (const plot::TableEntry& entry : index.tables) {
        std::string warning;
        if (!plot::load_table(index, entry, tables.emplace_back(), warning)) {
            tables.pop_back();
            said.push_back(warning);
        }
    }
    if (warnings)
        *warnings = said;
    return tables;
}
