// Window sizing, placing and the array-size limits.
#include <gtest/gtest.h>

#include "input/raw_image_info.h"
#include "program_profiles.h"
#include "run/program_profile.h"
#include "run/run_plan.h"
#include "run/run_settings.h"
#include "stats/window.h"

namespace {

struct WindowCase {
    const char* name;
    uint32_t width, height;      // image
    int32_t W, H, X, Y, X2, Y2;  // request
    int64_t eW, eH, eX, eY;      // expected window
    int64_t eX2, eY2;            // expected second window (veldix)
    bool veldix;
};

class WindowPlacement : public testing::TestWithParam<WindowCase> {};

TEST_P(WindowPlacement, SizesAndPlacesTheWindowInsideTheImage)
{
    const WindowCase& c = GetParam();
    RawImageInfo info;
    info.width = c.width;
    info.height = c.height;
    const WindowSpec w = place_window((c.veldix ? veldix_profile() : quorva_profile()).window,
                                      WindowRequest{c.W, c.H, c.X, c.Y, c.X2, c.Y2}, info);
    EXPECT_EQ((std::vector<int64_t>{w.W, w.H, w.X, w.Y}), (std::vector<int64_t>{c.eW, c.eH, c.eX, c.eY}));
    if (c.veldix) {
        EXPECT_EQ((std::vector<int64_t>{w.X2, w.Y2}), (std::vector<int64_t>{c.eX2, c.eY2}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowPlacement,
    testing::Values(
        //          name              image        W     H     X     Y    X2  Y2   W     H     X     Y    X2  Y2
        WindowCase{"Defaults",        7424, 4924, 200, 0, -1, -1, -1, -1, 200, 200, 3612, 2362, 0, 0, false},
        WindowCase{"W201Inside",      1000, 1000, 201, 0, -1, -1, -1, -1, 200, 200, 400, 400, 0, 0, false},
        WindowCase{"W1",              100, 100, 1, 0, 10, 10, -1, -1, 2, 2, 10, 10, 0, 0, false},
        WindowCase{"WTooWide",        101, 51, 5000, 0, -1, -1, -1, -1, 100, 50, 0, 0, 0, 0, false},
        WindowCase{"NegativeW",       101, 51, -4, 6, -1, -1, -1, -1, 100, 6, 0, 22, 0, 0, false},
        WindowCase{"XMinus5",         100, 100, 10, 10, -5, -7, -1, -1, 10, 10, 0, 0, 0, 0, false},
        WindowCase{"XOddQuorva",      100, 100, 10, 10, 3, 5, -1, -1, 10, 10, 2, 4, 0, 0, false},
        WindowCase{"XFarRight",       100, 100, 10, 10, 95, 99, -1, -1, 10, 10, 90, 90, 0, 0, false},
        WindowCase{"HugeWCapped",     20000, 20000, 20000, 0, -1, -1, -1, -1, 16382, 16382, 1808, 1808, 0, 0, false},
        WindowCase{"VeldixOddX",      100, 100, 10, 10, 3, 5, -1, -1, 10, 10, 3, 5, 3, 5, true},
        WindowCase{"VeldixU4",        100, 100, 10, 10, 3, 5, 4, -1, 10, 10, 3, 5, 5, 5, true},
        WindowCase{"VeldixCentredU",  101, 101, 10, 10, -1, -1, -1, -1, 10, 10, 45, 45, 45, 45, true},
        WindowCase{"VeldixUClamped",  100, 100, 10, 10, 3, 5, 200, -3, 10, 10, 3, 5, 89, 1, true},
        WindowCase{"VeldixMovesBack", 100, 100, 10, 10, 89, 0, 95, -1, 10, 10, 89, 0, 89, 0, true},
        WindowCase{"VeldixFarRight",  101, 101, 10, 10, 95, 99, -1, -1, 10, 10, 91, 91, 91, 91, true}),
    [](const testing::TestParamInfo<WindowCase>& param) { return std::string(param.param.name); });

// Settings as letters: M multi-line, F -F, r/c the row and column profile
// tables, x/y the row and column directions of the spectra; after planning
// also ! for options disabled.
struct LimitCase {
    const char* given;
    int32_t W, H;
    const char* left;  // after the spectrum limits, then the profile limits
};

class ArrayLimits : public testing::TestWithParam<LimitCase> {};

TEST_P(ArrayLimits, DropWhatTheWindowIsTooLargeFor)
{
    const LimitCase& c = GetParam();
    RunSettings s;
    bool* flags[] = {&s.multi_line, &s.ft_coef, &s.rcdn_rows, &s.rcdn_cols, &s.row_lines, &s.col_lines};
    const std::string letters = "MFrcxy";
    for (size_t k = 0; k < letters.size(); ++k)
        *flags[k] = std::string(c.given).find(letters[k]) != std::string::npos;
    s.W = c.W;
    s.H = c.H;
    RawImageInfo info;
    info.width = info.height = 30000;
    const RunPlan plan = plan_run(quorva_profile(), s, info);
    const bool left[] = {plan.multi_line, plan.ft_coef, plan.rcdn_rows, plan.rcdn_cols, plan.spectra.x.span > 0,
                         plan.spectra.y.span > 0, plan.options_disabled};
    std::string got;
    for (size_t k = 0; k < 7; ++k)
        if (left[k])
            got += "MFrcxy!"[k];
    EXPECT_EQ(got, c.left);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ArrayLimits,
    testing::Values(LimitCase{"MFrx", 100, 100, "Mx"},          // with -M, -R only picks x; -F and tables go
                    LimitCase{"M", 2048, 2050, "Mx!"},          // no direction given: both, y too long
                    LimitCase{"MF", 2050, 2000, "My!"},
                    LimitCase{"MFcx", 2050, 1990, "Fcy!"},      // -M dropped: -F (y only) and the table stay
                    LimitCase{"MFcy", 2050, 2050, "!"},
                    LimitCase{"Frx", 2000, 2002, "Frx!"},       // -F takes both directions up to 2000
                    LimitCase{"F", 2002, 2002, "!"},
                    LimitCase{"rc", 2000, 2002, "r!"},          // each table its own limit
                    LimitCase{"r", 2000, 20000, "r"}),
    [](const testing::TestParamInfo<LimitCase>& param) {
        return std::string(param.param.given) + "_" + std::to_string(param.param.W) + "x" +
               std::to_string(param.param.H);
    });

}  // namespace
