#include "stats/hist_derived.h"

#include "run/run_state.h"

int histogram_derived(RunState& run)
{
    if (run.settings.stats_log && run.reports.stats.is_open())
        add_text(run.reports.record, ", , , , , , , ");
    return 0;
}
