#pragma once

#include "core/controls.h"
#include "core/display_list.h"
#include "raster/geometry.h"

#include <cmath>

namespace q3 {

// The one mapping from the stage's units to device pixels, for every shape, label and picture.
//
// A coordinate u lies at u * scale() device pixels, a pixel edge when that is whole; it names
// the device pixel at(u), whose left (or top) edge is u scaled and rounded. Everything snaps to
// these pixels, so shapes that touch in units touch on the screen, and a gap of two pixels in
// units stays a gap (and most gaps of one pixel do; not below or right of a box, which covers
// the pixels of its far corner, nor beside a disc that grew towards it: see disc()):
// - a box covers the pixels of its corners and everything between them;
// - a line runs from the pixel of its first point up to, not including, the pixel of its last;
// - a label or picture covers the pixels from its left edge up to, not including, its right
//   edge, so a line that ends on the right edge of a label stays under it;
// - a disc is round: see disc().
// A one-pixel line or outline is lineWidth() pixels wide everywhere: the scale, rounded, at
// least one; outlines lie inside their shape, lines below or right of their pixels.
class PixelGrid
{
public:
    explicit PixelGrid(double scale);

    [[nodiscard]] double scale() const { return scale_; }
    [[nodiscard]] int lineWidth() const { return lineWidth_; }
    // Rounded half up; the tiny allowance keeps exact products from falling below a whole.
    [[nodiscard]] int at(double units) const
    {
        return static_cast<int>(std::floor(units * scale_ + 0.5 + 1e-9));
    }
    // A label's rectangle: from its left and top edges' pixels to its right and bottom edges'
    // (a picture keeps its size in units wherever it stands: raster/picture_rect.h).
    [[nodiscard]] IntRect rect(const UnitRect& r) const;
    // The pixels a box covers, outline and interior: every one of them in a colour of its own.
    [[nodiscard]] IntRect box(const Shape& shape) const;
    // The square a disc is painted in: the disc is the circle inscribed in it, and covers the
    // pixels whose centres lie in that circle.
    //
    // Across, the disc covers the pixels whose centres lie between its leftmost and rightmost
    // points: from at(x - r) up to, not including, at(x + r); down, likewise from at(y - r) to
    // at(y + r). A disc whose lowest point falls on a pixel's top edge therefore leaves that
    // row alone. Where the two counts differ (by one pixel at most), the shorter side grows by
    // one pixel at the end that keeps its middle nearest the disc's centre, so the square is as
    // wide as it is high and the disc is as round on the screen as in units; the centre moves by
    // half a pixel at most. A disc never covers less than its own pixels, so it still touches
    // whatever it touches in units, but may close a gap of a single pixel beside it. A disc of
    // any radius covers at least one pixel.
    [[nodiscard]] IntRect disc(const Shape& shape) const;
    // The pixels a shape may colour, with one to spare on every side for antialiased edges.
    [[nodiscard]] IntRect bounds(const Shape& shape) const;

private:
    double scale_;
    int lineWidth_;
};

} // namespace q3
