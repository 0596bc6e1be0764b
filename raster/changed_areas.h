#pragma once

#include "raster/geometry.h"
#include "raster/kept_surface.h"

#include <vector>

namespace q3 {

// What of an output to paint again because the kept surface changed, gathered over one or more
// updates until a front takes it for its next frame. Every front (the window, screenshots, video
// frames and the page) decides by this one policy:
// - a surface painted whole is the whole surface;
// - otherwise each place a shape was painted, less those another place already holds;
// - past 256 separate places, their bounds alone, one rectangle painted in one go. A tick of
//   the marquee bulbs or the light columns paints tens of small discs far apart, whose bounds
//   span much of the stage: each copied alone costs a fifth as much at 3840 x 2160 as their
//   bounds would (bench/bench_effects.cpp). Only frames with more are bounded.
class ChangedAreas
{
public:
    // What one update of a surface painted; `surface` is where the surface lies in the output.
    void add(const KeptSurface::Painted& painted, const IntRect& surface);
    // An area of the output to paint again, whatever the surface painted.
    void add(const IntRect& area);
    [[nodiscard]] bool isEmpty() const { return areas_.empty(); }
    // The areas of the output gathered since the last take, which they leave empty: none
    // lies wholly inside another, and there are at most 256 of them.
    [[nodiscard]] std::vector<IntRect> take();

private:
    std::vector<IntRect> areas_;
};

} // namespace q3
