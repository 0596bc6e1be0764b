#include "stage/compositor.h"

#include <QColor>
#include <QPainter>
#include <QPen>
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

QRectF toQRect(const UnitRect& r)
{
    return {double(r.left), double(r.top), double(r.width), double(r.height)};
}

void paintShape(QPainter& painter, const Shape& shape)
{
    QPen pen(toQColor(shape.outline), kPenUnits, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    painter.setPen(pen);
    switch (shape.kind) {
    case Shape::Kind::Line:
        painter.drawLine(QPointF(shape.a, shape.b), QPointF(shape.c, shape.d));
        break;
    case Shape::Kind::Box: {
        const double left = std::min(shape.a, shape.c);
        const double top = std::min(shape.b, shape.d);
        const double right = std::max(shape.a, shape.c);
        const double bottom = std::max(shape.b, shape.d);
        painter.setBrush(toQColor(shape.fill));
        painter.drawRect(QRectF(left, top, right - left, bottom - top));
        break;
    }
    case Shape::Kind::Circle:
        painter.setBrush(toQColor(shape.fill));
        painter.drawEllipse(QPointF(shape.a, shape.b), double(shape.c), double(shape.c));
        break;
    }
}

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
    view.origin = QPointF((output.width() - pw) / 2, (output.height() - ph) / 2);
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
    }
    if (surface_.paintedSeq == list.lastSeq())
        return;
    QPainter painter(&surface_.image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(view.scale, view.scale);
    painter.translate(kPixelCentre, kPixelCentre);
    list.forEachAfter(surface_.paintedSeq, [&](const Shape& shape) { paintShape(painter, shape); });
    surface_.paintedSeq = list.lastSeq();
}

const TextLayout& Compositor::layoutFor(Control control, const ControlState& state)
{
    LayoutCache& cache = layouts_.at(index(control));
    const QString caption = QString::fromStdString(state.caption);
    if (!cache.layout || cache.caption != caption || cache.pointSize != state.pointSize) {
        cache.caption = caption;
        cache.pointSize = state.pointSize;
        cache.layout = layoutCaption(spec(control), caption, state.pointSize);
    }
    return *cache.layout;
}

void Compositor::paintControls(const Stage& stage, QPainter& painter)
{
    // Back to front: the control listed first in the table is painted last.
    for (std::size_t i = kControlCount; i-- > 0;) {
        const Control control = controlAt(i);
        const ControlState& state = stage.control(control);
        if (!state.visible)
            continue;
        const ControlSpec& row = spec(control);
        const QRectF rect = toQRect(row.rect);
        if (row.kind == ControlKind::Picture) {
            const QImage& picture = pictureOf(control);
            if (!picture.isNull())
                painter.drawImage(rect, picture);
            continue;
        }
        painter.fillRect(rect, toQColor(state.backColor));
        if (state.caption.empty())
            continue;
        const TextLayout& layout = layoutFor(control, state);
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
        painter.setFont(layout.font);
        painter.setPen(toQColor(row.textColor));
        for (std::size_t line = 0; line < layout.lines.size(); ++line) {
            const double x = row.align == Align::Left
                                 ? rect.left()
                                 : rect.left() + (rect.width() - layout.widths[line]) / 2;
            const double y = rect.top() + layout.lineHeight * double(line) + layout.ascent;
            if (y - layout.ascent > rect.bottom())
                break;
            for (const TextRun& run : layout.runs[line])
                painter.drawText(QPointF(x + run.x, y), run.text);
        }
        painter.restore();
    }
}

void Compositor::render(const Stage& stage, QImage& target)
{
    const StageView view =
        StageView::fit(stage.surfaceWidth(), stage.surfaceHeight(), target.size());
    updateSurface(stage, view);
    target.fill(Qt::black);
    QPainter painter(&target);
    painter.drawImage(view.origin, surface_.image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(view.origin);
    painter.scale(view.scale, view.scale);
    painter.setClipRect(QRectF(0, 0, stage.surfaceWidth(), stage.surfaceHeight()));
    paintControls(stage, painter);
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
