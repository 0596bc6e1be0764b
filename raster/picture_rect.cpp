#include "raster/picture_rect.h"

namespace q3 {

IntRect pictureRect(const PixelGrid& grid, const UnitRect& place)
{
    return IntRect::sized(grid.at(place.left), grid.at(place.top), grid.at(place.width),
                          grid.at(place.height));
}

} // namespace q3
