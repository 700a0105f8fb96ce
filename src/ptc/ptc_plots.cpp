#include "ptc/ptc_plots.h"

#include "ptc/ptc_outputs.h"

std::vector<std::pair<std::string, std::string>> ptc_plot_files(const PtcResults&)
{
    return {};
}
