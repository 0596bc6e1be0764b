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

std::vector<IntRect> StageFit::barsWithin(const IntRect& area) const
{
    std::vector<IntRect> bars;
    const auto keep = [&bars](const IntRect& part) {
        if (!part.isEmpty())
            bars.push_back(part);
    };
    // Above and below the surface across the whole area; beside it along the surface's rows.
    keep(area & IntRect{area.left, area.top, area.right, surface.top - 1});
    keep(area & IntRect{area.left, surface.bottom + 1, area.right, area.bottom});
    const int top = std::max(area.top, surface.top);
    const int bottom = std::min(area.bottom, surface.bottom);
    keep(IntRect{area.left, top, std::min(area.right, surface.left - 1), bottom});
    keep(IntRect{std::max(area.left, surface.right + 1), top, area.right, bottom});
    return bars;
}

StagePoint StageFit::toUnits(double x, double y) const
{
    return {(x - surface.left) / scale, (y - surface.top) / scale};
}

} // namespace q3
