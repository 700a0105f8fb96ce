// The switch grammar, file names and the messages of the argument loop.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "input/image_file.h"
#include "program_profiles.h"
#include "reports/text_out.h"
#include "run/command_line.h"
#include "support/run_capture.h"

namespace {

constexpr int continue_run = -1;

struct Parsed {
    int status;  // continue_run, or the status that ends the run
    std::string out;
    RunSettings settings;
    ImageFile images[2];
};

// Parses the arguments (without the program name) in the current directory.
Parsed parse(const ProgramProfile& profile, std::vector<std::string> args)
{
    std::vector<const char*> argv{"program"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    Parsed parsed{0, "", {}, {}};
    Console console;
    console.capture = &parsed.out;
    const auto ended = parse_arguments(profile, static_cast<int>(argv.size()), argv.data(), parsed.settings,
                                       parsed.images, console);
    parsed.status = ended ? exit_code(*ended) : continue_run;
    return parsed;
}

class CommandLine : public testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"IMG.NEF", "TWO.NEF", "IMG.TIF"})
            dir.put(name, {1});  // the argument loop only opens the images
    }
    // Settings after "img" and the given switches.
    RunSettings settings(std::vector<std::string> switches, const ProgramProfile& profile = quorva_profile())
    {
        switches.insert(switches.begin(), "img");
        Parsed p = parse(profile, switches);
        EXPECT_EQ(p.status, continue_run) << p.out;
        return p.settings;
    }
    ScratchDir dir;
};

TEST_F(CommandLine, SwitchFormsAreEquivalentAndValuesAreClampedTo32Bits)
{
    // Every form sets W; "=300" as value text has no digits; a later switch wins.
    for (const auto& [args, w] : std::vector<std::pair<std::vector<std::string>, int32_t>>{
             {{"w=300"}, 300}, {{"-w300"}, 300}, {{"/W300"}, 300}, {{"-W=300"}, 0}, {{"-W"}, 200},
             {{"-W300", "-W40"}, 40}, {{"-W 12abc"}, 12}, {{"-W+7"}, 7}, {{"-W99999999999999999999"}, INT32_MAX},
             {{"-W4294967296"}, INT32_MAX}, {{"-W" + std::string(5000, '0') + "64"}, 64}})
        EXPECT_EQ(settings(args).W, w) << args.back().substr(0, 24);
    EXPECT_EQ(settings({"-Y-5"}).Y, -5);
    EXPECT_EQ(settings({"-X-99999999999999999999"}).X, INT32_MIN);
}

TEST_F(CommandLine, HistogramAndFitSwitchesNeedAValueToTakeEffect)
{
    // -S alone changes nothing; -S0 and -SX (no digits) both set 0 and enable.
    for (const auto& [arg, enabled, start] : {std::tuple{"-S", false, 1}, {"-S0", true, 0}, {"-SX", true, 0}}) {
        EXPECT_EQ(settings({arg}).hist_enabled, enabled) << arg;
        EXPECT_EQ(settings({arg}).S, start) << arg;
    }
    EXPECT_TRUE(settings({"b=3"}).hist_enabled);
    EXPECT_EQ(settings({"-E900"}).E, 900);
    EXPECT_EQ(settings({"-N20"}).N, 20);
    // -K always enables the curves; its value sets the fit edge only from 15 to 40.
    for (const auto& [arg, k] : {std::pair{"-K", 2.8}, {"-K25", 2.5}, {"-K15", 1.5}, {"-K40", 4.0}, {"-K41", 2.8},
                                 {"-K14", 2.8}}) {
        EXPECT_TRUE(settings({arg}).k_mode) << arg;
        EXPECT_DOUBLE_EQ(settings({arg}).K, k) << arg;
    }
    EXPECT_DOUBLE_EQ(settings({"-K25", "-K99"}).K, 2.5);  // out of range keeps the previous value
}

