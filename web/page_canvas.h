#pragma once
// The page's picture: the stage's surface kept at the canvas's resolution, and the labels and
// pictures over it, painted on the canvas where they changed.

#include "core/stage.h"

#include <cstdint>
#include <vector>

namespace q3 {

// A rectangle of device pixels.
struct PixelRect
{
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    [[nodiscard]] bool empty() const { return w <= 0 || h <= 0; }
    [[nodiscard]] PixelRect operator&(const PixelRect& o) const;
    [[nodiscard]] PixelRect united(const PixelRect& o) const;
};

// Where the stage's surface lies on the canvas: fitted whole, centred, black bars beside.
struct PageView
{
    double scale = 1; // device pixels per unit
    PixelRect surface;

    [[nodiscard]] static PageView fit(int surfaceWidth, int surfaceHeight, int width, int height);
    [[nodiscard]] double unitsX(double px) const { return (px - surface.x) / scale; }
    [[nodiscard]] double unitsY(double py) const { return (py - surface.y) / scale; }
};

class PageCanvas
{
public:
    explicit PageCanvas(bool smooth) : smooth_(smooth) {}

    void setSmooth(bool smooth);
    [[nodiscard]] bool smooth() const { return smooth_; }
    // The canvas's size in device pixels: the next paint paints everything.
    void setOutput(int width, int height);
    [[nodiscard]] int width() const { return width_; }
    [[nodiscard]] int height() const { return height_; }
    [[nodiscard]] PageView view(const Stage& stage) const;

    // Paints on the canvas what changed since the last paint; the area painted, empty if none.
    PixelRect paint(const Stage& stage);
    // Paints the frame again inside `area`, whatever changed.
    void paintArea(const Stage& stage, const PixelRect& area);

private:
    // Brings the kept surface up to the stage's drawing; the area of the canvas it changed.
    PixelRect updateSurface(const Stage& stage, const PageView& view);
    void compose(const Stage& stage, const PageView& view, const PixelRect& area);
    void blit(const PageView& view, const PixelRect& area);
    void paintLabel(Control control, const ControlState& state, const PixelRect& rect,
                    double scale);

    bool smooth_;
    int width_ = 1;
    int height_ = 1;
    // The surface, 0xffRRGGBB, at the view's scale.
    std::vector<std::uint32_t> pixels_;
    PixelRect surfaceRect_;
    double scale_ = 0;
    std::uint64_t stageId_ = 0;
    std::uint64_t eraseCount_ = ~std::uint64_t{0};
    std::uint64_t paintedSeq_ = 0;
    std::uint64_t lookVersion_ = ~std::uint64_t{0};
    bool everything_ = true;
    std::vector<std::uint8_t> staging_;
};

} // namespace q3
