#include "stage/compositor.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <algorithm>
#include <cmath>

namespace q3 {
namespace {

// Lines and outlines are one pixel of the 800 x 600 design wide, and scale with the stage.
constexpr double kPenUnits = kUnitsPerPixel;
// Unit u lies in design pixel u / 15; shapes are drawn through the centres of those pixels.
constexpr double kPixelCentre = kUnitsPerPixel / 2.0;

QColor toQColor(Rgb c)
{
    return {c.r, c.g, c.b};
}

// Boxes and circles are painted as their outline's outer edge in the outline colour, then the
// interior in the fill colour: the same pixels as a stroked outline over a filled interior, at a
// fraction of the cost of stroking.
void paintShape(QPainter& painter, const Shape& shape)
{
    constexpr double kHalfPen = kPenUnits / 2;
    switch (shape.kind) {
    case Shape::Kind::Line:
        painter.setPen(
            QPen(toQColor(shape.outline), kPenUnits, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.drawLine(QPointF(shape.a, shape.b), QPointF(shape.c, shape.d));
        break;
    case Shape::Kind::Box: {
        const QRectF rect =
            QRectF(QPointF(shape.a, shape.b), QPointF(shape.c, shape.d)).normalized();
        painter.fillRect(rect.adjusted(-kHalfPen, -kHalfPen, kHalfPen, kHalfPen),
                         toQColor(shape.outline));
        const QRectF interior = rect.adjusted(kHalfPen, kHalfPen, -kHalfPen, -kHalfPen);
        if (interior.isValid())
            painter.fillRect(interior, toQColor(shape.fill));
        break;
    }
    case Shape::Kind::Circle: {
        const QPointF centre(shape.a, shape.b);
        const double radius = shape.c;
        painter.setPen(Qt::NoPen);
        painter.setBrush(toQColor(shape.outline));
        painter.drawEllipse(centre, radius + kHalfPen, radius + kHalfPen);
        if (radius > kHalfPen) {
            painter.setBrush(toQColor(shape.fill));
            painter.drawEllipse(centre, radius - kHalfPen, radius - kHalfPen);
        }
        break;
    }
    }
}

// The output pixels a shape may touch, with a pixel to spare on each side.
QRect deviceBounds(const Shape& shape, const StageView& view)
{
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    if (shape.kind == Shape::Kind::Circle) {
        left = shape.a - shape.c;
        right = shape.a + shape.c;
        top = shape.b - shape.c;
        bottom = shape.b + shape.c;
    } else {
        left = std::min(shape.a, shape.c);
        right = std::max(shape.a, shape.c);
        top = std::min(shape.b, shape.d);
        bottom = std::max(shape.b, shape.d);
    }
    // A square cap reaches half a pen beyond the end of a line, further along a diagonal.
    constexpr double kReach = kPenUnits;
    const auto x = [&](double u) { return view.origin.x() + (u + kPixelCentre) * view.scale; };
    const auto y = [&](double u) { return view.origin.y() + (u + kPixelCentre) * view.scale; };
    const int x0 = static_cast<int>(std::floor(x(left - kReach))) - 1;
    const int y0 = static_cast<int>(std::floor(y(top - kReach))) - 1;
    const int x1 = static_cast<int>(std::ceil(x(right + kReach))) + 1;
    const int y1 = static_cast<int>(std::ceil(y(bottom + kReach))) + 1;
    return {QPoint(x0, y0), QPoint(x1, y1)};
}

// Past this many separate changes a frame is painted whole: the region would cost more to
// keep than the pixels it saves.
constexpr int kMostChangedRects = 256;

} // namespace

StageView StageView::fit(int surfaceWidth, int surfaceHeight, QSize output)
{
    StageView view;
    const int w = std::max(1, surfaceWidth);
    const int h = std::max(1, surfaceHeight);
    view.scale = std::min(output.width() / double(w), output.height() / double(h));
    const int pw =
        std::clamp(static_cast<int>(std::lround(w * view.scale)), 1, std::max(1, output.width()));
    const int ph =
        std::clamp(static_cast<int>(std::lround(h * view.scale)), 1, std::max(1, output.height()));
    view.surfacePixels = {pw, ph};
    // Whole pixels, so that the kept surface is copied into the frame without resampling.
    view.origin = QPoint((output.width() - pw) / 2, (output.height() - ph) / 2);
    return view;
}

QPointF StageView::toUnits(QPointF outputPoint) const
{
    return (outputPoint - origin) / scale;
}

void Compositor::updateSurface(const Stage& stage, const StageView& view)
{
    const DisplayList& list = stage.displayList();
    const bool restart = surface_.image.size() != view.surfacePixels ||
                         surface_.scale != view.scale || surface_.eraseCount != list.eraseCount();
    if (restart) {
        if (surface_.image.size() != view.surfacePixels)
            surface_.image = QImage(view.surfacePixels, QImage::Format_RGB32);
        surface_.image.fill(toQColor(list.background()));
        surface_.scale = view.scale;
        surface_.eraseCount = list.eraseCount();
        surface_.paintedSeq = 0;
        changes_.everything = true;
    }
    if (surface_.paintedSeq == list.lastSeq())
        return;
    // Shapes are painted without antialiasing, as the design's pixels were: every pixel is
    // wholly the shape's or not, so a shape painted again over itself (the bulbs and lamps are,
    // for hours) leaves the same pixels, and painting the kept list afresh gives exactly the
    // picture that painting it shape by shape gave.
    QPainter painter(&surface_.image);
    painter.scale(view.scale, view.scale);
    painter.translate(kPixelCentre, kPixelCentre);
    const QRect surfaceRect(view.origin.toPoint(), view.surfacePixels);
    list.forEachAfter(surface_.paintedSeq, [&](const Shape& shape) {
        paintShape(painter, shape);
        if (!changes_.everything) {
            changes_.region += deviceBounds(shape, view) & surfaceRect;
            if (changes_.region.rectCount() > kMostChangedRects)
                changes_.everything = true;
        }
    });
    surface_.paintedSeq = list.lastSeq();
}

namespace {

// A label's rectangle in output pixels, its edges rounded so that neighbouring labels meet.
QRect deviceRect(const UnitRect& r, const StageView& view)
{
    const auto x = [&](double u) {
        return static_cast<int>(std::lround(view.origin.x() + u * view.scale));
    };
    const auto y = [&](double u) {
        return static_cast<int>(std::lround(view.origin.y() + u * view.scale));
    };
    return QRect(QPoint(x(r.left), y(r.top)),
                 QPoint(x(r.left + r.width) - 1, y(r.top + r.height) - 1));
}

} // namespace

const QImage& Compositor::labelImage(Control control, const ControlState& state, QSize size,
                                     double scale)
{
    LabelCache& cache = labels_.at(index(control));
    LabelLook look{state.caption, state.pointSize, state.backColor, size, scale};
    if (!cache.image.isNull() && cache.look == look)
        return cache.image;

    // A label is painted once into an image of its own and then only copied while it stays the
    // same: large type is costly to draw, and a frame is composed many times a second.
    cache.look = std::move(look);
    cache.image = QImage(size, QImage::Format_RGB32);
    cache.image.fill(toQColor(state.backColor));
    if (state.caption.empty())
        return cache.image;
    const ControlSpec& row = designOf(control);
    const TextLayout layout =
        layoutCaption(row, QString::fromStdString(state.caption), state.pointSize);
    QPainter painter(&cache.image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.setFont(layout.font);
    painter.setPen(toQColor(row.textColor));
    const double width = row.rect.width;
    const double height = row.rect.height;
    for (std::size_t line = 0; line < layout.lines.size(); ++line) {
        const double x = row.align == Align::Left ? 0 : (width - layout.widths[line]) / 2;
        const double top = layout.lineHeight * double(line);
        if (top > height)
            break;
        for (const TextRun& run : layout.runs[line])
            painter.drawText(QPointF(x + run.x, top + layout.ascent), run.text);
    }
    return cache.image;
}

void Compositor::paintControls(const Stage& stage, QPainter& painter, const StageView& view)
{
    // Back to front: the control listed first in the table is painted last.
    for (std::size_t i = kControlCount; i-- > 0;) {
        const Control control = controlAt(i);
        const ControlState& state = stage.control(control);
        if (!state.visible)
            continue;
        const ControlSpec& row = designOf(control);
        const QRect rect = deviceRect(row.rect, view);
        if (rect.isEmpty())
            continue;
        if (row.kind == ControlKind::Picture) {
            const QImage& picture = pictureOf(control);
            if (!picture.isNull())
                painter.drawImage(rect, picture);
            continue;
        }
        painter.drawImage(rect.topLeft(), labelImage(control, state, rect.size(), view.scale));
    }
}

QRegion Compositor::takeChanges(const Stage& stage, QSize output)
{
    const StageView view = StageView::fit(stage.surfaceWidth(), stage.surfaceHeight(), output);
    updateSurface(stage, view);
    const QRect whole(QPoint(0, 0), output);
    const bool everything = changes_.everything || changes_.output != output ||
                            changes_.controlsVersion != stage.controlsVersion();
    QRegion changed = everything ? QRegion(whole) : changes_.region;
    changes_ = {.everything = false, .output = output, .controlsVersion = stage.controlsVersion()};
    return changed;
}

void Compositor::render(const Stage& stage, QImage& target)
{
    QRegion changed = takeChanges(stage, target.size());
    if (target.cacheKey() != renderedKey_)
        changed = QRect(QPoint(0, 0), target.size());
    if (!changed.isEmpty()) {
        QPainter painter(&target);
        paint(stage, painter, target.size(), changed);
    }
    renderedKey_ = target.cacheKey();
}

void Compositor::paint(const Stage& stage, QPainter& painter, QSize output, const QRegion& area)
{
    const StageView view = StageView::fit(stage.surfaceWidth(), stage.surfaceHeight(), output);
    updateSurface(stage, view);
    // Rectangle by rectangle: a clip of one rectangle lets the painter copy whole rows, where a
    // clip of many would have it blend span by span (and hand the spans to other threads).
    painter.save();
    for (const QRect& rect : area) {
        painter.setClipRect(rect);
        paintFrame(stage, painter, view, output);
    }
    painter.restore();
}

void Compositor::paintFrame(const Stage& stage, QPainter& painter, const StageView& view,
                            QSize output)
{
    painter.save();
    // Only the bars beside the surface are black; the surface covers the rest.
    const QRect surfaceRect(view.origin.toPoint(), view.surfacePixels);
    for (const QRect& bar : QRegion(QRect(QPoint(0, 0), output)).subtracted(surfaceRect))
        painter.fillRect(bar, Qt::black);
    painter.drawImage(surfaceRect.topLeft(), surface_.image);
    painter.setClipRect(surfaceRect, Qt::IntersectClip);
    paintControls(stage, painter, view);
    painter.restore();
}

QImage Compositor::render(const Stage& stage, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    render(stage, image);
    return image;
}

const QImage& pictureOf(Control control)
{
    static const QImage duck(QStringLiteral(":/assets/imgDuck.gif"));
    static const QImage duck2(QStringLiteral(":/assets/imgDuck2.gif"));
    static const QImage none;
    switch (control) {
    case Control::imgDuck:
        return duck;
    case Control::imgDuck2:
        return duck2;
    default:
        return none;
    }
}

} // namespace q3