TEST_F(CommandLine, FlagSwitchesAndSpectrumValues)
{
    const RunSettings lr = settings({"-LR"});  // L with the value text R
    EXPECT_TRUE(lr.stats_log);
    EXPECT_FALSE(lr.rcdn_rows);

    const RunSettings rc = settings({"-R", "/c"});
    EXPECT_TRUE(rc.rcdn_rows && rc.row_lines && rc.rcdn_cols && rc.col_lines);

    const RunSettings f = settings({"-F"});
    EXPECT_TRUE(f.ft_coef);
    EXPECT_EQ(f.ft_upper, 1000);
    const RunSettings m = settings({"-F7", "-M9"});
    EXPECT_TRUE(m.ft_coef && m.multi_line);
    EXPECT_FALSE(m.autocorr);
    EXPECT_EQ(m.ft_upper, 9);  // the last value given wins
    const RunSettings a = settings({"-A3"});
    EXPECT_TRUE(a.multi_line && a.autocorr);
    EXPECT_EQ(a.ft_upper, 3);

    const RunSettings o = settings({"-O"});
    EXPECT_TRUE(o.o_mode);
    EXPECT_EQ(std::vector<double>(o.channel_scale, o.channel_scale + 3), (std::vector<double>{1.125, 1.0, 1.16}));
    EXPECT_EQ(settings({"-D16"}).debug_bits, 16);
}

TEST_F(CommandLine, SaturationLevelTakesOnlyPositiveValuesInEveryForm)
{
    for (const auto& [args, t] : std::vector<std::pair<std::vector<std::string>, int32_t>>{
             {{"-T3950"}, 3950}, {{"/t3950"}, 3950}, {{"T=3950"}, 3950}, {{"-T"}, 0}, {{"-TX"}, 0},
             {{"-T0"}, 0}, {{"-T-5"}, 0}, {{"-T100", "-T50"}, 50}, {{"-T100", "-T0"}, 100}}) {
        EXPECT_EQ(settings(args).T, t) << args.back();
    }
}

TEST_F(CommandLine, UnknownLettersAndEqualsSwitchesHaveNoEffect)
{
    const RunSettings defaults = settings({});
    for (const char* arg : {"-Z5", "-=5", "/=W5", "Q=3", "-"}) {
        const RunSettings s = settings({arg});
        EXPECT_EQ(s.W, defaults.W) << arg;
        EXPECT_EQ(s.S, defaults.S) << arg;
        EXPECT_FALSE(s.hist_enabled || s.stats_log || s.k_mode || s.two_files) << arg;
    }
    // U and V set veldix's second window only.
    const RunSettings q = settings({"U=10", "V=10"}), v = settings({"U=10", "-V12"}, veldix_profile());
    EXPECT_EQ(std::pair(q.X2, q.Y2), std::pair(-1, -1));
    EXPECT_EQ(std::pair(v.X2, v.Y2), std::pair(10, 12));
}

TEST_F(CommandLine, NamesAreShownUpperCasedWithTheDefaultExtensionAndNoControlCharacters)
{
    const ImageNaming& nef = quorva_profile().naming;
    EXPECT_EQ(shown_image_name(nef, "dsc_0001"), "DSC_0001.NEF");
    EXPECT_EQ(shown_image_name(veldix_profile().naming, "dsc_0001"), "DSC_0001.TIF");
    EXPECT_EQ(shown_image_name(nef, "dsc_0001.raw"), "DSC_0001.RAW");
    // Only a '.' in the last path component stops the extension.
    EXPECT_EQ(shown_image_name(nef, "./demo/dark1"), "./DEMO/DARK1.NEF");
    EXPECT_EQ(shown_image_name(nef, "my.folder/dark1"), "MY.FOLDER/DARK1.NEF");
    EXPECT_EQ(shown_image_name(nef, ""), ".NEF");
    EXPECT_EQ(shown_image_name(nef, std::string("a\nb\x1f\x7f\tc", 7)), "A?B???C.NEF");
}

TEST_F(CommandLine, OpensTheNameAsTypedThenWithLowerExtensionThenUpperCased)
{
    dir.put("lower.nef", {1, 2, 3});
    dir.put("Mixed.NEF", {1, 2});
    dir.put("UPPER.RAW", {1});
    EXPECT_EQ(parse(quorva_profile(), {"lower"}).images[0].length(), 3u);
    EXPECT_EQ(parse(quorva_profile(), {"Mixed"}).images[0].length(), 2u);
    const Parsed upper = parse(quorva_profile(), {"upper.raw"});
    EXPECT_EQ(upper.status, continue_run);
    EXPECT_EQ(upper.settings.file_name[0], "UPPER.RAW");
    EXPECT_EQ(upper.images[0].length(), 1u);
}

