#pragma once

#include "core/rgb.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace q3 {

// A rectangle of whole device pixels, both edges included: the columns left to right and the
// rows top to bottom. Empty when right < left or bottom < top.
struct IntRect
{
    int left = 0;
    int top = 0;
    int right = -1;
    int bottom = -1;

    // The rectangle with these two pixels as opposite corners, in either order.
    [[nodiscard]] static constexpr IntRect corners(int x1, int y1, int x2, int y2)
    {
        return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    }
    [[nodiscard]] static constexpr IntRect sized(int left, int top, int width, int height)
    {
        return {left, top, left + width - 1, top + height - 1};
    }
    [[nodiscard]] constexpr int width() const { return right - left + 1; }
    [[nodiscard]] constexpr int height() const { return bottom - top + 1; }
    [[nodiscard]] constexpr bool isEmpty() const { return right < left || bottom < top; }
    [[nodiscard]] constexpr bool contains(int x, int y) const
    {
        return x >= left && x <= right && y >= top && y <= bottom;
    }
    // Whether every pixel of `inner`, a rectangle that is not empty, lies in this one.
    [[nodiscard]] constexpr bool holds(const IntRect& inner) const
    {
        return left <= inner.left && inner.right <= right && top <= inner.top &&
               inner.bottom <= bottom && !isEmpty();
    }
    // Whether the two share a pixel.
    [[nodiscard]] constexpr bool meets(const IntRect& o) const
    {
        return left <= o.right && o.left <= right && top <= o.bottom && o.top <= bottom &&
               !isEmpty() && !o.isEmpty();
    }
    [[nodiscard]] constexpr IntRect adjusted(int dl, int dt, int dr, int db) const
    {
        return {left + dl, top + dt, right + dr, bottom + db};
    }
    [[nodiscard]] constexpr IntRect translated(int dx, int dy) const
    {
        return adjusted(dx, dy, dx, dy);
    }

    friend constexpr bool operator==(const IntRect&, const IntRect&) = default;
};

// The pixels two rectangles share; empty where they share none.
[[nodiscard]] constexpr IntRect operator&(const IntRect& a, const IntRect& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// A surface's pixel: 0xffRRGGBB, the layout of a 32-bit RGB image with the alpha byte set.
[[nodiscard]] constexpr std::uint32_t pixelOf(Rgb c)
{
    return 0xff000000U | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}
[[nodiscard]] constexpr Rgb rgbOf(std::uint32_t pixel)
{
    return {static_cast<std::uint8_t>(pixel >> 16), static_cast<std::uint8_t>(pixel >> 8),
            static_cast<std::uint8_t>(pixel)};
}

// A picture of width x height pixels, row after row with nothing between the rows, each pixel
// as pixelOf() makes it. A window's image can be laid over these bytes without copying them.
struct Surface
{
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    Surface() = default;
    Surface(int w, int h)
        : width(std::max(0, w)), height(std::max(0, h)),
          pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xff000000U)
    {}

    [[nodiscard]] IntRect rect() const { return IntRect::sized(0, 0, width, height); }
    [[nodiscard]] std::uint32_t* row(int y)
    {
        return pixels.data() + static_cast<std::ptrdiff_t>(y) * width;
    }
    [[nodiscard]] const std::uint32_t* row(int y) const
    {
        return pixels.data() + static_cast<std::ptrdiff_t>(y) * width;
    }
    [[nodiscard]] std::uint32_t at(int x, int y) const { return row(y)[x]; }
};

} // namespace q3
