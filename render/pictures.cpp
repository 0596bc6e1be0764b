#include "render/pictures.h"

#include "raster/picture_rect.h"

#include <QString>
#include <algorithm>
#include <vector>

namespace q3 {
namespace {

QImage blocks(const QImage& source, QSize size)
{
    const std::vector<int> columns = pictureBlockSources(source.width(), size.width());
    const std::vector<int> rows = pictureBlockSources(source.height(), size.height());
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y) {
        const auto* from =
            reinterpret_cast<const QRgb*>(source.constScanLine(rows[static_cast<std::size_t>(y)]));
        auto* to = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            to[x] = from[columns[static_cast<std::size_t>(x)]];
    }
    return out;
}

QImage smoothly(const QImage& source, QSize size)
{
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

} // namespace

const QImage& pictureOf(Control control)
{
    static const QImage duck(QStringLiteral(":/assets/imgDuck.gif"));
    static const QImage duck2(QStringLiteral(":/assets/imgDuck2.gif"));
    static const QImage none;
    switch (control) {
    case Control::imgDuck:
        return duck;
    case Control::imgDuck2:
        return duck2;
    default:
        return none;
    }
}

QImage scalePixelArt(const QImage& picture, QSize size, Quality quality)
{
    if (picture.isNull() || size.isEmpty())
        return {};
    QImage source = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (size == source.size())
        return source;
    return quality == Quality::Crisp ? blocks(source, size) : smoothly(source, size);
}

} // namespace q3
