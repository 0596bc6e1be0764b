#pragma once

#include "core/controls.h"
#include "raster/geometry.h"
#include "raster/pixel_grid.h"

#include <vector>

namespace q3 {

// Where a picture shows on the grid: its top-left corner on the pixel of its left and top edges,
// and its size its size in units, scaled and rounded as the grid rounds. Two pictures of one size
// in units are drawn the same size wherever they stand, which the pixels of their edges alone
// (PixelGrid::rect, as for a label) would not give: at some scales one edge rounds up and the
// other down, and a picture would be a pixel wider than its twin. Every front places and clips a
// picture by this rectangle.
[[nodiscard]] IntRect pictureRect(const PixelGrid& grid, const UnitRect& place);

// Crisp pictures keep hard pixels: along one side of `in` picture pixels drawn `out` device
// pixels long, the picture pixel each device pixel shows. Block j covers the device pixels from
// j's edge, scaled and rounded, up to the next one's, so blocks differ in size by one pixel at
// most, whether the picture is enlarged or reduced. Every front scales crisp pictures by it.
[[nodiscard]] std::vector<int> pictureBlockSources(int in, int out);

} // namespace q3
