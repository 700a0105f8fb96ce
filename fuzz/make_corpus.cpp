// Writes the seed corpus of the fuzz targets: make_corpus DIR fills
// DIR/<target>/ with small valid raw files of both byte orders, a few damaged
// ones, and for the whole-program targets argument lists in front of them (the
// input layout of fuzzing::decode_program_input).
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "raw_writer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// The smallest header the NEF readers accept in front of the samples.
constexpr uint32_t nef_header_bytes = 10000;

rawgen::Image dark_image(uint32_t width, uint32_t height, uint64_t seed)
{
    // A dark frame: levels near zero with noise, so that both clipping and the
    // histogram-derived statistics are reached.
    rawgen::Content content;
    const double levels[4] = {30, 45, 25, 50};
    for (int p = 0; p < 4; ++p) {
        content.plane[p].level = levels[p];
        content.plane[p].noise_sd = 12;
        content.plane[p].row_band_sd = 2;
    }
    content.seed = seed;
    return rawgen::make_image(width, height, content);
}

rawgen::Image ramp_image(uint32_t width, uint32_t height)
{
    return rawgen::make_image(width, height,
                              [](uint32_t x, uint32_t y) { return static_cast<uint16_t>(100 + 7 * x + 13 * y); });
}

rawgen::NefOptions nef_options(bool file_big, bool maker_big)
{
    rawgen::NefOptions options;
    options.file_big_endian = file_big;
    options.maker_big_endian = maker_big;
    options.header_bytes = nef_header_bytes;
    return options;
}

// A damaged NEF that stops before its size test needs only its directories:
// the zero padding and the samples are cut off.
Bytes head_only(Bytes file)
{
    size_t end = std::min<size_t>(file.size(), nef_header_bytes);
    while (end > 0 && file[end - 1] == 0)
        --end;
    file.resize(end + 4);
    return file;
}

rawgen::TiffOptions tiff_options(bool big, bool short_entries)
{
    rawgen::TiffOptions options;
    options.big_endian = big;
    options.short_entries = short_entries;
    return options;
}

