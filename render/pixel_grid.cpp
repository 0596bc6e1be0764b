#include "render/pixel_grid.h"

#include <algorithm>

namespace q3 {

QImage scalePixelArt(const QImage& picture, QSize size)
{
    if (picture.isNull() || size.isEmpty())
        return {};
    QImage source = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (size == source.size())
        return source;
    const auto multiple = [](int want, int have) { return (want + have - 1) / have; };
    const int n = std::max(
        {1, multiple(size.width(), source.width()), multiple(size.height(), source.height())});
    QImage enlarged =
        n == 1 ? source
               : source.scaled(source.size() * n, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (enlarged.size() == size)
        return enlarged;
    return enlarged.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace q3
