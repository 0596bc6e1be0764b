#pragma once
// Caption text measured by the browser, with the same font files the page draws with.

#include "layout/font_measure.h"

#include <string>

namespace q3 {

// The CSS font of a design face at an em of `pixels`: "italic bold 300px \"DejaVu Sans\"".
[[nodiscard]] std::string cssFont(const DesignFont& font, double pixels);

// Measures with the canvas's measureText, in the page's fonts.
class PageFontMeasure final : public FontMeasure
{
public:
    [[nodiscard]] double advance(const DesignFont& font, int size,
                                 std::string_view text) const override;
    [[nodiscard]] FontExtents extents(const DesignFont& font, int size) const override;
};

} // namespace q3
