#pragma once

#include "core/controls.h"
#include "raster/quality.h"

#include <QImage>
#include <QSize>

namespace q3 {

// The picture a picture control shows, or a null image where it has none.
[[nodiscard]] const QImage& pictureOf(Control control);

// A pixel-art picture at `size` device pixels, in a quality (transparent stays transparent, as
// premultiplied alpha):
// - crisp: hard pixels. Each picture pixel becomes a block of whole device pixels, its edges the
//   picture's pixel edges scaled and rounded, so blocks differ in size by one pixel at most, and
//   every device pixel has the colour of its picture pixel, unblended.
// - smooth: each picture pixel takes the same share of the output. At a whole multiple of the
//   picture's size every pixel is repeated; otherwise it is enlarged by repetition to the next
//   whole multiple and then smoothly reduced, so that edges are soft by at most one pixel.
[[nodiscard]] QImage scalePixelArt(const QImage& picture, QSize size, Quality quality);

} // namespace q3
