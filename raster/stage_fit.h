#pragma once

#include "raster/geometry.h"

#include <vector>

namespace q3 {

// A point on the stage, in units, where a press lands between them.
struct StagePoint
{
    double x = 0;
    double y = 0;
};

// Where the stage's surface lies in an output of some size: fitted whole at the largest scale
// that shows all of it, centred on whole pixels, so that the kept surface is copied into a
// frame without resampling, with black bars on the sides it does not fill.
struct StageFit
{
    double scale = 1; // output pixels per unit
    IntRect surface;  // the surface's pixels in the output, at least one each way

    [[nodiscard]] static StageFit of(int surfaceWidth, int surfaceHeight, int outputWidth,
                                     int outputHeight);
    // The parts of an area of the output that lie outside the surface: the bars' share of it,
    // in at most four rectangles that do not overlap.
    [[nodiscard]] std::vector<IntRect> barsWithin(const IntRect& area) const;
    // The stage's point under (x, y) of the output's device pixels: a press, wherever it lands.
    [[nodiscard]] StagePoint toUnits(double x, double y) const;
};

} // namespace q3
