#pragma once

#include "iris_strip.h"

#include <vector>

// Matching two iris strips by masked normalised cross-correlation: over the whole circle for the
// coarse turn, then sector by sector about it.

struct CircularPeak {
    double columns = 0;  // shift of the current strip against the reference, to a fraction of a column
    double score = 0;    // correlation at the peak, -1..1
    double runnerUp = 0; // best correlation at least the tuning's peakApartDegrees away from the peak
};

// The shift k maximising the correlation of reference column j with current column j + k, over all
// shifts round the circle.
CircularPeak circularPeak(const IrisStrip& reference, const IrisStrip& current);

struct SectorShift {
    double degrees = 0; // angle of the sector's middle in the reference strip
    double columns = 0; // shift found there, to a fraction of a column
    double rows = 0;    // radial shift found there, to a fraction of a row
    double score = 0;   // correlation at the peak
};

// Sectors of the reference strip matched about a coarse shift, within reach columns and a few rows
// either way; sectors that show too little of the eye, or match nothing clearly, are left out.
std::vector<SectorShift> sectorShifts(const IrisStrip& reference, const IrisStrip& current,
                                      double coarseColumns, int reach);
