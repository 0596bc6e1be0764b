#include "raster/kept_surface.h"

#include "raster/pixel_grid.h"
#include "raster/shape_raster.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <tuple>
#include <utility>
#include <vector>

namespace q3 {
namespace {

// A kept shape as a repaint looks at it.
struct Kept
{
    IntRect bounds;
    IntRect opaque; // painted over whole, whatever lay below: a box's pixels
    const Shape* shape;
};

// An area of the surface to paint again, and the shape whose place there changed.
struct Again
{
    IntRect area;
    Shape shape;
};

// The parts of `band` outside what it paints over: one on each side.
std::array<IntRect, 2> around(const ShapeRaster::Band& band)
{
    if (band.over.isEmpty())
        return {band.reach, IntRect{}};
    return {IntRect{band.reach.left, band.reach.top, band.over.left - 1, band.reach.bottom},
            IntRect{band.over.right + 1, band.reach.top, band.reach.right, band.reach.bottom}};
}

// Paints `area` of the surface afresh from the kept shapes, as a fresh paint paints it, where
// `shape` took the place of an earlier one with the same footprint.
void paintAreaAgain(const std::vector<Kept>& kept, Rgb background, ShapeRaster& raster,
                    const Again& again)
{
    const IntRect& area = again.area;
    if (area.isEmpty())
        return;
    // What lies below the last box that covers the area cannot show through it.
    std::size_t first = kept.size();
    while (first > 0 && !kept[first - 1].opaque.holds(area))
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
    for (std::size_t i = first; i < kept.size(); ++i)
        if (kept[i].bounds.meets(area))
            (i < own ? below : above).push_back(i);
    // Only the shape's own pixels can differ from what the surface holds, since the earlier
    // shape had the same; and where the shape sets every pixel, what lies below cannot show.
    std::vector<ShapeRaster::Band> bands;
    if (own < kept.size())
        bands = raster.bandsOf(*kept[own].shape);
    if (bands.empty())
        bands = {{area, IntRect{}}};
    for (const ShapeRaster::Band& band : bands) {
        for (const IntRect& piece : around(band)) {
            if (piece.isEmpty())
                continue;
            raster.setClip(piece & area);
            if (bare)
                raster.fill(piece & area, background);
            for (const std::size_t i : below)
                if (kept[i].bounds.meets(piece))
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
        return std::tuple(a.area.top, a.area.left, a.area.bottom, a.area.right, s.kind, s.x1, s.y1,
                          s.x2, s.y2, s.outline.r, s.outline.g, s.outline.b);
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
            {grid.bounds(entry.shape), box ? grid.box(entry.shape) : IntRect{}, &entry.shape});
    });
    for (const Again& again : areas)
        paintAreaAgain(kept, list.background(), raster, again);
}

// Fills the background of a surface about to be painted whole from `list`. A box sets every
// one of its pixels, so the background is filled only where no box lands: band by band of
// rows that the same boxes cross, between the boxes.
void paintBackground(const DisplayList& list, const PixelGrid& grid, ShapeRaster& raster,
                     const IntRect& surface)
{
    std::vector<IntRect> boxes;
    std::vector<int> cuts{surface.top, surface.bottom + 1};
    list.forEachEntryAfter(0, [&](const DisplayList::Entry& entry) {
        if (entry.shape.kind != Shape::Kind::Box)
            return;
        const IntRect box = grid.box(entry.shape) & surface;
        if (box.isEmpty())
            return;
        boxes.push_back(box);
        cuts.push_back(box.top);
        cuts.push_back(box.bottom + 1);
    });
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::vector<std::pair<int, int>> covered;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const int top = cuts[i];
        const int bottom = cuts[i + 1] - 1;
        covered.clear();
        for (const IntRect& box : boxes)
            if (box.top <= top && box.bottom >= top)
                covered.emplace_back(box.left, box.right);
        std::sort(covered.begin(), covered.end());
        int x = surface.left;
        for (const auto& [left, right] : covered) {
            if (left > x)
                raster.fill({x, top, left - 1, bottom}, list.background());
            x = std::max(x, right + 1);
        }
        raster.fill({x, top, surface.right, bottom}, list.background());
    }
}

} // namespace

KeptSurface::Painted KeptSurface::update(const Stage& stage, double scale, int width, int height)
{
    const DisplayList& list = stage.displayList();
    const bool restart = stageId_ != stage.id() || surface_.width != width ||
                         surface_.height != height || scale_ != scale ||
                         eraseCount_ != list.eraseCount() || paintedQuality_ != quality_;
    Painted painted{.whole = restart};
    if (!restart && paintedSeq_ == list.lastSeq())
        return painted;
    const PixelGrid grid(scale);
    if (restart) {
        if (surface_.width != width || surface_.height != height) {
            // The old pixels go first: held while the new ones are made, they would double the
            // memory a new size takes at its peak.
            surface_ = Surface();
            surface_ = Surface(width, height);
        }
        scale_ = scale;
        stageId_ = stage.id();
        eraseCount_ = list.eraseCount();
        paintedQuality_ = quality_;
        paintedSeq_ = 0;
    }
    ShapeRaster raster(surface_, grid, quality_, ellipses_);
    if (restart)
        paintBackground(list, grid, raster, surface_.rect());
    const bool smooth = quality_ == Quality::Smooth;
    std::vector<Again> again;
    list.forEachEntryAfter(paintedSeq_, [&](const DisplayList::Entry& entry) {
        const IntRect bounds = grid.bounds(entry.shape) & surface_.rect();
        if (smooth && entry.replacing)
            again.push_back({bounds, entry.shape});
        else
            raster.paint(entry.shape);
        if (!restart && !bounds.isEmpty())
            painted.areas.push_back(bounds);
    });
    paintedSeq_ = list.lastSeq();
    paintAgain(list, grid, raster, std::move(again));
    ellipses_.trim();
    return painted;
}

} // namespace q3
