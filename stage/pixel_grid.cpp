#include "stage/pixel_grid.h"

#include <QColor>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace q3 {
namespace {

QColor toQColor(Rgb c)
{
    return {c.r, c.g, c.b};
}

// The columns, first and last, of the pixels in row `row` whose centres lie in the ellipse
// inscribed in `box`; none where the row misses it. Worked out in whole numbers, with distances
// doubled so that pixel centres fall on integers: the result is exactly symmetric about the
// middle of the box, which floating point would not guarantee.
std::optional<std::pair<int, int>> ellipseSpan(const QRect& box, int row)
{
    if (box.isEmpty() || row < box.top() || row > box.bottom())
        return std::nullopt;
    const std::int64_t dx = box.width();
    const std::int64_t dy = box.height();
    const std::int64_t e = 2 * std::int64_t{row - box.top()} + 1 - dy;
    // Inside where f^2 dy^2 + e^2 dx^2 <= dx^2 dy^2, f the doubled offset of a pixel centre.
    const std::int64_t limit = dx * dx * (dy * dy - e * e);
    const auto fits = [&](std::int64_t f) { return f * f * dy * dy <= limit; };
    std::int64_t f = static_cast<std::int64_t>(std::sqrt(double(limit) / double(dy * dy)));
    // f has the parity of 1 - dx: pixel centres lie at odd or even doubled offsets.
    if ((f - (1 - dx)) % 2 != 0)
        --f;
    while (f >= 0 && !fits(f))
        f -= 2;
    while (fits(f + 2))
        f += 2;
    if (f < 0)
        return std::nullopt;
    const int lo = box.left() + static_cast<int>((dx - 1 - f) / 2);
    const int hi = box.left() + static_cast<int>((dx - 1 + f) / 2);
    return std::pair{lo, hi};
}

// The floor of a / b for b > 0.
std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

std::string_view qualityName(Quality quality)
{
    return quality == Quality::Smooth ? "smooth" : "crisp";
}

std::optional<Quality> qualityNamed(std::string_view name)
{
    for (const Quality q : {Quality::Crisp, Quality::Smooth})
        if (name == qualityName(q))
            return q;
    return std::nullopt;
}

PixelGrid::PixelGrid(double scale)
    : scale_(scale), lineWidth_(std::max(1, static_cast<int>(std::lround(scale * kUnitsPerPixel))))
{}

QRect PixelGrid::rect(const UnitRect& r) const
{
    return {QPoint(at(r.left), at(r.top)),
            QPoint(at(r.left + r.width) - 1, at(r.top + r.height) - 1)};
}

QRect PixelGrid::box(const Shape& shape) const
{
    return QRect(QPoint(at(shape.a), at(shape.b)), QPoint(at(shape.c), at(shape.d))).normalized();
}

QRect PixelGrid::bounds(const Shape& shape) const
{
    if (shape.kind == Shape::Kind::Circle) {
        const int r = std::abs(int{shape.c});
        return QRect(QPoint(at(shape.a - r), at(shape.b - r)),
                     QPoint(at(shape.a + r), at(shape.b + r)))
            .adjusted(-1, -1, 1, 1);
    }
    const QRect corners =
        QRect(QPoint(at(shape.a), at(shape.b)), QPoint(at(shape.c), at(shape.d))).normalized();
    if (shape.kind == Shape::Kind::Box)
        return corners.adjusted(-1, -1, 1, 1);
    return corners.adjusted(-1, -1, lineWidth_ + 1, lineWidth_ + 1);
}

ShapeRaster::ShapeRaster(QImage& surface, const PixelGrid& grid, Quality quality)
    : surface_(surface), grid_(grid), quality_(quality), clip_(surface.rect())
{}

void ShapeRaster::setClip(const QRect& clip)
{
    clip_ = clip & surface_.rect();
    if (painter_)
        painter_->setClipRect(clip_);
}

void ShapeRaster::fill(const QRect& rect, Rgb colour)
{
    // An empty rectangle given with its right edge left of its left one stays empty (Qt's
    // intersection would turn it round).
    if (!rect.isValid())
        return;
    const QRect r = rect & clip_;
    if (r.isEmpty())
        return;
    const QRgb value = qRgb(colour.r, colour.g, colour.b);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(surface_.scanLine(y));
        std::fill_n(row + r.left(), r.width(), value);
    }
}

void ShapeRaster::paint(const Shape& shape)
{
    switch (shape.kind) {
    case Shape::Kind::Line:
        line(shape);
        break;
    case Shape::Kind::Box: {
        // Each pixel once: the four sides of the outline, then the interior.
        const QRect outer = grid_.box(shape);
        const int w = grid_.lineWidth();
        const QRect interior = outer.adjusted(w, w, -w, -w);
        if (!interior.isValid()) {
            fill(outer, shape.outline);
            break;
        }
        fill(QRect(outer.topLeft(), QPoint(outer.right(), interior.top() - 1)), shape.outline);
        fill(QRect(QPoint(outer.left(), interior.bottom() + 1), outer.bottomRight()),
             shape.outline);
        fill(QRect(QPoint(outer.left(), interior.top()),
                   QPoint(interior.left() - 1, interior.bottom())),
             shape.outline);
        fill(QRect(QPoint(interior.right() + 1, interior.top()),
                   QPoint(outer.right(), interior.bottom())),
             shape.outline);
        fill(interior, shape.fill);
        break;
    }
    case Shape::Kind::Circle:
        disc(shape);
        break;
    }
}

