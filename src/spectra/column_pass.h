// The multi-line spectra along the columns: a second read of the window,
// column pair by column pair.
#pragma once

#include "input/raw_image_info.h"
#include "stats/window.h"
#include "stats/window_reader.h"

class ImageFile;
class RowPairLines;

// Hands the lines of each column pair (entry p: the pair's d in row pair p)
// to `pairs`, in order, then finishes it. image2 null: one image.
ReadOutcome column_pass(const ImageFile& image1, const ImageFile* image2, const RawImageInfo& info,
                        const WindowSpec& window, RowPairLines& pairs);
