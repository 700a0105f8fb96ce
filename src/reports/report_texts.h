// The texts of the report files, in one place: the programs write them and
// reportplot finds the tables again by them. A table title line is the title,
// then the source (", file NAME[ - NAME2], Window WxH at X=x Y=y"), then the
// column header line.
#pragma once

namespace report_texts {

// Report files; each program has its own statistics and histogram logs.
inline constexpr const char* profile_log = "RCDN.CSV";
inline constexpr const char* spectrum_log = "DFT.CSV";
inline constexpr const char* quorva_stats_log = "QUORVA.CSV";
inline constexpr const char* quorva_hist_log = "HQUORVA.CSV";
inline constexpr const char* veldix_stats_log = "VELDIX.CSV";
inline constexpr const char* veldix_hist_log = "HVELDIX.CSV";

// The statistics log's two heading lines: the title, then the columns (both
// %s take stats_columns).
inline constexpr const char* stats_title = "Image Statistics for Uncomp. 14-bit NEF files\n";
inline constexpr const char* stats_columns_format = "%s, Bclip, Wclip, From Hist:, %s, Files, Window\n";
inline constexpr const char* stats_columns = "Ave R, Ave G, Ave B, Sd R, Sd G, Sd B";
// In a record: the cell that opens the histogram-derived figures, and the
// word that joins the two file names.
inline constexpr const char* record_from_hist = "From Hist:";
inline constexpr const char* record_minus = " minus ";

// The source part of every title line.
inline constexpr const char* source_file = ", file %s";
inline constexpr const char* source_second_file = " - %s";
inline constexpr const char* source_window = ", Window %ldx%ld at X=%ld Y=%ld\n";

// Table titles.
inline constexpr const char* histogram_title = "Histogram data";
inline constexpr const char* normality_title = "Normality curves";
inline constexpr const char* profile_row_title = "Ave-row DN values";
inline constexpr const char* profile_col_title = "Ave-col DN values";
inline constexpr const char* ft_row_title = "Ave-row DFT coef mags";
inline constexpr const char* ft_col_title = "Ave-column DFT coef mags";
inline constexpr const char* multi_row_title = "Row-DFT ave. coef mags";
inline constexpr const char* multi_col_title = "Column-DFT ave. coef mags";
inline constexpr const char* acf_row_title = "Ave. Row-ACF";
inline constexpr const char* acf_col_title = "Ave. Column-ACF";

// Column headers, each a whole line.
inline constexpr const char* quorva_histogram_header = "Bin base,  Red cnt, Green1 cnt,  Blue cnt, Green2 cnt\n";
inline constexpr const char* veldix_histogram_header = "Bin base, Red cnt, Green1 cnt, Blue cnt, Green2 cnt\n";
inline constexpr const char* quorva_normality_header = "  DN,      Red,       Green,        Blue,  (SD's above Ave.)\n";
inline constexpr const char* veldix_normality_header = "  DN,      Red,       Green,        Blue  (SD's above Ave.)\n";
inline constexpr const char* profile_row_header = "  x,        R,        G1,         B,        G2\n";
inline constexpr const char* profile_col_header = "  y,        R,        G1,         B,        G2\n";
// Spectrum tables: frequencies (DFT) or lags (autocorrelation) in the label
// columns; a closing line of RMS figures opens with rms_label.
inline constexpr const char* frequency_header =
    "   f,       G,      f,       G,       f,       R,        G1,         B,        G2\n";
inline constexpr const char* lag_header =
    "   n,       G,      n,       G,       n,       R,        G1,         B,        G2\n";
inline constexpr const char* rms_label = "RMS:";

}  // namespace report_texts
