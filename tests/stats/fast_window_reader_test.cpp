// read_sample_rows against read_samples run by run, for every layout of runs,
// at the end of the file, in both byte orders, without moving the stream's
// position (the workers of the fast pass share one stream).
#include <cstdio>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "stats/window_reader.h"
#include "support/run_capture.h"

namespace {

struct Layout {
    const char* name;
    uint64_t offset, stride;  // stride: bytes from run to run
    int64_t count, rows;      // count: samples per run
};

class RowReads : public testing::TestWithParam<Layout> {};

TEST_P(RowReads, GiveWhatReadSamplesGivesRunByRun)
{
    const Layout& l = GetParam();
    ScratchDir dir;
    std::mt19937 rng(3);
    std::vector<uint8_t> bytes(100001);  // odd: the last sample is cut in half
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(rng());
    dir.put("DATA.RAW", bytes);
    std::FILE* file = std::fopen("DATA.RAW", "rb");
    ASSERT_NE(file, nullptr);
    for (bool big_endian : {false, true}) {
        std::vector<uint16_t> rows(static_cast<size_t>(l.count * l.rows), 0xDEAD), expected;
        std::vector<uint8_t> scratch;
        std::fseek(file, 1234, SEEK_SET);
        read_sample_rows(file, l.offset, l.stride, l.count, l.rows, big_endian, rows.data(), scratch);
        EXPECT_EQ(std::ftell(file), 1234);
        std::vector<uint16_t> one(static_cast<size_t>(l.count));
        for (int64_t r = 0; r < l.rows; ++r) {
            read_samples(file, l.offset + static_cast<uint64_t>(r) * l.stride, l.count, big_endian, one.data(), scratch);
            expected.insert(expected.end(), one.begin(), one.end());
        }
        EXPECT_EQ(rows, expected) << (big_endian ? "MM" : "II");
    }
    std::fclose(file);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RowReads,
    testing::Values(Layout{"Contiguous", 10, 400, 200, 50}, Layout{"OddOffset", 11, 400, 200, 50},
                    Layout{"SmallGaps", 100, 1000, 300, 40}, Layout{"GapAtTheLimit", 6, 8192 + 64, 32, 9},
                    Layout{"LargeGaps", 0, 20000, 100, 5}, Layout{"OneRun", 99998, 7, 3, 1},
                    Layout{"PastTheEnd", 90000, 4000, 1000, 4}, Layout{"ContiguousPastTheEnd", 99000, 1000, 500, 3},
                    Layout{"WhollyBeyond", 200000, 4, 2, 3}, Layout{"HalfSampleAtTheEnd", 99996, 6, 3, 2}),
    [](const testing::TestParamInfo<Layout>& param) { return std::string(param.param.name); });

}  // namespace
