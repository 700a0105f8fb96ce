// read_sample_rows against read_samples run by run: the same samples for
// every layout of runs, also at the end of the file, in both byte orders, and
// from several threads at once without moving the stream's position.
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "stats/window_reader.h"
#include "support/run_capture.h"

namespace {

struct Layout {
    const char* name;
    uint64_t offset;
    uint64_t stride;  // bytes from run to run
    int64_t count;    // samples per run
    int64_t rows;
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
        std::vector<uint16_t> rows(static_cast<size_t>(l.count * l.rows), 0xDEAD);
        std::vector<uint8_t> scratch;
        read_sample_rows(file, l.offset, l.stride, l.count, l.rows, big_endian, rows.data(), scratch);
        std::vector<uint16_t> one(static_cast<size_t>(l.count));
        std::vector<uint8_t> scratch_one;
        for (int64_t r = 0; r < l.rows; ++r) {
            read_samples(file, l.offset + static_cast<uint64_t>(r) * l.stride, l.count, big_endian, one.data(),
                         scratch_one);
            for (int64_t i = 0; i < l.count; ++i)
                ASSERT_EQ(rows[static_cast<size_t>(r * l.count + i)], one[static_cast<size_t>(i)])
                    << "run " << r << " sample " << i << (big_endian ? " MM" : " II");
        }
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

TEST(RowReads, ThreadsShareAFileAndLeaveItsPositionAlone)
{
    ScratchDir dir;
    std::vector<uint8_t> bytes(400000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    dir.put("DATA.RAW", bytes);
    std::FILE* file = std::fopen("DATA.RAW", "rb");
    ASSERT_NE(file, nullptr);
    std::fseek(file, 1234, SEEK_SET);
    auto reader = [&](uint64_t offset, std::vector<uint16_t>& out) {
        std::vector<uint8_t> scratch;
        for (int repeat = 0; repeat < 50; ++repeat)
            read_sample_rows(file, offset, 2000, 900, 40, true, out.data(), scratch);
    };
    std::vector<uint16_t> a(900 * 40);
    std::vector<uint16_t> b(900 * 40);
    std::thread other(reader, 2, std::ref(b));
    reader(1, a);
    other.join();
    EXPECT_EQ(std::ftell(file), 1234);
    for (int64_t r = 0; r < 40; ++r)
        for (int64_t i = 0; i < 900; ++i) {
            const size_t at = static_cast<size_t>(r * 900 + i);
            const size_t byte_a = 1 + static_cast<size_t>(r) * 2000 + 2 * static_cast<size_t>(i);
            ASSERT_EQ(a[at], (bytes[byte_a] << 8) | bytes[byte_a + 1]);
            ASSERT_EQ(b[at], (bytes[byte_a + 1] << 8) | bytes[byte_a + 2]);
        }
    std::fclose(file);
}

}  // namespace
