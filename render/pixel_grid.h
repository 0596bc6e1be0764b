#pragma once

#include <QImage>
#include <QSize>

namespace q3 {

// A pixel-art picture at `size` device pixels: each picture pixel takes the same share of the
// output. At a whole multiple of the picture's size every pixel is repeated; otherwise it is
// enlarged by repetition to the next whole multiple and then smoothly reduced, so that edges
// are soft by at most one pixel. Transparent stays transparent (premultiplied alpha).
[[nodiscard]] QImage scalePixelArt(const QImage& picture, QSize size);

} // namespace q3
