// The manual pages render without a single groff warning, and they and the user
// guide document every switch the usage texts name.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "outside_tools.h"
#include "program_profiles.h"
#include "support/run_capture.h"

namespace {

const std::string docs = std::string(EXAMPLES_DIR) + "/../../docs/";

// The switch letters the usage text names ("-W", "-S", ...).
std::set<char> usage_switches(const ProgramProfile& profile)
{
    std::set<char> letters;
    static const std::regex dash_letter(R"((^|[ ,;(])-([A-Z]))");
    for (const char* const* line = profile.usage_lines; *line; ++line) {
        const std::string text = *line;
        for (std::sregex_iterator m(text.begin(), text.end(), dash_letter), end; m != end; ++m)
            letters.insert((*m)[2].str()[0]);
    }
    return letters;
}

TEST(ManualPages, RenderWithoutWarnings)
{
    ASSERT_TRUE(tool_on_path("groff", "groff-base"));
    for (const char* page : {"quorva.1", "veldix.1"}) {
        const std::string path = docs + page;
        ASSERT_NE(read_file(path), "") << path;
        const ToolRun run = run_tool("groff", {"-man", "-Tutf8", "-ww", "-z", path});
        EXPECT_EQ(run.status, 0) << page;
        EXPECT_EQ(run.err, "") << page;
    }
}

TEST(ManualPages, AndTheUserGuideNameEverySwitchOfTheUsageText)
{
    const std::string guide = read_file(docs + "user-guide.md");
    for (const auto& [profile, page] : {std::pair{&quorva_profile(), "quorva.1"}, {&veldix_profile(), "veldix.1"}}) {
        const std::set<char> letters = usage_switches(*profile);
        EXPECT_GE(letters.size(), 14u) << page;  // L R C W H X Y S B E N F M A
        const std::string man = read_file(docs + page);
        for (char letter : letters) {
            EXPECT_NE(man.find(std::string("\\-") + letter), std::string::npos) << page << ": -" << letter;
            EXPECT_NE(guide.find(std::string("`-") + letter), std::string::npos) << "user guide: -" << letter;
        }
    }
}

}  // namespace
