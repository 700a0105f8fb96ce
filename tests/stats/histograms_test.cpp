// Histogram settings normalisation and bin counting.
#include <climits>

#include <gtest/gtest.h>

#include "program_profiles.h"
#include "run/program_profile.h"
#include "stats/histograms.h"

namespace {

struct NormaliseCase {
    const char* name;
    bool veldix;
    int32_t S, B, E, N;          // as given
    int32_t start, width, bins;  // after normalisation
};

class NormaliseTest : public testing::TestWithParam<NormaliseCase> {};

TEST_P(NormaliseTest, BringsSettingsIntoRange)
{
    const NormaliseCase& c = GetParam();
    const HistogramSpec layout =
        normalise_histogram((c.veldix ? veldix_profile() : quorva_profile()).histogram, c.S, c.B, c.E, c.N);
    EXPECT_EQ((std::vector<int32_t>{layout.start, layout.width, layout.bins}), (std::vector<int32_t>{c.start, c.width, c.bins}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, NormaliseTest,
    testing::Values(
        NormaliseCase{"Defaults", false, 1, 1, 0, 50, 1, 1, 50},
        NormaliseCase{"N600Is512", false, 1, 1, 0, 600, 1, 1, 512},
        NormaliseCase{"N0Is1", true, 1, 1, 0, 0, 1, 1, 1},
        NormaliseCase{"QuorvaS0Is1", false, 0, 1, 0, 50, 1, 1, 50},
        NormaliseCase{"VeldixS0Stays", true, 0, 1, 0, 50, 0, 1, 50},
        NormaliseCase{"E100", false, 1, 7, 100, 50, 1, 2, 50},  // (100 - 1 + 25) / 50
        // E raised to 50 (quorva) or 51 (veldix): (49 + 25) / 50 = (50 + 25) / 50 = 1.
        NormaliseCase{"E10Quorva", false, 1, 1, 10, 50, 1, 1, 50},
        NormaliseCase{"E10Veldix", true, 1, 1, 10, 50, 1, 1, 50},
        NormaliseCase{"QuorvaN1EAtS", false, 1, 1, 1, 1, 1, 0, 1},
        NormaliseCase{"B20000", false, 1, 20000, 0, 50, 0, 16384, 1},  // one bin of 16384, from 0
        NormaliseCase{"N512B64", false, 1, 64, 0, 512, 0, 64, 256},
        NormaliseCase{"SNearTop", false, 16380, 1, 0, 50, 16333, 1, 50},
        NormaliseCase{"HugeValues", false, INT_MAX, INT_MAX, 0, INT_MAX, 0, 16384, 1},
        NormaliseCase{"HugeEnd", true, 0, 1, INT_MAX, 1, 0, INT_MAX, 1}),
    [](const testing::TestParamInfo<NormaliseCase>& param) { return std::string(param.param.name); });

TEST(HistogramAdd, CountsBelowEachBinAndAbove)
{
    HistogramSpec layout{1, 2, 3};  // bins [1,3) [3,5) [5,7)
    HistogramCounts hist;
    for (int64_t dn : {0, 1, 2, 5, 6, 7, 65535})
        histogram_add(layout, hist, B, dn);
    histogram_add(layout, hist, B, 3, 4);
    EXPECT_EQ(std::vector<uint32_t>(hist.counts[B], hist.counts[B] + 5), (std::vector<uint32_t>{1, 2, 4, 2, 2}));
    layout.width = 0;  // no room: everything from S on counts above
    for (int64_t dn : {0, 1, 2})
        histogram_add(layout, hist, R, dn);
    EXPECT_EQ(std::vector<uint32_t>(hist.counts[R], hist.counts[R] + 5), (std::vector<uint32_t>{1, 0, 0, 0, 2}));
}

}  // namespace
