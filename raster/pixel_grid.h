#pragma once

#include "core/controls.h"
#include "core/display_list.h"
#include "raster/geometry.h"
#include "raster/quality.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

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
    // A label's or picture's rectangle.
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

// The rows of the circles that discs are made of, worked out once per diameter and kept between
// paints: the stage set has many discs of a few sizes, and a tick paints many lamps of one
// size. Everything is in device pixels, so another scale or quality looks up other rows.
class EllipseRows
{
public:
    // The pixels of a row whose centres lie in the circle inscribed in a square at x = 0: from
    // `first` to `last`, none where first > last.
    struct Span
    {
        int first = 0;
        int last = -1;
    };
    // A row's pixels covered wholly (fullFrom to fullTo) and in part (from to to), with the share
    // of each pixel in part: alphas[shades] onwards, left to right, the whole ones left out.
    struct CoverRow
    {
        int from = 0;
        int fullFrom = 0;
        int fullTo = -1;
        int to = -1;
        std::size_t shades = 0;
    };
    struct Covers
    {
        std::vector<CoverRow> rows;
        std::vector<std::uint8_t> alphas;
    };

    // One span per row of a square of side `diameter`.
    [[nodiscard]] const std::vector<Span>& spans(int diameter);
    // The covers of the rows of a square of side `diameter` whose left edge is the pixel column
    // `left`. The shares are worked out where the square lies, so they are exactly those of a
    // disc shaded in place.
    [[nodiscard]] const Covers& covers(int diameter, int left);
    // Forgets everything when more than a few megabytes are kept. Looked-up rows stay valid
    // until then: call it only between paints.
    void trim();

private:
    std::map<int, std::vector<Span>> spans_;
    std::map<std::pair<int, int>, Covers> covers_;
    std::size_t bytes_ = 0;
};

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
