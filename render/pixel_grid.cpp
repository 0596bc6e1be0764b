#include "render/pixel_grid.h"

#include <QColor>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
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

// Where the ellipse inscribed in a box lies in one row: per strip of the row, and the pixels it
// covers wholly (fullFrom to fullTo) or in part (from to to).
constexpr std::size_t kStrips = 8;
struct StripCover
{
    std::array<double, kStrips> left{};
    std::array<double, kStrips> right{};
    int fullFrom = 0;
    int fullTo = -1;
    int from = 0;
    int to = -1;
};

StripCover coverAt(QSize size, int y)
{
    const QRect box(QPoint(0, 0), size);
    // The row is cut into thin strips; in each strip the ellipse inscribed in `box` covers an
    // exact stretch of x, and a pixel's cover is the mean of its share of those stretches.
    StripCover row;
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

// The row moved right by `left` pixels.
StripCover movedRight(StripCover row, int left)
{
    for (std::size_t s = 0; s < kStrips; ++s) {
        row.left.at(s) += left;
        row.right.at(s) += left;
    }
    row.fullFrom += left;
    row.fullTo += left;
    row.from += left;
    row.to += left;
    return row;
}

// The share of pixel column x that the row covers, 0 to 255.
std::uint8_t shareOf(const StripCover& row, int x)
{
    double cover = 0;
    for (std::size_t s = 0; s < kStrips; ++s)
        cover += std::clamp(
            std::min(row.right.at(s), x + 1.0) - std::max(row.left.at(s), double(x)), 0.0, 1.0);
    return static_cast<std::uint8_t>(std::floor(cover * 255 / kStrips + 0.5));
}

// More than this many bytes of ellipse rows kept, and they are forgotten.
constexpr std::size_t kMostEllipseBytes = std::size_t{4} << 20;

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
    return QRect(QPoint(at(shape.x1), at(shape.y1)), QPoint(at(shape.x2), at(shape.y2)))
        .normalized();
}

QRect PixelGrid::bounds(const Shape& shape) const
{
    if (shape.kind == Shape::Kind::Circle) {
        const int r = std::abs(int{shape.radius()});
        return QRect(QPoint(at(shape.centreX() - r), at(shape.centreY() - r)),
                     QPoint(at(shape.centreX() + r), at(shape.centreY() + r)))
            .adjusted(-1, -1, 1, 1);
    }
    const QRect corners =
        QRect(QPoint(at(shape.x1), at(shape.y1)), QPoint(at(shape.x2), at(shape.y2))).normalized();
    if (shape.kind == Shape::Kind::Box)
        return corners.adjusted(-1, -1, 1, 1);
    return corners.adjusted(-1, -1, lineWidth_ + 1, lineWidth_ + 1);
}

const std::vector<EllipseRows::Span>& EllipseRows::spans(QSize size)
{
    auto [it, added] = spans_.try_emplace({size.width(), size.height()});
    if (!added)
        return it->second;
    const QRect box(QPoint(0, 0), size);
    for (int y = 0; y < size.height(); ++y) {
        const auto span = ellipseSpan(box, y);
        it->second.push_back(span ? Span{span->first, span->second} : Span{});
    }
    bytes_ += it->second.size() * sizeof(Span);
    return it->second;
}

const EllipseRows::Covers& EllipseRows::covers(QSize size, int left)
{
    auto [it, added] = covers_.try_emplace({size.width(), size.height(), left});
    if (!added)
        return it->second;
    Covers& covers = it->second;
    for (int y = 0; y < size.height(); ++y) {
        const StripCover row = movedRight(coverAt(size, y), left);
        covers.rows.push_back({row.from, row.fullFrom, row.fullTo, row.to, covers.alphas.size()});
        const auto shade = [&](int first, int last) {
            for (int x = first; x <= last; ++x)
                covers.alphas.push_back(shareOf(row, x));
        };
        if (row.fullFrom > row.fullTo) {
            shade(row.from, row.to);
        } else {
            shade(row.from, row.fullFrom - 1);
            shade(row.fullTo + 1, row.to);
        }
    }
    bytes_ += covers.rows.size() * sizeof(CoverRow) + covers.alphas.size();
    return covers;
}

void EllipseRows::trim()
{
    if (bytes_ <= kMostEllipseBytes)
        return;
    spans_.clear();
    covers_.clear();
    bytes_ = 0;
}

