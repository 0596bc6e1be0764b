#include "raster/stage_fit.h"

#include <algorithm>
#include <cmath>

namespace q3 {

StageFit StageFit::of(int surfaceWidth, int surfaceHeight, int outputWidth, int outputHeight)
{
    StageFit fit;
    const int w = std::max(1, surfaceWidth);
    const int h = std::max(1, surfaceHeight);
    fit.scale = std::min(outputWidth / double(w), outputHeight / double(h));
    const int pw =
        std::clamp(static_cast<int>(std::lround(w * fit.scale)), 1, std::max(1, outputWidth));
    const int ph =
        std::clamp(static_cast<int>(std::lround(h * fit.scale)), 1, std::max(1, outputHeight));
    fit.surface = IntRect::sized((outputWidth - pw) / 2, (outputHeight - ph) / 2, pw, ph);
    return fit;
}

} // namespace q3
