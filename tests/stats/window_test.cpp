// Window sizing, placing and the array-size limits.
#include <gtest/gtest.h>

#include "input/raw_image_info.h"
#include "program_profiles.h"
#include "run/run_settings.h"
#include "stats/window.h"

namespace {

struct WindowCase {
    const char* name;
    uint32_t width, height;        // image
    int32_t W, H, X, Y, X2, Y2;    // request
    int64_t eW, eH, eX, eY;        // expected window
    int64_t eX2, eY2;              // expected second window (veldix)
    bool veldix;
};

void PrintTo(const WindowCase& c, std::ostream* os)
{
    *os << c.name;
}

class WindowPlacement : public testing::TestWithParam<WindowCase> {};

TEST_P(WindowPlacement, SizesAndPlacesTheWindowInsideTheImage)
{
    const WindowCase& c = GetParam();
    RunSettings s;
    s.W = c.W;
    s.H = c.H;
    s.X = c.X;
    s.Y = c.Y;
    s.X2 = c.X2;
    s.Y2 = c.Y2;
    RawImageInfo info;
    info.width = c.width;
    info.height = c.height;
    WindowSpec w;
    size_window(s, info, w);
    place_window(c.veldix ? veldix_profile() : quorva_profile(), s, info, w);
    EXPECT_EQ(w.W, c.eW);
    EXPECT_EQ(w.H, c.eH);
    EXPECT_EQ(w.X, c.eX);
    EXPECT_EQ(w.Y, c.eY);
    if (c.veldix) {
        EXPECT_EQ(w.X2, c.eX2);
        EXPECT_EQ(w.Y2, c.eY2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowPlacement,
    testing::Values(
        //          name                 image        W     H     X     Y    X2  Y2   W     H     X     Y    X2  Y2
        WindowCase{"defaults",          7424, 4924, 200, 0, -1, -1, -1, -1, 200, 200, 3612, 2362, 0, 0, false},
        WindowCase{"odd width",         100, 100, 201, 0, -1, -1, -1, -1, 100, 100, 0, 0, 0, 0, false},
        WindowCase{"W 201 inside",      1000, 1000, 201, 0, -1, -1, -1, -1, 200, 200, 400, 400, 0, 0, false},
        WindowCase{"W 1",               100, 100, 1, 0, 10, 10, -1, -1, 2, 2, 10, 10, 0, 0, false},
        WindowCase{"W too wide",        101, 51, 5000, 0, -1, -1, -1, -1, 100, 50, 0, 0, 0, 0, false},
        WindowCase{"negative W",        101, 51, -4, 6, -1, -1, -1, -1, 100, 6, 0, 22, 0, 0, false},
        WindowCase{"H below 2",         100, 100, 10, 1, -1, -1, -1, -1, 10, 2, 44, 48, 0, 0, false},
        WindowCase{"X -5",              100, 100, 10, 10, -5, -7, -1, -1, 10, 10, 0, 0, 0, 0, false},
        WindowCase{"X odd quorva",      100, 100, 10, 10, 3, 5, -1, -1, 10, 10, 2, 4, 0, 0, false},
        WindowCase{"X far right",       100, 100, 10, 10, 95, 99, -1, -1, 10, 10, 90, 90, 0, 0, false},
        WindowCase{"X far right odd",   101, 101, 10, 10, 95, 99, -1, -1, 10, 10, 90, 90, 0, 0, false},
        WindowCase{"huge X",            100, 100, 10, 10, INT32_MAX, INT32_MAX, -1, -1, 10, 10, 90, 90, 0, 0, false},
        WindowCase{"huge W capped",     20000, 20000, 20000, 0, -1, -1, -1, -1, 16382, 16382, 1808, 1808, 0, 0, false},
        WindowCase{"veldix odd X",      100, 100, 10, 10, 3, 5, -1, -1, 10, 10, 3, 5, 3, 5, true},
        WindowCase{"veldix U 4",        100, 100, 10, 10, 3, 5, 4, -1, 10, 10, 3, 5, 5, 5, true},
        WindowCase{"veldix V even",     100, 100, 10, 10, 3, 5, -1, 8, 10, 10, 3, 5, 3, 9, true},
        WindowCase{"veldix centred U",  101, 101, 10, 10, -1, -1, -1, -1, 10, 10, 45, 45, 45, 45, true},
        WindowCase{"veldix U clamped",  100, 100, 10, 10, 3, 5, 200, -3, 10, 10, 3, 5, 89, 1, true},
        WindowCase{"veldix moves back", 100, 100, 10, 10, 89, 0, 95, -1, 10, 10, 89, 0, 89, 0, true},
        WindowCase{"veldix far right",  101, 101, 10, 10, 95, 99, -1, -1, 10, 10, 91, 91, 91, 91, true}),
    [](const testing::TestParamInfo<WindowCase>& param) {
        std::string name = param.param.name;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

WindowSpec window(int64_t W, int64_t H)
{
    WindowSpec w;
    w.W = W;
    w.H = H;
    return w;
}

TEST(SpectrumLimits, MultiLineChoosesDirectionsAndOverridesProfilesAndF)
{
    RunSettings s;
    s.multi_line = s.ft_coef = true;
    s.rcdn_rows = s.row_lines = true;
    apply_spectrum_limits(s, window(100, 100));
    EXPECT_TRUE(s.multi_line);
    EXPECT_TRUE(s.row_lines);
    EXPECT_FALSE(s.col_lines);  // -R chose the x direction only
    EXPECT_FALSE(s.rcdn_rows || s.ft_coef);
    EXPECT_FALSE(s.options_disabled);

    RunSettings both;
    both.multi_line = true;
    apply_spectrum_limits(both, window(2048, 2050));
    EXPECT_TRUE(both.multi_line && both.row_lines);
    EXPECT_FALSE(both.col_lines);
    EXPECT_TRUE(both.options_disabled);
}

TEST(SpectrumLimits, MultiLineDroppedForSizeLeavesFAndProfiles)
{
    RunSettings s;
    s.multi_line = s.autocorr = s.ft_coef = true;
    s.rcdn_cols = s.col_lines = true;
    apply_spectrum_limits(s, window(2050, 2050));
    EXPECT_FALSE(s.multi_line);
    EXPECT_TRUE(s.autocorr);  // stays recorded
    EXPECT_FALSE(s.ft_coef);  // -F cannot take 2050 either
    EXPECT_TRUE(s.rcdn_cols);
    EXPECT_TRUE(s.options_disabled);

    RunSettings f;
    f.multi_line = f.ft_coef = true;
    apply_spectrum_limits(f, window(2050, 2000));
    EXPECT_TRUE(f.multi_line);  // the y direction still fits
    EXPECT_FALSE(f.row_lines);
    EXPECT_FALSE(f.ft_coef);
}

TEST(SpectrumLimits, FTakesBothDirectionsUpTo2000)
{
    RunSettings s;
    s.ft_coef = true;
    s.rcdn_rows = s.row_lines = true;
    apply_spectrum_limits(s, window(2000, 2002));
    EXPECT_TRUE(s.ft_coef);
    EXPECT_TRUE(s.row_lines);
    EXPECT_FALSE(s.col_lines);
    EXPECT_TRUE(s.options_disabled);

    RunSettings wide;
    wide.ft_coef = true;
    apply_spectrum_limits(wide, window(2002, 2002));
    EXPECT_FALSE(wide.ft_coef);
}

TEST(ProfileLimits, EachTableHasItsOwnLimit)
{
    RunSettings s;
    s.rcdn_rows = s.rcdn_cols = true;
    apply_profile_limits(s, window(2000, 2002));
    EXPECT_TRUE(s.rcdn_rows);
    EXPECT_FALSE(s.rcdn_cols);
    EXPECT_TRUE(s.options_disabled);
    RunSettings fits;
    fits.rcdn_rows = true;
    apply_profile_limits(fits, window(2000, 20000));  // height does not matter to the row table
    EXPECT_TRUE(fits.rcdn_rows);
    EXPECT_FALSE(fits.options_disabled);
}

}  // namespace
