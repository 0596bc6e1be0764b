#include "stage/pixel_grid.h"

#include <QColor>
#include <QPen>
#include <algorithm>
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
{
    if (quality_ == Quality::Smooth) {
        painter_.emplace(&surface_);
        painter_->setRenderHint(QPainter::Antialiasing);
        painter_->setPen(Qt::NoPen);
    }
}

void ShapeRaster::setClip(const QRect& clip)
{
    clip_ = clip & surface_.rect();
    if (painter_)
        painter_->setClipRect(clip_);
}

void ShapeRaster::fill(const QRect& rect, Rgb colour)
{
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
        // The outline's colour over the whole box, then the interior inside the outline.
        const QRect outer = QRect(QPoint(grid_.at(shape.a), grid_.at(shape.b)),
                                  QPoint(grid_.at(shape.c), grid_.at(shape.d)))
                                .normalized();
        fill(outer, shape.outline);
        const int w = grid_.lineWidth();
        const QRect interior = outer.adjusted(w, w, -w, -w);
        if (interior.isValid())
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
    // The same ellipses as the crisp disc, with each edge pixel shaded by its cover.
    const int w = grid_.lineWidth();
    painter_->setBrush(toQColor(shape.outline));
    painter_->drawEllipse(QRectF(outer.x(), outer.y(), outer.width(), outer.height()));
    const QRect inner = outer.adjusted(w, w, -w, -w);
    if (inner.isValid()) {
        painter_->setBrush(toQColor(shape.fill));
        painter_->drawEllipse(QRectF(inner.x(), inner.y(), inner.width(), inner.height()));
    }
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
    painter_->setPen(QPen(toQColor(colour), w, Qt::SolidLine, Qt::FlatCap));
    painter_->drawLine(QPointF(from) + offset, QPointF(to) + offset);
    painter_->setPen(Qt::NoPen);
}

QImage scalePixelArt(const QImage& picture, QSize size)
{
    if (picture.isNull() || size.isEmpty())
        return {};
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
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
