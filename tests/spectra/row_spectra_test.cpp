// Row and column spectra through whole runs: mosaics whose spectra are known
// in closed form, and which tables each mode and window size gives.
#include <array>

#include <gtest/gtest.h>

#include "program_profiles.h"
#include "raw_writer.h"
#include "support/report_reader.h"

namespace {

struct InputFile {
    std::string name;
    std::vector<uint8_t> bytes;
};

// 1, 0, -1, 0, ...: a cosine of period 4 that is exact in integers.
int quarter_wave(int64_t i)
{
    static const int values[4] = {1, 0, -1, 0};
    return values[((i % 4) + 4) % 4];
}

// Cells of a spectrum row: f, G(f), f + 1, G(f + 1), k, R, G1, B, G2.
enum Column { G_F = 1, G_F1 = 3, K = 4, COL_R = 5, COL_G1 = 6, COL_B = 7, COL_G2 = 8 };

// A mosaic whose planes R, G1, B, G2 are functions of c(x/2) and c(y/2),
// c() the period-4 cosine 1, 0, -1, 0 of the column pair or the row pair.
InputFile waves_nef(const char* name, uint32_t size, std::array<int, 4> (*planes)(int cx, int cy))
{
    return {name, rawgen::make_nef(rawgen::make_image(size, size, [=](uint32_t x, uint32_t y) {
                const auto p = planes(quarter_wave(x / 2), quarter_wave(y / 2));
                return static_cast<uint16_t>(p[static_cast<size_t>(rawgen::plane_of(x, y))]);
            }))};
}

// Along x (32 values per plane in a 64-wide window) a plane cosine of
// amplitude a gives a / 2 at k = 8. The combined green (G1 at even, G2 at
// odd places, 64 values) has 40 c at odd places only: 40 x 16 / 64 = 10 at
// f = 8 and f = 24. Along y, G1 and G2 of one column pair differ by 40 c(x/2):
// the column green alternates, |40 c| / 2 at f = 32, averaging 10.
InputFile waves()
{
    return waves_nef("WAVES.NEF", 96, [](int cx, int cy) {
        return std::array<int, 4>{1000 + 100 * cx + 60 * cy, 2000, 500 + 20 * cy, 2000 + 40 * cx};
    });
}

// The difference from waves: R = 600 + 60 c(x/2) + 60 c(y/2), G1 = 1000,
// G2 = 1000 + 40 c(x/2), B = 400 + 20 c(y/2).
InputFile second()
{
    return waves_nef("SECOND.NEF", 96, [](int cx, int) { return std::array<int, 4>{400 + 40 * cx, 1000, 100, 1000}; });
}

// R varies along x only (autocovariance 5000, 0, -5000, 0, ... of a variance
// of 5000), B along y only; the greens have no variance: their ACF columns are
// undefined.
InputFile acf()
{
    return waves_nef("ACF.NEF", 64, [](int cx, int cy) { return std::array<int, 4>{1000 + 100 * cx, 2000, 500 + 20 * cy, 2000}; });
}

InputFile flat_tif(const char* name, uint16_t r, uint16_t g1, uint16_t b, uint16_t g2)
{
    return {name, rawgen::make_tiff(rawgen::make_planes(64, 64, r, g1, b, g2))};
}

// R = 1000 + a c(y/2), a = 100 in the first 1024 column pairs and 300 after.
InputFile wide()
{
    return {"WIDE.NEF", rawgen::make_nef(rawgen::make_image(4004, 8, [](uint32_t x, uint32_t y) -> uint16_t {
                if (rawgen::plane_of(x, y) != rawgen::Plane::R)
                    return 2000;
                return static_cast<uint16_t>(1000 + (x < 2048 ? 100 : 300) * quarter_wave(y / 2));
            }))};
}

InputFile texture()
{
    return {"TEX.NEF", rawgen::make_nef(rawgen::make_image(2056, 16, [](uint32_t x, uint32_t y) {
                return static_cast<uint16_t>(1000 + (x * 7 + y * 13) % 64);
            }))};
}

struct Cell {
    size_t table;
    const char* label;  // f, or "RMS:"
    int column;
    const char* value;
};

const std::string row_dft = "Row-DFT ave. coef mags", column_dft = "Column-DFT ave. coef mags";
const std::string ft_row = "Ave-row DFT coef mags", ft_column = "Ave-column DFT coef mags";

struct SpectrumCase {
    const char* name;
    bool veldix = false;
    std::vector<InputFile> files;
    std::vector<std::string> args;
    std::vector<std::string> titles = {};  // of DFT.CSV, in order
    size_t rows = 0;                  // of the first table, RMS included (0: not checked)
    bool message = false;             // the window is too large for some option
    std::string rcdn = "<missing>";   // RCDN.CSV, or its first title
    std::vector<Cell> cells = {};
};

class Spectra : public testing::TestWithParam<SpectrumCase> {};

// A cell as written; on the RMS line the G(f + 1), R, G1, B and G2 places.
std::string cell_of(const plot::ReportTable& table, const std::string& label, int column)
{
    if (label == "RMS:")
        return column == G_F1 ? table.rms.at(0) : table.rms.at(static_cast<size_t>(column - COL_R + 1));
    for (size_t r = 0; r < table.row_count(); ++r)
        if (table.cell(r, 0) == label)
            return std::string(table.cell(r, static_cast<size_t>(column)));
    return "<no row " + label + ">";
}

TEST_P(Spectra, WriteTheTablesAndValuesExpected)
{
    const SpectrumCase& c = GetParam();
    ScratchDir dir;
    for (const InputFile& f : c.files)
        dir.put(f.name, f.bytes);
    const CapturedRun run = run_captured(c.veldix ? veldix_profile() : quorva_profile(), c.args);
    ASSERT_EQ(run.status, 0);
    const std::string dft = dir.read("DFT.CSV"), rcdn = dir.read("RCDN.CSV");
    std::vector<std::string> warnings, titles;
    const auto tables = read_tables(dft == "<missing>" ? "" : dft, spectrum_kinds, &warnings);
    EXPECT_EQ(warnings, std::vector<std::string>{});
    for (const plot::ReportTable& t : tables)
        titles.push_back(plot::table_title(t.kind));
    ASSERT_EQ(titles, c.titles);
    EXPECT_TRUE(!c.titles.empty() || dft == "<missing>" || dft.empty()) << dft;
    EXPECT_EQ(dft.find("-nan"), std::string::npos);
    if (c.rows != 0) {
        EXPECT_EQ(tables[0].row_count() + 1, c.rows);  // and the RMS line
    }
    EXPECT_EQ(run.out.find("Window exceeds Math array size; options disabled.\n") != std::string::npos, c.message);
    EXPECT_EQ(c.rcdn.empty() ? rcdn : rcdn.substr(0, c.rcdn.size()), c.rcdn);
    for (const Cell& cell : c.cells)
        EXPECT_EQ(cell_of(tables[cell.table], cell.label, cell.column), cell.value)
            << "table " << cell.table << " row " << cell.label << " column " << cell.column;
}

const std::vector<std::string> waves_window = {"-W64", "-H64", "-X16", "-Y16"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Spectra,
    testing::Values(
        // 18 rows: f = 0, 2 .. 32 and RMS. f + 1 = 33 is past N/2: 0.000 filler.
        SpectrumCase{.name = "AverageProfiles", .files = {waves()}, .args = with({"waves", "-F"}, waves_window),
                     .titles = {ft_row, ft_column}, .rows = 18,
                     .cells = {{0, "0", COL_R, "1000.000"}, {0, "16", COL_R, "50.000"}, {0, "14", COL_R, "0.000"},
                               {0, "16", COL_G2, "20.000"}, {0, "16", COL_B, "0.000"}, {0, "0", G_F, "2000.000"},
                               {0, "8", G_F, "10.000"}, {0, "24", G_F, "10.000"}, {0, "32", G_F1, "0.000"},
                               // sqrt(10^2 + 10^2): frequency 0 is not counted.
                               {0, "RMS:", G_F1, "14.142"}, {0, "RMS:", COL_R, "50.000"}, {0, "RMS:", COL_G2, "20.000"},
                               {1, "16", COL_R, "30.000"}, {1, "16", COL_B, "10.000"}, {1, "16", COL_G2, "0.000"},
                               {1, "RMS:", COL_B, "10.000"}, {1, "RMS:", G_F1, "0.000"}}},
        SpectrumCase{.name = "EveryRowAndColumnPair", .files = {waves()}, .args = with({"waves", "-M"}, waves_window),
                     .titles = {row_dft, column_dft}, .rows = 18,
                     .cells = {{0, "0", COL_R, "1000.000"}, {0, "16", COL_R, "50.000"}, {0, "16", COL_G2, "20.000"},
                               {0, "24", G_F, "10.000"}, {0, "0", COL_B, "500.000"}, {0, "RMS:", G_F1, "14.142"},
                               {1, "0", COL_R, "1000.000"}, {1, "16", COL_R, "30.000"}, {1, "16", COL_B, "10.000"},
                               {1, "32", G_F, "10.000"}, {1, "32", G_F1, "0.000"}, {1, "RMS:", G_F1, "10.000"},
                               {1, "RMS:", COL_R, "30.000"}}},
        SpectrumCase{.name = "TwoImagesTheDifference", .files = {waves(), second()},
                     .args = with({"waves", "second", "-M"}, waves_window), .titles = {row_dft, column_dft},
                     .cells = {{0, "0", COL_R, "600.000"}, {0, "16", COL_R, "30.000"}, {0, "0", COL_G1, "1000.000"},
                               {0, "0", COL_B, "400.000"}, {1, "0", COL_R, "600.000"}, {1, "16", COL_R, "30.000"},
                               {1, "0", COL_B, "400.000"}, {1, "16", COL_B, "10.000"}, {1, "0", COL_G2, "1000.000"},
                               {1, "0", G_F, "1000.000"}, {1, "32", G_F, "10.000"}}},
        // Odd corners, image 2 elsewhere: every plane stays in its column. G1
        // and G2 differ by 180: alternating green, 90 at the top frequency.
        SpectrumCase{.name = "OddWindowCorners", .veldix = true,
                     .files = {flat_tif("A.TIF", 100, 200, 300, 400), flat_tif("B.TIF", 10, 20, 30, 40)},
                     .args = {"a", "b", "-M", "-X1", "-Y1", "-U3", "-V5", "-W16", "-H16"},
                     .titles = {row_dft, column_dft},
                     .cells = {{0, "0", COL_R, "90.000"}, {0, "0", COL_G1, "180.000"}, {0, "0", COL_B, "270.000"},
                               {0, "0", COL_G2, "360.000"}, {0, "0", G_F, "270.000"}, {0, "8", G_F, "90.000"},
                               {1, "0", COL_R, "90.000"}, {1, "0", COL_G1, "180.000"}, {1, "0", COL_B, "270.000"},
                               {1, "0", COL_G2, "360.000"}, {1, "0", G_F, "270.000"}, {1, "8", G_F, "90.000"}}},
        // Lag k in the row labelled 2k; RMS over lags 2, 4, 6, 8: 4 x 100^2.
        SpectrumCase{.name = "AutocorrelationOfPeriodicPlanes", .files = {acf()},
                     .args = {"acf", "-A", "-W32", "-H32", "-X16", "-Y16"},
                     .titles = {"Ave. Row-ACF", "Ave. Column-ACF"}, .rows = 10,
                     .cells = {{0, "0", COL_R, "100.000"}, {0, "2", COL_R, "0.000"}, {0, "4", COL_R, "-100.000"},
                               {0, "14", COL_R, "0.000"}, {0, "16", COL_R, "100.000"}, {0, "RMS:", COL_R, "200.000"},
                               {0, "4", COL_B, "0.000"}, {0, "RMS:", COL_B, "0.000"}, {0, "0", G_F, "nan"},
                               {0, "16", COL_G1, "nan"}, {0, "RMS:", G_F1, "nan"}, {0, "RMS:", COL_G2, "nan"},
                               {1, "0", COL_B, "100.000"}, {1, "4", COL_B, "-100.000"}, {1, "RMS:", COL_B, "200.000"},
                               {1, "8", COL_R, "0.000"}, {1, "2", G_F1, "nan"}, {1, "RMS:", COL_G1, "nan"}}},
        // Only columns fit, read in more than one piece: at k = 1 (f = 2)
        // (1024 x 50 + 976 x 150) / 2000.
        SpectrumCase{.name = "ColumnsWiderThanTheRowLimit", .files = {wide()},
                     .args = {"wide", "-M", "-W4000", "-H8", "-X0", "-Y0"}, .titles = {column_dft}, .message = true,
                     .cells = {{0, "2", COL_R, "98.800"}, {0, "2", COL_B, "0.000"}, {0, "0", COL_R, "1000.000"}}},
        // Rows of the first table: f = 0, 2 .. N/2 and RMS, N/4 + 2 for the whole range.
        SpectrumCase{.name = "MultiWinsOverFt", .files = {texture()}, .args = {"tex", "-M", "-F", "-W32", "-H16"},
                     .titles = {row_dft, column_dft}, .rows = 10},
        SpectrumCase{.name = "AutocorrelationTakesDirections", .files = {texture()},
                     .args = {"tex", "-A", "-R", "-C", "-W32", "-H16"}, .titles = {"Ave. Row-ACF", "Ave. Column-ACF"},
                     .rows = 10},
        SpectrumCase{.name = "FtWidest", .files = {texture()}, .args = {"tex", "-F", "-R", "-W2000", "-H4"},
                     .titles = {ft_row, ft_column}, .rows = 502, .rcdn = "Ave-row DN values"},
        SpectrumCase{.name = "FtTooWide", .files = {texture()}, .args = {"tex", "-F", "-R", "-W2002", "-H4"},
                     .titles = {ft_column}, .message = true, .rcdn = ""},
        // -F4: f = W/2 - 8 .. W/2.
        SpectrumCase{.name = "FtUpperFrequencies", .files = {texture()}, .args = {"tex", "-F4", "-W40", "-H16"},
                     .titles = {ft_row, ft_column}, .rows = 6},
        SpectrumCase{.name = "MultiWidest", .files = {texture()}, .args = {"tex", "-M", "-W2048", "-H2"},
                     .titles = {row_dft}, .rows = 514},  // one row pair: no column table
        SpectrumCase{.name = "MultiTooWide", .files = {texture()}, .args = {"tex", "-M", "-W2050", "-H2"},
                     .message = true},
        // -M1 asks for 2 values: the least is 4, f = 4, 6, 8 and RMS.
        SpectrumCase{.name = "AtLeastFourFrequencies", .files = {texture()}, .args = {"tex", "-M1", "-W16", "-H16"},
                     .titles = {row_dft, column_dft}, .rows = 4},
        SpectrumCase{.name = "MultiNarrowest", .files = {texture()}, .args = {"tex", "-M", "-W2", "-H8"},
                     .titles = {column_dft}, .rows = 4}),
    [](const testing::TestParamInfo<SpectrumCase>& tested) { return std::string(tested.param.name); });

}  // namespace