void ShapeRaster::disc(const Shape& shape)
{
    const int r = std::abs(int{shape.c});
    const QRect outer(QPoint(grid_.at(shape.a - r), grid_.at(shape.b - r)),
                      QPoint(grid_.at(shape.a + r), grid_.at(shape.b + r)));
    if (!(outer & clip_).isValid())
        return;
    if (quality_ == Quality::Smooth) {
        smoothDisc(outer, shape);
        return;
    }
    const int w = grid_.lineWidth();
    const QRect inner = outer.adjusted(w, w, -w, -w);
    const int top = std::max(outer.top(), clip_.top());
    const int bottom = std::min(outer.bottom(), clip_.bottom());
    for (int y = top; y <= bottom; ++y) {
        const auto span = ellipseSpan(outer, y);
        if (!span)
            continue;
        const auto [lo, hi] = *span;
        const auto hole = ellipseSpan(inner, y);
        if (!hole) {
            fill(QRect(QPoint(lo, y), QPoint(hi, y)), shape.outline);
            continue;
        }
        fill(QRect(QPoint(lo, y), QPoint(hole->first - 1, y)), shape.outline);
        fill(QRect(QPoint(hole->first, y), QPoint(hole->second, y)), shape.fill);
        fill(QRect(QPoint(hole->second + 1, y), QPoint(hi, y)), shape.outline);
    }
}

void ShapeRaster::smoothDisc(const QRect& outer, const Shape& shape)
{
    // The same ellipses as the crisp disc, with each edge pixel shaded by its cover. The
    // outline's colour is not painted where the interior will cover it whole.
    const int w = grid_.lineWidth();
    const QRect inner = outer.adjusted(w, w, -w, -w);
    const int top = std::max(outer.top(), clip_.top());
    const int bottom = std::min(outer.bottom(), clip_.bottom());
    for (int y = top; y <= bottom; ++y) {
        const RowCover ring = rowCover(outer, y);
        if (!inner.isValid() || y < inner.top() || y > inner.bottom()) {
            paintRow(ring, y, shape.outline, {});
            continue;
        }
        const RowCover hole = rowCover(inner, y);
        paintRow(ring, y, shape.outline, {hole.fullFrom, hole.fullTo});
        paintRow(hole, y, shape.fill, {});
    }
}

ShapeRaster::RowCover ShapeRaster::rowCover(const QRect& box, int y)
{
    // Worked out once per size of ellipse and moved into place: a tick paints many lamps
    // and bulbs of one size.
    std::vector<RowCover>& rows = covers_[{box.width(), box.height()}];
    if (rows.empty())
        for (int r = 0; r < box.height(); ++r)
            rows.push_back(coverAt(box.size(), r));
    RowCover row = rows.at(static_cast<std::size_t>(y - box.top()));
    for (std::size_t s = 0; s < kStrips; ++s) {
        row.left.at(s) += box.left();
        row.right.at(s) += box.left();
    }
    row.fullFrom += box.left();
    row.fullTo += box.left();
    row.from += box.left();
    row.to += box.left();
    return row;
}

ShapeRaster::RowCover ShapeRaster::coverAt(QSize size, int y)
{
    const QRect box(QPoint(0, 0), size);
    // The row is cut into thin strips; in each strip the ellipse inscribed in `box` covers an
    // exact stretch of x, and a pixel's cover is the mean of its share of those stretches.
    RowCover row;
    const double cx = box.x() + box.width() / 2.0;
    const double cy = box.y() + box.height() / 2.0;
    const double rx = box.width() / 2.0;
    const double ry = box.height() / 2.0;
    double innerLeft = -1e9;
    double innerRight = 1e9;
    double outerLeft = cx;
    double outerRight = cx;
    for (std::size_t s = 0; s < kStrips; ++s) {
        const double t = (y + (double(s) + 0.5) / kStrips - cy) / ry;
        const double half = t * t < 1 ? rx * std::sqrt(1 - t * t) : 0;
        row.left.at(s) = cx - half;
        row.right.at(s) = cx + half;
        innerLeft = std::max(innerLeft, cx - half);
        innerRight = std::min(innerRight, cx + half);
        outerLeft = std::min(outerLeft, cx - half);
        outerRight = std::max(outerRight, cx + half);
    }
    row.fullFrom = static_cast<int>(std::ceil(innerLeft));
    row.fullTo = static_cast<int>(std::floor(innerRight)) - 1;
    row.from = static_cast<int>(std::floor(outerLeft));
    row.to = static_cast<int>(std::ceil(outerRight)) - 1;
    return row;
}

