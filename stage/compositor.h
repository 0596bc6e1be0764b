#pragma once

#include "stage/controls.h"
#include "stage/stage.h"
#include "stage/text_layout.h"

#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <array>
#include <cstdint>
#include <string>

namespace q3 {

// Where the stage's surface lies in an output of some size: fitted whole, centred, with black
// bars on the sides that do not fill.
struct StageView
{
    double scale = 1;    // output pixels per unit
    QPointF origin;      // output position of the surface's top-left corner
    QSize surfacePixels; // the surface, in output pixels

    [[nodiscard]] static StageView fit(int surfaceWidth, int surfaceHeight, QSize output);
    [[nodiscard]] QPointF toUnits(QPointF outputPoint) const;
};

// Paints what the window shows: the surface, then the visible labels and pictures in stacking
// order. The window, screenshots and video frames all come from here.
//
// The surface is rasterised at the output's own resolution and kept: each render paints only
// the shapes drawn since the last one, and starts over from the stage's display list when the
// surface was erased or the output changed size.
class Compositor
{
public:
    // Renders into `target`, whose size is the output in device pixels.
    void render(const Stage& stage, QImage& target);
    // Paints an output of `output` device pixels with a painter whose unit is one device pixel.
    void paint(const Stage& stage, QPainter& painter, QSize output);
    [[nodiscard]] QImage render(const Stage& stage, QSize size);

private:
    void updateSurface(const Stage& stage, const StageView& view);
    void paintControls(const Stage& stage, QPainter& painter, const StageView& view);
    const QImage& labelImage(Control control, const ControlState& state, QSize size, double scale);

    struct SurfaceCache
    {
        QImage image;
        double scale = 0;
        std::uint64_t eraseCount = ~std::uint64_t{0};
        std::uint64_t paintedSeq = 0;
    };
    // What a label shows at one output scale; its image is painted again when this changes.
    struct LabelLook
    {
        std::string caption;
        double pointSize = -1;
        Rgb back;
        QSize size;
        double scale = 0;

        friend bool operator==(const LabelLook&, const LabelLook&) = default;
    };
    struct LabelCache
    {
        LabelLook look;
        QImage image;
    };

    SurfaceCache surface_;
    std::array<LabelCache, kControlCount> labels_;
};

// The picture a picture control shows, or a null image where it has none.
[[nodiscard]] const QImage& pictureOf(Control control);

} // namespace q3