// Two images as one input: the first image's length (16 bits, little-endian),
// the first image, the second.
Bytes pair(const Bytes& first, const Bytes& second)
{
    Bytes out;
    out.push_back(static_cast<uint8_t>(first.size() & 0xFF));
    out.push_back(static_cast<uint8_t>(first.size() >> 8));
    out.insert(out.end(), first.begin(), first.end());
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

// A whole-program input: argument count (and the two-image bit), the
// arguments each ended by a zero byte, the image bytes.
Bytes program_input(const std::vector<std::string>& args, const Bytes& first, const Bytes* second = nullptr)
{
    Bytes out;
    out.push_back(static_cast<uint8_t>(args.size() | (second ? 0x08 : 0x00)));
    for (const std::string& arg : args) {
        out.insert(out.end(), arg.begin(), arg.end());
        out.push_back(0);
    }
    const Bytes images = second ? pair(first, *second) : first;
    out.insert(out.end(), images.begin(), images.end());
    return out;
}

class CorpusWriter {
public:
    explicit CorpusWriter(fs::path root) : root_(std::move(root)) {}

    void put(const std::string& target, const std::string& name, const Bytes& bytes)
    {
        const fs::path dir = root_ / target;
        std::error_code error;
        fs::create_directories(dir, error);
        if (error || !rawgen::write_file((dir / name).string(), bytes)) {
            std::fprintf(stderr, "make_corpus: cannot write %s\n", (dir / name).string().c_str());
            failed_ = true;
        }
    }
    bool failed() const { return failed_; }

private:
    fs::path root_;
    bool failed_ = false;
};

void nef_seeds(CorpusWriter& out)
{
    const rawgen::Image small = ramp_image(8, 6);
    const rawgen::Image dark = dark_image(20, 20, 7);
    const std::string t = "nef_probe_fuzz";
    out.put(t, "mm-8x6", rawgen::make_nef(small, nef_options(true, true)));
    out.put(t, "ii-8x6", rawgen::make_nef(small, nef_options(false, false)));
    out.put(t, "ii-maker-mm-20x20", rawgen::make_nef(dark, nef_options(false, true)));
    {
        rawgen::NefOptions o = nef_options(true, false);
        o.model = "NIKON D3S";
        out.put(t, "mm-maker-ii-d3s-20x20", rawgen::make_nef(dark, o));
    }
    {
        rawgen::NefOptions o = nef_options(true, true);
        o.raw_bytes_delta = -1;
        out.put(t, "mm-one-byte-short", rawgen::make_nef(small, o));
    }
    {
        rawgen::NefOptions o = nef_options(false, false);
        o.first_ifd_offset = 1001;
        out.put(t, "ii-directory-beyond-limit", head_only(rawgen::make_nef(small, o)));
    }
    {
        rawgen::NefOptions o = nef_options(true, true);
        o.model = "CANON EOS";
        out.put(t, "mm-other-maker", head_only(rawgen::make_nef(small, o)));
    }
    {
        rawgen::NefOptions o = nef_options(false, true);
        o.maker_signature = "Nokia";
        out.put(t, "ii-bad-signature", head_only(rawgen::make_nef(small, o)));
    }
    {
        rawgen::NefOptions o = nef_options(true, true);
        o.maker_mark = 0x4A4A;
        out.put(t, "mm-bad-maker-mark", head_only(rawgen::make_nef(small, o)));
    }
    {
        rawgen::NefOptions o = nef_options(false, false);
        o.size_entry_type = 4;
        out.put(t, "ii-size-entry-long", head_only(rawgen::make_nef(small, o)));
    }
}

void tif_seeds(CorpusWriter& out)
{
    const rawgen::Image small = ramp_image(8, 6);
    const rawgen::Image dark = dark_image(20, 20, 11);
    const std::string t = "tif_probe_fuzz";
    out.put(t, "ii-8x6", rawgen::make_tiff(small, tiff_options(false, false)));
    out.put(t, "mm-8x6", rawgen::make_tiff(small, tiff_options(true, false)));
    out.put(t, "ii-short-20x20", rawgen::make_tiff(dark, tiff_options(false, true)));
    out.put(t, "mm-short-20x20", rawgen::make_tiff(dark, tiff_options(true, true)));
    {
        rawgen::TiffOptions o = tiff_options(false, false);
        o.file_magic = 43;
        out.put(t, "ii-magic-43", rawgen::make_tiff(small, o));
    }
    {
        rawgen::TiffOptions o = tiff_options(true, false);
        o.omit_strip_offset = true;
        o.omit_byte_count = true;
        out.put(t, "mm-no-strip-entries", rawgen::make_tiff(small, o));
    }
    {
        rawgen::TiffOptions o = tiff_options(false, false);
        o.bits_per_sample = 8;
        o.strip_byte_count = 48;
        out.put(t, "ii-8-bit", rawgen::make_tiff(small, o));
    }
    out.put(t, "tiny", Bytes{'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0});

    const std::string p = "tif_pair_fuzz";
    const Bytes ii = rawgen::make_tiff(small, tiff_options(false, false));
    const Bytes mm = rawgen::make_tiff(small, tiff_options(true, false));
    out.put(p, "ii-ii", pair(ii, rawgen::make_tiff(ramp_image(8, 6), tiff_options(false, true))));
    out.put(p, "mm-mm", pair(mm, rawgen::make_tiff(small, tiff_options(true, true))));
    out.put(p, "ii-mm", pair(ii, mm));
    out.put(p, "mm-ii", pair(mm, ii));
    out.put(p, "ii-other-width", pair(ii, rawgen::make_tiff(ramp_image(10, 6), tiff_options(false, false))));
    {
        rawgen::TiffOptions o = tiff_options(false, false);
        o.ifd_offset = 12;
        out.put(p, "ii-other-directory", pair(ii, rawgen::make_tiff(small, o)));
    }
    {
        rawgen::TiffOptions o = tiff_options(true, false);
        o.omit_strip_offset = true;
        out.put(p, "mm-no-strip-offset", pair(mm, rawgen::make_tiff(small, o)));
    }
}

void program_seeds(CorpusWriter& out)
{
    const rawgen::Image small = ramp_image(8, 6);
    const rawgen::Image dark = dark_image(20, 20, 3);
    const rawgen::Image dark2 = dark_image(20, 20, 4);

    const std::string q = "quorva_fuzz";
    const Bytes nef_small = rawgen::make_nef(small, nef_options(true, true));
    const Bytes nef_dark = rawgen::make_nef(dark, nef_options(false, false));
    const Bytes nef_dark2 = rawgen::make_nef(dark2, nef_options(false, false));
    out.put(q, "one-file", program_input({"a"}, nef_small));
    out.put(q, "log-two-files", program_input({"a", "b", "-L"}, nef_dark, &nef_dark2));
    out.put(q, "histogram-k", program_input({"a", "-S0", "-N20", "-K25", "/L"}, nef_dark));
    out.put(q, "profiles-ft", program_input({"a", "-R", "-C", "-F8"}, nef_dark));
    out.put(q, "multi-rows", program_input({"a", "b", "-M", "-W16", "-R"}, nef_dark, &nef_dark2));
    out.put(q, "acf-o-debug", program_input({"a", "-A4", "-O", "-D16", "-C"}, nef_dark));
    out.put(q, "window-forms", program_input({"A.NEF", "X=3", "Y=5", "/W8", "-H4"}, nef_dark));
    out.put(q, "usage", program_input({"a", "-?"}, nef_small));
    out.put(q, "no-image", program_input({"-L"}, Bytes{}));
    {
        // Planes of 10000 samples: the least the histogram-derived statistics
        // need, and an input long enough for the fuzzer to keep one.
        const rawgen::Image full = dark_image(200, 200, 5);
        out.put(q, "histogram-derived-200", program_input({"a", "-K", "-L", "-D16"}, rawgen::make_nef(full, nef_options(true, false))));
    }
    {
        rawgen::NefOptions o = nef_options(true, true);
        o.maker_ifd_offset = 1001;
        out.put(q, "decode-error", program_input({"a", "-L"}, head_only(rawgen::make_nef(small, o))));
    }

    const std::string v = "veldix_fuzz";
    const Bytes tif_small = rawgen::make_tiff(small, tiff_options(true, false));
    const Bytes tif_dark = rawgen::make_tiff(dark, tiff_options(false, false));
    const Bytes tif_dark2 = rawgen::make_tiff(dark2, tiff_options(false, true));
    out.put(v, "one-file", program_input({"a"}, tif_small));
    out.put(v, "log-two-files", program_input({"a", "b", "-L"}, tif_dark, &tif_dark2));
    out.put(v, "histogram-k", program_input({"a", "-S0", "-N20", "-K25", "/L"}, tif_dark));
    out.put(v, "profiles-ft", program_input({"a", "-R", "-C", "-F8"}, tif_dark));
    out.put(v, "multi-second-window", program_input({"a", "b", "-M", "-W10", "U=3", "-V5"}, tif_dark, &tif_dark2));
    out.put(v, "acf-odd-window", program_input({"a", "-A4", "-X3", "-Y1", "-W6", "-C"}, tif_dark));
    out.put(v, "incompatible-second", program_input({"a", "b", "-L"}, tif_small, &tif_dark));
    out.put(v, "usage", program_input({"a", "-?"}, tif_small));
    {
        // A 200x200 image of which only the first 40 rows are in the file:
        // the rest reads as zeros, and the input stays small.
        const rawgen::Image full = dark_image(200, 200, 6);
        rawgen::TiffOptions o = tiff_options(false, false);
        o.raw_bytes_delta = -(200 * 160 * 2);
        out.put(v, "histogram-derived-200", program_input({"a", "-K", "/L", "-O"}, rawgen::make_tiff(full, o)));
    }
    {
        rawgen::TiffOptions o = tiff_options(false, false);
        o.bits_per_sample = 8;
        o.strip_byte_count = 200;
        out.put(v, "not-16-bit", program_input({"a", "-L"}, rawgen::make_tiff(dark, o)));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus DIR\n");
        return 2;
    }
    CorpusWriter out{fs::path(argv[1])};
    try {
        nef_seeds(out);
        tif_seeds(out);
        program_seeds(out);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_corpus: %s\n", error.what());
        return 1;
    }
    return out.failed() ? 1 : 0;
}
