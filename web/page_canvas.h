#pragma once
// The page's picture: the stage's surface kept at the canvas's resolution, and the labels and
// pictures over it, painted on the canvas where they changed.

#include "core/stage.h"
#include "layout/caption_layout.h"
#include "raster/kept_surface.h"
#include "raster/stage_fit.h"
#include "web/page_fonts.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace q3 {

// The most pixels the canvas paints: a 3840 x 2160 screen's. A larger page is painted at fewer
// pixels, which the browser stretches over it, so that the page's memory stays bounded.
inline constexpr long long kMaxCanvasPixels = 3840LL * 2160;

// The canvas's pixels for a page of cssWidth x cssHeight CSS pixels at devicePixelRatio: its
// device pixels, up to kMaxCanvasPixels; past that as many as fit, in the page's shape.
struct CanvasSize
{
    int width = 1;
    int height = 1;
    double ratio = 1; // canvas pixels per CSS pixel
};
[[nodiscard]] CanvasSize canvasSize(double cssWidth, double cssHeight, double devicePixelRatio);

class PageCanvas
{
public:
    explicit PageCanvas(Quality quality) : kept_(quality) {}

    void setQuality(Quality quality);
    [[nodiscard]] Quality quality() const { return kept_.quality(); }
    // The canvas's size in its pixels (canvasSize's): the next paint paints everything.
    void setOutput(int width, int height);
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] StageFit view(const Stage& stage) const;

    // Paints on the canvas what changed since the last paint; false when nothing did.
    bool paint(const Stage& stage);
    // Paints the frame again inside `area`, whatever changed.
    void paintArea(const Stage& stage, const IntRect& area);

private:
    // Brings the kept surface up to the stage's drawing: the areas of the canvas it changed.
    std::vector<IntRect> updateSurface(const Stage& stage, const StageFit& view);
    void compose(const Stage& stage, const StageFit& view, const IntRect& area);
    void blit(const StageFit& view, const IntRect& area);
    void paintPicture(Control control, const IntRect& whole, const IntRect& clip, bool smooth);
    void paintLabel(Control control, const ControlState& state, const IntRect& rect, double scale);

    // A label's caption as it was last laid out.
    struct LabelCache
    {
        bool laidOut = false;
        std::string caption;
        double pointSize = 0;
        CaptionLayout layout;
    };

    KeptSurface kept_;
    PageFontMeasure measure_;
    std::array<LabelCache, kControlCount> labels_;
    int width_ = 1;
    int height_ = 1;
    std::uint64_t lookVersion_ = ~std::uint64_t{0};
    bool everything_ = true;
    IntRect paintedSurface_;            // where the surface lay at the last paint
    std::vector<std::uint8_t> staging_; // a strip of the canvas's rows at a time
};

} // namespace q3
