#include "web/page_fonts.h"

#include "layout/stage_faces.h"
#include "web/page_js.h"

#include <algorithm>
#include <string_view>

namespace q3 {

namespace {

// The largest font the page measures. Firefox sets no text larger than 2000 px (a larger font is
// measured as if it were 2000 px), and the largest captions, laid out in units, are larger: they
// are measured at this size and scaled, as advances and line metrics grow with the size.
constexpr int kLargestMeasured = 2000;

int measuredSize(int size)
{
    return std::min(size, kLargestMeasured);
}

} // namespace

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
    const int measured = measuredSize(size);
    const std::string css = cssFont(font, measured);
    const std::string line(text);
    return q3js_measure(css.c_str(), line.c_str()) * (double(size) / measured);
}

FontExtents PageFontMeasure::extents(const DesignFont& font, int size) const
{
    const int measured = measuredSize(size);
    const std::string css = cssFont(font, measured);
    const double scale = double(size) / measured;
    FontExtents extents;
    extents.ascent = q3js_ascent(css.c_str()) * scale;
    extents.descent = q3js_descent(css.c_str()) * scale;
    extents.lineHeight = extents.ascent + extents.descent;
    return extents;
}

} // namespace q3
