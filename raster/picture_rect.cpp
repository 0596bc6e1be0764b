#include "raster/picture_rect.h"

#include <algorithm>
#include <cmath>

namespace q3 {

IntRect pictureRect(const PixelGrid& grid, const UnitRect& place)
{
    return IntRect::sized(grid.at(place.left), grid.at(place.top), grid.at(place.width),
                          grid.at(place.height));
}

std::vector<int> pictureBlockSources(int in, int out)
{
    std::vector<int> sources(static_cast<std::size_t>(std::max(0, out)), std::max(0, in - 1));
    const auto edge = [&](int j) {
        return static_cast<int>(std::floor(double(j) * out / in + 0.5));
    };
    for (int j = 0; j < in; ++j)
        for (int x = std::max(0, edge(j)); x < std::min(out, edge(j + 1)); ++x)
            sources[static_cast<std::size_t>(x)] = j;
    return sources;
}

} // namespace q3
