#pragma once

#include "core/controls.h"
#include "layout/font_measure.h"

#include <QFont>
#include <QFontMetricsF>
#include <optional>
#include <string>

namespace q3 {

// The design's faces are not free fonts. The program maps each of them itself to a free font
// that the install step puts on the machine (layout/stage_faces.h), so the show looks the same
// whatever the user's font configuration prefers.
void loadStageFonts();

// The font of a label at a size in units (a point is 20 units). Layout and painting both use it
// at this size, so line breaks do not change with the size of the window.
[[nodiscard]] QFont stageFont(const DesignFont& face, int pixelSizeUnits);

// Measures caption text with Qt in the fonts stageFont() gives, for caption layout on the
// desktop. It keeps the metrics of the last font it was asked about: a layout asks about one
// font many times.
class QtFontMeasure final : public FontMeasure
{
public:
    [[nodiscard]] double advance(const DesignFont& font, int size,
                                 std::string_view text) const override;
    [[nodiscard]] FontExtents extents(const DesignFont& font, int size) const override;

private:
    const QFontMetricsF& metrics(const DesignFont& font, int size) const;

    struct Kept
    {
        std::string face;
        bool bold = false;
        bool italic = false;
        int size = 0;
        QFontMetricsF metrics;
    };
    mutable std::optional<Kept> kept_;
};

} // namespace q3
