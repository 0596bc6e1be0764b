#include "raster/pixel_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace q3 {
namespace {

// The pixels [first, last) along one axis grown by one at the end that keeps their middle
// nearest `centre` (in pixels); at the far end when both are as near.
void growTowards(int& first, int& last, double centre)
{
    if (2 * centre < first + last)
        --first;
    else
        ++last;
}

} // namespace

PixelGrid::PixelGrid(double scale)
    : scale_(scale), lineWidth_(std::max(1, static_cast<int>(std::lround(scale * kUnitsPerPixel))))
{}

IntRect PixelGrid::rect(const UnitRect& r) const
{
    return {at(r.left), at(r.top), at(r.left + r.width) - 1, at(r.top + r.height) - 1};
}

IntRect PixelGrid::box(const Shape& shape) const
{
    return IntRect::corners(at(shape.x1), at(shape.y1), at(shape.x2), at(shape.y2));
}

IntRect PixelGrid::disc(const Shape& shape) const
{
    const int r = std::abs(int{shape.radius()});
    const double cx = shape.centreX();
    const double cy = shape.centreY();
    // Pixel edges: the disc covers [left, right) across and [top, bottom) down.
    int left = at(cx - r);
    int right = at(cx + r);
    int top = at(cy - r);
    int bottom = at(cy + r);
    const int side = std::max({1, right - left, bottom - top});
    while (right - left < side)
        growTowards(left, right, cx * scale_);
    while (bottom - top < side)
        growTowards(top, bottom, cy * scale_);
    return {left, top, right - 1, bottom - 1};
}

IntRect PixelGrid::bounds(const Shape& shape) const
{
    if (shape.kind == Shape::Kind::Circle)
        return disc(shape).adjusted(-1, -1, 1, 1);
    const IntRect corners = box(shape);
    if (shape.kind == Shape::Kind::Box)
        return corners.adjusted(-1, -1, 1, 1);
    return corners.adjusted(-1, -1, lineWidth_ + 1, lineWidth_ + 1);
}

} // namespace q3
