// The average-row and average-column DN tables of RCDN.CSV.
#include <cstdio>

#include <gtest/gtest.h>

#include "spectra/spectra_runs.h"

using namespace spectra_test;

namespace {

// Bands along both axes, different per plane.
uint16_t banded(uint32_t x, uint32_t y)
{
    static const uint16_t base[4] = {1000, 3000, 500, 2900};  // by Plane
    return static_cast<uint16_t>(base[static_cast<int>(rawgen::plane_of(x, y))] + 3 * x + 7 * (y % 5));
}

struct WindowCase {
    const char* name;
    uint32_t image_width, image_height;
    int64_t W, H, X, Y;
    bool own_difference;  // the file minus itself: every cell 0
};

class ProfileTables : public testing::TestWithParam<WindowCase> {};

// Every cell is the plain mean of its plane over the other dimension of the
// window, summed here sample by sample; rows are labelled by image position.
// The plane order is the column order.
TEST_P(ProfileTables, LabelEveryPairAndAverageEachPlane)
{
    const WindowCase& w = GetParam();
    const auto image = rawgen::make_image(w.image_width, w.image_height, banded);
    std::vector<std::string> args = {"bands", "-R", "-C", "-W" + std::to_string(w.W), "-H" + std::to_string(w.H),
                                     "-X" + std::to_string(w.X), "-Y" + std::to_string(w.Y)};
    if (w.own_difference)
        args.insert(args.begin(), "bands");
    const Outcome out = run_once(quorva_profile(), {{"BANDS.NEF", rawgen::make_nef(image)}}, args);
    ASSERT_EQ(out.status, 0);
    const auto tables = read_tables(out.report("RCDN.CSV"));
    ASSERT_EQ(titles(tables), (std::vector<std::string>{"Ave-row DN values", "Ave-col DN values"}));
    EXPECT_EQ(out.report("DFT.CSV"), "<missing>");
    for (int along_y = 0; along_y < 2; ++along_y) {
        const auto& rows = tables[static_cast<size_t>(along_y)].rows;
        const int64_t pairs = (along_y ? w.H : w.W) / 2;
        ASSERT_EQ(rows.size(), static_cast<size_t>(pairs));
        for (int64_t i = 0; i < pairs; ++i) {
            Cells expected = {std::to_string((along_y ? w.Y : w.X) + 2 * i)};
            double sum[4] = {};
            int count[4] = {};
            for (int64_t a = 0; a < (along_y ? w.W : w.H); ++a)
                for (int64_t b = 0; b < 2; ++b) {
                    const auto x = static_cast<uint32_t>(along_y ? w.X + a : w.X + 2 * i + b);
                    const auto y = static_cast<uint32_t>(along_y ? w.Y + 2 * i + b : w.Y + a);
                    const int plane = static_cast<int>(rawgen::plane_of(x, y));
                    sum[plane] += w.own_difference ? 0 : image.at(x, y);
                    ++count[plane];
                }
            for (int plane = 0; plane < 4; ++plane) {
                char text[32];
                std::snprintf(text, sizeof text, "%.3f", sum[plane] / count[plane]);
                expected.push_back(text);
            }
            EXPECT_EQ(rows[static_cast<size_t>(i)], expected) << (along_y ? "row pair " : "column pair ") << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, ProfileTables,
                         testing::Values(WindowCase{"Small", 40, 24, 16, 8, 6, 10, false},
                                         WindowCase{"FarFromOrigin", 1200, 700, 200, 100, 1000, 600, false},
                                         WindowCase{"OwnDifference", 40, 24, 16, 12, 6, 10, true}),
                         [](const testing::TestParamInfo<WindowCase>& tested) { return std::string(tested.param.name); });

}  // namespace
