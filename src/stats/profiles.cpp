#include "stats/profiles.h"

#include "reports/report_texts.h"
#include "reports/text_out.h"

std::string profile_table(const ProfileSet& profiles, ProfileAxis axis, int64_t first_label, int64_t pairs,
                          int64_t other_dimension, const std::string& source)
{
    using namespace report_texts;
    const bool row = axis == ProfileAxis::row;
    const int first_line = row ? 0 : 4;
    TextBuffer table;
    add_text(table, "%s%s", row ? profile_row_title : profile_col_title, source.c_str());
    add_text(table, "%s", row ? profile_row_header : profile_col_header);
    for (int64_t i = 0; i < pairs; ++i) {
        add_text(table, " %4ld", static_cast<long>(first_label + 2 * i));
        for (int c = 0; c < 4; ++c)
            add_text(table, ",%10.3f", profiles.line[first_line + c][i] * 2.0 / static_cast<double>(other_dimension));
        add_text(table, "\n");
    }
    return table.text;
}
