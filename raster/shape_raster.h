#pragma once

#include "core/display_list.h"
#include "raster/ellipse_rows.h"
#include "raster/geometry.h"
#include "raster/pixel_grid.h"
#include "raster/quality.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace q3 {

// Paints shapes onto a surface through a pixel grid, only inside the clip rectangle. Crisp
// pixels are wholly a shape's colour or untouched. Smooth quality shades the edge of a disc by
// how much of each pixel the circle covers, and spreads each step of a slanted line over the
// pixels across it by how much of each it covers: a smooth shape carries as much ink as the
// crisp one, lineWidth() pixels to each step of a line, only softer at its edges.
class ShapeRaster
{
public:
    ShapeRaster(Surface& surface, const PixelGrid& grid, Quality quality, EllipseRows& ellipses);

    void setClip(const IntRect& clip);
    void fill(const IntRect& rect, Rgb colour);
    void paint(const Shape& shape);
    // Where painting `shape` may change pixels, band by band: `reach` holds every pixel it
    // paints, and `over`, inside it and of the same rows, those it sets whatever lay below,
    // so that what was painted there before cannot show (none where `over` is empty). No
    // bands for a slanted line.
    struct Band
    {
        IntRect reach;
        IntRect over;
    };
    [[nodiscard]] std::vector<Band> bandsOf(const Shape& shape);

private:
    [[nodiscard]] std::uint32_t* row(int y) const { return surface_.row(y); }
    // Pixels first to last of row y, inside the clip.
    void fillRow(int y, int first, int last, std::uint32_t value);
    // Pixel (x, y), inside the clip, moved a share `alpha` of 255 of the way to `colour`.
    void blend(int x, int y, Rgb colour, int alpha);
    [[nodiscard]] std::vector<Band> discBands(const Shape& shape);
    void box(const Shape& shape);
    void line(const Shape& shape);
    void crispLine(int fromX, int fromY, int toX, int toY, Rgb colour);
    void smoothLine(int fromX, int fromY, int toX, int toY, Rgb colour);
    void disc(const Shape& shape);
    void smoothDisc(const IntRect& outer, const Shape& shape);
    void paintRow(const EllipseRows::Covers& covers, int index, int y, Rgb colour,
                  std::pair<int, int> skip);

    Surface& surface_;
    const PixelGrid& grid_;
    Quality quality_;
    IntRect clip_;
    EllipseRows& ellipses_;
};

} // namespace q3
