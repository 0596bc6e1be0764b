#pragma once

#include "core/controls.h"

#include <string_view>

namespace q3 {

// How tall a font's lines are at one size, in the units the size is given in.
struct FontExtents
{
    double ascent = 0;     // from the top of a line to its baseline
    double descent = 0;    // from the baseline down to the bottom of the line
    double lineHeight = 0; // from one line's top to the next one's
};

// What caption layout needs to know about the fonts it sets captions in. Each front measures with
// the same font files it draws with: Qt's font metrics on the desktop, the canvas in a browser.
// Sizes are the font's em in stage units (20 to a point), so a layout does not depend on the
// output's resolution.
class FontMeasure
{
public:
    FontMeasure() = default;
    FontMeasure(const FontMeasure&) = delete;
    FontMeasure& operator=(const FontMeasure&) = delete;
    FontMeasure(FontMeasure&&) = delete;
    FontMeasure& operator=(FontMeasure&&) = delete;
    virtual ~FontMeasure() = default;

    // The advance of `text` (UTF-8, one line, as drawn: kerned) in `font` at an em of `size`.
    [[nodiscard]] virtual double advance(const DesignFont& font, int size,
                                         std::string_view text) const = 0;
    [[nodiscard]] virtual FontExtents extents(const DesignFont& font, int size) const = 0;
};

} // namespace q3
