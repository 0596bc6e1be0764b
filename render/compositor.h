#pragma once

#include "core/controls.h"
#include "core/stage.h"
#include "raster/changed_areas.h"
#include "raster/kept_surface.h"
#include "raster/pixel_grid.h"
#include "raster/stage_fit.h"
#include "render/pictures.h"

#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QSize>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace q3 {

// Where the stage's surface lies in an output of some size (StageFit), in Qt's types.
struct StageView
{
    double scale = 1;    // output pixels per unit
    QPointF origin;      // output position of the surface's top-left corner
    QSize surfacePixels; // the surface, in output pixels

    [[nodiscard]] static StageView fit(int surfaceWidth, int surfaceHeight, QSize output);
    [[nodiscard]] PixelGrid grid() const { return PixelGrid(scale); }
};

// Paints what the window shows: the surface, then the visible labels and pictures in stacking
// order. The window, screenshots and video frames all come from here.
//
// The surface is rasterised at the output's own resolution and kept: each render paints only
// the shapes drawn since the last one, and starts over from the stage's display list when the
// surface was erased or the output changed size.
//
// A frame is painted again only where it changed: where the shapes drawn since the last frame
// lie, or everywhere when a control, the surface or the output changed. A light-column tick on
// a 4K screen then costs the few columns it drew, not a whole frame.
class Compositor
{
public:
    explicit Compositor(Quality quality = Quality::Crisp) : surface_(quality) {}

    // The next render paints everything again in the new quality.
    void setQuality(Quality quality) { surface_.setQuality(quality); }
    [[nodiscard]] Quality quality() const { return surface_.quality(); }

    // Renders into `target`, whose size is the output in device pixels. Where `target` still
    // holds the frame this compositor rendered into it last, only what changed is painted; false
    // when nothing was.
    bool render(const Stage& stage, QImage& target);
    // Paints the part `area` of an output of `output` device pixels, with a painter whose unit
    // is one device pixel.
    void paint(const Stage& stage, QPainter& painter, QSize output, const QRegion& area);
    [[nodiscard]] QImage render(const Stage& stage, QSize size);
    // What of an output of `output` pixels differs from the frame handed out before, in device
    // pixels: the region a window must paint again. Everything when the output is another.
    [[nodiscard]] QRegion takeChanges(const Stage& stage, QSize output);

private:
    // A visible label or picture where the frame shows it, in output pixels.
    struct Layer
    {
        Control control;
        QRect rect;
        bool opaque; // a label: nothing under it shows
    };

    void updateSurface(const Stage& stage, const StageView& view);
    const QImage& pictureImage(Control control, QSize size);
    void paintFrame(const Stage& stage, QPainter& painter, const StageView& view, const QRect& area,
                    const std::vector<Layer>& layers);
    const QImage& labelImage(Control control, const ControlState& state, QSize size, double scale);

    struct PictureCache
    {
        QImage image;
        Quality quality = Quality::Crisp;
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

    // What changed since the last frame was handed out, and what that frame was made of.
    struct Changes
    {
        ChangedAreas areas;
        QSize output;
        QRect surfaceRect;
        std::uint64_t lookVersion = ~std::uint64_t{0};
    };

    KeptSurface surface_;
    std::array<PictureCache, kControlCount> pictures_;
    std::array<LabelCache, kControlCount> labels_;
    Changes changes_;
    // The target of the last render, as it was when that render ended.
    qint64 renderedKey_ = 0;
};

} // namespace q3
