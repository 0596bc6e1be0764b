#include "raster/shape_raster.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>

namespace q3 {
namespace {

// The floor of a / b for b > 0.
std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

ShapeRaster::ShapeRaster(Surface& surface, const PixelGrid& grid, Quality quality,
                         EllipseRows& ellipses)
    : surface_(surface), grid_(grid), quality_(quality), clip_(surface.rect()), ellipses_(ellipses)
{}

void ShapeRaster::setClip(const IntRect& clip)
{
    clip_ = clip & surface_.rect();
}

void ShapeRaster::fillRow(int y, int first, int last, std::uint32_t value)
{
    if (first > last || y < clip_.top || y > clip_.bottom)
        return;
    first = std::max(first, clip_.left);
    last = std::min(last, clip_.right);
    if (first <= last)
        std::fill_n(row(y) + first, last - first + 1, value);
}

void ShapeRaster::blend(int x, int y, Rgb colour, int alpha)
{
    if (alpha <= 0 || !clip_.contains(x, y))
        return;
    std::uint32_t& pixel = row(y)[x];
    const Rgb below = rgbOf(pixel);
    const auto mix = [alpha](int src, int dst) {
        return static_cast<std::uint8_t>((src * alpha + dst * (255 - alpha) + 127) / 255);
    };
    pixel = pixelOf({mix(colour.r, below.r), mix(colour.g, below.g), mix(colour.b, below.b)});
}

void ShapeRaster::fill(const IntRect& rect, Rgb colour)
{
    const IntRect part = rect & clip_;
    if (rect.isEmpty() || part.isEmpty())
        return;
    const std::uint32_t value = pixelOf(colour);
    for (int y = part.top; y <= part.bottom; ++y)
        std::fill_n(row(y) + part.left, part.width(), value);
}

void ShapeRaster::paint(const Shape& shape)
{
    switch (shape.kind) {
    case Shape::Kind::Line:
        line(shape);
        break;
    case Shape::Kind::Box:
        box(shape);
        break;
    case Shape::Kind::Circle:
        disc(shape);
        break;
    }
}

void ShapeRaster::box(const Shape& shape)
{
    // Each pixel once: the four sides of the outline, then the interior.
    const IntRect outer = grid_.box(shape);
    const int w = grid_.lineWidth();
    const IntRect interior = outer.adjusted(w, w, -w, -w);
    if (interior.isEmpty()) {
        fill(outer, shape.outline);
        return;
    }
    fill({outer.left, outer.top, outer.right, interior.top - 1}, shape.outline);
    fill({outer.left, interior.bottom + 1, outer.right, outer.bottom}, shape.outline);
    fill({outer.left, interior.top, interior.left - 1, interior.bottom}, shape.outline);
    fill({interior.right + 1, interior.top, outer.right, interior.bottom}, shape.outline);
    fill(interior, shape.fill);
}

void ShapeRaster::disc(const Shape& shape)
{
    const IntRect outer = grid_.disc(shape);
    if ((outer & clip_).isEmpty())
        return;
    if (quality_ == Quality::Smooth) {
        smoothDisc(outer, shape);
        return;
    }
    const int w = grid_.lineWidth();
    const IntRect inner = outer.adjusted(w, w, -w, -w);
    const std::vector<EllipseRows::Span>& ring = ellipses_.spans(outer.width());
    const std::vector<EllipseRows::Span>* hole =
        inner.isEmpty() ? nullptr : &ellipses_.spans(inner.width());
    const std::uint32_t outline = pixelOf(shape.outline);
    const std::uint32_t fill = pixelOf(shape.fill);
    const int top = std::max(outer.top, clip_.top);
    const int bottom = std::min(outer.bottom, clip_.bottom);
    for (int y = top; y <= bottom; ++y) {
        const EllipseRows::Span span = ring[static_cast<std::size_t>(y - outer.top)];
        if (span.first > span.last)
            continue;
        const int lo = outer.left + span.first;
        const int hi = outer.left + span.last;
        EllipseRows::Span gap;
        if (hole != nullptr && y >= inner.top && y <= inner.bottom)
            gap = (*hole)[static_cast<std::size_t>(y - inner.top)];
        if (gap.first > gap.last) {
            fillRow(y, lo, hi, outline);
            continue;
        }
        fillRow(y, lo, inner.left + gap.first - 1, outline);
        fillRow(y, inner.left + gap.first, inner.left + gap.last, fill);
        fillRow(y, inner.left + gap.last + 1, hi, outline);
    }
}

namespace {
// No column left out of a row.
constexpr std::pair<int, int> kNoSkip{0, -1};
} // namespace

void ShapeRaster::smoothDisc(const IntRect& outer, const Shape& shape)
{
    // The same circles as the crisp disc, with each edge pixel shaded by its cover. The
    // outline's colour is not painted where the interior will cover it whole.
    const int w = grid_.lineWidth();
    const IntRect inner = outer.adjusted(w, w, -w, -w);
    const EllipseRows::Covers& ring = ellipses_.covers(outer.width(), outer.left);
    const EllipseRows::Covers* hole =
        inner.isEmpty() ? nullptr : &ellipses_.covers(inner.width(), inner.left);
    const int top = std::max(outer.top, clip_.top);
    const int bottom = std::min(outer.bottom, clip_.bottom);
    for (int y = top; y <= bottom; ++y) {
        if (hole == nullptr || y < inner.top || y > inner.bottom) {
            paintRow(ring, y - outer.top, y, shape.outline, kNoSkip);
            continue;
        }
        const EllipseRows::CoverRow& gap = hole->rows[static_cast<std::size_t>(y - inner.top)];
        paintRow(ring, y - outer.top, y, shape.outline, {gap.fullFrom, gap.fullTo});
        paintRow(*hole, y - inner.top, y, shape.fill, kNoSkip);
    }
}

void ShapeRaster::paintRow(const EllipseRows::Covers& covers, int index, int y, Rgb colour,
                           std::pair<int, int> skip)
{
    // Pixels wholly inside are filled (but for `skip`); only those at the ends are blended.
    const EllipseRows::CoverRow& row = covers.rows[static_cast<std::size_t>(index)];
    const std::uint32_t value = pixelOf(colour);
    const int fullFrom = row.fullFrom;
    const int fullTo = row.fullTo;
    if (fullFrom <= fullTo) {
        if (skip.first <= skip.second) {
            fillRow(y, fullFrom, std::min(fullTo, skip.first - 1), value);
            fillRow(y, std::max(fullFrom, skip.second + 1), fullTo, value);
        } else {
            fillRow(y, fullFrom, fullTo, value);
        }
    }
    const std::uint8_t* alpha = covers.alphas.data() + row.shades;
    const auto shade = [&](int first, int last) {
        for (int x = first; x <= last; ++x)
            blend(x, y, colour, alpha[x - first]);
        alpha += std::max(0, last - first + 1);
    };
    if (fullFrom > fullTo) {
        shade(row.from, row.to);
        return;
    }
    shade(row.from, fullFrom - 1);
    shade(fullTo + 1, row.to);
}

std::vector<ShapeRaster::Band> ShapeRaster::bandsOf(const Shape& shape)
{
    switch (shape.kind) {
    case Shape::Kind::Box: {
        const IntRect box = grid_.box(shape);
        return {{box, box}};
    }
    case Shape::Kind::Circle:
        return discBands(shape);
    case Shape::Kind::Line:
        break;
    }
    const int fromX = grid_.at(shape.x1);
    const int fromY = grid_.at(shape.y1);
    const int toX = grid_.at(shape.x2);
    const int toY = grid_.at(shape.y2);
    const int w = grid_.lineWidth();
    IntRect rect;
    if (fromY == toY)
        rect = IntRect::sized(std::min(fromX, toX + 1), fromY, std::abs(toX - fromX), w);
    else if (fromX == toX)
        rect = IntRect::sized(fromX, std::min(fromY, toY + 1), w, std::abs(toY - fromY));
    else
        return {};
    return {{rect, rect}};
}

std::vector<ShapeRaster::Band> ShapeRaster::discBands(const Shape& shape)
{
    // A few rows to a band; in each, the columns any row paints and those every row fills
    // with the outline's or the interior's colour. Smooth rows leave column 0 to their shaded
    // ends.
    constexpr int kRowsToABand = 8;
    const IntRect outer = grid_.disc(shape);
    const bool smooth = quality_ == Quality::Smooth;
    const std::vector<EllipseRows::Span>* spans =
        smooth ? nullptr : &ellipses_.spans(outer.width());
    const EllipseRows::Covers* covers =
        smooth ? &ellipses_.covers(outer.width(), outer.left) : nullptr;
    std::vector<Band> bands;
    for (int first = 0; first < outer.height(); first += kRowsToABand) {
        const int last = std::min(first + kRowsToABand, outer.height()) - 1;
        int from = std::numeric_limits<int>::max();
        int to = std::numeric_limits<int>::min();
        int fullFrom = std::numeric_limits<int>::min();
        int fullTo = std::numeric_limits<int>::max();
        for (int index = first; index <= last; ++index) {
            const auto i = static_cast<std::size_t>(index);
            const EllipseRows::CoverRow row =
                smooth ? covers->rows[i]
                       : EllipseRows::CoverRow{
                             outer.left + (*spans)[i].first, outer.left + (*spans)[i].first,
                             outer.left + (*spans)[i].last, outer.left + (*spans)[i].last};
            if (row.from <= row.to) {
                from = std::min(from, row.from);
                to = std::max(to, row.to);
            }
            fullFrom = std::max(fullFrom, smooth ? std::max(row.fullFrom, 1) : row.fullFrom);
            fullTo = std::min(fullTo, row.fullTo);
        }
        const int top = outer.top + first;
        const int bottom = outer.top + last;
        if (from <= to)
            bands.push_back(
                {{from, top, to, bottom},
                 fullFrom <= fullTo ? IntRect{fullFrom, top, fullTo, bottom} : IntRect{}});
    }
    return bands;
}

void ShapeRaster::line(const Shape& shape)
{
    const int fromX = grid_.at(shape.x1);
    const int fromY = grid_.at(shape.y1);
    const int toX = grid_.at(shape.x2);
    const int toY = grid_.at(shape.y2);
    const int dx = toX - fromX;
    const int dy = toY - fromY;
    const int w = grid_.lineWidth();
    // The last point is not painted, so a line of no length paints nothing.
    if (dx == 0 && dy == 0)
        return;
    if (dy == 0) {
        fill(IntRect::sized(dx > 0 ? fromX : toX + 1, fromY, std::abs(dx), w), shape.outline);
        return;
    }
    if (dx == 0) {
        fill(IntRect::sized(fromX, dy > 0 ? fromY : toY + 1, w, std::abs(dy)), shape.outline);
        return;
    }
    if (quality_ == Quality::Smooth)
        smoothLine(fromX, fromY, toX, toY, shape.outline);
    else
        crispLine(fromX, fromY, toX, toY, shape.outline);
}

void ShapeRaster::crispLine(int fromX, int fromY, int toX, int toY, Rgb colour)
{
    // One step at a time along the longer axis, lineWidth() pixels across it, starting at the
    // pixel nearest the exact line; steps that stay in the same row (or column) are painted as
    // one run.
    const int dx = toX - fromX;
    const int dy = toY - fromY;
    const int w = grid_.lineWidth();
    const bool alongX = std::abs(dx) >= std::abs(dy);
    const int steps = alongX ? std::abs(dx) : std::abs(dy);
    const int rise = alongX ? dy : dx;
    const int sign = (alongX ? dx : dy) > 0 ? 1 : -1;
    const auto across = [&](int k) {
        return static_cast<int>(
            floorDiv(2 * std::int64_t{k} * rise + steps, 2 * std::int64_t{steps}));
    };
    int runStart = 0;
    for (int k = 1; k <= steps; ++k) {
        if (k < steps && across(k) == across(runStart))
            continue;
        const int a = (alongX ? fromX : fromY) + sign * runStart;
        const int b = (alongX ? fromX : fromY) + sign * (k - 1);
        const int lo = std::min(a, b);
        const int length = std::abs(b - a) + 1;
        const int c = (alongX ? fromY : fromX) + across(runStart);
        fill(alongX ? IntRect::sized(lo, c, length, w) : IntRect::sized(c, lo, w, length), colour);
        runStart = k;
    }
}

void ShapeRaster::smoothLine(int fromX, int fromY, int toX, int toY, Rgb colour)
{
    // The same steps as the crisp line, lineWidth() pixels of ink in each; across the line the
    // band of ink starts where the exact line lies rather than at the nearest pixel, and each
    // pixel it crosses takes the share of it that the band covers. Worked out in whole numbers,
    // in steps-ths of a pixel.
    const int dx = toX - fromX;
    const int dy = toY - fromY;
    const bool alongX = std::abs(dx) >= std::abs(dy);
    const std::int64_t steps = alongX ? std::abs(dx) : std::abs(dy);
    const std::int64_t rise = alongX ? dy : dx;
    const int sign = (alongX ? dx : dy) > 0 ? 1 : -1;
    const std::int64_t width = std::int64_t{grid_.lineWidth()} * steps;
    for (std::int64_t k = 0; k < steps; ++k) {
        const int along = (alongX ? fromX : fromY) + sign * static_cast<int>(k);
        const std::int64_t top = std::int64_t{alongX ? fromY : fromX} * steps + k * rise;
        const std::int64_t bottom = top + width;
        const auto first = static_cast<int>(floorDiv(top, steps));
        const auto last = static_cast<int>(floorDiv(bottom - 1, steps));
        for (int p = first; p <= last; ++p) {
            const std::int64_t cover =
                std::min(bottom, (p + 1) * steps) - std::max(top, std::int64_t{p} * steps);
            const auto alpha = static_cast<int>((cover * 255 + steps / 2) / steps);
            if (alongX)
                blend(along, p, colour, alpha);
            else
                blend(p, along, colour, alpha);
        }
    }
}

} // namespace q3
