// The text of the reports: undefined figures print as "nan" whatever their
// sign, and long texts are kept whole.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "reports/text_out.h"

namespace {

TEST(TextOut, UndefinedFiguresPrintAsNanAndLongTextsWhole)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    TextBuffer text;
    add_text(text, "%5.2lf|%5.2lf|%5.2lf|%5.2lf", printable(-nan), printable(inf), printable_nan(-nan),
             printable_nan(-inf));
    EXPECT_EQ(text.text, "  nan|  nan|  nan| -inf");
    const std::string name(1000, 'N');
    TextBuffer long_text;
    add_text(long_text, "<%s>", name.c_str());
    EXPECT_EQ(long_text.text, "<" + name + ">");
    std::string said;
    Console console;
    console.capture = &said;
    say(console, "%d %s", 7, name.c_str());
    EXPECT_EQ(said, "7 " + name);
}

}  // namespace
