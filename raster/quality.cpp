#include "raster/quality.h"

namespace q3 {

std::string_view qualityName(Quality quality)
{
    return quality == Quality::Smooth ? "smooth" : "crisp";
}

std::optional<Quality> qualityNamed(std::string_view name)
{
    for (const Quality q : {Quality::Crisp, Quality::Smooth})
        if (name == qualityName(q))
            return q;
    return std::nullopt;
}

} // namespace q3
