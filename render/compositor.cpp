#include "render/compositor.h"

#include "layout/caption_layout.h"
#include "render/fonts.h"
#include "render/pixel_grid.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <algorithm>
#include <array>
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

namespace {

// Whether two rectangles share a pixel (QRect's own test is not inlined, and a repaint asks
// it of every kept shape).
bool meet(const QRect& a, const QRect& b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
           b.top() <= a.bottom() && !a.isEmpty() && !b.isEmpty();
}

// Whether `outer` holds every pixel of `inner`, a rectangle that is not empty.
bool holds(const QRect& outer, const QRect& inner)
{
    return outer.left() <= inner.left() && inner.right() <= outer.right() &&
           outer.top() <= inner.top() && inner.bottom() <= outer.bottom() && !outer.isEmpty();
}

// A kept shape as a repaint looks at it.
struct Kept
{
    QRect bounds;
    QRect opaque; // painted over whole, whatever lay below: a box's pixels
    const Shape* shape;
};

// An area of the surface to paint again, and the shape whose place there changed.
struct Again
{
    QRect area;
    Shape shape;
};

// The parts of `band` outside what it paints over: one on each side.
std::array<QRect, 2> around(const ShapeRaster::Band& band)
{
    if (band.over.isEmpty())
        return {band.reach, QRect()};
    return {QRect(QPoint(band.reach.left(), band.reach.top()),
                  QPoint(band.over.left() - 1, band.reach.bottom())),
            QRect(QPoint(band.over.right() + 1, band.reach.top()), band.reach.bottomRight())};
}

// Paints `area` of the surface afresh from the kept shapes, as a fresh render paints it, where
// `shape` took the place of an earlier one with the same footprint.
void paintAreaAgain(const std::vector<Kept>& kept, Rgb background, ShapeRaster& raster,
                    const Again& again)
{
    const QRect& area = again.area;
    if (area.isEmpty())
        return;
    // What lies below the last box that covers the area cannot show through it.
    std::size_t first = kept.size();
    while (first > 0 && !holds(kept[first - 1].opaque, area))
        --first;
    const bool bare = first == 0;
    if (!bare)
        --first;
    std::size_t own = kept.size();
    for (std::size_t i = kept.size(); i-- > first;) {
        if (kept[i].shape->sameFootprint(again.shape)) {
            own = i;
            break;
        }
    }
    std::vector<std::size_t> below;
    std::vector<std::size_t> above;
    bool clipAlike = true;
    for (std::size_t i = first; i < kept.size(); ++i) {
        if (!meet(kept[i].bounds, area))
            continue;
        (i < own ? below : above).push_back(i);
        clipAlike = clipAlike && raster.sameUnderAnyClip(*kept[i].shape);
    }
    // Only the shape's own pixels can differ from what the surface holds, since the earlier
    // shape had the same; and where the shape sets every pixel, what lies below cannot show.
    std::vector<ShapeRaster::Band> bands;
    if (own < kept.size() && clipAlike)
        bands = raster.bandsOf(*kept[own].shape);
    if (bands.empty())
        bands = {{area, QRect()}};
    for (const ShapeRaster::Band& band : bands) {
        for (const QRect& piece : around(band)) {
            if (piece.isEmpty())
                continue;
            raster.setClip(piece & area);
            if (bare)
                raster.fill(piece & area, background);
            for (const std::size_t i : below)
                if (meet(kept[i].bounds, piece))
                    raster.paint(*kept[i].shape);
        }
    }
    // The shape alone paints nothing outside its bands: it is painted once.
    if (above.size() == 1) {
        raster.setClip(area);
        raster.paint(*kept[above.front()].shape);
        return;
    }
    for (const ShapeRaster::Band& band : bands) {
        raster.setClip(band.reach & area);
        for (const std::size_t i : above)
            raster.paint(*kept[i].shape);
    }
}

// Paints `areas` of the surface afresh from the kept shapes.
void paintAgain(const DisplayList& list, const PixelGrid& grid, ShapeRaster& raster,
                std::vector<Again> areas)
{
    if (areas.empty())
        return;
    // One repaint for each footprint: shapes of another footprint over the same area may
    // differ elsewhere in it.
    const auto key = [](const Again& a) {
        const Shape& s = a.shape;
        return std::tuple(a.area.top(), a.area.left(), a.area.bottom(), a.area.right(), s.kind,
                          s.x1, s.y1, s.x2, s.y2, s.outline.r, s.outline.g, s.outline.b);
    };
    std::sort(areas.begin(), areas.end(),
              [&](const Again& a, const Again& b) { return key(a) < key(b); });
    areas.erase(std::unique(areas.begin(), areas.end(),
                            [&](const Again& a, const Again& b) { return key(a) == key(b); }),
                areas.end());
    std::vector<Kept> kept;
    list.forEachEntryAfter(0, [&](const DisplayList::Entry& entry) {
        const bool box = entry.shape.kind == Shape::Kind::Box;
        kept.push_back(
            {grid.bounds(entry.shape), box ? grid.box(entry.shape) : QRect(), &entry.shape});
    });
    for (const Again& again : areas)
        paintAreaAgain(kept, list.background(), raster, again);
}

// Fills the background of a surface about to be painted whole from `list`. A box sets every
// one of its pixels, so the background is filled only where no box lands.
void paintBackground(const DisplayList& list, const PixelGrid& grid, ShapeRaster& raster,
                     const QRect& surface)
{
    QRegion bare(surface);
    list.forEachEntryAfter(0, [&](const DisplayList::Entry& entry) {
        if (entry.shape.kind == Shape::Kind::Box)
            bare -= grid.box(entry.shape);
    });
    for (const QRect& rect : bare)
        raster.fill(rect, list.background());
}

} // namespace