TEST_F(CommandLine, LastResortFindsTheNameInItsDirectoryWhateverItsCase)
{
    ASSERT_EQ(::mkdir((dir.path() + "/demo").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dir.path() + "/demo/Dark2.nef").c_str(), 0755), 0);  // not a regular file
    dir.put("demo/DARK1.NEF", {1});
    dir.put("demo/dark2.Nef", {1, 2});
    dir.put("demo/DaRk3.NeF", {1, 2, 3});
    dir.put("demo/dARK3.nEF", {1, 2, 3, 4});
    dir.put("dsc_0001.tiff", {1, 2, 3, 4, 5});
    dir.put("Photo.Raw", {1, 2, 3, 4, 5, 6});
    const auto length = [&](const ProgramProfile& profile, const std::string& arg) -> int {
        const Parsed p = parse(profile, {arg});
        return p.status == continue_run ? static_cast<int>(p.images[0].length()) : -1;
    };
    EXPECT_EQ(length(quorva_profile(), "demo/dark1"), 1);
    EXPECT_EQ(length(quorva_profile(), "./demo/dark1"), 1);
    EXPECT_EQ(length(quorva_profile(), "demo/dark2"), 2);  // the directory of that name is passed over
    EXPECT_EQ(length(quorva_profile(), "demo/dark3"), 3);  // the first in byte order of the names
    EXPECT_EQ(length(quorva_profile(), "DEMO/dark1"), -1);  // the directory part is taken as typed
    EXPECT_EQ(length(veldix_profile(), "dsc_0001"), 5);     // ".tiff" as the converter writes it
    EXPECT_EQ(length(quorva_profile(), "dsc_0001"), -1);
    EXPECT_EQ(length(quorva_profile(), "photo.raw"), 6);
    const Parsed shown = parse(veldix_profile(), {"dsc_0001"});
    EXPECT_EQ(shown.settings.file_name[0], "DSC_0001.TIF");
}

TEST_F(CommandLine, AbsolutePathsAreFileNames)
{
    const std::string path = dir.path() + "/IMG.NEF";
    const Parsed p = parse(quorva_profile(), {path, "/L"});
    EXPECT_EQ(p.status, continue_run) << p.out;
    EXPECT_TRUE(p.settings.stats_log);
    EXPECT_TRUE(p.images[0].is_open());
    // A '.' makes it a name even without a second '/'.
    EXPECT_EQ(parse(quorva_profile(), {"/x.nef"}).out, "\nError:  Unable to open /X.NEF.\n\n");
    // A third name replaces the second.
    const Parsed three = parse(quorva_profile(), {"img", "two", "img.nef"});
    EXPECT_TRUE(three.settings.two_files);
    EXPECT_EQ(three.settings.file_name[1], "IMG.NEF");
}

TEST_F(CommandLine, MissingOrUnopenableImagesGiveTheProgramsMessages)
{
    ASSERT_EQ(::mkdir((dir.path() + "/FOLDER.NEF").c_str(), 0755), 0);
    const std::string none = "\nError:  No image file specified.  To view usage, type ";
    const std::string single = "\nComputing single-file statistics.\n";
    for (const auto& [profile, args, status, out] :
         std::vector<std::tuple<const ProgramProfile*, std::vector<std::string>, int, std::string>>{
             {&quorva_profile(), {}, 1, none + "QUORVA -?\n\n"},
             {&veldix_profile(), {"-L", "-W30"}, 1, none + "VELDIX -?\n\n"},
             {&quorva_profile(), {"nothere", "-?"}, 1, "\nError:  Unable to open NOTHERE.NEF.\n\n"},
             {&quorva_profile(), {"folder"}, 1, "\nError:  Unable to open FOLDER.NEF.\n\n"},
             {&quorva_profile(), {"", "img"}, 1, "\nError:  Unable to open .NEF.\n\n"},  // an empty name is a name
             {&quorva_profile(), {std::string(10000, 'a')}, 1,
              "\nError:  Unable to open " + std::string(10000, 'A') + ".NEF.\n\n"},
             // A second image that cannot be opened is only a warning.
             {&veldix_profile(), {"img", ""}, continue_run, "\nWarning:  Unable to open .TIF.\nComputing single-image data.\n"},
             {&veldix_profile(), {"img", "nothere"}, continue_run,
              "\nWarning:  Unable to open NOTHERE.TIF.\nComputing single-image data.\n"},
             {&quorva_profile(), {"img", "folder"}, continue_run, "\nWarning:  Unable to open FOLDER.NEF." + single},
             {&quorva_profile(), {"img", "two", "gone"}, continue_run,
              "\nWarning:  Unable to open GONE.NEF." + single}}) {
        const Parsed p = parse(*profile, args);
        EXPECT_EQ(p.status, status) << out;
        EXPECT_EQ(p.out, out);
        EXPECT_FALSE(p.settings.two_files) << out;
    }
}

}  // namespace
