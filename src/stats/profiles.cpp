#include "stats/profiles.h"

#include <algorithm>

#include "run/report_files.h"
#include "run/run_state.h"
#include "reports/report_texts.h"

void clear_profiles(ProfileSet& profiles)
{
    for (auto& values : profiles.line)
        std::fill(std::begin(values), std::end(values), 0);
}

namespace {

// One table: a label column of image positions, then the mean of d per plane
// over the other dimension (sum x 2 / dimension, no offset).
void write_profile(RunState& run, const char* title, const char* header, int64_t first_label, int64_t pairs,
                   int first_line, int64_t other_dim)
{
    TextBuffer table;
    add_text(table, "%s", title);
    write_table_source(run, table);
    add_text(table, "%s", header);
    for (int64_t i = 0; i < pairs; ++i) {
        add_text(table, " %4ld", static_cast<long>(first_label + 2 * i));
        for (int c = 0; c < 4; ++c)
            add_text(table, ",%10.3f",
                     run.profiles.line[first_line + c][i] * 2.0 / static_cast<double>(other_dim));
        add_text(table, "\n");
    }
    append_report(run, run.reports.profile, table);
}

}  // namespace

void write_profile_tables(RunState& run)
{
    const WindowSpec& w = run.window;
    if (run.settings.rcdn_rows)
        write_profile(run, report_texts::profile_row_title, report_texts::profile_row_header, w.X, w.W / 2, 0, w.H);
    if (run.settings.rcdn_cols)
        write_profile(run, report_texts::profile_col_title, report_texts::profile_col_header, w.Y, w.H / 2, 4, w.W);
}
