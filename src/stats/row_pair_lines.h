// Where the sample pass hands the lines of each row pair, in order, when the
// spectra along the rows are wanted.
#pragma once

#include "stats/profiles.h"

class RowPairLines {
public:
    virtual ~RowPairLines() = default;
    // Room for the next row pair's lines, to be filled by the pass.
    virtual PairLines& next_pair() = 0;
    // The pair handed out last is filled.
    virtual void pair_done() = 0;
    // No more pairs follow.
    virtual void finish() = 0;
};