ShapeRaster::ShapeRaster(QImage& surface, const PixelGrid& grid, Quality quality,
                         EllipseRows& ellipses)
    : surface_(surface), bits_(surface.bits()), bytesPerLine_(surface.bytesPerLine()), grid_(grid),
      quality_(quality), clip_(surface.rect()), ellipses_(ellipses)
{}

void ShapeRaster::setClip(const QRect& clip)
{
    clip_ = clip & surface_.rect();
    if (painter_)
        painter_->setClipRect(clip_);
}

void ShapeRaster::fillRow(int y, int first, int last, QRgb value)
{
    if (first > last || y < clip_.top() || y > clip_.bottom())
        return;
    first = std::max(first, clip_.left());
    last = std::min(last, clip_.right());
    if (first <= last)
        std::fill_n(row(y) + first, last - first + 1, value);
}

void ShapeRaster::fill(const QRect& rect, Rgb colour)
{
    // An empty rectangle given with its right edge left of its left one stays empty (Qt's
    // intersection would turn it round).
    if (!rect.isValid())
        return;
    const int left = std::max(rect.left(), clip_.left());
    const int right = std::min(rect.right(), clip_.right());
    const int top = std::max(rect.top(), clip_.top());
    const int bottom = std::min(rect.bottom(), clip_.bottom());
    if (left > right)
        return;
    const QRgb value = qRgb(colour.r, colour.g, colour.b);
    for (int y = top; y <= bottom; ++y)
        std::fill_n(row(y) + left, right - left + 1, value);
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

QRect ShapeRaster::discBox(const Shape& shape) const
{
    const int r = std::abs(int{shape.radius()});
    return {QPoint(grid_.at(shape.centreX() - r), grid_.at(shape.centreY() - r)),
            QPoint(grid_.at(shape.centreX() + r), grid_.at(shape.centreY() + r))};
}

void ShapeRaster::disc(const Shape& shape)
{
    const QRect outer = discBox(shape);
    if (!(outer & clip_).isValid())
        return;
    if (quality_ == Quality::Smooth) {
        smoothDisc(outer, shape);
        return;
    }
    const int w = grid_.lineWidth();
    const QRect inner = outer.adjusted(w, w, -w, -w);
    const std::vector<EllipseRows::Span>& ring = ellipses_.spans(outer.size());
    const std::vector<EllipseRows::Span>* hole =
        inner.isValid() ? &ellipses_.spans(inner.size()) : nullptr;
    const QRgb outline = qRgb(shape.outline.r, shape.outline.g, shape.outline.b);
    const QRgb fill = qRgb(shape.fill.r, shape.fill.g, shape.fill.b);
    const int top = std::max(outer.top(), clip_.top());
    const int bottom = std::min(outer.bottom(), clip_.bottom());
    for (int y = top; y <= bottom; ++y) {
        const EllipseRows::Span span = ring[static_cast<std::size_t>(y - outer.top())];
        if (span.first > span.last)
            continue;
        const int lo = outer.left() + span.first;
        const int hi = outer.left() + span.last;
        EllipseRows::Span gap;
        if (hole != nullptr && y >= inner.top() && y <= inner.bottom())
            gap = (*hole)[static_cast<std::size_t>(y - inner.top())];
        if (gap.first > gap.last) {
            fillRow(y, lo, hi, outline);
            continue;
        }
        fillRow(y, lo, inner.left() + gap.first - 1, outline);
        fillRow(y, inner.left() + gap.first, inner.left() + gap.last, fill);
        fillRow(y, inner.left() + gap.last + 1, hi, outline);
    }
}

namespace {
// No column left out of a row.
constexpr std::pair<int, int> kNoSkip{0, -1};
} // namespace

void ShapeRaster::smoothDisc(const QRect& outer, const Shape& shape)
{
    // The same ellipses as the crisp disc, with each edge pixel shaded by its cover. The
    // outline's colour is not painted where the interior will cover it whole.
    const int w = grid_.lineWidth();
    const QRect inner = outer.adjusted(w, w, -w, -w);
    const EllipseRows::Covers& ring = ellipses_.covers(outer.size(), outer.left());
    const EllipseRows::Covers* hole =
        inner.isValid() ? &ellipses_.covers(inner.size(), inner.left()) : nullptr;
    const int top = std::max(outer.top(), clip_.top());
    const int bottom = std::min(outer.bottom(), clip_.bottom());
    for (int y = top; y <= bottom; ++y) {
        if (hole == nullptr || y < inner.top() || y > inner.bottom()) {
            paintRow(ring, y - outer.top(), y, shape.outline, kNoSkip);
            continue;
        }
        const EllipseRows::CoverRow& gap = hole->rows[static_cast<std::size_t>(y - inner.top())];
        paintRow(ring, y - outer.top(), y, shape.outline, {gap.fullFrom, gap.fullTo});
        paintRow(*hole, y - inner.top(), y, shape.fill, kNoSkip);
    }
}

void ShapeRaster::paintRow(const EllipseRows::Covers& covers, int index, int y, Rgb colour,
                           std::pair<int, int> skip)
{
    // Pixels wholly inside are filled (but for `skip`); only those at the ends are blended.
    const EllipseRows::CoverRow& row = covers.rows[static_cast<std::size_t>(index)];
    const QRgb value = qRgb(colour.r, colour.g, colour.b);
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
    QRgb* line = this->row(y);
    const std::uint8_t* alpha = covers.alphas.data() + row.shades;
    const auto shade = [&](int first, int last) {
        const int from = std::max(first, clip_.left());
        const int to = std::min(last, clip_.right());
        for (int x = from; x <= to; ++x) {
            const int a = alpha[x - first];
            if (a == 0)
                continue;
            const auto mix = [a](int src, int dst) {
                return (src * a + dst * (255 - a) + 127) / 255;
            };
            QRgb& pixel = line[x];
            pixel = qRgb(mix(colour.r, qRed(pixel)), mix(colour.g, qGreen(pixel)),
                         mix(colour.b, qBlue(pixel)));
        }
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
        const QRect box = grid_.box(shape);
        return {{box, box}};
    }
    case Shape::Kind::Circle:
        return discBands(shape);
    case Shape::Kind::Line:
        break;
    }
    const QPoint from(grid_.at(shape.x1), grid_.at(shape.y1));
    const QPoint to(grid_.at(shape.x2), grid_.at(shape.y2));
    const int w = grid_.lineWidth();
    QRect rect;
    if (from.y() == to.y())
        rect = QRect(std::min(from.x(), to.x() + 1), from.y(), std::abs(to.x() - from.x()), w);
    else if (from.x() == to.x())
        rect = QRect(from.x(), std::min(from.y(), to.y() + 1), w, std::abs(to.y() - from.y()));
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
    const QRect outer = discBox(shape);
    const bool smooth = quality_ == Quality::Smooth;
    const std::vector<EllipseRows::Span>* spans = smooth ? nullptr : &ellipses_.spans(outer.size());
    const EllipseRows::Covers* covers =
        smooth ? &ellipses_.covers(outer.size(), outer.left()) : nullptr;
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
                             outer.left() + (*spans)[i].first, outer.left() + (*spans)[i].first,
                             outer.left() + (*spans)[i].last, outer.left() + (*spans)[i].last};
            if (row.from <= row.to) {
                from = std::min(from, row.from);
                to = std::max(to, row.to);
            }
            fullFrom = std::max(fullFrom, smooth ? std::max(row.fullFrom, 1) : row.fullFrom);
            fullTo = std::min(fullTo, row.fullTo);
        }
        const int top = outer.top() + first;
        const int bottom = outer.top() + last;
        if (from <= to)
            bands.push_back({QRect(QPoint(from, top), QPoint(to, bottom)),
                             fullFrom <= fullTo
                                 ? QRect(QPoint(fullFrom, top), QPoint(fullTo, bottom))
                                 : QRect()});
    }
    return bands;
}

bool ShapeRaster::sameUnderAnyClip(const Shape& shape) const
{
    if (quality_ == Quality::Crisp || shape.kind != Shape::Kind::Line)
        return true;
    return grid_.at(shape.x1) == grid_.at(shape.x2) || grid_.at(shape.y1) == grid_.at(shape.y2);
}

void ShapeRaster::line(const Shape& shape)
{
    const QPoint from(grid_.at(shape.x1), grid_.at(shape.y1));
    const QPoint to(grid_.at(shape.x2), grid_.at(shape.y2));
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

} // namespace q3