void Compositor::updateSurface(const Stage& stage, const StageView& view)
{
    const DisplayList& list = stage.displayList();
    const bool restart = surface_.stageId != stage.id() ||
                         surface_.image.size() != view.surfacePixels ||
                         surface_.scale != view.scale || surface_.eraseCount != list.eraseCount() ||
                         surface_.quality != quality_;
    if (!restart && surface_.paintedSeq == list.lastSeq())
        return;
    const PixelGrid grid = view.grid();
    if (restart) {
        if (surface_.image.size() != view.surfacePixels)
            surface_.image = QImage(view.surfacePixels, QImage::Format_RGB32);
        surface_.scale = view.scale;
        surface_.stageId = stage.id();
        surface_.eraseCount = list.eraseCount();
        surface_.quality = quality_;
        surface_.paintedSeq = 0;
        changes_.everything = true;
    }
    ShapeRaster raster(surface_.image, grid, quality_, ellipses_);
    if (restart)
        paintBackground(list, grid, raster, surface_.image.rect());
    // Crisp shapes cover every pixel wholly or not at all, so a shape painted again over itself
    // (the bulbs and lamps are, for hours) leaves the pixels it left before. Smooth edges would
    // darken with every repaint instead; there, where a shape takes the place of an earlier one,
    // that part of the surface is painted again from the kept shapes, as a fresh render paints
    // it.
    const bool smooth = quality_ == Quality::Smooth;
    std::vector<Again> again;
    list.forEachEntryAfter(surface_.paintedSeq, [&](const DisplayList::Entry& entry) {
        const QRect bounds = grid.bounds(entry.shape) & surface_.image.rect();
        if (smooth && entry.replacing)
            again.push_back({bounds, entry.shape});
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
    ellipses_.trim();
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
    QRegion changed = changes_.region;
    if (changes_.output != output || changes_.surfaceRect != surfaceRect)
        changed = QRect(QPoint(0, 0), output);
    else if (changes_.everything || changes_.lookVersion != stage.lookVersion())
        changed = surfaceRect;
    changes_ = {.everything = false,
                .output = output,
                .surfaceRect = surfaceRect,
                .lookVersion = stage.lookVersion()};
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
        const QRect rect = (label ? view.grid().rect(row.rect) : pictureRect(view.grid(), row.rect))
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
    for (const QRect& piece : uncovered(area, 0))
        painter.drawImage(piece.topLeft(), surface_.image, piece.translated(-origin));
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
    if (cache.image.size() != size || cache.quality != quality_) {
        cache.image = scalePixelArt(pictureOf(control), size, quality_);
        cache.quality = quality_;
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