void ShapeRaster::paintRow(const RowCover& row, int y, Rgb colour, std::pair<int, int> skip)
{
    // Pixels wholly inside are filled (but for `skip`); only those at the ends are blended.
    const int fullFrom = row.fullFrom;
    const int fullTo = row.fullTo;
    if (fullFrom <= fullTo) {
        if (skip.first <= skip.second) {
            fill(QRect(QPoint(fullFrom, y), QPoint(std::min(fullTo, skip.first - 1), y)), colour);
            fill(QRect(QPoint(std::max(fullFrom, skip.second + 1), y), QPoint(fullTo, y)), colour);
        } else {
            fill(QRect(QPoint(fullFrom, y), QPoint(fullTo, y)), colour);
        }
    }
    auto* line = reinterpret_cast<QRgb*>(surface_.scanLine(y));
    const auto shade = [&](int x) {
        if (x < clip_.left() || x > clip_.right())
            return;
        double cover = 0;
        for (std::size_t s = 0; s < kStrips; ++s)
            cover += std::clamp(
                std::min(row.right.at(s), x + 1.0) - std::max(row.left.at(s), double(x)), 0.0, 1.0);
        const int a = static_cast<int>(std::floor(cover * 255 / kStrips + 0.5));
        if (a <= 0)
            return;
        const auto mix = [a](int src, int dst) { return (src * a + dst * (255 - a) + 127) / 255; };
        QRgb& pixel = line[x];
        pixel = qRgb(mix(colour.r, qRed(pixel)), mix(colour.g, qGreen(pixel)),
                     mix(colour.b, qBlue(pixel)));
    };
    if (fullFrom > fullTo) {
        for (int x = row.from; x <= row.to; ++x)
            shade(x);
        return;
    }
    for (int x = row.from; x < fullFrom; ++x)
        shade(x);
    for (int x = fullTo + 1; x <= row.to; ++x)
        shade(x);
}

void ShapeRaster::line(const Shape& shape)
{
    const QPoint from(grid_.at(shape.a), grid_.at(shape.b));
    const QPoint to(grid_.at(shape.c), grid_.at(shape.d));
    const int dx = to.x() - from.x();
    const int dy = to.y() - from.y();
    const int w = grid_.lineWidth();
    // The last point is not painted, so a line of no length paints nothing.
    if (dx == 0 && dy == 0)
        return;
    if (dy == 0) {
        const int first = dx > 0 ? from.x() : to.x() + 1;
        fill(QRect(first, from.y(), std::abs(dx), w), shape.outline);
        return;
    }
    if (dx == 0) {
        const int first = dy > 0 ? from.y() : to.y() + 1;
        fill(QRect(from.x(), first, w, std::abs(dy)), shape.outline);
        return;
    }
    if (quality_ == Quality::Smooth) {
        smoothLine(from, to, shape.outline);
        return;
    }
    // One step at a time along the longer axis, lineWidth() pixels across it; steps that stay
    // in the same row (or column) are painted as one run.
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
        const int a = (alongX ? from.x() : from.y()) + sign * runStart;
        const int b = (alongX ? from.x() : from.y()) + sign * (k - 1);
        const int lo = std::min(a, b);
        const int length = std::abs(b - a) + 1;
        const int c = (alongX ? from.y() : from.x()) + across(runStart);
        fill(alongX ? QRect(lo, c, length, w) : QRect(c, lo, w, length), shape.outline);
        runStart = k;
    }
}

void ShapeRaster::smoothLine(QPoint from, QPoint to, Rgb colour)
{
    // Through the middle of the crisp line's pixels, as wide as the crisp line.
    const double w = grid_.lineWidth();
    const bool alongX = std::abs(to.x() - from.x()) >= std::abs(to.y() - from.y());
    const QPointF offset = alongX ? QPointF(0.5, w / 2) : QPointF(w / 2, 0.5);
    if (!painter_) {
        // Begun only for the few slanted lines: a painter costs more to begin than a disc.
        painter_.emplace(&surface_);
        painter_->setRenderHint(QPainter::Antialiasing);
        painter_->setClipRect(clip_);
    }
    painter_->setPen(QPen(toQColor(colour), w, Qt::SolidLine, Qt::FlatCap));
    painter_->drawLine(QPointF(from) + offset, QPointF(to) + offset);
}

QImage scalePixelArt(const QImage& picture, QSize size)
{
    if (picture.isNull() || size.isEmpty())
        return {};
    QImage source = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (size == source.size())
        return source;
    const auto multiple = [](int want, int have) { return (want + have - 1) / have; };
    const int n = std::max(
        {1, multiple(size.width(), source.width()), multiple(size.height(), source.height())});
    QImage enlarged =
        n == 1 ? source
               : source.scaled(source.size() * n, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (enlarged.size() == size)
        return enlarged;
    return enlarged.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace q3
