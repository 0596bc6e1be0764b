#pragma once
// Looking at rendered frames: the window as it shows the stage at 800 x 600, where one pixel
// is 15 units, and probes of the colour at a point given in units.

#include "core/rgb.h"
#include "core/stage.h"
#include "render/compositor.h"

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <gtest/gtest.h>

namespace q3::test {

inline QImage frameOf(const Stage& stage)
{
    return Compositor().render(stage, QSize(800, 600));
}

inline bool near(QColor c, Rgb want, int tolerance)
{
    return std::abs(c.red() - want.r) <= tolerance && std::abs(c.green() - want.g) <= tolerance &&
           std::abs(c.blue() - want.b) <= tolerance;
}

// The pixel at (x, y) units is `want`, give or take a little for the rasteriser.
inline testing::AssertionResult colourAt(const QImage& frame, int x, int y, Rgb want)
{
    const QColor c = frame.pixelColor(x / 15, y / 15);
    if (near(c, want, 6))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "at (" << x << ", " << y << ") found (" << c.red() << ", " << c.green() << ", "
           << c.blue() << "), expected (" << int{want.r} << ", " << int{want.g} << ", "
           << int{want.b} << ")";
}

// A thin line in `want` passes (x, y) units over `ground`: some pixel within one pixel of it
// has gone at least a third of the way from the ground to the line's colour. An anti-aliased
// line between two pixel columns shares its colour between them.
inline testing::AssertionResult strokeNear(const QImage& frame, int x, int y, Rgb want, Rgb ground)
{
    const double wr = want.r - ground.r;
    const double wg = want.g - ground.g;
    const double wb = want.b - ground.b;
    const double length2 = wr * wr + wg * wg + wb * wb;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c = frame.pixelColor(x / 15 + dx, y / 15 + dy);
            const double along = ((c.red() - ground.r) * wr + (c.green() - ground.g) * wg +
                                  (c.blue() - ground.b) * wb) /
                                 length2;
            if (along >= 1.0 / 3)
                return testing::AssertionSuccess();
        }
    }
    return testing::AssertionFailure() << "no stroke near (" << x << ", " << y << ")";
}

} // namespace q3::test
