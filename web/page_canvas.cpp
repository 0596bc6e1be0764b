#include "web/page_canvas.h"

#include "raster/changed_areas.h"
#include "raster/picture_rect.h"
#include "raster/pixel_grid.h"
#include "web/page_fonts.h"
#include "web/page_js.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>

namespace q3 {
namespace {

// The most bytes copied to the canvas in one go: a strip of rows, not the whole area.
constexpr std::size_t kStagingBytes = std::size_t{1} << 20;

int cssRgb(Rgb c)
{
    return (c.r << 16) | (c.g << 8) | c.b;
}

} // namespace

CanvasSize canvasSize(double cssWidth, double cssHeight, double devicePixelRatio)
{
    const double ratio = devicePixelRatio > 0 ? devicePixelRatio : 1;
    const double width = std::max(0.0, cssWidth) * ratio;
    const double height = std::max(0.0, cssHeight) * ratio;
    const auto pixels = [](double v) { return std::max(1, static_cast<int>(std::lround(v))); };
    if (static_cast<double>(pixels(width)) * pixels(height) <= double(kMaxCanvasPixels))
        return {pixels(width), pixels(height), ratio};
    // Rounded down, so that the pixels stay within the bound.
    const double shrink = std::sqrt(double(kMaxCanvasPixels) / (width * height));
    return {std::max(1, static_cast<int>(width * shrink)),
            std::max(1, static_cast<int>(height * shrink)), ratio * shrink};
}

void PageCanvas::setQuality(Quality quality)
{
    kept_.setQuality(quality);
    everything_ = true;
}

void PageCanvas::setOutput(int width, int height)
{
    width_ = std::max(1, width);
    height_ = std::max(1, height);
    q3js_canvas_size(width_, height_);
    everything_ = true;
}

StageFit PageCanvas::view(const Stage& stage) const
{
    return StageFit::of(stage.surfaceWidth(), stage.surfaceHeight(), width_, height_);
}

std::vector<IntRect> PageCanvas::updateSurface(const Stage& stage, const StageFit& view)
{
    ChangedAreas changed;
    changed.add(kept_.update(stage, view.scale, view.surface.width(), view.surface.height()),
                view.surface);
    return changed.take();
}

bool PageCanvas::paint(const Stage& stage)
{
    const StageFit view = this->view(stage);
    std::vector<IntRect> changed = updateSurface(stage, view);
    if (lookVersion_ != stage.lookVersion())
        changed = {view.surface};
    lookVersion_ = stage.lookVersion();
    // A surface of another size (the show maximised its window) lies elsewhere on the canvas:
    // the bars cover what the old one painted.
    if (view.surface != paintedSurface_)
        everything_ = true;
    paintedSurface_ = view.surface;
    if (everything_)
        changed = {IntRect::sized(0, 0, width_, height_)};
    everything_ = false;
    for (const IntRect& area : changed)
        compose(stage, view, area);
    return !changed.empty();
}

void PageCanvas::paintArea(const Stage& stage, const IntRect& area)
{
    const StageFit view = this->view(stage);
    for (const IntRect& changed : updateSurface(stage, view))
        compose(stage, view, changed);
    compose(stage, view, area);
}

void PageCanvas::blit(const StageFit& view, const IntRect& area)
{
    const IntRect part = area & view.surface;
    if (part.isEmpty())
        return;
    const std::size_t rowBytes = static_cast<std::size_t>(part.width()) * 4;
    const int strip = static_cast<int>(std::max<std::size_t>(1, kStagingBytes / rowBytes));
    staging_.resize(rowBytes * std::min(strip, part.height()));
    const Surface& surface = kept_.surface();
    for (int top = part.top; top <= part.bottom; top += strip) {
        const int bottom = std::min(part.bottom, top + strip - 1);
        std::uint8_t* out = staging_.data();
        for (int y = top; y <= bottom; ++y) {
            const std::uint32_t* row = surface.row(y - view.surface.top) - view.surface.left;
            for (int x = part.left; x <= part.right; ++x) {
                const std::uint32_t p = row[x];
                *out++ = static_cast<std::uint8_t>(p >> 16);
                *out++ = static_cast<std::uint8_t>(p >> 8);
                *out++ = static_cast<std::uint8_t>(p);
                *out++ = 255;
            }
        }
        q3js_blit(staging_.data(), part.left, top, part.width(), bottom - top + 1);
    }
}

void PageCanvas::compose(const Stage& stage, const StageFit& view, const IntRect& area)
{
    if (area.isEmpty())
        return;
    q3js_clip(area.left, area.top, area.width(), area.height());
    // The bars beside the surface; the surface covers the rest.
    for (const IntRect& bar : view.barsWithin(area))
        q3js_fill(bar.left, bar.top, bar.width(), bar.height(), 0, 255);
    blit(view, area);
    // Labels and pictures show only on the surface.
    const IntRect onSurface = area & view.surface;
    if (onSurface.isEmpty())
        return q3js_unclip();
    q3js_clip(onSurface.left, onSurface.top, onSurface.width(), onSurface.height());
    // Back to front: the control listed first in the table is painted last.
    const PixelGrid grid(view.scale);
    const bool smooth = kept_.quality() == Quality::Smooth;
    for (std::size_t i = kControlCount; i-- > 0;) {
        const Control control = controlAt(i);
        const ControlState& state = stage.control(control);
        if (!state.visible)
            continue;
        const ControlDesign& row = designOf(control);
        const bool picture = row.kind == ControlKind::Picture;
        const IntRect whole = (picture ? pictureRect(grid, row.rect) : grid.rect(row.rect))
                                  .translated(view.surface.left, view.surface.top);
        const IntRect rect = whole & view.surface;
        if (!rect.meets(onSurface))
            continue;
        if (picture) {
            paintPicture(control, whole, rect, smooth);
            continue;
        }
        paintLabel(control, state, whole, view.scale);
    }
    q3js_unclip();
    q3js_unclip();
}

void PageCanvas::paintPicture(Control control, const IntRect& whole, const IntRect& clip,
                              bool smooth)
{
    const int which = control == Control::imgDuck ? 0 : 1;
    q3js_clip(clip.left, clip.top, clip.width(), clip.height());
    if (smooth) {
        q3js_picture(which, whole.left, whole.top, whole.width(), whole.height());
    } else {
        // The picture's own size: its rectangle's units at one pixel for each.
        const UnitRect& place = designOf(control).rect;
        const std::vector<int> columns =
            pictureBlockSources(place.width / kUnitsPerPixel, whole.width());
        const std::vector<int> rows =
            pictureBlockSources(place.height / kUnitsPerPixel, whole.height());
        q3js_picture_blocks(which, whole.left, whole.top, whole.width(), whole.height(),
                            columns.data(), rows.data());
    }
    q3js_unclip();
}

void PageCanvas::paintLabel(Control control, const ControlState& state, const IntRect& rect,
                            double scale)
{
    const ControlDesign& row = designOf(control);
    q3js_clip(rect.left, rect.top, rect.width(), rect.height());
    q3js_fill(rect.left, rect.top, rect.width(), rect.height(), cssRgb(state.backColor), 255);
    // Laid out in units, once for each caption and size, and drawn at the canvas's scale.
    LabelCache& cache = labels_.at(index(control));
    if (!cache.laidOut || cache.caption != state.caption || cache.pointSize != state.pointSize) {
        cache = {true, state.caption, state.pointSize,
                 layoutCaption(row, state.caption, state.pointSize, measure_)};
    }
    const std::string font = cssFont(row.font, cache.layout.size * scale);
    for (const CaptionLine& line : cache.layout.lines)
        for (const CaptionRun& run : line.runs)
            q3js_text(font.c_str(), cssRgb(row.textColor), rect.left + run.x * scale,
                      rect.top + line.baseline * scale, run.text.c_str());
    q3js_unclip();
}

} // namespace q3
