#pragma once

#include "raster/geometry.h"
#include "raster/kept_surface.h"

#include <cstddef>
#include <vector>

namespace q3 {

// What of an output to paint again because the kept surface changed, gathered over one or more
// updates until a front takes it for its next frame. Every front (the window, screenshots, video
// frames and the page) decides by this one policy:
// - a surface painted whole is the whole surface;
// - otherwise each place a shape was painted, less those another place already holds;
// - past kMostAreas separate places, their bounds alone: one rectangle is painted in one go,
//   where many would each cost a clip and a copy of their own, and the bounds of a frame's
//   shapes (the lamps along the stage, a raindrop or two) are seldom much more than they are.
class ChangedAreas
{
public:
    static constexpr std::size_t kMostAreas = 16;

    // What one update of a surface painted; `surface` is where the surface lies in the output.
    void add(const KeptSurface::Painted& painted, const IntRect& surface);
    // An area of the output to paint again, whatever the surface painted.
    void add(const IntRect& area);
    [[nodiscard]] bool isEmpty() const { return areas_.empty(); }
    // The areas of the output gathered since the last take, which they leave empty: none
    // overlaps another wholly, and there are at most kMostAreas of them.
    [[nodiscard]] std::vector<IntRect> take();

private:
    std::vector<IntRect> areas_;
};

} // namespace q3
