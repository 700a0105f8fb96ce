// read_sample_rows for every layout of runs, in both byte orders: the samples
// straight from the file's bytes, and a failure whenever one of them is not in
// the file (a sample cut in half included).
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "input/image_file.h"
#include "stats/window_reader.h"
#include "support/run_capture.h"

namespace {

struct Layout {
    const char* name;
    uint64_t offset, stride;  // stride: bytes from run to run
    int64_t count, rows;      // count: samples per run
};

class RowReads : public testing::TestWithParam<Layout> {};

TEST_P(RowReads, GiveTheFilesSamplesOrFailWhenOneIsMissing)
{
    const Layout& l = GetParam();
    ScratchDir dir;
    std::mt19937 rng(3);
    std::vector<uint8_t> bytes(100001);  // odd: the last sample is cut in half
    for (uint8_t& b : bytes)
        b = static_cast<uint8_t>(rng());
    dir.put("DATA.RAW", bytes);
    ImageFile file;
    ASSERT_TRUE(file.open("DATA.RAW"));
    const uint64_t last_byte = l.offset + static_cast<uint64_t>(l.rows - 1) * l.stride + 2 * l.count - 1;
    const bool in_file = last_byte < bytes.size();
    for (bool big_endian : {false, true}) {
        std::vector<uint16_t> rows(static_cast<size_t>(l.count * l.rows), 0xDEAD), expected;
        std::vector<uint8_t> scratch;
        EXPECT_EQ(read_sample_rows(file, l.offset, l.stride, l.count, l.rows, big_endian, rows.data(), scratch),
                  in_file);
        if (!in_file)
            continue;
        for (int64_t r = 0; r < l.rows; ++r)
            for (int64_t k = 0; k < l.count; ++k) {
                const size_t at = static_cast<size_t>(l.offset + static_cast<uint64_t>(r) * l.stride + 2 * k);
                expected.push_back(static_cast<uint16_t>(big_endian ? bytes[at] << 8 | bytes[at + 1]
                                                                    : bytes[at + 1] << 8 | bytes[at]));
            }
        EXPECT_EQ(rows, expected) << (big_endian ? "MM" : "II");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RowReads,
    testing::Values(Layout{"Contiguous", 10, 400, 200, 50}, Layout{"OddOffset", 11, 400, 200, 50},
                    Layout{"SmallGaps", 100, 1000, 300, 40}, Layout{"GapAtTheLimit", 6, 8192 + 64, 32, 9},
                    Layout{"LargeGaps", 0, 20000, 100, 5}, Layout{"OneRunToTheLastWholeSample", 99994, 7, 3, 1},
                    Layout{"PastTheEnd", 90000, 4000, 1000, 4}, Layout{"ContiguousPastTheEnd", 99000, 1000, 500, 3},
                    Layout{"WhollyBeyond", 200000, 4, 2, 3}, Layout{"HalfSampleAtTheEnd", 99996, 6, 3, 2},
                    Layout{"LastRunOfLargeGapsPastTheEnd", 0, 30000, 100, 5}),
    [](const testing::TestParamInfo<Layout>& param) { return std::string(param.param.name); });

}  // namespace
