#include "ptc/spectrogram.h"

#include <cmath>

#include "ptc/pair_reader.h"
#include "spectra/spectrum_engine.h"

namespace {

// The DFT magnitudes of every line of the plane, as power averaged over lines.
Spectrogram line_spectrogram(const std::vector<int32_t>& grid, int64_t rows, int64_t columns, bool along_rows)
{
    Spectrogram out;
    const int64_t lines = along_rows ? rows : columns;
    const int64_t length = along_rows ? columns : rows;
    if (lines < 1 || length < 4)
        return out;
    const int32_t n = static_cast<int32_t>(length);
    std::vector<std::vector<int32_t>> line_values(static_cast<size_t>(lines));
    std::vector<LineSequence> sequences;
    for (int64_t l = 0; l < lines; ++l) {
        std::vector<int32_t>& line = line_values[static_cast<size_t>(l)];
        for (int64_t k = 0; k < length; ++k)
            line.push_back(grid[static_cast<size_t>(along_rows ? l * columns + k : k * columns + l)]);
        sequences.push_back(LineSequence{line.data(), nullptr});
    }
    const int32_t freqs = n / 2;
    std::vector<double> magnitude(static_cast<size_t>(lines * freqs));
    const SpectrumJob job{sequences.data(), static_cast<int32_t>(lines), n, 1, freqs, magnitude.data()};
    make_spectrum_engine(EngineKind::fast)->compute(false, &job, 1);
    for (int32_t j = 0; j < freqs; ++j) {
        double power = 0;
        for (int64_t l = 0; l < lines; ++l) {
            // The grid holds sums of two frames: half of it is the mean image.
            const double m = magnitude[static_cast<size_t>(l * freqs + j)] / 2.0;
            power += m * m / static_cast<double>(n);
        }
        out.frequency.push_back(static_cast<double>(j + 1) / static_cast<double>(n));
        out.amplitude.push_back(std::sqrt(power / static_cast<double>(lines)));
    }
    return out;
}

}  // namespace

PlaneSpectrograms spectrograms(const PairPixels& image, const PairPixels* dark, const std::vector<bool>& stuck)
{
    PlaneSpectrograms out;
    const PairWindow& w = image.window;
    for (int p = 0; p < plane_count; ++p) {
        const int64_t r0 = w.plane[0][0] == p || w.plane[0][1] == p ? 0 : 1;
        const int64_t c0 = w.plane[r0][0] == p ? 0 : 1;
        const int64_t rows = (w.height - r0 + 1) / 2, columns = (w.width - c0 + 1) / 2;
        std::vector<int32_t> grid(static_cast<size_t>(rows * columns), 0);
        std::vector<bool> missing(grid.size(), false);
        int64_t sum = 0, count = 0;
        for (int64_t r = r0; r < w.height; r += 2)
            for (int64_t c = c0; c < w.width; c += 2) {
                const size_t i = static_cast<size_t>(r * w.width + c);
                const size_t g = static_cast<size_t>((r / 2) * columns + c / 2);
                if (stuck[i]) {
                    missing[g] = true;
                    continue;
                }
                int32_t v = int32_t{image.frame[0][i]} + int32_t{image.frame[1][i]};
                if (dark)
                    v -= int32_t{dark->frame[0][i]} + int32_t{dark->frame[1][i]};
                grid[g] = v;
                sum += v;
                ++count;
            }
        const int32_t fill = count > 0 ? static_cast<int32_t>(std::llround(static_cast<double>(sum) / static_cast<double>(count))) : 0;
        for (size_t g = 0; g < grid.size(); ++g)
            if (missing[g])
                grid[g] = fill;
        out.along_rows[p] = line_spectrogram(grid, rows, columns, true);
        out.along_columns[p] = line_spectrogram(grid, rows, columns, false);
    }
    return out;
}
