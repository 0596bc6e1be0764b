#pragma once
// How the timeline along the bottom edge of a front looks and where it lies: a mark at each cue
// and the part played. Sizes in the front's own pixels (a widget's, or the page's CSS pixels),
// placed on its device pixels.

#include "steering/steering.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace q3 {

struct TimelineLook
{
    // It shows this long after the pointer moved over the lower part or a seek key.
    static constexpr int kShownMs = 2000;
    // The bar's height (and hit area), the track's inset at the ends and its thickness, the cue
    // marks' height and the position's width.
    static constexpr int kBarHeight = 14;
    // The bar's height while the last pointer was a touch: a finger's target.
    static constexpr int kTouchBarHeight = 44;
    static constexpr int kInset = 8;
    static constexpr int kTrack = 4;
    static constexpr int kMark = 8;
    static constexpr int kKnob = 3;
    // The pointer shows the timeline over this lower part of the output.
    static constexpr double kRevealPart = 0.25;
    // Colours 0xRRGGBB with their alpha.
    struct Colour
    {
        std::uint32_t rgb;
        int alpha;
    };
    static constexpr Colour kBack{0x000000, 150};
    static constexpr Colour kUnplayed{0xffffff, 90};
    static constexpr Colour kPlayed{0xffb000, 255};
    static constexpr Colour kMarkColour{0xffffff, 210};
    static constexpr Colour kKnobColour{0xffffff, 255};
};

// A rectangle of device pixels.
struct BarRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The bar of an output `width` x `height` of its own pixels, `barHeight` of them high, in device
// pixels.
struct TimelineGeometry
{
    BarRect bar;
    int left = 0;  // where the track starts
    int width = 1; // the track's length
    double dpr = 1;

    TimelineGeometry(double outputWidth, double outputHeight, double devicePixelRatio,
                     int barHeight = TimelineLook::kBarHeight)
        : dpr(devicePixelRatio)
    {
        const int bottom = static_cast<int>(std::lround(outputHeight * dpr));
        const int top = static_cast<int>(std::floor((outputHeight - barHeight) * dpr));
        bar = {0, top, static_cast<int>(std::lround(outputWidth * dpr)), bottom - top};
        left = device(TimelineLook::kInset);
        width = std::max(1, bar.width - 2 * left);
    }
    [[nodiscard]] int device(double pixels) const
    {
        return std::max(1, static_cast<int>(std::lround(pixels * dpr)));
    }
    [[nodiscard]] int xOf(const ShowSpan& span, double ms) const
    {
        const double length = span.end - span.start;
        const double part = length > 0 ? (span.clamp(ms) - span.start) / length : 0;
        return left + static_cast<int>(std::lround(part * width));
    }
    // The show's moment under `x` of the output's own pixels, clamped to the show.
    [[nodiscard]] double msAt(const ShowSpan& span, double x) const
    {
        const double part = (x * dpr - left) / width;
        return span.clamp(span.start + std::clamp(part, 0.0, 1.0) * (span.end - span.start));
    }
    // A band `height` of the output's pixels high across the bar's middle, from x0 to x1.
    [[nodiscard]] BarRect band(int x0, int x1, int height) const
    {
        const int h = device(height);
        return {x0, bar.y + (bar.height - h) / 2, std::max(0, x1 - x0), h};
    }
};

} // namespace q3
