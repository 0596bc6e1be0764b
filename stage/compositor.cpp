#include "stage/compositor.h"

#include "stage/pixel_grid.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

namespace q3 {
namespace {

QColor toQColor(Rgb c)
{
    return {c.r, c.g, c.b};
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

void Compositor::setQuality(Quality quality)
{
    quality_ = quality;
}

void Compositor::updateSurface(const Stage& stage, const StageView& view)
{
    const DisplayList& list = stage.displayList();
    const bool restart = surface_.image.size() != view.surfacePixels ||
                         surface_.scale != view.scale || surface_.eraseCount != list.eraseCount() ||
                         surface_.quality != quality_;
    if (restart) {
        if (surface_.image.size() != view.surfacePixels)
            surface_.image = QImage(view.surfacePixels, QImage::Format_RGB32);
        surface_.image.fill(toQColor(list.background()));
        surface_.scale = view.scale;
        surface_.eraseCount = list.eraseCount();
        surface_.quality = quality_;
        surface_.paintedSeq = 0;
        changes_.everything = true;
    }
    if (surface_.paintedSeq == list.lastSeq())
        return;
    // Crisp shapes cover every pixel wholly or not at all, so a shape painted again over itself
    // (the bulbs and lamps are, for hours) leaves the pixels it left before. Smooth edges would
    // darken with every repaint instead; there, where a shape takes the place of an earlier one,
    // that part of the surface is painted again from the kept shapes, as a fresh render paints
    // it.
    const PixelGrid grid = view.grid();
    ShapeRaster raster(surface_.image, grid, quality_);
    const bool smooth = quality_ == Quality::Smooth;
    std::vector<QRect> again;
    list.forEachEntryAfter(surface_.paintedSeq, [&](const DisplayList::Entry& entry) {
        const QRect bounds = grid.bounds(entry.shape) & surface_.image.rect();
        if (smooth && entry.replacing)
            again.push_back(bounds);
        else
            raster.paint(entry.shape);
        if (!changes_.everything) {
            changes_.region += bounds.translated(view.origin.toPoint());
            if (changes_.region.rectCount() > kMostChangedRects)
                changes_.everything = true;
        }
    });
    surface_.paintedSeq = list.lastSeq();
    paintAgain(list, grid, raster, std::move(again));
}

void Compositor::paintAgain(const DisplayList& list, const PixelGrid& grid, ShapeRaster& raster,
                            std::vector<QRect> areas)
{
    if (areas.empty())
        return;
    std::sort(areas.begin(), areas.end(), [](const QRect& a, const QRect& b) {
        return std::tuple(a.top(), a.left(), a.bottom(), a.right()) <
               std::tuple(b.top(), b.left(), b.bottom(), b.right());
    });
    areas.erase(std::unique(areas.begin(), areas.end()), areas.end());
    struct Kept
    {
        QRect bounds;
        QRect opaque; // painted over whole, whatever lay below: a box's pixels
        const Shape* shape;
    };
    std::vector<Kept> kept;
    list.forEachEntryAfter(0, [&](const DisplayList::Entry& entry) {
        const bool box = entry.shape.kind == Shape::Kind::Box;
        kept.push_back(
            {grid.bounds(entry.shape), box ? grid.box(entry.shape) : QRect(), &entry.shape});
    });
    for (const QRect& area : areas) {
        raster.setClip(area);
        // What lies below the last box that covers the area cannot show through it.
        std::size_t first = kept.size();
        while (first > 0 && !kept[first - 1].opaque.contains(area))
            --first;
        if (first == 0)
            raster.fill(area, list.background());
        else
            --first;
        for (std::size_t i = first; i < kept.size(); ++i)
            if (kept[i].bounds.intersects(area))
                raster.paint(*kept[i].shape);
    }
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
        const ControlDesign& row = designOf(control);
        const QRect rect = view.grid().rect(row.rect).translated(view.origin.toPoint());
        if (rect.isEmpty())
            continue;
        if (row.kind == ControlKind::Picture) {
            painter.drawImage(rect.topLeft(), pictureImage(control, rect.size()));
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
                            changes_.lookVersion != stage.lookVersion();
    QRegion changed = everything ? QRegion(whole) : changes_.region;
    changes_ = {.everything = false, .output = output, .lookVersion = stage.lookVersion()};
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

const QImage& Compositor::pictureImage(Control control, QSize size)
{
    PictureCache& cache = pictures_.at(index(control));
    if (cache.image.size() != size)
        cache.image = scalePixelArt(pictureOf(control), size);
    return cache.image;
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
