// The switch grammar, file names and the messages of the argument loop.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "program_profiles.h"
#include "raw_writer.h"
#include "run/command_line.h"
#include "run/run_state.h"
#include "support/run_capture.h"

namespace {

struct Parsed {
    int status;
    std::string out;
    std::unique_ptr<RunState> run;
};

// Parses the arguments (without the program name) in the current directory.
Parsed parse(const ProgramProfile& profile, std::vector<std::string> args)
{
    std::vector<const char*> argv{"program"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* console = ::open_memstream(&buffer, &size);
    Parsed parsed{0, "", std::make_unique<RunState>(profile, Console{console})};
    parsed.status = parse_arguments(*parsed.run, static_cast<int>(argv.size()), argv.data());
    std::fclose(console);
    parsed.out.assign(buffer, size);
    std::free(buffer);
    return parsed;
}

class CommandLine : public testing::Test {
protected:
    void SetUp() override
    {
        const auto nef = rawgen::make_nef(rawgen::make_image(4, 4, [](uint32_t, uint32_t) -> uint16_t { return 1; }));
        dir.put("IMG.NEF", nef);
        dir.put("TWO.NEF", nef);
        dir.put("IMG.TIF", rawgen::make_tiff(rawgen::make_image(4, 4, [](uint32_t, uint32_t) -> uint16_t { return 1; })));
    }
    // Settings after "img" and the given switches.
    RunSettings settings(std::vector<std::string> switches, const ProgramProfile& profile = quorva_profile())
    {
        switches.insert(switches.begin(), "img");
        Parsed p = parse(profile, switches);
        EXPECT_EQ(p.status, continue_run) << p.out;
        return p.run->settings;
    }
    ScratchDir dir;
};

TEST_F(CommandLine, SwitchFormsAreEquivalentAndCaseInsensitive)
{
    EXPECT_EQ(settings({"w=300"}).W, 300);
    EXPECT_EQ(settings({"-w300"}).W, 300);
    EXPECT_EQ(settings({"/W300"}).W, 300);
    EXPECT_EQ(settings({"-W=300"}).W, 0);   // value text "=300" has no digits
    EXPECT_EQ(settings({"-W"}).W, 200);     // bare letter: unchanged
    EXPECT_EQ(settings({"-X-1"}).X, -1);
    EXPECT_EQ(settings({"-Y-5"}).Y, -5);
    EXPECT_EQ(settings({"-W300", "-W40"}).W, 40);  // a later switch wins
}

TEST_F(CommandLine, ValuesUseStrtolSemanticsClampedTo32Bits)
{
    EXPECT_EQ(settings({"-W 12abc"}).W, 12);
    EXPECT_EQ(settings({"-W+7"}).W, 7);
    EXPECT_EQ(settings({"-W99999999999999999999"}).W, INT32_MAX);
    EXPECT_EQ(settings({"-X-99999999999999999999"}).X, INT32_MIN);
    EXPECT_EQ(settings({"-W4294967296"}).W, INT32_MAX);
}

TEST_F(CommandLine, HistogramSwitchesNeedAValueToTakeEffect)
{
    const RunSettings bare = settings({"-S"});
    EXPECT_FALSE(bare.hist_enabled);
    EXPECT_EQ(bare.S, 1);
    const RunSettings zero = settings({"-S0"});
    EXPECT_TRUE(zero.hist_enabled);
    EXPECT_EQ(zero.S, 0);
    const RunSettings no_digits = settings({"-SX"});
    EXPECT_TRUE(no_digits.hist_enabled);
    EXPECT_EQ(no_digits.S, 0);
    EXPECT_TRUE(settings({"b=3"}).hist_enabled);
    EXPECT_EQ(settings({"-E900"}).E, 900);
    EXPECT_EQ(settings({"-N20"}).N, 20);
}

TEST_F(CommandLine, KSwitchSetsTheFitEdgeOnlyInsideItsRange)
{
    const RunSettings bare = settings({"-K"});
    EXPECT_TRUE(bare.k_mode);
    EXPECT_DOUBLE_EQ(bare.K, 2.8);
    EXPECT_DOUBLE_EQ(settings({"-K25"}).K, 2.5);
    EXPECT_DOUBLE_EQ(settings({"-K15"}).K, 1.5);
    EXPECT_DOUBLE_EQ(settings({"-K40"}).K, 4.0);
    const RunSettings high = settings({"-K41"});
    EXPECT_TRUE(high.k_mode);
    EXPECT_DOUBLE_EQ(high.K, 2.8);
    EXPECT_DOUBLE_EQ(settings({"-K14"}).K, 2.8);
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
    EXPECT_DOUBLE_EQ(o.channel_scale[0], 1.125);
    EXPECT_DOUBLE_EQ(o.channel_scale[1], 1.0);
    EXPECT_DOUBLE_EQ(o.channel_scale[2], 1.16);
    EXPECT_EQ(settings({"-D16"}).debug_bits, 16);
}

TEST_F(CommandLine, UnknownLettersAndEqualsSwitchesHaveNoEffect)
{
    const RunSettings defaults = settings({});
    for (const char* arg : {"-Z5", "-=5", "/=W5", "Q=3", "-"}) {
        const RunSettings s = settings({arg});
        EXPECT_EQ(s.W, defaults.W) << arg;
        EXPECT_EQ(s.S, defaults.S) << arg;
        EXPECT_FALSE(s.hist_enabled || s.stats_log || s.k_mode) << arg;
        EXPECT_FALSE(s.two_files) << arg;
    }
}

TEST_F(CommandLine, SecondWindowSwitchesBelongToVeldixOnly)
{
    const RunSettings q = settings({"U=10", "V=10"});
    EXPECT_EQ(q.X2, -1);
    EXPECT_EQ(q.Y2, -1);
    const RunSettings v = settings({"U=10", "-V12"}, veldix_profile());
    EXPECT_EQ(v.X2, 10);
    EXPECT_EQ(v.Y2, 12);
}

TEST_F(CommandLine, NamesAreShownUpperCasedWithTheDefaultExtension)
{
    EXPECT_EQ(display_name(quorva_profile(), "dsc_0001"), "DSC_0001.NEF");
    EXPECT_EQ(display_name(veldix_profile(), "dsc_0001"), "DSC_0001.TIF");
    EXPECT_EQ(display_name(quorva_profile(), "dsc_0001.raw"), "DSC_0001.RAW");
    EXPECT_EQ(display_name(quorva_profile(), "..\\dsc_0001"), "..\\DSC_0001");
    EXPECT_EQ(display_name(quorva_profile(), ""), ".NEF");
}

TEST_F(CommandLine, OpensTheNameAsTypedThenWithLowerExtensionThenUpperCased)
{
    dir.put("lower.nef", {1, 2, 3});
    dir.put("Mixed.NEF", {1, 2});
    dir.put("UPPER.RAW", {1});
    EXPECT_EQ(parse(quorva_profile(), {"lower"}).run->settings.file_length[0], 3u);
    EXPECT_EQ(parse(quorva_profile(), {"Mixed"}).run->settings.file_length[0], 2u);
    const Parsed upper = parse(quorva_profile(), {"upper.raw"});
    EXPECT_EQ(upper.status, continue_run);
    EXPECT_EQ(upper.run->settings.file_name[0], "UPPER.RAW");
    EXPECT_EQ(upper.run->settings.file_length[0], 1u);
}

TEST_F(CommandLine, AbsolutePathsAreFileNames)
{
    const std::string path = dir.path() + "/IMG.NEF";
    const Parsed p = parse(quorva_profile(), {path, "/L"});
    EXPECT_EQ(p.status, continue_run) << p.out;
    EXPECT_TRUE(p.run->settings.stats_log);
    EXPECT_NE(p.run->images.file[0], nullptr);
}

TEST_F(CommandLine, ThirdNameReplacesTheSecond)
{
    const Parsed p = parse(quorva_profile(), {"img", "two", "img.nef"});
    EXPECT_TRUE(p.run->settings.two_files);
    EXPECT_EQ(p.run->settings.file_name[1], "IMG.NEF");

    const Parsed lost = parse(quorva_profile(), {"img", "two", "gone"});
    EXPECT_FALSE(lost.run->settings.two_files);
    EXPECT_EQ(lost.out, "\nWarning:  Unable to open GONE.NEF.\nComputing single-file statistics.\n");
}

TEST_F(CommandLine, MissingImagesGiveTheProgramsMessages)
{
    const Parsed none = parse(quorva_profile(), {});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "\nError:  No image file specified.  To view usage, type QUORVA -?\n\n");
    const Parsed switches_only = parse(veldix_profile(), {"-L", "-W30"});
    EXPECT_EQ(switches_only.status, 1);
    EXPECT_EQ(switches_only.out, "\nError:  No image file specified.  To view usage, type VELDIX -?\n\n");

    const Parsed missing = parse(quorva_profile(), {"nothere", "-?"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "\nError:  Unable to open NOTHERE.NEF.\n\n");

    const Parsed second = parse(veldix_profile(), {"img", "nothere"});
    EXPECT_EQ(second.status, continue_run);
    EXPECT_FALSE(second.run->settings.two_files);
    EXPECT_EQ(second.out, "\nWarning:  Unable to open NOTHERE.TIF.\nComputing single-image data.\n");

    const Parsed empty = parse(quorva_profile(), {""});
    EXPECT_EQ(empty.out, "\nError:  Unable to open .NEF.\n\n");
}

TEST_F(CommandLine, DirectoryNamedAsImageCannotBeOpened)
{
    ASSERT_EQ(::mkdir((dir.path() + "/FOLDER.NEF").c_str(), 0755), 0);
    const Parsed first = parse(quorva_profile(), {"folder"});
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(first.out, "\nError:  Unable to open FOLDER.NEF.\n\n");
    const Parsed second = parse(quorva_profile(), {"img", "folder"});
    EXPECT_EQ(second.status, continue_run);
    EXPECT_FALSE(second.run->settings.two_files);
}

TEST_F(CommandLine, UsageTextIsPrintedWhereverTheQuestionMarkStands)
{
    const Parsed q = parse(quorva_profile(), {"img", "/?"});
    EXPECT_EQ(q.status, 0);
    EXPECT_EQ(q.out,
              "QUORVA V.0.72, Apr. 2012.\n"
              "Calculates image statistics for Uncompressed 14-bit NEF files.\n\n"
              "> QUORVA filename1[.NEF] [filename2[.NEF]] [switches]\n\n"
              "Displays channel averages and SD values over selected window.  If two\n"
              " filenames are given, SDs are computed on difference between images.\n"
              "Switches are not case sensitive but must not contain spaces:\n"
              " -L or /L:  Append statistics in csv format to file QUORVA.CSV\n"
              " -R or /R, -C or /C: Write Ave row/col DN to RCDN.CSV. Max window dim 2000.\n"
              " -Wnnn or /Wnnn or W=nnn:  Set window width. Default 200.\n"
              " -Hnnn or /Hnnn or H=nnn:  Set window height. Default square window.\n"
              " -Xnnn or /Xnnn or X=nnn:  Set window X pos. Default image center.\n"
              " -Ynnn or /Ynnn or Y=nnn:  Set window Y pos. Default image center.\n"
              " [Note (X,Y) is position of upper left corner of window.]\n"
              "Histograms: Any switch enables 4-chan output to HQUORVA.CSV:\n"
              " -Snnn or /Snnn or S=nnn:  Set hist. start value. Default 1.\n"
              " -Bnnn or /Bnnn or B=nnn:  Set hist. bin width. Default 1.\n"
              " -Ennn or /Ennn or E=nnn:  Set hist. end value. Overrides -B.\n"
              " -Nnnn or /Nnnn or N=nnn:  Set number of bins. Default 50, max 512.\n"
              "DFT: 5-chan Horiz/Vert 1D for random or row/column-aligned patterns.\n"
              " -Fnnn or /Fnnn or F=nnn:  Write FT coef for upper nnn freq to DFT.CSV.\n"
              "Multi-row/col DFT -M or /M; Autocorrelation -A or /A: See user guide.\n");

    const Parsed v = parse(veldix_profile(), {"-?", "nothere"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.substr(0, 120),
              std::string("Image Statistics V.0.72 for 16-bit TIF files generated by\n"
                          "  dcraw command:  > dcraw -D -4 -T filename.ext \n\n"
                          "   > VELDIX filename1[.TIF] [filename2[.TIF]] [switches]\n\n")
                  .substr(0, 120));
    EXPECT_NE(v.out.find(" -Wnnn or /Wnnn or W=nnn:  Set window width.   Default 200.\n"), std::string::npos);
    EXPECT_NE(v.out.find("DFT: 5-chan Horiz/Vert 1D for rand noise or row/column-aligned signals.\n"),
              std::string::npos);
}

TEST_F(CommandLine, VeryLongArgumentsAreHandledWhole)
{
    const std::string long_name(10000, 'a');
    const Parsed p = parse(quorva_profile(), {long_name});
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(p.out, "\nError:  Unable to open " + std::string(10000, 'A') + ".NEF.\n\n");
    EXPECT_EQ(settings({"-W" + std::string(5000, '0') + "64"}).W, 64);
}

}  // namespace
