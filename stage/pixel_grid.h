#pragma once

#include "stage/controls.h"
#include "stage/display_list.h"
#include "stage/quality.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <array>
#include <cmath>
#include <cstddef>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace q3 {

// The one mapping from the stage's units to device pixels, for every shape, label and picture.
//
// A coordinate u names the device pixel at(u): the pixel whose left (or top) edge is u scaled
// and rounded. Everything snaps to these pixels, so shapes that touch in units touch on the
// screen, and a gap of at least a whole pixel in units stays a gap:
// - a box covers the pixels of its corners and everything between them;
// - a disc covers the pixels of its leftmost, rightmost, top and bottom points and is symmetric
//   about its middle;
// - a line runs from the pixel of its first point up to, not including, the pixel of its last;
// - a label or picture covers the pixels from its left edge up to, not including, its right
//   edge, so a line that ends on the right edge of a label stays under it.
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
    [[nodiscard]] QRect rect(const UnitRect& r) const;
    // The pixels a box covers, outline and interior: every one of them in a colour of its own.
    [[nodiscard]] QRect box(const Shape& shape) const;
    // The pixels a shape may colour, with one to spare on every side for antialiased edges.
    [[nodiscard]] QRect bounds(const Shape& shape) const;

private:
    double scale_;
    int lineWidth_;
};

// Paints shapes onto a surface image (QImage::Format_RGB32) through a pixel grid, only inside
// the clip rectangle. Crisp and smooth cover the same pixels; smooth shades the edges of discs
// and slanted lines by how much of each pixel they cover.
class ShapeRaster
{
public:
    ShapeRaster(QImage& surface, const PixelGrid& grid, Quality quality);

    void setClip(const QRect& clip);
    void fill(const QRect& rect, Rgb colour);
    void paint(const Shape& shape);

private:
    void line(const Shape& shape);
    void disc(const Shape& shape);
    // Where the ellipse inscribed in a box lies in one row: per strip of the row, and the
    // pixels it covers wholly (fullFrom to fullTo) or in part (from to to).
    static constexpr std::size_t kStrips = 8;
    struct RowCover
    {
        std::array<double, kStrips> left{};
        std::array<double, kStrips> right{};
        int fullFrom = 0;
        int fullTo = -1;
        int from = 0;
        int to = -1;
    };
    RowCover rowCover(const QRect& box, int y);
    static RowCover coverAt(QSize size, int y);
    void smoothDisc(const QRect& outer, const Shape& shape);
    void paintRow(const RowCover& row, int y, Rgb colour, std::pair<int, int> skip);
    void smoothLine(QPoint from, QPoint to, Rgb colour);

    QImage& surface_;
    const PixelGrid& grid_;
    Quality quality_;
    QRect clip_;
    std::optional<QPainter> painter_; // only for slanted smooth lines
    std::map<std::pair<int, int>, std::vector<RowCover>> covers_;
};

// A pixel-art picture at `size` device pixels: each picture pixel takes the same share of the
// output. At a whole multiple of the picture's size every pixel is repeated; otherwise it is
// enlarged by repetition to the next whole multiple and then smoothly reduced, so that edges
// are soft by at most one pixel. Transparent stays transparent (premultiplied alpha).
[[nodiscard]] QImage scalePixelArt(const QImage& picture, QSize size);

} // namespace q3
