// Row and column spectra through whole runs on synthetic mosaics whose
// spectra are known in closed form.
#include <gtest/gtest.h>

#include "spectra/report_tables.h"

using namespace spectra_test;

namespace {

// A 96 x 96 mosaic; c() is the period-4 cosine 1, 0, -1, 0 of the column pair
// x / 2 or the row pair y / 2:
//   R  = 1000 + 100 c(x/2) + 60 c(y/2)    G1 = 2000
//   G2 = 2000 + 40 c(x/2)                  B  = 500 + 20 c(y/2)
// Along x (32 values per plane in a 64-wide window) a plane cosine of
// amplitude a gives a / 2 at k = 8. The combined green (G1 at even, G2 at
// odd places, 64 values) has 40 c at odd places only: 40 x 16 / 64 = 10 at
// f = 8 and f = 24. Along y, G1 and G2 of one column pair differ by 40 c(x/2):
// the column green alternates, |40 c| / 2 at f = 32, averaging 10.
uint16_t waves(uint32_t x, uint32_t y)
{
    const int cx = quarter_wave(x / 2);
    const int cy = quarter_wave(y / 2);
    switch (rawgen::plane_of(x, y)) {
    case rawgen::Plane::R: return static_cast<uint16_t>(1000 + 100 * cx + 60 * cy);
    case rawgen::Plane::G1: return 2000;
    case rawgen::Plane::G2: return static_cast<uint16_t>(2000 + 40 * cx);
    case rawgen::Plane::B: return static_cast<uint16_t>(500 + 20 * cy);
    }
    return 0;
}

std::vector<uint8_t> waves_nef()
{
    return rawgen::make_nef(rawgen::make_image(96, 96, waves));
}

struct Cell {
    size_t table;
    const char* label;  // f, or "RMS:"
    int column;
    const char* value;
};

struct SpectrumCase {
    const char* name;
    const char* mode;
    std::vector<std::string> titles;
    std::vector<Cell> cells;
};

class KnownSpectrum : public testing::TestWithParam<SpectrumCase> {};

TEST_P(KnownSpectrum, ShowsAtItsFrequencyWithItsMagnitude)
{
    const SpectrumCase& c = GetParam();
    const Output out = run_on(quorva_profile(), {{"WAVES.NEF", waves_nef()}},
                              {"waves", c.mode, "-W64", "-H64", "-X16", "-Y16"});
    ASSERT_EQ(out.status, 0);
    const auto tables = read_tables(out.dft);
    ASSERT_EQ(titles(tables), c.titles);
    for (const Table& t : tables)
        EXPECT_EQ(t.rows.size(), 18u);  // f = 0, 2 .. 32 and RMS
    for (const Cell& cell : c.cells) {
        const Cells* row = tables[cell.table].row(cell.label);
        ASSERT_NE(row, nullptr) << cell.label;
        EXPECT_EQ((*row)[static_cast<size_t>(cell.column)], cell.value)
            << "table " << cell.table << " row " << cell.label << " column " << cell.column;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Waves, KnownSpectrum,
    testing::Values(
        SpectrumCase{"AverageProfiles", "-F", {"Ave-row DFT coef mags", "Ave-column DFT coef mags"},
                     {{0, "0", COL_R, "1000.000"}, {0, "16", COL_R, "50.000"}, {0, "14", COL_R, "0.000"},
                      {0, "16", COL_G2, "20.000"}, {0, "16", COL_B, "0.000"}, {0, "0", G_F, "2000.000"},
                      {0, "8", G_F, "10.000"}, {0, "24", G_F, "10.000"}, {0, "32", G_F1, "0.000"},
                      // sqrt(10^2 + 10^2): frequency 0 is not counted.
                      {0, "RMS:", G_F1, "14.142"}, {0, "RMS:", COL_R, "50.000"}, {0, "RMS:", COL_G2, "20.000"},
                      {1, "16", COL_R, "30.000"}, {1, "16", COL_B, "10.000"}, {1, "16", COL_G2, "0.000"},
                      {1, "RMS:", COL_B, "10.000"}, {1, "RMS:", G_F1, "0.000"}}},
        SpectrumCase{"EveryRowAndColumnPair", "-M", {"Row-DFT ave. coef mags", "Column-DFT ave. coef mags"},
                     {{0, "0", COL_R, "1000.000"}, {0, "16", COL_R, "50.000"}, {0, "16", COL_G2, "20.000"},
                      {0, "24", G_F, "10.000"}, {0, "0", COL_B, "500.000"}, {0, "RMS:", G_F1, "14.142"},
                      {1, "0", COL_R, "1000.000"}, {1, "16", COL_R, "30.000"}, {1, "16", COL_B, "10.000"},
                      {1, "32", G_F, "10.000"}, {1, "32", G_F1, "0.000"}, {1, "RMS:", G_F1, "10.000"},
                      {1, "RMS:", COL_R, "30.000"}}}),
    [](const testing::TestParamInfo<SpectrumCase>& tested) { return std::string(tested.param.name); });

// Two images: the second takes 400 + 40 c(x/2) from R and constants from the
// other planes, so d has R = 600 + 60 c(x/2) + 60 c(y/2), G1 = 1000,
// G2 = 1000 + 40 c(x/2), B = 400 + 20 c(y/2): both passes must read both
// images (the one-image values of the same window are in EveryRowAndColumnPair).
TEST(MultiSpectra, TwoImagesGiveTheSpectrumOfTheDifference)
{
    const auto second = rawgen::make_image(96, 96, [](uint32_t x, uint32_t y) -> uint16_t {
        static const uint16_t level[4] = {0, 1000, 100, 1000};  // by Plane
        const auto plane = rawgen::plane_of(x, y);
        if (plane == rawgen::Plane::R)
            return static_cast<uint16_t>(400 + 40 * quarter_wave(x / 2));
        return level[static_cast<int>(plane)];
    });
    const Output out = run_on(quorva_profile(), {{"WAVES.NEF", waves_nef()}, {"SECOND.NEF", rawgen::make_nef(second)}},
                              {"waves", "second", "-M", "-W64", "-H64", "-X16", "-Y16"});
    const auto tables = read_tables(out.dft);
    ASSERT_EQ(titles(tables), (std::vector<std::string>{"Row-DFT ave. coef mags", "Column-DFT ave. coef mags"}));
    const Cell cells[] = {{0, "0", COL_R, "600.000"},  {0, "16", COL_R, "30.000"}, {0, "0", COL_G1, "1000.000"},
                          {0, "0", COL_B, "400.000"},  {1, "0", COL_R, "600.000"}, {1, "16", COL_R, "30.000"},
                          {1, "0", COL_B, "400.000"},  {1, "16", COL_B, "10.000"}, {1, "0", COL_G2, "1000.000"},
                          {1, "0", G_F, "1000.000"},   {1, "32", G_F, "10.000"}};
    for (const Cell& cell : cells) {
        const Cells* row = tables[cell.table].row(cell.label);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ((*row)[static_cast<size_t>(cell.column)], cell.value)
            << "table " << cell.table << " row " << cell.label << " column " << cell.column;
    }
}

// An odd window corner: the plane of every sample still follows from its
// image position, in the second image from that image's own window. Flat
// planes show up as the frequency-0 values of both tables.
TEST(MultiSpectra, OddWindowCornerKeepsEveryPlaneInItsColumn)
{
    auto flat = [](uint16_t r, uint16_t g1, uint16_t b, uint16_t g2) {
        return rawgen::make_tiff(rawgen::make_image(64, 64, [=](uint32_t x, uint32_t y) {
            const uint16_t by_plane[4] = {r, g1, b, g2};
            return by_plane[static_cast<int>(rawgen::plane_of(x, y))];
        }));
    };
    const Output out = run_on(veldix_profile(), {{"A.TIF", flat(100, 200, 300, 400)}, {"B.TIF", flat(10, 20, 30, 40)}},
                              {"a", "b", "-M", "-X1", "-Y1", "-U3", "-V5", "-W16", "-H16"});
    ASSERT_EQ(out.status, 0);
    const auto tables = read_tables(out.dft);
    ASSERT_EQ(tables.size(), 2u) << out.dft;
    for (const Table& t : tables) {
        const auto* dc = t.row("0");
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ((*dc)[COL_R], "90.000") << t.title;
        EXPECT_EQ((*dc)[COL_G1], "180.000") << t.title;
        EXPECT_EQ((*dc)[COL_B], "270.000") << t.title;
        EXPECT_EQ((*dc)[COL_G2], "360.000") << t.title;
        EXPECT_EQ((*dc)[G_F], "270.000") << t.title;
        // G1 and G2 differ by 180 in every column (row) pair: alternating
        // green, 180 / 2 at the top frequency.
        const auto* top = t.row("8");
        ASSERT_NE(top, nullptr);
        EXPECT_EQ((*top)[G_F], "90.000") << t.title;
    }
}

// -A: R = 1000 + 100 c(x/2) varies along x only (autocovariance 5000, 0,
// -5000, 0, ... of a variance of 5000), B = 500 + 20 c(y/2) along y only,
// G1 = G2 = 2000 has no variance: its ACF columns are undefined.
TEST(MultiSpectra, AutocorrelationOfPeriodicPlanesAndFlatGreen)
{
    const auto image = rawgen::make_image(64, 64, [](uint32_t x, uint32_t y) -> uint16_t {
        switch (rawgen::plane_of(x, y)) {
        case rawgen::Plane::R: return static_cast<uint16_t>(1000 + 100 * quarter_wave(x / 2));
        case rawgen::Plane::B: return static_cast<uint16_t>(500 + 20 * quarter_wave(y / 2));
        default: return 2000;
        }
    });
    const Output out =
        run_on(quorva_profile(), {{"ACF.NEF", rawgen::make_nef(image)}}, {"acf", "-A", "-W32", "-H32", "-X16", "-Y16"});
    ASSERT_EQ(out.status, 0);
    const auto tables = read_tables(out.dft);
    ASSERT_EQ(titles(tables), (std::vector<std::string>{"Ave. Row-ACF", "Ave. Column-ACF"})) << out.dft;
    EXPECT_NE(out.dft.find("   n,       G,      n,"), std::string::npos);

    const char* const wave[9] = {"100.000", "0.000", "-100.000", "0.000", "100.000",
                                 "0.000",   "-100.000", "0.000", "100.000"};
    for (size_t t = 0; t < 2; ++t) {
        const int varying = t == 0 ? COL_R : COL_B;
        const int flat = t == 0 ? COL_B : COL_R;
        ASSERT_EQ(tables[t].rows.size(), 10u);
        for (int lag = 0; lag <= 8; ++lag) {
            const auto& row = tables[t].rows[static_cast<size_t>(lag)];
            EXPECT_EQ(row[K], std::to_string(lag));
            EXPECT_EQ(row[static_cast<size_t>(varying)], wave[lag]) << t << " lag " << lag;
            EXPECT_EQ(row[static_cast<size_t>(flat)], "0.000") << t << " lag " << lag;
            for (int green : {G_F, G_F1, COL_G1, COL_G2})
                EXPECT_EQ(row[static_cast<size_t>(green)], "nan") << t << " lag " << lag;
        }
        const auto& rms = tables[t].rows.back();
        EXPECT_EQ(rms[0], "RMS:");
        EXPECT_EQ(rms[static_cast<size_t>(varying)], "200.000");  // 4 x 100^2 at lags 2, 4, 6, 8
        EXPECT_EQ(rms[static_cast<size_t>(flat)], "0.000");
        EXPECT_EQ(rms[G_F1], "nan");
        EXPECT_EQ(rms[COL_G1], "nan");
        EXPECT_EQ(rms[COL_G2], "nan");
    }
    EXPECT_EQ(out.dft.find("-nan"), std::string::npos);
}

// Only the column direction fits a 4000-wide window; its column pairs are
// read in more than one piece. R = 1000 + a c(y/2) with a = 100 in the first
// 1024 column pairs and 300 in the other 976: the average magnitude at k = 1
// (4 row pairs) is (1024 x 50 + 976 x 150) / 2000.
TEST(MultiSpectra, ColumnsOfAWindowWiderThanTheRowLimit)
{
    const auto image = rawgen::make_image(4004, 8, [](uint32_t x, uint32_t y) -> uint16_t {
        if (rawgen::plane_of(x, y) != rawgen::Plane::R)
            return 2000;
        const int amplitude = x < 2048 ? 100 : 300;
        return static_cast<uint16_t>(1000 + amplitude * quarter_wave(y / 2));
    });
    const Output out =
        run_on(quorva_profile(), {{"WIDE.NEF", rawgen::make_nef(image)}}, {"wide", "-M", "-W4000", "-H8", "-X0", "-Y0"});
    ASSERT_EQ(out.status, 0);
    EXPECT_NE(out.console.find("Window exceeds Math array size; options disabled.\n"), std::string::npos);
    const auto tables = read_tables(out.dft);
    ASSERT_EQ(titles(tables), std::vector<std::string>{"Column-DFT ave. coef mags"});
    const auto* k1 = tables[0].row("2");
    ASSERT_NE(k1, nullptr);
    EXPECT_EQ((*k1)[COL_R], "98.800");
    EXPECT_EQ((*k1)[COL_B], "0.000");
    EXPECT_EQ((*tables[0].row("0"))[COL_R], "1000.000");
}

struct ModeCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> tables;  // in DFT.CSV, in order
    size_t first_table_rows;          // rows of the first table, RMS included (f = 0, 2 .. N/2 and
                                      // RMS: N/4 + 2 for the whole range); 0: not checked
    bool window_message;
    const char* profile_log;  // "<missing>", "" (created, empty) or the first title
};

class SpectrumModes : public testing::TestWithParam<ModeCase> {};

TEST_P(SpectrumModes, WriteTheTablesTheirSwitchesAndWindowAllow)
{
    const ModeCase& m = GetParam();
    const auto image = rawgen::make_image(2056, 16, [](uint32_t x, uint32_t y) {
        return static_cast<uint16_t>(1000 + (x * 7 + y * 13) % 64);
    });
    std::vector<std::string> args = {"wide"};
    args.insert(args.end(), m.args.begin(), m.args.end());
    const Output out = run_on(quorva_profile(), {{"WIDE.NEF", rawgen::make_nef(image)}}, args);
    ASSERT_EQ(out.status, 0);
    const auto tables = read_tables(out.dft);
    EXPECT_EQ(titles(tables), m.tables);
    if (m.tables.empty()) {
        EXPECT_EQ(out.dft, "");
    }
    if (m.first_table_rows != 0 && !tables.empty()) {
        EXPECT_EQ(tables[0].rows.size(), m.first_table_rows);
    }
    EXPECT_EQ(out.console.find("Window exceeds Math array size; options disabled.\n") != std::string::npos,
              m.window_message);
    const std::string profile_log = m.profile_log;
    if (profile_log == "<missing>" || profile_log.empty()) {
        EXPECT_EQ(out.rcdn, profile_log);
    } else {
        EXPECT_EQ(out.rcdn.substr(0, profile_log.size()), profile_log);
    }
}

const std::string row_dft = "Row-DFT ave. coef mags";
const std::string column_dft = "Column-DFT ave. coef mags";
const std::string ft_row = "Ave-row DFT coef mags";
const std::string ft_column = "Ave-column DFT coef mags";

INSTANTIATE_TEST_SUITE_P(
    Selection, SpectrumModes,
    testing::Values(
        ModeCase{"MultiWinsOverFt", {"-M", "-F", "-W32", "-H16"}, {row_dft, column_dft}, 10, false, "<missing>"},
        ModeCase{"MultiRowsOnly", {"-M", "-R", "-W32", "-H16"}, {row_dft}, 10, false, "<missing>"},
        ModeCase{"MultiColumnsOnly", {"-M", "-C", "-W32", "-H16"}, {column_dft}, 6, false, "<missing>"},
        ModeCase{"AutocorrelationTakesDirections", {"-A", "-R", "-C", "-W32", "-H16"},
                 {"Ave. Row-ACF", "Ave. Column-ACF"}, 10, false, "<missing>"},
        // The default ft_upper reports every frequency 0 .. W/2.
        ModeCase{"FtWidest", {"-F", "-R", "-W2000", "-H4"}, {ft_row, ft_column}, 502, false, "Ave-row DN values"},
        ModeCase{"FtTooWide", {"-F", "-R", "-W2002", "-H4"}, {ft_column}, 0, true, ""},
        // -F4: ft_upper 8, so f = W/2 - 8 .. W/2.
        ModeCase{"FtUpperFrequencies", {"-F4", "-W40", "-H16"}, {ft_row, ft_column}, 6, false, "<missing>"},
        // H = 2: one row pair, no column table.
        ModeCase{"MultiWidest", {"-M", "-W2048", "-H2"}, {row_dft}, 514, false, "<missing>"},
        ModeCase{"MultiTooWide", {"-M", "-W2050", "-H2"}, {}, 0, true, "<missing>"},
        // W = 2: no row table, only the column table.
        ModeCase{"MultiNarrowest", {"-M", "-W2", "-H8"}, {column_dft}, 4, false, "<missing>"}),
    [](const testing::TestParamInfo<ModeCase>& tested) { return std::string(tested.param.name); });

}  // namespace
