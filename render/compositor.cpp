#include "render/compositor.h"

#include "layout/caption_layout.h"
#include "raster/picture_rect.h"
#include "raster/stage_fit.h"
#include "render/fonts.h"
#include "render/pictures.h"

#include <QColor>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <utility>
#include <vector>

namespace q3 {
namespace {

QColor toQColor(Rgb c)
{
    return {c.r, c.g, c.b};
}

} // namespace

StageView StageView::fit(int surfaceWidth, int surfaceHeight, QSize output)
{
    const StageFit fit = StageFit::of(surfaceWidth, surfaceHeight, output.width(), output.height());
    StageView view;
    view.scale = fit.scale;
    view.surfacePixels = {fit.surface.width(), fit.surface.height()};
    view.origin = QPoint(fit.surface.left, fit.surface.top);
    return view;
}

namespace {

// Whether two rectangles share a pixel (QRect's own test is not inlined, and a frame asks it
// of every label).
bool meet(const QRect& a, const QRect& b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
           b.top() <= a.bottom() && !a.isEmpty() && !b.isEmpty();
}

// The same pixels as a QRect.
QRect toQRect(const IntRect& r)
{
    return {QPoint(r.left, r.top), QPoint(r.right, r.bottom)};
}

// The kept surface as an image, over its own pixels: nothing is copied.
QImage imageOf(const Surface& surface)
{
    return {reinterpret_cast<const uchar*>(surface.pixels.data()), surface.width, surface.height,
            static_cast<qsizetype>(surface.width) * 4, QImage::Format_RGB32};
}

} // namespace

void Compositor::updateSurface(const Stage& stage, const StageView& view)
{
    const KeptSurface::Painted painted =
        surface_.update(stage, view.scale, view.surfacePixels.width(), view.surfacePixels.height());
    const QPoint origin = view.origin.toPoint();
    changes_.areas.add(painted, IntRect::sized(origin.x(), origin.y(), view.surfacePixels.width(),
                                               view.surfacePixels.height()));
}

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
    const ControlDesign& row = designOf(control);
    const CaptionLayout layout =
        layoutCaption(row, state.caption, state.pointSize, QtFontMeasure());
    QPainter painter(&cache.image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.setFont(stageFont(row.font, layout.size));
    painter.setPen(toQColor(row.textColor));
    for (const CaptionLine& line : layout.lines)
        for (const CaptionRun& run : line.runs)
            painter.drawText(QPointF(run.x, line.baseline), QString::fromStdString(run.text));
    return cache.image;
}

QRegion Compositor::takeChanges(const Stage& stage, QSize output)
{
    const StageView view = StageView::fit(stage.surfaceWidth(), stage.surfaceHeight(), output);
    updateSurface(stage, view);
    // The bars beside the surface stay black while the output and the surface's place in it
    // stay the same.
    const QRect surfaceRect(view.origin.toPoint(), view.surfacePixels);
    QRegion changed;
    if (changes_.output != output || changes_.surfaceRect != surfaceRect)
        changed = QRect(QPoint(0, 0), output);
    else if (changes_.lookVersion != stage.lookVersion())
        changed = surfaceRect;
    else
        for (const IntRect& area : changes_.areas.take())
            changed += toQRect(area);
    changes_ = {.output = output, .surfaceRect = surfaceRect, .lookVersion = stage.lookVersion()};
    return changed;
}

bool Compositor::render(const Stage& stage, QImage& target)
{
    QRegion changed = takeChanges(stage, target.size());
    if (target.cacheKey() != renderedKey_)
        changed = QRect(QPoint(0, 0), target.size());
    if (!changed.isEmpty()) {
        QPainter painter(&target);
        paint(stage, painter, target.size(), changed);
    }
    renderedKey_ = target.cacheKey();
    return !changed.isEmpty();
}

void Compositor::paint(const Stage& stage, QPainter& painter, QSize output, const QRegion& area)
{
    const StageView view = StageView::fit(stage.surfaceWidth(), stage.surfaceHeight(), output);
    updateSurface(stage, view);
    // Back to front: the control listed first in the table is painted last.
    std::vector<Layer> layers;
    for (std::size_t i = kControlCount; i-- > 0;) {
        const Control control = controlAt(i);
        if (!stage.control(control).visible)
            continue;
        const ControlDesign& row = designOf(control);
        const bool label = row.kind == ControlKind::Label;
        const QRect rect =
            toQRect(label ? view.grid().rect(row.rect) : pictureRect(view.grid(), row.rect))
                .translated(view.origin.toPoint());
        if (!rect.isEmpty())
            layers.push_back({control, rect, label});
    }
    // Only the bars beside the surface are black; the surface covers the rest.
    const QRect surfaceRect(view.origin.toPoint(), view.surfacePixels);
    const QRegion bars = QRegion(QRect(QPoint(0, 0), output)).subtracted(surfaceRect);
    // Rectangle by rectangle: a clip of one rectangle lets the painter copy whole rows, where a
    // clip of many would have it blend span by span (and hand the spans to other threads).
    painter.save();
    for (const QRect& rect : area) {
        painter.setClipRect(rect);
        for (const QRect& bar : bars)
            if (bar.intersects(rect))
                painter.fillRect(bar, Qt::black);
        paintFrame(stage, painter, view, rect & surfaceRect, layers);
    }
    painter.restore();
}

void Compositor::paintFrame(const Stage& stage, QPainter& painter, const StageView& view,
                            const QRect& area, const std::vector<Layer>& layers)
{
    if (area.isEmpty())
        return;
    // A label is opaque: what lies under one is not painted, and the rest is copied piece by
    // piece.
    const auto uncovered = [&](const QRect& rect, std::size_t above) {
        QRegion region;
        const QRect part = rect & area;
        if (part.isEmpty())
            return region;
        region = part;
        for (std::size_t i = above; i < layers.size(); ++i)
            if (layers[i].opaque && meet(layers[i].rect, part))
                region -= layers[i].rect;
        return region;
    };
    const QPoint origin = view.origin.toPoint();
    const QImage surface = imageOf(surface_.surface());
    for (const QRect& piece : uncovered(area, 0))
        painter.drawImage(piece.topLeft(), surface, piece.translated(-origin));
    painter.save();
    painter.setClipRect(area, Qt::IntersectClip);
    for (std::size_t i = 0; i < layers.size(); ++i) {
        const Layer& layer = layers[i];
        const QRegion shown = uncovered(layer.rect, i + 1);
        if (shown.isEmpty())
            continue;
        if (!layer.opaque) {
            painter.drawImage(layer.rect.topLeft(), pictureImage(layer.control, layer.rect.size()));
            continue;
        }
        const QImage& image =
            labelImage(layer.control, stage.control(layer.control), layer.rect.size(), view.scale);
        for (const QRect& piece : shown)
            painter.drawImage(piece.topLeft(), image, piece.translated(-layer.rect.topLeft()));
    }
    painter.restore();
}

const QImage& Compositor::pictureImage(Control control, QSize size)
{
    PictureCache& cache = pictures_.at(index(control));
    if (cache.image.size() != size || cache.quality != quality()) {
        cache.image = scalePixelArt(pictureOf(control), size, quality());
        cache.quality = quality();
    }
    return cache.image;
}

QImage Compositor::render(const Stage& stage, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    render(stage, image);
    return image;
}

} // namespace q3
