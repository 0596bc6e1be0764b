#pragma once

#include "raster/geometry.h"

#include <algorithm>
#include <cmath>

namespace q3 {

// Where the stage's surface lies in an output of width x height device pixels: fitted whole,
// centred, with black bars on the sides that do not fill. The surface starts on a whole pixel,
// so the kept surface is copied into the frame without resampling.
struct StageFit
{
    double scale = 1; // output pixels per unit
    IntRect surface;  // the surface's pixels in the output

    [[nodiscard]] static StageFit of(int surfaceWidth, int surfaceHeight, int width, int height)
    {
        StageFit fit;
        const int w = std::max(1, surfaceWidth);
        const int h = std::max(1, surfaceHeight);
        fit.scale = std::min(width / double(w), height / double(h));
        const int pw =
            std::clamp(static_cast<int>(std::lround(w * fit.scale)), 1, std::max(1, width));
        const int ph =
            std::clamp(static_cast<int>(std::lround(h * fit.scale)), 1, std::max(1, height));
        fit.surface = IntRect::sized((width - pw) / 2, (height - ph) / 2, pw, ph);
        return fit;
    }
};

} // namespace q3
