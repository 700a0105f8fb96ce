#include "spectra/spectrum_plan.h"

#include <algorithm>

namespace {

// Fewest frequencies a table reports.
constexpr int64_t min_ft_upper = 4;

// The last f of a table's rows, or -1 when the plan has none the line store
// can hold.
int32_t last_row(const DirectionPlan& plan)
{
    const int32_t f0 = plan.first();
    if (plan.span < 0 || f0 < 0 || plan.half() > line_capacity)
        return -1;
    return f0 + 2 * ((plan.half() - f0) / 2);
}

}  // namespace

FrequencyRange plane_range(const DirectionPlan& plan)
{
    const int32_t f_last = last_row(plan);
    if (f_last < 0)
        return {};
    const int32_t first = plan.first() / 2;
    return {first, std::min(f_last / 2, plan.half() / 2) - first + 1};
}

FrequencyRange green_range(const DirectionPlan& plan)
{
    const int32_t f_last = last_row(plan);
    if (f_last < 0)
        return {};
    const int32_t first = plan.first();
    return {first, std::min(f_last + 1, plan.half()) - first + 1};
}

SpectrumPlan plan_spectra(KernelMode mode, int32_t ft_upper, bool row_lines, bool col_lines, int64_t W, int64_t H)
{
    SpectrumPlan plan;
    plan.mode = mode;
    // Doubled exactly, saturating instead of wrapping.
    const int64_t upper = std::max(std::min<int64_t>(int64_t{2} * ft_upper, INT32_MAX), min_ft_upper);
    plan.ft_upper = static_cast<int32_t>(upper);
    plan.x.length = static_cast<int32_t>(W);
    plan.y.length = static_cast<int32_t>(H);
    plan.x.span = row_lines ? static_cast<int32_t>(std::min<int64_t>(W / 2, upper)) : 0;
    plan.y.span = col_lines ? static_cast<int32_t>(std::min<int64_t>(H / 2, upper)) : 0;
    return plan;
}
