#pragma once

#include "core/stage.h"
#include "raster/ellipse_rows.h"
#include "raster/geometry.h"
#include "raster/quality.h"

#include <cstdint>
#include <vector>

namespace q3 {

// The stage's drawing, painted at one scale and quality into a surface of its own and kept:
// each update paints only the shapes drawn since the last one, and starts over from the
// display list when the surface was erased, the stage was replaced, or the size, the scale or
// the quality changed. A window, a screenshot, a video frame and a page all copy their
// pictures from one of these.
//
// Crisp shapes cover every pixel wholly or not at all, so a shape painted again over itself
// (the bulbs and lamps are, for hours) leaves the pixels it left before. Smooth edges would
// darken with every repaint instead; there, where a shape takes the place of an earlier one,
// that part of the surface is painted again from the kept shapes, as a fresh paint paints it.
// Either way the surface is, pixel for pixel, the one a fresh paint of the display list makes.
class KeptSurface
{
public:
    explicit KeptSurface(Quality quality = Quality::Crisp) : quality_(quality) {}

    // The next update paints everything again in the new quality.
    void setQuality(Quality quality) { quality_ = quality; }
    [[nodiscard]] Quality quality() const { return quality_; }

    // What an update painted: the whole surface, or the places of the shapes it painted, each
    // within the surface (pixels that may have changed; none when nothing was painted).
    struct Painted
    {
        bool whole = false;
        std::vector<IntRect> areas;
    };
    // Brings the surface up to date with `stage`'s drawing at `scale` device pixels to a unit,
    // on a surface of width x height pixels.
    Painted update(const Stage& stage, double scale, int width, int height);
    [[nodiscard]] const Surface& surface() const { return surface_; }

private:
    Surface surface_;
    Quality quality_;
    Quality paintedQuality_ = Quality::Crisp;
    double scale_ = 0;
    std::uint64_t stageId_ = 0;
    std::uint64_t eraseCount_ = ~std::uint64_t{0};
    std::uint64_t paintedSeq_ = 0;
    EllipseRows ellipses_;
};

} // namespace q3
