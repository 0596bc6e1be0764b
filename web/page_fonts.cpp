#include "web/page_fonts.h"

#include "layout/stage_faces.h"
#include "web/page_js.h"

#include <string_view>

namespace q3 {

std::string cssFont(const DesignFont& font, double pixels)
{
    // The page's stylesheet names each free font by its family (scripts/build-web).
    const StageFace* stand = stageFaceFor(font.face);
    const std::string family =
        stand ? "\"" + std::string(stand->family) + "\"" : std::string("sans-serif");
    std::string css = font.italic ? "italic " : "";
    css += font.bold ? "bold " : "";
    css += std::to_string(pixels) + "px " + family;
    return css;
}

double PageFontMeasure::advance(const DesignFont& font, int size, std::string_view text) const
{
    const std::string css = cssFont(font, size);
    const std::string line(text);
    return q3js_measure(css.c_str(), line.c_str());
}

FontExtents PageFontMeasure::extents(const DesignFont& font, int size) const
{
    const std::string css = cssFont(font, size);
    FontExtents extents;
    extents.ascent = q3js_ascent(css.c_str());
    extents.descent = q3js_descent(css.c_str());
    extents.lineHeight = extents.ascent + extents.descent;
    return extents;
}

} // namespace q3
