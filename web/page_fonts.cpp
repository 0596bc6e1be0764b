#include "web/page_fonts.h"

#include "web/page_js.h"

#include <array>
#include <string_view>

namespace q3 {
namespace {

// The free fonts the page draws the design's faces in (the same files as the desktop's).
struct Face
{
    std::string_view face;
    std::string_view family;
};
constexpr std::array<Face, 6> kFaces{{
    {"Impact", "Roboto Condensed"},
    {"Comic Sans MS", "Comic Neue"},
    {"Arial", "Liberation Sans"},
    {"Lucida Console", "DejaVu Sans Mono"},
    {"Verdana", "DejaVu Sans"},
    {"Garamond", "EB Garamond"},
}};

} // namespace

std::string cssFont(const DesignFont& font, double pixels)
{
    std::string family = "sans-serif";
    for (const Face& face : kFaces)
        if (face.face == font.face)
            family = "\"" + std::string(face.family) + "\"";
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
