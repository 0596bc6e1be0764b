#pragma once

#include "core/controls.h"
#include "core/display_list.h"
#include "render/quality.h"

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSize>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
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
// - a label covers the pixels from its left edge up to, not including, its right edge, so a line
//   that ends on the right edge of a label stays under it (a picture keeps its size instead:
//   pictureRect() in render/pictures.h).
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
    // A label's rectangle.
    [[nodiscard]] QRect rect(const UnitRect& r) const;
    // The pixels a box covers, outline and interior: every one of them in a colour of its own.
    [[nodiscard]] QRect box(const Shape& shape) const;
    // The pixels a shape may colour, with one to spare on every side for antialiased edges.
    [[nodiscard]] QRect bounds(const Shape& shape) const;

private:
    double scale_;
    int lineWidth_;
};

// The rows of the ellipses that discs are made of, worked out once per size of ellipse and kept
// between paints: the stage set has many discs of a few sizes, and a tick paints many lamps of
// one size. Everything is in device pixels, so another scale or quality looks up other rows.
class EllipseRows
{
public:
    // The pixels of a row whose centres lie in the ellipse inscribed in a box at x = 0: from
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

    // One span per row of a box of `size`.
    [[nodiscard]] const std::vector<Span>& spans(QSize size);
    // The covers of the rows of a box of `size` whose left edge is the pixel column `left`.
    // The shares are worked out where the box lies, so they are exactly those of a disc
    // shaded in place.
    [[nodiscard]] const Covers& covers(QSize size, int left);
    // Forgets everything when more than a few megabytes are kept. Looked-up rows stay valid
    // until then: call it only between paints.
    void trim();

private:
    std::map<std::pair<int, int>, std::vector<Span>> spans_;
    std::map<std::tuple<int, int, int>, Covers> covers_;
    std::size_t bytes_ = 0;
};

// Paints shapes onto a surface image (QImage::Format_RGB32) through a pixel grid, only inside
// the clip rectangle. Crisp and smooth cover the same pixels; smooth shades the edges of discs
// and slanted lines by how much of each pixel they cover.
class ShapeRaster
{
public:
    ShapeRaster(QImage& surface, const PixelGrid& grid, Quality quality, EllipseRows& ellipses);

    void setClip(const QRect& clip);
    void fill(const QRect& rect, Rgb colour);
    void paint(const Shape& shape);
    // Where painting `shape` may change pixels, band by band: `reach` holds every pixel it
    // paints, and `over`, inside it and of the same rows, those it sets whatever lay below,
    // so that what was painted there before cannot show (none where `over` is empty). No
    // bands for a slanted line.
    struct Band
    {
        QRect reach;
        QRect over;
    };
    [[nodiscard]] std::vector<Band> bandsOf(const Shape& shape);
    // Whether `shape` paints each pixel inside the clip the same whatever the clip is: all but
    // smooth slanted lines, which the painter draws.
    [[nodiscard]] bool sameUnderAnyClip(const Shape& shape) const;

private:
    [[nodiscard]] QRgb* row(int y) const
    {
        return reinterpret_cast<QRgb*>(bits_ + static_cast<qsizetype>(y) * bytesPerLine_);
    }
    // Pixels first to last of row y, inside the clip.
    void fillRow(int y, int first, int last, QRgb value);
    [[nodiscard]] QRect discBox(const Shape& shape) const;
    [[nodiscard]] std::vector<Band> discBands(const Shape& shape);
    void line(const Shape& shape);
    void disc(const Shape& shape);
    void smoothDisc(const QRect& outer, const Shape& shape);
    void paintRow(const EllipseRows::Covers& covers, int index, int y, Rgb colour,
                  std::pair<int, int> skip);
    void smoothLine(QPoint from, QPoint to, Rgb colour);

    QImage& surface_;
    uchar* bits_;
    qsizetype bytesPerLine_;
    const PixelGrid& grid_;
    Quality quality_;
    QRect clip_;
    std::optional<QPainter> painter_; // only for slanted smooth lines
    EllipseRows& ellipses_;
};

} // namespace q3
