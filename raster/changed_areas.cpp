#include "raster/changed_areas.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace q3 {
namespace {

// Past this many separate places a frame is painted again within their bounds.
constexpr std::size_t kMostAreas = 256;

IntRect boundsOf(const IntRect& a, const IntRect& b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

} // namespace

void ChangedAreas::add(const KeptSurface::Painted& painted, const IntRect& surface)
{
    if (painted.whole)
        return add(surface);
    for (const IntRect& area : painted.areas)
        add(area.translated(surface.left, surface.top));
}

void ChangedAreas::add(const IntRect& area)
{
    if (area.isEmpty())
        return;
    if (std::any_of(areas_.begin(), areas_.end(),
                    [&](const IntRect& held) { return held.holds(area); }))
        return;
    std::erase_if(areas_, [&](const IntRect& held) { return area.holds(held); });
    areas_.push_back(area);
    if (areas_.size() <= kMostAreas)
        return;
    IntRect bounds = areas_.front();
    for (const IntRect& held : areas_)
        bounds = boundsOf(bounds, held);
    areas_ = {bounds};
}

std::vector<IntRect> ChangedAreas::take()
{
    return std::exchange(areas_, {});
}

} // namespace q3
