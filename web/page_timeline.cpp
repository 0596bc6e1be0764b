#include "web/page_timeline.h"

#include "web/page_js.h"

#include <algorithm>
#include <cmath>

namespace q3 {
namespace {

constexpr double kShownMs = 2000;
// In CSS pixels: the bar's height (and hit area), the track's inset at the ends and its
// thickness, the cue marks' height and the position's width.
constexpr int kBarHeight = 14;
constexpr int kInset = 8;
constexpr int kTrack = 4;
constexpr int kMark = 8;
constexpr int kKnob = 3;
// The pointer shows the timeline over this lower part of the page.
constexpr double kRevealPart = 0.25;

int device(double cssPixels, double dpr)
{
    return std::max(1, static_cast<int>(std::lround(cssPixels * dpr)));
}

struct BarGeometry
{
    IntRect bar;
    int left = 0;
    int width = 1;

    BarGeometry(double cssWidth, double cssHeight, double dpr)
    {
        const int bottom = static_cast<int>(std::lround(cssHeight * dpr));
        const int top = static_cast<int>(std::floor((cssHeight - kBarHeight) * dpr));
        bar = IntRect::sized(0, top, static_cast<int>(std::lround(cssWidth * dpr)), bottom - top);
        left = device(kInset, dpr);
        width = std::max(1, bar.width() - 2 * left);
    }
    [[nodiscard]] int xOf(const ShowSpan& span, double ms) const
    {
        const double length = span.end - span.start;
        const double part = length > 0 ? (span.clamp(ms) - span.start) / length : 0;
        return left + static_cast<int>(std::lround(part * width));
    }
    void band(int x0, int x1, int height, double dpr, int rgb, int alpha) const
    {
        const int h = device(height, dpr);
        q3js_fill(x0, bar.top + (bar.height() - h) / 2, std::max(0, x1 - x0), h, rgb, alpha);
    }
};

} // namespace

void PageTimeline::setPage(double cssWidth, double cssHeight, double dpr)
{
    cssWidth_ = cssWidth;
    cssHeight_ = cssHeight;
    dpr_ = dpr;
}

void PageTimeline::reveal(double wallMs)
{
    shown_ = true;
    hideAt_ = wallMs + kShownMs;
}

void PageTimeline::pointerAt(double y, double wallMs)
{
    if (y >= cssHeight_ * (1 - kRevealPart))
        reveal(wallMs);
}

void PageTimeline::hold(bool held, double wallMs)
{
    held_ = held;
    reveal(wallMs);
}

bool PageTimeline::expire(double wallMs)
{
    if (!shown_ || held_ || wallMs < hideAt_)
        return false;
    shown_ = false;
    return true;
}

bool PageTimeline::takes(double y) const
{
    return shown_ && y >= cssHeight_ - kBarHeight && y < cssHeight_;
}

double PageTimeline::msAt(double x, const PageTimelineModel& model) const
{
    const BarGeometry g(cssWidth_, cssHeight_, dpr_);
    const double part = (x * dpr_ - g.left) / g.width;
    const ShowSpan& span = model.span;
    return span.clamp(span.start + std::clamp(part, 0.0, 1.0) * (span.end - span.start));
}

IntRect PageTimeline::area() const
{
    return BarGeometry(cssWidth_, cssHeight_, dpr_).bar;
}

void PageTimeline::paint(const PageTimelineModel& model) const
{
    if (!shown_)
        return;
    const BarGeometry g(cssWidth_, cssHeight_, dpr_);
    const int right = g.left + g.width;
    const int at = g.xOf(model.span, model.now);
    q3js_fill(g.bar.left, g.bar.top, g.bar.width(), g.bar.height(), 0x000000, 150);
    g.band(g.left, at, kTrack, dpr_, 0xffb000, 255);
    g.band(at, right, kTrack, dpr_, 0xffffff, 90);
    const int markWidth = device(1, dpr_);
    for (const double cue : model.cues) {
        const int x = g.xOf(model.span, cue);
        g.band(x - markWidth / 2, x - markWidth / 2 + markWidth, kMark, dpr_, 0xffffff, 210);
    }
    const int knob = device(kKnob, dpr_);
    g.band(at - knob / 2, at - knob / 2 + knob, kBarHeight - 2, dpr_, 0xffffff, 255);
}

} // namespace q3
